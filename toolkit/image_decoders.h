// Decoders for the two kinds of image resource.
#pragma once

#include "toolkit/decoded_image.h"

#include <cstddef>
#include <cstdint>

// A PNG file: palette, grey and 16-bit images are expanded, a missing alpha
// is 255, transparency chunks become alpha, and each colour channel is
// premultiplied by alpha (channel * alpha / 256, truncated; alpha 0 is all
// zero). False for anything libpng cannot read.
bool decodePng(const uint8_t* data, size_t size, DecodedImage& image);

// A plain bitmap resource: a device-independent bitmap header followed by
// uncompressed 24- or 32-bit pixels (bottom-up unless the height is
// negative, rows padded to 4 bytes, blue first). 24-bit pixels get alpha 255.
// False for other formats and for truncated data.
bool decodeDib(const uint8_t* data, size_t size, DecodedImage& image);
