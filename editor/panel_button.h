// A push button with a text label that tells left and right clicks apart: on
// mouse-down its value becomes 1 for a plain left click, 2 for a plain right
// click and 0 for any other click, and the listener hears of it at once.
#pragma once

#include "toolkit/c_kick_button.h"

constexpr int kPanelButtonLabelLength = 100;

class PanelButton : public CKickButton {
public:
    PanelButton(const CRect& size, CControlListener* listener, long tag, int imageHeight,
        CBitmap* bitmap, const CPoint& offset);

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;

    char label[kPanelButtonLabelLength] {};
    bool outline = false; // a 1-pixel black outline along the edge
    bool selected = false; // a second outline 2 pixels inside

protected:
    ~PanelButton() override;
};
