// The eight per-note settings the sliders below the note editor write into
// every selected note. Functions over the model take no lock; callers hold
// the edit lock (see editing/edit_commands.h for the locking entry points).
#pragma once

#include "model/take_model.h"

// Control tags of the sliders, in the order they stand below the note editor.
enum NoteSettingTag : int {
    kFineTuningTag = 28,
    kVolumeTag = 29,
    kRawContoursTag = 30,
    kFineContoursTag = 31,
    kVibratoAmplitudeTag = 32,
    kVibratoRateTag = 33,
    kVibratoAttackTag = 34,
    kBlendingTag = 35,
};

inline bool isNoteSettingTag(int tag) { return tag >= kFineTuningTag && tag <= kBlendingTag; }

// Writes the slider value v (0..1; clamped, NaN ignored) through the tag's
// mapping into every selected note, then refreshes each of them. Unknown tags
// change nothing.
void setSelectedNotesAttribute(TakeModel& model, int tag, float v);

// The slider position that shows a note's setting: the inverse mapping.
float noteSettingSliderValue(const TakeModel& model, int note, int tag);
