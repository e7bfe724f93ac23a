#include "toolkit/c_tab_button.h"

#include "toolkit/c_bitmap.h"
#include "toolkit/c_control_listener.h"
#include "toolkit/c_draw_context.h"

CTabButton::CTabButton(
    const CRect& size, CControlListener* listener, long tag, CBitmap* tabBitmap, const char* name)
    : CControl(size, listener, tag, tabBitmap)
    , name(name ? name : "")
{
}

void CTabButton::draw(CDrawContext* context)
{
    const bool selected = isSelected();
    if (pBackground) {
        // The selected look is the bitmap's lower half.
        const CPoint from(0, selected ? pBackground->getHeight() / 2 : 0);
        if (bTransparencyEnabled)
            pBackground->drawTransparent(context, size, from);
        else
            pBackground->draw(context, size, from);
    }
    context->setFont(kNameFont, kNameHeight);
    context->setFontColor(selected ? kSelectedNameColor : kUnselectedNameColor);
    context->drawString(name.c_str(), size, false, kCenterText);
    setDirty(false);
}

void CTabButton::mouse(CDrawContext* context, CPoint& /*where*/, long buttons)
{
    if (!bMouseEnabled || !(buttons & kLButton) || isSelected())
        return;
    value = 1.0f;
    if (listener)
        listener->valueChanged(context, this);
}
