#include "control_fixture.h"
#include "toolkit/c_draw_context.h"
#include "toolkit/c_scroll_container.h"
#include "toolkit/c_scroll_view.h"
#include "toolkit/c_scrollbar.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// A 100 x 50 view onto content 1000 wide, with a 14-pixel horizontal bar:
// 100 x 36 visible, the bar below it, 900 pixels of scrolling.
constexpr CPoint kOrigin {10, 10};
constexpr int kWidth = 100;
constexpr int kHeight = 50;
constexpr int kBarWidth = 14;
constexpr int kContentWidth = 1000;
constexpr int kMaxScroll = kContentWidth - kWidth;
constexpr CColor kScroller {50, 0, 0, 255};

// Content whose column x is painted with red x % 256 and blue x / 256, so a
// pixel tells which content column it shows.
class Ruler : public CView {
public:
    explicit Ruler(const CRect& size)
        : CView(size)
    {
    }
    static CColor columnColour(int x)
    {
        return CColor {uint8_t(x % 256), 0, uint8_t(x / 256), 255};
    }
    void drawRect(CDrawContext* context, const CRect& update) override
    {
        for (int x = update.left; x < update.right; ++x) {
            context->setFillColor(columnColour(x));
            context->fillRect(CRect(x, update.top, x + 1, update.bottom));
        }
        setDirty(false);
    }
    void draw(CDrawContext* context) override { drawRect(context, size); }
    void mouse(CDrawContext*, CPoint& where, long) override { clicks.push_back(where); }
    std::vector<CPoint> clicks;
};

struct ScrollFixture : ControlFixture {
    CScrollView* view;
    Ruler* ruler;

    ScrollFixture()
    {
        view = new CScrollView(CRect(kOrigin.h, kOrigin.v, kOrigin.h + kWidth, kOrigin.v + kHeight),
            CRect(0, 0, kContentWidth, 500), frame, CScrollView::kHorizontalScrollbar, kBarWidth);
        view->getHScrollbar()->setScrollerColor(kScroller);
        ruler = new Ruler(CRect(0, 0, kContentWidth, kHeight - kBarWidth));
        view->addView(ruler);
        frame->addView(view);
        redraw();
    }
    CScrollbar* bar() const { return view->getHScrollbar(); }
    void scrollTo(float value)
    {
        bar()->setValue(value);
        view->valueChanged(nullptr, bar());
    }
    // Content column shown at visible column x.
    int shownColumn(int x) const
    {
        const CColor c = at(kOrigin.h + x, kOrigin.v + 5);
        return c.red + 256 * c.blue;
    }
    int barTop() const { return kOrigin.v + kHeight - kBarWidth; }
};

TEST(ScrollViewTest, LayoutPutsTheBarAlongTheBottom)
{
    ScrollFixture f;
    EXPECT_EQ(
        f.view->getScrollContainer()->getViewSize(), CRect(0, 0, kWidth, kHeight - kBarWidth));
    EXPECT_EQ(f.bar()->getViewSize(), CRect(0, kHeight - kBarWidth, kWidth, kHeight));
    EXPECT_EQ(f.bar()->getTag(), 0);
    EXPECT_EQ(f.bar()->getListener(), f.view);
    EXPECT_EQ(f.view->getVScrollbar(), nullptr);
    EXPECT_TRUE(f.view->getTransparency());
    EXPECT_EQ(f.ruler->getParentView(), f.view->getScrollContainer());
}

TEST(ScrollViewTest, ValueScrollsToItsShareOfTheOverhang)
{
    ScrollFixture f;
    f.scrollTo(0.5f);
    EXPECT_EQ(f.view->getScrollOffset().h, 450);
    f.redraw();
    EXPECT_EQ(f.shownColumn(0), 450);
    EXPECT_EQ(f.shownColumn(kWidth - 1), 450 + kWidth - 1);
}

TEST(ScrollViewTest, BothEndsShowTheFirstAndLastColumns)
{
    ScrollFixture f;
    f.scrollTo(1.0f);
    EXPECT_EQ(f.view->getScrollOffset().h, kMaxScroll);
    f.redraw();
    EXPECT_EQ(f.shownColumn(kWidth - 1), kContentWidth - 1);
    f.scrollTo(0.0f);
    f.redraw();
    EXPECT_EQ(f.view->getScrollOffset().h, 0);
    EXPECT_EQ(f.shownColumn(0), 0);
    // Values beyond the ends (and NaN) stop at the ends.
    f.scrollTo(3.0f);
    EXPECT_EQ(f.view->getScrollOffset().h, kMaxScroll);
    f.scrollTo(std::nanf(""));
    EXPECT_EQ(f.view->getScrollOffset().h, 0);
}

TEST(ScrollViewTest, EveryColumnIsReachedByItsOwnValue)
{
    // value = f / max must land on f exactly, although f / max x max can be
    // a hair below f in float.
    ScrollFixture f;
    for (int column = 0; column <= kMaxScroll; ++column) {
        f.scrollTo(float(column) / float(kMaxScroll));
        ASSERT_EQ(f.view->getScrollOffset().h, column);
    }
}

TEST(ScrollViewTest, AddedViewsLiveInContentCoordinates)
{
    ScrollFixture f;
    f.scrollTo(0.5f); // content 450 at the left edge
    f.redraw();
    CPoint where(kOrigin.h + 60, kOrigin.v + 5); // content column 510
    f.click(where, kLButton);
    ASSERT_EQ(f.ruler->clicks.size(), 1u);
    EXPECT_EQ(f.ruler->clicks[0], CPoint(510, 5));
    CPoint local(kOrigin.h + 60, kOrigin.v + 5);
    f.ruler->frameToLocal(local);
    EXPECT_EQ(local, CPoint(510, 5));
}

TEST(ScrollViewTest, BarAndScrollerDrawWithTheirColours)
{
    ScrollFixture f;
    // Scroller length: 100 x 100 / 1000 = 10, inside the bar inset by 2.
    EXPECT_EQ(f.bar()->scrollerLength(), 10);
    EXPECT_EQ(f.bar()->scrollerRect(), CRect(2, 38, 12, 48));
    const int y = f.barTop() + 7;
    EXPECT_EQ(f.at(kOrigin.h, y), kBlackCColor); // outline
    EXPECT_EQ(f.at(kOrigin.h + kWidth - 1, y), kBlackCColor);
    EXPECT_EQ(f.at(kOrigin.h + 1, y), kWhiteCColor); // background (alpha is not drawn)
    EXPECT_EQ(f.at(kOrigin.h + 2, y), kBlackCColor); // scroller outline
    EXPECT_EQ(f.at(kOrigin.h + 5, y), kScroller);
    EXPECT_EQ(f.at(kOrigin.h + 50, y), kWhiteCColor);
    f.scrollTo(1.0f);
    f.frame->idle();
    EXPECT_EQ(f.bar()->scrollerRect(), CRect(88, 38, 98, 48));
    EXPECT_EQ(f.at(kOrigin.h + 92, y), kScroller);
    EXPECT_EQ(f.at(kOrigin.h + 5, y), kWhiteCColor);
}

TEST(ScrollViewTest, DraggingTheScrollerScrolls)
{
    ScrollFixture f;
    const int y = f.barTop() + 7;
    const CPoint grab(kOrigin.h + 7, y); // inside the scroller (2..12), 5 from its left
    // The scroller travels 96 - 10 = 86 pixels: 43 of them are half way.
    f.press(grab, kLButton, {{CPoint(grab.h + 43, y), kLButton}, {CPoint(grab.h + 43, y), 0}});
    EXPECT_FLOAT_EQ(f.bar()->getValue(), 0.5f);
    EXPECT_EQ(f.view->getScrollOffset().h, 450);
    f.press(grab, kLButton, {{CPoint(grab.h + 500, y), kLButton}, {CPoint(grab.h + 500, y), 0}});
    EXPECT_EQ(f.bar()->getValue(), 1.0f);
    EXPECT_EQ(f.view->getScrollOffset().h, kMaxScroll);
    f.redraw();
    EXPECT_EQ(f.shownColumn(kWidth - 1), kContentWidth - 1);
}

TEST(ScrollViewTest, ClickBesideTheScrollerCentresItThere)
{
    ScrollFixture f;
    const int y = f.barTop() + 7;
    // Scroller centre at x 55 of the bar: left edge 50, (50 - 2) / 86 of the way.
    f.press(CPoint(kOrigin.h + 55, y), kLButton, {{CPoint(kOrigin.h + 55, y), 0}});
    EXPECT_FLOAT_EQ(f.bar()->getValue(), 48.0f / 86.0f);
    EXPECT_EQ(f.bar()->scrollerRect().left, 50);
}

TEST(ScrollViewTest, OnlyTheDirtyContentIsRedrawn)
{
    ScrollFixture f;
    f.frame->idle();
    const int presents = f.window->presentCount();
    f.frame->idle(); // nothing dirty: nothing shown
    EXPECT_EQ(f.window->presentCount(), presents);
    f.bar()->setDirty(true);
    f.frame->idle();
    EXPECT_EQ(f.window->presentCount(), presents + 1);
    // Only the bar's pixels were shown again.
    EXPECT_EQ(f.window->lastPresented(),
        CRect(kOrigin.h, f.barTop(), kOrigin.h + kWidth, kOrigin.v + kHeight));
}

TEST(ScrollViewTest, ContentNarrowerThanTheViewDoesNotScroll)
{
    ControlFixture f;
    auto* view = new CScrollView(
        CRect(0, 0, 100, 50), CRect(0, 0, 60, 50), f.frame, CScrollView::kHorizontalScrollbar);
    f.frame->addView(view);
    view->getHScrollbar()->setValue(1.0f);
    view->valueChanged(nullptr, view->getHScrollbar());
    EXPECT_EQ(view->getScrollOffset().h, 0);
    // The scroller fills the whole track.
    EXPECT_EQ(view->getHScrollbar()->scrollerLength(), 100 - 4);
}

} // namespace
