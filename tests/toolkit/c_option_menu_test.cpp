#include "control_fixture.h"
#include "toolkit/c_option_menu.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace {

constexpr CRect kMenuSize {20, 30, 110, 46};

struct MenuFixture : ControlFixture {
    RecordingListener listener;
    EditCounting<COptionMenu>* menu;

    explicit MenuFixture(int style = kCheckStyle | k3DIn)
    {
        menu = new EditCounting<COptionMenu>(kMenuSize, &listener, 12, nullptr, nullptr, style);
        menu->setFont(4);
        for (const char* text : {"Auto mode", "Force scan", "Live intonation"})
            menu->addEntry(text);
        menu->setCurrent(0);
        frame->addView(menu);
    }
    CPoint inside() const { return CPoint(kMenuSize.left + 5, kMenuSize.top + 5); }
    ScriptedPopupMenus& popups() { return platform.menus; }
};

TEST(OptionMenuTest, ValueOutsideTheEntriesIsIgnored)
{
    MenuFixture f;
    f.menu->setValue(1.0f);
    EXPECT_EQ(f.menu->getValue(), 1.0f);
    for (float bad : {-1.0f, -0.5f, 3.0f, 1000.0f, std::nanf(""), INFINITY}) {
        f.menu->setValue(bad);
        EXPECT_EQ(f.menu->getValue(), 1.0f) << bad;
        EXPECT_EQ(f.menu->getCurrent(), 1) << bad;
    }
    f.menu->setValue(2.9f); // truncated to the entry it lies in
    EXPECT_EQ(f.menu->getCurrent(), 2);
    EXPECT_EQ(f.menu->getValue(), 2.0f);
}

TEST(OptionMenuTest, EntryAfterTheThousandTwentyFourthIsRefused)
{
    ControlFixture f;
    auto* menu = new COptionMenu(kMenuSize, nullptr, 0);
    f.frame->addView(menu);
    for (int i = 0; i < COptionMenu::kMaxEntries; ++i)
        ASSERT_TRUE(menu->addEntry(std::to_string(i).c_str()));
    EXPECT_FALSE(menu->addEntry("one too many"));
    EXPECT_FALSE(menu->addEntry("nor inserted", 0));
    EXPECT_EQ(menu->getNbEntries(), 1024);
    EXPECT_STREQ(menu->getEntry(1023), "1023");
    EXPECT_STREQ(menu->getEntry(0), "0");
    EXPECT_FALSE(menu->addEntry(nullptr));
}

TEST(OptionMenuTest, LongTextsAreCutAt255Characters)
{
    ControlFixture f;
    auto* menu = new COptionMenu(kMenuSize, nullptr, 0);
    f.frame->addView(menu);
    const std::string longText(400, 'x');
    ASSERT_TRUE(menu->addEntry(longText.c_str()));
    EXPECT_EQ(std::string(menu->getEntry(0)), std::string(255, 'x'));
}

TEST(OptionMenuTest, InsertingKeepsTheCurrentEntry)
{
    MenuFixture f;
    f.menu->setCurrent(1); // "Force scan"
    ASSERT_TRUE(f.menu->addEntry("first", 0));
    EXPECT_STREQ(f.menu->getEntry(0), "first");
    EXPECT_STREQ(f.menu->getEntry(f.menu->getCurrent()), "Force scan");
    ASSERT_TRUE(f.menu->addEntry("last", f.menu->getNbEntries()));
    EXPECT_STREQ(f.menu->getEntry(4), "last");
    ASSERT_TRUE(f.menu->addEntry("appended", 99)); // beyond the end: appended
    EXPECT_STREQ(f.menu->getEntry(5), "appended");
    EXPECT_EQ(f.menu->getEntry(6), nullptr);
    EXPECT_EQ(f.menu->getEntry(-1), nullptr);
}

TEST(OptionMenuTest, RemoveAllLeavesNoCurrentEntry)
{
    MenuFixture f;
    f.menu->setCurrent(2);
    f.menu->removeAllEntry();
    EXPECT_EQ(f.menu->getNbEntries(), 0);
    EXPECT_EQ(f.menu->getCurrent(), -1);
    EXPECT_EQ(f.menu->getValue(), -1.0f);
    f.menu->setValue(0.0f);
    EXPECT_EQ(f.menu->getCurrent(), -1);
    EXPECT_FALSE(f.menu->setCurrent(0));
    // A click on an empty menu shows nothing.
    f.click(f.inside(), kLButton);
    EXPECT_EQ(f.popups().shown, 0);
    EXPECT_TRUE(f.listener.changes.empty());
}

TEST(OptionMenuTest, SetCurrentMarksTheMenuDirty)
{
    MenuFixture f;
    f.redraw();
    EXPECT_FALSE(f.menu->isDirty());
    EXPECT_TRUE(f.menu->setCurrent(2, true));
    EXPECT_TRUE(f.menu->isDirty());
    EXPECT_EQ(f.menu->getValue(), 2.0f);
}

TEST(OptionMenuTest, ChoiceSetsTheValueThenTellsTheListener)
{
    MenuFixture f;
    f.popups().choices.push_back(2);
    f.click(f.inside(), kLButton);
    EXPECT_EQ(f.popups().shown, 1);
    ASSERT_EQ(f.listener.changes.size(), 1u);
    EXPECT_EQ(f.listener.changes[0], std::make_pair(12L, 2.0f));
    EXPECT_EQ(f.menu->getCurrent(), 2);
    EXPECT_EQ(f.menu->begins, 1);
    EXPECT_EQ(f.menu->ends, 1);
}

TEST(OptionMenuTest, PopupListsTheEntriesWithTheCheckAtTheCurrentOne)
{
    MenuFixture f;
    f.menu->setCurrent(1);
    f.click(f.inside(), kRButton); // the right button opens it too
    ASSERT_EQ(f.popups().shown, 1);
    const auto& items = f.popups().lastItems;
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].text, "Auto mode");
    EXPECT_EQ(items[2].text, "Live intonation");
    EXPECT_FALSE(items[0].checked);
    EXPECT_TRUE(items[1].checked);
    EXPECT_FALSE(items[2].checked);
    EXPECT_EQ(items[1].fontId, 4);
}

TEST(OptionMenuTest, WithoutCheckStyleNoEntryIsChecked)
{
    MenuFixture f(k3DIn);
    f.click(f.inside(), kLButton);
    for (const PopupMenuItem& item : f.popups().lastItems)
        EXPECT_FALSE(item.checked);
}

TEST(OptionMenuTest, PopupOpensBelowTheControlOrOverItWithPopupStyle)
{
    MenuFixture below;
    below.click(below.inside(), kLButton);
    EXPECT_EQ(below.popups().lastWhere, CPoint(kMenuSize.left, kMenuSize.bottom));

    MenuFixture over(kPopupStyle);
    over.click(over.inside(), kLButton);
    EXPECT_EQ(over.popups().lastWhere, CPoint(kMenuSize.left, kMenuSize.top));
}

TEST(OptionMenuTest, PopupPositionIsInWindowPixelsInsideContainers)
{
    ControlFixture f;
    auto* box = new CViewContainer(CRect(30, 40, 180, 110), f.frame);
    f.frame->addView(box);
    auto* menu = new COptionMenu(CRect(5, 6, 50, 20), nullptr, 3);
    menu->addEntry("only");
    box->addView(menu);
    f.click(CPoint(30 + 10, 40 + 10), kLButton);
    ASSERT_EQ(f.platform.menus.shown, 1);
    EXPECT_EQ(f.platform.menus.lastWhere, CPoint(35, 60));
}

TEST(OptionMenuTest, CancelCallsNothingAndEndsTheGesture)
{
    MenuFixture f;
    f.click(f.inside(), kLButton); // no scripted choice: cancelled
    EXPECT_EQ(f.popups().shown, 1);
    EXPECT_TRUE(f.listener.changes.empty());
    EXPECT_EQ(f.menu->getCurrent(), 0);
    EXPECT_EQ(f.menu->begins, 1);
    EXPECT_EQ(f.menu->ends, 1);
}

TEST(OptionMenuTest, ModifierClickGoesToTheListenerFirst)
{
    MenuFixture f;
    f.listener.modifierAnswer = 1;
    f.click(f.inside(), kLButton | kShift);
    EXPECT_EQ(f.listener.modifierClicks, std::vector<long> {kLButton | kShift});
    EXPECT_EQ(f.popups().shown, 0);
    EXPECT_EQ(f.menu->begins, 0);

    // A listener that declines lets the popup open.
    f.listener.modifierAnswer = 0;
    f.click(f.inside(), kLButton | kAlt);
    EXPECT_EQ(f.popups().shown, 1);
}

TEST(OptionMenuTest, MiddleButtonAndDisabledMenuOpenNothing)
{
    MenuFixture f;
    f.click(f.inside(), kMButton);
    EXPECT_EQ(f.popups().shown, 0);
    f.menu->setMouseEnabled(false);
    f.click(f.inside(), kLButton);
    EXPECT_EQ(f.popups().shown, 0);
}

TEST(OptionMenuTest, TakeFocusPopsUpFromCodeWithoutAnEditGesture)
{
    MenuFixture f;
    f.popups().choices.push_back(1);
    CDrawContext* context = f.frame->createDrawContext();
    f.menu->takeFocus(context);
    context->forget();
    EXPECT_EQ(f.popups().shown, 1);
    EXPECT_EQ(f.listener.changes, (std::vector<std::pair<long, float>> {{12, 1.0f}}));
    EXPECT_EQ(f.menu->begins, 0);
    EXPECT_EQ(f.menu->ends, 0);
}

TEST(OptionMenuTest, FocusIsReleasedAfterThePopup)
{
    MenuFixture f;
    f.frame->setFocusView(f.menu);
    CDrawContext* context = f.frame->createDrawContext();
    f.menu->takeFocus(context);
    context->forget();
    EXPECT_EQ(f.frame->getFocusView(), nullptr);
}

} // namespace
