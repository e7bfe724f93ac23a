#include "toolkit/aeff_gui_editor.h"

#include "shell/audio_effect.h"
#include "toolkit/c_frame.h"
#include "toolkit/platform.h"

namespace {
constexpr uint64_t kIdleStuffWait = 4; // ms slept per pass while too early
constexpr uint64_t kIdleStuffPeriod = 100; // ms between two idles of a modal loop
constexpr uint64_t kIdleStuffSlack = 50; // ms early at which a pass still waits again
} // namespace

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect, Platform* platform)
    : AEffEditor(effect)
    , platform(platform ? platform : &defaultPlatform())
{
    // Nothing accepts dropped items, so no drag-and-drop target is registered.
    lastTicks = this->platform->clock().ticks();
    if (effect)
        effect->setEditor(this);
}

AEffGUIEditor::~AEffGUIEditor()
{
    *alive = false;
    if (frame) {
        frame->detachEditor();
        frame->forget();
    }
    frame = nullptr;
}

bool AEffGUIEditor::getRect(ERect** rectOut)
{
    if (!rectOut)
        return false;
    *rectOut = &rect;
    return true;
}

bool AEffGUIEditor::open(void* parentWindow)
{
    // The host may open again while a modal loop of the old frame runs: the
    // frame cannot go then, so the request is refused.
    if (frame && frame->inEventDispatch())
        return false;
    if (isOpen() || frame)
        close();
    closeDeferred = false;
    systemWindow = parentWindow;
    return true;
}

void AEffGUIEditor::close()
{
    if (deferClose())
        return;
    if (frame)
        frame->forget();
    frame = nullptr;
    systemWindow = nullptr;
}

bool AEffGUIEditor::deferClose()
{
    if (frame && frame->inEventDispatch()) {
        closeDeferred = true;
        return true;
    }
    closeDeferred = false;
    return false;
}

void AEffGUIEditor::runDeferredClose()
{
    if (closeDeferred && !(frame && frame->inEventDispatch())) {
        closeDeferred = false;
        close();
    }
}

void AEffGUIEditor::idle()
{
    if (inIdleStuff)
        return;
    // A modal loop in the frame's handlers idles the host, which may delete
    // its instance, and this editor with it, meanwhile.
    std::shared_ptr<bool> stillAlive = alive;
    if (frame)
        frame->idle();
    if (!*stillAlive)
        return;
    // The host destroyed its window before closing the editor: close
    // quietly now, so that its next open starts afresh.
    if (frame && frame->getPlatformWindow() && frame->getPlatformWindow()->isGone()) {
        close();
        return;
    }
    runDeferredClose();
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& key) { return frame && frame->onKeyDown(key) != -1; }

bool AEffGUIEditor::onKeyUp(VstKeyCode& key) { return frame && frame->onKeyUp(key) != -1; }

bool AEffGUIEditor::onWheel(float distance) { return frame && frame->onWheel(distance); }

bool AEffGUIEditor::setKnobMode(VstInt32 mode)
{
    knobMode = mode;
    return true;
}

void AEffGUIEditor::beginEdit(VstInt32 index)
{
    if (effect)
        effect->beginEdit(index);
}

void AEffGUIEditor::endEdit(VstInt32 index)
{
    if (effect)
        effect->endEdit(index);
}

void AEffGUIEditor::doIdleStuff()
{
    if (frame)
        frame->noteModalPass();
    PlatformClock& clock = platform->clock();
    // Ticks are 64-bit and compared signed, so an early start cannot wrap.
    int64_t now = int64_t(clock.ticks());
    if (now < int64_t(lastTicks)) {
        clock.sleep(int(kIdleStuffWait));
        now += int64_t(kIdleStuffWait);
        if (now < int64_t(lastTicks) - int64_t(kIdleStuffSlack))
            return;
    }
    // The redraw (and with it the one pending exposure) of this pass.
    idle();
    lastTicks = uint64_t(now) + kIdleStuffPeriod;
    inIdleStuff = true;
    std::shared_ptr<bool> stillAlive = alive;
    if (effect)
        effect->callHost(audioMasterIdle);
    if (*stillAlive)
        inIdleStuff = false;
}
