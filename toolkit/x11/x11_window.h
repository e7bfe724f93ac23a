// The frame's window on X11: a child of the host's window on a display
// connection of its own, with an image back buffer copied to the window
// through cairo-xlib. Events are read only when they are already queued.
#pragma once

#include "toolkit/platform.h"

#include <X11/Xlib.h>
#include <functional>
#include <memory>

class X11Window : public PlatformWindow {
public:
    // Null when the display cannot be opened or parent is not a window.
    static std::unique_ptr<X11Window> create(void* parent, int width, int height);
    ~X11Window() override;

    int width() const override { return windowWidth; }
    int height() const override { return windowHeight; }
    cairo_surface_t* backBuffer() override { return back; }
    void present(const CRect& area) override;
    void invalidate(const CRect& area) override;
    void handleEvents(WindowEvents& sink, EventFilter filter) override;
    void discardInput() override;
    CPoint pointerPosition() override;
    long pointerButtons() override;
    CPoint screenOrigin() override;
    uintptr_t nativeHandle() const override { return uintptr_t(window); }
    bool isGone() const override { return gone; }

    Display* display() const { return dpy; }
    Window xWindow() const { return window; }

private:
    X11Window(Display* display, Window window, int width, int height);
    void dispatch(XEvent& event, WindowEvents& sink);
    // Runs f unless the window is gone, with X errors caught; an error means
    // the window is gone.
    void guarded(const std::function<void()>& f);
    void sendExposure(const CRect& area);

    Display* dpy;
    Window window;
    int windowWidth;
    int windowHeight;
    cairo_surface_t* back;
    cairo_surface_t* onScreen;
    bool gone = false;
};

// X11 state to toolkit terms, shared by the window and the dialogs.
long buttonsFromState(unsigned int state);
bool keyFromEvent(XKeyEvent& event, VstKeyCode& key);

// Runs f with X errors caught instead of ending the process; returns false
// when f raised one. Every request f makes has reached the server (and its
// error, if any, has been caught) when this returns. The host's own error
// handler is restored afterwards.
bool withoutXErrors(Display* display, const std::function<void()>& f);
