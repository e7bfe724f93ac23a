// Pixels of a decoded image resource: 8-bit RGBA, rows top to bottom.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct DecodedImage {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0; // of the source: 24 or 32 for plain bitmaps, 32 for PNGs
    bool premultiplied = false; // colour channels already scaled by alpha (PNGs)
    std::vector<uint8_t> rgba; // width * height * 4

    bool empty() const { return width <= 0 || height <= 0; }
    const uint8_t* pixel(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};
