// The editor base of the view toolkit: registers itself with its effect, holds
// the editor rectangle and the host window, and paces the host while a modal
// loop runs.
#pragma once

#include "shell/aeff_editor.h"

class AEffGUIEditor : public AEffEditor {
public:
    explicit AEffGUIEditor(AudioEffect* effect);
    ~AEffGUIEditor() override = default;

    bool getRect(ERect** rect) override;
    bool open(void* parentWindow) override;
    void close() override;

protected:
    ERect rect{};
};
