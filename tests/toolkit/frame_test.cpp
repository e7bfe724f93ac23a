#include "offscreen_frame.h"

#include <gtest/gtest.h>

namespace {

// A frame of 64 x 48 with three views side by side.
struct ThreeViews : OffscreenFrame {
    RecordingView* views[3];
    ThreeViews()
        : OffscreenFrame(64, 48)
    {
        const CColor colors[3] = {kRedCColor, kGreenCColor, kBlueCColor};
        for (int i = 0; i < 3; ++i) {
            views[i] = new RecordingView(CRect(i * 20, 0, i * 20 + 10, 10), colors[i]);
            frame->addView(views[i]);
        }
    }
    int totalDraws() const { return views[0]->draws + views[1]->draws + views[2]->draws; }
};

TEST(FrameTest, IdleRedrawsNothingBeforeTheWindowIsFirstPainted)
{
    ThreeViews offscreen;
    offscreen.window->clearEvents(); // the first exposure has not come yet
    offscreen.frame->idle();
    EXPECT_FALSE(offscreen.frame->isPainted());
    EXPECT_EQ(offscreen.totalDraws(), 0);
    EXPECT_EQ(offscreen.window->presentCount(), 0);

    offscreen.window->postExpose();
    offscreen.frame->idle();
    EXPECT_TRUE(offscreen.frame->isPainted());
    EXPECT_EQ(offscreen.totalDraws(), 3);
    EXPECT_EQ(offscreen.at(25, 5), kGreenCColor);
}

TEST(FrameTest, IdleRedrawsOnlyTheDirtyViewsAndShowsOnlyTheirArea)
{
    ThreeViews offscreen;
    offscreen.paint();
    int presents = offscreen.window->presentCount();
    offscreen.frame->idle(); // nothing dirty: nothing drawn, nothing shown
    EXPECT_EQ(offscreen.totalDraws(), 3);
    EXPECT_EQ(offscreen.window->presentCount(), presents);

    offscreen.views[1]->color = kYellowCColor;
    offscreen.views[1]->setDirty(true);
    offscreen.frame->idle();
    EXPECT_EQ(offscreen.views[0]->draws, 1);
    EXPECT_EQ(offscreen.views[1]->draws, 2);
    EXPECT_EQ(offscreen.views[2]->draws, 1);
    EXPECT_EQ(offscreen.at(25, 5), kYellowCColor);
    EXPECT_EQ(offscreen.window->lastPresented(), CRect(20, 0, 30, 10));
    EXPECT_FALSE(offscreen.frame->isDirty());
}

TEST(FrameTest, TheFramesOwnDirtyFlagRedrawsEverything)
{
    ThreeViews offscreen;
    offscreen.paint();
    offscreen.frame->setDirty(true);
    offscreen.frame->idle();
    EXPECT_EQ(offscreen.totalDraws(), 6);
    EXPECT_EQ(offscreen.window->lastPresented(), CRect(0, 0, 64, 48));
}

TEST(FrameTest, LaterExposuresOnlyCopyTheBackBuffer)
{
    ThreeViews offscreen;
    offscreen.paint();
    int presents = offscreen.window->presentCount();
    offscreen.window->invalidate(CRect(0, 0, 5, 5));
    offscreen.frame->idle();
    EXPECT_EQ(offscreen.totalDraws(), 3);
    EXPECT_EQ(offscreen.window->presentCount(), presents + 1);
    EXPECT_EQ(offscreen.window->lastPresented(), CRect(0, 0, 5, 5));
}

TEST(FrameTest, ATransparentDirtyViewIsRedrawnOverTheBackgroundNotOverItself)
{
    // Draws a translucent-looking mark: its colour depends on what lies below.
    class Overlay : public CView {
    public:
        using CView::CView;
        void draw(CDrawContext* context) override
        {
            CColor below = context->getPoint(CPoint(size.left, size.top));
            context->drawPoint(CPoint(size.left, size.top),
                CColor {uint8_t(below.red + 40), below.green, below.blue, 255});
        }
    };
    OffscreenFrame offscreen(20, 20);
    auto* overlay = new Overlay(CRect(2, 2, 6, 6));
    overlay->setTransparency(true);
    offscreen.frame->setBackgroundColor(CColor {100, 0, 0, 255});
    offscreen.frame->addView(overlay);
    offscreen.paint();
    EXPECT_EQ(offscreen.at(2, 2).red, 140);
    overlay->setDirty(true);
    offscreen.frame->idle();
    EXPECT_EQ(offscreen.at(2, 2).red, 140); // not 180
}

TEST(FrameTest, QueuedClicksReachTheViewUnderThePoint)
{
    ThreeViews offscreen;
    offscreen.paint();
    offscreen.window->postMouseDown(CPoint(45, 3), kLButton | kShift);
    offscreen.window->postMouseDown(CPoint(15, 3), kLButton); // between views: nobody
    offscreen.frame->idle();
    EXPECT_EQ(offscreen.views[2]->clicks, 1);
    EXPECT_EQ(offscreen.views[2]->lastWhere, CPoint(45, 3));
    EXPECT_EQ(offscreen.views[2]->lastButtons, kLButton | kShift);
    EXPECT_EQ(offscreen.views[0]->clicks + offscreen.views[1]->clicks, 0);
}

// Runs a tracking loop until the button goes up, the way a slider drag does.
class DragView : public RecordingView {
public:
    using RecordingView::RecordingView;
    void mouse(CDrawContext* context, CPoint& where, long buttons) override
    {
        RecordingView::mouse(context, where, buttons);
        while (context->getMouseButtons() & kLButton) {
            ++passes;
            getParentFrame()->doIdleStuff();
        }
    }
    int passes = 0;
};

TEST(FrameTest, InputQueuedDuringAModalLoopIsDroppedWhenItEnds)
{
    OffscreenFrame offscreen(64, 48);
    auto* drag = new DragView(CRect(0, 0, 30, 30), kRedCColor);
    auto* other = new RecordingView(CRect(30, 0, 60, 30), kGreenCColor);
    offscreen.frame->addView(drag);
    offscreen.frame->addView(other);
    offscreen.paint();

    offscreen.window->postMouseDown(CPoint(5, 5), kLButton);
    offscreen.window->scriptPointer(CPoint(6, 5), kLButton);
    offscreen.window->scriptPointer(CPoint(7, 5), kLButton);
    offscreen.window->scriptPointer(CPoint(8, 5), 0);
    // Meanwhile the user clicked the other view: that click must not start
    // a second gesture once the drag is over.
    offscreen.window->postMouseDown(CPoint(40, 5), kLButton);
    offscreen.window->postExpose();
    offscreen.frame->idle();
    EXPECT_EQ(drag->clicks, 1);
    EXPECT_EQ(drag->passes, 2);
    offscreen.frame->idle();
    EXPECT_EQ(other->clicks, 0);
    EXPECT_EQ(offscreen.window->pendingEvents(), 0u);
}

TEST(FrameTest, KeysGoToTheFocusViewAndTheWheelToTheViewUnderTheMouse)
{
    ThreeViews offscreen;
    VstKeyCode key {'a', 0, 0};
    EXPECT_EQ(offscreen.frame->onKeyDown(key), -1); // no focus view
    offscreen.frame->setFocusView(offscreen.views[1]);
    EXPECT_EQ(offscreen.frame->onKeyDown(key), 1);
    EXPECT_EQ(offscreen.views[1]->keys, std::vector<int> {'a'});

    offscreen.window->setPointer(CPoint(3, 3), 0);
    EXPECT_TRUE(offscreen.frame->onWheel(2.0f));
    EXPECT_FLOAT_EQ(offscreen.views[0]->wheel, 2.0f);
    offscreen.window->setPointer(CPoint(15, 3), 0);
    EXPECT_FALSE(offscreen.frame->onWheel(1.0f));

    // A click clears the focus; removing the focus view clears it too.
    CDrawContext* context = offscreen.frame->createDrawContext();
    CPoint where(25, 5);
    offscreen.frame->mouse(context, where, kLButton);
    context->forget();
    EXPECT_EQ(offscreen.frame->getFocusView(), nullptr);
    offscreen.frame->setFocusView(offscreen.views[2]);
    offscreen.frame->removeView(offscreen.views[2]);
    EXPECT_EQ(offscreen.frame->getFocusView(), nullptr);
}

TEST(FrameTest, RemoveAllForgetsTheChildrenAndTheFrameForgetsTheRest)
{
    int before = RecordingView::destroyed;
    {
        ThreeViews offscreen;
        offscreen.views[0]->remember();
        offscreen.frame->removeAll(true);
        EXPECT_EQ(offscreen.frame->getNbViews(), 0);
        EXPECT_EQ(RecordingView::destroyed, before + 2);
        offscreen.frame->addView(offscreen.views[0]); // the frame takes our reference
    }
    EXPECT_EQ(RecordingView::destroyed, before + 3);
}

TEST(ControlTest, ADrawnControlIsDirtyOnlyWhenItsValueChanges)
{
    OffscreenFrame offscreen(20, 20);
    auto* control = new GreyControl(CRect(0, 0, 10, 10));
    EXPECT_FLOAT_EQ(control->getValue(), 0.0f);
    EXPECT_FLOAT_EQ(control->getOldValue(), 1.0f);
    EXPECT_FLOAT_EQ(control->getDefaultValue(), 0.5f);
    EXPECT_FLOAT_EQ(control->getWheelInc(), 0.1f);
    EXPECT_TRUE(control->isDirty()); // 0 against the old value 1
    offscreen.frame->addView(control);
    offscreen.paint();
    EXPECT_EQ(control->draws, 1);
    EXPECT_FALSE(control->isDirty());

    control->setValue(0.0f); // the same value: nothing to draw
    EXPECT_FALSE(control->isDirty());
    control->setValue(1.0f);
    EXPECT_TRUE(control->isDirty());
    offscreen.frame->idle();
    EXPECT_EQ(control->draws, 2);
    EXPECT_EQ(offscreen.at(5, 5), kWhiteCColor);

    control->setDirty(true); // forced, value unchanged
    EXPECT_TRUE(control->isDirty());
    control->setValue(0.25f);
    control->setDirty(false); // the value counts as drawn
    EXPECT_FALSE(control->isDirty());
    EXPECT_FLOAT_EQ(control->getOldValue(), 0.25f);
}

TEST(ControlTest, BounceValueClampsToTheRange)
{
    auto* control = new GreyControl(CRect(0, 0, 1, 1));
    control->setValue(1.5f);
    control->bounceValue();
    EXPECT_FLOAT_EQ(control->getValue(), 1.0f);
    control->setMin(0.2f);
    control->setValue(-3.0f);
    control->bounceValue();
    EXPECT_FLOAT_EQ(control->getValue(), 0.2f);
    control->forget();
}

} // namespace
