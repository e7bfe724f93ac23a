// One button of a tab view: an on/off control drawn from a tab bitmap whose
// upper half is the unselected look and lower half the selected one, with the
// tab's name on top. A left click turns it on and tells the tab view.
#pragma once

#include "toolkit/c_control.h"

#include <string>

class CTabButton : public CControl {
public:
    static constexpr int kNameFont = 0;
    static constexpr int kNameHeight = 12;
    static constexpr CColor kSelectedNameColor {0, 0, 0, 255};
    static constexpr CColor kUnselectedNameColor {90, 90, 90, 255};

    CTabButton(const CRect& size, CControlListener* listener, long tag, CBitmap* tabBitmap,
        const char* name);

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;

    const std::string& getName() const { return name; }
    bool isSelected() const { return value >= 0.5f; }

protected:
    ~CTabButton() override = default;

private:
    std::string name;
};
