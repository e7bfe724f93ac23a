// A horizontal slider: a background bitmap with a handle bitmap that moves
// along it. With kLeft (the only direction it has) value 0 puts the handle
// at the left. A click makes it the frame's focus view, so that the arrow
// keys move it afterwards.
#pragma once

#include "toolkit/c_control.h"
#include "toolkit/control_styles.h"

class CSlider : public CControl {
public:
    // minPos and maxPos are the handle's leftmost and rightmost left edges in
    // the parent's coordinates, as the layout knows them.
    CSlider(const CRect& size, CControlListener* listener, long tag, int minPos, int maxPos,
        CBitmap* handle, CBitmap* background, const CPoint& offset = CPoint(0, 0),
        int style = kLeft | kHorizontal);

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    long onKeyDown(VstKeyCode& key) override;

    void setOffsetHandle(const CPoint& offset);
    const CPoint& getOffsetHandle() const { return offsetHandle; }
    // Fraction of a mouse movement that a drag with shift held applies.
    static constexpr float kZoomFactor = 10.0f;

    int getMinPos() const { return minPos; } // relative to the slider's left edge
    int getRange() const { return rangeHandle; }
    // The handle's rectangle for the current value, relative to the slider's
    // top-left corner.
    CRect handleRect() const;

protected:
    ~CSlider() override;

private:
    // Sets the value clamped to 0..1 inside a begin/end-edit pair and tells
    // the listener when it changed.
    void stepTo(CDrawContext* context, float target);
    float valueForMouse(int x, int grabOffset) const;

    CBitmap* handle;
    CPoint offset;
    CPoint offsetHandle;
    int style;
    int minPos;
    int rangeHandle;
    int widthOfHandle;
    int heightOfHandle;
};
