#include "editing/note_settings.h"

#include "editing/note_list.h"
#include "model/segmentation.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kFineTuneCentre = 0.5f; // the slider's middle is no offset
constexpr float kVolumeRange = 2.0f; // full slider doubles the gain

NoteArray TakeModel::*attributeOf(int tag)
{
    switch (tag) {
    case kFineTuningTag: return &TakeModel::fineTune;
    case kVolumeTag: return &TakeModel::volume;
    case kRawContoursTag: return &TakeModel::rawContourDamping;
    case kFineContoursTag: return &TakeModel::fineContourDamping;
    case kVibratoAmplitudeTag: return &TakeModel::vibratoAmplitude;
    case kVibratoRateTag: return &TakeModel::vibratoRate;
    case kVibratoAttackTag: return &TakeModel::vibratoAttack;
    case kBlendingTag: return &TakeModel::blending;
    default: return nullptr;
    }
}

// Slider position to stored value. The two damping sliders show how much of
// the contour is kept, the attributes store how much is removed.
float storedValue(int tag, float v)
{
    switch (tag) {
    case kFineTuningTag: return v - kFineTuneCentre;
    case kVolumeTag: return kVolumeRange * v;
    case kRawContoursTag:
    case kFineContoursTag: return 1.0f - v;
    default: return v;
    }
}

float sliderValue(int tag, float stored)
{
    switch (tag) {
    case kFineTuningTag: return stored + kFineTuneCentre;
    case kVolumeTag: return stored / kVolumeRange;
    case kRawContoursTag:
    case kFineContoursTag: return 1.0f - stored;
    default: return stored;
    }
}

} // namespace

void setSelectedNotesAttribute(TakeModel& model, int tag, float v)
{
    NoteArray TakeModel::*attribute = attributeOf(tag);
    if (!attribute || std::isnan(v))
        return;
    float stored = storedValue(tag, std::clamp(v, 0.0f, 1.0f));
    for (int k = 0; k < model.selectionCount; ++k)
        if (isNoteIndex(model, model.selection[k]))
            (model.*attribute)[model.selection[k]] = stored;
    for (int k = 0; k < model.selectionCount; ++k)
        if (isNoteIndex(model, model.selection[k]))
            noteChanged(model, model.selection[k]);
}

float noteSettingSliderValue(const TakeModel& model, int note, int tag)
{
    NoteArray TakeModel::*attribute = attributeOf(tag);
    if (!attribute || !isNoteIndex(model, note))
        return 0.0f;
    return sliderValue(tag, (model.*attribute)[note]);
}
