// The editor's piano-roll view. With analysisRow 0 to 3 it shows the measured
// pitch track of that analysis row, with -1 (the note editor) the notes of the
// take. Both draw the scale-shaded pitch-class grid, the beat grid and the
// cursor, and scroll along with the cursor.
#pragma once

#include "editor/note_view_scene.h"
#include "toolkit/c_view.h"

class PitchEffect;

// The note editor's mouse tools, as the tool buttons choose them.
enum EditTool : int {
    kSelectTool = 0, // select and move
    kSplitTool = 1, // split and join
    kPencilTool = 2, // draw and erase contour points
    kStretchTool = 3, // stretch and trim
};

// What a note view scrolls to follow its cursor: the scroll view showing it.
class FrameScroller {
public:
    // Makes frame the left edge of what shows; requests beyond the end are dropped.
    virtual void scrollToFrame(int frame) = 0;

protected:
    ~FrameScroller() = default;
};

// Told when a press in the note editor grabs a note, with the note's
// settings as the sliders below the editor show them (kNoteSliderValues).
class NoteGrabListener {
public:
    virtual void noteGrabbed(const float* sliderValues) = 0;

protected:
    ~NoteGrabListener() = default;
};

class NoteView : public CView {
public:
    explicit NoteView(const CRect& size);

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;

    // Updates hoverNote and hoverZone from the pointer, while no gesture runs.
    virtual void trackHover();

    PitchEffect* effect = nullptr;
    int analysisRow = kNoteEditorRow;
    int hoverNote = kNone;
    int hoverZone = 1; // 0 left edge, 1 middle, 2 right edge of hoverNote
    int grabbedNote = kNone;
    int bandLeft = -1; // frames; -1 = no selection band
    int bandRight = 0;
    int bandTop = 0;
    int bandBottom = 0;
    CPoint dragAnchor {0, 0};
    bool tracking = false;

    // The scroll view that shows this view and that it scrolls to follow the
    // cursor; set by that scroll view.
    FrameScroller* scroller = nullptr;
    // Who shows a grabbed note's settings; set by the editor.
    NoteGrabListener* grabListener = nullptr;

protected:
    ~NoteView() override;

private:
    // What one drag has done so far.
    struct GestureState {
        int pitchSteps = 0; // semitones applied by a pitch drag
        int bandStart = kNone; // frame where the selection band began
    };

    void followCursor();
    int frameOf(const CPoint& point) const;
    float rowH() const;
    bool pressEndsGesture(int x, long buttons);
    // False when the instance went away during the drag.
    bool trackGesture(CDrawContext* context);
    bool gestureStep(GestureState& gesture, const CPoint& p, long buttons);
    bool bandStep(GestureState& gesture, const CPoint& p);

    NoteViewScene scene;
    // The cursor's frame when the view last looked: only a cursor that moved
    // since is followed, so a host that stops processing when its transport
    // stops leaves the view free to scroll.
    float lastCursorFrame = -1.0f;
};
