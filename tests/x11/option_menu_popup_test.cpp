// A real popup menu under an X server: a host window with the frame inside,
// a click injected with XTest on the menu, and a second client that plays the
// user on the popup while the menu's modal loop runs.
#include "toolkit/c_control_listener.h"
#include "toolkit/c_draw_context.h"
#include "toolkit/c_frame.h"
#include "toolkit/c_option_menu.h"
#include "toolkit/c_slider.h"
#include "toolkit/x11/x11_platform.h"
#include "x11/x11_display.h"

#include <atomic>
#include <chrono>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(5);
constexpr CRect kMenuSize {20, 30, 110, 46};
constexpr long kMenuTag = 12;

struct Listener : CControlListener {
    std::vector<std::pair<long, float>> changes;
    void valueChanged(CDrawContext*, CControl* control) override
    {
        changes.emplace_back(control->getTag(), control->getValue());
    }
};

// A host window on the test's own connection with a frame of the plug-in's
// platform inside it, holding an option menu and a slider.
class X11MenuTest : public X11Display {
protected:
    void SetUp() override
    {
        X11Display::SetUp();
        ASSERT_NE(dpy, nullptr);
        host = makeHostWindow(0, 0, 320, 240);
        frame = new CFrame(
            CRect(0, 0, 300, 200), reinterpret_cast<void*>(host), nullptr, x11Platform());
        ASSERT_TRUE(frame->isOpen());
        menu = new COptionMenu(
            kMenuSize, &listener, kMenuTag, nullptr, nullptr, kCheckStyle | k3DIn);
        menu->setFont(4);
        for (const char* text : {"Auto mode", "Force scan", "Live intonation"})
            menu->addEntry(text);
        menu->setCurrent(0);
        frame->addView(menu);
        idleUntil([&] { return frame->isPainted(); });
        ASSERT_TRUE(frame->isPainted());
    }
    void TearDown() override
    {
        if (frame)
            frame->forget();
        X11Display::TearDown();
    }

    // Where the host window's point (x, y) lies on the screen.
    CPoint onScreen(int x, int y)
    {
        CPoint point;
        Window child = 0;
        XTranslateCoordinates(dpy, host, DefaultRootWindow(dpy), x, y, &point.h, &point.v, &child);
        return point;
    }

    template <typename Done> void idleUntil(Done done)
    {
        const auto deadline = Clock::now() + kPatience;
        while (!done() && Clock::now() < deadline) {
            frame->idle();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // Clicks the menu; user runs on another connection once the popup shows,
    // while this thread sits in the menu's modal loop.
    void clickMenuWhile(const std::function<void(Display*, const PopupGeometry&)>& user)
    {
        std::atomic<bool> finished {false};
        std::thread player([&] {
            Display* other = XOpenDisplay(nullptr);
            PopupGeometry geometry;
            if (waitForPopup(other, geometry))
                user(other, geometry);
            else
                pressKey(other, XK_Escape); // never leave a loop waiting
            XCloseDisplay(other);
            finished = true;
        });
        const CPoint target = onScreen(kMenuSize.left + 10, kMenuSize.top + 8);
        click(target.h, target.v);
        idleUntil([&] { return finished.load(); });
        player.join();
        frame->idle();
    }

    Window host = 0;
    CFrame* frame = nullptr;
    COptionMenu* menu = nullptr;
    Listener listener;
};

TEST_F(X11MenuTest, ClickedEntryReachesTheListener)
{
    PopupGeometry seen;
    clickMenuWhile([&](Display* user, const PopupGeometry& popup) {
        seen = popup;
        // Entries are equal rows: the third one's middle.
        const int row = popup.height / 3;
        clickAt(user, popup.x + popup.width / 2, popup.y + 2 * row + row / 2);
    });
    ASSERT_EQ(listener.changes.size(), 1u);
    EXPECT_EQ(listener.changes[0], std::make_pair(kMenuTag, 2.0f));
    EXPECT_EQ(menu->getCurrent(), 2);
    // The popup opened at the menu's bottom-left corner and is gone again.
    const CPoint corner = onScreen(kMenuSize.left, kMenuSize.bottom);
    EXPECT_EQ(seen.outerX, corner.h);
    EXPECT_EQ(seen.outerY, corner.v);
    EXPECT_EQ(findPopup(dpy), Window(0));
}

TEST_F(X11MenuTest, TakeFocusRunsThePopupFromCode)
{
    std::atomic<bool> finished {false};
    std::thread player([&] {
        Display* other = XOpenDisplay(nullptr);
        PopupGeometry popup;
        if (waitForPopup(other, popup)) {
            const int row = popup.height / 3;
            clickAt(other, popup.x + popup.width / 2, popup.y + row / 2);
        } else {
            pressKey(other, XK_Escape);
        }
        XCloseDisplay(other);
        finished = true;
    });
    menu->setCurrent(2);
    CDrawContext* context = frame->createDrawContext();
    menu->takeFocus(context); // returns once the player has chosen
    context->forget();
    player.join();
    ASSERT_EQ(listener.changes.size(), 1u);
    EXPECT_EQ(listener.changes[0], std::make_pair(kMenuTag, 0.0f));
    EXPECT_TRUE(finished);
}

TEST_F(X11MenuTest, EscapeCancelsWithoutACall)
{
    bool shown = false;
    clickMenuWhile([&](Display* user, const PopupGeometry&) {
        shown = true;
        pressKey(user, XK_Escape);
    });
    EXPECT_TRUE(shown);
    EXPECT_TRUE(listener.changes.empty());
    EXPECT_EQ(menu->getCurrent(), 0);
    EXPECT_EQ(findPopup(dpy), Window(0));
}

TEST_F(X11MenuTest, ArrowKeysAndEnterChoose)
{
    clickMenuWhile([&](Display* user, const PopupGeometry&) {
        // Nothing is highlighted at first: down goes to the first entry.
        pressKey(user, XK_Down);
        pressKey(user, XK_Down);
        pressKey(user, XK_Return);
    });
    ASSERT_EQ(listener.changes.size(), 1u);
    EXPECT_EQ(listener.changes[0], std::make_pair(kMenuTag, 1.0f));
}

TEST_F(X11MenuTest, UpFromNothingHighlightedGoesToTheLastEntry)
{
    clickMenuWhile([&](Display* user, const PopupGeometry&) {
        pressKey(user, XK_Up);
        pressKey(user, XK_Return);
    });
    ASSERT_EQ(listener.changes.size(), 1u);
    EXPECT_EQ(listener.changes[0], std::make_pair(kMenuTag, 2.0f));
}

TEST_F(X11MenuTest, EntriesAreShownInTheMenusFont)
{
    auto popupHeight = [&] {
        PopupGeometry seen;
        clickMenuWhile([&](Display* user, const PopupGeometry& popup) {
            seen = popup;
            pressKey(user, XK_Escape);
        });
        return seen.height;
    };
    const int small = popupHeight(); // font 4, 11 pixels
    menu->setFont(kNormalFontVeryBig); // 18 pixels
    const int big = popupHeight();
    EXPECT_GT(small, 0);
    EXPECT_EQ(big - small, 3 * (18 - 11)); // three rows, each 7 pixels taller
}

TEST_F(X11MenuTest, ClickOutsideCancels)
{
    clickMenuWhile([&](Display* user, const PopupGeometry& popup) {
        clickAt(user, popup.x + popup.width + 40, popup.y + popup.height + 40);
    });
    EXPECT_TRUE(listener.changes.empty());
    EXPECT_EQ(findPopup(dpy), Window(0));
}

TEST_F(X11MenuTest, SliderTakesArrowKeysFromTheWindowAfterAClick)
{
    auto* slider = new CSlider(
        CRect(20, 100, 132, 115), &listener, 28, 22, 121, nullptr, nullptr, CPoint(0, 0), kLeft);
    frame->addView(slider);
    const CPoint leftEnd = onScreen(20, 107);
    click(leftEnd.h, leftEnd.v); // the left end: value 0, and the focus
    idleUntil([&] { return frame->getFocusView() == slider; });
    ASSERT_EQ(frame->getFocusView(), slider);
    // The pointer rests over the frame's window, which has the keyboard.
    pressKey(dpy, XK_Right);
    idleUntil([&] { return slider->getValue() > 0.0f; });
    EXPECT_FLOAT_EQ(slider->getValue(), 0.1f);
}

} // namespace
