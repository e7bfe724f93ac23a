#include "editor/note_geometry.h"
#include "editor/note_view_scene.h"
#include "engine/edit_lock.h"
#include "model/segmentation.h"
#include "recording_painter.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr int kViewHeight = 330;

// Flat contours at each note's pitch, fully voiced; links as prevNote says.
float flatPitch(TakeModel& model, int note, float offset, float* voicing)
{
    float length = model.targetEnd[note] - model.targetStart[note];
    if (offset < 0.0f || offset >= length)
        return 0.0f;
    if (voicing)
        *voicing = model.frameVoicing[0][0];
    return model.pitch[note] + model.fineTune[note];
}
int storedLink(TakeModel& model, int note) { return model.prevNote[note]; }

constexpr ContourLookup kFlatLookup {flatPitch, storedLink};

class NoteViewSceneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        model->frameVoicing[0][0] = 1.0f; // the flat lookup reports this voicing
        model->scaleMask = kInitialScaleMask;
    }

    int addNote(float start, float end, float pitch)
    {
        int i = model->noteCount++;
        model->targetStart[i] = model->sourceStart[i] = start;
        model->targetEnd[i] = model->sourceEnd[i] = end;
        model->pitch[i] = pitch;
        model->fineTune[i] = 0.0f;
        model->prevNote[i] = kNone;
        return i;
    }

    NoteViewScene& capture(int row = kNoteEditorRow, int scroll = 0)
    {
        state.row = row;
        state.left = -scroll;
        state.top = 0;
        state.bottom = kViewHeight;
        captureNoteView(*scene, MemoReader(*model, lock), state, kFlatLookup);
        return *scene;
    }

    RecordingPainter paint()
    {
        RecordingPainter painter;
        paintNoteView(*scene, painter);
        return painter;
    }

    std::unique_ptr<TakeModel> model = std::make_unique<TakeModel>();
    std::unique_ptr<NoteViewScene> scene = std::make_unique<NoteViewScene>();
    EditLock lock;
    NoteViewState state;
};

TEST_F(NoteViewSceneTest, GridLinesShadeThePitchClassesOfTheScale)
{
    model->scaleMask = {};
    model->scaleMask[11] = 1; // only B excluded: line p = 1
    capture();
    RecordingPainter painter = paint();
    int atTop = 0, atBottom = 0;
    for (const PaintedLine& line : painter.lines) {
        if (line.y0 == 25 && line.y1 == 25 && line.x0 == 1 && line.x1 == 388) {
            EXPECT_EQ(line.colour, kExcludedClassColour);
            ++atTop;
        }
        if (line.y0 == 304 && line.y1 == 304 && line.x0 == 1 && line.x1 == 388) {
            EXPECT_EQ(line.colour, kAllowedClassColour); // C allowed
            ++atBottom;
        }
    }
    EXPECT_EQ(atTop, 1);
    EXPECT_EQ(atBottom, 1);
}

TEST_F(NoteViewSceneTest, BeatLinesFallOnMultiplesOfTheBeatInTheTake)
{
    state.framesPerBeat = 43.0664f;
    capture(kNoteEditorRow, 100);
    RecordingPainter painter = paint();
    // Beats at frames 129.2, 172.3, ... show at x 29, 72, ...
    EXPECT_EQ(painter.verticalsAt(29, kBeatColour).size(), 1u);
    EXPECT_EQ(painter.verticalsAt(72, kBeatColour).size(), 1u);
    EXPECT_TRUE(painter.verticalsAt(43, kBeatColour).empty());
    const PaintedLine line = painter.verticalsAt(29, kBeatColour)[0];
    EXPECT_EQ(line.y0, 0);
    EXPECT_EQ(line.y1, kViewHeight);
}

TEST_F(NoteViewSceneTest, BeatGridStopsAfterAThousandLines)
{
    state.framesPerBeat = 10.0f;
    capture(kNoteEditorRow, 20000); // further than a thousand beats away
    RecordingPainter painter = paint();
    for (int x = 0; x < kVisibleFrames; ++x)
        EXPECT_TRUE(painter.verticalsAt(x, kBeatColour).empty()) << x;
}

TEST_F(NoteViewSceneTest, PlayCursorBeyondTheViewDrawsNoLine)
{
    model->playCursor = 400.0f;
    capture();
    EXPECT_TRUE(scene->showCursor);
    EXPECT_FLOAT_EQ(scene->cursorX, 400.0f);
    RecordingPainter painter = paint();
    for (const PaintedLine& line : painter.lines)
        EXPECT_FALSE(line.y0 == 1 && line.y1 == 388) << "cursor line at " << line.x0;

    model->playCursor = 150.0f;
    capture(kNoteEditorRow, 100);
    painter = paint();
    int cursorLines = 0;
    for (const PaintedLine& line : painter.verticalsAt(50, kBeatColour))
        cursorLines += line.y0 == 1 && line.y1 == 388;
    EXPECT_EQ(cursorLines, 1);
}

TEST_F(NoteViewSceneTest, CursorRowsAndTheUnsetCursor)
{
    model->recordCursor = 100.0f;
    model->playCursor = -1.0f;
    capture(kNoteEditorRow);
    EXPECT_FALSE(scene->showCursor); // the note editor shows the play cursor only
    capture(0);
    EXPECT_TRUE(scene->showCursor);
    capture(2);
    EXPECT_FALSE(scene->showCursor); // rows 1 to 3 have none
}

TEST_F(NoteViewSceneTest, SelectedHoveredNoteIsBlackAndHoverAloneIsWhite)
{
    int a = addNote(10, 50, 0);
    int b = addNote(60, 100, 4);
    addNote(110, 150, 7);
    model->selection[0] = a;
    model->selectionCount = 1;
    state.hoverNote = a;
    capture();
    ASSERT_EQ(scene->notes.size(), 3u);
    EXPECT_EQ(scene->notes[0].colour, kSelectedNoteColour);
    EXPECT_EQ(scene->notes[1].colour, kNoteColour);

    state.hoverNote = b;
    capture();
    EXPECT_EQ(scene->notes[1].colour, kHoverNoteColour);
    RecordingPainter painter = paint();
    auto step = painter.stepsInto(80);
    ASSERT_FALSE(step.empty());
    EXPECT_EQ(step[0].colour, kHoverNoteColour);
    step = painter.stepsInto(30);
    ASSERT_FALSE(step.empty());
    EXPECT_EQ(step[0].colour, kSelectedNoteColour);
}

TEST_F(NoteViewSceneTest, SelectionEntriesBeyondTheCountDoNotColour)
{
    int a = addNote(10, 50, 0);
    model->selection[0] = a;
    model->selectionCount = 0;
    model->selection[1] = 5000; // a stale, invalid entry is ignored
    capture();
    EXPECT_EQ(scene->notes[0].colour, kNoteColour);
}

TEST_F(NoteViewSceneTest, TicksMarkStartAndLastFrameAndTheRedBarSitsAtTheTargetPitch)
{
    addNote(20, 40, 12.0f); // class 0
    model->fineTune[0] = 0.0f;
    capture();
    RecordingPainter painter = paint();
    auto start = painter.verticalsAt(20, kBlackCColor);
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(start[0].y0, 296);
    EXPECT_EQ(start[0].y1, 312);
    // The end tick sits one pixel right of the last frame (39).
    EXPECT_EQ(painter.verticalsAt(40, kBlackCColor).size(), 1u);
    EXPECT_TRUE(painter.verticalsAt(39, kBlackCColor).empty());
    int redPoints = 0;
    for (const PaintedPoint& point : painter.points) {
        EXPECT_EQ(point.colour, kTargetPitchColour);
        EXPECT_EQ(point.y, 304);
        ++redPoints;
    }
    EXPECT_EQ(redPoints, 20);
}

TEST_F(NoteViewSceneTest, NoteStartingLeftOfTheViewHasNoStartTick)
{
    addNote(50, 200, 0);
    capture(kNoteEditorRow, 100);
    ASSERT_EQ(scene->notes.size(), 1u);
    EXPECT_EQ(scene->notes[0].firstFrame, 101); // contour begins at x 1
    RecordingPainter painter = paint();
    for (int x = 0; x <= 2; ++x)
        EXPECT_TRUE(painter.verticalsAt(x, kBlackCColor).empty()) << x;
    EXPECT_EQ(painter.verticalsAt(100, kBlackCColor).size(), 1u); // the end tick stays
    EXPECT_EQ(painter.points.front().x, 1);
    EXPECT_EQ(painter.points.back().x, 99);
}

TEST_F(NoteViewSceneTest, NotesOutsideTheViewAreNotLookedUp)
{
    addNote(0, 100, 0);
    addNote(490, 600, 0);
    addNote(300, 489, 0);
    capture(kNoteEditorRow, 100);
    ASSERT_EQ(scene->notes.size(), 1u);
    EXPECT_EQ(scene->notes[0].note, 2);
    EXPECT_EQ(scene->notes[0].frameCount, 189);
}

// Two linked notes: the later one's contour continues from the earlier one's
// last point when the seam jumps by less than two semitones.
TEST_F(NoteViewSceneTest, LinkedNotesJoinAcrossTheSeamOnlyBelowTwoSemitones)
{
    for (float jump : {1.5f, 2.5f}) {
        model->noteCount = 0;
        addNote(10, 50, 3.0f);
        int later = addNote(50, 90, 3.0f + jump);
        model->prevNote[later] = 0;
        capture();
        ASSERT_TRUE(scene->notes[1].linkedIn);
        RecordingPainter painter = paint();
        int yEarlier = pitchY(3.0f, scene->rowH);
        int yLater = pitchY(3.0f + jump, scene->rowH);
        bool joined = false;
        for (const PaintedLine& line : painter.lines)
            if (line.x0 == 49 && line.y0 == yEarlier && line.x1 == 50 && line.y1 == yLater)
                joined = true;
        EXPECT_EQ(joined, jump < 2.0f) << "jump " << jump;
    }
}

TEST_F(NoteViewSceneTest, UnvoicedNoteFramesAreGapsInTheContour)
{
    addNote(10, 30, 5.0f);
    model->frameVoicing[0][0] = 0.0f; // the lookup reports no voicing
    capture();
    RecordingPainter painter = paint();
    for (const PaintedLine& line : painter.lines)
        EXPECT_NE(line.colour, kNoteColour);
}

TEST_F(NoteViewSceneTest, AnalysisCurveBreaksAtGapsAndJumps)
{
    auto& pitch = model->framePitch[0];
    auto& voicing = model->frameVoicing[0];
    for (int f = 0; f < 400; ++f) {
        pitch[f] = 5.0f;
        voicing[f] = 0.5f;
    }
    voicing[50] = 0.0f; // unvoiced frame: no line into 50 or 51
    pitch[100] = 8.0f; // a three-semitone jump starts a new stroke
    pitch[101] = 8.0f;
    voicing[200] = 2.0f; // grey is capped at 255
    capture(0);
    RecordingPainter painter = paint();
    auto into = [&](int x) { return painter.stepsInto(x); };
    ASSERT_EQ(into(49).size(), 1u);
    EXPECT_EQ(into(49)[0].colour, (CColor {127, 127, 127, 255}));
    EXPECT_EQ(into(49)[0].y1, pitchY(5.0f, scene->rowH));
    EXPECT_TRUE(into(50).empty());
    EXPECT_TRUE(into(51).empty());
    EXPECT_EQ(into(52).size(), 1u);
    EXPECT_TRUE(into(100).empty());
    EXPECT_EQ(into(101).size(), 1u);
    EXPECT_TRUE(into(102).empty());
    EXPECT_TRUE(into(2).empty()); // the first step only places the pen
    ASSERT_EQ(into(200).size(), 1u);
    EXPECT_EQ(into(200)[0].colour, (CColor {255, 255, 255, 255}));
}

TEST_F(NoteViewSceneTest, CurveReadsTheVisiblePartOfItsRow)
{
    model->framePitch[1][1234] = 7.0f;
    model->frameVoicing[1][1234] = 1.0f;
    model->framePitch[1][1235] = 7.0f;
    model->frameVoicing[1][1235] = 1.0f;
    capture(1, 1200);
    EXPECT_FLOAT_EQ(scene->curvePitch[34], 7.0f);
    EXPECT_FLOAT_EQ(scene->curveVoicing[35], 1.0f);
    EXPECT_FLOAT_EQ(scene->curveVoicing[36], 0.0f);
}

TEST_F(NoteViewSceneTest, BandIsAClosedRectangleInViewCoordinates)
{
    state.bandLeft = 110;
    state.bandRight = 150;
    state.bandTop = 5;
    state.bandBottom = 326;
    capture(kNoteEditorRow, 100);
    RecordingPainter painter = paint();
    ASSERT_GE(painter.lines.size(), 4u);
    auto last = painter.lines.end() - 4;
    EXPECT_EQ(last[0].x0, 10);
    EXPECT_EQ(last[0].x1, 50);
    EXPECT_EQ(last[1].y1, 326);
    EXPECT_EQ(last[3].x1, 10);
    EXPECT_EQ(last[3].y1, 5);
    EXPECT_EQ(last[3].colour, kBandColour);
}

TEST_F(NoteViewSceneTest, CaptureLeavesTheLockFree)
{
    addNote(10, 50, 0);
    capture();
    EXPECT_TRUE(lock.tryLock());
    lock.unlock();
}

} // namespace

namespace {

// A sung line of three notes with a light vibrato, with an unvoiced gap
// before the last.
void writeMelody(TakeModel& model)
{
    auto& pitch = model.framePitch[0];
    auto& voicing = model.frameVoicing[0];
    for (int f = 0; f < 400; ++f) {
        float p = f < 120 ? 2.0f : f < 240 ? 7.0f : 4.0f;
        bool gap = f < 10 || (f >= 240 && f < 250) || f >= 380;
        pitch[f] = gap ? kUnvoicedPitch : p + 0.2f * std::sin(0.3f * f);
        voicing[f] = gap ? 0.0f : 0.8f;
    }
}

TEST(NoteViewSceneEngineTest, EngineContoursOfSegmentedNotesFoldToTheirRows)
{
    auto model = std::make_unique<TakeModel>();
    auto scene = std::make_unique<NoteViewScene>();
    EditLock lock;
    writeMelody(*model);
    segmentNotes(*model);
    ASSERT_GE(model->noteCount, 2);
    NoteViewState state;
    state.bottom = kViewHeight;
    captureNoteView(*scene, MemoReader(*model, lock), state, engineContourLookup());
    int longNotes = 0;
    for (const SceneNote& note : scene->notes) {
        int i = note.note;
        EXPECT_NE(model->pitch[i], kPitchUnset) << "the first lookup measures the note";
        EXPECT_FLOAT_EQ(note.basePitch, foldToOctave(model->pitch[i]));
        if (note.frameCount < 30)
            continue; // a sliver at the edge of a gap
        ++longNotes;
        // Away from the transition zones the contour is the sung pitch.
        int middle = note.frameCount / 2;
        float sung = model->framePitch[0][note.firstFrame + middle];
        EXPECT_NEAR(scene->notePitch[note.valueIndex + middle], foldToOctave(sung), 0.05f);
        EXPECT_GT(scene->noteVoicing[note.valueIndex + middle], 0.0f);
    }
    EXPECT_GE(longNotes, 2);
    // The draw filled the memo, so the next one reads it.
    const SceneNote& first = scene->notes.front();
    EXPECT_GT(model->contour[first.note][5], -200.0f);
}

} // namespace
