#include "editor/pitch_editor.h"

#include "shell/pitch_effect.h"
#include "toolkit/c_bitmap.h"
#include "toolkit/c_frame.h"

PitchEditor::PitchEditor(PitchEffect* effect, Platform* platform)
    : AEffGUIEditor(effect, platform), background(new CBitmap(kBackgroundBitmapId))
{
    rect = ERect{0, 0, kEditorHeight, kEditorWidth};
}

PitchEditor::~PitchEditor()
{
    if (frame)
        frame->forget();
    frame = nullptr;
    background->forget();
}

bool PitchEditor::open(void* parentWindow)
{
    if (!AEffGUIEditor::open(parentWindow))
        return false;
    auto* newFrame = new CFrame(CRect(0, 0, kEditorWidth, kEditorHeight), parentWindow, this);
    if (!newFrame->isOpen()) {
        newFrame->forget();
        AEffGUIEditor::close();
        return false;
    }
    newFrame->setBackground(background);
    newFrame->removeAll(true);
    newFrame->setDirty(true);
    frame = newFrame;
    return true;
}

void PitchEditor::close()
{
    if (deferClose())
        return;
    AEffGUIEditor::close();
}

PitchEffect* PitchEditor::pitchEffect() { return static_cast<PitchEffect*>(effect); }
