// Editing notes with the mouse in the whole editor, offscreen: presses and
// drags are scripted pointer states that the note view's tracking loop reads.
#include "editing/note_gestures.h"
#include "editor/note_geometry.h"
#include "editor/note_scroll_view.h"
#include "editor/note_view.h"
#include "editor/note_view_scene.h"
#include "editor/pitch_editor.h"
#include "engine/contour_lookup.h"
#include "shell/pitch_effect.h"
#include "support/effect_internals.h"
#include "support/note_table_helpers.h"
#include "toolkit/c_frame.h"
#include "toolkit/c_slider.h"
#include "toolkit/c_view_container.h"
#include "toolkit/mouse_buttons.h"
#include "toolkit/offscreen_platform.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <vector>

namespace {

// The note editor's place in the window, and its row height.
constexpr int kEditorLeft = 422;
constexpr int kEditorTop = 56;
constexpr float kRowH = 330.0f / 13.0f;

// What the host's idle sees while a gesture runs.
std::function<void()> onHostIdle;
int hostIdles = 0;

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (opcode == audioMasterVersion)
        return 2400;
    if (opcode == audioMasterIdle) {
        ++hostIdles;
        if (onHostIdle)
            onHostIdle();
    }
    return 0;
}

// A clock that moves on by a modal loop's whole idle period at every
// reading, so that every step of a tracking loop idles the host.
class SteppingClock : public VirtualClock {
public:
    uint64_t ticks() override { return now += 100; }
};

class SteppingPlatform : public OffscreenPlatform {
public:
    PlatformClock& clock() override { return stepping; }

    SteppingClock stepping;
};

// y in the note view of a pitch's row.
int rowY(float pitch) { return pitchY(pitch, kRowH); }

class NoteViewMouseTest : public ::testing::Test {
protected:
    NoteViewMouseTest()
        : effect(std::make_unique<PitchEffect>(hostCallback))
        , editor(new PitchEditor(effect.get(), &platform)) // the effect owns it
    {
        onHostIdle = nullptr;
        hostIdles = 0;
    }
    ~NoteViewMouseTest() override { onHostIdle = nullptr; }

    void SetUp() override
    {
        ASSERT_TRUE(editor->open(&platform));
        window = platform.lastWindow();
        view = editor->noteEditorScrollView->noteView;
        editor->idle();
    }

    // A note over [start, end) in both spans at pitch, with its settings at
    // the values segmentation gives.
    int addNote(float start, float end, float pitch)
    {
        TakeModel& m = modelOf(*effect);
        int i = ::addNote(m, start, end);
        m.pitch[i] = m.sourcePitch[i] = pitch;
        return i;
    }
    void select(std::initializer_list<int> notes)
    {
        TakeModel& m = modelOf(*effect);
        m.selectionCount = 0;
        for (int note : notes)
            m.selection[m.selectionCount++] = note;
    }
    void useTool(int tool) { modelOf(*effect).editTool = tool; }

    // View point (frame, y) as a window point, with the editor scrolled to its start.
    static CPoint at(int frame, int y) { return CPoint(kEditorLeft + frame, kEditorTop + y); }

    // Moves the pointer with no button held and lets the editor idle, so the
    // note under it becomes the hover.
    void hover(const CPoint& where)
    {
        window->setPointer(where, 0);
        editor->idle();
    }
    // A press at the first point, the pointer held down through the others,
    // then released where it was last.
    void drag(long buttons, std::vector<CPoint> path)
    {
        hover(path.front());
        window->postMouseDown(path.front(), buttons);
        for (const CPoint& p : path)
            window->scriptPointer(p, buttons);
        window->scriptPointer(path.back(), 0);
        editor->idle();
    }
    void click(long buttons, const CPoint& where) { drag(buttons, {where}); }

    SteppingPlatform platform;
    std::unique_ptr<PitchEffect> effect;
    PitchEditor* editor;
    OffscreenWindow* window = nullptr;
    NoteView* view = nullptr;
};

// Splitting and joining.

TEST_F(NoteViewMouseTest, SplitCutsBothSpansAtThePointerWithAFrameOfMargin)
{
    useTool(kSplitTool);
    TakeModel& audio = modelOf(*effect);
    for (int f = 100; f < 200; ++f) {
        audio.framePitch[0][f] = f < 150 ? 5.2f : 4.8f;
        audio.frameVoicing[0][f] = 0.9f;
    }
    addNote(100, 200, 5);
    const int y = rowY(5);
    click(kLButton, at(101, y));
    click(kLButton, at(199, y));
    ASSERT_EQ(effect->takeModel().noteCount, 1);

    click(kLButton, at(150, y));
    const TakeModel& m = effect->takeModel();
    ASSERT_EQ(m.noteCount, 2);
    EXPECT_FLOAT_EQ(m.targetStart[0], 100);
    EXPECT_FLOAT_EQ(m.targetEnd[0], 150);
    EXPECT_FLOAT_EQ(m.sourceEnd[0], 150);
    EXPECT_FLOAT_EQ(m.targetStart[1], 150);
    EXPECT_FLOAT_EQ(m.sourceStart[1], 150);
    EXPECT_FLOAT_EQ(m.targetEnd[1], 200);
    EXPECT_FLOAT_EQ(m.sourceEnd[1], 200);
    EXPECT_FLOAT_EQ(m.pitch[1], 5);
    // Each half measured its own audio afresh (the redraw after the split
    // looked their pitches up).
    EXPECT_NEAR(m.sourcePitch[0], 5.2f, 0.01f);
    EXPECT_NEAR(m.sourcePitch[1], 4.8f, 0.01f);
    EXPECT_FLOAT_EQ(m.vibratoAttack[1], 0.0f);
    // The halves are linked to each other, seen from either side.
    EXPECT_EQ(linkedNext(modelOf(*effect), 0), 1);
    EXPECT_EQ(linkedPrevious(modelOf(*effect), 1), 0);
    // The split ended the gesture at the press: no tracking loop read the pointer.
    EXPECT_EQ(window->pendingPointerStates(), 2u);
}

TEST_F(NoteViewMouseTest, SplitOfAMovedNoteCutsTheSourceWhereTheAudioIs)
{
    useTool(kSplitTool);
    int n = addNote(120, 220, 5);
    modelOf(*effect).sourceStart[n] = 100;
    modelOf(*effect).sourceEnd[n] = 200;
    click(kLButton, at(170, rowY(5)));
    const TakeModel& m = effect->takeModel();
    ASSERT_EQ(m.noteCount, 2);
    EXPECT_FLOAT_EQ(m.targetEnd[0], 170);
    EXPECT_FLOAT_EQ(m.sourceEnd[0], 150);
    EXPECT_FLOAT_EQ(m.targetStart[1], 170);
    EXPECT_FLOAT_EQ(m.sourceStart[1], 150);
    EXPECT_FLOAT_EQ(m.sourceEnd[1], 200);
}

TEST_F(NoteViewMouseTest, SplitOfAStretchedNoteKeepsItsStretchInBothHalves)
{
    useTool(kSplitTool);
    int n = addNote(100, 300, 5); // 100 frames of audio over 200
    modelOf(*effect).sourceEnd[n] = 200;
    click(kLButton, at(150, rowY(5)));
    const TakeModel& m = effect->takeModel();
    ASSERT_EQ(m.noteCount, 2);
    EXPECT_FLOAT_EQ(m.sourceEnd[0], 125);
    EXPECT_FLOAT_EQ(m.sourceStart[1], 125);
}

TEST_F(NoteViewMouseTest, SplitMeasuresAnUnsetPitchAndKeepsTheDrawnPointsOfEachHalf)
{
    useTool(kSplitTool);
    TakeModel& m = modelOf(*effect);
    for (int f = 100; f < 200; ++f) {
        m.framePitch[0][f] = 7.2f;
        m.frameVoicing[0][f] = 0.9f;
    }
    int n = addNote(100, 200, kPitchUnset);
    m.sourcePitch[n] = kPitchUnset;
    m.contour[n][60] = 1002.0f; // drawn at frame 160
    // A stale row from a deleted note where the new note goes.
    m.contour[1][5] = 1003.0f;
    click(kLButton, at(150, 0));
    ASSERT_EQ(m.noteCount, 2);
    EXPECT_FLOAT_EQ(m.pitch[0], 7.0f);
    EXPECT_FLOAT_EQ(m.pitch[1], 7.0f);
    EXPECT_FLOAT_EQ(m.contour[1][10], 1002.0f);
    EXPECT_LT(m.contour[1][5], 900.0f); // not the stale drawn point
}

TEST_F(NoteViewMouseTest, SplitWithAFullTableDoesNothing)
{
    useTool(kSplitTool);
    for (int i = 0; i < kMaxNotes; ++i)
        addNote(static_cast<float>(10 * i), static_cast<float>(10 * i + 10), 5);
    modelOf(*effect).targetEnd[0] = 100; // room to split the first note at 50
    click(kLButton, at(50, rowY(5)));
    EXPECT_EQ(effect->takeModel().noteCount, kMaxNotes);
    EXPECT_FLOAT_EQ(effect->takeModel().targetEnd[0], 100);
}

TEST_F(NoteViewMouseTest, JoinMergesWithTheLinkedSuccessorAndDropsItFromTheSelection)
{
    useTool(kSplitTool);
    addNote(300, 350, 3);
    addNote(100, 150, 5);
    addNote(150, 220, 7);
    select({2, 0});
    click(kRButton, at(120, rowY(5)));
    const TakeModel& m = effect->takeModel();
    ASSERT_EQ(m.noteCount, 2);
    EXPECT_FLOAT_EQ(m.targetStart[1], 100);
    EXPECT_FLOAT_EQ(m.targetEnd[1], 220);
    EXPECT_FLOAT_EQ(m.sourceEnd[1], 220);
    EXPECT_FLOAT_EQ(m.targetStart[0], 300);
    ASSERT_EQ(m.selectionCount, 1);
    EXPECT_EQ(m.selection[0], 0);
}

TEST_F(NoteViewMouseTest, JoinWithoutALinkedSuccessorDoesNothing)
{
    useTool(kSplitTool);
    addNote(100, 150, 5);
    addNote(151, 220, 7); // one frame apart: not linked
    click(kRButton, at(120, rowY(5)));
    EXPECT_EQ(effect->takeModel().noteCount, 2);
    EXPECT_FLOAT_EQ(effect->takeModel().targetEnd[0], 150);
    EXPECT_EQ(window->pendingPointerStates(), 0u); // the empty tracking loop ran to the release
}

// Selecting and moving.

TEST_F(NoteViewMouseTest, PitchDragsCountWholeRowsFromThePressPoint)
{
    addNote(100, 200, 5);
    addNote(250, 300, 9);
    select({0, 1});
    const int y = rowY(5) + 2;
    const CPoint press = at(150, y);
    auto rowsUp = [&](float rows, int dx = 0) {
        return at(150 + dx, y - static_cast<int>(std::lround(rows * kRowH)));
    };
    // Up 1.4 rows, then 1.5, then down 0.6, then back to the press height
    // one frame to the side: 6, 7, 4, then the pitches of the press.
    std::vector<float> seen;
    int step = 0;
    onHostIdle = [&] {
        if (++step >= 2)
            seen.push_back(modelOf(*effect).pitch[0]);
    };
    drag(kLButton, {press, rowsUp(1.4f), rowsUp(1.54f), rowsUp(-0.6f), rowsUp(0, 1)});
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_FLOAT_EQ(seen[0], 6.0f);
    EXPECT_FLOAT_EQ(seen[1], 7.0f);
    EXPECT_FLOAT_EQ(seen[2], 4.0f);
    EXPECT_FLOAT_EQ(seen[3], 5.0f);
    // The press kept the selection, so both notes moved together.
    EXPECT_FLOAT_EQ(effect->takeModel().pitch[1], 9.0f);
    EXPECT_EQ(effect->takeModel().selectionCount, 2);
}

TEST_F(NoteViewMouseTest, PressOnAnUnselectedNoteSelectsItAlone)
{
    addNote(100, 200, 5);
    addNote(250, 300, 9);
    addNote(320, 380, 2);
    select({1, 2});
    drag(kLButton, {at(150, rowY(5)), at(150, rowY(6))});
    ASSERT_EQ(effect->takeModel().selectionCount, 1);
    EXPECT_EQ(effect->takeModel().selection[0], 0);
    EXPECT_FLOAT_EQ(effect->takeModel().pitch[0], 6.0f);
    EXPECT_FLOAT_EQ(effect->takeModel().pitch[1], 9.0f);
    EXPECT_FLOAT_EQ(effect->takeModel().pitch[2], 2.0f);
}

TEST_F(NoteViewMouseTest, PitchDragOfAnUnmeasuredNoteStartsFromItsMeasuredPitch)
{
    TakeModel& m = modelOf(*effect);
    for (int f = 100; f < 200; ++f) {
        m.framePitch[0][f] = 4.3f;
        m.frameVoicing[0][f] = 0.9f;
    }
    int n = addNote(100, 200, kPitchUnset);
    m.sourcePitch[n] = kPitchUnset;
    select({n});
    view->hoverNote = n; // an unmeasured note sits at no row; take it directly
    window->setPointer(at(150, 100), 0);
    window->postMouseDown(at(150, 100), kLButton);
    for (int y : {100, 100 - 30})
        window->scriptPointer(at(150, y), kLButton);
    window->scriptPointer(at(150, 70), 0);
    // Skip the hover of this idle: the pointer is over no measured note.
    view->tracking = true;
    editor->idle();
    EXPECT_FLOAT_EQ(m.pitch[n], 5.0f);
    EXPECT_NEAR(m.fineTune[n], 0.3f, 1e-5f);
}

TEST_F(NoteViewMouseTest, RightDragMovesTheSelectedNotesInTimeOnly)
{
    addNote(100, 200, 5);
    addNote(250, 300, 9);
    select({0, 1});
    const int y = rowY(5);
    drag(kRButton, {at(150, y), at(160, y + 3), at(175, y + 40)});
    const TakeModel& m = effect->takeModel();
    EXPECT_FLOAT_EQ(m.targetStart[0], 125);
    EXPECT_FLOAT_EQ(m.targetEnd[0], 225);
    EXPECT_FLOAT_EQ(m.targetStart[1], 275);
    EXPECT_FLOAT_EQ(m.sourceStart[0], 100); // the audio stays
    EXPECT_FLOAT_EQ(m.pitch[0], 5);
}

TEST_F(NoteViewMouseTest, ShiftEndsADragAtOnce)
{
    addNote(100, 200, 5);
    const int y = rowY(5);
    hover(at(150, y));
    window->postMouseDown(at(150, y), kLButton);
    window->scriptPointer(at(150, y), kLButton);
    window->scriptPointer(at(150, y - 26), kLButton); // one row up
    window->scriptPointer(at(150, y - 80), kLButton | kShift);
    window->scriptPointer(at(150, y - 120), kLButton);
    editor->idle();
    EXPECT_FLOAT_EQ(effect->takeModel().pitch[0], 6.0f);
    EXPECT_EQ(window->pendingPointerStates(), 1u); // the state after the shift was never read
    EXPECT_FALSE(view->tracking);
}

TEST_F(NoteViewMouseTest, PressWithAModifierOrTwoButtonsIsNoGesture)
{
    addNote(100, 200, 5);
    select({});
    for (long buttons : {long(kLButton | kShift), long(kLButton | kRButton), long(kMButton)}) {
        drag(buttons, {at(150, rowY(5)), at(150, rowY(7))});
        window->clearEvents();
        EXPECT_EQ(effect->takeModel().selectionCount, 0) << buttons;
        EXPECT_FLOAT_EQ(effect->takeModel().pitch[0], 5.0f) << buttons;
        while (window->pendingPointerStates() > 0)
            window->pointerButtons();
    }
}

TEST_F(NoteViewMouseTest, TheGrabbedNoteLoadsTheSlidersWithoutNotifying)
{
    int a = addNote(100, 200, 5);
    int b = addNote(250, 300, 9);
    TakeModel& m = modelOf(*effect);
    m.fineTune[a] = 0.25f;
    m.volume[a] = 1.5f;
    m.rawContourDamping[a] = 0.2f;
    m.fineContourDamping[a] = 0.6f;
    m.vibratoAmplitude[a] = 0.3f;
    m.vibratoRate[a] = 0.7f;
    m.vibratoAttack[a] = 0.1f;
    m.blending[a] = 0.9f;
    select({a, b});
    click(kLButton, at(150, rowY(5)));
    const float expected[kNoteSliderCount] = {0.75f, 0.75f, 0.8f, 0.4f, 0.3f, 0.7f, 0.1f, 0.9f};
    for (int s = 0; s < kNoteSliderCount; ++s)
        EXPECT_NEAR(editor->noteSliders[s]->getValue(), expected[s], 1e-6f) << s;
    // Nothing reached the other selected note.
    EXPECT_FLOAT_EQ(m.volume[b], 1.0f);
    EXPECT_FLOAT_EQ(m.fineTune[b], 0.0f);
}

// The selection band.

TEST_F(NoteViewMouseTest, BandDraggedBackwardsSelectsByTimeAndIsDrawnBetweenItsFrames)
{
    addNote(0, 12, 5); // overlaps frames 10 to 50
    addNote(20, 30, 0);
    addNote(49, 80, 8);
    addNote(50, 90, 5); // starts where the band ends
    addNote(2, 10, 5); // ends where the band starts
    const int y = 5; // above every note's row: empty space
    int bandLeftSeen = -2, bandRightSeen = -2;
    bool outlineSeen = false;
    // The host idles after each step's redraw: the window shows the band then.
    onHostIdle = [&] {
        bandLeftSeen = view->bandLeft;
        bandRightSeen = view->bandRight;
        auto band = [&](int frame, int y) {
            return window->pixel(kEditorLeft + frame, kEditorTop + y).sameRgb(kBandColour);
        };
        outlineSeen = band(10, 5) && band(50, 5) && band(10, 326) && band(50, 326) && band(30, 5)
            && band(10, 200) && !band(9, 200) && !band(51, 200) && !band(30, 4) && !band(30, 327);
    };
    drag(kLButton, {at(50, y), at(50, y + 1), at(30, y + 100), at(10, y + 200)});
    const TakeModel& m = effect->takeModel();
    ASSERT_EQ(m.selectionCount, 3);
    EXPECT_EQ(m.selection[0], 0);
    EXPECT_EQ(m.selection[1], 1);
    EXPECT_EQ(m.selection[2], 2);
    EXPECT_EQ(bandLeftSeen, 10);
    EXPECT_EQ(bandRightSeen, 50);
    EXPECT_TRUE(outlineSeen);
    EXPECT_EQ(view->bandTop, 5);
    EXPECT_EQ(view->bandBottom, 326);
    EXPECT_EQ(view->bandLeft, -1); // gone after the release
}

TEST_F(NoteViewMouseTest, BandStopsAtTheSelectionsCapacity)
{
    for (int i = 0; i < 600; ++i)
        addNote(static_cast<float>(i) * 0.5f, static_cast<float>(i) * 0.5f + 1.0f, 11);
    drag(kLButton, {at(0, 320), at(0, 321), at(350, 320)});
    EXPECT_EQ(effect->takeModel().selectionCount, kMaxSelection);
    EXPECT_EQ(effect->takeModel().selection[kMaxSelection - 1], kMaxSelection - 1);
}

TEST_F(NoteViewMouseTest, BandScrollsTheEditorWhenThePointerLeavesItOnTheRight)
{
    addNote(400, 450, 5);
    // 110 pixels past the right edge: the view scrolls by a tenth of that.
    drag(kLButton, {at(100, 5), at(101, 5), at(500, 5)});
    const CViewContainer* container = view->getParentView();
    EXPECT_EQ(container->getViewSize().left - container->getChildOrigin().h, 10);
    EXPECT_EQ(effect->takeModel().selectionCount, 1);
}

TEST_F(NoteViewMouseTest, BandScrollsTheEditorBackWhenThePointerLeavesItOnTheLeft)
{
    editor->noteEditorScrollView->scrollToFrame(200);
    editor->idle();
    const CViewContainer* container = view->getParentView();
    auto scroll = [&] { return container->getViewSize().left - container->getChildOrigin().h; };
    ASSERT_EQ(scroll(), 200);
    // Window points: the pointer 20 pixels left of the editor is at frame
    // 180, and the view scrolls back by a tenth of those 20 pixels.
    const CPoint press(kEditorLeft + 50, kEditorTop + 5);
    drag(kLButton, {press, press + CPoint(1, 0), CPoint(kEditorLeft - 20, kEditorTop + 5)});
    EXPECT_EQ(scroll(), 198);
}

TEST_F(NoteViewMouseTest, PressOnEmptySpaceEmptiesTheSelection)
{
    addNote(100, 200, 5);
    select({0});
    click(kLButton, at(300, rowY(5)));
    EXPECT_EQ(effect->takeModel().selectionCount, 0);
}

// Stretching and trimming.

TEST_F(NoteViewMouseTest, StretchShrinksANoteToHalfItsSourceButNoFurther)
{
    useTool(kStretchTool);
    addNote(100, 140, 5); // 40 frames of audio
    const int y = rowY(5);
    drag(kLButton, {at(120, y), at(100, y)}); // middle: the right edge moves
    EXPECT_FLOAT_EQ(effect->takeModel().targetEnd[0], 120); // length 20
    drag(kLButton, {at(115, y), at(114, y)}); // the right edge
    EXPECT_FLOAT_EQ(effect->takeModel().targetEnd[0], 120); // 19 is refused
    EXPECT_FLOAT_EQ(effect->takeModel().sourceEnd[0], 140);
}

TEST_F(NoteViewMouseTest, StretchOfALeftEdgeMovesTheLinkedNeighboursEnd)
{
    useTool(kStretchTool);
    addNote(100, 150, 3);
    addNote(150, 250, 5);
    const int y = rowY(5);
    drag(kLButton, {at(152, y), at(153, y), at(162, y)});
    const TakeModel& m = effect->takeModel();
    EXPECT_EQ(view->hoverZone, kLeftEdgeZone);
    EXPECT_FLOAT_EQ(m.targetStart[1], 160);
    EXPECT_FLOAT_EQ(m.targetEnd[0], 160);
    EXPECT_FLOAT_EQ(m.sourceStart[1], 150);
    EXPECT_FLOAT_EQ(m.sourceEnd[0], 150);
}

TEST_F(NoteViewMouseTest, StretchWithSeveralSelectedNotesDoesNothing)
{
    useTool(kStretchTool);
    addNote(100, 200, 5);
    addNote(300, 400, 5);
    select({0, 1});
    drag(kLButton, {at(150, rowY(5)), at(151, rowY(5)), at(180, rowY(5))});
    EXPECT_FLOAT_EQ(effect->takeModel().targetEnd[0], 200);
}

TEST_F(NoteViewMouseTest, TrimMovesOneEdgeInBothSpansAndStaysInsideTheTake)
{
    useTool(kStretchTool);
    addNote(10, 100, 5);
    const int y = rowY(5);
    // Left edge: 5 frames later, then back past the take's start (refused).
    drag(kRButton, {at(12, y), at(17, y), at(0, y)});
    const TakeModel& m = effect->takeModel();
    EXPECT_FLOAT_EQ(m.targetStart[0], 15);
    EXPECT_FLOAT_EQ(m.sourceStart[0], 15);
    EXPECT_FLOAT_EQ(m.targetStart[0] - m.sourceStart[0], 0);
    // A left edge dragged past the note's end does not move the end.
    drag(kRButton, {at(17, y), at(130, y)});
    EXPECT_FLOAT_EQ(m.targetStart[0], 15);
    EXPECT_FLOAT_EQ(m.targetEnd[0], 100);
    // Right edge: 20 frames later.
    drag(kRButton, {at(95, y), at(115, y)});
    EXPECT_FLOAT_EQ(m.targetEnd[0], 120);
    EXPECT_FLOAT_EQ(m.sourceEnd[0], 120);
}

TEST_F(NoteViewMouseTest, TrimNeverTakesTheSourcePastTheTakesEnd)
{
    useTool(kStretchTool);
    int n = addNote(100, 200, 5);
    modelOf(*effect).sourceStart[n] = 10230;
    modelOf(*effect).sourceEnd[n] = 10330;
    drag(kRButton, {at(195, rowY(5)), at(205, rowY(5))});
    EXPECT_FLOAT_EQ(effect->takeModel().sourceEnd[n], 10330);
    EXPECT_FLOAT_EQ(effect->takeModel().targetEnd[n], 200);
}

// Drawing contours.

TEST_F(NoteViewMouseTest, PencilStoresTheOffsetFromTheNotesPitchWrappedIntoAnOctave)
{
    useTool(kPencilTool);
    addNote(100, 200, 5);
    const int y = rowY(5);
    const int twoUp = y - static_cast<int>(2 * kRowH);
    const int sevenUp = y - static_cast<int>(7 * kRowH);
    drag(kLButton, {at(150, y), at(110, twoUp), at(120, twoUp)});
    const TakeModel& m = effect->takeModel();
    // The first move draws from the anchor (frame 150) to frame 110; the
    // second from 110 to 120.
    EXPECT_NEAR(m.contour[0][10], 1002.0f, 0.05f);
    EXPECT_NEAR(m.contour[0][19], 1002.0f, 0.05f);
    EXPECT_FLOAT_EQ(m.contour[0][49], m.contour[0][20]);
    drag(kLButton, {at(150, y), at(151, sevenUp), at(160, sevenUp)});
    EXPECT_NEAR(m.contour[0][55], 995.0f, 0.05f);
    EXPECT_LT(m.contour[0][60], 900.0f); // offset 60 not reached: no drawn point
    // The right button erases (a redraw may then store computed points).
    drag(kRButton, {at(150, y), at(151, y), at(158, y)});
    EXPECT_LT(m.contour[0][55], 900.0f);
    EXPECT_NEAR(m.contour[0][58], 995.0f, 0.05f);
}

TEST_F(NoteViewMouseTest, PencilIgnoresOffsetsOutsideTheContour)
{
    useTool(kPencilTool);
    addNote(0, 600, 5);
    TakeModel& m = modelOf(*effect);
    // Pointer positions are view frames; the pencil draws offsets 395 to 409.
    drag(kLButton, {at(300, rowY(5)), at(395, rowY(3)), at(409, rowY(3))});
    EXPECT_NEAR(m.contour[0][399], 998.0f, 0.05f);
    EXPECT_NEAR(m.contour[0][395], 998.0f, 0.05f);
    for (int j = 0; j < 10; ++j)
        EXPECT_FLOAT_EQ(m.contour[1][j], kPitchUnset) << j; // the next row is untouched
}

// Hover.

TEST_F(NoteViewMouseTest, HoverTakesTheLastMiddleOrTheFirstEdge)
{
    addNote(100, 300, 5);
    addNote(150, 250, 5.5f);
    addNote(100, 300, 11); // far from the pointer's row
    const int y = rowY(5) + 3;
    hover(at(200, y));
    EXPECT_EQ(view->hoverNote, 1);
    EXPECT_EQ(view->hoverZone, kMiddleZone);
    hover(at(104, y));
    EXPECT_EQ(view->hoverNote, 0);
    EXPECT_EQ(view->hoverZone, kLeftEdgeZone);
    hover(at(155, y)); // the first note's middle, the second's left edge
    EXPECT_EQ(view->hoverNote, 1);
    EXPECT_EQ(view->hoverZone, kLeftEdgeZone);
    hover(at(295, y));
    EXPECT_EQ(view->hoverNote, 0);
    EXPECT_EQ(view->hoverZone, kRightEdgeZone);
    // The first note's row lies at y 177.7: 27 pixels (truncated) is too far.
    hover(at(200, 205));
    EXPECT_EQ(view->hoverNote, kNone);
    hover(at(200, 204));
    EXPECT_EQ(view->hoverNote, 0);
    hover(at(100, y)); // x must lie inside the note
    EXPECT_EQ(view->hoverNote, kNone);
}

TEST_F(NoteViewMouseTest, HoverStaysWhileAGestureRuns)
{
    addNote(100, 200, 5);
    addNote(300, 400, 5);
    int hoverSeen = -5;
    onHostIdle = [&] { hoverSeen = view->hoverNote; };
    drag(kRButton, {at(150, rowY(5)), at(151, rowY(5)), at(350, rowY(5))});
    EXPECT_EQ(hoverSeen, 0);
}

// Threads: the tracking loop lets the host run and holds no lock across it.

TEST_F(NoteViewMouseTest, TrackingLoopIdlesTheHostEachStepWithoutHoldingTheLock)
{
    addNote(100, 200, 5);
    int lockFree = 0;
    onHostIdle = [&] {
        if (editLockOf(*effect).tryLock()) {
            ++lockFree;
            editLockOf(*effect).unlock();
        }
    };
    drag(kLButton, {at(150, rowY(5)), at(150, rowY(6)), at(150, rowY(7)), at(150, rowY(8))});
    EXPECT_EQ(hostIdles, 4); // one a step
    EXPECT_EQ(lockFree, 4);
    EXPECT_FLOAT_EQ(effect->takeModel().pitch[0], 8.0f);
}

TEST_F(NoteViewMouseTest, AnInstanceDeletedDuringADragIsNotTouchedAgain)
{
    addNote(100, 200, 5);
    // The host deletes its instance, and with it the editor, from the idle
    // of the drag's first step; the view outlives it here to be looked at.
    view->remember();
    onHostIdle = [&] { effect.reset(); };
    const CPoint press = at(150, rowY(5));
    drag(kLButton, {press, at(150, rowY(7)), at(150, rowY(9))});
    EXPECT_EQ(effect, nullptr);
    EXPECT_FALSE(view->tracking);
    EXPECT_EQ(view->dragAnchor, CPoint(150, rowY(5))); // no step after the first
    view->forget();
}

} // namespace
