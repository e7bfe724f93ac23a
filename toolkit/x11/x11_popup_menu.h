// Popup menus on X11: an override-redirect window below the control that
// grabs the pointer and keyboard until an entry is chosen or the menu is
// dismissed.
#pragma once

#include "toolkit/platform.h"

class X11PopupMenus : public PopupMenuRunner {
public:
    int run(PlatformWindow& owner, const CPoint& where, const std::vector<PopupMenuItem>& items,
        const std::function<void()>& idle) override;
};
