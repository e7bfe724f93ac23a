// A frame on its own offscreen platform for the control tests, with helpers
// to script a click or a drag and a listener that records what it hears.
#pragma once

#include "toolkit/c_bitmap.h"
#include "toolkit/c_control.h"
#include "toolkit/c_control_listener.h"
#include "toolkit/c_frame.h"
#include "toolkit/offscreen_platform.h"

#include <utility>
#include <vector>

struct ControlFixture {
    OffscreenPlatform platform;
    CFrame* frame;
    OffscreenWindow* window;

    explicit ControlFixture(int width = 200, int height = 120)
        : frame(new CFrame(CRect(0, 0, width, height), &platform, nullptr, platform))
        , window(platform.lastWindow())
    {
        frame->idle(); // the first exposure: the frame is painted and idles from now on
    }
    ~ControlFixture() { frame->forget(); }
    ControlFixture(const ControlFixture&) = delete;
    ControlFixture& operator=(const ControlFixture&) = delete;

    CColor at(int x, int y) const { return window->pixel(x, y); }

    // A press at where with buttons, then the pointer states a tracking loop
    // reads one by one (each ends with the button released by the caller).
    void press(const CPoint& where, long buttons, const std::vector<PointerState>& states = {})
    {
        window->setPointer(where, buttons);
        for (const PointerState& state : states)
            window->scriptPointer(state.where, state.buttons);
        window->postMouseDown(where, buttons);
        frame->idle();
    }
    // A press and release without movement.
    void click(const CPoint& where, long buttons)
    {
        press(where, buttons, {{where, buttons}, {where, 0}});
    }
    void redraw()
    {
        frame->setDirty(true);
        frame->idle();
    }
};

// Remembers every valueChanged with the value at that moment.
struct RecordingListener : CControlListener {
    std::vector<std::pair<long, float>> changes;
    std::vector<long> modifierClicks;
    long modifierAnswer = 0;

    void valueChanged(CDrawContext*, CControl* control) override
    {
        changes.emplace_back(control->getTag(), control->getValue());
    }
    long controlModifierClicked(CDrawContext*, CControl*, long buttons) override
    {
        modifierClicks.push_back(buttons);
        return modifierAnswer;
    }
    std::vector<float> values() const
    {
        std::vector<float> out;
        for (const auto& change : changes)
            out.push_back(change.second);
        return out;
    }
};

// A control that counts its edit gestures.
template <typename Control> class EditCounting : public Control {
public:
    using Control::Control;
    int begins = 0;
    int ends = 0;
    void beginEdit() override
    {
        ++begins;
        Control::beginEdit();
    }
    void endEdit() override
    {
        ++ends;
        Control::endEdit();
    }
};

// A bitmap of one colour.
inline CBitmap* solidBitmap(int width, int height, CColor color)
{
    DecodedImage image;
    image.width = width;
    image.height = height;
    image.bitsPerPixel = 24;
    image.rgba.resize(size_t(width) * size_t(height) * 4);
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        image.rgba[i] = color.red;
        image.rgba[i + 1] = color.green;
        image.rgba[i + 2] = color.blue;
        image.rgba[i + 3] = 255;
    }
    return new CBitmap(image);
}
