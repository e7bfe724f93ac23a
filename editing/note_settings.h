// The eight per-note settings the sliders below the note editor write into
// every selected note. Functions over the model take no lock; callers hold
// the edit lock (see engine/edit_session.h for the locking entry points).
#pragma once

#include "model/take_model.h"

// The per-note settings, in the order their sliders stand below the note
// editor.
enum class NoteSetting : int {
    fineTuning,
    volume,
    rawContours,
    fineContours,
    vibratoAmplitude,
    vibratoRate,
    vibratoAttack,
    blending,
};
constexpr int kNoteSettingCount = 8;

// Writes the slider value v (0..1; clamped, NaN ignored) through the
// setting's mapping into every selected note, then refreshes each of them. A
// value outside the enumeration changes nothing.
void setSelectedNotesAttribute(TakeModel& model, NoteSetting setting, float v);

// The slider position that shows a note's setting: the inverse mapping.
float noteSettingSliderValue(const TakeModel& model, int note, NoteSetting setting);
