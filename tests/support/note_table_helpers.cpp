#include "support/note_table_helpers.h"

#include "model/pitch_units.h"

#include <cmath>

std::unique_ptr<TakeModel> makeModel() { return std::make_unique<TakeModel>(); }

int addNote(
    TakeModel& model, float targetStart, float targetEnd, float sourceStart, float sourceEnd)
{
    int n = model.noteCount;
    model.targetStart[n] = targetStart;
    model.targetEnd[n] = targetEnd;
    model.sourceStart[n] = sourceStart;
    model.sourceEnd[n] = sourceEnd;
    model.sourceRow[n] = 0;
    model.pitch[n] = kPitchUnset;
    model.fineTune[n] = 0.0f;
    model.volume[n] = 1.0f;
    model.sourcePitch[n] = kPitchUnset;
    model.rawContourDamping[n] = 0.0f;
    model.fineContourDamping[n] = 0.0f;
    model.vibratoAmplitude[n] = 0.0f;
    model.vibratoRate[n] = 0.4f;
    model.vibratoAttack[n] = 0.0f;
    model.blending[n] = 0.5f;
    model.prevNote[n] = kLinkUnresolved;
    model.nextNote[n] = kLinkUnresolved;
    model.contour[n].fill(kPitchUnset);
    ++model.noteCount;
    return n;
}

int addNote(TakeModel& model, float start, float end)
{
    return addNote(model, start, end, start, end);
}

void setTrack(TakeModel& model, int first, int last, float pitch, float voicing)
{
    for (int f = first; f < last; ++f) {
        model.framePitch[0][f] = pitch;
        model.frameVoicing[0][f] = voicing;
    }
}

void recordTone(
    TakeModel& model, int first, int last, float pitch, float sampleRate, float amplitude)
{
    const double step = 2.0 * 3.14159265358979323846 * frequencyOfPitch(pitch) / sampleRate;
    for (int i = first; i < last; ++i) {
        model.recordBuffer[i] = static_cast<float>(amplitude * std::sin(step * i));
        model.markRecorded(i);
    }
}
