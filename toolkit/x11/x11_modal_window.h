// What the popup menu and the save dialog share: a window drawn through a
// draw context into a back buffer, and a loop that serves the host while it
// waits for the user.
#pragma once

#include "toolkit/c_rect.h"

#include <X11/Xlib.h>
#include <functional>

typedef struct _cairo_surface cairo_surface_t;
class CDrawContext;

class X11ModalWindow {
public:
    // A window of width x height at (x, y) on the root window; override-redirect
    // windows are placed exactly there and get no decoration.
    X11ModalWindow(Display* display, int x, int y, int width, int height, bool overrideRedirect);
    ~X11ModalWindow();
    X11ModalWindow(const X11ModalWindow&) = delete;
    X11ModalWindow& operator=(const X11ModalWindow&) = delete;

    bool valid() const { return window != 0; }
    Window xWindow() const { return window; }
    Display* display() const { return dpy; }

    // Draws through paint and shows the result.
    void repaint(const std::function<void(CDrawContext*)>& paint);
    // Handles queued events with handle until it returns false; between
    // batches runs idle and sleeps briefly, so the loop never spins.
    void runLoop(const std::function<bool(XEvent&)>& handle, const std::function<void()>& idle);

private:
    Display* dpy;
    Window window = 0;
    int width;
    int height;
    cairo_surface_t* back = nullptr;
    cairo_surface_t* onScreen = nullptr;
};
