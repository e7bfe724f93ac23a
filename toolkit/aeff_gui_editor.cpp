#include "toolkit/aeff_gui_editor.h"

#include "shell/audio_effect.h"

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect) : AEffEditor(effect)
{
    if (effect)
        effect->setEditor(this);
}

bool AEffGUIEditor::getRect(ERect** rectOut)
{
    *rectOut = &rect;
    return true;
}

bool AEffGUIEditor::open(void* parentWindow)
{
    systemWindow = parentWindow;
    return false;
}

void AEffGUIEditor::close() { systemWindow = nullptr; }
