#include "editing/note_settings.h"

#include "editing/note_list.h"
#include "model/segmentation.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kFineTuneCentre = 0.5f; // the slider's middle is no offset
constexpr float kVolumeRange = 2.0f; // full slider doubles the gain

NoteArray TakeModel::*attributeOf(NoteSetting setting)
{
    switch (setting) {
    case NoteSetting::fineTuning: return &TakeModel::fineTune;
    case NoteSetting::volume: return &TakeModel::volume;
    case NoteSetting::rawContours: return &TakeModel::rawContourDamping;
    case NoteSetting::fineContours: return &TakeModel::fineContourDamping;
    case NoteSetting::vibratoAmplitude: return &TakeModel::vibratoAmplitude;
    case NoteSetting::vibratoRate: return &TakeModel::vibratoRate;
    case NoteSetting::vibratoAttack: return &TakeModel::vibratoAttack;
    case NoteSetting::blending: return &TakeModel::blending;
    default: return nullptr;
    }
}

// Slider position to stored value. The two damping sliders show how much of
// the contour is kept, the attributes store how much is removed.
float storedValue(NoteSetting setting, float v)
{
    switch (setting) {
    case NoteSetting::fineTuning: return v - kFineTuneCentre;
    case NoteSetting::volume: return kVolumeRange * v;
    case NoteSetting::rawContours:
    case NoteSetting::fineContours: return 1.0f - v;
    default: return v;
    }
}

float sliderValue(NoteSetting setting, float stored)
{
    switch (setting) {
    case NoteSetting::fineTuning: return stored + kFineTuneCentre;
    case NoteSetting::volume: return stored / kVolumeRange;
    case NoteSetting::rawContours:
    case NoteSetting::fineContours: return 1.0f - stored;
    default: return stored;
    }
}

} // namespace

void setSelectedNotesAttribute(TakeModel& model, NoteSetting setting, float v)
{
    NoteArray TakeModel::*attribute = attributeOf(setting);
    if (!attribute || std::isnan(v))
        return;
    float stored = storedValue(setting, std::clamp(v, 0.0f, 1.0f));
    for (int k = 0; k < model.selectionCount; ++k)
        if (isNoteIndex(model, model.selection[k]))
            (model.*attribute)[model.selection[k]] = stored;
    for (int k = 0; k < model.selectionCount; ++k)
        if (isNoteIndex(model, model.selection[k]))
            noteChanged(model, model.selection[k]);
}

float noteSettingSliderValue(const TakeModel& model, int note, NoteSetting setting)
{
    NoteArray TakeModel::*attribute = attributeOf(setting);
    if (!attribute || !isNoteIndex(model, note))
        return 0.0f;
    return sliderValue(setting, (model.*attribute)[note]);
}
