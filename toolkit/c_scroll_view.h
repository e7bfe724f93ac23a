// A container that shows a window onto a larger content area, with a
// scrollbar along its bottom edge (kHorizontalScrollbar) and/or its right
// edge (kVerticalScrollbar). Views added to it go into the scroll container
// in content coordinates.
#pragma once

#include "toolkit/c_control_listener.h"
#include "toolkit/c_view_container.h"

class CScrollContainer;
class CScrollbar;

class CScrollView : public CViewContainer, public CControlListener {
public:
    enum Style { kHorizontalScrollbar = 1 << 1, kVerticalScrollbar = 1 << 2 };
    static constexpr long kScrollbarTag = 0;

    CScrollView(const CRect& size, const CRect& containerSize, CFrame* frame, int style,
        int scrollbarWidth = 16, CBitmap* background = nullptr);

    // Into the scroll container, in content coordinates.
    void addView(CView* view) override;
    bool removeView(CView* view, bool forget = true) override;
    void removeAll(bool forget = true) override;

    // Scrolls so that content point offset is at the visible top-left corner.
    void setScrollOffset(const CPoint& offset);
    const CPoint& getScrollOffset() const;
    void setContainerSize(const CRect& rect);

    CScrollContainer* getScrollContainer() const { return container; }
    CScrollbar* getHScrollbar() const { return hScrollbar; }
    CScrollbar* getVScrollbar() const { return vScrollbar; }
    int getStyle() const { return style; }
    int getScrollbarWidth() const { return scrollbarWidth; }

    void setTransparency(bool transparent) override;

    // A scrollbar's new value scrolls the content: content point
    // value x (content extent - visible extent) goes to the visible edge.
    void valueChanged(CDrawContext* context, CControl* control) override;

protected:
    ~CScrollView() override = default;

private:
    int style;
    int scrollbarWidth;
    CScrollContainer* container = nullptr;
    CScrollbar* hScrollbar = nullptr;
    CScrollbar* vScrollbar = nullptr;
};
