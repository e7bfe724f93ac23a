// Redraw costs of the editor's frame: a full repaint of 820 x 520 with its
// background, and an idle with nothing dirty (what every host idle costs
// while the editor shows nothing new).
#include "toolkit/c_bitmap.h"
#include "toolkit/c_control.h"
#include "toolkit/c_draw_context.h"
#include "toolkit/c_frame.h"
#include "toolkit/offscreen_platform.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kWidth = 820;
constexpr int kHeight = 520;
constexpr int kControls = 60; // about as many views as the editor's layout has

class Label : public CControl {
public:
    using CControl::CControl;
    void draw(CDrawContext* context) override
    {
        context->setFont(kNormalFontSmall);
        context->setFontColor(kWhiteCColor);
        context->drawString("Vibrato ampl.", size, false, kLeftText);
        setDirty(false);
    }
};

struct EditorFrame {
    OffscreenPlatform platform;
    CFrame* frame;
    EditorFrame()
        : frame(new CFrame(CRect(0, 0, kWidth, kHeight), &platform, nullptr, platform))
    {
        auto* background = new CBitmap(20003);
        frame->setBackground(background);
        background->forget();
        for (int i = 0; i < kControls; ++i) {
            int x = 10 + (i % 6) * 130;
            int y = 20 + (i / 6) * 48;
            auto* label = new Label(CRect(x, y, x + 100, y + 14));
            label->setTransparency(true);
            frame->addView(label);
        }
        frame->idle(); // first exposure
    }
    ~EditorFrame() { frame->forget(); }
};

void FullRepaint(benchmark::State& state)
{
    EditorFrame editor;
    for (auto _ : state) {
        editor.frame->setDirty(true);
        editor.frame->idle();
    }
    state.counters["pixels/s"] = benchmark::Counter(
        double(kWidth) * kHeight, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(FullRepaint)->Unit(benchmark::kMillisecond);

void IdleWithNothingDirty(benchmark::State& state)
{
    EditorFrame editor;
    for (auto _ : state)
        editor.frame->idle();
}
BENCHMARK(IdleWithNothingDirty)->Unit(benchmark::kMicrosecond);

void IdleWithOneDirtyLabel(benchmark::State& state)
{
    EditorFrame editor;
    CView* label = editor.frame->getView(kControls / 2);
    for (auto _ : state) {
        label->setDirty(true);
        editor.frame->idle();
    }
}
BENCHMARK(IdleWithOneDirtyLabel)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
