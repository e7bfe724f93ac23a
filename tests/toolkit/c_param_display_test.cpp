#include "control_fixture.h"
#include "toolkit/c_param_display.h"

#include <gtest/gtest.h>

namespace {

// A 60 x 20 display on a blue frame, with colours that tell every part apart.
constexpr CColor kBehind {0, 0, 255, 255};
constexpr CColor kBack {0, 128, 0, 255};
constexpr CColor kFrameLine {255, 255, 0, 255};
constexpr CColor kText {255, 255, 255, 255};
constexpr CColor kShadow {255, 0, 0, 255};
constexpr CRect kSize {10, 10, 70, 30};

class TextDisplay : public CParamDisplay {
public:
    TextDisplay(const CRect& size, int style, const char* text)
        : CParamDisplay(size, nullptr, style)
        , text(text)
    {
    }
    void draw(CDrawContext* context) override { drawText(context, text); }

private:
    const char* text;
};

// Pixels of f within area whose every channel is within 100 of colour.
int countNear(const ControlFixture& f, CColor colour, const CRect& area)
{
    auto near = [](int a, int b) { return a - b < 100 && b - a < 100; };
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            const CColor c = f.at(x, y);
            n += near(c.red, colour.red) && near(c.green, colour.green)
                && near(c.blue, colour.blue);
        }
    return n;
}

struct DisplayFixture : ControlFixture {
    TextDisplay* display;
    DisplayFixture(int style, bool transparent, const char* text = "88")
    {
        frame->setBackgroundColor(kBehind);
        display = new TextDisplay(kSize, style, text);
        display->setTransparency(transparent);
        display->setBackColor(kBack);
        display->setFrameColor(kFrameLine);
        display->setFontColor(kText);
        frame->addView(display);
        redraw();
    }
    int count(CColor colour, const CRect& area = kSize) const
    {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                n += at(x, y) == colour;
        return n;
    }
    // Pixels mostly of colour: text is antialiased, so its pixels blend the
    // text colour with what lies behind.
    int countInk(CColor colour, const CRect& area = kSize) const
    {
        return countNear(*this, colour, area);
    }
    // Columns (frame x) that hold some text pixel.
    std::pair<int, int> textColumns() const
    {
        int first = -1, last = -1;
        for (int x = kSize.left; x < kSize.right; ++x)
            for (int y = kSize.top + 2; y < kSize.bottom - 2; ++y)
                if (at(x, y) != at(kSize.left + 3, kSize.top + 3)) {
                    if (first < 0)
                        first = x;
                    last = x;
                    break;
                }
        return {first, last};
    }
};

TEST(ParamDisplayTest, DefaultsAreThoseTheEditorReliesOn)
{
    ControlFixture f;
    auto* display = new CParamDisplay(kSize);
    f.frame->addView(display);
    EXPECT_EQ(display->getFont(), 3);
    EXPECT_EQ(display->getFontColor(), kWhiteCColor);
    EXPECT_EQ(display->getBackColor(), kBlackCColor);
    EXPECT_EQ(display->getFrameColor(), kBlackCColor);
    EXPECT_EQ(display->getShadowColor(), kRedCColor);
    EXPECT_EQ(display->getHoriAlign(), 1);
    EXPECT_TRUE(display->getTextTransparency());
    EXPECT_EQ(display->getStyle(), 0);
}

TEST(ParamDisplayTest, SettersMarkDirtyOnlyOnAChange)
{
    ControlFixture f;
    auto* display = new CParamDisplay(kSize);
    f.frame->addView(display);
    display->setDirty(false);
    display->setFontColor(kWhiteCColor);
    display->setFont(3);
    display->setHoriAlign(1);
    display->setTextTransparency(true);
    EXPECT_FALSE(display->isDirty());
    display->setFont(4);
    EXPECT_TRUE(display->isDirty());
    display->setDirty(false);
    display->setShadowColor(kBlueCColor);
    EXPECT_TRUE(display->isDirty());
}

TEST(ParamDisplayTest, PlainStyleFillsAndOutlines)
{
    DisplayFixture f(0, false);
    EXPECT_EQ(f.at(10, 10), kFrameLine);
    EXPECT_EQ(f.at(69, 29), kFrameLine);
    EXPECT_EQ(f.at(40, 10), kFrameLine);
    EXPECT_EQ(f.at(11, 11), kBack);
    EXPECT_EQ(f.at(70, 20), kBehind);
    EXPECT_GT(f.countInk(kText), 0);
    EXPECT_FALSE(f.display->isDirty());
}

TEST(ParamDisplayTest, NoFrameFillsWithoutOutline)
{
    DisplayFixture f(kNoFrame, false);
    EXPECT_EQ(f.at(10, 10), kBack);
    EXPECT_EQ(f.at(69, 29), kBack);
    EXPECT_EQ(f.count(kFrameLine), 0);
}

TEST(ParamDisplayTest, TransparentDisplayLeavesWhatIsBehind)
{
    DisplayFixture f(0, true);
    EXPECT_EQ(f.at(10, 10), kBehind);
    EXPECT_EQ(f.at(11, 11), kBehind);
    EXPECT_EQ(f.count(kBack), 0);
    EXPECT_GT(f.countInk(kText), 0);
}

TEST(ParamDisplayTest, SunkenEdgesAreBackColourTopLeftAndFrameColourBottomRight)
{
    // The edges run around the size less one pixel right and bottom and one
    // at the top: left column x 10, top row y 11, right column x 69, bottom
    // row y 29.
    DisplayFixture f(k3DIn | kNoTextStyle, true);
    EXPECT_EQ(f.at(10, 20), kBack);
    EXPECT_EQ(f.at(10, 29), kBack); // the bottom-left corner starts the light line
    EXPECT_EQ(f.at(40, 11), kBack);
    EXPECT_EQ(f.at(69, 11), kFrameLine); // the top-right corner starts the dark line
    EXPECT_EQ(f.at(69, 20), kFrameLine);
    EXPECT_EQ(f.at(40, 29), kFrameLine);
    EXPECT_EQ(f.at(40, 10), kBehind); // the top row itself is not an edge
    EXPECT_EQ(f.at(40, 20), kBehind);
}

TEST(ParamDisplayTest, RaisedEdgesSwapTheColours)
{
    DisplayFixture f(k3DOut | kNoTextStyle, true);
    EXPECT_EQ(f.at(10, 20), kFrameLine);
    EXPECT_EQ(f.at(40, 11), kFrameLine);
    EXPECT_EQ(f.at(69, 20), kBack);
    EXPECT_EQ(f.at(40, 29), kBack);
}

TEST(ParamDisplayTest, ThreeDimensionalStylesFillWithoutOutline)
{
    DisplayFixture f(k3DIn | kNoTextStyle, false);
    EXPECT_EQ(f.at(40, 10), kBack); // filled, no outline above the edges
    EXPECT_EQ(f.at(69, 20), kFrameLine);
}

TEST(ParamDisplayTest, ShadowIsDrawnOnlyWithShadowText)
{
    DisplayFixture plain(0, true);
    EXPECT_EQ(plain.countInk(kShadow), 0);
    DisplayFixture shadowed(kShadowText, true);
    EXPECT_GT(shadowed.countInk(kShadow), 0);
    EXPECT_GT(shadowed.countInk(kText), 0);
}

TEST(ParamDisplayTest, NoTextStyleDrawsTheBoxOnly)
{
    DisplayFixture f(kNoTextStyle, false);
    EXPECT_EQ(f.countInk(kText), 0);
    EXPECT_EQ(f.at(40, 20), kBack);
}

TEST(ParamDisplayTest, NoDrawStyleDrawsNothingAndIsClean)
{
    DisplayFixture f(kNoDrawStyle | k3DIn | kShadowText, false);
    EXPECT_EQ(f.count(kBehind), kSize.width() * kSize.height());
    EXPECT_FALSE(f.display->isDirty());
}

TEST(ParamDisplayTest, OpaqueTextPaintsItsBoxInTheBackColour)
{
    DisplayFixture f(0, true);
    f.display->setTextTransparency(false);
    f.redraw();
    EXPECT_EQ(f.at(11, 11), kBack);
    EXPECT_EQ(f.at(10, 10), kBack);
    EXPECT_GT(f.countInk(kText), 0);
}

TEST(ParamDisplayTest, TextIsClippedToTheDisplay)
{
    DisplayFixture f(0, true, "a text far too long for sixty pixels");
    f.display->setHoriAlign(0);
    f.redraw();
    EXPECT_GT(f.countInk(kText), 0);
    EXPECT_EQ(f.countInk(kText, CRect(70, 10, 200, 30)), 0);
    EXPECT_EQ(f.countInk(kText, CRect(0, 0, 200, 10)), 0);
}

TEST(ParamDisplayTest, AlignmentPlacesTheText)
{
    DisplayFixture f(kNoFrame, false, "8");
    f.display->setHoriAlign(0);
    f.redraw();
    const auto left = f.textColumns();
    f.display->setHoriAlign(2);
    f.redraw();
    const auto right = f.textColumns();
    f.display->setHoriAlign(1);
    f.redraw();
    const auto centre = f.textColumns();
    ASSERT_GE(left.first, 0);
    EXPECT_LE(left.first, kSize.left + 3); // starts one pixel in, plus the glyph's bearing
    EXPECT_GE(right.second, kSize.right - 3);
    EXPECT_GT(centre.first, left.first + 10);
    EXPECT_LT(centre.second, right.second - 10);
}

TEST(ParamDisplayTest, PlainDisplayShowsItsValue)
{
    ControlFixture f;
    auto* display = new CParamDisplay(kSize);
    f.frame->addView(display);
    f.redraw();
    // "0.00" in white over the frame's black, centred.
    EXPECT_GT(countNear(f, kWhiteCColor, kSize), 0);
    EXPECT_EQ(
        countNear(f, kWhiteCColor, CRect(kSize.left, kSize.top, kSize.left + 12, kSize.bottom)), 0);
}

} // namespace
