#include "control_fixture.h"
#include "toolkit/c_kick_button.h"

#include <gtest/gtest.h>

namespace {

// A 10 x 40 bitmap: rows 0..19 the released look (with a white hole that
// transparent drawing skips), rows 20..39 the pressed look.
constexpr CColor kReleased {20, 40, 60, 255};
constexpr CColor kPressed {200, 100, 0, 255};
constexpr CColor kBehind {0, 0, 255, 255};
constexpr CRect kSize {30, 30, 40, 50};

CBitmap* buttonBitmap()
{
    DecodedImage image;
    image.width = 10;
    image.height = 40;
    image.bitsPerPixel = 24;
    image.rgba.resize(10 * 40 * 4);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 10; ++x) {
            CColor c = y < 20 ? kReleased : kPressed;
            if (x == 5 && (y == 5 || y == 25))
                c = kWhiteCColor;
            uint8_t* p = &image.rgba[size_t(y * 10 + x) * 4];
            p[0] = c.red;
            p[1] = c.green;
            p[2] = c.blue;
            p[3] = 255;
        }
    return new CBitmap(image);
}

struct KickFixture : ControlFixture {
    RecordingListener listener;
    EditCounting<CKickButton>* button;
    explicit KickFixture(int imageHeight = 20)
    {
        frame->setBackgroundColor(kBehind);
        CBitmap* bitmap = buttonBitmap();
        button
            = new EditCounting<CKickButton>(kSize, &listener, 5, imageHeight, bitmap, CPoint(0, 0));
        bitmap->forget();
        frame->addView(button);
        redraw();
    }
    CColor shown() const { return at(kSize.left + 1, kSize.top + 1); }
    CPoint inside() const { return CPoint(kSize.left + 3, kSize.top + 3); }
};

TEST(KickButtonTest, ValueMovesTheRegionDownByOneImage)
{
    KickFixture f;
    EXPECT_EQ(f.shown(), kReleased);
    f.button->setValue(1.0f);
    f.redraw();
    EXPECT_EQ(f.shown(), kPressed);
    f.button->setValue(2.0f); // drawn as pressed, kept as 2
    f.redraw();
    EXPECT_EQ(f.shown(), kPressed);
    EXPECT_EQ(f.button->getValue(), 2.0f);
    f.button->setValue(0.0f);
    f.redraw();
    EXPECT_EQ(f.shown(), kReleased);
}

TEST(KickButtonTest, ZeroImageHeightAlwaysShowsTheSameRegion)
{
    KickFixture f(0);
    f.button->setValue(1.0f);
    f.redraw();
    EXPECT_EQ(f.shown(), kReleased);
}

TEST(KickButtonTest, TransparentDrawingSkipsTheTransparentColour)
{
    KickFixture f;
    EXPECT_EQ(f.at(kSize.left + 5, kSize.top + 5), kWhiteCColor);
    f.button->setTransparency(true);
    f.redraw();
    EXPECT_EQ(f.at(kSize.left + 5, kSize.top + 5), kBehind);
    EXPECT_EQ(f.at(kSize.left + 4, kSize.top + 5), kReleased);
}

TEST(KickButtonTest, PressedWhileHeldInsideAndReleasedAfter)
{
    KickFixture f;
    f.press(f.inside(), kLButton,
        {{f.inside(), kLButton}, {CPoint(100, 100), kLButton}, // dragged out: released look
            {f.inside(), kLButton}, // back in
            {f.inside(), 0}});
    const std::vector<float> expected {1.0f, 0.0f, 1.0f, 0.0f};
    EXPECT_EQ(f.listener.values(), expected);
    EXPECT_EQ(f.button->getValue(), 0.0f);
    EXPECT_EQ(f.button->begins, 1);
    EXPECT_EQ(f.button->ends, 1);
}

TEST(KickButtonTest, ModifierClickCanBeTakenOverAndOtherButtonsDoNothing)
{
    KickFixture f;
    f.listener.modifierAnswer = 1;
    f.press(f.inside(), kLButton | kControl);
    f.press(f.inside(), kRButton);
    EXPECT_EQ(f.listener.modifierClicks.size(), 1u);
    EXPECT_TRUE(f.listener.changes.empty());
    EXPECT_EQ(f.button->begins, 0);
}

} // namespace
