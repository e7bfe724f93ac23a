#include "toolkit/x11/x11_save_dialog.h"

#include "toolkit/c_draw_context.h"
#include "toolkit/external_save_dialog.h"
#include "toolkit/x11/x11_modal_window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <time.h>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 112;
constexpr CRect kPathBox(12, 30, 468, 52);
constexpr CRect kSaveButton(300, 76, 380, 100);
constexpr CRect kCancelButton(388, 76, 468, 100);
constexpr CColor kPanel {228, 228, 228, 255};
constexpr CColor kDarkRed {128, 0, 0, 255};

void paintDialog(CDrawContext* context, const SaveDialogRequest& request, const std::string& path)
{
    context->setFillColor(kPanel);
    context->fillRect(CRect(0, 0, kWidth, kHeight));
    context->setFont(kNormalFontSmall);
    context->setFontColor(kBlackCColor);
    context->drawString(request.title.c_str(), CRect(12, 6, 468, 26), false, kLeftText);
    context->setFillColor(kWhiteCColor);
    context->setFrameColor(kBlackCColor);
    context->drawRect(kPathBox, kDrawFilledAndStroked);
    // The end of a long path stays visible, with the cursor after it.
    std::string shown = path;
    CRect inner = kPathBox;
    inner.inset(3, 0);
    while (!shown.empty() && context->getStringWidth((shown + "|").c_str()) > inner.width() - 2)
        shown.erase(0, 1);
    context->setFont(kNormalFont);
    context->drawString((shown + "|").c_str(), inner, false, kLeftText);
    context->setFont(kNormalFontSmall);
    if (!request.filters.empty())
        context->drawString(
            request.filters.front().label.c_str(), CRect(12, 76, 290, 100), false, kLeftText);
    for (const CRect* button : {&kSaveButton, &kCancelButton}) {
        context->setFillColor(button == &kSaveButton ? kDarkRed : kGreyCColor);
        context->drawRect(*button, kDrawFilledAndStroked);
        context->setFontColor(kWhiteCColor);
        context->drawString(button == &kSaveButton ? "Save" : "Cancel", *button);
    }
}

// Typing goes to the dialog at once: the focus is set as soon as the window
// is mapped (a window manager may take a moment; the wait is bounded).
void takeFocusOnceMapped(Display* dpy, Window window)
{
    constexpr int kTries = 100;
    constexpr long kTryNanoseconds = 5'000'000;
    XEvent event;
    for (int i = 0; i < kTries; ++i) {
        if (XCheckTypedWindowEvent(dpy, window, MapNotify, &event)) {
            XSetInputFocus(dpy, window, RevertToParent, CurrentTime);
            XSync(dpy, False);
            return;
        }
        timespec pause {0, kTryNanoseconds};
        nanosleep(&pause, nullptr);
    }
}

} // namespace

bool X11SaveDialog::run(
    const SaveDialogRequest& request, std::string& path, const std::function<void()>& idle)
{
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy)
        return false;
    bool saved = false;
    std::string text = request.initialPath;
    {
        int screen = DefaultScreen(dpy);
        int x = (DisplayWidth(dpy, screen) - kWidth) / 2;
        int y = (DisplayHeight(dpy, screen) - kHeight) / 3;
        X11ModalWindow dialog(dpy, x, y, kWidth, kHeight, false);
        if (!dialog.valid()) {
            XCloseDisplay(dpy);
            return false;
        }
        Window window = dialog.xWindow();
        std::string title = request.title.empty() ? std::string("Save") : request.title;
        XStoreName(dpy, window, title.c_str());
        XClassHint hint {const_cast<char*>(kSaveDialogClass), const_cast<char*>(kSaveDialogClass)};
        XSetClassHint(dpy, window, &hint);
        Atom deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(dpy, window, &deleteWindow, 1);
        XMapRaised(dpy, window);
        takeFocusOnceMapped(dpy, window);
        auto redraw
            = [&] { dialog.repaint([&](CDrawContext* c) { paintDialog(c, request, text); }); };
        dialog.runLoop(
            [&](XEvent& event) {
                switch (event.type) {
                case MapNotify:
                    XSetInputFocus(dpy, window, RevertToParent, CurrentTime);
                    return true;
                case Expose: redraw(); return true;
                case ClientMessage: return Atom(event.xclient.data.l[0]) != deleteWindow;
                case ButtonPress: {
                    CPoint at(event.xbutton.x, event.xbutton.y);
                    if (kSaveButton.pointInside(at) && !text.empty()) {
                        saved = true;
                        return false;
                    }
                    return !kCancelButton.pointInside(at);
                }
                case KeyPress: {
                    char typed[8] = {};
                    KeySym sym = NoSymbol;
                    int length = XLookupString(&event.xkey, typed, sizeof typed, &sym, nullptr);
                    if (sym == XK_Escape)
                        return false;
                    if (sym == XK_Return || sym == XK_KP_Enter) {
                        saved = !text.empty();
                        return !saved;
                    }
                    if (sym == XK_BackSpace) {
                        if (!text.empty())
                            text.pop_back();
                    } else if (length == 1 && static_cast<unsigned char>(typed[0]) >= 0x20
                        && text.size() < request.maxPathLength) {
                        text += typed[0];
                    }
                    redraw();
                    return true;
                }
                default: return true;
                }
            },
            idle);
    }
    XCloseDisplay(dpy);
    return saved && finishChosenPath(text, request, path);
}
