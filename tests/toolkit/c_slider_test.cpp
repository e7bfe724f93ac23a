#include "control_fixture.h"
#include "toolkit/c_slider.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// The editor's slider: a 112 x 15 track, an 11 x 11 handle, handle positions
// left + 2 .. left + 112 - 11 (range 99), the handle 2 pixels below the top.
constexpr int kLeftEdge = 10;
constexpr int kTopEdge = 20;
constexpr int kTrackWidth = 112;
constexpr int kTrackHeight = 15;
constexpr int kHandleSize = 11;
constexpr CColor kTrack {128, 0, 0, 255};
constexpr CColor kHandle {0, 200, 0, 255};
// The mouse x that means value 0: the handle's centre over its left edge at 0.
constexpr int kGrab = kLeftEdge + kHandleSize / 2;

struct SliderFixture : ControlFixture {
    RecordingListener listener;
    EditCounting<CSlider>* slider;

    SliderFixture()
    {
        CBitmap* track = solidBitmap(kTrackWidth, kTrackHeight, kTrack);
        CBitmap* handle = solidBitmap(kHandleSize, kHandleSize, kHandle);
        slider = new EditCounting<CSlider>(
            CRect(kLeftEdge, kTopEdge, kLeftEdge + kTrackWidth, kTopEdge + kTrackHeight), &listener,
            28, kLeftEdge + 2, kLeftEdge + kTrackWidth - kHandleSize, handle, track, CPoint(0, 0),
            kLeft);
        slider->setOffsetHandle(CPoint(0, 2));
        track->forget();
        handle->forget();
        frame->addView(slider);
    }

    // The first column (frame x) of handle colour on the handle's top row.
    int handleColumn()
    {
        redraw();
        for (int x = kLeftEdge; x < kLeftEdge + kTrackWidth; ++x)
            if (at(x, kTopEdge + 2) == kHandle)
                return x - kLeftEdge;
        return -1;
    }
    CPoint point(int x) const { return CPoint(x, kTopEdge + 7); }
};

TEST(SliderTest, EditorGeometryGivesMinimumTwoAndRangeNinetyNine)
{
    SliderFixture f;
    EXPECT_EQ(f.slider->getMinPos(), 2);
    EXPECT_EQ(f.slider->getRange(), 99);
}

TEST(SliderTest, HandleSitsAtTheExactPixelsForZeroHalfAndOne)
{
    SliderFixture f;
    // Value 0 puts the left edge at 0, which the minimum position lifts to 2;
    // 0.5 x 99 = 49.5 truncates to 49; 1 gives 99 (right edge 110 <= 112).
    const std::pair<float, int> cases[] = {{0.0f, 2}, {0.5f, 49}, {1.0f, 99}};
    for (auto [value, left] : cases) {
        f.slider->setValue(value);
        EXPECT_EQ(f.slider->handleRect(), CRect(left, 2, left + 11, 13)) << value;
        EXPECT_EQ(f.handleColumn(), left) << value;
        // The handle is 11 pixels wide and 11 high, from row 2 of the track.
        EXPECT_EQ(f.at(kLeftEdge + left + 10, kTopEdge + 12), kHandle) << value;
        EXPECT_EQ(f.at(kLeftEdge + left + 11, kTopEdge + 7), kTrack) << value;
        EXPECT_EQ(f.at(kLeftEdge + left, kTopEdge + 1), kTrack) << value;
        EXPECT_EQ(f.at(kLeftEdge + left, kTopEdge + 13), kTrack) << value;
    }
}

TEST(SliderTest, ValuesOutsideTheRangeKeepTheHandleOnTheTrack)
{
    SliderFixture f;
    f.slider->setValue(-3.0f);
    EXPECT_EQ(f.slider->handleRect().left, 2);
    f.slider->setValue(7.0f);
    EXPECT_EQ(f.slider->handleRect().left, 2 + 99);
}

TEST(SliderTest, FreeClickCentresTheHandleUnderTheMouse)
{
    SliderFixture f;
    const int x = kGrab + 33; // a third of the range
    f.press(f.point(x), kLButton, {{f.point(x), 0}});
    ASSERT_EQ(f.listener.changes.size(), 1u);
    EXPECT_FLOAT_EQ(f.listener.changes[0].second, 33.0f / 99.0f);
    EXPECT_EQ(f.listener.changes[0].first, 28);
    const CRect handle = f.slider->handleRect();
    EXPECT_EQ(kLeftEdge + (handle.left + handle.right) / 2, x);
    EXPECT_EQ(f.slider->begins, 1);
    EXPECT_EQ(f.slider->ends, 1);
}

TEST(SliderTest, DragReachesBothLimitsAndStopsThere)
{
    SliderFixture f;
    const int x = kGrab + 33;
    const int passesBefore = f.frame->getModalPasses();
    f.press(f.point(x), kLButton,
        {{f.point(x + 500), kLButton},
            {f.point(x + 900), kLButton}, // beyond the end: still 1, no call
            {f.point(-400), kLButton}, {f.point(-800), kLButton}, {f.point(-800), 0}});
    const std::vector<float> expected {33.0f / 99.0f, 1.0f, 0.0f};
    EXPECT_EQ(f.listener.values(), expected);
    EXPECT_EQ(f.slider->getValue(), 0.0f);
    EXPECT_EQ(f.slider->begins, 1);
    EXPECT_EQ(f.slider->ends, 1);
    EXPECT_EQ(f.handleColumn(), 2);
    // The frame idled once per pass: after the free click and after each of
    // the four positions read with the button held.
    EXPECT_EQ(f.frame->getModalPasses() - passesBefore, 5);
}

TEST(SliderTest, ShiftDragMovesATenthOfTheMouseAndStillReachesBothLimits)
{
    SliderFixture f;
    const int x = kGrab + 33;
    f.press(f.point(x), kLButton,
        {{f.point(x + 99), kLButton | kShift}, // a whole range of mouse: a tenth
            {f.point(x + 99), kLButton | kShift}, // no movement, no call
            {f.point(x + 2099), kLButton | kShift}, // far right: 1
            {f.point(x - 8000), kLButton | kShift}, // far left: 0
            {f.point(x - 8000), 0}});
    const auto values = f.listener.values();
    ASSERT_EQ(values.size(), 4u);
    EXPECT_FLOAT_EQ(values[0], 33.0f / 99.0f);
    EXPECT_NEAR(values[1], 33.0f / 99.0f + 0.1f, 1e-6);
    EXPECT_EQ(values[2], 1.0f);
    EXPECT_EQ(values[3], 0.0f);
}

TEST(SliderTest, LettingGoOfShiftContinuesFromTheFineValue)
{
    SliderFixture f;
    const int x = kGrab + 33;
    f.press(f.point(x), kLButton,
        {{f.point(x + 99), kLButton | kShift},
            {f.point(x + 100), kLButton}, // one pixel more without shift
            {f.point(x + 100), 0}});
    const auto values = f.listener.values();
    ASSERT_EQ(values.size(), 3u);
    // One pixel is 1/99 of the range: no jump to where the mouse is (which
    // would be past the end).
    EXPECT_NEAR(values[2] - values[1], 1.0f / 99.0f, 0.011f);
    EXPECT_LT(values[2], 0.5f);
}

TEST(SliderTest, ControlClickSetsTheDefaultOnceAndDoesNotDrag)
{
    SliderFixture f;
    f.press(f.point(kGrab + 90), kLButton | kControl, {{f.point(kGrab), kLButton}});
    EXPECT_EQ(f.slider->getValue(), 0.5f);
    EXPECT_EQ(f.listener.values(), std::vector<float> {0.5f});
    EXPECT_EQ(f.window->pendingPointerStates(), 1u); // no tracking loop read the pointer
    // Already at the default: no call.
    f.press(f.point(kGrab + 90), kLButton | kControl);
    EXPECT_EQ(f.listener.changes.size(), 1u);
    EXPECT_EQ(f.slider->begins, f.slider->ends);
}

TEST(SliderTest, ListenerCanTakeOverAModifierClick)
{
    SliderFixture f;
    f.listener.modifierAnswer = 1;
    f.press(f.point(kGrab + 90), kLButton | kControl);
    f.press(f.point(kGrab + 90), kLButton | kShift, {{f.point(kGrab + 90), 0}});
    EXPECT_EQ(f.listener.modifierClicks.size(), 2u);
    EXPECT_TRUE(f.listener.changes.empty());
    EXPECT_EQ(f.slider->getValue(), 0.0f);
    EXPECT_EQ(f.slider->begins, 0);
}

TEST(SliderTest, RightOrMiddleButtonDoesNothing)
{
    SliderFixture f;
    f.press(f.point(kGrab + 50), kRButton);
    f.press(f.point(kGrab + 50), kMButton);
    EXPECT_TRUE(f.listener.changes.empty());
    EXPECT_EQ(f.slider->begins, 0);
}

TEST(SliderTest, WheelStepsATenthOrAHundredthWithShiftAndStopsAtTheEnds)
{
    SliderFixture f;
    const CPoint over = f.point(kGrab + 10);
    auto wheel = [&](float distance, long buttons) {
        f.window->setPointer(over, buttons);
        f.window->postWheel(over, distance, buttons);
        f.frame->idle();
    };
    wheel(1.0f, 0);
    EXPECT_FLOAT_EQ(f.slider->getValue(), 0.1f);
    wheel(1.0f, kShift);
    EXPECT_FLOAT_EQ(f.slider->getValue(), 0.11f);
    wheel(-3.0f, 0);
    EXPECT_EQ(f.slider->getValue(), 0.0f);
    wheel(-1.0f, 0); // already at 0: no call
    wheel(20.0f, 0);
    EXPECT_EQ(f.slider->getValue(), 1.0f);
    EXPECT_EQ(f.listener.changes.size(), 4u);
    EXPECT_EQ(f.slider->begins, 4);
    EXPECT_EQ(f.slider->ends, 4);
}

TEST(SliderTest, ArrowKeysStepOnlyOnceTheSliderHasTheFocus)
{
    SliderFixture f;
    VstKeyCode right {0, VKEY_RIGHT, 0};
    EXPECT_EQ(f.frame->onKeyDown(right), -1); // nothing focused yet
    EXPECT_EQ(f.slider->getValue(), 0.0f);

    // A click gives the focus (the free click moves it to 0 at the left end).
    f.press(f.point(kLeftEdge + 1), kLButton, {{f.point(kLeftEdge + 1), 0}});
    EXPECT_EQ(f.frame->getFocusView(), f.slider);
    auto key = [&](unsigned char virt, unsigned char modifier) {
        VstKeyCode code {0, virt, modifier};
        return f.frame->onKeyDown(code);
    };
    EXPECT_EQ(key(VKEY_RIGHT, 0), 1);
    EXPECT_FLOAT_EQ(f.slider->getValue(), 0.1f);
    key(VKEY_UP, 0);
    EXPECT_FLOAT_EQ(f.slider->getValue(), 0.2f);
    key(VKEY_LEFT, MODIFIER_SHIFT);
    EXPECT_FLOAT_EQ(f.slider->getValue(), 0.19f);
    key(VKEY_DOWN, 0);
    key(VKEY_DOWN, 0);
    EXPECT_EQ(f.slider->getValue(), 0.0f);
    EXPECT_EQ(key(VKEY_RETURN, 0), -1);

    // The same keys through the window's own key events.
    VstKeyCode up {0, VKEY_UP, 0};
    f.window->postKeyDown(up);
    f.frame->idle();
    EXPECT_FLOAT_EQ(f.slider->getValue(), 0.1f);
    EXPECT_EQ(f.slider->begins, f.slider->ends);
}

} // namespace
