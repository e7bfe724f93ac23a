#include "toolkit/c_view.h"

#include "toolkit/c_bitmap.h"
#include "toolkit/c_draw_context.h"
#include "toolkit/c_frame.h"
#include "toolkit/c_view_container.h"

CView::CView(const CRect& size)
    : size(size)
    , mouseableArea(size)
{
}

CView::~CView()
{
    if (pBackground)
        pBackground->forget();
}

void CView::draw(CDrawContext* context)
{
    if (pBackground)
        pBackground->draw(context, size);
    setDirty(false);
}

void CView::drawRect(CDrawContext* context, const CRect& /*updateRect*/) { draw(context); }

void CView::mouse(CDrawContext* /*context*/, CPoint& /*where*/, long /*buttons*/) { }

bool CView::onWheel(CDrawContext* /*context*/, const CPoint& /*where*/, float /*distance*/)
{
    return false;
}

long CView::onKeyDown(VstKeyCode& /*key*/) { return -1; }

long CView::onKeyUp(VstKeyCode& /*key*/) { return -1; }

void CView::setBackground(CBitmap* bitmap)
{
    if (bitmap)
        bitmap->remember();
    if (pBackground)
        pBackground->forget();
    pBackground = bitmap;
    setDirty(true);
}

void CView::setViewSize(const CRect& rect)
{
    size = rect;
    setDirty(true);
}

void CView::getMouseLocation(CDrawContext* /*context*/, CPoint& point)
{
    point = pParentFrame ? pParentFrame->getMousePosition() : CPoint();
    frameToLocal(point);
}

CPoint& CView::frameToLocal(CPoint& point) const
{
    for (const CViewContainer* parent = pParentView; parent; parent = parent->getParentView())
        point = point - parent->getChildOrigin();
    return point;
}

CPoint& CView::localToFrame(CPoint& point) const
{
    for (const CViewContainer* parent = pParentView; parent; parent = parent->getParentView())
        point = point + parent->getChildOrigin();
    return point;
}

void CView::attached(CViewContainer* parent)
{
    pParentView = parent;
    setParentFrame(parent ? parent->getParentFrame() : nullptr);
}

void CView::removed(CViewContainer* /*parent*/)
{
    if (pParentFrame && pParentFrame->getFocusView() == this)
        pParentFrame->setFocusView(nullptr);
    pParentView = nullptr;
    setParentFrame(nullptr);
}
