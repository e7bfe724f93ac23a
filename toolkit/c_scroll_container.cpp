#include "toolkit/c_scroll_container.h"

#include <algorithm>

CScrollContainer::CScrollContainer(
    const CRect& size, const CRect& containerSize, CFrame* frame, CBitmap* background)
    : CViewContainer(size, frame, background)
    , containerSize(containerSize)
{
}

int CScrollContainer::maxScrollH() const
{
    return std::max(0, containerSize.width() - size.width());
}

int CScrollContainer::maxScrollV() const
{
    return std::max(0, containerSize.height() - size.height());
}

void CScrollContainer::setScrollOffset(const CPoint& offset)
{
    CPoint clamped(std::clamp(offset.h, 0, maxScrollH()), std::clamp(offset.v, 0, maxScrollV()));
    if (clamped == scrollOffset)
        return;
    scrollOffset = clamped;
    setDirty(true);
}

void CScrollContainer::setContainerSize(const CRect& rect)
{
    containerSize = rect;
    setScrollOffset(scrollOffset);
    setDirty(true);
}

CPoint CScrollContainer::getChildOrigin() const
{
    return CPoint(size.left - scrollOffset.h - containerSize.left,
        size.top - scrollOffset.v - containerSize.top);
}
