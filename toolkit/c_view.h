// The base of everything drawn: a rectangle in its parent container's
// coordinates that paints itself into a draw context and takes mouse clicks.
#pragma once

#include "toolkit/c_color.h"
#include "toolkit/c_rect.h"
#include "toolkit/c_reference_counter.h"
#include "toolkit/mouse_buttons.h"
#include "vst/vst24.h"

class CBitmap;
class CDrawContext;
class CFrame;
class CViewContainer;

class CView : public CReferenceCounter {
public:
    explicit CView(const CRect& size);

    virtual void draw(CDrawContext* context);
    // Draws the part of the view inside updateRect (parent coordinates);
    // views that can do no better draw everything.
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);
    // A mouse-down inside the view: where is in the parent's coordinates,
    // buttons the state at the press.
    virtual void mouse(CDrawContext* context, CPoint& where, long buttons = -1);
    // The wheel over the view; true when it was used.
    virtual bool onWheel(CDrawContext* context, const CPoint& where, float distance);
    // Keys go to the focus view; -1 when not handled.
    virtual long onKeyDown(VstKeyCode& key);
    virtual long onKeyUp(VstKeyCode& key);

    virtual void setDirty(bool dirty = true) { bDirty = dirty; }
    virtual bool isDirty() const { return bDirty; }

    virtual void setMouseEnabled(bool enabled) { bMouseEnabled = enabled; }
    bool getMouseEnabled() const { return bMouseEnabled; }
    virtual void setMouseableArea(const CRect& area) { mouseableArea = area; }
    CRect& getMouseableArea(CRect& area) const { return area = mouseableArea; }
    // True when where (parent coordinates) lies in the mouseable area.
    virtual bool hitTest(const CPoint& where) const { return mouseableArea.pointInside(where); }

    virtual void setTransparency(bool transparent) { bTransparencyEnabled = transparent; }
    bool getTransparency() const { return bTransparencyEnabled; }
    void setWantsFocus(bool wants) { bWantsFocus = wants; }
    bool wantsFocus() const { return bWantsFocus; }
    virtual void takeFocus() { }
    virtual void looseFocus() { }

    // Remembers bitmap and forgets the previous one.
    virtual void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return pBackground; }

    // Changes the size only (not the mouseable area) and marks the view dirty.
    virtual void setViewSize(const CRect& rect);
    CRect& getViewSize(CRect& rect) const { return rect = size; }
    const CRect& getViewSize() const { return size; }

    // The current mouse position in the view's parent coordinates.
    virtual void getMouseLocation(CDrawContext* context, CPoint& point);
    // Frame coordinates into the view's parent coordinates, and back.
    CPoint& frameToLocal(CPoint& point) const;
    CPoint& localToFrame(CPoint& point) const;

    virtual bool isContainer() const { return false; }
    virtual void setParentFrame(CFrame* frame) { pParentFrame = frame; }
    CFrame* getParentFrame() const { return pParentFrame; }
    void setParentView(CViewContainer* parent) { pParentView = parent; }
    CViewContainer* getParentView() const { return pParentView; }

    // Called when the view is added to or removed from a container.
    virtual void attached(CViewContainer* parent);
    virtual void removed(CViewContainer* parent);

protected:
    ~CView() override;

    CRect size;
    CRect mouseableArea;
    CFrame* pParentFrame = nullptr;
    CViewContainer* pParentView = nullptr;
    bool bDirty = false;
    bool bMouseEnabled = true;
    bool bTransparencyEnabled = false;
    bool bWantsFocus = false;
    CBitmap* pBackground = nullptr;
};
