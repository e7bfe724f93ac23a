// The plug-in's editor window: 820 x 520 pixels inside the host's window.
#pragma once

#include "toolkit/aeff_gui_editor.h"

class CBitmap;
class PitchEffect;
class Platform;

constexpr int kEditorWidth = 820;
constexpr int kEditorHeight = 520;
constexpr long kBackgroundBitmapId = 20003;

class PitchEditor : public AEffGUIEditor {
public:
    // The platform puts the frame on the screen; without one it is offscreen.
    explicit PitchEditor(PitchEffect* effect, Platform* platform = nullptr);
    ~PitchEditor() override;

    // Creates the frame in the host's window with the background; false when
    // the window cannot be made.
    bool open(void* parentWindow) override;
    // Destroys the frame with everything in it.
    void close() override;

    PitchEffect* pitchEffect();

private:
    CBitmap* background;
};
