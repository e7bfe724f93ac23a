#include "cli/note_names.h"

#include "editing/scale_tuning.h"

#include <cmath>

namespace {

constexpr double kPitchZeroReference = 110.0; // hertz of pitch -3, the A below
constexpr double kReferenceOffset = 3.0; // C is three semitones above that A
constexpr int kOctaveOfPitchZero = 3;
constexpr const char* kClassNames[]
    = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

} // namespace

std::string pitchName(int pitch)
{
    int octave = static_cast<int>(std::floor(pitch / 12.0));
    return std::string(kClassNames[pitchClassOf(pitch)])
        + std::to_string(octave + kOctaveOfPitchZero);
}

std::string nearestPitchName(float pitch)
{
    return pitchName(static_cast<int>(nearestSemitone(pitch)));
}

float centsFromSemitone(float pitch)
{
    return (pitch - static_cast<float>(nearestSemitone(pitch))) * 100.0f;
}

double pitchFrequency(double pitch)
{
    return kPitchZeroReference * std::exp2((pitch + kReferenceOffset) / 12.0);
}

double frequencyPitch(double hertz)
{
    return 12.0 * std::log2(hertz / kPitchZeroReference) - kReferenceOffset;
}
