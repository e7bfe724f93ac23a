#include "editor/value_display.h"

#include <cstring>

namespace {

constexpr int kLabelFont = kNormalFontSmall;

} // namespace

ValueDisplay::ValueDisplay(const CRect& size, const char* label)
    : CParamDisplay(size, nullptr, 0)
{
    if (label) {
        std::strncpy(text, label, kValueDisplayTextLength - 1);
        setDirty(true);
    }
}

ValueDisplay::~ValueDisplay() = default;

void ValueDisplay::draw(CDrawContext* context)
{
    context->setFont(kLabelFont, 0, 0);
    context->setFontColor(fontColor);
    context->drawString(text, size, false, kLeftText);
    setDirty(false);
}
