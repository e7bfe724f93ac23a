#include "toolkit/offscreen_platform.h"

#include <algorithm>
#include <cairo.h>

namespace {

// Clears the platform's pointer to a window when the window goes.
class TrackedWindow : public OffscreenWindow {
public:
    TrackedWindow(void* parent, int width, int height, OffscreenWindow*& slot)
        : OffscreenWindow(parent, width, height)
        , slot(slot)
    {
        slot = this;
    }
    ~TrackedWindow() override
    {
        if (slot == this)
            slot = nullptr;
    }

private:
    OffscreenWindow*& slot;
};

} // namespace

class OffscreenWindowTracker {
public:
    static OffscreenWindow*& slot(OffscreenPlatform& platform) { return platform.latest; }
};

OffscreenWindow::OffscreenWindow(void* parent, int width, int height)
    : parent(parent)
    , windowWidth(width > 0 ? width : 1)
    , windowHeight(height > 0 ? height : 1)
    , surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, windowWidth, windowHeight))
{
    // A new window is shown and so exposed once, as a real one would be.
    postExpose();
}

OffscreenWindow::~OffscreenWindow() { cairo_surface_destroy(surface); }

void OffscreenWindow::present(const CRect& area)
{
    ++presents;
    lastPresent = area;
    cairo_surface_flush(surface);
}

void OffscreenWindow::push(Kind kind, const CPoint& where, long buttons)
{
    Event event;
    event.kind = kind;
    event.where = where;
    event.buttons = buttons;
    events.push_back(event);
}

void OffscreenWindow::invalidate(const CRect& area)
{
    push(Kind::expose, CPoint(), 0);
    events.back().area = area;
}

void OffscreenWindow::postExpose() { invalidate(CRect(0, 0, windowWidth, windowHeight)); }

void OffscreenWindow::postMouseDown(const CPoint& where, long buttons)
{
    push(Kind::mouseDown, where, buttons);
}

void OffscreenWindow::postMouseUp(const CPoint& where, long buttons)
{
    push(Kind::mouseUp, where, buttons);
}

void OffscreenWindow::postMouseMove(const CPoint& where, long buttons)
{
    push(Kind::mouseMove, where, buttons);
}

void OffscreenWindow::postWheel(const CPoint& where, float distance, long buttons)
{
    push(Kind::wheel, where, buttons);
    events.back().distance = distance;
}

void OffscreenWindow::postKeyDown(const VstKeyCode& key)
{
    push(Kind::keyDown, CPoint(), 0);
    events.back().key = key;
}

void OffscreenWindow::postKeyUp(const VstKeyCode& key)
{
    push(Kind::keyUp, CPoint(), 0);
    events.back().key = key;
}

void OffscreenWindow::handleEvents(WindowEvents& sink, EventFilter filter)
{
    // Only the events queued now are handled; what a handler queues waits
    // for the next call, as with a real event queue that is never waited on.
    size_t count = events.size();
    for (size_t handled = 0; handled < count && !events.empty(); ++handled) {
        auto it = events.begin();
        if (filter == EventFilter::paintOnly) {
            it = std::find_if(events.begin(), events.end(),
                [](const Event& e) { return e.kind == Kind::expose; });
            if (it == events.end())
                return;
        }
        Event event = *it;
        events.erase(it);
        switch (event.kind) {
        case Kind::expose: sink.windowExposed(event.area); break;
        case Kind::mouseDown:
            pointer = PointerState {event.where, event.buttons};
            sink.windowMouseDown(event.where, event.buttons);
            break;
        case Kind::mouseUp:
            pointer = PointerState {event.where, event.buttons};
            sink.windowMouseUp(event.where, event.buttons);
            break;
        case Kind::mouseMove:
            pointer = PointerState {event.where, event.buttons};
            sink.windowMouseMoved(event.where, event.buttons);
            break;
        case Kind::wheel:
            pointer.where = event.where;
            sink.windowWheel(event.where, event.distance, event.buttons);
            break;
        case Kind::keyDown: sink.windowKeyDown(event.key); break;
        case Kind::keyUp: sink.windowKeyUp(event.key); break;
        }
    }
}

void OffscreenWindow::discardInput()
{
    events.erase(std::remove_if(events.begin(), events.end(),
                     [](const Event& e) { return e.kind != Kind::expose; }),
        events.end());
}

long OffscreenWindow::pointerButtons()
{
    if (!pointerScript.empty()) {
        pointer = pointerScript.front();
        pointerScript.pop_front();
    }
    return pointer.buttons;
}

void OffscreenWindow::setPointer(const CPoint& where, long buttons)
{
    pointer = PointerState {where, buttons};
}

void OffscreenWindow::scriptPointer(const CPoint& where, long buttons)
{
    pointerScript.push_back(PointerState {where, buttons});
}

CColor OffscreenWindow::pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= windowWidth || y >= windowHeight)
        return kBlackCColor;
    cairo_surface_flush(surface);
    const unsigned char* row = cairo_image_surface_get_data(surface)
        + size_t(y) * cairo_image_surface_get_stride(surface);
    uint32_t value = reinterpret_cast<const uint32_t*>(row)[x];
    return CColor {uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value), 255};
}

bool OffscreenWindow::writePng(const std::string& path) const
{
    cairo_surface_flush(surface);
    return cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

int ScriptedPopupMenus::run(PlatformWindow& /*owner*/, const CPoint& where,
    const std::vector<PopupMenuItem>& items, const std::function<void()>& idle)
{
    ++shown;
    lastItems = items;
    lastWhere = where;
    if (idle)
        idle();
    if (choices.empty())
        return -1;
    int choice = choices.front();
    choices.pop_front();
    return choice >= 0 && size_t(choice) < items.size() ? choice : -1;
}

bool ScriptedSaveDialog::run(
    const SaveDialogRequest& request, std::string& path, const std::function<void()>& idle)
{
    ++shown;
    lastRequest = request;
    if (idle)
        idle();
    if (answers.empty())
        return false;
    std::string answer = answers.front();
    answers.pop_front();
    if (answer.empty())
        return false;
    path = answer;
    return true;
}

std::unique_ptr<PlatformWindow> OffscreenPlatform::createWindow(void* parent, int width, int height)
{
    ++created;
    return std::make_unique<TrackedWindow>(
        parent, width, height, OffscreenWindowTracker::slot(*this));
}

Platform& defaultPlatform()
{
    static OffscreenPlatform platform;
    return platform;
}
