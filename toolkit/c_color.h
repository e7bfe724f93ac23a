// An 8-bit RGBA colour and the named colours. Lines, fills and text use the
// red, green and blue parts only; alpha matters for bitmaps.
#pragma once

#include <cstdint>

struct CColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;

    constexpr bool operator==(const CColor&) const = default;
    constexpr bool sameRgb(const CColor& other) const
    {
        return red == other.red && green == other.green && blue == other.blue;
    }
};

constexpr CColor kBlackCColor {0, 0, 0, 255};
constexpr CColor kWhiteCColor {255, 255, 255, 255};
constexpr CColor kGreyCColor {127, 127, 127, 255};
constexpr CColor kRedCColor {255, 0, 0, 255};
constexpr CColor kGreenCColor {0, 255, 0, 255};
constexpr CColor kBlueCColor {0, 0, 255, 255};
constexpr CColor kYellowCColor {255, 255, 0, 255};
constexpr CColor kMagentaCColor {255, 0, 255, 255};
constexpr CColor kCyanCColor {0, 255, 255, 255};
constexpr CColor kTransparentCColor {255, 255, 255, 0};
