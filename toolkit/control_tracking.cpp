#include "toolkit/control_tracking.h"

#include "toolkit/c_control.h"
#include "toolkit/c_control_listener.h"
#include "toolkit/c_draw_context.h"
#include "toolkit/c_frame.h"

bool modifierClickHandled(CDrawContext* context, CControl* control, long buttons)
{
    constexpr long kModifiers = kShift | kControl | kAlt | kApple;
    CControlListener* listener = control->getListener();
    return (buttons & kModifiers) && listener
        && listener->controlModifierClicked(context, control, buttons) != 0;
}

long pressedButtons(CDrawContext* context, long buttons)
{
    if (buttons != -1)
        return buttons;
    return context ? context->getMouseButtons() : 0;
}

long acceptedClick(CDrawContext* context, CControl* control, long buttons, long accepted)
{
    if (!control->getMouseEnabled())
        return 0;
    buttons = pressedButtons(context, buttons);
    if (modifierClickHandled(context, control, buttons) || !(buttons & accepted))
        return 0;
    return buttons;
}

void redrawNow(CDrawContext* context, CControl* control)
{
    if (!context || !control->isDirty())
        return;
    CFrame* frame = control->getParentFrame();
    CRect area = control->getViewSize();
    CRect savedClip;
    context->getClipRect(savedClip);
    context->setClipRect(area);
    control->draw(context);
    context->setClipRect(savedClip);
    if (frame && frame->getPlatformWindow()) {
        area.offset(context->getOffset().h, context->getOffset().v);
        area.bound(context->getClipLimit());
        frame->getPlatformWindow()->present(area);
    }
}

void trackingPass(CControl* control)
{
    if (CFrame* frame = control->getParentFrame())
        frame->doIdleStuff();
}
