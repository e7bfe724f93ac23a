#include "melody_helpers.h"

#include "engine/edit_lock.h"
#include "model/segmentation.h"
#include "shell/pitch_effect.h"
#include "support/effect_internals.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double kSampleRate = 44100.0;
constexpr int kMelodyBreathFrames = 6; // unvoiced frames after each note
constexpr float kMelodyVibratoDepth = 0.15f; // semitones
constexpr float kMelodyVibratoStep = 0.35f; // radians per frame
constexpr float kMelodyVoicing = 0.8f;

double frequencyOf(float pitch) { return 110.0 * std::pow(2.0, (pitch + 3.0) / 12.0); }

} // namespace

std::vector<MelodyNote> testMelody() { return {{2.0f, 70}, {7.0f, 60}, {5.0f, 80}, {9.0f, 70}}; }

int recordAndSegmentMelody(PitchEffect& effect, const std::vector<MelodyNote>& melody)
{
    TakeModel& model = modelOf(effect);
    model.transportMode = kForceScan;
    std::vector<float> input(kFrameLength), left(kFrameLength), right(kFrameLength);
    float* inputs[2] = {input.data(), input.data()};
    float* outputs[2] = {left.data(), right.data()};
    double phase = 0.0;
    int frame = 0;
    auto recordFrame = [&](float pitch, bool voiced) {
        for (int i = 0; i < kFrameLength; ++i) {
            if (voiced)
                phase += 2.0 * std::numbers::pi * frequencyOf(pitch) / kSampleRate;
            input[i] = voiced ? static_cast<float>(0.4 * std::sin(phase)) : 0.0f;
        }
        effect.processReplacing(inputs, outputs, kFrameLength);
        storeRelaxed(model.framePitch[0][frame], voiced ? pitch : kUnvoicedPitch);
        storeRelaxed(model.frameVoicing[0][frame], voiced ? kMelodyVoicing : 0.0f);
        ++frame;
    };
    for (const MelodyNote& note : melody) {
        for (int f = 0; f < note.frames; ++f)
            recordFrame(note.pitch + kMelodyVibratoDepth * std::sin(kMelodyVibratoStep * f), true);
        for (int f = 0; f < kMelodyBreathFrames; ++f)
            recordFrame(0.0f, false);
    }
    model.transportMode = kAutoMode;
    EditGuard guard(editLockOf(effect));
    segmentNotes(model);
    return frame;
}

void processSilentBlock(PitchEffect& effect, int frames)
{
    std::vector<float> input(static_cast<std::size_t>(frames)), left(input.size()),
        right(input.size());
    float* inputs[2] = {input.data(), input.data()};
    float* outputs[2] = {left.data(), right.data()};
    effect.processReplacing(inputs, outputs, frames);
}
