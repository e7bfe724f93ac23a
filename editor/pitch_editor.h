// The plug-in's editor window: 820 x 520 pixels inside the host's window.
#pragma once

#include "toolkit/aeff_gui_editor.h"

class PitchEffect;

constexpr int kEditorWidth = 820;
constexpr int kEditorHeight = 520;

class PitchEditor : public AEffGUIEditor {
public:
    explicit PitchEditor(PitchEffect* effect);
    ~PitchEditor() override = default;

    PitchEffect* pitchEffect();
};
