// The editor in a host window through the .so while the host's audio thread
// plays the recorded take.
#include "editor/melody_helpers.h"
#include "editor/pitch_editor.h"
#include "host/test_host.h"
#include "shell/pitch_effect.h"
#include "support/effect_internals.h"
#include "toolkit/c_frame.h"
#include "toolkit/c_tab_view.h"
#include "x11_display.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBlock = 512;
constexpr auto kBlockPeriod = std::chrono::microseconds(11610); // 512 samples at 44.1 kHz
constexpr auto kIdlePeriod = std::chrono::milliseconds(33); // a host idling at 30 Hz

// The instance behind the host's handle: the test links the same core
// headers, so the effect's members are read where the plug-in keeps them.
PitchEffect* effectOf(AEffect* effect)
{
    return static_cast<PitchEffect*>(AudioEffect::fromAeffect(effect));
}

// Plays blocks through processReplacing until told to stop (or, when paced,
// at the pace of a real device), counting output samples that are not finite.
class HostAudioThread {
public:
    HostAudioThread(TestHost& host, AEffect* effect, bool paced)
        : inputs(std::max(effect->numInputs, 1), std::vector<float>(kBlock, 0.0f))
        , outputs(std::max(effect->numOutputs, 1), std::vector<float>(kBlock, 0.0f))
    {
        thread = std::thread([this, &host, effect, paced] {
            std::vector<float*> in, out;
            for (auto& channel : inputs)
                in.push_back(channel.data());
            for (auto& channel : outputs)
                out.push_back(channel.data());
            auto next = Clock::now();
            while (!stop.load()) {
                host.process(effect, in.data(), out.data(), kBlock);
                for (auto& channel : outputs)
                    for (float sample : channel)
                        nonFinite += !std::isfinite(sample);
                ++blocks;
                if (paced) {
                    next += kBlockPeriod;
                    std::this_thread::sleep_until(next);
                }
            }
        });
    }
    ~HostAudioThread() { finish(); }
    void finish()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
    }

    std::atomic<bool> stop {false};
    std::atomic<int> blocks {0};
    int nonFinite = 0; // read after finish()

private:
    std::vector<std::vector<float>> inputs, outputs;
    std::thread thread;
};

class PluginPlaybackWindowTest : public X11Display {
protected:
    void* handle(Window w) { return reinterpret_cast<void*>(uintptr_t(w)); }

    // An instance with the melody recorded and cut into notes, the host's
    // transport running (set once: the audio thread reads it unguarded).
    AEffect* recordedInstance(TestHost& host)
    {
        host.setTransport(0.0, true, 120.0);
        AEffect* effect = host.createInstance();
        if (!effect)
            return nullptr;
        PitchEffect* core = effectOf(effect);
        recordAndSegmentMelody(*core, testMelody());
        modelOf(*core).takePosition = 0;
        modelOf(*core).editorPlaying = true;
        return effect;
    }

    static CTabView* tabView(AEffect* effect)
    {
        auto* editor = static_cast<PitchEditor*>(effectOf(effect)->getEditor());
        CFrame* frame = editor ? editor->getFrame() : nullptr;
        // The layout puts the tab view first.
        return frame ? static_cast<CTabView*>(frame->getView(0)) : nullptr;
    }

    static std::vector<unsigned char> chunk(AEffect* effect)
    {
        void* data = nullptr;
        VstIntPtr size = TestHost::dispatch(effect, effGetChunk, 0, 0, &data);
        if (size <= 0 || !data)
            return {};
        auto* bytes = static_cast<unsigned char*>(data);
        return std::vector<unsigned char>(bytes, bytes + size);
    }
};

TEST_F(PluginPlaybackWindowTest, OpeningAndClosingTheEditorWhileTheHostPlaysIsSafe)
{
    TestHost host;
    AEffect* effect = recordedInstance(host);
    ASSERT_NE(effect, nullptr);
    ASSERT_GT(modelOf(*effectOf(effect)).noteCount, 2);
    Window hostWindow = makeHostWindow(0, 0, 820, 520);

    HostAudioThread audio(host, effect, false);
    for (int round = 0; round < 25; ++round) {
        ASSERT_EQ(TestHost::dispatch(effect, effEditOpen, 0, 0, handle(hostWindow)), 1);
        for (int i = 0; i < 3; ++i)
            TestHost::dispatch(effect, effEditIdle);
        TestHost::dispatch(effect, effEditClose);
        ASSERT_TRUE(children(hostWindow).empty());
    }
    int before = audio.blocks.load();
    while (audio.blocks.load() < before + 4) // the thread still plays
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    audio.finish();
    EXPECT_EQ(audio.nonFinite, 0);
    host.closeInstance(effect);
}

TEST_F(PluginPlaybackWindowTest, ReopeningKeepsTheEditAndSelectsScanAgain)
{
    TestHost host;
    host.timeInfoAvailable = false;
    AEffect* effect = host.createInstance();
    ASSERT_NE(effect, nullptr);
    PitchEffect* core = effectOf(effect);
    recordAndSegmentMelody(*core, testMelody());
    ASSERT_GT(core->takeModel().noteCount, 2);
    Window hostWindow = makeHostWindow(0, 0, 820, 520);
    ASSERT_EQ(TestHost::dispatch(effect, effEditOpen, 0, 0, handle(hostWindow)), 1);
    TestHost::dispatch(effect, effEditIdle);

    // An edit of the user's own: two notes selected, the scale of D major.
    const std::array<int, kPitchClasses> dMajor {0, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 1};
    ASSERT_NE(core->takeModel().scaleMask, dMajor);
    {
        EditGuard guard(editLockOf(*core));
        modelOf(*core).selection[0] = 1;
        modelOf(*core).selection[1] = 2;
        modelOf(*core).selectionCount = 2;
        modelOf(*core).scaleMask = dMajor;
    }
    ASSERT_NE(tabView(effect), nullptr);
    tabView(effect)->selectTab(2);
    TestHost::dispatch(effect, effEditIdle);
    ASSERT_EQ(tabView(effect)->getCurrentTab(), 2);
    std::vector<unsigned char> before = chunk(effect);
    ASSERT_FALSE(before.empty());
    int notesBefore = modelOf(*core).noteCount;

    TestHost::dispatch(effect, effEditClose);
    EXPECT_EQ(tabView(effect), nullptr);
    ASSERT_EQ(TestHost::dispatch(effect, effEditOpen, 0, 0, handle(hostWindow)), 1);
    for (int i = 0; i < 3; ++i)
        TestHost::dispatch(effect, effEditIdle);

    ASSERT_NE(tabView(effect), nullptr);
    EXPECT_EQ(tabView(effect)->getCurrentTab(), 0); // "SCAN"
    EXPECT_EQ(chunk(effect), before);
    EXPECT_EQ(core->takeModel().noteCount, notesBefore);
    EXPECT_EQ(core->takeModel().selectionCount, 2);
    EXPECT_EQ(core->takeModel().selection[0], 1);
    EXPECT_EQ(core->takeModel().selection[1], 2);
    EXPECT_EQ(core->takeModel().scaleMask, dMajor);
    TestHost::dispatch(effect, effEditClose);
    host.closeInstance(effect);
}

// A host that stops calling processReplacing when its transport stops: the
// play cursor stays where playback left it, and the note editor no longer
// follows it, so the user scrolls it freely (a click on the scroll bar's
// track moves the view there).
TEST_F(PluginPlaybackWindowTest, TheNoteEditorScrollsFreelyOnceTheHostStopsProcessing)
{
    constexpr int kStartFrame = 3000;
    constexpr int kPlayedBlocks = 40;
    constexpr CPoint kTrackLeftEnd {430, 393}; // the note editor's scroll bar, far left
    constexpr CPoint kTrackRightEnd {805, 393};
    TestHost host;
    AEffect* effect = recordedInstance(host);
    ASSERT_NE(effect, nullptr);
    PitchEffect* core = effectOf(effect);
    modelOf(*core).requestedTakePosition = kStartFrame * kFrameLength;
    Window hostWindow = makeHostWindow(0, 0, 820, 520);
    ASSERT_EQ(TestHost::dispatch(effect, effEditOpen, 0, 0, handle(hostWindow)), 1);

    std::vector<float> silence(kBlock, 0.0f), left(kBlock), right(kBlock);
    float* inputs[2] = {silence.data(), silence.data()};
    float* outputs[2] = {left.data(), right.data()};
    for (int block = 0; block < kPlayedBlocks; ++block) {
        host.process(effect, inputs, outputs, kBlock);
        TestHost::dispatch(effect, effEditIdle);
    }
    // The view followed the cursor; now the host calls nothing but idle.
    ASSERT_TRUE(within([&] { TestHost::dispatch(effect, effEditIdle); },
        [&] { return modelOf(*core).viewStartFrame >= kStartFrame; }));
    const int followed = modelOf(*core).viewStartFrame;

    click(kTrackLeftEnd.h, kTrackLeftEnd.v);
    EXPECT_TRUE(within([&] { TestHost::dispatch(effect, effEditIdle); },
        [&] { return modelOf(*core).viewStartFrame < followed; }));
    for (int i = 0; i < 5; ++i)
        TestHost::dispatch(effect, effEditIdle);
    const int scrolled = modelOf(*core).viewStartFrame;
    EXPECT_LT(scrolled, followed);

    // A click on the track's far right: the view goes there and stays, past
    // the cursor.
    click(kTrackRightEnd.h, kTrackRightEnd.v);
    EXPECT_TRUE(within([&] { TestHost::dispatch(effect, effEditIdle); },
        [&] { return modelOf(*core).viewStartFrame > followed; }));
    for (int i = 0; i < 5; ++i)
        TestHost::dispatch(effect, effEditIdle);
    EXPECT_GT(core->takeModel().viewStartFrame, followed);
    TestHost::dispatch(effect, effEditClose);
    host.closeInstance(effect);
}

// Real-time pacing: a long run that the sanitizer builds leave out (their
// slowed copies of the drawing would hold the lock for a block's length).
class PluginPlaybackEndToEndTest : public PluginPlaybackWindowTest { };

constexpr int kPreemptedBlocks = 1;

TEST_F(PluginPlaybackEndToEndTest, IdlingTheOpenEditorAtTheHostRateSilencesNoBlock)
{
    TestHost host;
    AEffect* effect = recordedInstance(host);
    ASSERT_NE(effect, nullptr);
    PitchEffect* core = effectOf(effect);
    Window hostWindow = makeHostWindow(0, 0, 820, 520);
    ASSERT_EQ(TestHost::dispatch(effect, effEditOpen, 0, 0, handle(hostWindow)), 1);
    int silencedBefore = core->silencedBlockCount();

    HostAudioThread audio(host, effect, true);
    int idles = 0;
    auto next = Clock::now();
    while (audio.blocks.load() < 200) {
        TestHost::dispatch(effect, effEditIdle);
        ++idles;
        next += kIdlePeriod;
        std::this_thread::sleep_until(next);
    }
    audio.finish();
    TestHost::dispatch(effect, effEditClose);
    EXPECT_GT(idles, 50);
    EXPECT_EQ(audio.nonFinite, 0);
    // An idle reads the model in many short looks under the lock, so an
    // editor that idles at the host's pace silences no block; a loaded
    // machine may still preempt the user-interface thread once while it
    // holds the lock. An editor that held the lock through a whole paint
    // (about 4 ms here) would silence dozens of the 200 blocks.
    EXPECT_LE(core->silencedBlockCount() - silencedBefore, kPreemptedBlocks);
    host.closeInstance(effect);
}

} // namespace
