// Shared helpers of the toolkit tests: a frame on its own offscreen platform,
// views that record what happens to them, and pixel searches.
#pragma once

#include "toolkit/c_control.h"
#include "toolkit/c_control_listener.h"
#include "toolkit/c_draw_context.h"
#include "toolkit/c_frame.h"
#include "toolkit/offscreen_platform.h"

#include <string>
#include <vector>

struct OffscreenFrame {
    OffscreenPlatform platform;
    CFrame* frame;
    OffscreenWindow* window;

    explicit OffscreenFrame(int width = 64, int height = 48, AEffGUIEditor* editor = nullptr)
        : frame(new CFrame(CRect(0, 0, width, height), &platform, editor, platform))
        , window(platform.lastWindow())
    {
    }
    ~OffscreenFrame()
    {
        if (frame)
            frame->forget();
    }
    OffscreenFrame(const OffscreenFrame&) = delete;
    OffscreenFrame& operator=(const OffscreenFrame&) = delete;

    CColor at(int x, int y) const { return window->pixel(x, y); }
    // Delivers the first exposure, which paints everything once.
    void paint() { frame->idle(); }
};

// Fills its size with one colour and counts its draws and clicks.
class RecordingView : public CView {
public:
    RecordingView(const CRect& size, CColor color)
        : CView(size)
        , color(color)
    {
    }

    void draw(CDrawContext* context) override
    {
        ++draws;
        context->setFillColor(color);
        context->fillRect(size);
        setDirty(false);
    }
    void mouse(CDrawContext* context, CPoint& where, long buttons) override
    {
        ++clicks;
        lastWhere = where;
        lastButtons = buttons;
        lastOffset = context->getOffset();
    }
    bool onWheel(CDrawContext*, const CPoint& where, float distance) override
    {
        lastWhere = where;
        wheel += distance;
        return true;
    }
    long onKeyDown(VstKeyCode& key) override
    {
        keys.push_back(key.character);
        return 1;
    }

    CColor color;
    int draws = 0;
    int clicks = 0;
    CPoint lastWhere;
    CPoint lastOffset;
    long lastButtons = 0;
    float wheel = 0.0f;
    std::vector<int> keys;

protected:
    ~RecordingView() override { ++destroyed; }

public:
    static inline int destroyed = 0;
};

// A control that fills its size with a grey of its value.
class GreyControl : public CControl {
public:
    GreyControl(const CRect& size, CControlListener* listener = nullptr, long tag = 0)
        : CControl(size, listener, tag)
    {
    }
    void draw(CDrawContext* context) override
    {
        ++draws;
        auto level = uint8_t(value * 255.0f);
        context->setFillColor(CColor {level, level, level, 255});
        context->fillRect(size);
        setDirty(false);
    }
    int draws = 0;
};

// The bounding box of the pixels that differ from background.
inline CRect inkBounds(const OffscreenWindow& window, CColor background)
{
    CRect box;
    bool any = false;
    for (int y = 0; y < window.height(); ++y)
        for (int x = 0; x < window.width(); ++x) {
            if (window.pixel(x, y) == background)
                continue;
            if (!any)
                box = CRect(x, y, x + 1, y + 1);
            else
                box.unite(CRect(x, y, x + 1, y + 1));
            any = true;
        }
    return box;
}
