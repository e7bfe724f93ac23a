#include "toolkit/x11/x11_modal_window.h"

#include "toolkit/c_draw_context.h"

#include <cairo-xlib.h>
#include <cairo.h>
#include <time.h>

namespace {
constexpr long kLoopSleepNanoseconds = 10'000'000; // 10 ms between looks at the queue
constexpr long kModalEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask
    | KeyPressMask | StructureNotifyMask;
} // namespace

X11ModalWindow::X11ModalWindow(
    Display* display, int x, int y, int width, int height, bool overrideRedirect)
    : dpy(display)
    , width(width)
    , height(height)
{
    int screen = DefaultScreen(dpy);
    XSetWindowAttributes attributes {};
    attributes.override_redirect = overrideRedirect ? True : False;
    attributes.background_pixel = BlackPixel(dpy, screen);
    attributes.event_mask = kModalEvents;
    window = XCreateWindow(dpy, RootWindow(dpy, screen), x, y, unsigned(width), unsigned(height), 1,
        CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel | CWEventMask,
        &attributes);
    if (!window)
        return;
    back = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    onScreen = cairo_xlib_surface_create(dpy, window, DefaultVisual(dpy, screen), width, height);
}

X11ModalWindow::~X11ModalWindow()
{
    if (onScreen)
        cairo_surface_destroy(onScreen);
    if (back)
        cairo_surface_destroy(back);
    if (window)
        XDestroyWindow(dpy, window);
    XFlush(dpy);
}

void X11ModalWindow::repaint(const std::function<void(CDrawContext*)>& paint)
{
    CDrawContext* context = new CDrawContext(nullptr, back);
    paint(context);
    context->forget();
    cairo_surface_flush(back);
    cairo_t* cr = cairo_create(onScreen);
    cairo_set_source_surface(cr, back, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(onScreen);
    XFlush(dpy);
}

void X11ModalWindow::runLoop(
    const std::function<bool(XEvent&)>& handle, const std::function<void()>& idle)
{
    // Only this window's events are taken; the frame's stay queued for the
    // frame (its exposures are served by idle, its input dropped afterwards).
    for (;;) {
        XEvent event;
        while (XCheckWindowEvent(dpy, window, kModalEvents, &event)
            || XCheckTypedWindowEvent(dpy, window, ClientMessage, &event))
            if (!handle(event))
                return;
        if (idle)
            idle();
        timespec pause {0, kLoopSleepNanoseconds};
        nanosleep(&pause, nullptr);
    }
}
