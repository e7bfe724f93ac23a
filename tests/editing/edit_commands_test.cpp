#include "editing/edit_commands.h"
#include "editing/note_settings.h"
#include "editing/scale_tuning.h"
#include "support/effect_internals.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

std::unique_ptr<PitchEffect> effectWithNotes(int count)
{
    auto effect = std::make_unique<PitchEffect>(nullptr);
    TakeModel& model = modelOf(*effect);
    model.noteCount = count;
    for (int i = 0; i < count; ++i) {
        model.targetStart[i] = model.sourceStart[i] = 10.0f * static_cast<float>(i);
        model.targetEnd[i] = model.sourceEnd[i] = 10.0f * static_cast<float>(i) + 10.0f;
        model.pitch[i] = static_cast<float>(i);
        model.volume[i] = 1.0f;
    }
    return effect;
}

} // namespace

TEST(EditCommandsTest, EveryCommandChangesTheModelAndReleasesTheLock)
{
    auto effect = effectWithNotes(4);
    TakeModel& model = modelOf(*effect);
    auto lockIsFree = [&] {
        bool free = editLockOf(*effect).tryLock();
        if (free)
            editLockOf(*effect).unlock();
        return free;
    };

    selectAllNotes(effect->session());
    EXPECT_EQ(model.selectionCount, 4);
    EXPECT_TRUE(lockIsFree());
    setSelectedNotesAttribute(effect->session(), NoteSetting::volume, 1.0f);
    EXPECT_EQ(model.volume[3], 2.0f);
    EXPECT_TRUE(lockIsFree());
    setScale(effect->session(), kMajorScale, 2);
    EXPECT_EQ(model.scaleMask[1], 0); // c sharp is in d major
    togglePitchClass(effect->session(), 1);
    EXPECT_EQ(model.scaleMask[1], 1);
    model.fineTune[0] = 0.4f;
    tuneSelectedNotes(effect->session());
    // From 0.4 with c and c sharp excluded: the b below (1.4 away) beats d (1.6).
    EXPECT_EQ(model.pitch[0], -1.0f);
    EXPECT_TRUE(lockIsFree());
    duplicateSelectedNotes(effect->session());
    EXPECT_EQ(model.noteCount, 8);
    deleteNote(effect->session(), 7);
    EXPECT_EQ(model.noteCount, 7);
    deleteSelectedNotes(effect->session());
    EXPECT_EQ(model.noteCount, 3);
    EXPECT_EQ(model.selectionCount, 0);
    selectAllNotes(effect->session());
    clearSelection(effect->session());
    EXPECT_EQ(model.selectionCount, 0);
    EXPECT_TRUE(lockIsFree());
}

TEST(EditCommandsTest, ACommandWaitsWhileTheLockIsHeldElsewhere)
{
    auto effect = effectWithNotes(3);
    std::atomic<bool> done {false};
    editLockOf(*effect).lock();
    std::thread editor([&] {
        deleteNote(effect->session(), 0);
        done.store(true);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(done.load());
    EXPECT_EQ(effect->takeModel().noteCount, 3);
    editLockOf(*effect).unlock();
    editor.join();
    EXPECT_TRUE(done.load());
    EXPECT_EQ(effect->takeModel().noteCount, 2);
}
