#include "toolkit/c_slider.h"

#include "toolkit/c_bitmap.h"
#include "toolkit/c_control_listener.h"
#include "toolkit/c_draw_context.h"
#include "toolkit/c_frame.h"
#include "toolkit/control_tracking.h"

#include <algorithm>

namespace {

constexpr float kKeyStep = 0.1f;
constexpr float kFineFactor = 0.1f; // shift on the wheel and the arrow keys

float clampUnit(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

} // namespace

CSlider::CSlider(const CRect& size, CControlListener* listener, long tag, int minPos, int maxPos,
    CBitmap* handle, CBitmap* background, const CPoint& offset, int style)
    : CControl(size, listener, tag, background)
    , handle(handle)
    , offset(offset)
    , style(style)
    , minPos(minPos - size.left)
    , rangeHandle(maxPos - minPos)
    , widthOfHandle(handle ? handle->getWidth() : 0)
    , heightOfHandle(handle ? handle->getHeight() : 0)
{
    if (handle)
        handle->remember();
    setWantsFocus(true);
}

CSlider::~CSlider()
{
    if (handle)
        handle->forget();
}

void CSlider::setOffsetHandle(const CPoint& newOffset)
{
    offsetHandle = newOffset;
    setDirty(true);
}

CRect CSlider::handleRect() const
{
    // The left edge follows the value over the range, kept between the
    // minimum position and the minimum position plus the range.
    int left = static_cast<int>(value * float(rangeHandle)) + offsetHandle.h;
    const int lowest = minPos + offsetHandle.h;
    const int highest = minPos + offsetHandle.h + rangeHandle;
    left = std::max(lowest, std::min(left, highest));
    return CRect(left, offsetHandle.v, left + widthOfHandle, offsetHandle.v + heightOfHandle);
}

void CSlider::draw(CDrawContext* context)
{
    if (pBackground)
        pBackground->draw(context, size, offset);
    if (handle) {
        CRect at = handleRect();
        at.offset(size.left, size.top);
        handle->drawTransparent(context, at);
    }
    setDirty(false);
}

float CSlider::valueForMouse(int x, int grabOffset) const
{
    if (rangeHandle <= 0)
        return 0.0f;
    return clampUnit(float(x - grabOffset) / float(rangeHandle));
}

void CSlider::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    buttons = acceptedClick(context, this, buttons, kLButton);
    if (!buttons)
        return;
    if (pParentFrame)
        pParentFrame->setFocusView(this);
    if (buttons & kControl) {
        stepTo(context, defaultValue);
        return;
    }

    // Free click: the handle's centre goes under the mouse. grabOffset is the
    // mouse x (parent coordinates) that means value 0.
    int grabOffset = size.left + offsetHandle.h + widthOfHandle / 2;
    beginEdit();
    float reported = value;
    value = valueForMouse(where.h, grabOffset);
    int lastX = where.h;
    for (;;) {
        if (value != reported) {
            reported = value;
            if (listener)
                listener->valueChanged(context, this);
        }
        redrawNow(context, this);
        trackingPass(this);
        const long held = context->getMouseButtons();
        if (!(held & kLButton))
            break;
        getMouseLocation(context, where);
        if (held & kShift) {
            // Fine adjustment: a tenth of the movement since the last pass.
            // The grab moves along, so that letting go of shift continues
            // from here instead of jumping back under the mouse.
            if (rangeHandle > 0)
                value
                    = clampUnit(value + float(where.h - lastX) / float(rangeHandle) / kZoomFactor);
            grabOffset = where.h - static_cast<int>(value * float(rangeHandle));
        } else {
            value = valueForMouse(where.h, grabOffset);
        }
        lastX = where.h;
    }
    endEdit();
}

void CSlider::stepTo(CDrawContext* context, float target)
{
    target = clampUnit(target);
    if (target == value)
        return;
    beginEdit();
    value = target;
    if (listener)
        listener->valueChanged(context, this);
    endEdit();
}

bool CSlider::onWheel(CDrawContext* context, const CPoint& /*where*/, float distance)
{
    if (!bMouseEnabled)
        return false;
    const bool fine = context && (context->getMouseButtons() & kShift);
    stepTo(context, value + distance * wheelInc * (fine ? kFineFactor : 1.0f));
    return true;
}

long CSlider::onKeyDown(VstKeyCode& key)
{
    float step;
    switch (key.virt) {
    case VKEY_RIGHT:
    case VKEY_UP: step = kKeyStep; break;
    case VKEY_LEFT:
    case VKEY_DOWN: step = -kKeyStep; break;
    default: return -1;
    }
    if (key.modifier & MODIFIER_SHIFT)
        step *= kFineFactor;
    CDrawContext* context = pParentFrame ? pParentFrame->createDrawContext() : nullptr;
    stepTo(context, value + step);
    if (context)
        context->forget();
    return 1;
}
