#include "toolkit/image_decoders.h"

#include <cstring>
#include <png.h>

namespace {

struct PngSource {
    const uint8_t* data;
    size_t size;
    size_t position;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->position)
        png_error(png, "truncated image");
    std::memcpy(out, source->data + source->position, length);
    source->position += length;
}

void ignoreWarning(png_structp, png_const_charp) { }

uint32_t readLe32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t readLe16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// Premultiplies one decoded RGBA pixel as the blending expects.
void premultiply(uint8_t* pixel)
{
    unsigned alpha = pixel[3];
    if (alpha == 0) {
        pixel[0] = pixel[1] = pixel[2] = 0;
        return;
    }
    for (int c = 0; c < 3; ++c)
        pixel[c] = uint8_t(pixel[c] * alpha / 256);
}

} // namespace

bool decodePng(const uint8_t* data, size_t size, DecodedImage& image)
{
    image = DecodedImage {};
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0)
        return false;
    png_structp png
        = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, ignoreWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    PngSource source {data, size, 0};
    // Everything libpng allocates must outlive the jump target, so the row
    // pointers live in the image that the caller owns.
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        image = DecodedImage {};
        return false;
    }
    png_set_read_fn(png, &source, readFromMemory);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    int colourType = png_get_color_type(png, info);
    int bitDepth = png_get_bit_depth(png, info);
    constexpr png_uint_32 kMaxSide = 16384;
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        png_error(png, "unsupported size");

    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    if (bitDepth == 16)
        png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != width * 4)
        png_error(png, "unexpected row layout");

    image.width = int(width);
    image.height = int(height);
    image.bitsPerPixel = 32;
    image.premultiplied = true;
    image.rgba.assign(size_t(width) * height * 4, 0);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = image.rgba.data() + size_t(y) * width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);

    for (size_t i = 0; i < image.rgba.size(); i += 4)
        premultiply(&image.rgba[i]);
    return true;
}

bool decodeDib(const uint8_t* data, size_t size, DecodedImage& image)
{
    image = DecodedImage {};
    constexpr size_t kInfoHeaderSize = 40;
    constexpr uint32_t kUncompressed = 0;
    constexpr uint32_t kBitFields = 3; // 32-bit pixels with channel masks
    constexpr int32_t kMaxSide = 16384;
    if (!data || size < kInfoHeaderSize)
        return false;
    uint32_t headerSize = readLe32(data);
    if (headerSize < kInfoHeaderSize || headerSize > size)
        return false;
    int32_t width = int32_t(readLe32(data + 4));
    int32_t height = int32_t(readLe32(data + 8));
    uint16_t planes = readLe16(data + 12);
    uint16_t bits = readLe16(data + 14);
    uint32_t compression = readLe32(data + 16);
    bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (planes != 1 || (bits != 24 && bits != 32) || width <= 0 || height <= 0 || width > kMaxSide
        || height > kMaxSide)
        return false;
    size_t pixelOffset = headerSize;
    if (compression == kBitFields && bits == 32 && headerSize == kInfoHeaderSize)
        pixelOffset += 12; // the three masks follow the header; ours are the standard ones
    else if (compression != kUncompressed)
        return false;
    size_t stride = (size_t(width) * bits / 8 + 3) & ~size_t(3);
    if (pixelOffset > size || stride * size_t(height) > size - pixelOffset)
        return false;

    image.width = width;
    image.height = height;
    image.bitsPerPixel = bits;
    image.rgba.resize(size_t(width) * height * 4);
    int bytes = bits / 8;
    for (int32_t y = 0; y < height; ++y) {
        int32_t sourceRow = topDown ? y : height - 1 - y;
        const uint8_t* in = data + pixelOffset + size_t(sourceRow) * stride;
        uint8_t* out = image.rgba.data() + size_t(y) * width * 4;
        for (int32_t x = 0; x < width; ++x, in += bytes, out += 4) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = bits == 32 ? in[3] : 255;
        }
    }
    return true;
}
