#include "toolkit/c_kick_button.h"

#include "toolkit/c_bitmap.h"
#include "toolkit/c_control_listener.h"
#include "toolkit/c_draw_context.h"
#include "toolkit/control_tracking.h"

CKickButton::CKickButton(const CRect& size, CControlListener* listener, long tag,
    int heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background)
    , heightOfOneImage(heightOfOneImage)
    , offset(offset)
{
}

void CKickButton::draw(CDrawContext* context)
{
    // Values above 1 (a subclass may store others) draw as pressed.
    const float shown = value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
    CPoint from = offset;
    if (shown != 0.0f)
        from.v += heightOfOneImage;
    if (pBackground) {
        if (bTransparencyEnabled)
            pBackground->drawTransparent(context, size, from);
        else
            pBackground->draw(context, size, from);
    }
    setDirty(false);
}

void CKickButton::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    if (!acceptedClick(context, this, buttons, kLButton))
        return;

    // Pressed while the mouse is inside; the listener hears every change.
    beginEdit();
    auto follow = [&](bool inside) {
        const float next = inside ? 1.0f : 0.0f;
        if (next == value)
            return;
        value = next;
        if (listener)
            listener->valueChanged(context, this);
    };
    follow(size.pointInside(where));
    while (context->getMouseButtons() & kLButton) {
        getMouseLocation(context, where);
        follow(size.pointInside(where));
        redrawNow(context, this);
        trackingPass(this);
    }
    follow(false);
    redrawNow(context, this);
    endEdit();
}
