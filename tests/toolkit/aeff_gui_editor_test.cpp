#include "offscreen_frame.h"
#include "shell/audio_effect.h"
#include "toolkit/aeff_gui_editor.h"

#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace {

// The host side: every callback recorded, idle answered by a hook.
struct HostLog {
    std::vector<std::pair<VstInt32, VstInt32>> calls; // opcode, index
    std::function<void()> onIdle;
    int count(VstInt32 opcode) const
    {
        int n = 0;
        for (auto& call : calls)
            n += call.first == opcode;
        return n;
    }
};
HostLog* hostLog = nullptr;

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float)
{
    if (hostLog) {
        hostLog->calls.push_back({opcode, index});
        if (opcode == audioMasterIdle && hostLog->onIdle)
            hostLog->onIdle();
    }
    return opcode == audioMasterVersion ? 2400 : 0;
}

constexpr VstInt32 kTestParams = 3;

// An editor that builds a frame with one view, as the plug-in's does.
class TestEditor : public AEffGUIEditor {
public:
    TestEditor(AudioEffect* effect, OffscreenPlatform& platform)
        : AEffGUIEditor(effect, &platform)
        , platform(platform)
    {
        rect = ERect {0, 0, 48, 64};
    }
    bool open(void* window) override
    {
        if (!AEffGUIEditor::open(window))
            return false;
        frame = new CFrame(CRect(0, 0, 64, 48), window, this);
        view = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
        frame->addView(view);
        ++opens;
        return true;
    }
    void close() override
    {
        if (deferClose())
            return;
        ++closes;
        view = nullptr;
        AEffGUIEditor::close();
    }
    OffscreenWindow* window() const { return platform.lastWindow(); }

    OffscreenPlatform& platform;
    RecordingView* view = nullptr;
    int opens = 0;
    int closes = 0;
};

struct EditorFixture : ::testing::Test {
    HostLog log;
    OffscreenPlatform platform;
    AudioEffect* effect;
    TestEditor* editor;
    int hostWindow = 0;
    EditorFixture()
    {
        hostLog = &log;
        effect = new AudioEffect(hostCallback, 1, kTestParams);
        editor = new TestEditor(effect, platform); // the effect owns it
    }
    ~EditorFixture() override
    {
        delete effect;
        hostLog = nullptr;
    }
};

TEST_F(EditorFixture, TheEditorRegistersWithItsEffectAndHandsOutItsRect)
{
    EXPECT_EQ(effect->getEditor(), editor);
    EXPECT_TRUE(effect->getAeffect()->flags & effFlagsHasEditor);
    ERect* rect = nullptr;
    EXPECT_EQ(effect->dispatcher(effEditGetRect, 0, 0, &rect, 0), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, 64);
    EXPECT_EQ(rect->bottom, 48);
    EXPECT_FALSE(editor->getRect(nullptr));
    EXPECT_EQ(editor->getLastTicks(), platform.virtualClock.now);
}

TEST_F(EditorFixture, OpenIdleAndCloseThroughTheDispatcher)
{
    EXPECT_FALSE(editor->isOpen());
    effect->dispatcher(effEditIdle, 0, 0, nullptr, 0); // closed: nothing happens
    EXPECT_EQ(effect->dispatcher(effEditOpen, 0, 0, &hostWindow, 0), 1);
    EXPECT_TRUE(editor->isOpen());
    ASSERT_NE(editor->getFrame(), nullptr);
    effect->dispatcher(effEditIdle, 0, 0, nullptr, 0);
    EXPECT_EQ(editor->view->draws, 1);
    EXPECT_EQ(editor->window()->pixel(3, 3), kRedCColor);
    effect->dispatcher(effEditClose, 0, 0, nullptr, 0);
    EXPECT_FALSE(editor->isOpen());
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_EQ(platform.lastWindow(), nullptr); // the window went with the frame
}

TEST_F(EditorFixture, OpeningAgainClosesTheOldFrameFirst)
{
    editor->open(&hostWindow);
    CFrame* first = editor->getFrame();
    editor->open(&hostWindow);
    EXPECT_EQ(editor->closes, 1);
    EXPECT_EQ(editor->opens, 2);
    EXPECT_NE(editor->getFrame(), nullptr);
    EXPECT_EQ(platform.windowsCreated(), 2);
    (void)first;
}

TEST_F(EditorFixture, EditGesturesReachTheHostOnlyForRealParameters)
{
    editor->open(&hostWindow);
    auto* control = new GreyControl(CRect(0, 0, 5, 5), nullptr, 2);
    auto* beyond = new GreyControl(CRect(0, 0, 5, 5), nullptr, kTestParams);
    editor->getFrame()->addView(control);
    editor->getFrame()->addView(beyond);
    control->beginEdit();
    control->endEdit();
    beyond->beginEdit();
    beyond->endEdit();
    editor->beginEdit(-1);
    EXPECT_EQ(log.count(audioMasterBeginEdit), 1);
    EXPECT_EQ(log.count(audioMasterEndEdit), 1);
    for (auto& call : log.calls) {
        if (call.first == audioMasterBeginEdit) {
            EXPECT_EQ(call.second, 2);
        }
    }
}

TEST_F(EditorFixture, KnobModeIsStoredAndKeysAndWheelReachTheFrame)
{
    EXPECT_EQ(effect->dispatcher(effSetEditKnobMode, 0, 2, nullptr, 0), 0); // not an AudioEffectX
    editor->setKnobMode(2);
    EXPECT_EQ(editor->getKnobMode(), 2);
    VstKeyCode key {'x', 0, 0};
    EXPECT_FALSE(editor->onKeyDown(key)); // closed
    editor->open(&hostWindow);
    editor->getFrame()->setFocusView(editor->view);
    EXPECT_TRUE(editor->onKeyDown(key));
    EXPECT_EQ(editor->view->keys, std::vector<int> {'x'});
    EXPECT_FALSE(editor->onKeyUp(key)); // the view does not handle releases
    editor->window()->setPointer(CPoint(4, 4), 0);
    EXPECT_TRUE(editor->onWheel(-1.0f));
    EXPECT_FLOAT_EQ(editor->view->wheel, -1.0f);
}

TEST_F(EditorFixture, DoIdleStuffWaitsInFourMillisecondStepsBetweenIdles)
{
    editor->open(&hostWindow);
    VirtualClock& clock = platform.virtualClock;
    // The first pass idles at once: the last idle time is the construction time.
    editor->doIdleStuff();
    EXPECT_EQ(log.count(audioMasterIdle), 1);
    EXPECT_EQ(clock.slept, 0);
    EXPECT_EQ(editor->getLastTicks(), clock.now + 100);
    // Until 50 ms before the next idle time each pass sleeps 4 ms and returns.
    int passes = 0;
    while (log.count(audioMasterIdle) == 1 && passes < 1000) {
        editor->doIdleStuff();
        ++passes;
    }
    EXPECT_EQ(log.count(audioMasterIdle), 2);
    EXPECT_EQ(clock.slept, 4 * passes);
    // The pass that idles is the first one whose tick, plus its 4 ms, is no
    // longer more than 50 ms early.
    EXPECT_EQ(passes, 13); // 13 x 4 = 52 >= 100 - 50
}

TEST_F(EditorFixture, IdleDoesNotReenterWhileTheHostIdlesForDoIdleStuff)
{
    editor->open(&hostWindow);
    editor->idle(); // first paint
    int nested = 0;
    log.onIdle = [&] {
        // The host idles the editor from inside its own idle routine.
        editor->view->setDirty(true);
        int before = editor->view->draws;
        effect->dispatcher(effEditIdle, 0, 0, nullptr, 0);
        nested += editor->view->draws - before;
        EXPECT_TRUE(editor->isInIdleStuff());
    };
    editor->doIdleStuff();
    EXPECT_EQ(nested, 0);
    EXPECT_FALSE(editor->isInIdleStuff());
    editor->idle();
    EXPECT_EQ(editor->view->draws, 2); // the redraw happens at the next plain idle
}

// Drags until the button goes up, pacing itself like a slider.
class ModalView : public RecordingView {
public:
    using RecordingView::RecordingView;
    void mouse(CDrawContext* context, CPoint& where, long buttons) override
    {
        RecordingView::mouse(context, where, buttons);
        CFrame* frame = getParentFrame();
        while (context->getMouseButtons() & kLButton)
            frame->doIdleStuff();
        ++finished;
    }
    int finished = 0;
};

TEST_F(EditorFixture, ACloseDuringAModalLoopWaitsUntilTheLoopHasReturned)
{
    editor->open(&hostWindow);
    editor->idle();
    auto* modal = new ModalView(CRect(20, 0, 40, 20), kGreenCColor);
    modal->remember();
    editor->getFrame()->addView(modal);
    OffscreenWindow* window = editor->window();
    window->postMouseDown(CPoint(25, 5), kLButton);
    for (int i = 0; i < 300; ++i)
        window->scriptPointer(CPoint(25, 5), kLButton);
    window->scriptPointer(CPoint(25, 5), 0);
    bool closedInside = false;
    log.onIdle = [&] {
        if (editor->isOpen() && !closedInside) {
            closedInside = true;
            effect->dispatcher(effEditClose, 0, 0, nullptr, 0);
            EXPECT_NE(editor->getFrame(), nullptr); // still there: the loop runs
        }
    };
    effect->dispatcher(effEditIdle, 0, 0, nullptr, 0);
    EXPECT_TRUE(closedInside);
    EXPECT_EQ(modal->finished, 1);
    EXPECT_EQ(editor->getFrame(), nullptr); // closed once the loop returned
    EXPECT_EQ(editor->closes, 1);
    EXPECT_FALSE(editor->isOpen());
    EXPECT_EQ(modal->getParentView(), nullptr);
    modal->forget();
}

} // namespace
