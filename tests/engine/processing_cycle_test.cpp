#include "engine/processing_cycle.h"
#include "support/note_table_helpers.h"

#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr float kStale = 99.0f; // what a host's output buffer held before

// One instance's engine state and a pair of stereo buffers.
struct Cycle {
    std::unique_ptr<TakeModel> model = makeModel();
    PitchDetector detector;
    Resynthesis resynthesis;
    EditLock lock;
    std::atomic<int> silenced {0};
    std::vector<float> in0, in1, out0, out1;
    VstTimeInfo time {};

    void fillInput(int frames, float base)
    {
        in0.resize(frames);
        in1.resize(frames);
        for (int i = 0; i < frames; ++i) {
            in0[i] = base + 0.001f * i;
            in1[i] = -base - 0.001f * i;
        }
        out0.assign(frames, kStale);
        out1.assign(frames, kStale);
    }

    void run(const VstTimeInfo* timeInfo, int frames, float base = 0.25f, bool secondOutput = true)
    {
        fillInput(frames, base);
        float* inputs[2] = {in0.data(), in1.data()};
        float* outputs[2] = {out0.data(), secondOutput ? out1.data() : nullptr};
        ProcessingContext context {*model, detector, resynthesis, lock, silenced, {}, {}};
        processBlock(context, timeInfo, inputs, outputs, frames);
    }

    void hostAt(double position, bool playing)
    {
        time.samplePos = position;
        time.flags = playing ? kVstTransportPlaying : 0;
    }

    bool passedThrough() const { return out0 == in0 && out1 == in1; }
};

} // namespace

TEST(ProcessingCycleTest, AutoModeRecordsWhereTheTakeIsEmptyAndPlaysWhereItIsRecorded)
{
    Cycle c;
    c.hostAt(10000, true);
    c.run(&c.time, 512);
    EXPECT_TRUE(c.passedThrough());
    EXPECT_EQ(c.model->recordBuffer[10000], c.in0[0]);
    EXPECT_TRUE(c.model->isRecorded(10511));
    EXPECT_EQ(c.model->takePosition, 10512);
    EXPECT_GE(c.model->recordCursor.load(), 0.0f);
    EXPECT_EQ(c.model->playCursor.load(), -1.0f);

    // A recorded sample of exactly 0.0 still plays.
    c.model->recordBuffer[10000] = 0.0f;
    c.hostAt(10000, true);
    c.run(&c.time, 512);
    EXPECT_FALSE(c.passedThrough());
    EXPECT_EQ(c.model->recordBuffer[10100], c.in0[100]); // not recorded over
    EXPECT_EQ(c.model->recordCursor.load(), -1.0f);
    EXPECT_EQ(c.model->playCursor.load(), 20.0f);
    EXPECT_GE(c.model->noteCount, 1); // the first playing block cut notes
}

TEST(ProcessingCycleTest, StoppedHostPassesTheInputThroughWithNoCursors)
{
    Cycle c;
    c.model->takePosition = 5000;
    c.hostAt(10000, false);
    c.run(&c.time, 256);
    EXPECT_TRUE(c.passedThrough());
    EXPECT_EQ(c.model->takePosition, 5000);
    EXPECT_EQ(c.model->recordCursor.load(), -1.0f);
    EXPECT_EQ(c.model->playCursor.load(), -1.0f);
    EXPECT_FALSE(c.model->isRecorded(5000));
    // No time information at all is a stopped host too.
    c.run(nullptr, 256);
    EXPECT_TRUE(c.passedThrough());
    EXPECT_FALSE(c.model->isRecorded(0));
}

TEST(ProcessingCycleTest, HostPositionsOutsideTheTakeAreAStoppedHostAtZero)
{
    Cycle c;
    c.model->transportMode = kForceScan;
    c.model->takePosition = 700;
    for (double position : {-1.0, 5292001.0, std::nan("")}) {
        c.hostAt(position, true);
        HostTransport host = hostTransport(&c.time);
        EXPECT_FALSE(host.playing) << position;
        EXPECT_EQ(host.position, 0.0f) << position;
    }
    // Force scan with a stopped host records on from where it is.
    c.hostAt(-1.0, true);
    c.run(&c.time, 100);
    EXPECT_EQ(c.model->takePosition, 800);
    EXPECT_TRUE(c.model->isRecorded(799));
    c.time.flags = kVstTransportRecording;
    c.time.samplePos = 5292000.0;
    EXPECT_TRUE(hostTransport(&c.time).playing);
}

TEST(ProcessingCycleTest, ForceScanFollowsARunningHostAndOverwrites)
{
    Cycle c;
    c.model->transportMode = kForceScan;
    c.hostAt(3000, true);
    c.run(&c.time, 64, 0.5f);
    c.hostAt(3000, true);
    c.run(&c.time, 64, 0.125f);
    EXPECT_EQ(c.model->recordBuffer[3000], 0.125f);
    EXPECT_EQ(c.model->takePosition, 3064);
    EXPECT_TRUE(c.passedThrough());
}

TEST(ProcessingCycleTest, LiveIntonationWrapsOncePerBlock)
{
    Cycle c;
    c.model->transportMode = kLiveIntonation;
    c.hostAt(50000, true); // ignored
    c.model->takePosition = 199600;
    c.run(&c.time, 512);
    EXPECT_EQ(c.model->takePosition, 200112);
    EXPECT_TRUE(c.model->isRecorded(200111));
    c.run(&c.time, 512);
    EXPECT_EQ(c.model->takePosition, 512);
    EXPECT_TRUE(c.model->isRecorded(0));
    c.model->takePosition = kLiveLoopLength;
    c.run(&c.time, 10);
    EXPECT_EQ(c.model->takePosition, 10);
}

TEST(ProcessingCycleTest, RecordingFromZeroAnalysesAtTheFrameBoundaries)
{
    Cycle c;
    c.model->transportMode = kForceScan;
    std::vector<int> changes;
    int last = c.model->lastAnalysedFrame;
    for (int p = 0; p < 2400; ++p) {
        c.run(nullptr, 1);
        if (c.model->lastAnalysedFrame != last) {
            changes.push_back(p);
            last = c.model->lastAnalysedFrame;
        }
    }
    EXPECT_EQ(changes, (std::vector<int> {0, 257, 769, 1792, 2304}));
    EXPECT_EQ(c.model->lastAnalysedFrame, 2);
}

TEST(ProcessingCycleTest, EditorPlayWithoutNotesCutsThemBeforeTheFirstSample)
{
    Cycle c;
    setTrack(*c.model, 0, 40, 9.0f);
    recordTone(*c.model, 0, 40 * kFrameLength, 9.0f);
    c.model->editorPlaying = true;
    c.model->transportMode = kForceScan; // the play command wins over any mode
    c.model->takePosition = 5120;
    c.run(nullptr, 512);
    EXPECT_EQ(c.model->noteCount, 1);
    EXPECT_NE(c.out0[0], kStale);
    EXPECT_NE(c.out0[0], 0.0f);
    EXPECT_EQ(c.out0, c.out1);
    EXPECT_EQ(c.model->takePosition, 5632);
    EXPECT_EQ(c.model->playCursor.load(), 10.0f);
    EXPECT_TRUE(c.model->noteEditorRedrawRequested.load());
}

TEST(ProcessingCycleTest, ANullSecondOutputIsLeftAlone)
{
    Cycle c;
    c.model->transportMode = kForceScan;
    c.run(nullptr, 128, 0.25f, false);
    EXPECT_EQ(c.out0, c.in0);
    EXPECT_EQ(c.out1, std::vector<float>(128, kStale));
    c.model->editorPlaying = true;
    c.run(nullptr, 128, 0.25f, false);
    EXPECT_EQ(c.out1, std::vector<float>(128, kStale));
}

TEST(ProcessingCycleTest, RedrawIsRequestedOnlyFromPositionTwoThousand)
{
    Cycle c;
    c.model->transportMode = kForceScan;
    c.run(nullptr, 1999);
    EXPECT_FALSE(c.model->scanViewRedrawRequested.load());
    c.run(nullptr, 1);
    EXPECT_TRUE(c.model->scanViewRedrawRequested.load());
    EXPECT_FALSE(c.model->noteEditorRedrawRequested.load());
}

TEST(ProcessingCycleTest, RequestedPositionIsAppliedAtTheStartOfTheBlock)
{
    Cycle c;
    c.model->transportMode = kForceScan;
    c.model->requestedTakePosition = 4096;
    c.run(nullptr, 10);
    EXPECT_TRUE(c.model->isRecorded(4096));
    EXPECT_EQ(c.model->takePosition, 4106);
    EXPECT_EQ(c.model->requestedTakePosition.load(), kNoPositionRequest);
}

TEST(ProcessingCycleTest, NegativePositionPassesThroughAndKeepsTheCursors)
{
    Cycle c;
    c.model->editorPlaying = true;
    c.model->requestedTakePosition = -5;
    c.model->playCursor = 7.0f;
    c.run(nullptr, 64);
    EXPECT_TRUE(c.passedThrough());
    EXPECT_EQ(c.model->takePosition, -5);
    EXPECT_EQ(c.model->playCursor.load(), 7.0f);
}

TEST(ProcessingCycleTest, AHeldEditLockSilencesThePlayingBlockButNotRecording)
{
    Cycle c;
    c.model->editorPlaying = true;
    ASSERT_TRUE(c.lock.tryLock());
    c.run(nullptr, 256);
    EXPECT_EQ(c.out0, std::vector<float>(256, 0.0f));
    EXPECT_EQ(c.model->takePosition, 256);
    EXPECT_EQ(c.silenced.load(), 1);
    EXPECT_EQ(c.model->noteCount, 0); // no segmentation without the lock
    c.model->editorPlaying = false;
    c.model->transportMode = kForceScan;
    c.run(nullptr, 256);
    EXPECT_TRUE(c.model->isRecorded(256));
    EXPECT_EQ(c.silenced.load(), 1);
    c.lock.unlock();
}

TEST(ProcessingCycleTest, AutoModeAtTheVeryEndOfTheTakeRecordsNothingAndPassesThrough)
{
    Cycle c;
    c.model->markRecorded(kTakeLength - 1);
    c.hostAt(kTakeLength, true);
    c.run(&c.time, 64);
    EXPECT_TRUE(c.passedThrough());
    EXPECT_EQ(c.model->takePosition, kTakeLength + 64);
    EXPECT_EQ(c.model->recordedLength.load(), kTakeLength);
}

TEST(ProcessingCycleTest, PlaybackRetunesEveryThousandSamples)
{
    Cycle c;
    setTrack(*c.model, 0, 40, 0.0f);
    int n = addNote(*c.model, 0.0f, 40.0f);
    c.model->pitch[n] = 0.0f;
    c.model->sourcePitch[n] = 0.0f;
    c.model->heldNotes[0] = 60; // pitch 12
    c.model->editorPlaying = true;
    c.model->takePosition = 512; // the note has started
    c.run(nullptr, 1489); // through position 2000: retunes at 1000 and 2000
    EXPECT_NEAR(c.model->pitch[n] + c.model->fineTune[n], 2.4f, 1e-5f);
}

TEST(ProcessingCycleTest, NonFiniteInputNeverReachesTheOutput)
{
    Cycle c;
    c.model->transportMode = kForceScan;
    c.fillInput(4, 0.0f);
    c.in0 = {NAN, INFINITY, -INFINITY, 0.5f};
    c.in1 = c.in0;
    float* inputs[2] = {c.in0.data(), c.in1.data()};
    float* outputs[2] = {c.out0.data(), c.out1.data()};
    ProcessingContext context {*c.model, c.detector, c.resynthesis, c.lock, c.silenced, {}, {}};
    processBlock(context, nullptr, inputs, outputs, 4);
    EXPECT_EQ(c.out0, (std::vector<float> {0.0f, 0.0f, 0.0f, 0.5f}));
    EXPECT_EQ(c.out1, c.out0);
    // Empty and negative blocks touch nothing.
    processBlock(context, nullptr, inputs, outputs, 0);
    processBlock(context, nullptr, inputs, outputs, -3);
    EXPECT_EQ(c.model->takePosition, 4);
}

// A playing block renders between the retune points at once; it must give
// what outputSampleAt gives sample by sample, on both outputs, including
// where the position reaches its limit (INT_MAX / 2) and holds there.
class PlayingBlockTest : public ::testing::TestWithParam<int> { };

TEST_P(PlayingBlockTest, EqualsTheSampleBySampleLoop)
{
    constexpr int kPositionLimit = INT_MAX / 2;
    constexpr int kBlock = 2500;
    Cycle c;
    auto reference = makeModel();
    for (TakeModel* model : {c.model.get(), reference.get()}) {
        setTrack(*model, 0, 40, 0.3f);
        recordTone(*model, 0, 40 * kFrameLength, 0.3f);
        int n = addNote(*model, 0.0f, 40.0f);
        model->pitch[n] = 2.0f;
        model->heldNotes[0] = 60;
        model->takePosition = GetParam();
    }
    c.model->editorPlaying = true;
    c.run(nullptr, kBlock);
    Resynthesis resynthesis;
    resynthesis.invalidate();
    int position = GetParam();
    int differing = 0;
    for (int i = 0; i < kBlock; ++i) {
        if (position % kMidiRetuneInterval == 0)
            resynthesis.midiRetune(*reference, position);
        differing += resynthesis.outputSampleAt(*reference, position, {}) != c.out0[i];
        position = std::min(position + 1, kPositionLimit);
    }
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(c.out1, c.out0);
    EXPECT_EQ(c.model->takePosition, position);
    EXPECT_EQ(
        c.model->pitch[0] + c.model->fineTune[0], reference->pitch[0] + reference->fineTune[0]);
}

INSTANTIATE_TEST_SUITE_P(
    Starts, PlayingBlockTest, ::testing::Values(0, 700, 12 * kFrameLength + 3, INT_MAX / 2 - 900));
