#include <gtest/gtest.h>

#include <memory>

#include "model/take_model.h"

TEST(TakeModelTest, FreshModelHasTheInitialState)
{
    auto model = std::make_unique<TakeModel>();
    EXPECT_EQ(model->noteCount, 0);
    EXPECT_EQ(model->selectionCount, 0);
    for (int i = 0; i < kTakeLength; i += 997)
        ASSERT_EQ(model->recordBuffer[i], 0.0f) << i;
    EXPECT_EQ(model->recordBuffer[kTakeLength - 1], 0.0f);
    for (int note = 0; note < kMaxNotes; ++note) {
        for (int j = 0; j < kContourLength; ++j)
            ASSERT_EQ(model->contour[note][j], -1000.0f);
        ASSERT_EQ(model->prevNote[note], -2);
        ASSERT_EQ(model->nextNote[note], -2);
    }
    const std::array<int, 12> minorOnC = {0, 1, 0, 0, 1, 0, 1, 0, 0, 1, 0, 1};
    EXPECT_EQ(model->scaleMask, minorOnC);
    EXPECT_EQ(model->transportMode.load(), 0);
    EXPECT_EQ(model->editTool, 0);
    EXPECT_EQ(model->standardPitchControl, 1.0f);
    EXPECT_EQ(model->takePosition, 0);
    EXPECT_EQ(model->analysisFrame, 0);
    EXPECT_EQ(model->viewStartFrame, 0);
    EXPECT_FALSE(model->editorPlaying.load());
    EXPECT_EQ(model->framesPerBeat, 30.0f);
    for (int v = 0; v < kVoiceCount; ++v) {
        EXPECT_EQ(model->voiceOffset[v], 0.0f);
        EXPECT_EQ(model->voiceFadeOffset[v], 0.0f);
        EXPECT_EQ(model->voiceFadeCount[v], 0.0f);
        EXPECT_EQ(model->voiceNote[v], -1);
        EXPECT_EQ(model->heldNotes[v], -1);
    }
    EXPECT_EQ(model->recordCursor.load(), -1.0f);
    EXPECT_EQ(model->playCursor.load(), -1.0f);
    EXPECT_EQ(model->lastAnalysedFrame, 0);
    EXPECT_EQ(model->requestedTakePosition.load(), kNoPositionRequest);
}

TEST(TakeModelTest, AnalysisRowsStartUnvoicedAtPitchZero)
{
    auto model = std::make_unique<TakeModel>();
    for (int row = 0; row < kAnalysisRows; ++row)
        for (int frame = 0; frame < kFrameCapacity; frame += 101) {
            ASSERT_EQ(model->framePitch[row][frame], 0.0f);
            ASSERT_EQ(model->frameVoicing[row][frame], 0.0f);
        }
}

TEST(TakeModelTest, RecordMapTellsRecordedZerosFromUnrecordedSamples)
{
    auto model = std::make_unique<TakeModel>();
    EXPECT_FALSE(model->isRecorded(1000));
    model->markRecorded(1000);  // a recorded digital zero
    EXPECT_TRUE(model->isRecorded(1000));
    EXPECT_FALSE(model->isRecorded(999));
    EXPECT_FALSE(model->isRecorded(1001));
    EXPECT_EQ(model->recordedLength.load(), 1001);
    model->markRecorded(kTakeLength - 1);
    EXPECT_TRUE(model->isRecorded(kTakeLength - 1));
    EXPECT_FALSE(model->isRecorded(kTakeLength));
    EXPECT_FALSE(model->isRecorded(-1));
    model->markRecorded(5);
    EXPECT_EQ(model->recordedLength.load(), kTakeLength);
}

TEST(TakeModelTest, ResetReturnsEveryFieldToItsInitialValue)
{
    auto model = std::make_unique<TakeModel>();
    model->recordBuffer[12345] = 0.5f;
    model->framePitch[0][7] = 3.0f;
    model->markRecorded(12345);
    model->noteCount = 3;
    model->contour[2][5] = 1003.5f;
    model->prevNote[1] = 0;
    model->scaleMask.fill(0);
    model->heldNotes[0] = 60;
    model->playCursor = 4.0f;
    model->reset();
    EXPECT_EQ(model->recordBuffer[12345], 0.0f);
    EXPECT_EQ(model->framePitch[0][7], 0.0f);
    EXPECT_FALSE(model->isRecorded(12345));
    EXPECT_EQ(model->recordedLength.load(), 0);
    EXPECT_EQ(model->noteCount, 0);
    EXPECT_EQ(model->contour[2][5], -1000.0f);
    EXPECT_EQ(model->prevNote[1], -2);
    EXPECT_EQ(model->scaleMask, kInitialScaleMask);
    EXPECT_EQ(model->heldNotes[0], -1);
    EXPECT_EQ(model->playCursor.load(), -1.0f);
}
