// Pitch in semitones and frequency in hertz: pitch 0 is the C three
// semitones above the A at 110 Hz (about 130.81 Hz), so 440 Hz is pitch 21.
#pragma once

#include <cmath>

constexpr double kPitchReferenceHertz = 110.0; // the A of pitch -3
constexpr double kPitchReferenceOffset = 3.0; // semitones from that A up to pitch 0
constexpr double kSemitonesInOctave = 12.0;

inline double frequencyOfPitch(double pitch)
{
    return kPitchReferenceHertz * std::exp2((pitch + kPitchReferenceOffset) / kSemitonesInOctave);
}

inline double pitchOfFrequency(double hertz)
{
    return kSemitonesInOctave * std::log2(hertz / kPitchReferenceHertz) - kPitchReferenceOffset;
}
