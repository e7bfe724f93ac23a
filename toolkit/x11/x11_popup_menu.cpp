#include "toolkit/x11/x11_popup_menu.h"

#include "toolkit/c_draw_context.h"
#include "toolkit/x11/x11_modal_window.h"
#include "toolkit/x11/x11_window.h"

#include <X11/keysym.h>
#include <algorithm>

namespace {

constexpr int kRowPadding = 7; // a row is the font's height plus this (18 for font 4)
constexpr int kCheckColumn = 18; // room for the check mark left of the text
constexpr int kRightMargin = 12;
constexpr CColor kMenuBack {236, 236, 236, 255};
constexpr CColor kHoverBack {128, 0, 0, 255};

// The entries are shown in the menu control's font.
int menuFont(const std::vector<PopupMenuItem>& items)
{
    return items.empty() ? kNormalFontSmall : items.front().fontId;
}

int rowHeight(const std::vector<PopupMenuItem>& items)
{
    return fontInfo(menuFont(items)).height + kRowPadding;
}

int menuWidth(const std::vector<PopupMenuItem>& items)
{
    cairo_surface_t* scratch = nullptr;
    CDrawContext* context = new CDrawContext(nullptr, scratch);
    context->setFont(menuFont(items));
    int widest = 40;
    for (const PopupMenuItem& item : items)
        widest = std::max(widest, context->getStringWidth(item.text.c_str()));
    context->forget();
    return kCheckColumn + widest + kRightMargin;
}

void paintMenu(CDrawContext* context, const std::vector<PopupMenuItem>& items, int hover, int width)
{
    context->setFillColor(kMenuBack);
    const int lineHeight = rowHeight(items);
    context->fillRect(CRect(0, 0, width, int(items.size()) * lineHeight));
    context->setFont(menuFont(items));
    for (size_t i = 0; i < items.size(); ++i) {
        CRect row(0, int(i) * lineHeight, width, int(i + 1) * lineHeight);
        bool hot = int(i) == hover;
        if (hot) {
            context->setFillColor(kHoverBack);
            context->fillRect(row);
        }
        CColor text = hot ? kWhiteCColor : kBlackCColor;
        context->setFontColor(text);
        if (items[i].checked) {
            // A check mark of two strokes.
            context->setFrameColor(text);
            context->setLineWidth(2);
            context->drawLine(CPoint(5, row.top + 9), CPoint(8, row.top + 12));
            context->drawLine(CPoint(8, row.top + 12), CPoint(13, row.top + 5));
            context->setLineWidth(1);
        }
        CRect textRect = row;
        textRect.left += kCheckColumn;
        context->drawString(items[i].text.c_str(), textRect, false, kLeftText);
    }
}

} // namespace

int X11PopupMenus::run(PlatformWindow& owner, const CPoint& where,
    const std::vector<PopupMenuItem>& items, const std::function<void()>& idle)
{
    auto* x11 = dynamic_cast<X11Window*>(&owner);
    if (!x11 || items.empty())
        return -1;
    Display* dpy = x11->display();
    int width = menuWidth(items);
    const int lineHeight = rowHeight(items);
    int height = int(items.size()) * lineHeight;
    CPoint origin = owner.screenOrigin() + where;
    X11ModalWindow menu(dpy, origin.h, origin.v, width, height, true);
    if (!menu.valid())
        return -1;
    XMapRaised(dpy, menu.xWindow());
    XGrabPointer(dpy, menu.xWindow(), False,
        ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync, GrabModeAsync, None,
        None, CurrentTime);
    XGrabKeyboard(dpy, menu.xWindow(), False, GrabModeAsync, GrabModeAsync, CurrentTime);

    int hover = -1;
    int chosen = -1;
    auto rowAt = [&](int x, int y) {
        if (x < 0 || x >= width || y < 0 || y >= height)
            return -1;
        return y / lineHeight;
    };
    auto redraw
        = [&] { menu.repaint([&](CDrawContext* c) { paintMenu(c, items, hover, width); }); };
    menu.runLoop(
        [&](XEvent& event) {
            switch (event.type) {
            case Expose: redraw(); return true;
            case MotionNotify: {
                int row = rowAt(event.xmotion.x, event.xmotion.y);
                if (row != hover) {
                    hover = row;
                    redraw();
                }
                return true;
            }
            case ButtonPress:
                // A press outside dismisses the menu; inside it waits for the release.
                return rowAt(event.xbutton.x, event.xbutton.y) >= 0;
            case ButtonRelease: {
                // The release of the press that opened the menu happens over
                // the control, outside the menu, and chooses nothing.
                int row = rowAt(event.xbutton.x, event.xbutton.y);
                if (row < 0)
                    return true;
                chosen = row;
                return false;
            }
            case KeyPress: {
                KeySym sym = XLookupKeysym(&event.xkey, 0);
                if (sym == XK_Escape)
                    return false;
                if (sym == XK_Return || sym == XK_KP_Enter) {
                    chosen = hover;
                    return false;
                }
                if (sym == XK_Down || sym == XK_Up) {
                    int count = int(items.size());
                    // From no highlight, down goes to the first entry, up to the last.
                    if (hover < 0)
                        hover = sym == XK_Down ? 0 : count - 1;
                    else
                        hover = sym == XK_Down ? (hover + 1) % count : (hover + count - 1) % count;
                    redraw();
                }
                return true;
            }
            default: return true;
            }
        },
        idle);
    XUngrabKeyboard(dpy, CurrentTime);
    XUngrabPointer(dpy, CurrentTime);
    return chosen;
}
