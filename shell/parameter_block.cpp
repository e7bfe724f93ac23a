#include "shell/parameter_block.h"

#include "model/relaxed_atomic.h"

#include <atomic>
#include <cmath>

namespace {

bool isParameter(int index) { return index >= 0 && index < kParameterCount; }

void storeIfFinite(float& field, double value)
{
    if (std::isfinite(value))
        field = static_cast<float>(value);
}

// 40 x truncated toward zero, at least 1; clamped in floating point first, so
// that NaN and huge host values never reach an integer conversion.
int averagingCountFrom(float x)
{
    float count = 40.0f * x;
    if (!(count >= 1.0)) // also NaN
        return 1;
    if (count > static_cast<float>(kMaxAveragingCount))
        return kMaxAveragingCount;
    return static_cast<int>(count);
}

} // namespace

ParameterBlock loadParameters(const ParameterBlock& shared)
{
    ParameterBlock values;
    values.followSpeed = loadRelaxed(shared.followSpeed);
    values.contourSmoothing = loadRelaxed(shared.contourSmoothing);
    values.toneThreshold = loadRelaxed(shared.toneThreshold);
    values.averagingCount = loadRelaxed(shared.averagingCount);
    values.vibratoDepth = loadRelaxed(shared.vibratoDepth);
    values.vibratoFrequency = loadRelaxed(shared.vibratoFrequency);
    values.vibratoWait = loadRelaxed(shared.vibratoWait);
    values.vibratoAttackStep = loadRelaxed(shared.vibratoAttackStep);
    values.vibratoReleaseStep = loadRelaxed(shared.vibratoReleaseStep);
    values.tuning = loadRelaxed(shared.tuning);
    values.pitchFactor = loadRelaxed(shared.pitchFactor);
    return values;
}

void storeParameters(ParameterBlock& shared, const ParameterBlock& values)
{
    storeRelaxed(shared.followSpeed, values.followSpeed);
    storeRelaxed(shared.contourSmoothing, values.contourSmoothing);
    storeRelaxed(shared.toneThreshold, values.toneThreshold);
    storeRelaxed(shared.averagingCount, values.averagingCount);
    storeRelaxed(shared.vibratoDepth, values.vibratoDepth);
    storeRelaxed(shared.vibratoFrequency, values.vibratoFrequency);
    storeRelaxed(shared.vibratoWait, values.vibratoWait);
    storeRelaxed(shared.vibratoAttackStep, values.vibratoAttackStep);
    storeRelaxed(shared.vibratoReleaseStep, values.vibratoReleaseStep);
    storeRelaxed(shared.tuning, values.tuning);
    storeRelaxed(shared.pitchFactor, values.pitchFactor);
}

void setNormalisedParameter(ParameterBlock& block, int index, float x)
{
    switch (index) {
    case kFollowSpeed: storeIfFinite(block.followSpeed, 2.0 * x); break;
    case kContourSmoothing: storeIfFinite(block.contourSmoothing, x); break;
    case kToneThreshold: storeIfFinite(block.toneThreshold, 100.0f * x); break;
    case kAveragingCount: block.averagingCount = averagingCountFrom(x); break;
    case kVibratoDepth: storeIfFinite(block.vibratoDepth, 2.0f * x); break;
    case kVibratoFrequency: storeIfFinite(block.vibratoFrequency, x); break;
    case kVibratoWait: storeIfFinite(block.vibratoWait, 80.0f * x); break;
    case kVibratoAttackStep: storeIfFinite(block.vibratoAttackStep, x / 50.0f); break;
    case kVibratoReleaseStep: storeIfFinite(block.vibratoReleaseStep, x / 10.0f); break;
    case kTuning: storeIfFinite(block.tuning, 660.0f * x + 220.0f); break;
    case kPitchFactor: storeIfFinite(block.pitchFactor, 0.5 * std::pow(4.0, x)); break;
    default: break;
    }
    if (block.averagingCount < 1)
        block.averagingCount = 1;
    if (block.averagingCount > kMaxAveragingCount)
        block.averagingCount = kMaxAveragingCount;
}

float normalisedParameter(const ParameterBlock& block, int index)
{
    switch (index) {
    case kFollowSpeed: return block.followSpeed / 2.0f;
    case kContourSmoothing: return block.contourSmoothing;
    case kToneThreshold: return block.toneThreshold / 100.0f;
    case kAveragingCount: return static_cast<float>(block.averagingCount) / 40.0f;
    case kVibratoDepth: return block.vibratoDepth / 2.0f;
    case kVibratoFrequency: return block.vibratoFrequency;
    case kVibratoWait: return block.vibratoWait / 80.0f;
    case kVibratoAttackStep: return block.vibratoAttackStep * 50.0f;
    case kVibratoReleaseStep: return block.vibratoReleaseStep * 10.0f;
    case kTuning: return (block.tuning - 220.0f) / 660.0f;
    case kPitchFactor: return static_cast<float>(std::log(block.pitchFactor / 0.5) / std::log(4.0));
    default: return 0.0f;
    }
}

float storedParameter(const ParameterBlock& block, int index)
{
    switch (index) {
    case kFollowSpeed: return block.followSpeed;
    case kContourSmoothing: return block.contourSmoothing;
    case kToneThreshold: return block.toneThreshold;
    case kAveragingCount: return static_cast<float>(block.averagingCount);
    case kVibratoDepth: return block.vibratoDepth;
    case kVibratoFrequency: return block.vibratoFrequency;
    case kVibratoWait: return block.vibratoWait;
    case kVibratoAttackStep: return block.vibratoAttackStep;
    case kVibratoReleaseStep: return block.vibratoReleaseStep;
    case kTuning: return block.tuning;
    case kPitchFactor: return block.pitchFactor;
    default: return 0.0f;
    }
}

const char* parameterName(int index)
{
    static const char* const kNames[kParameterCount] = {
        "Nachziehgeschwindigkeit",
        "Konturen gl\xE4tten", // ISO 8859-1 a-umlaut
        "Ton Threshold",
        "Frq. Mittelungsanz.",
        "Vibratoamlitude",
        "Vibratofrequenz",
        "Vibrato wait",
        "Vibrato Attack",
        "Vibrato Release",
        "Stimmung",
        "Pitch",
    };
    return isParameter(index) ? kNames[index] : nullptr;
}

const char* parameterLabel(int index) { return index == kTuning ? "Hz" : ""; }
