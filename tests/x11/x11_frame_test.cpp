#include "toolkit/c_draw_context.h"
#include "toolkit/c_frame.h"
#include "toolkit/x11/x11_platform.h"
#include "toolkit/x11/x11_save_dialog.h"
#include "x11_display.h"

#include <X11/keysym.h>
#include <string>

namespace {

// Fills its size and records its clicks; optionally runs a tracking loop.
class ClickView : public CView {
public:
    ClickView(const CRect& size, CColor color)
        : CView(size)
        , color(color)
    {
    }
    void draw(CDrawContext* context) override
    {
        context->setFillColor(color);
        context->fillRect(size);
    }
    void mouse(CDrawContext* context, CPoint& where, long buttons) override
    {
        ++clicks;
        lastWhere = where;
        lastButtons = buttons;
        if (!track)
            return;
        while (context->getMouseButtons() & kLButton) {
            ++passes;
            if (duringLoop)
                duringLoop(passes);
            getParentFrame()->doIdleStuff();
        }
    }
    CColor color;
    int clicks = 0;
    int passes = 0;
    CPoint lastWhere;
    long lastButtons = 0;
    bool track = false;
    std::function<void(int)> duringLoop;
};

class X11FrameTest : public X11Display {
protected:
    void SetUp() override
    {
        X11Display::SetUp();
        ASSERT_NE(dpy, nullptr);
        hostWindow = makeHostWindow(100, 100, 200, 100);
        frame = new CFrame(CRect(0, 0, 200, 100), reinterpret_cast<void*>(uintptr_t(hostWindow)),
            nullptr, x11Platform());
        ASSERT_TRUE(frame->isOpen());
        left = new ClickView(CRect(10, 10, 60, 60), kRedCColor);
        right = new ClickView(CRect(100, 10, 150, 60), kGreenCColor);
        frame->addView(left);
        frame->addView(right);
        ASSERT_TRUE(within([&] { frame->idle(); }, [&] { return frame->isPainted(); }));
    }
    void TearDown() override
    {
        if (frame)
            frame->forget();
        X11Display::TearDown();
    }
    // Screen position of a point of the frame (the host window sits at 100, 100).
    int screenX(int x) { return 100 + x; }
    int screenY(int y) { return 100 + y; }

    Window hostWindow = 0;
    CFrame* frame = nullptr;
    ClickView* left = nullptr;
    ClickView* right = nullptr;
};

TEST_F(X11FrameTest, AnInjectedClickReachesTheViewUnderIt)
{
    click(screenX(30), screenY(25));
    ASSERT_TRUE(within([&] { frame->idle(); }, [&] { return left->clicks > 0; }));
    EXPECT_EQ(left->clicks, 1);
    EXPECT_EQ(right->clicks, 0);
    EXPECT_EQ(left->lastWhere, CPoint(30, 25));
    EXPECT_EQ(left->lastButtons, kLButton);
    click(screenX(120), screenY(50));
    ASSERT_TRUE(within([&] { frame->idle(); }, [&] { return right->clicks > 0; }));
    EXPECT_EQ(left->clicks, 1);
    // The window shows the views: red and green where they are.
    std::vector<CColor> pixels = grab(children(hostWindow).at(0), 200, 100);
    EXPECT_EQ(pixels[25 * 200 + 30], kRedCColor);
    EXPECT_EQ(pixels[25 * 200 + 120], kGreenCColor);
}

TEST_F(X11FrameTest, ATrackingLoopSeesTheLiveButtonStateAndItsQueuedInputIsDropped)
{
    left->track = true;
    left->duringLoop = [&](int pass) {
        if (pass == 3) {
            // Meanwhile the user clicks the other view, then lets go of the drag.
            XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
            click(screenX(120), screenY(30));
            XSync(dpy, False);
        }
    };
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), screenX(20), screenY(20), CurrentTime);
    XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
    XSync(dpy, False);
    ASSERT_TRUE(within([&] { frame->idle(); }, [&] { return left->clicks > 0; }));
    EXPECT_GE(left->passes, 3);
    EXPECT_LE(left->passes, 4);
    for (int i = 0; i < 20; ++i)
        frame->idle();
    EXPECT_EQ(right->clicks, 0);
    // Input after the loop is handled again.
    click(screenX(120), screenY(30));
    EXPECT_TRUE(within([&] { frame->idle(); }, [&] { return right->clicks == 1; }));
}

TEST_F(X11FrameTest, ThePointerPositionIsReadInFrameCoordinates)
{
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), screenX(77), screenY(33), CurrentTime);
    XSync(dpy, False);
    EXPECT_TRUE(within([] {}, [&] { return frame->getMousePosition() == CPoint(77, 33); }));
    EXPECT_EQ(frame->getCurrentMouseButtons() & kLButton, 0);
    CPoint local;
    left->getMouseLocation(nullptr, local);
    EXPECT_EQ(local, CPoint(77, 33)); // frame children: frame coordinates
}

TEST_F(X11FrameTest, APopupMenuReturnsTheClickedEntryAndEscapeCancels)
{
    std::vector<PopupMenuItem> items
        = {{"Auto mode", true}, {"Force scan", false}, {"Live intonation", false}};
    PlatformWindow& window = *frame->getPlatformWindow();
    int shownAt = 0;
    int choice = x11Platform().popupMenus().run(window, CPoint(10, 20), items, [&] {
        if (++shownAt == 3)
            click(screenX(10) + 30, screenY(20) + 18 + 9); // the second row
    });
    EXPECT_EQ(choice, 1);

    int calls = 0;
    choice = x11Platform().popupMenus().run(window, CPoint(10, 20), items, [&] {
        if (++calls == 3) {
            KeyCode escape = XKeysymToKeycode(dpy, XK_Escape);
            XTestFakeKeyEvent(dpy, escape, True, CurrentTime);
            XTestFakeKeyEvent(dpy, escape, False, CurrentTime);
            XSync(dpy, False);
        }
    });
    EXPECT_EQ(choice, -1);

    calls = 0;
    choice = x11Platform().popupMenus().run(window, CPoint(10, 20), items, [&] {
        if (++calls == 3)
            click(screenX(190), screenY(95)); // outside the menu
    });
    EXPECT_EQ(choice, -1);
}

// Types text into whatever has the keyboard focus.
void typeText(Display* dpy, const std::string& text)
{
    for (char c : text) {
        KeySym sym = c == '/' ? XK_slash : c == '.' ? XK_period : KeySym(c);
        KeyCode code = XKeysymToKeycode(dpy, sym);
        XTestFakeKeyEvent(dpy, code, True, CurrentTime);
        XTestFakeKeyEvent(dpy, code, False, CurrentTime);
    }
    XSync(dpy, False);
}

// Our own save dialog, once it is on the screen with the keyboard focus.
bool dialogShown(Display* dpy)
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    Window root, parent;
    Window* list = nullptr;
    unsigned int count = 0;
    bool found = false;
    XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &list, &count);
    for (unsigned int i = 0; i < count && !found; ++i) {
        XClassHint hint {};
        XWindowAttributes attributes;
        if (XGetClassHint(dpy, list[i], &hint)) {
            found = std::string(hint.res_class) == kSaveDialogClass && focus == list[i]
                && XGetWindowAttributes(dpy, list[i], &attributes)
                && attributes.map_state == IsViewable;
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
    }
    if (list)
        XFree(list);
    return found;
}

TEST_F(X11FrameTest, TheOwnSaveDialogTakesTypedTextAndEnterOrEscape)
{
    X11SaveDialog dialog;
    SaveDialogRequest request;
    request.title = "Render to file";
    request.initialPath = "/tmp/take";
    request.filters = {{"Wave File (.wav)", "*.wav"}};
    request.defaultExtension = "wav";
    int step = 0;
    std::string path;
    bool saved = dialog.run(request, path, [&] {
        if (step == 0 && dialogShown(dpy)) {
            ++step;
            pressKey(dpy, XK_BackSpace);
            typeText(dpy, "e2");
            pressKey(dpy, XK_Return);
        }
    });
    EXPECT_TRUE(saved);
    EXPECT_EQ(path,
        "/tmp/tak"
        "e2.wav"); // the extension added, as none was typed

    step = 0;
    path.clear();
    saved = dialog.run(request, path, [&] {
        if (step == 0 && dialogShown(dpy)) {
            ++step;
            pressKey(dpy, XK_Escape);
        }
    });
    EXPECT_FALSE(saved);
    EXPECT_TRUE(path.empty());
}

} // namespace
