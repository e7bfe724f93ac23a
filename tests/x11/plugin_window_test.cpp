#include "editor/pitch_editor.h"
#include "host/test_host.h"
#include "shell/pitch_effect.h"
#include "toolkit/c_bitmap.h"
#include "toolkit/c_frame.h"
#include "toolkit/offscreen_platform.h"
#include "x11_display.h"

#include <memory>

namespace {

constexpr int kWidth = 820;
constexpr int kHeight = 520;

// What the editor of a fresh instance draws, made offscreen by the same
// toolkit: the whole layout over the background.
std::vector<CColor> offscreenDrawing()
{
    OffscreenPlatform platform;
    auto effect = std::make_unique<PitchEffect>(nullptr);
    auto* editor = new PitchEditor(effect.get(), &platform); // owned by the effect
    editor->open(&platform);
    editor->idle();
    std::vector<CColor> out;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            out.push_back(platform.lastWindow()->pixel(x, y));
    editor->close();
    return out;
}

int differingPixels(const std::vector<CColor>& a, const std::vector<CColor>& b)
{
    if (a.size() != b.size())
        return -1;
    int n = 0;
    for (size_t i = 0; i < a.size(); ++i)
        n += !(a[i] == b[i]);
    return n;
}

class PluginWindowTest : public X11Display {
protected:
    void* handle(Window w) { return reinterpret_cast<void*>(uintptr_t(w)); }
    void idle(AEffect* effect) { TestHost::dispatch(effect, effEditIdle); }
    // Idles the editor until its window shows the expected drawing.
    bool showsEditor(AEffect* effect, Window child)
    {
        static const std::vector<CColor> expected = offscreenDrawing();
        return within([&] { idle(effect); },
            [&] { return differingPixels(grab(child, kWidth, kHeight), expected) == 0; });
    }
};

TEST_F(PluginWindowTest, TheEditorOpensAsAChildOfTheHostWindowAndShowsTheOffscreenPicture)
{
    TestHost host;
    host.timeInfoAvailable = false; // no tempo: the beat grid of the offscreen picture
    ASSERT_TRUE(host.loaded());
    AEffect* effect = host.createInstance();
    ASSERT_NE(effect, nullptr);
    EXPECT_TRUE(effect->flags & effFlagsHasEditor);
    ERect* rect = nullptr;
    ASSERT_EQ(TestHost::dispatch(effect, effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, kHeight);
    EXPECT_EQ(rect->right, kWidth);

    Window hostWindow = makeHostWindow(0, 0, rect->right, rect->bottom);
    ASSERT_EQ(TestHost::dispatch(effect, effEditOpen, 0, 0, handle(hostWindow)), 1);
    std::vector<Window> inside = children(hostWindow);
    ASSERT_EQ(inside.size(), 1u);
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(dpy, inside[0], &attributes));
    EXPECT_EQ(attributes.x, 0);
    EXPECT_EQ(attributes.y, 0);
    EXPECT_EQ(attributes.width, kWidth);
    EXPECT_EQ(attributes.height, kHeight);
    EXPECT_TRUE(showsEditor(effect, inside[0]));

    // Covered and exposed again, the window is painted from the back buffer.
    XClearArea(dpy, inside[0], 0, 0, 0, 0, False);
    XSync(dpy, False);
    XEvent expose {};
    expose.xexpose.type = Expose;
    expose.xexpose.window = inside[0];
    expose.xexpose.width = kWidth;
    expose.xexpose.height = kHeight;
    XSendEvent(dpy, inside[0], False, ExposureMask, &expose);
    EXPECT_TRUE(showsEditor(effect, inside[0]));

    TestHost::dispatch(effect, effEditClose);
    EXPECT_TRUE(children(hostWindow).empty());
    host.closeInstance(effect);
}

TEST_F(PluginWindowTest, OpeningAgainReplacesTheWindowAndABadWindowFailsTheOpen)
{
    TestHost host;
    host.timeInfoAvailable = false; // no tempo: the beat grid of the offscreen picture
    AEffect* effect = host.createInstance();
    ASSERT_NE(effect, nullptr);
    Window hostWindow = makeHostWindow(0, 0, kWidth, kHeight);
    ASSERT_EQ(TestHost::dispatch(effect, effEditOpen, 0, 0, handle(hostWindow)), 1);
    ASSERT_EQ(children(hostWindow).size(), 1u);
    // The old frame goes first: never two windows (a new connection may
    // reuse the old window's id, so ids prove nothing).
    ASSERT_EQ(TestHost::dispatch(effect, effEditOpen, 0, 0, handle(hostWindow)), 1);
    std::vector<Window> inside = children(hostWindow);
    ASSERT_EQ(inside.size(), 1u);
    EXPECT_TRUE(showsEditor(effect, inside[0]));

    // A window id that names nothing must not end the host.
    EXPECT_EQ(TestHost::dispatch(effect, effEditOpen, 0, 0, handle(Window(0x7ffffff0))), 0);
    EXPECT_EQ(TestHost::dispatch(effect, effEditOpen, 0, 0, nullptr), 0);
    EXPECT_TRUE(children(hostWindow).empty());
    idle(effect); // closed: nothing happens
    host.closeInstance(effect);
}

TEST_F(PluginWindowTest, TwoInstancesInTwoHostWindowsWorkIndependently)
{
    TestHost host;
    host.timeInfoAvailable = false; // no tempo: the beat grid of the offscreen picture
    AEffect* one = host.createInstance();
    AEffect* two = host.createInstance();
    ASSERT_TRUE(one && two);
    // Both fit on a 1280 x 1024 screen; the second covers a corner of the
    // first, so the first is checked before the second appears.
    Window firstHost = makeHostWindow(0, 0, kWidth, kHeight);
    ASSERT_EQ(TestHost::dispatch(one, effEditOpen, 0, 0, handle(firstHost)), 1);
    Window firstChild = children(firstHost).at(0);
    EXPECT_TRUE(showsEditor(one, firstChild));
    Window secondHost = makeHostWindow(440, 500, kWidth, kHeight);
    ASSERT_EQ(TestHost::dispatch(two, effEditOpen, 0, 0, handle(secondHost)), 1);
    Window secondChild = children(secondHost).at(0);
    EXPECT_TRUE(showsEditor(two, secondChild));
    idle(one); // the first keeps running beside it

    TestHost::dispatch(one, effEditClose);
    EXPECT_TRUE(children(firstHost).empty());
    ASSERT_EQ(children(secondHost).size(), 1u);
    EXPECT_TRUE(isViewable(secondChild));
    // The second still serves its window: wiped, it comes back on expose.
    XClearArea(dpy, secondChild, 0, 0, 0, 0, True);
    EXPECT_TRUE(showsEditor(two, secondChild));

    // Closing the instance with its editor open takes the window along.
    host.closeInstance(two);
    EXPECT_TRUE(children(secondHost).empty());
    host.closeInstance(one);
}

// A host that destroys its window before effEditClose, idling the editor in
// between or not, and idling it after the close: every X call on the gone
// windows is caught, the editor closes quietly, and the next open works.
TEST_F(PluginWindowTest, AHostWindowDestroyedFirstClosesTheEditorQuietly)
{
    TestHost host;
    host.timeInfoAvailable = false; // no tempo: the beat grid of the offscreen picture
    AEffect* effect = host.createInstance();
    ASSERT_NE(effect, nullptr);
    for (bool idleBeforeClose : {true, false}) {
        Window doomed = makeHostWindow(0, 0, kWidth, kHeight);
        ASSERT_EQ(TestHost::dispatch(effect, effEditOpen, 0, 0, handle(doomed)), 1);
        Window child = children(doomed).at(0);
        ASSERT_TRUE(showsEditor(effect, child));
        XDestroyWindow(dpy, doomed);
        XSync(dpy, False);
        std::erase(hostWindows, doomed);
        if (idleBeforeClose)
            for (int pass = 0; pass < 3; ++pass)
                idle(effect);
        TestHost::dispatch(effect, effEditClose);
        idle(effect);

        Window next = makeHostWindow(0, 0, kWidth, kHeight);
        ASSERT_EQ(TestHost::dispatch(effect, effEditOpen, 0, 0, handle(next)), 1);
        const std::vector<Window> inside = children(next);
        ASSERT_EQ(inside.size(), 1u);
        EXPECT_TRUE(showsEditor(effect, inside[0]))
            << (idleBeforeClose ? "idled" : "closed at once");
        TestHost::dispatch(effect, effEditClose);
    }
    host.closeInstance(effect);
}

} // namespace
