#include "editing/editing_helpers.h"

std::unique_ptr<TakeModel> modelWithNotes(int count)
{
    auto model = std::make_unique<TakeModel>();
    model->noteCount = count;
    for (int i = 0; i < count; ++i) {
        float start = 10.0f * static_cast<float>(i);
        model->targetStart[i] = model->sourceStart[i] = start;
        model->targetEnd[i] = model->sourceEnd[i] = start + 10.0f;
        model->sourceRow[i] = 0;
        model->pitch[i] = static_cast<float>(i);
        model->fineTune[i] = 0.0f;
        model->volume[i] = 1.0f;
        model->sourcePitch[i] = static_cast<float>(i);
        model->rawContourDamping[i] = 0.0f;
        model->fineContourDamping[i] = 0.0f;
        model->vibratoAmplitude[i] = 0.0f;
        model->vibratoRate[i] = 0.4f;
        model->vibratoAttack[i] = 0.0f;
        model->blending[i] = 0.5f;
        model->contour[i].fill(100.0f + static_cast<float>(i));
    }
    return model;
}

void select(TakeModel& model, std::initializer_list<int> notes)
{
    model.selectionCount = 0;
    for (int note : notes)
        model.selection[model.selectionCount++] = note;
}
