#include "scan_reference_helpers.h"

#include <cmath>

float referenceOutputSampleAt(TakeModel& model, int position, const ResynthesisSettings& settings)
{
    const int frame = position / kFrameLength;
    model.playCursor.store(static_cast<float>(frame));
    std::array<bool, kVoiceCount> used {};
    float sum = 0.0f;
    for (int i = 0; i < model.noteCount; ++i) {
        NoteFrameTerms terms;
        if (!noteFrameTerms(model, i, frame, settings, terms))
            continue;
        int voice = claimVoice(model, terms, used);
        if (voice != kNone)
            sum += voiceSample(model, voice, terms, position);
    }
    releaseUnusedVoices(model, used);
    return std::isfinite(sum) ? sum : 0.0f;
}
