// The plug-in's editor window: 820 x 520 pixels inside the host's window,
// with the four analysis tabs, the note editor and every control at a fixed
// place. It keeps pointers to the views and controls that other parts of the
// editor redraw or set.
#pragma once

#include "editor/note_view.h"
#include "toolkit/aeff_gui_editor.h"
#include "toolkit/c_control_listener.h"

#include <memory>

class CBitmap;
class COptionMenu;
class CSlider;
class NoteScrollView;
class PanelButton;
class PitchEffect;
class Platform;

constexpr int kEditorWidth = 820;
constexpr int kEditorHeight = 520;
constexpr long kBackgroundBitmapId = 20003;
constexpr int kNoteSliderCount = 8;
constexpr int kToolButtonCount = 4;

class PitchEditor : public AEffGUIEditor, public CControlListener, public NoteGrabListener {
public:
    // The platform puts the frame on the screen; without one it is offscreen.
    explicit PitchEditor(PitchEffect* effect, Platform* platform = nullptr);
    ~PitchEditor() override;

    // Creates the frame in the host's window and lays out every view; false
    // when the window cannot be made.
    bool open(void* parentWindow) override;
    // Destroys the frame with everything in it.
    void close() override;
    // Turns the redraw requests of the audio thread and the note edits into
    // dirty views, tracks the hover, then lets the frame redraw.
    void idle() override;

    // The one listener of every control: runs the command of its tag.
    void valueChanged(CDrawContext* context, CControl* control) override;
    // Asks for a file name (the host's selector, else the platform's save
    // dialog) and writes the resynthesised take to it as a WAV file; the
    // editor is frozen and playback silent until the file is written.
    void renderToWave();

    PitchEffect* pitchEffect();

    // Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y, from the window or from the host;
    // other keys go to the focused view.
    bool onKeyDown(VstKeyCode& key) override;
    // A note slider's drag, from press to release.
    void beginEdit(VstInt32 index) override;
    void endEdit(VstInt32 index) override;
    // The sliders show the grabbed note; setting them does not notify, so
    // the other selected notes keep their settings.
    void noteGrabbed(const float* sliderValues) override;

    // Views and controls of the open window (null while closed); the frame
    // owns them.
    NoteScrollView* noteEditorScrollView = nullptr;
    NoteScrollView* scanScrollView = nullptr;
    CSlider* noteSliders[kNoteSliderCount] {};
    COptionMenu* modeMenu = nullptr;
    COptionMenu* noteMenu = nullptr;
    COptionMenu* scaleMenu = nullptr;
    COptionMenu* selectMenu = nullptr;
    PanelButton* toolButtons[kToolButtonCount] {};
    int scaleRoot = 0; // pitch class of the key whose scale popup opened last

private:
    // One control's report, as the actions of valueChanged take it.
    struct ControlEvent {
        CDrawContext* context;
        CControl* control;
        float value;
        long tag;
    };
    void setStandardPitch(const ControlEvent& event);
    void setNoteSetting(const ControlEvent& event);
    void chooseMode(const ControlEvent& event);
    void chooseNoteMenuEntry(const ControlEvent& event);
    void chooseSelectMenuEntry(const ControlEvent& event);
    void chooseScale(const ControlEvent& event);
    void clickKey(const ControlEvent& event);
    void chooseTool(const ControlEvent& event);
    void clickPlay(const ControlEvent& event);
    void clickStop(const ControlEvent& event);
    void clickTransfer(const ControlEvent& event);
    void clickRender(const ControlEvent& event);

    void buildViews();
    void forgetViews();
    void applyRedrawRequests();
    // The check mark of "keep formants" follows the effect's formant mode.
    void showFormantMode();
    void showHistoryEntries();
    void openScalePopup(CDrawContext* context, CControl* key, int pc);

    CBitmap* background;
    static constexpr int kUndoShown = 1;
    static constexpr int kRedoShown = 2;
    static constexpr int kNoHistoryShown = -1; // forces the entries to be built
    int shownHistory = kNoHistoryShown;
};
