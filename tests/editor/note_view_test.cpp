// The note view drawn offscreen, checked at named pixels.
#include "editor/note_geometry.h"
#include "editor/note_view.h"
#include "shell/pitch_effect.h"
#include "support/effect_internals.h"
#include "toolkit/c_frame.h"
#include "toolkit/offscreen_platform.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr int kWidth = 390;
constexpr int kHeight = 330;
constexpr CColor kExcludedLine {120, 30, 30, 255};
constexpr CColor kAllowedLine {180, 70, 80, 255};
constexpr CColor kBeatLine {160, 60, 60, 255};

class NoteViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frame = new CFrame(CRect(0, 0, kWidth, kHeight), &platform, nullptr, platform);
        window = platform.lastWindow();
        frame->setBackgroundColor(kGreyCColor);
        view = new NoteView(CRect(0, 0, 10000, kHeight));
        view->effect = effect.get();
        frame->addView(view);
    }
    void TearDown() override { frame->forget(); }

    void draw() { frame->redrawAll(); }
    bool same(int x, int y, CColor colour) const { return window->pixel(x, y).sameRgb(colour); }

    // A note over frames [start, end) whose source audio is sung at pitch
    // with a vibrato of half a semitone.
    int addSungNote(int start, int end, float pitch)
    {
        TakeModel& model = modelOf(*effect);
        for (int f = start; f < end; ++f) {
            model.framePitch[0][f] = pitch + 0.5f * std::sin(0.4f * f);
            model.frameVoicing[0][f] = 0.8f;
        }
        int i = model.noteCount++;
        model.targetStart[i] = model.sourceStart[i] = static_cast<float>(start);
        model.targetEnd[i] = model.sourceEnd[i] = static_cast<float>(end);
        model.sourceRow[i] = 0;
        model.pitch[i] = kPitchUnset; // measured on first use
        model.sourcePitch[i] = kPitchUnset;
        model.volume[i] = 1.0f;
        model.vibratoRate[i] = 0.4f;
        model.blending[i] = 0.5f;
        model.prevNote[i] = model.nextNote[i] = kLinkUnresolved;
        return i;
    }

    OffscreenPlatform platform;
    std::unique_ptr<PitchEffect> effect = std::make_unique<PitchEffect>(nullptr);
    CFrame* frame = nullptr;
    OffscreenWindow* window = nullptr;
    NoteView* view = nullptr;
};

TEST_F(NoteViewTest, GridLinesAndBeatsAtTheirPixels)
{
    view->analysisRow = 0;
    draw();
    // The initial scale excludes B (line at y 25) and allows C (y 304).
    EXPECT_TRUE(same(200, 25, kExcludedLine));
    EXPECT_TRUE(same(200, 304, kAllowedLine));
    EXPECT_TRUE(same(1, 304, kAllowedLine));
    EXPECT_TRUE(same(387, 304, kAllowedLine));
    EXPECT_FALSE(same(388, 304, kAllowedLine)); // lines end before x 388
    EXPECT_FALSE(same(200, 303, kAllowedLine));
    // Without a host tempo the grid keeps 30 frames a beat.
    EXPECT_TRUE(same(30, 100, kBeatLine));
    EXPECT_TRUE(same(360, 0, kBeatLine));
    EXPECT_FALSE(same(31, 100, kBeatLine));
}

TEST_F(NoteViewTest, NoteShowsItsRedBarAndTicks)
{
    int note = addSungNote(100, 160, 12.0f); // pitch class 0
    draw();
    EXPECT_FLOAT_EQ(effect->takeModel().pitch[note], 12.0f);
    // The contour follows the sung vibrato; where it leaves the target row
    // the red bar shows.
    const TakeModel& model = effect->takeModel();
    int barY = pitchY(model.pitch[note] + model.fineTune[note], rowHeight(kHeight));
    int red = 0;
    for (int x = 101; x < 159; ++x)
        red += same(x, barY, kRedCColor);
    EXPECT_GT(red, 20);
    EXPECT_FALSE(same(99, barY, kRedCColor));
    EXPECT_FALSE(same(161, barY, kRedCColor));
    // The start tick of class 0 runs from 296 to 311 (the contour leaving
    // the start point may cross its top pixels).
    EXPECT_TRUE(same(100, 303, kBlackCColor));
    EXPECT_TRUE(same(100, 311, kBlackCColor));
    EXPECT_FALSE(same(100, 312, kBlackCColor));
    EXPECT_TRUE(same(160, 298, kBlackCColor)); // end tick right of the last frame
    EXPECT_FALSE(same(159, 298, kBlackCColor));
}

TEST_F(NoteViewTest, DrawWritesTheViewStartAndClearsDirty)
{
    modelOf(*effect).viewStartFrame = 77;
    view->setDirty(true);
    draw();
    EXPECT_EQ(effect->takeModel().viewStartFrame, 0);
    EXPECT_FALSE(view->isDirty());
}

TEST_F(NoteViewTest, AViewWithoutAnEffectDrawsNothingAndStaysClean)
{
    view->effect = nullptr;
    view->setDirty(true);
    draw();
    EXPECT_FALSE(view->isDirty());
    EXPECT_TRUE(same(200, 25, kGreyCColor));
}

} // namespace
