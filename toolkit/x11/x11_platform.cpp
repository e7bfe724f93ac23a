#include "toolkit/x11/x11_platform.h"

#include "toolkit/external_save_dialog.h"
#include "toolkit/x11/x11_popup_menu.h"
#include "toolkit/x11/x11_save_dialog.h"
#include "toolkit/x11/x11_window.h"

#include <cerrno>
#include <chrono>
#include <time.h>

namespace {

constexpr int kDoubleClickMilliseconds = 400;

class SteadyClock : public PlatformClock {
public:
    uint64_t ticks() override
    {
        using namespace std::chrono;
        return uint64_t(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    void sleep(int milliseconds) override
    {
        if (milliseconds <= 0)
            return;
        timespec pause {milliseconds / 1000, long(milliseconds % 1000) * 1'000'000};
        while (nanosleep(&pause, &pause) != 0 && errno == EINTR) { }
    }
    int doubleClickTime() override { return kDoubleClickMilliseconds; }
};

class X11Platform : public Platform {
public:
    std::unique_ptr<PlatformWindow> createWindow(void* parent, int width, int height) override
    {
        return X11Window::create(parent, width, height);
    }
    PlatformClock& clock() override { return steadyClock; }
    PopupMenuRunner& popupMenus() override { return menus; }
    SaveDialog& saveDialog() override { return dialogs; }

private:
    SteadyClock steadyClock;
    X11PopupMenus menus;
    X11SaveDialog ownDialog;
    ExternalSaveDialog dialogs {&ownDialog};
};

} // namespace

Platform& x11Platform()
{
    static X11Platform platform;
    return platform;
}
