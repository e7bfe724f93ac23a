#include "toolkit/c_scroll_view.h"

#include "toolkit/c_scroll_container.h"
#include "toolkit/c_scrollbar.h"

#include <cmath>

CScrollView::CScrollView(const CRect& size, const CRect& containerSize, CFrame* frame, int style,
    int scrollbarWidth, CBitmap* background)
    : CViewContainer(size, frame, background)
    , style(style)
    , scrollbarWidth(scrollbarWidth)
{
    const int width = size.width();
    const int height = size.height();
    const int right = (style & kVerticalScrollbar) ? width - scrollbarWidth : width;
    const int bottom = (style & kHorizontalScrollbar) ? height - scrollbarWidth : height;

    container = new CScrollContainer(CRect(0, 0, right, bottom), containerSize, frame);
    CViewContainer::addView(container);
    if (style & kHorizontalScrollbar) {
        hScrollbar = new CScrollbar(CRect(0, bottom, right, height), this, kScrollbarTag,
            CScrollbar::kHorizontal, containerSize.width(), right);
        CViewContainer::addView(hScrollbar);
    }
    if (style & kVerticalScrollbar) {
        vScrollbar = new CScrollbar(CRect(right, 0, width, bottom), this, kScrollbarTag,
            CScrollbar::kVertical, containerSize.height(), bottom);
        CViewContainer::addView(vScrollbar);
    }
    setTransparency(true);
    setMode(true);
}

void CScrollView::addView(CView* view) { container->addView(view); }

bool CScrollView::removeView(CView* view, bool forget)
{
    if (view == container || view == hScrollbar || view == vScrollbar)
        return false; // the scroll view's own parts stay
    return container->removeView(view, forget);
}

void CScrollView::removeAll(bool forget) { container->removeAll(forget); }

void CScrollView::setTransparency(bool transparent)
{
    CViewContainer::setTransparency(transparent);
    container->setTransparency(transparent);
}

const CPoint& CScrollView::getScrollOffset() const { return container->getScrollOffset(); }

void CScrollView::setScrollOffset(const CPoint& offset)
{
    container->setScrollOffset(offset);
    const CPoint& now = container->getScrollOffset();
    if (hScrollbar && container->maxScrollH() > 0)
        hScrollbar->setValue(float(now.h) / float(container->maxScrollH()));
    if (vScrollbar && container->maxScrollV() > 0)
        vScrollbar->setValue(float(now.v) / float(container->maxScrollV()));
}

void CScrollView::setContainerSize(const CRect& rect)
{
    container->setContainerSize(rect);
    const CRect visible = container->getViewSize();
    if (hScrollbar)
        hScrollbar->setLengths(rect.width(), visible.width());
    if (vScrollbar)
        vScrollbar->setLengths(rect.height(), visible.height());
}

namespace {

// A scrollbar value as a position 0..1; anything else (NaN too) is an end.
double scrollFraction(float value)
{
    if (!(value > 0.0f))
        return 0.0;
    return value < 1.0f ? double(value) : 1.0;
}

} // namespace

void CScrollView::valueChanged(CDrawContext* /*context*/, CControl* control)
{
    // Rounded, not truncated: a value of f / max must land on content point f
    // although f / max x max is a hair below f in float.
    CPoint offset = container->getScrollOffset();
    if (control == hScrollbar && hScrollbar)
        offset.h
            = int(std::lround(scrollFraction(hScrollbar->getValue()) * container->maxScrollH()));
    else if (control == vScrollbar && vScrollbar)
        offset.v
            = int(std::lround(scrollFraction(vScrollbar->getValue()) * container->maxScrollV()));
    else
        return;
    container->setScrollOffset(offset);
}
