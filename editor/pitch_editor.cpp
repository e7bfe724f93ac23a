#include "editor/pitch_editor.h"

#include "shell/pitch_effect.h"

PitchEditor::PitchEditor(PitchEffect* effect)
    : AEffGUIEditor(effect)
{
    rect = ERect {0, 0, kEditorHeight, kEditorWidth};
}

PitchEffect* PitchEditor::pitchEffect() { return static_cast<PitchEffect*>(effect); }
