#include "editor/panel_button.h"

#include "toolkit/c_control_listener.h"
#include "toolkit/c_draw_context.h"

namespace {

constexpr int kLabelFont = kNormalFontSmall;
constexpr int kSelectedInset = 2;
constexpr float kLeftClick = 1.0f;
constexpr float kRightClick = 2.0f;
constexpr float kOtherClick = 0.0f;
constexpr long kAnyMouseButton = kLButton | kMButton | kRButton;

void drawOutline(CDrawContext* context, const CRect& rect)
{
    context->setLineWidth(1);
    context->setFrameColor(kBlackCColor);
    context->drawRect(rect, kDrawStroked);
}

} // namespace

PanelButton::PanelButton(const CRect& size, CControlListener* listener, long tag, int imageHeight,
    CBitmap* bitmap, const CPoint& offset)
    : CKickButton(size, listener, tag, imageHeight, bitmap, offset)
{
}

PanelButton::~PanelButton() = default;

void PanelButton::draw(CDrawContext* context)
{
    CKickButton::draw(context);
    context->setFont(kLabelFont, 0, 0);
    context->setFontColor(kWhiteCColor);
    context->drawString(label, size, false, kCenterText);
    if (outline)
        drawOutline(context, size);
    if (selected) {
        CRect inset = size;
        inset.inset(kSelectedInset, kSelectedInset);
        drawOutline(context, inset);
    }
    setDirty(false);
}

void PanelButton::mouse(CDrawContext* context, CPoint& /*where*/, long buttons)
{
    if (!bMouseEnabled)
        return;
    // The live state, not the press argument: a modifier counts as held
    // only if it still is. A quick click may be over before its press is
    // handled (within one host idle); then the press tells what was clicked.
    long state = context->getMouseButtons();
    if ((state & kAnyMouseButton) == 0 && buttons != -1)
        state = buttons;
    if (state == kLButton)
        value = kLeftClick;
    else if (state == kRButton)
        value = kRightClick;
    else
        value = kOtherClick;
    if (listener)
        listener->valueChanged(context, this);
}
