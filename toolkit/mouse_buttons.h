// The mouse and modifier state getMouseButtons reports, as a bit set. Bit 1 is
// always the primary button, whatever the user's button mapping.
#pragma once

enum CButton : long {
    kLButton = 1 << 0,
    kMButton = 1 << 1,
    kRButton = 1 << 2,
    kShift = 1 << 3,
    kControl = 1 << 4,
    kAlt = 1 << 5,
    kApple = 1 << 6, // a command key; never reported by getMouseButtons
};
