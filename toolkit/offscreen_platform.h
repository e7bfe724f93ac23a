// The platform without a display: windows are image surfaces, the clock is
// virtual (sleeping advances it), and input, popup choices and save-dialog
// answers are scripted. Tests and the command-line tool draw through it.
#pragma once

#include "toolkit/c_color.h"
#include "toolkit/platform.h"

#include <deque>
#include <string>
#include <vector>

struct PointerState {
    CPoint where;
    long buttons = 0;
};

class OffscreenWindow : public PlatformWindow {
public:
    OffscreenWindow(void* parent, int width, int height);
    ~OffscreenWindow() override;

    int width() const override { return windowWidth; }
    int height() const override { return windowHeight; }
    cairo_surface_t* backBuffer() override { return surface; }
    void present(const CRect& area) override;
    void invalidate(const CRect& area) override;
    void handleEvents(WindowEvents& sink, EventFilter filter) override;
    void discardInput() override;
    // Each read of the buttons takes the next scripted pointer state, when
    // one is queued; positions read in between give the state last taken.
    CPoint pointerPosition() override { return pointer.where; }
    long pointerButtons() override;
    CPoint screenOrigin() override { return {}; }
    uintptr_t nativeHandle() const override { return reinterpret_cast<uintptr_t>(parent); }

    // Queued events, delivered by the next handleEvents.
    void postExpose();
    void postMouseDown(const CPoint& where, long buttons);
    void postMouseUp(const CPoint& where, long buttons);
    void postMouseMove(const CPoint& where, long buttons);
    void postWheel(const CPoint& where, float distance, long buttons = 0);
    void postKeyDown(const VstKeyCode& key);
    void postKeyUp(const VstKeyCode& key);
    size_t pendingEvents() const { return events.size(); }
    void clearEvents() { events.clear(); }

    void setPointer(const CPoint& where, long buttons);
    void scriptPointer(const CPoint& where, long buttons);
    size_t pendingPointerStates() const { return pointerScript.size(); }

    CColor pixel(int x, int y) const;
    bool writePng(const std::string& path) const;
    int presentCount() const { return presents; }
    const CRect& lastPresented() const { return lastPresent; }

private:
    enum class Kind { expose, mouseDown, mouseUp, mouseMove, wheel, keyDown, keyUp };
    struct Event {
        Kind kind = Kind::expose;
        CRect area;
        CPoint where;
        long buttons = 0;
        float distance = 0.0f;
        VstKeyCode key {};
    };

    void push(Kind kind, const CPoint& where, long buttons);

    void* parent;
    int windowWidth;
    int windowHeight;
    cairo_surface_t* surface;
    std::deque<Event> events;
    PointerState pointer;
    std::deque<PointerState> pointerScript;
    int presents = 0;
    CRect lastPresent;
};

class VirtualClock : public PlatformClock {
public:
    uint64_t ticks() override { return now; }
    void sleep(int milliseconds) override
    {
        if (milliseconds > 0)
            now += uint64_t(milliseconds);
        slept += milliseconds > 0 ? milliseconds : 0;
    }
    int doubleClickTime() override { return 400; }
    void advance(uint64_t milliseconds) { now += milliseconds; }

    uint64_t now = 1000;
    int64_t slept = 0;
};

class ScriptedPopupMenus : public PopupMenuRunner {
public:
    int run(PlatformWindow& owner, const CPoint& where, const std::vector<PopupMenuItem>& items,
        const std::function<void()>& idle) override;

    std::deque<int> choices; // answers in order; -1 (cancel) when empty
    std::vector<PopupMenuItem> lastItems;
    CPoint lastWhere;
    int shown = 0;
};

class ScriptedSaveDialog : public SaveDialog {
public:
    bool run(const SaveDialogRequest& request, std::string& path,
        const std::function<void()>& idle) override;

    std::deque<std::string> answers; // chosen paths in order; empty string = cancel
    SaveDialogRequest lastRequest;
    int shown = 0;
};

class OffscreenPlatform : public Platform {
public:
    std::unique_ptr<PlatformWindow> createWindow(void* parent, int width, int height) override;
    PlatformClock& clock() override { return virtualClock; }
    PopupMenuRunner& popupMenus() override { return menus; }
    SaveDialog& saveDialog() override { return dialog; }

    // The window made last (null once it is destroyed).
    OffscreenWindow* lastWindow() const { return latest; }
    int windowsCreated() const { return created; }

    VirtualClock virtualClock;
    ScriptedPopupMenus menus;
    ScriptedSaveDialog dialog;

private:
    friend class OffscreenWindowTracker;
    OffscreenWindow* latest = nullptr;
    int created = 0;
};
