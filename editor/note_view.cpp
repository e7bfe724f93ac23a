#include "editor/note_view.h"

#include "editing/note_list.h"
#include "editing/note_settings.h"
#include "editor/note_geometry.h"
#include "editor/note_gestures.h"
#include "editor/pitch_editor.h"
#include "model/segmentation.h"
#include "shell/pitch_effect.h"
#include "toolkit/aeff_gui_editor.h"
#include "toolkit/c_draw_context.h"
#include "toolkit/c_frame.h"
#include "toolkit/c_slider.h"
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
    TakeModel& model = effect->model;
    // The host is asked for its tempo outside the lock: a host call may take
    // its time.
    model.framesPerBeat = beatSpacing(effect->getTimeInfo(kVstTempoValid), model.framesPerBeat);

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
    captureNoteView(scene, model, effect->editLock, state, engineContourLookup());
    if (analysisRow == kNoteEditorRow)
        model.viewStartFrame = scene.scroll;

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
    TakeModel& model = effect->model;
    if (analysisRow == 0 && model.transportMode.load() == kLiveIntonation)
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
        auto& request
            = analysisRow == 0 ? model.scanViewRedrawRequested : model.noteEditorRedrawRequested;
        request.store(true, std::memory_order_relaxed);
    }
}

int NoteView::frameOf(const CPoint& point) const { return point.h - size.left; }

float NoteView::rowH() const { return rowHeight(size.height()); }

PitchEditor* NoteView::owningEditor() const
{
    CFrame* frame = getParentFrame();
    return frame ? dynamic_cast<PitchEditor*>(frame->getEditor()) : nullptr;
}

void NoteView::trackHover()
{
    if (tracking || !effect || analysisRow != kNoteEditorRow || !getParentFrame())
        return;
    CPoint p = getParentFrame()->getMousePosition();
    frameToLocal(p);
    NoteHover hover;
    {
        EditGuard guard(effect->editLock);
        hover = findHoveredNote(effect->model, static_cast<float>(frameOf(p)),
            static_cast<float>(p.v - size.top), rowH());
    }
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
    if (pressEndsGesture(frameOf(where), buttons))
        return;
    trackGesture(context);
}

// The press: a split or a join is done at once; the other tools take the
// note under the pointer for the drag that follows.
bool NoteView::pressEndsGesture(int x, long buttons)
{
    TakeModel& model = effect->model;
    const int tool = model.editTool;
    if (tool == kSplitTool) {
        EditGuard guard(effect->editLock);
        int changed = buttons == kLButton ? splitNoteAt(model, x) : joinNoteAt(model, x);
        return changed != kNone;
    }

    grabbedNote = hoverNote;
    dragAnchor.h = kNoAnchor;
    float sliderValues[kNoteSliderCount];
    bool grabbed = false;
    {
        EditGuard guard(effect->editLock);
        grabbed = isNoteIndex(model, grabbedNote);
        if (!grabbed)
            grabbedNote = kNone;
        if (grabbed) {
            for (int s = 0; s < kNoteSliderCount; ++s)
                sliderValues[s] = noteSettingSliderValue(model, grabbedNote, kFineTuningTag + s);
            if (!isSelected(model, grabbedNote)) {
                model.selection[0] = grabbedNote;
                model.selectionCount = 1;
            }
        } else {
            model.selectionCount = 0;
        }
    }
    // The sliders show the grabbed note; setting them does not notify, so
    // the other selected notes keep their settings.
    PitchEditor* editor = owningEditor();
    if (grabbed && editor) {
        for (int s = 0; s < kNoteSliderCount; ++s) {
            if (CSlider* slider = editor->noteSliders[s]) {
                slider->setValue(sliderValues[s]);
                slider->setDirty(true);
            }
        }
    }
    return false;
}

// Runs the drag until the buttons are no longer exactly one of the two,
// letting the frame redraw between steps. The lock is held only while a
// step changes the model.
void NoteView::trackGesture(CDrawContext* context)
{
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
        if (owner && frame->getEditor() != owner)
            break;
    }
    tracking = false;
    if (bandLeft >= 0) {
        bandLeft = -1;
        setDirty(true);
    }
    forget();
}

// One step of a drag; true when the anchor stays where it is.
bool NoteView::gestureStep(GestureState& gesture, const CPoint& p, long buttons)
{
    if (p == dragAnchor || dragAnchor.h == kNoAnchor)
        return false;
    TakeModel& model = effect->model;
    const int tool = model.editTool;
    const bool left = buttons == kLButton;
    const int dx = p.h - dragAnchor.h;
    const int dy = p.v - dragAnchor.v;

    if (tool == kSelectTool && grabbedNote == kNone)
        return bandStep(gesture, p);
    if (grabbedNote == kNone)
        return false;

    EditGuard guard(effect->editLock);
    if (!isNoteIndex(model, grabbedNote))
        return false;
    switch (tool) {
    case kSelectTool:
        if (left) {
            int steps = rowSteps(dy, rowH());
            if (steps != gesture.pitchSteps) {
                shiftSelectedPitches(model, steps - gesture.pitchSteps);
                gesture.pitchSteps = steps;
            }
        } else {
            shiftSelectedNotesInTime(model, static_cast<float>(dx));
        }
        refreshSelectedNotes(model);
        return left;
    case kStretchTool:
        if (model.selectionCount > 1)
            return false;
        if (left)
            stretchNote(model, grabbedNote, hoverZone, static_cast<float>(dx));
        else
            trimNote(model, grabbedNote, hoverZone, static_cast<float>(dx));
        noteChanged(model, grabbedNote);
        return false;
    case kPencilTool: {
        ensureMeasuredPitch(model, grabbedNote);
        int start = static_cast<int>(model.targetStart[grabbedNote]);
        float t = kPitchClasses - static_cast<float>(p.v - size.top) / rowH();
        float value = left ? drawnContourValue(model, grabbedNote, t) : kPitchUnset;
        writeContourSpan(
            model, grabbedNote, frameOf(p) - start, frameOf(dragAnchor) - start, value);
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
    {
        EditGuard guard(effect->editLock);
        selectNotesInBand(effect->model, first, last);
    }
    bandLeft = first;
    bandRight = last;
    bandTop = kSelectionBandTop;
    bandBottom = kSelectionBandBottom;
    return true;
}
