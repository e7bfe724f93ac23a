#include "toolkit/c_scrollbar.h"

#include "toolkit/c_control_listener.h"
#include "toolkit/c_draw_context.h"
#include "toolkit/control_tracking.h"

#include <algorithm>
#include <cmath>

CScrollbar::CScrollbar(const CRect& size, CControlListener* listener, long tag, Direction direction,
    int contentLength, int visibleLength)
    : CControl(size, listener, tag)
    , direction(direction)
{
    setLengths(contentLength, visibleLength);
}

void CScrollbar::setScrollerColor(CColor color)
{
    scrollerColor = color;
    setDirty(true);
}

void CScrollbar::setFrameColor(CColor color)
{
    frameColor = color;
    setDirty(true);
}

void CScrollbar::setBackgroundColor(CColor color)
{
    backgroundColor = color;
    setDirty(true);
}

void CScrollbar::setLengths(int content, int visible)
{
    contentLength = std::max(0, content);
    visibleLength = std::max(0, visible);
    setDirty(true);
}

CRect CScrollbar::track() const
{
    CRect inner = size;
    return inner.inset(kInset, kInset);
}

int CScrollbar::scrollerLength() const
{
    const int room = std::max(0, along(track()));
    if (contentLength <= visibleLength || contentLength == 0)
        return room;
    const int length = int(int64_t(along(size)) * visibleLength / contentLength);
    return std::min(room, std::max(length, std::min(room, kMinScrollerLength)));
}

CRect CScrollbar::scrollerRect() const
{
    CRect inner = track();
    const int length = scrollerLength();
    const int travel = std::max(0, along(inner) - length);
    const float v = std::clamp(value, 0.0f, 1.0f);
    const int from = start(inner) + int(std::lround(v * float(travel)));
    if (direction == kHorizontal)
        return CRect(from, inner.top, from + length, inner.bottom);
    return CRect(inner.left, from, inner.right, from + length);
}

void CScrollbar::draw(CDrawContext* context)
{
    context->setLineWidth(1);
    context->setFrameColor(frameColor);
    context->setFillColor(backgroundColor);
    context->drawRect(size, kDrawFilledAndStroked);
    CRect scroller = scrollerRect();
    if (!scroller.isEmpty()) {
        context->setFillColor(scrollerColor);
        context->drawRect(scroller, kDrawFilledAndStroked);
    }
    setDirty(false);
}

void CScrollbar::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    if (!bMouseEnabled || !(pressedButtons(context, buttons) & kLButton))
        return;
    const CRect inner = track();
    const int travel = along(inner) - scrollerLength();
    if (travel <= 0)
        return;
    // Held at the grabbed point, or by its middle when the click was beside it.
    const CRect scroller = scrollerRect();
    const int grab
        = scroller.pointInside(where) ? coordinate(where) - start(scroller) : scrollerLength() / 2;
    for (;;) {
        const float v = std::clamp(
            float(coordinate(where) - grab - start(inner)) / float(travel), 0.0f, 1.0f);
        if (v != value) {
            value = v;
            if (listener)
                listener->valueChanged(context, this);
        }
        redrawNow(context, this);
        trackingPass(this);
        if (!(context->getMouseButtons() & kLButton))
            break;
        getMouseLocation(context, where);
    }
}
