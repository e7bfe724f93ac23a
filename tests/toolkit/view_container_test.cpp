#include "offscreen_frame.h"
#include "toolkit/c_bitmap.h"

#include <gtest/gtest.h>

namespace {

TEST(ViewContainerTest, ChildrenDrawAtTheirContainersOffset)
{
    OffscreenFrame offscreen(64, 48);
    auto* container = new CViewContainer(CRect(10, 20, 40, 40), offscreen.frame);
    container->setBackgroundColor(kBlueCColor);
    auto* child = new RecordingView(CRect(2, 3, 6, 5), kRedCColor);
    container->addView(child);
    offscreen.frame->addView(container);
    offscreen.paint();

    EXPECT_EQ(offscreen.at(12, 23), kRedCColor);
    EXPECT_EQ(offscreen.at(15, 24), kRedCColor);
    EXPECT_EQ(offscreen.at(16, 24), kBlueCColor);
    EXPECT_EQ(offscreen.at(10, 20), kBlueCColor);
    EXPECT_EQ(offscreen.at(39, 39), kBlueCColor);
    EXPECT_EQ(offscreen.at(40, 39), kBlackCColor); // the frame's own background colour
    EXPECT_EQ(child->draws, 1);
}

TEST(ViewContainerTest, EachChildIsClippedToItsSizeAndToItsContainer)
{
    // A child that paints far beyond its own size.
    class Spill : public CView {
    public:
        using CView::CView;
        void draw(CDrawContext* context) override
        {
            context->setFillColor(kGreenCColor);
            context->setClipRect(CRect(-100, -100, 100, 100)); // cannot widen the limit
            context->fillRect(CRect(-100, -100, 100, 100));
        }
    };
    OffscreenFrame offscreen(64, 48);
    auto* container = new CViewContainer(CRect(10, 10, 30, 30), offscreen.frame);
    container->addView(new Spill(CRect(5, 5, 40, 40)));
    offscreen.frame->addView(container);
    offscreen.paint();
    EXPECT_EQ(inkBounds(*offscreen.window, kBlackCColor), CRect(15, 15, 30, 30));
}

TEST(ViewContainerTest, MouseDownGoesToTheLastAddedEnabledChildUnderThePoint)
{
    OffscreenFrame offscreen(64, 48);
    auto* container = new CViewContainer(CRect(10, 10, 50, 40), offscreen.frame);
    auto* below = new RecordingView(CRect(0, 0, 20, 20), kRedCColor);
    auto* above = new RecordingView(CRect(5, 5, 20, 20), kGreenCColor);
    auto* disabled = new RecordingView(CRect(0, 0, 40, 30), kBlueCColor);
    disabled->setMouseEnabled(false);
    container->addView(below);
    container->addView(above);
    container->addView(disabled);
    offscreen.frame->addView(container);

    CDrawContext* context = offscreen.frame->createDrawContext();
    CPoint where(17, 17); // frame coordinates: (7, 7) in the container
    offscreen.frame->mouse(context, where, kLButton);
    EXPECT_EQ(above->clicks, 1);
    EXPECT_EQ(below->clicks, 0);
    EXPECT_EQ(disabled->clicks, 0);
    EXPECT_EQ(above->lastWhere, CPoint(7, 7));
    EXPECT_EQ(above->lastButtons, kLButton);
    EXPECT_EQ(above->lastOffset, CPoint(10, 10)); // the child draws in container coordinates

    where = CPoint(12, 12); // (2, 2): outside "above"
    offscreen.frame->mouse(context, where, kRButton);
    EXPECT_EQ(below->clicks, 1);

    // The mouseable area decides, not the size.
    below->setMouseableArea(CRect(0, 0, 1, 1));
    where = CPoint(12, 12);
    offscreen.frame->mouse(context, where, kLButton);
    EXPECT_EQ(below->clicks, 1);
    context->forget();
}

TEST(ViewContainerTest, FrameToLocalSubtractsEveryEnclosingContainer)
{
    OffscreenFrame offscreen(100, 100);
    auto* outer = new CViewContainer(CRect(10, 20, 90, 90), offscreen.frame);
    auto* inner = new CViewContainer(CRect(5, 6, 50, 50), offscreen.frame);
    auto* leaf = new RecordingView(CRect(1, 1, 4, 4), kRedCColor);
    inner->addView(leaf);
    outer->addView(inner);
    offscreen.frame->addView(outer);
    CPoint point(30, 40);
    leaf->frameToLocal(point);
    EXPECT_EQ(point, CPoint(15, 14));
    leaf->localToFrame(point);
    EXPECT_EQ(point, CPoint(30, 40));

    offscreen.window->setPointer(CPoint(50, 60), 0);
    CDrawContext* context = offscreen.frame->createDrawContext();
    leaf->getMouseLocation(context, point);
    EXPECT_EQ(point, CPoint(35, 34));
    context->forget();
}

TEST(ViewContainerTest, AContainerForgetsItsChildrenAndRemoveCanKeepThem)
{
    int before = RecordingView::destroyed;
    auto* container = new CViewContainer(CRect(0, 0, 10, 10), nullptr);
    auto* kept = new RecordingView(CRect(0, 0, 1, 1), kRedCColor);
    auto* shared = new RecordingView(CRect(0, 0, 1, 1), kRedCColor);
    container->addView(kept);
    container->addView(shared);
    container->addView(new RecordingView(CRect(0, 0, 1, 1), kRedCColor));
    shared->remember(); // someone else holds it too

    EXPECT_TRUE(container->removeView(kept, false));
    EXPECT_FALSE(container->removeView(kept, false)); // no longer a child
    EXPECT_EQ(kept->getParentView(), nullptr);
    container->forget();
    EXPECT_EQ(RecordingView::destroyed, before + 1); // only the unshared child went
    EXPECT_EQ(shared->getNbReference(), 1);
    shared->forget();
    kept->forget();
    EXPECT_EQ(RecordingView::destroyed, before + 3);
}

TEST(ViewContainerTest, AddingTheSameViewTwiceKeepsOneEntry)
{
    auto* container = new CViewContainer(CRect(0, 0, 10, 10), nullptr);
    auto* view = new RecordingView(CRect(0, 0, 1, 1), kRedCColor);
    container->addView(view);
    container->addView(view);
    EXPECT_EQ(container->getNbViews(), 1);
    container->addView(nullptr);
    EXPECT_EQ(container->getNbViews(), 1);
    container->forget();
}

TEST(ViewContainerTest, ABackgroundBitmapIsRememberedAndTheOldOneForgotten)
{
    DecodedImage pixels;
    pixels.width = pixels.height = 2;
    pixels.rgba.assign(16, 255);
    auto* first = new CBitmap(pixels);
    auto* second = new CBitmap(pixels);
    auto* view = new RecordingView(CRect(0, 0, 2, 2), kRedCColor);
    view->setBackground(first);
    EXPECT_EQ(first->getNbReference(), 2);
    view->setBackground(second);
    EXPECT_EQ(first->getNbReference(), 1);
    EXPECT_EQ(second->getNbReference(), 2);
    view->forget();
    EXPECT_EQ(second->getNbReference(), 1);
    first->forget();
    second->forget();
}

TEST(ViewContainerTest, ContainerIsDirtyOnlyThroughChildrenInsideIt)
{
    auto* container = new CViewContainer(CRect(0, 0, 20, 20), nullptr);
    auto* inside = new RecordingView(CRect(0, 0, 5, 5), kRedCColor);
    auto* outside = new RecordingView(CRect(30, 30, 35, 35), kRedCColor);
    container->addView(inside);
    container->addView(outside);
    container->setDirty(false);
    EXPECT_FALSE(container->isDirty());
    outside->setDirty(true);
    EXPECT_FALSE(container->isDirty());
    inside->setDirty(true);
    EXPECT_TRUE(container->isDirty());
    container->forget();
}

} // namespace
