// The editing operations, chunk save and restore and the render on the
// user-interface thread while the audio thread plays the same effect. Run
// under the ThreadSanitizer build, these show that every shared field is
// reached under the edit lock or atomically; in every build they show that
// playback stays finite and the table stays whole, undo and redo included.
#include "editing/edit_commands.h"
#include "editing/note_settings.h"
#include "editing/scale_tuning.h"
#include "persistence/wave_render.h"
#include "support/chunk_support.h"
#include "support/effect_internals.h"
#include "support/note_table_helpers.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kBlock = 512;

// Four seconds sung at pitch 2, cut into notes of 16 frames.
std::unique_ptr<PitchEffect> singingEffect(int seconds = 4)
{
    auto effect = std::make_unique<PitchEffect>(nullptr);
    TakeModel& model = modelOf(*effect);
    int samples = seconds * 44100;
    recordTone(model, 0, samples, 2.0f);
    setTrack(model, 0, samples / kFrameLength, 2.0f);
    for (int start = 0; start + 16 <= samples / kFrameLength && model.noteCount < kMaxNotes;
         start += 16)
        addNote(model, static_cast<float>(start), static_cast<float>(start + 16));
    return effect;
}

// Plays blocks until told to stop, starting over from the take's beginning
// now and then; counts blocks and any sample that is not finite.
class Player {
public:
    explicit Player(PitchEffect& effect)
        : effect(effect)
    {
        modelOf(effect).editorPlaying.store(true);
        thread = std::thread([this] { run(); });
    }
    ~Player() { stop(); }

    void stop()
    {
        done.store(true);
        if (thread.joinable())
            thread.join();
    }

    std::atomic<int> blocks {0};
    std::atomic<int> nonFinite {0};
    std::atomic<int> audibleBlocks {0};
    std::atomic<int> lastSilencedBlock {-1}; // index of the last block played as silence

private:
    void run()
    {
        std::vector<float> in(kBlock, 0.0f), left(kBlock), right(kBlock);
        float* inputs[] = {in.data(), in.data()};
        float* outputs[] = {left.data(), right.data()};
        while (!done.load()) {
            int silencedBefore = effect.silencedBlockCount();
            effect.processReplacing(inputs, outputs, kBlock);
            if (effect.silencedBlockCount() != silencedBefore)
                lastSilencedBlock.store(blocks.load());
            bool audible = false;
            for (int i = 0; i < kBlock; ++i) {
                if (!std::isfinite(left[i]) || !std::isfinite(right[i]))
                    nonFinite.fetch_add(1);
                audible = audible || left[i] != 0.0f;
            }
            audibleBlocks.fetch_add(audible ? 1 : 0);
            if (blocks.fetch_add(1) % 200 == 199)
                modelOf(effect).requestedTakePosition.store(0);
            // A host leaves time between blocks; the user interface gets the
            // lock in those gaps.
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
    }

    PitchEffect& effect;
    std::atomic<bool> done {false};
    std::thread thread;
};

} // namespace

TEST(EditingStressTest, EditsAndRestoresWhilePlayingKeepOutputFiniteAndTheTableWhole)
{
    auto effect = singingEffect();
    std::vector<unsigned char> original = savedChunk(*effect);
    {
        Player player(*effect);
        // At least 60 rounds, and on until the player has played 300 blocks.
        for (int round = 0; round < 60 || (player.blocks.load() < 300 && round < 5000); ++round) {
            selectAllNotes(effect->session());
            setSelectedNotesAttribute(effect->session(),
                static_cast<NoteSetting>(round % kNoteSettingCount), (round % 5) / 4.0f);
            setScale(effect->session(), kMajorScale + round % 3, round % 12);
            togglePitchClass(effect->session(), round % 12);
            tuneSelectedNotes(effect->session());
            duplicateSelectedNotes(effect->session());
            deleteNote(effect->session(), round % 7);
            clearSelection(effect->session());
            selectAllNotes(effect->session());
            if (round % 3 == 2)
                deleteSelectedNotes(effect->session());
            // Undo and redo take the lock as any edit does.
            for (int back = 0; back < round % 4; ++back)
                effect->session().undo();
            if (round % 2 == 1)
                effect->session().redo();
            std::vector<unsigned char> saved = savedChunk(*effect);
            if (round % 4 == 3) {
                std::vector<unsigned char>& chunk = round % 8 == 7 ? original : saved;
                ASSERT_EQ(
                    effect->setChunk(chunk.data(), static_cast<VstInt32>(chunk.size()), false),
                    static_cast<VstInt32>(chunk.size()));
            }
            if (round % 10 == 9) {
                unsigned char unused = 0;
                EXPECT_EQ(effect->setChunk(&unused, 0, false), 1); // the next block segments
            }
        }
        // Let the player reach the notes once more after the last edit.
        int until = player.blocks.load() + 20;
        while (player.blocks.load() < until)
            std::this_thread::yield();
        player.stop();
        EXPECT_EQ(player.nonFinite.load(), 0);
        EXPECT_GT(player.audibleBlocks.load(), 0);
    }
    EditGuard guard(editLockOf(*effect));
    const TakeModel& model = effect->takeModel();
    ASSERT_GE(model.noteCount, 0);
    ASSERT_LE(model.noteCount, kMaxNotes);
    ASSERT_LE(model.selectionCount, kMaxSelection);
    for (int k = 0; k < model.selectionCount; ++k) {
        EXPECT_GE(model.selection[k], 0);
        EXPECT_LT(model.selection[k], model.noteCount);
    }
}

TEST(EditingStressTest, PlaybackIsSilentWhileARenderHoldsTheEdit)
{
    auto effect = singingEffect(30);
    std::string path = "/tmp/cantilo-stress-render-" + std::to_string(::getpid()) + ".wav";
    std::atomic<bool> rendering {false};
    std::atomic<bool> rendered {false};
    int silencedBefore = effect->silencedBlockCount();
    int silencedDuring = 0;
    int blocksDuring = 0;
    {
        Player player(*effect);
        while (player.blocks.load() < 5)
            std::this_thread::yield();
        std::thread ui([&] {
            rendering.store(true);
            rendered.store(effect->renderTake(path.c_str()));
            rendering.store(false);
        });
        // The window starts with the first block the render silenced: the
        // render may wait a little for a playing block to let go of the lock.
        while (!rendering.load())
            std::this_thread::yield();
        int silencedAtStart = effect->silencedBlockCount();
        while (rendering.load() && effect->silencedBlockCount() == silencedAtStart)
            std::this_thread::yield();
        int blocksAtStart = player.blocks.load();
        silencedAtStart = effect->silencedBlockCount();
        ui.join();
        // The window ends with the last silenced block: the render's end and
        // the flag that tells of it may lie several blocks apart on a busy machine.
        blocksDuring = player.lastSilencedBlock.load() - blocksAtStart + 1;
        silencedDuring = effect->silencedBlockCount() - silencedAtStart;
        player.stop();
        EXPECT_EQ(player.nonFinite.load(), 0);
    }
    std::remove(path.c_str());
    EXPECT_TRUE(rendered.load());
    EXPECT_GT(silencedDuring, 10);
    // Once the render had the lock it kept it: next to no block played until
    // it was done.
    EXPECT_GE(silencedDuring, blocksDuring * 95 / 100) << blocksDuring << " blocks";
    EXPECT_GE(effect->silencedBlockCount(), silencedBefore + silencedDuring);
}
