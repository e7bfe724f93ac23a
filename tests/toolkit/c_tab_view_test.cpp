#include "control_fixture.h"
#include "toolkit/c_draw_context.h"
#include "toolkit/c_tab_button.h"
#include "toolkit/c_tab_view.h"

#include <gtest/gtest.h>

namespace {

constexpr int kTabWidth = 40;
constexpr int kTabHeight = 16; // half of the tab bitmap
constexpr CColor kUnselectedLook {200, 200, 255, 255};
constexpr CColor kSelectedLook {255, 230, 160, 255};
constexpr CColor kPageColors[3] = {{0, 90, 0, 255}, {0, 0, 90, 255}, {90, 0, 90, 255}};

// A tab bitmap: the unselected look above, the selected one below.
CBitmap* tabBitmap()
{
    DecodedImage image;
    image.width = kTabWidth;
    image.height = 2 * kTabHeight;
    image.bitsPerPixel = 24;
    image.rgba.resize(size_t(image.width) * size_t(image.height) * 4);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const CColor c = y < kTabHeight ? kUnselectedLook : kSelectedLook;
            uint8_t* p = &image.rgba[(size_t(y) * size_t(image.width) + size_t(x)) * 4];
            p[0] = c.red;
            p[1] = c.green;
            p[2] = c.blue;
            p[3] = 255;
        }
    return new CBitmap(image);
}

// A page that fills itself, counts the clicks it gets and tells when it dies.
class Page : public CView {
public:
    Page(const CRect& size, bool& destroyed, CColor colour = kPageColors[0])
        : CView(size)
        , destroyed(destroyed)
        , colour(colour)
    {
    }
    void draw(CDrawContext* context) override
    {
        context->setFillColor(colour);
        context->fillRect(size);
        setDirty(false);
    }
    void mouse(CDrawContext*, CPoint&, long) override { ++clicks; }
    int clicks = 0;

protected:
    ~Page() override { destroyed = true; }

private:
    bool& destroyed;
    CColor colour;
};

struct TabFixture : ControlFixture {
    CTabView* tabs;
    Page* pages[3];
    bool destroyed[3] = {false, false, false};
    static constexpr CPoint kOrigin {10, 20};

    TabFixture()
        : ControlFixture(220, 140)
    {
        CBitmap* bitmap = tabBitmap();
        tabs = new CTabView(CRect(kOrigin.h, kOrigin.v, kOrigin.h + 180, kOrigin.v + 110), frame,
            bitmap, nullptr, CTabView::kPositionTop);
        bitmap->forget();
        tabs->setTransparency(true);
        CRect page;
        tabs->getTabViewSize(page);
        page.top += 4;
        const char* names[] = {"SCAN", "1", "2"};
        for (int i = 0; i < 3; ++i) {
            pages[i] = new Page(page, destroyed[i], kPageColors[i]);
            EXPECT_TRUE(tabs->addTab(pages[i], names[i]));
        }
        frame->addView(tabs);
    }
    CPoint buttonCentre(int index) const
    {
        return CPoint(kOrigin.h + kTabWidth * index + kTabWidth / 2, kOrigin.v + kTabHeight / 2);
    }
    CPoint pagePoint() const { return CPoint(kOrigin.h + 50, kOrigin.v + 60); }
    // Whether some pixel of the tab button shows exactly colour.
    bool buttonShows(int index, CColor colour) const
    {
        for (int y = kOrigin.v; y < kOrigin.v + kTabHeight; ++y)
            for (int x = kOrigin.h + kTabWidth * index; x < kOrigin.h + kTabWidth * (index + 1);
                 ++x)
                if (at(x, y) == colour)
                    return true;
        return false;
    }
};

TEST(TabViewTest, PageAreaLiesBelowTheButtonRow)
{
    TabFixture f;
    CRect area;
    EXPECT_EQ(f.tabs->getTabViewSize(area), CRect(0, kTabHeight, 180, 110));
}

TEST(TabViewTest, ButtonsSitInARowWithTagsFromTwentyThousand)
{
    TabFixture f;
    ASSERT_EQ(f.tabs->getNbTabs(), 3);
    for (int i = 0; i < 3; ++i) {
        CTabButton* button = f.tabs->getTabButton(i);
        EXPECT_EQ(button->getTag(), 20000 + i);
        EXPECT_EQ(button->getViewSize(), CRect(kTabWidth * i, 0, kTabWidth * (i + 1), kTabHeight));
        EXPECT_TRUE(button->getTransparency());
    }
    EXPECT_EQ(f.tabs->getTabButton(0)->getName(), "SCAN");
}

TEST(TabViewTest, FirstTabIsSelectedAndOnlyItsPageAttached)
{
    TabFixture f;
    EXPECT_EQ(f.tabs->getCurrentTab(), 0);
    EXPECT_TRUE(f.tabs->isChild(f.pages[0]));
    EXPECT_FALSE(f.tabs->isChild(f.pages[1]));
    EXPECT_FALSE(f.tabs->isChild(f.pages[2]));
    EXPECT_EQ(f.tabs->getTabButton(0)->getValue(), 1.0f);
    EXPECT_EQ(f.tabs->getTabButton(1)->getValue(), 0.0f);
}

TEST(TabViewTest, ClickOnATabSwapsThePagesAndKeepsTheOldOne)
{
    TabFixture f;
    f.click(f.buttonCentre(2), kLButton);
    EXPECT_EQ(f.tabs->getCurrentTab(), 2);
    EXPECT_FALSE(f.tabs->isChild(f.pages[0]));
    EXPECT_TRUE(f.tabs->isChild(f.pages[2]));
    EXPECT_FALSE(f.destroyed[0]); // detached, not forgotten
    EXPECT_EQ(f.pages[0]->getNbReference(), 1);
    EXPECT_EQ(f.pages[0]->getParentFrame(), nullptr);
    EXPECT_EQ(f.pages[2]->getParentFrame(), f.frame);
    EXPECT_EQ(f.tabs->getTabButton(0)->getValue(), 0.0f);
    EXPECT_EQ(f.tabs->getTabButton(2)->getValue(), 1.0f);
    // The click's idle redrew the tab view: the new page shows.
    EXPECT_FALSE(f.tabs->isDirty());
    EXPECT_EQ(f.at(f.pagePoint().h, f.pagePoint().v), kPageColors[2]);

    // Back again: the first page returns as it was.
    f.click(f.buttonCentre(0), kLButton);
    EXPECT_TRUE(f.tabs->isChild(f.pages[0]));
    EXPECT_FALSE(f.tabs->isChild(f.pages[2]));
    EXPECT_FALSE(f.destroyed[2]);
}

TEST(TabViewTest, OnlyTheSelectedPageReceivesTheMouse)
{
    TabFixture f;
    f.click(f.pagePoint(), kLButton);
    EXPECT_EQ(f.pages[0]->clicks, 1);
    f.click(f.buttonCentre(1), kLButton);
    f.click(f.pagePoint(), kLButton);
    f.click(f.pagePoint(), kLButton);
    EXPECT_EQ(f.pages[0]->clicks, 1);
    EXPECT_EQ(f.pages[1]->clicks, 2);
    EXPECT_EQ(f.pages[2]->clicks, 0);
}

TEST(TabViewTest, FocusInsideTheOldPageIsReleased)
{
    TabFixture f;
    bool gone = false;
    auto* inner = new CViewContainer(CRect(0, 20, 100, 80), f.frame);
    auto* focused = new Page(CRect(0, 0, 10, 10), gone);
    inner->addView(focused);
    f.tabs->addTab(inner, "x");
    // Selected from code: a click would clear the focus by itself.
    f.tabs->selectTab(3);
    f.frame->setFocusView(focused);
    f.tabs->selectTab(0);
    EXPECT_EQ(f.frame->getFocusView(), nullptr);
    // Focus elsewhere is left alone.
    f.frame->setFocusView(f.tabs->getTabButton(1));
    f.tabs->selectTab(3);
    EXPECT_EQ(f.frame->getFocusView(), f.tabs->getTabButton(1));
}

TEST(TabViewTest, RightClickOrClickOnTheSelectedTabChangesNothing)
{
    TabFixture f;
    f.click(f.buttonCentre(1), kRButton);
    EXPECT_EQ(f.tabs->getCurrentTab(), 0);
    f.click(f.buttonCentre(0), kLButton);
    EXPECT_EQ(f.tabs->getCurrentTab(), 0);
    EXPECT_EQ(f.tabs->getTabButton(0)->getValue(), 1.0f);
}

TEST(TabViewTest, ButtonsDrawTheirHalfAndNameColour)
{
    TabFixture f;
    f.redraw();
    EXPECT_TRUE(f.buttonShows(0, kSelectedLook));
    EXPECT_FALSE(f.buttonShows(0, kUnselectedLook));
    EXPECT_TRUE(f.buttonShows(1, kUnselectedLook));
    EXPECT_FALSE(f.buttonShows(1, kSelectedLook));
    // Names: black on the selected tab, grey (90, 90, 90) on the others.
    EXPECT_TRUE(f.buttonShows(0, kBlackCColor));
    EXPECT_FALSE(f.buttonShows(0, CColor {90, 90, 90, 255}));
    EXPECT_TRUE(f.buttonShows(1, CColor {90, 90, 90, 255}));
    EXPECT_FALSE(f.buttonShows(1, kBlackCColor));
    // The selected page is drawn, the others are not.
    EXPECT_EQ(f.at(f.pagePoint().h, f.pagePoint().v), kPageColors[0]);
}

TEST(TabViewTest, EveryPageDiesWithTheTabView)
{
    bool destroyed[2] = {false, false};
    {
        ControlFixture f;
        CBitmap* bitmap = tabBitmap();
        auto* tabs = new CTabView(CRect(0, 0, 100, 80), f.frame, bitmap);
        bitmap->forget();
        tabs->addTab(new Page(CRect(0, 16, 100, 80), destroyed[0]), "a");
        tabs->addTab(new Page(CRect(0, 16, 100, 80), destroyed[1]), "b");
        EXPECT_FALSE(tabs->addTab(nullptr, "c"));
        f.frame->addView(tabs);
    }
    EXPECT_TRUE(destroyed[0]);
    EXPECT_TRUE(destroyed[1]);
}

} // namespace
