#include "shell/pitch_effect.h"
#include "support/allocation_counter.h"
#include "support/quiet_host.h"
#include "support/effect_internals.h"
#include "support/note_table_helpers.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

struct Blocks {
    std::vector<float> in0 = std::vector<float>(512), in1 = std::vector<float>(512),
                       out0 = std::vector<float>(512), out1 = std::vector<float>(512);
    Blocks()
    {
        for (int i = 0; i < 512; ++i)
            in0[i] = in1[i] = 0.4f * std::sin(0.0626f * i);
    }
    void run(PitchEffect& effect, int count)
    {
        float* inputs[2] = {in0.data(), in1.data()};
        float* outputs[2] = {out0.data(), out1.data()};
        for (int b = 0; b < count; ++b) {
            if (hostTime.flags & kVstTransportPlaying)
                hostTime.samplePos += 512;
            effect.processReplacing(inputs, outputs, 512);
        }
    }
};

} // namespace

TEST(ProcessingAllocationTest, NoModeAllocates)
{
    auto effect = std::make_unique<PitchEffect>(quietHost);
    Blocks blocks;
    TakeModel& model = modelOf(*effect);
    AllocationCounter counter;

    // Auto mode with the host running: records (with analysis), then plays the
    // same region, cutting notes on the first playing block.
    hostTime.flags = kVstTransportPlaying;
    hostTime.samplePos = 0;
    blocks.run(*effect, 200);
    hostTime.samplePos = 0;
    model.heldNotes[0] = 60; // with the MIDI retune
    blocks.run(*effect, 200);
    EXPECT_GT(model.noteCount, 0);

    // Host stopped: the input passes through.
    hostTime.flags = 0;
    blocks.run(*effect, 10);
    // Force scan and Live intonation record.
    model.transportMode = kForceScan;
    blocks.run(*effect, 20);
    model.transportMode = kLiveIntonation;
    blocks.run(*effect, 400);
    // The editor's play command, also while the user interface holds the lock.
    model.editorPlaying = true;
    model.requestedTakePosition = 0;
    blocks.run(*effect, 50);
    // The same with formants kept: grains and pitch marks live in fixed arrays.
    effect->setFormantMode(kFormantsKept);
    model.requestedTakePosition = 0;
    blocks.run(*effect, 50);
    editLockOf(*effect).lock();
    blocks.run(*effect, 5);
    editLockOf(*effect).unlock();
    EXPECT_EQ(effect->silencedBlockCount(), 5);

    EXPECT_EQ(counter.count(), 0);
}
