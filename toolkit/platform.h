// What the toolkit needs from the window system, as a few small interfaces.
// The X11 back end (toolkit/x11) puts a frame into a host's window; the
// offscreen back end (offscreen_platform.h) draws into an image and replays
// scripted input, for tests and for tools without a display.
#pragma once

#include "toolkit/c_rect.h"
#include "vst/vst24.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

// Where a window delivers what happened to it. Points are window pixels.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    virtual void windowExposed(const CRect& area) = 0;
    virtual void windowMouseDown(const CPoint& where, long buttons) = 0;
    virtual void windowMouseUp(const CPoint& where, long buttons) = 0;
    virtual void windowMouseMoved(const CPoint& where, long buttons) = 0;
    virtual void windowWheel(const CPoint& where, float distance, long buttons) = 0;
    virtual void windowKeyDown(VstKeyCode& key) = 0;
    virtual void windowKeyUp(VstKeyCode& key) = 0;
};

enum class EventFilter {
    all, // every queued event
    paintOnly, // exposures only; input stays queued (inside a modal loop)
};

// A child window of the size of the frame, with an image back buffer that is
// drawn into and then copied to the screen.
class PlatformWindow {
public:
    virtual ~PlatformWindow() = default;

    virtual int width() const = 0;
    virtual int height() const = 0;
    // The back buffer, an image surface of the window's size (never null).
    virtual cairo_surface_t* backBuffer() = 0;
    // Copies the back buffer's area to the screen.
    virtual void present(const CRect& area) = 0;
    // Asks for an exposure of area to arrive through handleEvents later.
    virtual void invalidate(const CRect& area) = 0;
    // Delivers the events already queued; never waits for one.
    virtual void handleEvents(WindowEvents& sink, EventFilter filter) = 0;
    // Drops queued input (buttons, motion, keys); exposures stay.
    virtual void discardInput() = 0;

    // Live pointer state, read at the moment of the call, so that a modal
    // tracking loop sees the button go up.
    virtual CPoint pointerPosition() = 0;
    virtual long pointerButtons() = 0;

    // The window's origin in screen pixels, for placing popups.
    virtual CPoint screenOrigin() = 0;
    virtual uintptr_t nativeHandle() const = 0;

    // True once the native window was destroyed under the frame (a host that
    // destroys its own window before closing the editor): nothing reaches
    // it any more, and the editor closes at its next idle.
    virtual bool isGone() const { return false; }
};

class PlatformClock {
public:
    virtual ~PlatformClock() = default;
    virtual uint64_t ticks() = 0; // milliseconds, monotonic
    virtual void sleep(int milliseconds) = 0;
    virtual int doubleClickTime() = 0; // milliseconds
};

struct PopupMenuItem {
    std::string text; // ISO 8859-1
    bool checked = false;
    int fontId = 0; // the menu's font, in which the runner shows the text
};

class PopupMenuRunner {
public:
    virtual ~PopupMenuRunner() = default;
    // Shows items with their top-left corner at where (window pixels) and
    // returns the chosen index, or -1 when the user cancels. idle runs while
    // the menu waits, so that the host keeps being served.
    virtual int run(PlatformWindow& owner, const CPoint& where,
        const std::vector<PopupMenuItem>& items, const std::function<void()>& idle)
        = 0;
};

struct SaveDialogFilter {
    std::string label; // "Wave File (.wav)"
    std::string pattern; // "*.wav"
};

struct SaveDialogRequest {
    std::string title;
    std::string initialPath;
    std::vector<SaveDialogFilter> filters;
    std::string defaultExtension; // without the dot; added when the name has none
    size_t maxPathLength = 1023;
};

class SaveDialog {
public:
    virtual ~SaveDialog() = default;
    // True with the chosen path; false when cancelled or failed.
    virtual bool run(
        const SaveDialogRequest& request, std::string& path, const std::function<void()>& idle)
        = 0;
};

class Platform {
public:
    virtual ~Platform() = default;
    // A visible child window of parent at (0, 0); null when it cannot be made.
    virtual std::unique_ptr<PlatformWindow> createWindow(void* parent, int width, int height) = 0;
    virtual PlatformClock& clock() = 0;
    virtual PopupMenuRunner& popupMenus() = 0;
    virtual SaveDialog& saveDialog() = 0;
};

// The process-wide offscreen platform, used when an editor is given none.
Platform& defaultPlatform();
