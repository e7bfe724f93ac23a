#include "editor/note_view.h"

#include "editing/note_gestures.h"
#include "editing/note_list.h"
#include "editing/note_settings.h"
#include "editor/note_geometry.h"
#include "model/segmentation.h"
#include "shell/pitch_effect.h"
#include "toolkit/aeff_gui_editor.h"
#include "toolkit/c_draw_context.h"
#include "toolkit/c_frame.h"
#include "toolkit/c_view_container.h"
#include "toolkit/mouse_buttons.h"

#include <algorithm>
#include <cmath>

namespace {

// Forwards a scene's lines and points to the view's draw context.
class ContextPainter : public NotePainter {
public:
    // Scenes are painted in visible coordinates (x 0 at the left edge of
    // what shows); contentShift turns them into the coordinates the view
    // draws in.
    ContextPainter(CDrawContext& context, int contentShift)
        : context(context)
        , shift(contentShift)
    {
        context.setDrawMode(kAntialias);
        context.setLineStyle(kLineSolid);
        context.setLineWidth(1);
    }
    void setPenColour(CColor colour) override { context.setFrameColor(colour); }
    void moveTo(int x, int y) override { context.moveTo(CPoint {x + shift, y}); }
    void lineTo(int x, int y) override { context.lineTo(CPoint {x + shift, y}); }
    void drawPoint(int x, int y, CColor colour) override
    {
        context.drawPoint(CPoint {x + shift, y}, colour);
    }

private:
    CDrawContext& context;
    int shift;
};

// The parent coordinate shown at the visible left edge: the scroll offset of
// a scrolling container, whose children keep their content coordinates.
int visibleLeftOf(const CView& view)
{
    const CViewContainer* parent = view.getParentView();
    if (!parent)
        return 0;
    return parent->getViewSize().left - parent->getChildOrigin().h;
}

constexpr int kNoAnchor = -1000;
constexpr int kAutoScrollRight = 390; // the visible width of the note editor
constexpr float kAutoScrollSlowdown = 1.1f;

bool isGestureButton(long buttons) { return buttons == kLButton || buttons == kRButton; }

// Whole rows moved upwards by dy pixels, rounded half away from zero.
int rowSteps(int dy, float rowH)
{
    if (dy == 0)
        return 0;
    float sign = dy > 0 ? 1.0f : -1.0f;
    return static_cast<int>(-static_cast<float>(dy) / rowH - 0.5f * sign);
}

} // namespace

NoteView::NoteView(const CRect& size)
    : CView(size)
{
}

NoteView::~NoteView() = default;

void NoteView::draw(CDrawContext* context)
{
    if (!effect || !context) {
        setDirty(false);
        return;
    }
    EditSession& session = effect->session();
    const TakeModel& model = session.takeModel();
    // The host is asked for its tempo outside the lock: a host call may take
    // its time.
    session.setViewState(
        beatSpacing(effect->getTimeInfo(kVstTempoValid), model.framesPerBeat), kNone);

    int visibleLeft = visibleLeftOf(*this);
    NoteViewState state;
    state.row = analysisRow;
    state.left = size.left - visibleLeft; // x of frame 0 as seen
    state.top = size.top;
    state.bottom = size.bottom;
    state.framesPerBeat = model.framesPerBeat;
    state.hoverNote = hoverNote;
    state.bandLeft = bandLeft;
    state.bandRight = bandRight;
    state.bandTop = bandTop;
    state.bandBottom = bandBottom;
    captureNoteView(scene, session.memoReader(), state, engineContourLookup());
    if (analysisRow == kNoteEditorRow)
        session.setViewState(model.framesPerBeat, scene.scroll);

    ContextPainter painter(*context, visibleLeft);
    paintNoteView(scene, painter);
    // Scrolled after painting: this picture is drawn at the old position, and
    // the scroll marks the view for the next idle.
    followCursor();
    setDirty(false);
}

void NoteView::followCursor()
{
    if (!scene.showCursor || !scroller) {
        lastCursorFrame = -1.0f;
        return;
    }
    EditSession& session = effect->session();
    if (analysisRow == 0 && session.transportMode() == kLiveIntonation)
        return;
    const float cursorFrame = scene.cursorX + static_cast<float>(scene.scroll);
    if (cursorFrame == lastCursorFrame)
        return;
    lastCursorFrame = cursorFrame;
    if (scene.cursorX > kCursorFollowX || scene.cursorX < 0.0f) {
        scroller->scrollToFrame(static_cast<int>(scene.cursorX) + scene.scroll);
        // The scroll happens inside the frame's redraw, which clears the dirty
        // flags of what it drew; asking through the editor's route makes the
        // next idle show the new position.
        if (analysisRow == 0)
            session.requestScanViewRedraw();
        else
            session.requestNoteEditorRedraw();
    }
}

int NoteView::frameOf(const CPoint& point) const { return point.h - size.left; }

float NoteView::rowH() const { return rowHeight(size.height()); }

void NoteView::trackHover()
{
    if (tracking || !effect || analysisRow != kNoteEditorRow || !getParentFrame())
        return;
    CPoint p = getParentFrame()->getMousePosition();
    frameToLocal(p);
    NoteHover hover = effect->session().read([&](const TakeModel& model) {
        return findHoveredNote(
            model, static_cast<float>(frameOf(p)), static_cast<float>(p.v - size.top), rowH());
    });
    if (hover.note != hoverNote)
        setDirty(true); // the highlight moves
    hoverNote = hover.note;
    if (hover.note != kNone)
        hoverZone = hover.zone;
}

void NoteView::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    if (analysisRow != kNoteEditorRow || !effect || !context || !isGestureButton(buttons))
        return;
    setDirty(true);
    EditSession& session = effect->session();
    // The press and the whole drag after it are one step of the edit.
    session.beginGesture();
    if (!pressEndsGesture(frameOf(where), buttons) && !trackGesture(context))
        return; // the instance went away during the drag: not touched again
    session.endGesture();
}

// The press: a split or a join is done at once; the other tools take the
// note under the pointer for the drag that follows.
bool NoteView::pressEndsGesture(int x, long buttons)
{
    EditSession& session = effect->session();
    if (session.takeModel().editTool == kSplitTool) {
        int changed = buttons == kLButton ? session.splitNoteAt(x) : session.joinNoteAt(x);
        return changed != kNone;
    }

    grabbedNote = hoverNote;
    dragAnchor.h = kNoAnchor;
    float sliderValues[kNoteSliderValues];
    const bool grabbed = session.grabNote(grabbedNote, sliderValues);
    if (!grabbed)
        grabbedNote = kNone;
    // The sliders show the grabbed note; setting them does not notify, so
    // the other selected notes keep their settings.
    if (grabbed && grabListener)
        grabListener->noteGrabbed(sliderValues);
    return false;
}

// Runs the drag until the buttons are no longer exactly one of the two,
// letting the frame redraw between steps. The lock is held only while a
// step changes the model.
bool NoteView::trackGesture(CDrawContext* context)
{
    bool effectKept = true;
    GestureState gesture;
    tracking = true;
    // Keep this view alive should an idle inside the loop close the editor.
    // A host may even delete its instance from that idle: the frame then
    // loses its editor, and the effect is not touched again.
    remember();
    const AEffGUIEditor* owner = getParentFrame() ? getParentFrame()->getEditor() : nullptr;
    for (;;) {
        long buttons = context->getMouseButtons();
        if (!isGestureButton(buttons))
            break;
        setDirty(true);
        CPoint p;
        getMouseLocation(context, p);
        bool anchorHeld = gestureStep(gesture, p, buttons);
        if (!anchorHeld)
            dragAnchor = p;
        CFrame* frame = getParentFrame();
        if (!frame)
            break;
        frame->doIdleStuff();
        if (owner && frame->getEditor() != owner) {
            effectKept = false;
            break;
        }
    }
    tracking = false;
    if (bandLeft >= 0) {
        bandLeft = -1;
        setDirty(true);
    }
    forget();
    return effectKept;
}

// One step of a drag; true when the anchor stays where it is.
bool NoteView::gestureStep(GestureState& gesture, const CPoint& p, long buttons)
{
    if (p == dragAnchor || dragAnchor.h == kNoAnchor)
        return false;
    EditSession& session = effect->session();
    const int tool = session.takeModel().editTool;
    const bool left = buttons == kLButton;
    const int dx = p.h - dragAnchor.h;
    const int dy = p.v - dragAnchor.v;

    if (tool == kSelectTool && grabbedNote == kNone)
        return bandStep(gesture, p);
    if (grabbedNote == kNone)
        return false;

    switch (tool) {
    case kSelectTool:
        if (left) {
            int steps = rowSteps(dy, rowH());
            if (!session.shiftSelectedPitches(grabbedNote, steps - gesture.pitchSteps))
                return false;
            gesture.pitchSteps = steps;
        } else if (!session.shiftSelectedNotesInTime(grabbedNote, static_cast<float>(dx))) {
            return false;
        }
        return left;
    case kStretchTool:
        session.stretchNote(grabbedNote, hoverZone, static_cast<float>(dx), !left);
        return false;
    case kPencilTool: {
        const int start = session.read([&](const TakeModel& model) {
            return isNoteIndex(model, grabbedNote)
                ? static_cast<int>(model.targetStart[grabbedNote])
                : kNone;
        });
        if (start == kNone)
            return false;
        const int a = frameOf(p) - start;
        const int b = frameOf(dragAnchor) - start;
        if (left)
            session.drawContour(
                grabbedNote, a, b, kPitchClasses - static_cast<float>(p.v - size.top) / rowH());
        else
            session.eraseContour(grabbedNote, a, b);
        return false;
    }
    default: return false;
    }
}

// The selection band over empty space: it selects by time from where the
// drag began, scrolling the note editor when the pointer leaves it sideways.
bool NoteView::bandStep(GestureState& gesture, const CPoint& p)
{
    int f = frameOf(p);
    if (gesture.bandStart == kNone)
        gesture.bandStart = f;
    int visibleX = p.h - visibleLeftOf(*this);
    if (scroller) {
        if (visibleX < 0 && f > 0)
            scroller->scrollToFrame(static_cast<int>(f - visibleX / kAutoScrollSlowdown));
        if (visibleX > kAutoScrollRight)
            scroller->scrollToFrame(static_cast<int>(
                (f - kAutoScrollRight) - (visibleX - kAutoScrollRight) / kAutoScrollSlowdown));
    }
    int first = std::min(f, gesture.bandStart);
    int last = std::max(f, gesture.bandStart);
    effect->session().selectNotesInBand(first, last);
    bandLeft = first;
    bandRight = last;
    bandTop = kSelectionBandTop;
    bandBottom = kSelectionBandBottom;
    return true;
}
