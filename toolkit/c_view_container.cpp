#include "toolkit/c_view_container.h"

#include "toolkit/c_bitmap.h"
#include "toolkit/c_draw_context.h"
#include "toolkit/c_frame.h"

#include <algorithm>

namespace {

// Window pixels of a rect given in the context's current coordinates.
CRect toWindow(const CDrawContext* context, CRect rect)
{
    return rect.offset(context->getOffset().h, context->getOffset().v);
}

// Narrows the context to a container's children while they draw, and puts
// offset, limit and clip back afterwards.
class ChildScope {
public:
    ChildScope(CDrawContext* context, const CPoint& origin, const CRect& limitInWindow)
        : context(context)
        , savedOffset(context->getOffset())
        , savedLimit(context->getClipLimit())
    {
        context->getClipRect(savedClip);
        CRect limit = limitInWindow;
        limit.bound(savedLimit);
        context->setOffset(savedOffset + origin);
        context->setClipLimit(limit);
    }
    ~ChildScope()
    {
        context->setOffset(savedOffset);
        context->setClipLimit(savedLimit);
        context->setClipRect(savedClip);
    }
    ChildScope(const ChildScope&) = delete;
    ChildScope& operator=(const ChildScope&) = delete;

private:
    CDrawContext* context;
    CPoint savedOffset;
    CRect savedLimit;
    CRect savedClip;
};

// Draws one child: clip and limit narrowed to area (the context's current
// coordinates), so that the child cannot paint outside its own size.
void drawChild(CDrawContext* context, CView* view, const CRect& area)
{
    CRect savedLimit = context->getClipLimit();
    CRect savedClip;
    context->getClipRect(savedClip);
    CRect limit = toWindow(context, area);
    limit.bound(savedLimit);
    context->setClipLimit(limit);
    context->setClipRect(area);
    view->drawRect(context, area);
    view->setDirty(false);
    context->setClipLimit(savedLimit);
    context->setClipRect(savedClip);
}

} // namespace

CViewContainer::CViewContainer(const CRect& size, CFrame* frame, CBitmap* background)
    : CView(size)
{
    pParentFrame = frame;
    if (background)
        setBackground(background);
    bDirty = false;
}

CViewContainer::~CViewContainer() { removeAll(true); }

void CViewContainer::addView(CView* view)
{
    if (!view || isChild(view))
        return;
    children.push_back(view);
    view->attached(this);
    view->setDirty(true);
}

bool CViewContainer::removeView(CView* view, bool forget)
{
    auto it = std::find(children.begin(), children.end(), view);
    if (it == children.end())
        return false;
    children.erase(it);
    view->removed(this);
    if (forget)
        view->forget();
    setDirty(true);
    return true;
}

void CViewContainer::removeAll(bool forget)
{
    // Children are detached first, so that a child's destructor never sees
    // a half-emptied container.
    std::vector<CView*> old;
    old.swap(children);
    for (CView* view : old) {
        view->removed(this);
        if (forget)
            view->forget();
    }
    bDirty = true;
}

bool CViewContainer::isChild(const CView* view) const
{
    return std::find(children.begin(), children.end(), view) != children.end();
}

CView* CViewContainer::getView(int index) const
{
    return index >= 0 && index < getNbViews() ? children[size_t(index)] : nullptr;
}

void CViewContainer::setParentFrame(CFrame* frame)
{
    CView::setParentFrame(frame);
    for (CView* view : children)
        view->setParentFrame(frame);
}

CRect CViewContainer::localBounds() const
{
    CPoint origin = getChildOrigin();
    CRect bounds = size;
    return bounds.offset(-origin.h, -origin.v);
}

bool CViewContainer::isDirty() const
{
    if (bDirty)
        return true;
    CRect bounds = localBounds();
    for (const CView* view : children)
        if (view->isDirty() && view->getViewSize().rectOverlap(bounds))
            return true;
    return false;
}

void CViewContainer::setDirty(bool dirty)
{
    bDirty = dirty;
    if (!dirty)
        for (CView* view : children)
            view->setDirty(false);
}

void CViewContainer::draw(CDrawContext* context) { drawRect(context, size); }

void CViewContainer::drawRect(CDrawContext* context, const CRect& updateRect)
{
    CRect visible = size;
    visible.bound(updateRect);
    if (visible.isEmpty()) {
        bDirty = false;
        return;
    }
    {
        ChildScope scope(context, getChildOrigin(), toWindow(context, visible));
        CRect local = visible;
        local.offset(-getChildOrigin().h, -getChildOrigin().v);
        context->setClipRect(local);
        drawBackgroundRect(context, local);
        for (CView* view : children) {
            CRect area = view->getViewSize();
            area.bound(local);
            if (area.isEmpty())
                continue;
            drawChild(context, view, area);
        }
    }
    bDirty = false;
}

void CViewContainer::redrawDirty(CDrawContext* context, CRect& painted)
{
    if (bDirty) {
        drawRect(context, size);
        CRect area = toWindow(context, size);
        area.bound(context->getClipLimit());
        painted.unite(area);
        return;
    }
    CRect local = localBounds();
    CRect visibleInWindow = toWindow(context, size);
    ChildScope scope(context, getChildOrigin(), visibleInWindow);
    for (CView* view : children) {
        if (!view->isDirty() || !view->getViewSize().rectOverlap(local))
            continue;
        if (view->isContainer() && bOnlyDirtyUpdates) {
            static_cast<CViewContainer*>(view)->redrawDirty(context, painted);
            continue;
        }
        CRect area = view->getViewSize();
        area.bound(local);
        context->setClipRect(area);
        // A transparent view draws over what lies behind it: repaint that
        // first, so that repeated redraws do not pile up.
        if (view->getTransparency())
            drawBackgroundRect(context, area);
        drawChild(context, view, area);
        CRect window = toWindow(context, area);
        window.bound(context->getClipLimit());
        painted.unite(window);
    }
}

void CViewContainer::drawBackgroundRect(CDrawContext* context, const CRect& area)
{
    CRect own = localBounds();
    own.bound(area);
    if (own.isEmpty())
        return;
    if (pBackground) {
        // The bitmap sits at the container's origin.
        CPoint origin = getChildOrigin();
        CRect at(size.left - origin.h, size.top - origin.v,
            size.left - origin.h + pBackground->getWidth(),
            size.top - origin.v + pBackground->getHeight());
        at.bound(own);
        CPoint from(at.left - (size.left - origin.h), at.top - (size.top - origin.v));
        pBackground->draw(context, at, from);
        return;
    }
    if (!bTransparencyEnabled) {
        context->setFillColor(backgroundColor);
        context->fillRect(own);
        return;
    }
    CViewContainer* parent = getParentView();
    if (!parent)
        return;
    // The parent draws in its own children's coordinates, one origin up.
    CPoint origin = getChildOrigin();
    CPoint saved = context->getOffset();
    CRect limit = context->getClipLimit();
    CRect parentArea = own;
    parentArea.offset(origin.h, origin.v);
    context->setOffset(saved - origin);
    context->setClipRect(parentArea);
    parent->drawBackgroundRect(context, parentArea);
    context->setOffset(saved);
    context->setClipLimit(limit);
    context->setClipRect(own);
}

CView* CViewContainer::viewAt(const CPoint& where) const
{
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if ((*it)->getMouseEnabled() && (*it)->hitTest(where))
            return *it;
    return nullptr;
}

void CViewContainer::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    CPoint origin = getChildOrigin();
    CPoint local = where - origin;
    CView* view = viewAt(local);
    if (!view)
        return;
    // Keep the child alive through its own handler, which may remove it.
    view->remember();
    CPoint savedOffset = context->getOffset();
    context->setOffset(savedOffset + origin);
    view->mouse(context, local, buttons);
    context->setOffset(savedOffset);
    view->forget();
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, float distance)
{
    CPoint origin = getChildOrigin();
    CPoint local = where - origin;
    CView* view = viewAt(local);
    if (!view)
        return false;
    view->remember();
    CPoint savedOffset = context->getOffset();
    context->setOffset(savedOffset + origin);
    bool used = view->onWheel(context, local, distance);
    context->setOffset(savedOffset);
    view->forget();
    return used;
}
