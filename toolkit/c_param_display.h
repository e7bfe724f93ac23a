// A control that shows a text: its value as a number, or whatever text a
// subclass gives drawText. Background, frame, 3D edges, shadow and text follow
// the style bits of control_styles.h.
#pragma once

#include "toolkit/c_control.h"
#include "toolkit/c_draw_context.h"
#include "toolkit/control_styles.h"

class CParamDisplay : public CControl {
public:
    explicit CParamDisplay(const CRect& size, CBitmap* background = nullptr, int style = 0);

    // Each setter marks the display dirty when the value changes.
    void setFont(int fontId);
    int getFont() const { return fontId; }
    void setTxtFace(int face);
    int getTxtFace() const { return txtFace; }
    void setFontColor(CColor color);
    CColor getFontColor() const { return fontColor; }
    void setBackColor(CColor color);
    CColor getBackColor() const { return backColor; }
    void setFrameColor(CColor color);
    CColor getFrameColor() const { return frameColor; }
    void setShadowColor(CColor color);
    CColor getShadowColor() const { return shadowColor; }
    void setHoriAlign(int align);
    int getHoriAlign() const { return horiAlign; }
    // On (the default): the text is drawn without a background box.
    void setTextTransparency(bool transparent);
    bool getTextTransparency() const { return textTransparent; }
    void setStyle(int style);
    int getStyle() const { return style; }

    // Draws the value with two decimals.
    void draw(CDrawContext* context) override;

protected:
    ~CParamDisplay() override = default;

    // Background, frame and text for text, as the style says; clears the
    // dirty flag first.
    void drawText(CDrawContext* context, const char* text, CBitmap* background);
    void drawText(CDrawContext* context, const char* text) { drawText(context, text, pBackground); }

    int fontId = kNormalFont;
    int txtFace = kNormalFace;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    CColor shadowColor = kRedCColor;
    int horiAlign = kCenterText;
    bool textTransparent = true;
    int style;
};
