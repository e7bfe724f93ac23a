#include "toolkit/c_draw_context.h"
#include "toolkit/c_frame.h"
#include "toolkit/offscreen_platform.h"

#include <gtest/gtest.h>

namespace {

// A frame on its own offscreen platform, painted once so that idle redraws.
struct OffscreenFrame {
    OffscreenPlatform platform;
    CFrame* frame;
    OffscreenWindow* window;
    explicit OffscreenFrame(int width = 64, int height = 48)
        : frame(new CFrame(CRect(0, 0, width, height), &platform, nullptr, platform))
        , window(platform.lastWindow())
    {
    }
    ~OffscreenFrame() { frame->forget(); }
    CColor at(int x, int y) const { return window->pixel(x, y); }
};

// A context on a fresh frame's back buffer, cleared to black.
struct Canvas : OffscreenFrame {
    CDrawContext* context;
    Canvas()
        : context(frame->createDrawContext())
    {
        context->setFillColor(kBlackCColor);
        context->fillRect(CRect(0, 0, 64, 48));
    }
    ~Canvas() { context->forget(); }
};

TEST(DrawContextTest, LineLeavesOutItsEndPixel)
{
    Canvas canvas;
    canvas.context->setFrameColor(kRedCColor);
    canvas.context->moveTo(CPoint(2, 3));
    canvas.context->lineTo(CPoint(10, 3));
    EXPECT_EQ(canvas.at(2, 3), kRedCColor);
    EXPECT_EQ(canvas.at(9, 3), kRedCColor);
    EXPECT_EQ(canvas.at(10, 3), kBlackCColor);
    EXPECT_EQ(canvas.at(1, 3), kBlackCColor);
    EXPECT_EQ(canvas.at(5, 2), kBlackCColor);
    EXPECT_EQ(canvas.at(5, 4), kBlackCColor);
}

} // namespace
