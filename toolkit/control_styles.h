// Style bits shared by the toolkit's controls: the text displays and menus
// read the drawing bits, the slider its orientation and direction bits.
#pragma once

enum CControlStyle : int {
    kHorizontal = 1 << 0,
    kVertical = 1 << 1,
    kShadowText = 1 << 2,
    kLeft = 1 << 3, // slider: value 0 at the left
    kRight = 1 << 4,
    kTop = 1 << 5,
    kBottom = 1 << 6,
    k3DIn = 1 << 7,
    k3DOut = 1 << 8,
    kPopupStyle = 1 << 9, // menu: the popup opens over the control, not below it
    kCheckStyle = 1 << 10, // menu: the current entry carries a check mark
    kNoTextStyle = 1 << 11,
    kNoDrawStyle = 1 << 12,
    kNoFrame = 1 << 14,
};
