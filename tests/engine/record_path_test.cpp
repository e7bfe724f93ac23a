#include "engine/record_path.h"
#include "support/allocation_counter.h"
#include "support/signals.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <vector>

namespace {

struct RecordPathTest : ::testing::Test {
    std::unique_ptr<TakeModel> model = std::make_unique<TakeModel>();
    std::unique_ptr<PitchDetector> detector = std::make_unique<PitchDetector>();
    AnalysisSettings settings;

    // Records one sample and tells whether the detector analysed a frame for
    // it: every analysis of non-silent input rewrites lastPhase.
    bool recordAndCheckAnalysed(float sample)
    {
        std::array<float, kBinCount> before = detector->lastPhase;
        recordSample(*model, *detector, settings, sample);
        return before != detector->lastPhase;
    }
};

} // namespace

TEST_F(RecordPathTest, AnalysisRunsWhereEachNewFrameBegins)
{
    std::vector<float> noise = makeNoise(6000, 0.5, 5);
    std::vector<int> analysedAt;
    for (int i = 0; i < 6000; ++i)
        if (recordAndCheckAnalysed(noise[i]))
            analysedAt.push_back(i);
    // Frames -2, -1 and 0 start at 0, 257 and 769 because the division
    // truncates toward zero; frame f >= 1 at 1,280 + 512 f.
    std::vector<int> expected = {0, 257, 769};
    for (int f = 1; kAnalysisOffset + kFrameLength * f < 6000; ++f)
        expected.push_back(kAnalysisOffset + kFrameLength * f);
    EXPECT_EQ(analysedAt, expected);
    EXPECT_EQ(expected[3], 1792);
    EXPECT_EQ(expected[4], 2304);
}

TEST_F(RecordPathTest, FrameArithmeticCursorAndPosition)
{
    struct Step {
        int position;
        int frame;
    };
    for (Step step : {Step {0, -2}, {256, -2}, {257, -1}, {768, -1}, {769, 0}, {1791, 0}, {1792, 1},
             {2303, 1}, {2304, 2}}) {
        model->takePosition = step.position;
        recordSample(*model, *detector, settings, 0.25f);
        EXPECT_EQ(model->analysisFrame, step.frame) << step.position;
        EXPECT_EQ(model->recordCursor.load(), static_cast<float>(step.frame)) << step.position;
        EXPECT_EQ(model->takePosition, step.position + 1);
        EXPECT_EQ(model->recordBuffer[step.position], 0.25f);
    }
}

TEST_F(RecordPathTest, FramesBeforeTheTakeStoreNoAnalysis)
{
    for (int f = 0; f < 4; ++f)
        model->framePitch[0][f] = 7.0f;
    std::vector<float> tone = makeSine(220.0, 768);
    for (float s : tone)
        recordSample(*model, *detector, settings, s);
    EXPECT_EQ(model->lastAnalysedFrame, -1);
    for (int f = 0; f < 4; ++f) {
        EXPECT_EQ(model->framePitch[0][f], 7.0f) << f;
        EXPECT_EQ(model->frameVoicing[0][f], 0.0f) << f;
    }
}

TEST_F(RecordPathTest, RecordingTheSameFrameAgainDoesNotAnalyseIt)
{
    std::vector<float> noise = makeNoise(3000, 0.5, 9);
    for (int i = 0; i < 2000; ++i)
        recordSample(*model, *detector, settings, noise[i]);
    ASSERT_EQ(model->lastAnalysedFrame, 1);
    model->takePosition = 1900; // back, but still inside frame 1
    for (int i = 0; i < 100; ++i)
        EXPECT_FALSE(recordAndCheckAnalysed(noise[2000 + i])) << i;
    EXPECT_EQ(model->recordBuffer[1950], noise[2050]);
    model->takePosition = 1700; // frame 0: a different frame, analysed again
    EXPECT_TRUE(recordAndCheckAnalysed(0.5f));
    EXPECT_EQ(model->lastAnalysedFrame, 0);
}

TEST_F(RecordPathTest, PositionsOutsideTheTakeAreNotStoredButStillAdvance)
{
    model->takePosition = -3;
    for (int i = 0; i < 6; ++i)
        recordSample(*model, *detector, settings, 1.0f + i);
    EXPECT_EQ(model->takePosition, 3);
    EXPECT_EQ(model->recordBuffer[0], 4.0f);
    EXPECT_EQ(model->recordBuffer[2], 6.0f);
    EXPECT_EQ(model->recordedLength.load(), 3);

    model->takePosition = kTakeLength - 2;
    const int lastAnalysed = model->lastAnalysedFrame = 9000;
    for (int i = 0; i < 5; ++i)
        recordSample(*model, *detector, settings, 0.5f);
    EXPECT_EQ(model->takePosition, kTakeLength + 3);
    EXPECT_EQ(model->recordBuffer[kTakeLength - 1], 0.5f);
    EXPECT_TRUE(model->isRecorded(kTakeLength - 1));
    EXPECT_EQ(model->recordedLength.load(), kTakeLength);
    // Frame 10,333: past the analysed frames.
    EXPECT_EQ(model->analysisFrame, (kTakeLength + 2 - kAnalysisOffset) / kFrameLength);
    EXPECT_EQ(model->lastAnalysedFrame, lastAnalysed);
}

TEST_F(RecordPathTest, Frame9999IsTheLastAnalysed)
{
    // Frame 9,999 begins at 1,280 + 512 * 9,999 = 5,120,768; frame 10,000
    // (5,121,280 on) is recorded but never analysed.
    model->takePosition = 5120768 - 2;
    model->lastAnalysedFrame = 9998;
    for (int i = 0; i < 1200; ++i)
        recordSample(*model, *detector, settings, 0.3f);
    EXPECT_EQ(model->lastAnalysedFrame, 9999);
    EXPECT_EQ(model->analysisFrame, 10001);
    EXPECT_EQ(model->recordBuffer[5121280 + 100], 0.3f);
}

TEST_F(RecordPathTest, ARecordedZeroAndANonFiniteInputAreMarkedRecorded)
{
    model->takePosition = 10;
    recordSample(*model, *detector, settings, 0.0f);
    recordSample(*model, *detector, settings, std::numeric_limits<float>::quiet_NaN());
    recordSample(*model, *detector, settings, -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(model->isRecorded(10));
    EXPECT_TRUE(model->isRecorded(11));
    EXPECT_TRUE(model->isRecorded(12));
    EXPECT_FALSE(model->isRecorded(13));
    EXPECT_EQ(model->recordBuffer[11], 0.0f);
    EXPECT_EQ(model->recordBuffer[12], 0.0f);
    EXPECT_EQ(model->recordedLength.load(), 13);
}

TEST_F(RecordPathTest, ThePositionStopsAtTheEndOfTheIntRange)
{
    model->takePosition = INT_MAX - 1;
    recordSample(*model, *detector, settings, 0.1f);
    recordSample(*model, *detector, settings, 0.1f);
    EXPECT_EQ(model->takePosition, INT_MAX);
    EXPECT_EQ(model->analysisFrame, static_cast<int>((int64_t {INT_MAX} - 1280) / 512));

    model->takePosition = INT_MIN;
    recordSample(*model, *detector, settings, 0.1f);
    EXPECT_EQ(model->takePosition, INT_MIN + 1);
    EXPECT_EQ(model->analysisFrame, static_cast<int>((int64_t {INT_MIN} - 1280) / 512));
}

TEST_F(RecordPathTest, RecordingAllocatesNothing)
{
    std::vector<float> tone = makeHarmonicTone(196.0, 100 * kFrameLength);
    {
        AllocationCounter counter;
        for (float s : tone)
            recordSample(*model, *detector, settings, s);
        EXPECT_EQ(counter.count(), 0);
    }
    EXPECT_GT(model->lastAnalysedFrame, 90);
    EXPECT_GT(model->frameVoicing[0][50], 0.0f);

    // The counter does see allocations.
    AllocationCounter counter;
    auto probe = std::make_unique<std::vector<int>>(10);
    EXPECT_EQ(counter.count(), 2);
}

// Blocks recorded at once against the same samples one at a time: starts
// before the take (negative positions), across the analysis offset and the
// frame edges, at a frame already analysed (recorded again), past frame 9,999
// and over the take's end; blocks of odd lengths, some with a missing input
// or non-finite samples.
class RecordBlockTest : public ::testing::TestWithParam<int> { };

TEST_P(RecordBlockTest, RecordsWhatSampleBySampleRecords)
{
    const int start = GetParam();
    auto blockModel = std::make_unique<TakeModel>();
    auto sampleModel = std::make_unique<TakeModel>();
    auto blockDetector = std::make_unique<PitchDetector>();
    auto sampleDetector = std::make_unique<PitchDetector>();
    const AnalysisSettings settings;
    std::vector<float> noise = makeNoise(9000, 0.5, 3);
    noise[100] = std::numeric_limits<float>::quiet_NaN();
    noise[4000] = std::numeric_limits<float>::infinity();
    for (TakeModel* model : {blockModel.get(), sampleModel.get()}) {
        model->takePosition = start;
        model->lastAnalysedFrame = (start - kAnalysisOffset) / kFrameLength; // recorded before
    }
    const int lengths[] = {1, 700, 511, 2048, 37, 0, 1500, 4203};
    int read = 0;
    for (int length : lengths) {
        const bool silent = length == 37; // a host giving no input
        recordSamples(
            *blockModel, *blockDetector, settings, silent ? nullptr : &noise[read], length);
        for (int i = 0; i < length; ++i)
            recordSample(*sampleModel, *sampleDetector, settings, silent ? 0.0f : noise[read + i]);
        read += length;
        ASSERT_EQ(blockModel->takePosition, sampleModel->takePosition);
        ASSERT_EQ(blockModel->analysisFrame, sampleModel->analysisFrame);
        ASSERT_EQ(blockModel->lastAnalysedFrame, sampleModel->lastAnalysedFrame);
        ASSERT_EQ(blockModel->recordCursor.load(), sampleModel->recordCursor.load());
        ASSERT_EQ(blockModel->recordedLength.load(), sampleModel->recordedLength.load());
    }
    EXPECT_EQ(blockDetector->lastPhase, sampleDetector->lastPhase);
    int differing = 0;
    for (int p = std::max(start - 64, 0); p < std::min(start + read + 64, kTakeLength); ++p)
        differing += blockModel->isRecorded(p) != sampleModel->isRecorded(p)
            || blockModel->recordBuffer[p] != sampleModel->recordBuffer[p];
    EXPECT_EQ(differing, 0);
    for (int f = 0; f < kAnalysedFrames; ++f)
        differing += blockModel->framePitch[0][f] != sampleModel->framePitch[0][f];
    EXPECT_EQ(differing, 0);
}

INSTANTIATE_TEST_SUITE_P(Starts, RecordBlockTest,
    ::testing::Values(-3000, 0, 1000, kAnalysisOffset + 5 * kFrameLength - 3, 61,
        kAnalysisOffset + 9998 * kFrameLength, kTakeLength - 5000));
