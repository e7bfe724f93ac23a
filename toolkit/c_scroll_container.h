// The clipping container inside a scroll view: its children live in content
// coordinates over a virtual area (the container size), and the scroll offset
// says which content point sits at the container's top-left corner.
#pragma once

#include "toolkit/c_view_container.h"

class CScrollContainer : public CViewContainer {
public:
    CScrollContainer(const CRect& size, const CRect& containerSize, CFrame* frame,
        CBitmap* background = nullptr);

    // Scrolls so that content point offset is at the top-left corner, kept
    // within the content: 0 .. content extent - visible extent on each axis.
    void setScrollOffset(const CPoint& offset);
    const CPoint& getScrollOffset() const { return scrollOffset; }

    void setContainerSize(const CRect& rect);
    const CRect& getContainerSize() const { return containerSize; }
    // How far the content can scroll: content extent minus visible extent,
    // never negative.
    int maxScrollH() const;
    int maxScrollV() const;

    CPoint getChildOrigin() const override;

protected:
    ~CScrollContainer() override = default;

private:
    CRect containerSize;
    CPoint scrollOffset;
};
