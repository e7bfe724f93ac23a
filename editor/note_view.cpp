#include "editor/note_view.h"

#include "editor/note_geometry.h"
#include "shell/pitch_effect.h"
#include "toolkit/c_draw_context.h"
#include "toolkit/c_view_container.h"

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
    if (!scene.showCursor || !scroller)
        return;
    TakeModel& model = effect->model;
    if (analysisRow == 0 && model.transportMode.load() == kLiveIntonation)
        return;
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

void NoteView::mouse(CDrawContext* /*context*/, CPoint& /*where*/, long /*buttons*/) { }

void NoteView::trackHover() { }
