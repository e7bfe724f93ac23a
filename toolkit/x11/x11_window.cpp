#include "toolkit/x11/x11_window.h"

#include "toolkit/mouse_buttons.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>
#include <cairo.h>

namespace {

constexpr long kInputMask
    = ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask | KeyReleaseMask;
constexpr unsigned int kWheelUp = 4;
constexpr unsigned int kWheelDown = 5;

int caughtErrors = 0;
int countError(Display*, XErrorEvent*)
{
    ++caughtErrors;
    return 0;
}

CRect exposedArea(const XExposeEvent& e) { return CRect(e.x, e.y, e.x + e.width, e.y + e.height); }

} // namespace

bool withoutXErrors(Display* display, const std::function<void()>& f)
{
    // The handler goes in first: an error still on its way from an earlier
    // request must not reach the host's handler (Xlib's ends the process).
    XErrorHandler previous = XSetErrorHandler(countError);
    XSync(display, False);
    caughtErrors = 0;
    f();
    XSync(display, False);
    const bool clean = caughtErrors == 0;
    XSetErrorHandler(previous);
    return clean;
}

long buttonsFromState(unsigned int state)
{
    long buttons = 0;
    if (state & Button1Mask)
        buttons |= kLButton;
    if (state & Button2Mask)
        buttons |= kMButton;
    if (state & Button3Mask)
        buttons |= kRButton;
    if (state & ShiftMask)
        buttons |= kShift;
    if (state & ControlMask)
        buttons |= kControl;
    if (state & Mod1Mask)
        buttons |= kAlt;
    return buttons;
}

bool keyFromEvent(XKeyEvent& event, VstKeyCode& key)
{
    char text[8] = {};
    KeySym sym = NoSymbol;
    int length = XLookupString(&event, text, sizeof text, &sym, nullptr);
    key = VstKeyCode {0, 0, 0};
    switch (sym) {
    case XK_BackSpace: key.virt = VKEY_BACK; break;
    case XK_Tab: key.virt = VKEY_TAB; break;
    case XK_Return: key.virt = VKEY_RETURN; break;
    case XK_KP_Enter: key.virt = VKEY_ENTER; break;
    case XK_Escape: key.virt = VKEY_ESCAPE; break;
    case XK_space: key.virt = VKEY_SPACE; break;
    case XK_End: key.virt = VKEY_END; break;
    case XK_Home: key.virt = VKEY_HOME; break;
    case XK_Left: key.virt = VKEY_LEFT; break;
    case XK_Up: key.virt = VKEY_UP; break;
    case XK_Right: key.virt = VKEY_RIGHT; break;
    case XK_Down: key.virt = VKEY_DOWN; break;
    case XK_Page_Up: key.virt = VKEY_PAGEUP; break;
    case XK_Page_Down: key.virt = VKEY_PAGEDOWN; break;
    case XK_Insert: key.virt = VKEY_INSERT; break;
    case XK_Delete: key.virt = VKEY_DELETE; break;
    default: break;
    }
    if (length == 1 && static_cast<unsigned char>(text[0]) >= 0x20)
        key.character = static_cast<unsigned char>(text[0]);
    // With Ctrl held the text is a control code; the letter comes from the
    // key's symbol, in lower case, as hosts pass it with the modifier bits.
    else if (sym >= XK_a && sym <= XK_z)
        key.character = static_cast<unsigned char>(sym);
    else if (sym >= XK_A && sym <= XK_Z)
        key.character = static_cast<unsigned char>(sym - XK_A + XK_a);
    if (event.state & ShiftMask)
        key.modifier |= MODIFIER_SHIFT;
    if (event.state & Mod1Mask)
        key.modifier |= MODIFIER_ALTERNATE;
    if (event.state & ControlMask)
        key.modifier |= MODIFIER_CONTROL;
    return key.virt != 0 || key.character != 0;
}

std::unique_ptr<X11Window> X11Window::create(void* parent, int width, int height)
{
    Window parentWindow = Window(reinterpret_cast<uintptr_t>(parent));
    if (!parentWindow || width <= 0 || height <= 0)
        return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    Window window = 0;
    // A bad window id from the host must fail the open, not end the host.
    bool ok = withoutXErrors(display, [&] {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, parentWindow, &attributes))
            return;
        window = XCreateSimpleWindow(display, parentWindow, 0, 0, unsigned(width), unsigned(height),
            0, BlackPixel(display, DefaultScreen(display)),
            BlackPixel(display, DefaultScreen(display)));
    });
    if (!ok || !window) {
        XCloseDisplay(display);
        return nullptr;
    }
    XSelectInput(display, window, ExposureMask | StructureNotifyMask | kInputMask);
    XMapWindow(display, window);
    XFlush(display);
    return std::unique_ptr<X11Window>(new X11Window(display, window, width, height));
}

X11Window::X11Window(Display* display, Window window, int width, int height)
    : dpy(display)
    , window(window)
    , windowWidth(width)
    , windowHeight(height)
    , back(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height))
{
    XWindowAttributes attributes;
    XGetWindowAttributes(dpy, window, &attributes);
    onScreen = cairo_xlib_surface_create(dpy, window, attributes.visual, width, height);
}

X11Window::~X11Window()
{
    // The host may have destroyed its window, and ours with it, first.
    withoutXErrors(dpy, [&] {
        cairo_surface_destroy(onScreen);
        if (!gone)
            XDestroyWindow(dpy, window);
    });
    cairo_surface_destroy(back);
    XCloseDisplay(dpy);
}

void X11Window::guarded(const std::function<void()>& f)
{
    if (!gone && !withoutXErrors(dpy, f))
        gone = true;
}

void X11Window::present(const CRect& area)
{
    CRect visible = area;
    visible.bound(CRect(0, 0, windowWidth, windowHeight));
    if (visible.isEmpty())
        return;
    cairo_surface_flush(back);
    guarded([&] {
        cairo_t* cr = cairo_create(onScreen);
        cairo_set_source_surface(cr, back, 0, 0);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_rectangle(cr, visible.left, visible.top, visible.width(), visible.height());
        cairo_fill(cr);
        cairo_destroy(cr);
        cairo_surface_flush(onScreen);
    });
}

void X11Window::invalidate(const CRect& area)
{
    guarded([&] { sendExposure(area); });
}

void X11Window::sendExposure(const CRect& area)
{
    XEvent event {};
    event.xexpose.type = Expose;
    event.xexpose.display = dpy;
    event.xexpose.window = window;
    event.xexpose.x = area.left;
    event.xexpose.y = area.top;
    event.xexpose.width = area.width();
    event.xexpose.height = area.height();
    XSendEvent(dpy, window, False, ExposureMask, &event);
}

void X11Window::handleEvents(WindowEvents& sink, EventFilter filter)
{
    if (gone)
        return;
    XEvent event;
    if (filter == EventFilter::paintOnly) {
        while (XCheckWindowEvent(dpy, window, ExposureMask, &event))
            dispatch(event, sink);
        return;
    }
    // XPending reads what has arrived without waiting for more.
    while (XPending(dpy) > 0) {
        XNextEvent(dpy, &event);
        dispatch(event, sink);
    }
}

void X11Window::dispatch(XEvent& event, WindowEvents& sink)
{
    if (event.xany.window != window || gone)
        return;
    switch (event.type) {
    case DestroyNotify: gone = true; break;
    case Expose: sink.windowExposed(exposedArea(event.xexpose)); break;
    case ButtonPress: {
        CPoint where(event.xbutton.x, event.xbutton.y);
        long buttons = buttonsFromState(event.xbutton.state);
        if (event.xbutton.button == kWheelUp || event.xbutton.button == kWheelDown) {
            sink.windowWheel(where, event.xbutton.button == kWheelUp ? 1.0f : -1.0f, buttons);
            break;
        }
        // The state is the one before the press: add the pressed button.
        if (event.xbutton.button == Button1)
            buttons |= kLButton;
        else if (event.xbutton.button == Button2)
            buttons |= kMButton;
        else if (event.xbutton.button == Button3)
            buttons |= kRButton;
        else
            break;
        sink.windowMouseDown(where, buttons);
        break;
    }
    case ButtonRelease:
        sink.windowMouseUp(
            CPoint(event.xbutton.x, event.xbutton.y), buttonsFromState(event.xbutton.state));
        break;
    case MotionNotify:
        sink.windowMouseMoved(
            CPoint(event.xmotion.x, event.xmotion.y), buttonsFromState(event.xmotion.state));
        break;
    case KeyPress:
    case KeyRelease: {
        VstKeyCode key;
        if (!keyFromEvent(event.xkey, key))
            break;
        if (event.type == KeyPress)
            sink.windowKeyDown(key);
        else
            sink.windowKeyUp(key);
        break;
    }
    default: break;
    }
}

void X11Window::discardInput()
{
    guarded([&] {
        XSync(dpy, False);
        XEvent event;
        while (XCheckWindowEvent(dpy, window, kInputMask, &event)) { }
    });
}

CPoint X11Window::pointerPosition()
{
    int x = 0, y = 0;
    guarded([&] {
        Window root, child;
        int rootX = 0, rootY = 0;
        unsigned int mask = 0;
        XQueryPointer(dpy, window, &root, &child, &rootX, &rootY, &x, &y, &mask);
    });
    return CPoint(x, y);
}

long X11Window::pointerButtons()
{
    // A window that is gone has no buttons down: a tracking loop ends.
    unsigned int mask = 0;
    bool onScreen = false;
    guarded([&] {
        Window root, child;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        onScreen = XQueryPointer(dpy, window, &root, &child, &rootX, &rootY, &x, &y, &mask);
    });
    return onScreen && !gone ? buttonsFromState(mask) : 0;
}

CPoint X11Window::screenOrigin()
{
    int x = 0, y = 0;
    guarded([&] {
        Window child;
        XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    });
    return CPoint(x, y);
}
