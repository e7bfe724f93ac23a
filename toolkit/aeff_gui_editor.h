// The editor base of the view toolkit: registers itself with its effect,
// holds the editor rectangle, the host's window and the frame, passes the
// host's idle, key and wheel requests to the frame, and paces the host while
// a modal loop (a slider drag, a popup menu) runs inside a mouse-down.
#pragma once

#include "shell/aeff_editor.h"

#include <cstdint>
#include <memory>

class CFrame;
class Platform;

class AEffGUIEditor : public AEffEditor {
public:
    // Without a platform the editor's frames go to the offscreen one.
    explicit AEffGUIEditor(AudioEffect* effect, Platform* platform = nullptr);
    ~AEffGUIEditor() override;

    bool getRect(ERect** rect) override;
    // Stores the host's window; the subclass creates the frame. A frame that
    // is still open is closed first.
    bool open(void* parentWindow) override;
    void close() override;
    // Lets the frame run its idle, unless a doIdleStuff is in progress.
    void idle() override;
    bool onKeyDown(VstKeyCode& key) override;
    bool onKeyUp(VstKeyCode& key) override;
    bool onWheel(float distance) override;
    bool setKnobMode(VstInt32 mode) override;
    VstInt32 getKnobMode() const { return knobMode; }

    virtual void setParameter(VstInt32 /*index*/, float /*value*/) { }
    // Edit gestures go to the effect, which tells the host about real parameters only.
    virtual void beginEdit(VstInt32 index);
    virtual void endEdit(VstInt32 index);
    // One pass of a modal loop: waits 4 ms at a time, and at most every
    // 100 ms redraws and lets the host run its idle.
    virtual void doIdleStuff();

    CFrame* getFrame() const { return frame; }
    Platform& getPlatform() const { return *platform; }
    void* getSystemWindow() const { return systemWindow; }
    uint64_t getLastTicks() const { return lastTicks; }
    bool isInIdleStuff() const { return inIdleStuff; }

protected:
    // A close that arrives while the frame handles an event (the host closing
    // the editor from inside a modal loop) must wait until the handler has
    // returned; subclasses start their close with this and stop when it is true.
    bool deferClose();
    // Runs a deferred close once nothing of the frame is on the stack.
    void runDeferredClose();

    CFrame* frame = nullptr;
    ERect rect {};

    // True while this editor exists: a command that waits for the user (a
    // popup, a dialog) keeps a copy and checks it before touching the editor.
    std::shared_ptr<const bool> lifeToken() const { return alive; }

private:
    Platform* platform;
    uint64_t lastTicks;
    bool inIdleStuff = false;
    bool closeDeferred = false;
    VstInt32 knobMode = 0;
    // False once the editor is destroyed: a host may delete its instance
    // from inside the idle that doIdleStuff asks for.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};
