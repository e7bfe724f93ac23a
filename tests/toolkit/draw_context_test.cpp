#include "offscreen_frame.h"

#include <cairo.h>
#include <gtest/gtest.h>

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// A context on a fresh frame's back buffer, cleared to black.
struct Canvas : OffscreenFrame {
    CDrawContext* context;
    Canvas()
        : OffscreenFrame(kWidth, kHeight)
        , context(frame->createDrawContext())
    {
        context->setFillColor(kBlackCColor);
        context->fillRect(CRect(0, 0, kWidth, kHeight));
    }
    ~Canvas() { context->forget(); }
    int count(CColor color) const
    {
        int n = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                n += at(x, y) == color;
        return n;
    }
};

TEST(DrawContextTest, HorizontalAndVerticalLinesLeaveOutTheirEndPixel)
{
    Canvas canvas;
    canvas.context->setFrameColor(kRedCColor);
    canvas.context->moveTo(CPoint(2, 3));
    canvas.context->lineTo(CPoint(10, 3));
    canvas.context->lineTo(CPoint(10, 9));
    EXPECT_EQ(canvas.at(2, 3), kRedCColor);
    EXPECT_EQ(canvas.at(9, 3), kRedCColor);
    EXPECT_EQ(canvas.at(10, 3), kRedCColor); // the second line starts there
    EXPECT_EQ(canvas.at(10, 8), kRedCColor);
    EXPECT_EQ(canvas.at(10, 9), kBlackCColor);
    EXPECT_EQ(canvas.at(1, 3), kBlackCColor);
    EXPECT_EQ(canvas.count(kRedCColor), 8 + 6);
    CPoint pen;
    canvas.context->getLoc(pen);
    EXPECT_EQ(pen, CPoint(10, 9));
}

TEST(DrawContextTest, LinesRunInEveryDirectionAndAZeroLengthLineDrawsNothing)
{
    Canvas canvas;
    canvas.context->setFrameColor(kGreenCColor);
    canvas.context->drawLine(CPoint(20, 20), CPoint(20, 20));
    EXPECT_EQ(canvas.count(kGreenCColor), 0);
    // Right to left and bottom to top exclude their end as well.
    canvas.context->drawLine(CPoint(30, 5), CPoint(25, 5));
    EXPECT_EQ(canvas.at(30, 5), kGreenCColor);
    EXPECT_EQ(canvas.at(26, 5), kGreenCColor);
    EXPECT_EQ(canvas.at(25, 5), kBlackCColor);
    // A diagonal of 45 degrees: one pixel per row, the end left out.
    canvas.context->drawLine(CPoint(0, 10), CPoint(6, 16));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(canvas.at(i, 10 + i), kGreenCColor) << i;
    EXPECT_EQ(canvas.at(6, 16), kBlackCColor);
    EXPECT_EQ(canvas.count(kGreenCColor), 5 + 6);
}

TEST(DrawContextTest, DottedLinesSkipEveryOtherPixelAndWideLinesCoverTheirWidth)
{
    Canvas canvas;
    canvas.context->setFrameColor(kYellowCColor);
    canvas.context->setLineStyle(kLineOnOffDash);
    canvas.context->drawLine(CPoint(0, 1), CPoint(10, 1));
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(canvas.at(x, 1), x % 2 == 0 ? kYellowCColor : kBlackCColor) << x;
    canvas.context->setLineStyle(kLineSolid);
    canvas.context->setLineWidth(3);
    canvas.context->drawLine(CPoint(20, 20), CPoint(30, 20));
    EXPECT_EQ(canvas.at(20, 19), kYellowCColor);
    EXPECT_EQ(canvas.at(20, 21), kYellowCColor);
    EXPECT_EQ(canvas.at(20, 22), kBlackCColor);
    canvas.context->setLineWidth(0); // never thinner than one pixel
    EXPECT_EQ(canvas.context->getLineWidth(), 1);
}

TEST(DrawContextTest, RectangleOutlinePassesThroughTheLastPixelInsideTheRect)
{
    Canvas canvas;
    canvas.context->setFrameColor(kWhiteCColor);
    canvas.context->drawRect(CRect(5, 6, 15, 12));
    EXPECT_EQ(canvas.at(5, 6), kWhiteCColor);
    EXPECT_EQ(canvas.at(14, 6), kWhiteCColor);
    EXPECT_EQ(canvas.at(14, 11), kWhiteCColor);
    EXPECT_EQ(canvas.at(5, 11), kWhiteCColor);
    EXPECT_EQ(canvas.at(15, 6), kBlackCColor);
    EXPECT_EQ(canvas.at(5, 12), kBlackCColor);
    EXPECT_EQ(canvas.at(8, 8), kBlackCColor); // not filled
    EXPECT_EQ(canvas.count(kWhiteCColor), 2 * 10 + 2 * 4);
}

TEST(DrawContextTest, FilledRectanglesCoverExactlyTheRect)
{
    Canvas canvas;
    canvas.context->setFillColor(kBlueCColor);
    canvas.context->drawRect(CRect(2, 2, 6, 5), kDrawFilled);
    EXPECT_EQ(canvas.count(kBlueCColor), 4 * 3);
    EXPECT_EQ(canvas.at(5, 4), kBlueCColor);
    EXPECT_EQ(canvas.at(6, 4), kBlackCColor);

    canvas.context->setFillColor(kCyanCColor);
    canvas.context->setFrameColor(kMagentaCColor);
    canvas.context->drawRect(CRect(20, 20, 26, 26), kDrawFilledAndStroked);
    EXPECT_EQ(canvas.at(20, 20), kMagentaCColor);
    EXPECT_EQ(canvas.at(25, 25), kMagentaCColor);
    EXPECT_EQ(canvas.at(22, 22), kCyanCColor);
    EXPECT_EQ(canvas.count(kCyanCColor), 4 * 4);
}

TEST(DrawContextTest, PointsSetOnePixelAndReadBack)
{
    Canvas canvas;
    CColor odd {12, 34, 56, 255};
    canvas.context->drawPoint(CPoint(7, 9), odd);
    EXPECT_EQ(canvas.at(7, 9), odd);
    EXPECT_EQ(canvas.context->getPoint(CPoint(7, 9)), odd);
    EXPECT_EQ(canvas.count(odd), 1);
    // Only red, green and blue count: alpha does not make a point transparent.
    canvas.context->drawPoint(CPoint(1, 1), CColor {200, 100, 50, 0});
    EXPECT_EQ(canvas.at(1, 1), (CColor {200, 100, 50, 255}));
}

TEST(DrawContextTest, EveryDrawModeDrawsAsCopy)
{
    for (CDrawMode mode : {kCopyMode, kOrMode, kXorMode, kAntialias, CDrawMode(17)}) {
        Canvas canvas;
        canvas.context->setFillColor(kRedCColor);
        canvas.context->fillRect(CRect(0, 0, 10, 10));
        canvas.context->setDrawMode(mode);
        canvas.context->setFrameColor(kGreenCColor);
        canvas.context->drawLine(CPoint(0, 5), CPoint(10, 5));
        EXPECT_EQ(canvas.at(4, 5), kGreenCColor) << mode;
        // Nothing is antialiased: a diagonal has no partly covered pixels.
        canvas.context->drawLine(CPoint(20, 0), CPoint(40, 7));
        int other = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 20; x < 41; ++x)
                other += !(canvas.at(x, y) == kGreenCColor || canvas.at(x, y) == kBlackCColor);
        EXPECT_EQ(other, 0) << mode;
    }
}

TEST(DrawContextTest, ClippingRestrictsDrawingAndOffsetsMoveIt)
{
    Canvas canvas;
    canvas.context->setClipRect(CRect(10, 10, 20, 20));
    canvas.context->setFillColor(kWhiteCColor);
    canvas.context->fillRect(CRect(0, 0, kWidth, kHeight));
    EXPECT_EQ(canvas.count(kWhiteCColor), 100);
    EXPECT_EQ(canvas.at(10, 10), kWhiteCColor);
    EXPECT_EQ(canvas.at(20, 19), kBlackCColor);

    // The clip is kept in window pixels; reading it back gives the current
    // coordinates.
    canvas.context->setOffset(CPoint(5, 5));
    CRect clip;
    canvas.context->getClipRect(clip);
    EXPECT_EQ(clip, CRect(5, 5, 15, 15));
    canvas.context->resetClipRect();
    canvas.context->drawPoint(CPoint(0, 0), kRedCColor);
    EXPECT_EQ(canvas.at(5, 5), kRedCColor);
}

TEST(DrawContextTest, TheClipLimitCannotBeEscapedBySettingALargerClip)
{
    Canvas canvas;
    canvas.context->setClipLimit(CRect(0, 0, 8, 8));
    canvas.context->setClipRect(CRect(0, 0, kWidth, kHeight));
    canvas.context->setFillColor(kWhiteCColor);
    canvas.context->fillRect(CRect(0, 0, kWidth, kHeight));
    EXPECT_EQ(canvas.count(kWhiteCColor), 64);
}

TEST(DrawContextTest, FontIdsHaveTheirFacesAndHeights)
{
    EXPECT_EQ(fontInfo(0).height, 12);
    EXPECT_TRUE(fontInfo(0).alwaysBold);
    EXPECT_EQ(fontInfo(1).height, 18);
    EXPECT_EQ(fontInfo(4).height, 11);
    EXPECT_EQ(fontInfo(6).height, 9);
    EXPECT_STREQ(fontInfo(7).face, "Symbol");
    EXPECT_EQ(fontInfo(8).height, 12); // out of range: id 0
    EXPECT_EQ(fontInfo(-1).height, 12);
    Canvas canvas;
    canvas.context->setFont(kNormalFontSmall);
    EXPECT_EQ(canvas.context->getFontSize(), 11);
    canvas.context->setFont(kNormalFontSmall, 20);
    EXPECT_EQ(canvas.context->getFontSize(), 20);
    canvas.context->setFont(99);
    EXPECT_EQ(canvas.context->getFont(), 0);
}

TEST(DrawContextTest, Latin1TextBecomesUtf8)
{
    EXPECT_EQ(CDrawContext::latin1ToUtf8("Konturen gl\xe4tten"), "Konturen gl\xc3\xa4tten");
    EXPECT_EQ(CDrawContext::latin1ToUtf8("\xff"), "\xc3\xbf");
    EXPECT_EQ(CDrawContext::latin1ToUtf8(nullptr), "");
}

// The baseline the text rules give for rect in the context's current font.
int expectedBaseline(CDrawContext* context, const CRect& rect)
{
    cairo_font_extents_t font;
    cairo_font_extents(context->getCairo(), &font);
    return rect.top + int((rect.height() + font.ascent - font.descent) / 2);
}

TEST(DrawContextTest, TextSitsOnTheCentredBaselineAndStartsOnePixelIn)
{
    Canvas canvas;
    CRect rect(10, 8, 60, 28);
    canvas.context->setFont(kNormalFontSmall);
    canvas.context->setFontColor(kWhiteCColor);
    canvas.context->drawString("HH", rect, false, kLeftText);
    int baseline = expectedBaseline(canvas.context, rect);
    CRect ink = inkBounds(*canvas.window, kBlackCColor);
    // "H" has no descender: its lowest row is the one above the baseline.
    EXPECT_EQ(ink.bottom, baseline);
    // Its side bearing is under one pixel at this size: ink starts at the
    // first pixel in from the left edge, or the one after it.
    EXPECT_GE(ink.left, rect.left + 1);
    EXPECT_LE(ink.left, rect.left + 2);
}

TEST(DrawContextTest, TextAlignsRightAndCentre)
{
    CRect rect(4, 4, 60, 24);
    {
        Canvas canvas;
        canvas.context->setFont(kNormalFont);
        canvas.context->drawString("HH", rect, false, kRightText);
        CRect ink = inkBounds(*canvas.window, kBlackCColor);
        EXPECT_LE(ink.right, rect.right);
        EXPECT_GE(ink.right, rect.right - 2);
    }
    {
        Canvas canvas;
        canvas.context->setFont(kNormalFont);
        canvas.context->drawString("HH", rect, false, kCenterText);
        CRect ink = inkBounds(*canvas.window, kBlackCColor);
        int centre2 = rect.left + rect.right;
        EXPECT_LE(std::abs(ink.left + ink.right - centre2), 3);
    }
}

TEST(DrawContextTest, TextIsClippedToItsRectAndOpaqueTextPaintsItsBackground)
{
    Canvas canvas;
    CRect rect(5, 5, 25, 15);
    canvas.context->setFont(kNormalFontBig);
    canvas.context->drawString("WWWWWWWWWWWW", rect, false, kLeftText);
    CRect ink = inkBounds(*canvas.window, kBlackCColor);
    EXPECT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.left, rect.left);
    EXPECT_GE(ink.top, rect.top);
    EXPECT_LE(ink.right, rect.right);
    EXPECT_LE(ink.bottom, rect.bottom);

    Canvas opaque;
    opaque.context->setFillColor(kBlueCColor);
    opaque.context->setFontColor(kWhiteCColor);
    opaque.context->drawString("", rect, true);
    EXPECT_EQ(opaque.count(kBlueCColor), rect.width() * rect.height());
}

TEST(DrawContextTest, StringWidthGrowsWithTheTextAndIsZeroForNothing)
{
    Canvas canvas;
    canvas.context->setFont(kNormalFontSmall);
    int one = canvas.context->getStringWidth("H");
    EXPECT_GT(one, 0);
    EXPECT_GE(canvas.context->getStringWidth("HHHH"), 4 * one - 1);
    EXPECT_EQ(canvas.context->getStringWidth(""), 0);
    // Liberation Sans stands in for Arial: metric compatible, so an 11-pixel
    // "H" is 7 or 8 pixels wide (0.722 em).
    EXPECT_GE(one, 7);
    EXPECT_LE(one, 8);
}

} // namespace
