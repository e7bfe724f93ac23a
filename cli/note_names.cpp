#include "cli/note_names.h"

#include "editing/scale_tuning.h"

#include <cmath>

namespace {

constexpr int kOctaveOfPitchZero = 3;

} // namespace

std::string pitchName(int pitch)
{
    int octave = static_cast<int>(std::floor(pitch / 12.0));
    return std::string(kEnglishPitchClassNames[static_cast<std::size_t>(pitchClassOf(pitch))])
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
