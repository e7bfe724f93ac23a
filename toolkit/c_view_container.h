// A view that holds views. It owns what is added to it, paints its background
// and then its children in insertion order, each clipped to its size, and
// passes a mouse-down to the topmost child under the point.
#pragma once

#include "toolkit/c_view.h"

#include <vector>

class CViewContainer : public CView {
public:
    CViewContainer(const CRect& size, CFrame* frame, CBitmap* background = nullptr);

    virtual void addView(CView* view);
    // Removes view; forgets it when forget is set. False when it is not a child.
    virtual bool removeView(CView* view, bool forget = true);
    virtual void removeAll(bool forget = true);
    bool isChild(const CView* view) const;
    int getNbViews() const { return static_cast<int>(children.size()); }
    CView* getView(int index) const;

    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    // Redraws only what is dirty: everything when the container's own flag is
    // set, else each dirty child. Adds what it painted (window pixels) to painted.
    virtual void redrawDirty(CDrawContext* context, CRect& painted);
    // Paints the container's background into area (container coordinates,
    // the context offset at the container's origin); a transparent container
    // without a bitmap asks its parent.
    virtual void drawBackgroundRect(CDrawContext* context, const CRect& area);

    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;

    bool isDirty() const override;
    void setDirty(bool dirty = true) override;
    bool isContainer() const override { return true; }
    void setParentFrame(CFrame* frame) override;

    void setBackgroundColor(CColor color) { backgroundColor = color; }
    CColor getBackgroundColor() const { return backgroundColor; }
    void setMode(bool onlyDirtyUpdates) { bOnlyDirtyUpdates = onlyDirtyUpdates; }

    // Where the children's (0, 0) lies in this container's parent
    // coordinates; a scrolling container moves it.
    virtual CPoint getChildOrigin() const { return size.topLeft(); }

    // The last added mouse-enabled child whose mouseable area holds where
    // (container coordinates), or null.
    CView* viewAt(const CPoint& where) const;

protected:
    ~CViewContainer() override;

    // The container's visible area in its own coordinates.
    virtual CRect localBounds() const;

    std::vector<CView*> children;
    CColor backgroundColor = kBlackCColor;
    bool bOnlyDirtyUpdates = true;
};
