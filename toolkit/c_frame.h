// The container that owns the editor's window: the root of the view tree. It
// redraws dirty views when the editor idles, passes the window's events to
// its views and forwards edit gestures to the editor.
#pragma once

#include "toolkit/c_view_container.h"
#include "toolkit/platform.h"

#include <memory>

class AEffGUIEditor;
class CDrawContext;

class CFrame : public CViewContainer, private WindowEvents {
public:
    // Creates a visible child window of size's width and height at (0, 0)
    // inside parentWindow, on the editor's platform (the default platform
    // without an editor).
    CFrame(const CRect& size, void* parentWindow, AEffGUIEditor* editor);
    CFrame(const CRect& size, void* parentWindow, AEffGUIEditor* editor, Platform& platform);

    bool isOpen() const { return window != nullptr; }
    // True once the window has been painted; idle redraws only after that.
    bool isPainted() const { return painted; }

    // Handles the window's queued events, then redraws what is dirty.
    void idle();
    // Draws everything into the back buffer and shows it.
    void redrawAll();
    // One pass of a modal loop: the editor's pacing, or without an editor a
    // repaint of what is dirty.
    void doIdleStuff();

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    long onKeyDown(VstKeyCode& key) override;
    long onKeyUp(VstKeyCode& key) override;
    // The wheel over the view under the mouse.
    bool onWheel(float distance);

    void setFocusView(CView* view);
    CView* getFocusView() const { return focusView; }
    bool removeView(CView* view, bool forget = true) override;
    void removeAll(bool forget = true) override;

    // A draw context of the window; the caller forgets it.
    CDrawContext* createDrawContext();
    // Pointer state of the window (frame coordinates), live.
    CPoint getMousePosition() const;
    long getCurrentMouseButtons() const;

    void beginEdit(long index);
    void endEdit(long index);

    AEffGUIEditor* getEditor() const { return editor; }
    Platform& getPlatform() const { return platform; }
    PlatformWindow* getPlatformWindow() const { return window.get(); }
    void* getSystemWindow() const { return parentWindow; }

    // True while an input event is being handled (a modal loop runs inside).
    bool inEventDispatch() const { return dispatchDepth > 0; }
    // Counts the passes of modal loops, so that input queued meanwhile can be dropped.
    void noteModalPass() { ++modalPasses; }
    int getModalPasses() const { return modalPasses; }

protected:
    ~CFrame() override;

private:
    void windowExposed(const CRect& area) override;
    void windowMouseDown(const CPoint& where, long buttons) override;
    void windowMouseUp(const CPoint&, long) override { }
    void windowMouseMoved(const CPoint&, long) override { }
    void windowWheel(const CPoint& where, float distance, long buttons) override;
    void windowKeyDown(VstKeyCode& key) override;
    void windowKeyUp(VstKeyCode& key) override;
    void redrawDirtyViews();
    // Runs an input handler; drops the input queued while a modal loop ran in it.
    template <typename Handler> void dispatchInput(Handler&& handler);

    AEffGUIEditor* editor;
    Platform& platform;
    void* parentWindow;
    std::unique_ptr<PlatformWindow> window;
    CView* focusView = nullptr;
    bool painted = false;
    int dispatchDepth = 0;
    int modalPasses = 0;
};
