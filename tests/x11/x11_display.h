// What the X11 tests share: a connection of the test's own, host windows,
// the child windows of a host window, and pixels read back with XGetImage.
#pragma once

// GoogleTest before Xlib: Xlib's macros (None, Bool, ...) break its templates.
#include <gtest/gtest.h>

// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
// clang-format on

#include "toolkit/c_color.h"

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

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
