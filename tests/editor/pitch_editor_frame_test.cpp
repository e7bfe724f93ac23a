#include "editor/pitch_editor.h"
#include "shell/pitch_effect.h"
#include "toolkit/c_bitmap.h"
#include "toolkit/c_frame.h"
#include "toolkit/offscreen_platform.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

struct PitchEditorFrameTest : ::testing::Test {
    OffscreenPlatform platform;
    std::unique_ptr<PitchEffect> effect = std::make_unique<PitchEffect>(nullptr);
    PitchEditor* editor = new PitchEditor(effect.get(), &platform); // owned by the effect
    int hostWindow = 0;
};

TEST_F(PitchEditorFrameTest, TheRectIsTheWindowSizeAndIdleBeforeOpenDoesNothing)
{
    EXPECT_EQ(effect->getEditor(), editor);
    ERect* rect = nullptr;
    ASSERT_TRUE(editor->getRect(&rect));
    EXPECT_EQ(rect->right, kEditorWidth);
    EXPECT_EQ(rect->bottom, kEditorHeight);
    editor->idle();
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_EQ(platform.windowsCreated(), 0);
}

TEST_F(PitchEditorFrameTest, OpenShowsTheTopOfTheBackgroundAndCloseDestroysTheFrame)
{
    ASSERT_TRUE(editor->open(&hostWindow));
    CFrame* frame = editor->getFrame();
    ASSERT_NE(frame, nullptr);
    CRect size;
    frame->getViewSize(size);
    EXPECT_EQ(size, CRect(0, 0, 820, 520));
    ASSERT_NE(frame->getBackground(), nullptr);
    EXPECT_EQ(frame->getBackground()->getWidth(), 820);
    EXPECT_EQ(frame->getBackground()->getHeight(), 600);
    editor->idle();
    OffscreenWindow* window = platform.lastWindow();
    ASSERT_NE(window, nullptr);
    CBitmap* background = frame->getBackground();
    // Where no view of the layout lies (the hidden scale menu takes 0, 0).
    for (auto [x, y] : {std::pair {2, 2}, {819, 519}, {415, 10}})
        EXPECT_EQ(window->pixel(x, y), background->getPixel(x, y));
    window->writePng("pitch_editor_closed_layout.png");

    editor->close();
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_FALSE(editor->isOpen());
    EXPECT_EQ(platform.lastWindow(), nullptr);
    // Reopening builds a fresh frame with the same background.
    ASSERT_TRUE(editor->open(&hostWindow));
    EXPECT_EQ(editor->getFrame()->getBackground(), background);
    EXPECT_EQ(platform.windowsCreated(), 2);
}

// A platform whose windows cannot be made, like a host window id that names nothing.
class NoWindows : public OffscreenPlatform {
public:
    std::unique_ptr<PlatformWindow> createWindow(void*, int, int) override { return nullptr; }
};

TEST(PitchEditorOpenTest, OpenFailsCleanlyWhenTheWindowCannotBeMade)
{
    NoWindows platform;
    auto effect = std::make_unique<PitchEffect>(nullptr);
    auto* editor = new PitchEditor(effect.get(), &platform);
    int hostWindow = 0;
    EXPECT_FALSE(editor->open(&hostWindow));
    EXPECT_FALSE(editor->isOpen());
    EXPECT_EQ(editor->getFrame(), nullptr);
    editor->idle();
}

} // namespace
