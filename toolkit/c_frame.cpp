#include "toolkit/c_frame.h"

#include "toolkit/aeff_gui_editor.h"
#include "toolkit/c_draw_context.h"

namespace {

Platform& platformOf(AEffGUIEditor* editor)
{
    return editor ? editor->getPlatform() : defaultPlatform();
}

} // namespace

CFrame::CFrame(const CRect& size, void* parentWindow, AEffGUIEditor* editor)
    : CFrame(size, parentWindow, editor, platformOf(editor))
{
}

CFrame::CFrame(const CRect& size, void* parentWindow, AEffGUIEditor* editor, Platform& platform)
    : CViewContainer(CRect(0, 0, size.width(), size.height()), this)
    , editor(editor)
    , platform(platform)
    , parentWindow(parentWindow)
{
    window = platform.createWindow(parentWindow, size.width(), size.height());
}

CFrame::~CFrame()
{
    // The views go before the window they draw into.
    focusView = nullptr;
    CViewContainer::removeAll(true);
    window.reset();
}

void CFrame::draw(CDrawContext* context) { CViewContainer::drawRect(context, size); }

void CFrame::redrawAll()
{
    if (!window)
        return;
    CDrawContext* context = createDrawContext();
    draw(context);
    context->forget();
    window->present(size);
}

void CFrame::redrawDirtyViews()
{
    if (!window || !painted || !isDirty())
        return;
    if (bDirty) {
        redrawAll();
        return;
    }
    CDrawContext* context = createDrawContext();
    CRect painted;
    redrawDirty(context, painted);
    context->forget();
    if (!painted.isEmpty())
        window->present(painted);
}

void CFrame::idle()
{
    if (!window)
        return;
    // The frame (and its window) outlive whatever the handlers do, even an
    // editor that lets go of the frame meanwhile.
    remember();
    // Inside a modal loop only exposures are handled; the loop's own input
    // stays queued and is dropped when the loop ends.
    window->handleEvents(*this, inEventDispatch() ? EventFilter::paintOnly : EventFilter::all);
    redrawDirtyViews();
    forget();
}

void CFrame::doIdleStuff()
{
    if (editor) {
        editor->doIdleStuff();
        return;
    }
    noteModalPass();
    idle();
}

void CFrame::windowExposed(const CRect& area)
{
    if (!painted) {
        painted = true;
        redrawAll();
        return;
    }
    window->present(area);
}

template <typename Handler> void CFrame::dispatchInput(Handler&& handler)
{
    int passesBefore = modalPasses;
    ++dispatchDepth;
    handler();
    --dispatchDepth;
    if (modalPasses != passesBefore && window && dispatchDepth == 0)
        window->discardInput();
}

void CFrame::windowMouseDown(const CPoint& where, long buttons)
{
    dispatchInput([&] {
        CDrawContext* context = createDrawContext();
        CPoint point = where;
        mouse(context, point, buttons);
        context->forget();
    });
}

void CFrame::windowWheel(const CPoint& where, float distance, long /*buttons*/)
{
    dispatchInput([&] {
        CDrawContext* context = createDrawContext();
        onWheel(context, where, distance);
        context->forget();
    });
}

void CFrame::windowKeyDown(VstKeyCode& key)
{
    // The editor sees the key first, as it does a key the host passes on.
    dispatchInput([&] {
        if (editor)
            editor->onKeyDown(key);
        else
            onKeyDown(key);
    });
}

void CFrame::windowKeyUp(VstKeyCode& key)
{
    dispatchInput([&] { onKeyUp(key); });
}

void CFrame::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    setFocusView(nullptr);
    if (buttons == -1)
        buttons = getCurrentMouseButtons();
    ++dispatchDepth;
    CViewContainer::mouse(context, where, buttons);
    --dispatchDepth;
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, float distance)
{
    ++dispatchDepth;
    bool used = CViewContainer::onWheel(context, where, distance);
    --dispatchDepth;
    return used;
}

bool CFrame::onWheel(float distance)
{
    CDrawContext* context = createDrawContext();
    bool used = onWheel(context, getMousePosition(), distance);
    context->forget();
    return used;
}

long CFrame::keyToFocusView(VstKeyCode& key, bool down)
{
    if (!focusView)
        return -1;
    ++dispatchDepth;
    long result = down ? focusView->onKeyDown(key) : focusView->onKeyUp(key);
    --dispatchDepth;
    return result;
}

long CFrame::onKeyDown(VstKeyCode& key) { return keyToFocusView(key, true); }

long CFrame::onKeyUp(VstKeyCode& key) { return keyToFocusView(key, false); }

void CFrame::setFocusView(CView* view)
{
    if (view == focusView)
        return;
    CView* previous = focusView;
    focusView = view;
    if (previous)
        previous->looseFocus();
    if (focusView)
        focusView->takeFocus();
}

bool CFrame::removeView(CView* view, bool forget)
{
    if (view == focusView)
        focusView = nullptr;
    return CViewContainer::removeView(view, forget);
}

void CFrame::removeAll(bool forget)
{
    focusView = nullptr;
    CViewContainer::removeAll(forget);
}

CDrawContext* CFrame::createDrawContext()
{
    return new CDrawContext(this, window ? window->backBuffer() : nullptr);
}

CPoint CFrame::getMousePosition() const { return window ? window->pointerPosition() : CPoint(); }

long CFrame::getCurrentMouseButtons() const { return window ? window->pointerButtons() : 0; }

void CFrame::beginEdit(long index)
{
    if (editor)
        editor->beginEdit(VstInt32(index));
}

void CFrame::endEdit(long index)
{
    if (editor)
        editor->endEdit(VstInt32(index));
}
