// The bar along a scroll view's edge. Its value 0..1 is the scroll position;
// the scroller inside it is as long, relative to the bar, as the visible part
// is relative to the content. Dragging the scroller (or clicking beside it,
// which centres it on the mouse) changes the value and tells the listener.
#pragma once

#include "toolkit/c_control.h"

class CScrollbar : public CControl {
public:
    enum Direction { kHorizontal = 0, kVertical };
    static constexpr int kInset = 2; // the scroller moves inside the bar inset by this
    static constexpr int kMinScrollerLength = 4; // so that a long content still shows a scroller

    CScrollbar(const CRect& size, CControlListener* listener, long tag, Direction direction,
        int contentLength, int visibleLength);

    void setScrollerColor(CColor color);
    CColor getScrollerColor() const { return scrollerColor; }
    void setFrameColor(CColor color);
    CColor getFrameColor() const { return frameColor; }
    void setBackgroundColor(CColor color);
    CColor getBackgroundColor() const { return backgroundColor; }

    void setLengths(int contentLength, int visibleLength);
    Direction getDirection() const { return direction; }

    // The scroller for the current value, in the parent's coordinates.
    CRect scrollerRect() const;
    int scrollerLength() const;

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;

protected:
    ~CScrollbar() override = default;

private:
    CRect track() const;
    int along(const CRect& r) const { return direction == kHorizontal ? r.width() : r.height(); }
    int start(const CRect& r) const { return direction == kHorizontal ? r.left : r.top; }
    int coordinate(const CPoint& p) const { return direction == kHorizontal ? p.h : p.v; }

    Direction direction;
    int contentLength;
    int visibleLength;
    CColor frameColor = kBlackCColor;
    CColor scrollerColor = kBlueCColor;
    CColor backgroundColor {255, 255, 255, 200};
};
