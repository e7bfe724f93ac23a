// The effect's eleven internal parameters: stored values in their own units,
// mapped to and from the host's normalised 0..1 range.
#pragma once

constexpr int kParameterCount = 11;
constexpr int kMaxAveragingCount = 100;  // capacity of the pitch history

enum ParameterIndex : int {
    kFollowSpeed = 0,
    kContourSmoothing,
    kToneThreshold,
    kAveragingCount,
    kVibratoDepth,
    kVibratoFrequency,
    kVibratoWait,
    kVibratoAttackStep,
    kVibratoReleaseStep,
    kTuning,
    kPitchFactor,
};

struct ParameterBlock {
    float followSpeed = 0.14f;
    float contourSmoothing = 1.0f;
    float toneThreshold = 50.0f;
    int averagingCount = 20;
    float vibratoDepth = 0.0f;
    float vibratoFrequency = 0.3f;
    float vibratoWait = 40.0f;
    float vibratoAttackStep = 0.01f;
    float vibratoReleaseStep = 0.07f;
    float tuning = 440.0f;
    float pitchFactor = 1.0f;
};

// A block shared between threads (the host may set parameters on one thread
// while the audio thread reads them) is copied out and in field by field with
// relaxed atomic access.
ParameterBlock loadParameters(const ParameterBlock& shared);
void storeParameters(ParameterBlock& shared, const ParameterBlock& values);

// Stores the value mapped from x for indices 0..10 (others change nothing),
// then holds averagingCount within 1..100 whatever the index. A mapped value
// that is not finite leaves the stored value as it was.
void setNormalisedParameter(ParameterBlock& block, int index, float x);

// x from the stored value; 0 for an index outside 0..10.
float normalisedParameter(const ParameterBlock& block, int index);

// The stored value in its own units (averagingCount as a float); 0 outside 0..10.
float storedParameter(const ParameterBlock& block, int index);

// The parameter's name in ISO 8859-1, or null outside 0..10.
const char* parameterName(int index);

// "Hz" for the tuning, "" for every other index.
const char* parameterLabel(int index);
