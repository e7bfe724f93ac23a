#include "toolkit/c_param_display.h"

#include "toolkit/c_bitmap.h"

#include <cstdio>

namespace {

// Stores value into field and marks view dirty when it changed.
template <typename T> void update(CView* view, T& field, const T& value)
{
    if (field == value)
        return;
    field = value;
    view->setDirty(true);
}

} // namespace

CParamDisplay::CParamDisplay(const CRect& size, CBitmap* background, int style)
    : CControl(size, nullptr, 0, background)
    , style(style)
{
}

void CParamDisplay::setFont(int id) { update(this, fontId, id); }
void CParamDisplay::setTxtFace(int face) { update(this, txtFace, face); }
void CParamDisplay::setFontColor(CColor color) { update(this, fontColor, color); }
void CParamDisplay::setBackColor(CColor color) { update(this, backColor, color); }
void CParamDisplay::setFrameColor(CColor color) { update(this, frameColor, color); }
void CParamDisplay::setShadowColor(CColor color) { update(this, shadowColor, color); }
void CParamDisplay::setHoriAlign(int align) { update(this, horiAlign, align); }
void CParamDisplay::setTextTransparency(bool transparent)
{
    update(this, textTransparent, transparent);
}
void CParamDisplay::setStyle(int newStyle) { update(this, style, newStyle); }

void CParamDisplay::draw(CDrawContext* context)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(value));
    drawText(context, text);
}

void CParamDisplay::drawText(CDrawContext* context, const char* text, CBitmap* background)
{
    setDirty(false);
    if (style & kNoDrawStyle)
        return;

    if (background) {
        if (bTransparencyEnabled)
            background->drawTransparent(context, size, backOffset);
        else
            background->draw(context, size, backOffset);
    } else if (!bTransparencyEnabled) {
        context->setFillColor(backColor);
        context->setFrameColor(frameColor);
        const bool outlined = !(style & (k3DIn | k3DOut | kNoFrame));
        context->drawRect(size, outlined ? kDrawFilledAndStroked : kDrawFilled);
    }

    if (style & (k3DIn | k3DOut)) {
        // Light edges left and top, dark edges right and bottom; k3DOut swaps them.
        CRect edge = size;
        edge.right -= 1;
        edge.bottom -= 1;
        edge.top += 1;
        const bool sunken = style & k3DIn;
        context->setLineWidth(1);
        context->setFrameColor(sunken ? backColor : frameColor);
        context->moveTo(CPoint(edge.left, edge.bottom));
        context->lineTo(CPoint(edge.left, edge.top));
        context->lineTo(CPoint(edge.right, edge.top));
        context->setFrameColor(sunken ? frameColor : backColor);
        context->moveTo(CPoint(edge.right, edge.top));
        context->lineTo(CPoint(edge.right, edge.bottom));
        context->lineTo(CPoint(edge.left, edge.bottom));
    }

    if ((style & kNoTextStyle) || !text)
        return;
    CRect savedClip;
    context->getClipRect(savedClip);
    CRect clip = size;
    clip.bound(savedClip);
    context->setClipRect(clip);
    context->setFont(fontId, 0, txtFace);
    context->setFillColor(backColor);
    const auto align = static_cast<CHoriTxtAlign>(horiAlign);
    if (style & kShadowText) {
        CRect shadow = size;
        shadow.offset(1, 1);
        context->setFontColor(shadowColor);
        context->drawString(text, shadow, !textTransparent, align);
    }
    context->setFontColor(fontColor);
    context->drawString(text, size, !textTransparent, align);
    context->setClipRect(savedClip);
}
