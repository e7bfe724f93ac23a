#include "offscreen_frame.h"
#include "toolkit/c_bitmap.h"
#include "toolkit/image_decoders.h"
#include "toolkit/resource_section.h"

#include <gtest/gtest.h>

namespace {

constexpr CColor kTrackRed {128, 0, 0, 255};
constexpr CColor kHandleGrey {239, 239, 239, 255};

DecodedImage rawBitmap(long id)
{
    DecodedImage image;
    ResourceBytes bytes = embeddedResources().find(ResourceType::bitmap, id);
    EXPECT_TRUE(bytes) << id;
    if (bytes) {
        EXPECT_TRUE(decodeDib(bytes.data, bytes.size, image)) << id;
    }
    return image;
}

bool opaqueThroughout(const DecodedImage& image)
{
    for (size_t i = 3; i < image.rgba.size(); i += 4)
        if (image.rgba[i] != 255)
            return false;
    return true;
}

TEST(EmbeddedImagesTest, TheTabButtonIsAPngOfTwoMirroredHalves)
{
    EXPECT_TRUE(embeddedResources().find(ResourceType::png, 100));
    EXPECT_FALSE(embeddedResources().find(ResourceType::bitmap, 100));
    auto* tabs = new CBitmap(100);
    ASSERT_EQ(tabs->getWidth(), 86);
    ASSERT_EQ(tabs->getHeight(), 64);
    EXPECT_TRUE(tabs->hasAlpha());
    for (int x : {0, 43, 85}) {
        // Upper half: light grey edge on top fading out within three rows,
        // transparent inside, black edge of alpha 97 then 237 at the bottom.
        EXPECT_EQ(tabs->getPixel(x, 0),
            (CColor {107 * 237 / 256, 107 * 237 / 256, 107 * 237 / 256, 237}));
        EXPECT_LT(tabs->getPixel(x, 1).alpha, 237);
        EXPECT_GT(tabs->getPixel(x, 1).alpha, tabs->getPixel(x, 2).alpha);
        EXPECT_EQ(tabs->getPixel(x, 3), (CColor {0, 0, 0, 0}));
        EXPECT_EQ(tabs->getPixel(x, 16), (CColor {0, 0, 0, 0}));
        EXPECT_EQ(tabs->getPixel(x, 30), (CColor {0, 0, 0, 97}));
        EXPECT_EQ(tabs->getPixel(x, 31), (CColor {0, 0, 0, 237}));
        // Lower half mirrored: dark edge on top, light edge at the bottom.
        for (int y = 0; y < 32; ++y)
            EXPECT_EQ(tabs->getPixel(x, 63 - y), tabs->getPixel(x, y)) << y;
    }
    tabs->forget();
}

TEST(EmbeddedImagesTest, TheBackgroundIsAnOpaque820By600DarkRedTexture)
{
    DecodedImage image = rawBitmap(20003);
    EXPECT_EQ(image.width, 820);
    EXPECT_EQ(image.height, 600);
    EXPECT_EQ(image.bitsPerPixel, 32);
    EXPECT_TRUE(opaqueThroughout(image));
    // Dark red everywhere: red leads, and nothing is bright.
    long redSum = 0, otherSum = 0;
    int minRed = 255, maxRed = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.pixel(x, y);
            EXPECT_GT(p[0], p[1]);
            redSum += p[0];
            otherSum += p[1] + p[2];
            minRed = std::min<int>(minRed, p[0]);
            maxRed = std::max<int>(maxRed, p[0]);
        }
    EXPECT_LT(redSum / (820 * 600), 180);
    EXPECT_GT(redSum, 2 * otherSum);
    EXPECT_GT(maxRed - minRed, 30); // cloudy, not flat
}

TEST(EmbeddedImagesTest, TheToolIconsAreFourWhiteDrawingsOnDarkRedWithARedPencilStroke)
{
    DecodedImage image = rawBitmap(20004);
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 16);
    EXPECT_EQ(image.bitsPerPixel, 32);
    EXPECT_TRUE(opaqueThroughout(image));
    for (int icon = 0; icon < 4; ++icon) {
        int white = 0, red = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = icon * 16; x < icon * 16 + 16; ++x) {
                const uint8_t* p = image.pixel(x, y);
                white += p[0] > 240 && p[1] > 240 && p[2] > 240;
                red += p[0] > 200 && p[1] < 90 && p[2] < 90;
            }
        EXPECT_GT(white, 10) << icon;
        if (icon == 2)
            EXPECT_GT(red, 4);
        else
            EXPECT_EQ(red, 0) << icon;
    }
    // The corners are background.
    const uint8_t* corner = image.pixel(15, 0);
    EXPECT_LT(corner[0], 160);
    EXPECT_LT(corner[1], 40);
}

TEST(EmbeddedImagesTest, TheSliderTrackHasABlackBorderAndGroove)
{
    DecodedImage image = rawBitmap(20002);
    EXPECT_EQ(image.width, 112);
    EXPECT_EQ(image.height, 15);
    EXPECT_EQ(image.bitsPerPixel, 24);
    auto* track = new CBitmap(20002);
    EXPECT_EQ(track->getPixel(0, 0), kBlackCColor);
    EXPECT_EQ(track->getPixel(111, 14), kBlackCColor);
    EXPECT_EQ(track->getPixel(50, 0), kBlackCColor);
    EXPECT_EQ(track->getPixel(0, 3), kBlackCColor);
    EXPECT_EQ(track->getPixel(50, 7), kBlackCColor);
    EXPECT_EQ(track->getPixel(50, 3), kTrackRed);
    EXPECT_EQ(track->getPixel(50, 11), kTrackRed);
    EXPECT_EQ(track->getPixel(1, 1), kTrackRed);
    track->forget();
}

TEST(EmbeddedImagesTest, TheSliderHandleIsARedSquareWithGreyBorderAndCross)
{
    DecodedImage image = rawBitmap(10400);
    EXPECT_EQ(image.width, 11);
    EXPECT_EQ(image.height, 11);
    EXPECT_EQ(image.bitsPerPixel, 24);
    auto* handle = new CBitmap(10400);
    EXPECT_EQ(handle->getPixel(0, 0), kHandleGrey);
    EXPECT_EQ(handle->getPixel(10, 10), kHandleGrey);
    EXPECT_EQ(handle->getPixel(0, 5), kHandleGrey);
    EXPECT_EQ(handle->getPixel(5, 2), kHandleGrey); // vertical bar, middle column
    EXPECT_EQ(handle->getPixel(5, 8), kHandleGrey);
    EXPECT_EQ(handle->getPixel(2, 5), kBlackCColor); // horizontal bar, middle row
    EXPECT_EQ(handle->getPixel(8, 5), kBlackCColor);
    EXPECT_EQ(handle->getPixel(2, 2), kTrackRed);
    EXPECT_EQ(handle->getPixel(8, 8), kTrackRed);
    // Drawn transparently, the handle loses nothing: it has no white.
    OffscreenFrame offscreen(11, 11);
    CDrawContext* context = offscreen.frame->createDrawContext();
    handle->drawTransparent(context, CRect(0, 0, 11, 11));
    context->forget();
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x)
            EXPECT_EQ(offscreen.at(x, y), handle->getPixel(x, y));
    handle->forget();
}

TEST(EmbeddedImagesTest, AFrameShowsTheTopOfTheBackgroundAndSavesAPicture)
{
    OffscreenFrame offscreen(820, 520);
    auto* background = new CBitmap(20003);
    offscreen.frame->setBackground(background);
    offscreen.paint();
    for (auto [x, y] : {std::pair {0, 0}, {819, 519}, {410, 260}, {17, 401}})
        EXPECT_EQ(offscreen.at(x, y), background->getPixel(x, y)) << x << "," << y;
    background->forget();
    // For a person to look at: build/tests/frame_background.png
    EXPECT_TRUE(offscreen.window->writePng("frame_background.png"));
}

} // namespace
