// The editor's own controls: the note scroll view, the labels and the panel
// buttons, offscreen.
#include "editor/note_scroll_view.h"
#include "editor/panel_button.h"
#include "editor/value_display.h"
#include "toolkit/c_bitmap.h"
#include "toolkit/c_frame.h"
#include "toolkit/c_scroll_container.h"
#include "toolkit/c_scrollbar.h"
#include "toolkit/offscreen_platform.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Offscreen {
    explicit Offscreen(int width, int height)
        : frame(new CFrame(CRect(0, 0, width, height), &platform, nullptr, platform))
        , window(platform.lastWindow())
    {
        frame->setBackgroundColor(kGreyCColor);
    }
    ~Offscreen() { frame->forget(); }
    bool is(int x, int y, CColor colour) const { return window->pixel(x, y).sameRgb(colour); }
    // Text is smoothed: its pixels are light, rarely pure white.
    bool light(int x, int y) const { return window->pixel(x, y).red > 180; }

    OffscreenPlatform platform;
    CFrame* frame;
    OffscreenWindow* window;
};

TEST(NoteScrollViewTest, ScrollValueForTheEditorsWidth)
{
    EXPECT_FLOAT_EQ(scrollValueForFrame(0, 390), 0.0f);
    EXPECT_FLOAT_EQ(scrollValueForFrame(9610, 390), 1.0f);
    EXPECT_FLOAT_EQ(scrollValueForFrame(4805, 390), 0.5f);
    EXPECT_LT(scrollValueForFrame(9611, 390), 0.0f);
    EXPECT_FLOAT_EQ(scrollValueForFrame(-5, 390), 0.0f);
    EXPECT_LT(scrollValueForFrame(0, 10000), 0.0f); // nothing to scroll
}

TEST(NoteScrollViewTest, GeometryScrollerColourAndScrolling)
{
    Offscreen offscreen(400, 400);
    auto* scroll = new NoteScrollView(CRect(10, 20, 400, 364), offscreen.frame);
    offscreen.frame->addView(scroll);
    EXPECT_EQ(scroll->noteView->getViewSize(), CRect(0, 0, 10000, 330));
    EXPECT_EQ(scroll->noteView->scroller, scroll);
    CScrollbar* bar = scroll->getHScrollbar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->getScrollerColor(), (CColor {50, 0, 0, 255}));
    EXPECT_EQ(bar->getViewSize().height(), kNoteScrollbarWidth);
    EXPECT_TRUE(scroll->getTransparency());

    scroll->scrollToFrame(9610);
    EXPECT_FLOAT_EQ(bar->getValue(), 1.0f);
    EXPECT_EQ(scroll->getScrollOffset().h, 9610);
    scroll->scrollToFrame(9611); // dropped, not clamped
    EXPECT_EQ(scroll->getScrollOffset().h, 9610);
    scroll->scrollToFrame(1234);
    EXPECT_EQ(scroll->getScrollOffset().h, 1234);
    scroll->scrollToFrame(0);
    EXPECT_EQ(scroll->getScrollOffset().h, 0);
}

TEST(ValueDisplayTest, LabelIsWhiteLeftAlignedAndClippedToItsRectangle)
{
    Offscreen offscreen(200, 40);
    std::string longText(300, 'W');
    auto* label = new ValueDisplay(CRect(10, 10, 60, 24), longText.c_str());
    offscreen.frame->addView(label);
    EXPECT_EQ(std::string(label->text), std::string(255, 'W'));
    EXPECT_TRUE(label->isDirty());
    offscreen.frame->idle();
    int white = 0;
    for (int y = 10; y < 24; ++y)
        for (int x = 10; x < 60; ++x)
            white += offscreen.light(x, y);
    EXPECT_GT(white, 20);
    // Nothing beyond the rectangle, no background or frame inside it.
    for (int y = 0; y < 40; ++y)
        for (int x = 60; x < 200; ++x)
            ASSERT_TRUE(offscreen.is(x, y, kGreyCColor)) << x << "," << y;
    EXPECT_TRUE(offscreen.is(10, 10, kGreyCColor));
    EXPECT_FALSE(label->isDirty());
}

TEST(ValueDisplayTest, NullTextLeavesTheLabelEmpty)
{
    auto* label = new ValueDisplay(CRect(0, 0, 10, 10), nullptr);
    EXPECT_STREQ(label->text, "");
    label->forget();
}

class Clicks : public CControlListener {
public:
    void valueChanged(CDrawContext*, CControl* control) override
    {
        values.push_back(control->getValue());
    }
    std::vector<float> values;
};

TEST(PanelButtonTest, LeftRightAndOtherClicksSendOneTwoAndZero)
{
    Offscreen offscreen(100, 40);
    Clicks clicks;
    auto* button = new PanelButton(CRect(10, 10, 40, 26), &clicks, 7, 200, nullptr, CPoint(0, 0));
    offscreen.frame->addView(button);
    for (long buttons :
        std::vector<long> {kLButton, kRButton, kLButton | kShift, kMButton, kRButton | kControl}) {
        offscreen.window->postMouseDown(CPoint(20, 15), buttons);
        offscreen.frame->idle();
    }
    EXPECT_EQ(clicks.values, (std::vector<float> {1.0f, 2.0f, 0.0f, 0.0f, 0.0f}));

    button->setMouseEnabled(false);
    offscreen.window->postMouseDown(CPoint(20, 15), kLButton);
    offscreen.frame->idle();
    EXPECT_EQ(clicks.values.size(), 5u);
}

TEST(PanelButtonTest, AClickOverBeforeItsPressIsHandledCountsAsThePress)
{
    Offscreen offscreen(100, 40);
    Clicks clicks;
    auto* button = new PanelButton(CRect(10, 10, 40, 26), &clicks, 7, 200, nullptr, CPoint(0, 0));
    offscreen.frame->addView(button);
    // The live state read in the handler: released already, or still held
    // with a modifier pressed since.
    const struct {
        long press;
        long live;
    } clicksSeen[] = {{kLButton, 0}, {kRButton, 0}, {kLButton | kShift, 0}, {kLButton, kShift},
        {kLButton, kLButton | kShift}};
    for (const auto& click : clicksSeen) {
        offscreen.window->postMouseDown(CPoint(20, 15), click.press);
        offscreen.window->scriptPointer(CPoint(20, 15), click.live);
        offscreen.frame->idle();
    }
    EXPECT_EQ(clicks.values, (std::vector<float> {1.0f, 2.0f, 0.0f, 1.0f, 0.0f}));
}

TEST(PanelButtonTest, OutlinesAndLabel)
{
    Offscreen offscreen(100, 60);
    auto* button = new PanelButton(CRect(10, 10, 50, 30), nullptr, 2, 200, nullptr, CPoint(0, 0));
    std::snprintf(button->label, sizeof button->label, "%s", "render");
    button->outline = true;
    button->selected = true;
    offscreen.frame->addView(button);
    offscreen.frame->idle();
    EXPECT_TRUE(offscreen.is(10, 10, kBlackCColor));
    EXPECT_TRUE(offscreen.is(49, 29, kBlackCColor));
    EXPECT_TRUE(offscreen.is(12, 12, kBlackCColor)); // the selected outline 2 inside
    EXPECT_TRUE(offscreen.is(47, 27, kBlackCColor));
    EXPECT_TRUE(offscreen.is(11, 11, kGreyCColor));
    EXPECT_TRUE(offscreen.is(50, 30, kGreyCColor));
    int white = 0;
    for (int y = 13; y < 27; ++y)
        for (int x = 13; x < 47; ++x)
            white += offscreen.light(x, y);
    EXPECT_GT(white, 10);
}

TEST(PanelButtonTest, ImageHeightZeroShowsTheSameIconWhateverTheValue)
{
    Offscreen offscreen(100, 60);
    CBitmap* icons = new CBitmap(20004);
    ASSERT_EQ(icons->getWidth(), 64);
    auto* button = new PanelButton(CRect(10, 10, 25, 25), nullptr, 9, 0, icons, CPoint(16, 0));
    icons->forget();
    offscreen.frame->addView(button);
    offscreen.frame->redrawAll();
    std::vector<CColor> released;
    for (int y = 10; y < 25; ++y)
        for (int x = 10; x < 25; ++x)
            released.push_back(offscreen.window->pixel(x, y));
    button->setValue(2.0f);
    offscreen.frame->redrawAll();
    std::vector<CColor> pressed;
    for (int y = 10; y < 25; ++y)
        for (int x = 10; x < 25; ++x)
            pressed.push_back(offscreen.window->pixel(x, y));
    EXPECT_EQ(released, pressed);
}

TEST(PanelButtonTest, PressedButtonShowsTheImageBelow)
{
    Offscreen offscreen(820, 520);
    CBitmap* panel = new CBitmap(20003);
    auto* button = new PanelButton(CRect(0, 0, 16, 16), nullptr, 5, 200, panel, CPoint(0, 300));
    panel->forget();
    offscreen.frame->addView(button);
    offscreen.frame->redrawAll();
    CColor up = offscreen.window->pixel(3, 3);
    button->setValue(2.0f); // drawn as 1: the region 200 rows further down
    offscreen.frame->redrawAll();
    CColor down = offscreen.window->pixel(3, 3);
    // The texture differs between rows 303 and 503 almost everywhere; look
    // at a few pixels rather than one.
    int differ = (up != down);
    for (int x = 4; x < 12; ++x) {
        button->setValue(0.0f);
        offscreen.frame->redrawAll();
        CColor a = offscreen.window->pixel(x, 8);
        button->setValue(1.0f);
        offscreen.frame->redrawAll();
        differ += a != offscreen.window->pixel(x, 8);
    }
    EXPECT_GT(differ, 0);
}

} // namespace
