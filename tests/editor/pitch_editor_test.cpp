// The whole editor, opened offscreen: layout, lifecycle, redraw requests and
// the picture after a recorded and segmented melody.
#include "editor/note_geometry.h"
#include "editor/note_scroll_view.h"
#include "editor/panel_button.h"
#include "editor/pitch_editor.h"
#include "engine/edit_lock.h"
#include "melody_helpers.h"
#include "shell/pitch_effect.h"
#include "support/effect_internals.h"
#include "toolkit/c_bitmap.h"
#include "toolkit/c_frame.h"
#include "toolkit/c_option_menu.h"
#include "toolkit/c_slider.h"
#include "toolkit/c_tab_view.h"
#include "toolkit/offscreen_platform.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

bool isVoicingGrey(CColor c) { return c.red == c.green && c.green == c.blue && c.red > 60; }

class PitchEditorTest : public ::testing::Test {
protected:
    PitchEditorTest()
        : effect(std::make_unique<PitchEffect>(nullptr))
        , editor(new PitchEditor(effect.get(), &platform)) // the effect owns it
    {
    }

    void openAndPaint()
    {
        ASSERT_TRUE(editor->open(&platform));
        window = platform.lastWindow();
        editor->idle(); // the first exposure paints everything
    }
    CTabView* tabView() const { return dynamic_cast<CTabView*>(editor->getFrame()->getView(0)); }
    bool is(int x, int y, CColor colour) const { return window->pixel(x, y).sameRgb(colour); }

    OffscreenPlatform platform;
    std::unique_ptr<PitchEffect> effect;
    PitchEditor* editor;
    OffscreenWindow* window = nullptr;
};

TEST_F(PitchEditorTest, LayoutInTableOrder)
{
    openAndPaint();
    CFrame* frame = editor->getFrame();
    // Tab view, note editor, 4 menus, 4 buttons, 12 keys, 4 tools, 9 sliders, 10 labels.
    ASSERT_EQ(frame->getNbViews(), 1 + 1 + 4 + 4 + 12 + 4 + 9 + 10);
    ASSERT_NE(tabView(), nullptr);
    EXPECT_EQ(tabView()->getNbTabs(), 4);
    EXPECT_EQ(tabView()->getCurrentTab(), 0);
    EXPECT_EQ(frame->getView(1), editor->noteEditorScrollView);
    EXPECT_EQ(editor->noteEditorScrollView->getViewSize(), CRect(422, 56, 812, 400));
    EXPECT_EQ(editor->noteEditorScrollView->noteView->analysisRow, -1);
    EXPECT_EQ(editor->scanScrollView->noteView->analysisRow, 0);
    EXPECT_EQ(editor->modeMenu->getTag(), 0);
    EXPECT_EQ(editor->scaleMenu->getViewSize(), CRect(0, 0, 1, 1));

    // The keyboard: B at the top (tag 25) down to C (tag 14).
    const int keyTops[12] = {74, 99, 125, 150, 176, 201, 226, 252, 277, 303, 328, 353};
    for (int i = 0; i < 12; ++i) {
        auto* key = dynamic_cast<PanelButton*>(frame->getView(10 + i));
        ASSERT_NE(key, nullptr) << i;
        EXPECT_EQ(key->getTag(), 25 - i);
        EXPECT_EQ(key->getViewSize(), CRect(403, keyTops[i], 418, keyTops[i] + 15));
    }
    EXPECT_STREQ(dynamic_cast<PanelButton*>(frame->getView(10))->label, "H");
    EXPECT_STREQ(dynamic_cast<PanelButton*>(frame->getView(21))->label, "C");

    for (int t = 0; t < kToolButtonCount; ++t) {
        EXPECT_EQ(editor->toolButtons[t]->getTag(), 8 + t);
        EXPECT_EQ(editor->toolButtons[t]->selected, t == 0);
        EXPECT_TRUE(editor->toolButtons[t]->outline);
    }
    for (int s = 0; s < kNoteSliderCount; ++s) {
        EXPECT_EQ(editor->noteSliders[s]->getTag(), 28 + s);
        EXPECT_FLOAT_EQ(editor->noteSliders[s]->getValue(), 0.0f);
    }
    EXPECT_EQ(editor->noteSliders[4]->getViewSize(), CRect(700, 430, 812, 445));
}

TEST_F(PitchEditorTest, ModeMenuShowsTheTransportModeAtOpen)
{
    modelOf(*effect).transportMode = kLiveIntonation;
    openAndPaint();
    EXPECT_FLOAT_EQ(editor->modeMenu->getValue(), 2.0f);
    EXPECT_EQ(editor->noteMenu->getCurrent(), 0);
    EXPECT_EQ(editor->selectMenu->getCurrent(), 0);
}

TEST_F(PitchEditorTest, BackgroundShowsTheTopOfItsBitmap)
{
    openAndPaint();
    CBitmap* bitmap = new CBitmap(kBackgroundBitmapId);
    ASSERT_EQ(bitmap->getHeight(), 600);
    bitmap->forget();
    // Compare with the bitmap drawn alone into a frame of the same size.
    OffscreenPlatform other;
    CFrame* plain = new CFrame(CRect(0, 0, kEditorWidth, kEditorHeight), &other, nullptr, other);
    CBitmap* texture = new CBitmap(kBackgroundBitmapId);
    plain->setBackground(texture);
    texture->forget();
    plain->redrawAll();
    for (CPoint p : {CPoint(2, 2), CPoint(600, 10), CPoint(5, 515), CPoint(815, 515)})
        EXPECT_EQ(window->pixel(p.h, p.v), other.lastWindow()->pixel(p.h, p.v))
            << p.h << "," << p.v;
    plain->forget();
}

TEST_F(PitchEditorTest, IdleBeforeOpenAndAfterCloseDoesNothing)
{
    editor->idle();
    EXPECT_EQ(editor->getFrame(), nullptr);
    openAndPaint();
    editor->close();
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_EQ(editor->noteEditorScrollView, nullptr);
    EXPECT_EQ(editor->scanScrollView, nullptr);
    modelOf(*effect).noteEditorRedrawRequested = true;
    editor->idle();
    EXPECT_FALSE(effect->takeModel().noteEditorRedrawRequested.load());
}

TEST_F(PitchEditorTest, RedrawRequestsMarkTheirViewsAtIdle)
{
    openAndPaint();
    editor->idle();
    EXPECT_FALSE(editor->noteEditorScrollView->isDirty());
    modelOf(*effect).playCursor = 100.0f;
    modelOf(*effect).noteEditorRedrawRequested = true;
    int presents = window->presentCount();
    editor->idle();
    EXPECT_FALSE(effect->takeModel().noteEditorRedrawRequested.load());
    EXPECT_GT(window->presentCount(), presents);
    // The cursor of the play position shows in the note editor at frame x 422 + 100.
    EXPECT_TRUE(is(522, 200, CColor {160, 60, 60, 255}));

    modelOf(*effect).scanViewRedrawRequested = true;
    modelOf(*effect).recordCursor = 50.0f;
    editor->idle();
    EXPECT_FALSE(effect->takeModel().scanViewRedrawRequested.load());
    EXPECT_TRUE(is(10 + 50, 200, CColor {160, 60, 60, 255}));
}

TEST_F(PitchEditorTest, PlayCursorBeyondThreeHundredScrollsTheNoteEditor)
{
    openAndPaint();
    modelOf(*effect).playCursor = 400.0f;
    modelOf(*effect).noteEditorRedrawRequested = true;
    editor->idle();
    EXPECT_EQ(editor->noteEditorScrollView->getScrollOffset().h, 400);
    EXPECT_EQ(effect->takeModel().viewStartFrame, 0); // that draw still showed frame 0 on
    editor->idle(); // the scroll made the view dirty: it draws again from frame 400
    EXPECT_EQ(effect->takeModel().viewStartFrame, 400);
    EXPECT_TRUE(is(422, 200, CColor {160, 60, 60, 255}) == false);
}

TEST_F(PitchEditorTest, ScanViewDoesNotFollowInLiveIntonation)
{
    openAndPaint();
    modelOf(*effect).transportMode = kLiveIntonation;
    modelOf(*effect).recordCursor = 350.0f;
    modelOf(*effect).scanViewRedrawRequested = true;
    editor->idle();
    EXPECT_EQ(editor->scanScrollView->getScrollOffset().h, 0);
    modelOf(*effect).transportMode = kForceScan;
    modelOf(*effect).scanViewRedrawRequested = true;
    editor->idle();
    EXPECT_EQ(editor->scanScrollView->getScrollOffset().h, 350);
}

TEST_F(PitchEditorTest, CloseAndReopenKeepTheTakeAndSelectScanAgain)
{
    recordAndSegmentMelody(*effect, testMelody());
    openAndPaint();
    int notes = modelOf(*effect).noteCount;
    ASSERT_GT(notes, 2);
    tabView()->selectTab(2);
    modelOf(*effect).selectionCount = 1;
    modelOf(*effect).selection[0] = 1;
    modelOf(*effect).scaleMask[3] = 1;
    editor->close();
    openAndPaint();
    EXPECT_EQ(tabView()->getCurrentTab(), 0);
    EXPECT_EQ(effect->takeModel().noteCount, notes);
    EXPECT_EQ(effect->takeModel().selectionCount, 1);
    EXPECT_EQ(effect->takeModel().selection[0], 1);
    EXPECT_EQ(effect->takeModel().scaleMask[3], 1);
}

// The picture a user sees after singing a melody and pressing "transfer >>".
TEST_F(PitchEditorTest, WholeEditorAfterARecordedMelody)
{
    recordAndSegmentMelody(*effect, testMelody());
    {
        EditGuard guard(editLockOf(*effect));
        modelOf(*effect).selectionCount = 0;
    }
    processSilentBlock(*effect); // the host stopped: no cursor any more
    openAndPaint();
    editor->idle();
    ASSERT_TRUE(window->writePng("pitch_editor.png"));

    // Grid of the note editor: line p = 1 (class 11, excluded by the initial
    // scale) at y 56 + 25, line p = 12 (class 0, allowed) at y 56 + 304.
    EXPECT_TRUE(is(422 + 200, 56 + 25, CColor {120, 30, 30, 255}));
    EXPECT_TRUE(is(422 + 200, 56 + 304, CColor {180, 70, 80, 255}));
    // The same grid under the "SCAN" tab, and the sung pitch drawn in the
    // grey of its voicing.
    EXPECT_TRUE(is(10 + 200, 56 + 25, CColor {120, 30, 30, 255}));
    int curve = 0;
    for (int f = 10; f < 60; ++f)
        for (int y = 56; y < 386; ++y)
            curve += isVoicingGrey(window->pixel(10 + f, y));
    EXPECT_GT(curve, 40);

    // The first note's red bar sits at its target pitch inside its span.
    const TakeModel& model = effect->takeModel();
    float rowH = rowHeight(330);
    int barY = 56 + pitchY(model.pitch[0] + model.fineTune[0], rowH);
    int red = 0;
    for (int f = static_cast<int>(model.targetStart[0]) + 1; f < model.targetEnd[0] - 1; ++f)
        red += is(422 + f, barY, kRedCColor);
    EXPECT_GT(red, 10);

    // Tab buttons: the selected "SCAN" button shows the dark edge of the
    // lower half at its top, the others the light edge of the upper half.
    CColor scanTop = window->pixel(10 + 43, 20);
    CColor otherTop = window->pixel(96 + 43, 20);
    EXPECT_LT(
        scanTop.red + scanTop.green + scanTop.blue, otherTop.red + otherTop.green + otherTop.blue);

    // A slider handle at value 0: its light grey border at the left of the
    // handle, 2 pixels in and 2 pixels down.
    EXPECT_TRUE(is(423 + 2, 430 + 2, CColor {239, 239, 239, 255}));
    EXPECT_TRUE(is(423 + 2 + 5, 430 + 2 + 5, kBlackCColor));
}

} // namespace
