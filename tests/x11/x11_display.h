// What the X11 tests share: a connection of the test's own, host windows,
// the child windows of a host window, and pixels read back with XGetImage.
#pragma once

// GoogleTest before Xlib: Xlib's macros (None, Bool, ...) break its templates.
#include <gtest/gtest.h>

// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on

#include "toolkit/c_color.h"

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

// Input as a second client plays it, on a connection of its own (the thread
// that idles the editor sits in its modal loops meanwhile).
inline void movePointer(Display* display, int x, int y)
{
    XTestFakeMotionEvent(display, -1, x, y, 0);
    XSync(display, False);
}

inline void pressButton(Display* display, int button = 1)
{
    XTestFakeButtonEvent(display, unsigned(button), True, 0);
    XSync(display, False);
}

inline void releaseButton(Display* display, int button = 1)
{
    XTestFakeButtonEvent(display, unsigned(button), False, 0);
    XSync(display, False);
}

inline void clickAt(Display* display, int x, int y)
{
    XTestFakeMotionEvent(display, -1, x, y, 0);
    XTestFakeButtonEvent(display, 1, True, 0);
    XTestFakeButtonEvent(display, 1, False, 0);
    XSync(display, False);
}

inline void pressKey(Display* display, KeySym sym)
{
    const KeyCode code = XKeysymToKeycode(display, sym);
    XTestFakeKeyEvent(display, code, True, 0);
    XTestFakeKeyEvent(display, code, False, 0);
    XSync(display, False);
}

struct PopupGeometry {
    int x = 0, y = 0, width = 0, height = 0; // the inside, on the root window
    int outerX = 0, outerY = 0; // the window's corner, border included
};

// The mapped override-redirect child of the root window (a popup menu), or 0,
// with its geometry when asked. The server is grabbed meanwhile: another
// client's popup that closes between the queries would otherwise make them
// fail with BadWindow, which ends the program.
inline Window findPopup(Display* display, PopupGeometry* geometry = nullptr)
{
    XGrabServer(display);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    XWindowAttributes attributes {};
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes candidate;
            if (XGetWindowAttributes(display, children[i], &candidate)
                && candidate.override_redirect && candidate.map_state == IsViewable) {
                found = children[i];
                attributes = candidate;
            }
        }
        if (children)
            XFree(children);
    }
    if (found && geometry) {
        Window child = 0;
        XTranslateCoordinates(
            display, found, DefaultRootWindow(display), 0, 0, &geometry->x, &geometry->y, &child);
        geometry->outerX = attributes.x;
        geometry->outerY = attributes.y;
        geometry->width = attributes.width;
        geometry->height = attributes.height;
    }
    XUngrabServer(display);
    XSync(display, False);
    return found;
}

// Whether the popup has painted its entries over the black it is created
// with. A popup paints only once it holds the pointer and the keyboard, so a
// key sent before that would go elsewhere and leave the popup waiting.
inline bool popupPainted(Display* display, Window popup)
{
    XGrabServer(display);
    XWindowAttributes attributes {};
    bool painted = false;
    if (XGetWindowAttributes(display, popup, &attributes) && attributes.map_state == IsViewable) {
        if (XImage* image = XGetImage(display, popup, 1, 1, 1, 1, AllPlanes, ZPixmap)) {
            painted = XGetPixel(image, 0, 0) != BlackPixel(display, DefaultScreen(display));
            XDestroyImage(image);
        }
    }
    XUngrabServer(display);
    XSync(display, False);
    return painted;
}

// Waits for a popup to appear and paint itself; its geometry on the root window.
inline bool waitForPopup(Display* display, PopupGeometry& geometry,
    std::chrono::milliseconds patience = std::chrono::seconds(5))
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Window popup = findPopup(display, &geometry); popup && popupPainted(display, popup))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class X11Display : public ::testing::Test {
protected:
    void SetUp() override
    {
        // An X server resets when its last client leaves, and refuses
        // connections meanwhile: one connection stays open for the whole run.
        static Display* keeper = openDisplay();
        (void)keeper;
        dpy = openDisplay();
        ASSERT_NE(dpy, nullptr) << "no X display (run under xvfb-run)";
        int event, error, major, minor;
        ASSERT_TRUE(XTestQueryExtension(dpy, &event, &error, &major, &minor));
    }
    void TearDown() override
    {
        if (!dpy)
            return;
        for (Window w : hostWindows)
            XDestroyWindow(dpy, w);
        XCloseDisplay(dpy);
    }

    static Display* openDisplay()
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (Display* display = XOpenDisplay(nullptr))
                return display;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return nullptr;
    }

    // A mapped top-level window as a host gives its plug-ins, filled white.
    Window makeHostWindow(int x, int y, int width, int height)
    {
        int screen = DefaultScreen(dpy);
        Window w = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), x, y, unsigned(width),
            unsigned(height), 0, BlackPixel(dpy, screen), WhitePixel(dpy, screen));
        XMapWindow(dpy, w);
        XSync(dpy, False);
        hostWindows.push_back(w);
        return w;
    }

    std::vector<Window> children(Window parent)
    {
        XSync(dpy, False);
        Window root, up;
        Window* list = nullptr;
        unsigned int count = 0;
        std::vector<Window> out;
        if (XQueryTree(dpy, parent, &root, &up, &list, &count)) {
            out.assign(list, list + count);
            if (list)
                XFree(list);
        }
        return out;
    }

    bool isViewable(Window w)
    {
        XWindowAttributes attributes;
        return XGetWindowAttributes(dpy, w, &attributes) && attributes.map_state == IsViewable;
    }

    // The window's pixels as colours, row by row.
    std::vector<CColor> grab(Window w, int width, int height)
    {
        XSync(dpy, False);
        std::vector<CColor> out;
        XImage* image
            = XGetImage(dpy, w, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
        if (!image)
            return out;
        out.reserve(size_t(width) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                unsigned long p = XGetPixel(image, x, y);
                out.push_back(CColor {uint8_t((p & image->red_mask) >> 16),
                    uint8_t((p & image->green_mask) >> 8), uint8_t(p & image->blue_mask), 255});
            }
        XDestroyImage(image);
        return out;
    }

    // A click of the left button at screen position (x, y), through XTest.
    void click(int x, int y)
    {
        XTestFakeMotionEvent(dpy, DefaultScreen(dpy), x, y, CurrentTime);
        XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
        XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
        XSync(dpy, False);
    }

    // Repeats step until done or two seconds have passed.
    static bool within(const std::function<void()>& step, const std::function<bool()>& done)
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < until) {
            step();
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    Display* dpy = nullptr;
    std::vector<Window> hostWindows;
};
