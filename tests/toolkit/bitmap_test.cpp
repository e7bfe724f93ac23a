#include "offscreen_frame.h"
#include "toolkit/c_bitmap.h"
#include "toolkit/image_decoders.h"
#include "toolkit/resource_section.h"

#include <gtest/gtest.h>
#include <map>
#include <png.h>
#include <utility>

namespace {

using Bytes = std::vector<uint8_t>;

// A PNG in memory, written by libpng from rows of raw samples.
struct PngSpec {
    int width = 1;
    int height = 1;
    int bitDepth = 8;
    int colourType = PNG_COLOR_TYPE_RGBA;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha; // tRNS of a palette image
    bool greyKey = false; // tRNS of a grey image
    png_uint_16 greyKeyValue = 0;
    std::vector<Bytes> rows;
};

void appendToVector(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

Bytes makePng(const PngSpec& spec)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendToVector, nullptr);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colourType,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty())
        png_set_PLTE(png, info, spec.palette.data(), int(spec.palette.size()));
    if (!spec.paletteAlpha.empty())
        png_set_tRNS(png, info, spec.paletteAlpha.data(), int(spec.paletteAlpha.size()), nullptr);
    if (spec.greyKey) {
        png_color_16 key {};
        key.gray = spec.greyKeyValue;
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    for (const Bytes& row : spec.rows)
        png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// What decoding keeps of one straight-alpha channel value.
uint8_t premultiplied(int channel, int alpha)
{
    return alpha == 0 ? 0 : uint8_t(channel * alpha / 256);
}

void expectPixel(const DecodedImage& image, int x, int y, int r, int g, int b, int a)
{
    const uint8_t* p = image.pixel(x, y);
    EXPECT_EQ(p[0], r) << x << "," << y;
    EXPECT_EQ(p[1], g) << x << "," << y;
    EXPECT_EQ(p[2], b) << x << "," << y;
    EXPECT_EQ(p[3], a) << x << "," << y;
}

TEST(PngDecodingTest, PaletteImagesExpandWithTheirTransparencyChunk)
{
    PngSpec spec;
    spec.width = 3;
    spec.colourType = PNG_COLOR_TYPE_PALETTE;
    spec.palette = {{10, 20, 30}, {200, 100, 50}, {255, 255, 255}};
    spec.paletteAlpha = {255, 128}; // the third entry has none: opaque
    spec.rows = {{0, 1, 2}};
    Bytes png = makePng(spec);
    DecodedImage image;
    ASSERT_TRUE(decodePng(png.data(), png.size(), image));
    EXPECT_EQ(image.width, 3);
    EXPECT_TRUE(image.premultiplied);
    expectPixel(
        image, 0, 0, premultiplied(10, 255), premultiplied(20, 255), premultiplied(30, 255), 255);
    expectPixel(image, 1, 0, 100, 50, 25, 128); // 200 * 128 / 256 and so on
    expectPixel(image, 2, 0, 254, 254, 254, 255); // 255 * 255 / 256 truncates to 254
}

TEST(PngDecodingTest, GreyImagesOfEveryDepthBecomeOpaqueRgb)
{
    PngSpec grey;
    grey.colourType = PNG_COLOR_TYPE_GRAY;
    grey.rows = {{77}};
    Bytes png = makePng(grey);
    DecodedImage image;
    ASSERT_TRUE(decodePng(png.data(), png.size(), image));
    expectPixel(image, 0, 0, 76, 76, 76, 255);

    PngSpec bits; // 1-bit grey: 0 and 1 become 0 and 255
    bits.width = 8;
    bits.bitDepth = 1;
    bits.colourType = PNG_COLOR_TYPE_GRAY;
    bits.rows = {{0b10000000}};
    png = makePng(bits);
    ASSERT_TRUE(decodePng(png.data(), png.size(), image));
    expectPixel(image, 0, 0, 254, 254, 254, 255);
    expectPixel(image, 1, 0, 0, 0, 0, 255);
}

TEST(PngDecodingTest, GreyWithAlphaAndGreyWithAKeyColour)
{
    PngSpec greyAlpha;
    greyAlpha.width = 2;
    greyAlpha.colourType = PNG_COLOR_TYPE_GRAY_ALPHA;
    greyAlpha.rows = {{100, 200, 90, 0}};
    Bytes png = makePng(greyAlpha);
    DecodedImage image;
    ASSERT_TRUE(decodePng(png.data(), png.size(), image));
    expectPixel(image, 0, 0, 78, 78, 78, 200);
    expectPixel(image, 1, 0, 0, 0, 0, 0); // alpha 0: all zero, whatever the grey

    PngSpec keyed;
    keyed.width = 2;
    keyed.colourType = PNG_COLOR_TYPE_GRAY;
    keyed.greyKey = true;
    keyed.greyKeyValue = 5;
    keyed.rows = {{5, 9}};
    png = makePng(keyed);
    ASSERT_TRUE(decodePng(png.data(), png.size(), image));
    expectPixel(image, 0, 0, 0, 0, 0, 0);
    expectPixel(image, 1, 0, 8, 8, 8, 255);
}

TEST(PngDecodingTest, SixteenBitSamplesAreReducedToEight)
{
    PngSpec deep;
    deep.bitDepth = 16;
    deep.colourType = PNG_COLOR_TYPE_RGBA;
    deep.rows = {{0xAB, 0xCD, 0x12, 0x34, 0xFF, 0x00, 0x80, 0x00}}; // big-endian samples
    Bytes png = makePng(deep);
    DecodedImage image;
    ASSERT_TRUE(decodePng(png.data(), png.size(), image));
    expectPixel(image, 0, 0, premultiplied(0xAB, 0x80), premultiplied(0x12, 0x80),
        premultiplied(0xFF, 0x80), 0x80);

    PngSpec rgb16;
    rgb16.bitDepth = 16;
    rgb16.colourType = PNG_COLOR_TYPE_RGB;
    rgb16.rows = {{0x40, 0x00, 0x80, 0xFF, 0xFF, 0xFF}};
    png = makePng(rgb16);
    ASSERT_TRUE(decodePng(png.data(), png.size(), image));
    expectPixel(image, 0, 0, premultiplied(0x40, 255), premultiplied(0x80, 255), 254, 255);
}

TEST(PngDecodingTest, DamagedAndForeignDataIsRefused)
{
    PngSpec spec;
    spec.rows = {{1, 2, 3, 4}};
    Bytes png = makePng(spec);
    DecodedImage image;
    EXPECT_FALSE(decodePng(png.data(), png.size() / 2, image)); // cut short
    EXPECT_TRUE(image.empty());
    Bytes damaged = png;
    damaged[png.size() / 2] ^= 0x5A; // inside the image data: the checksum fails
    EXPECT_FALSE(decodePng(damaged.data(), damaged.size(), image));
    Bytes notPng = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(decodePng(notPng.data(), notPng.size(), image));
    EXPECT_FALSE(decodePng(nullptr, 0, image));
}

// A plain bitmap resource: header and rows, bottom-up unless topDown.
Bytes makeDib(int width, int height, int bits, bool topDown, uint8_t fill = 0)
{
    Bytes out(40, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = uint8_t(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, uint32_t(width));
    put32(8, uint32_t(topDown ? -height : height));
    out[12] = 1;
    out[14] = uint8_t(bits);
    size_t stride = (size_t(width) * bits / 8 + 3) & ~size_t(3);
    out.resize(40 + stride * height, fill);
    return out;
}

TEST(DibDecodingTest, RowsAreReadBottomUpWithTheirPaddingAndBlueFirst)
{
    Bytes dib = makeDib(3, 2, 24, false); // 9 bytes a row, padded to 12
    // The last stored row is the top one.
    dib[40 + 12 + 0] = 1; // top-left blue
    dib[40 + 12 + 1] = 2; // green
    dib[40 + 12 + 2] = 3; // red
    dib[40 + 8] = 99; // bottom-right red
    DecodedImage image;
    ASSERT_TRUE(decodeDib(dib.data(), dib.size(), image));
    EXPECT_EQ(image.bitsPerPixel, 24);
    expectPixel(image, 0, 0, 3, 2, 1, 255);
    expectPixel(image, 2, 1, 99, 0, 0, 255);

    Bytes top = makeDib(1, 2, 32, true);
    top[40 + 0] = 10; // first stored row is the top one
    top[40 + 3] = 77; // alpha is kept as stored
    top[40 + 4 + 3] = 255;
    ASSERT_TRUE(decodeDib(top.data(), top.size(), image));
    expectPixel(image, 0, 0, 0, 0, 10, 77);
    expectPixel(image, 0, 1, 0, 0, 0, 255);
}

TEST(DibDecodingTest, OtherFormatsAndShortDataAreRefused)
{
    DecodedImage image;
    Bytes dib = makeDib(4, 4, 24, false);
    EXPECT_FALSE(decodeDib(dib.data(), dib.size() - 1, image));
    Bytes eight = makeDib(4, 4, 8, false);
    EXPECT_FALSE(decodeDib(eight.data(), eight.size(), image));
    Bytes compressed = makeDib(4, 4, 24, false);
    compressed[16] = 1; // run-length encoded
    EXPECT_FALSE(decodeDib(compressed.data(), compressed.size(), image));
    Bytes huge = makeDib(1, 1, 24, false);
    huge[4] = huge[5] = huge[6] = 0x7F; // a width that the data cannot hold
    EXPECT_FALSE(decodeDib(huge.data(), huge.size(), image));
    EXPECT_FALSE(decodeDib(dib.data(), 20, image));
}

// Resources put in place by a test.
class TestResources : public ResourceSection {
public:
    ~TestResources() override { setResourceSection(nullptr); }
    ResourceBytes find(ResourceType type, long id) const override
    {
        auto it = entries.find({type, id});
        return it == entries.end() ? ResourceBytes {}
                                   : ResourceBytes {it->second.data(), it->second.size()};
    }
    std::map<std::pair<ResourceType, long>, Bytes> entries;
};

TEST(BitmapTest, APngResourceWinsOverAPlainBitmapAndADamagedOneFallsBack)
{
    TestResources resources;
    PngSpec spec;
    spec.width = 2;
    spec.rows = {{255, 0, 0, 255, 0, 0, 255, 64}};
    resources.entries[{ResourceType::png, 7}] = makePng(spec);
    resources.entries[{ResourceType::bitmap, 7}] = makeDib(5, 5, 24, false);
    Bytes damaged = makePng(spec);
    damaged.resize(damaged.size() - 20);
    resources.entries[{ResourceType::png, 8}] = damaged;
    resources.entries[{ResourceType::bitmap, 8}] = makeDib(3, 4, 32, false, 255);
    setResourceSection(&resources);

    auto* png = new CBitmap(7);
    EXPECT_EQ(png->getWidth(), 2);
    EXPECT_TRUE(png->hasAlpha());
    EXPECT_EQ(png->getPixel(1, 0), (CColor {0, 0, 63, 64}));
    auto* fallback = new CBitmap(8);
    EXPECT_EQ(fallback->getWidth(), 3);
    EXPECT_EQ(fallback->getHeight(), 4);
    EXPECT_FALSE(fallback->hasAlpha());
    png->forget();
    fallback->forget();
}

TEST(BitmapTest, BitmapsOfOneIdShareOneDecodedImage)
{
    TestResources resources;
    resources.entries[{ResourceType::bitmap, 9}] = makeDib(5, 5, 24, false);
    resources.entries[{ResourceType::bitmap, 10}] = makeDib(5, 5, 24, false);
    setResourceSection(&resources);

    auto* first = new CBitmap(9);
    auto* second = new CBitmap(9);
    auto* other = new CBitmap(10);
    ASSERT_TRUE(first->isLoaded());
    EXPECT_EQ(first->getSurface(), second->getSurface());
    EXPECT_NE(first->getSurface(), other->getSurface());
    // Decoded once: a later bitmap of the id, even after every holder is
    // gone, draws the image decoded first and stays valid on its own.
    first->forget();
    second->forget();
    resources.entries[{ResourceType::bitmap, 9}] = makeDib(3, 4, 24, false);
    auto* later = new CBitmap(9);
    EXPECT_EQ(later->getWidth(), 5);
    EXPECT_EQ(later->getHeight(), 5);
    EXPECT_EQ(later->getPixel(4, 4), kBlackCColor);
    EXPECT_EQ(later->getPixel(5, 5), kBlackCColor);
    later->forget();
    other->forget();
}

TEST(BitmapTest, AMissingIdGivesAnEmptyBitmapThatDrawsNothing)
{
    auto* missing = new CBitmap(4242);
    EXPECT_EQ(missing->getWidth(), 0);
    EXPECT_EQ(missing->getHeight(), 0);
    EXPECT_FALSE(missing->isLoaded());
    OffscreenFrame offscreen(8, 8);
    CDrawContext* context = offscreen.frame->createDrawContext();
    missing->draw(context, CRect(0, 0, 8, 8));
    missing->drawTransparent(context, CRect(0, 0, 8, 8));
    missing->drawAlphaBlend(context, CRect(0, 0, 8, 8));
    context->forget();
    EXPECT_TRUE(inkBounds(*offscreen.window, kBlackCColor).isEmpty());
    missing->forget();
}

// A plain 4 x 2 bitmap: top row red, white, green, white; bottom row blue.
CBitmap* makePlain()
{
    DecodedImage image;
    image.width = 4;
    image.height = 2;
    image.bitsPerPixel = 24;
    const CColor top[4] = {kRedCColor, kWhiteCColor, kGreenCColor, kWhiteCColor};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            CColor c = y == 0 ? top[x] : kBlueCColor;
            image.rgba.insert(image.rgba.end(), {c.red, c.green, c.blue, 255});
        }
    return new CBitmap(image);
}

TEST(BitmapTest, DrawCopiesTheRegionFromTheOffsetAndNothingBeyondTheBitmap)
{
    OffscreenFrame offscreen(16, 8);
    CBitmap* bitmap = makePlain();
    CDrawContext* context = offscreen.frame->createDrawContext();
    context->setOffset(CPoint(1, 1)); // as inside a container at (1, 1)
    bitmap->draw(context, CRect(2, 2, 10, 6), CPoint(2, 0));
    context->forget();
    EXPECT_EQ(offscreen.at(3, 3), kGreenCColor); // source (2, 0)
    EXPECT_EQ(offscreen.at(4, 3), kWhiteCColor); // source (3, 0)
    EXPECT_EQ(offscreen.at(3, 4), kBlueCColor); // source (2, 1)
    EXPECT_EQ(offscreen.at(5, 3), kBlackCColor); // past the bitmap's right edge
    EXPECT_EQ(offscreen.at(3, 5), kBlackCColor); // past its bottom
    bitmap->forget();
}

TEST(BitmapTest, TransparentDrawingSkipsTheTransparentColour)
{
    OffscreenFrame offscreen(8, 4);
    CBitmap* bitmap = makePlain();
    CDrawContext* context = offscreen.frame->createDrawContext();
    context->setFillColor(kYellowCColor);
    context->fillRect(CRect(0, 0, 8, 4));
    bitmap->drawTransparent(context, CRect(0, 0, 4, 2)); // default: white, any alpha
    EXPECT_EQ(offscreen.at(0, 0), kRedCColor);
    EXPECT_EQ(offscreen.at(1, 0), kYellowCColor);
    EXPECT_EQ(offscreen.at(3, 0), kYellowCColor);
    bitmap->setTransparentColor(kBlueCColor);
    bitmap->drawTransparent(context, CRect(4, 0, 8, 2));
    EXPECT_EQ(offscreen.at(5, 0), kWhiteCColor);
    EXPECT_EQ(offscreen.at(4, 1), kYellowCColor);
    context->forget();
    bitmap->forget();
}

TEST(BitmapTest, APremultipliedPngIsAlphaBlendedByEveryDrawingCall)
{
    PngSpec spec;
    spec.width = 2;
    spec.rows = {{255, 0, 0, 128, 0, 255, 0, 0}};
    Bytes png = makePng(spec);
    DecodedImage image;
    ASSERT_TRUE(decodePng(png.data(), png.size(), image));
    auto* bitmap = new CBitmap(image);
    OffscreenFrame offscreen(4, 2);
    CDrawContext* context = offscreen.frame->createDrawContext();
    context->setFillColor(kBlueCColor);
    context->fillRect(CRect(0, 0, 4, 2));
    bitmap->draw(context, CRect(0, 0, 2, 1));
    bitmap->drawTransparent(context, CRect(2, 0, 4, 1));
    context->forget();
    // Over: stored (premultiplied) colour plus the destination times 1 - alpha.
    int red = 255 * 128 / 256;
    int blue = 255 * (255 - 128) / 255;
    for (int x : {0, 2}) {
        CColor c = offscreen.at(x, 0);
        EXPECT_NEAR(c.red, red, 1) << x;
        EXPECT_EQ(c.green, 0) << x;
        EXPECT_NEAR(c.blue, blue, 1) << x;
    }
    EXPECT_EQ(offscreen.at(1, 0), kBlueCColor); // alpha 0 leaves the destination
    EXPECT_EQ(offscreen.at(3, 0), kBlueCColor);
    bitmap->forget();
}

TEST(BitmapTest, AlphaBlendDrawingScalesThePlainBitmap)
{
    OffscreenFrame offscreen(4, 2);
    CBitmap* bitmap = makePlain();
    CDrawContext* context = offscreen.frame->createDrawContext();
    bitmap->drawAlphaBlend(context, CRect(0, 0, 1, 1), CPoint(0, 0), 51); // a fifth
    context->forget();
    EXPECT_NEAR(offscreen.at(0, 0).red, 51, 1);
    bitmap->forget();
}

} // namespace
