#include "editing/octave_fold.h"

#include "model/take_model.h"

#include <cmath>

namespace {

constexpr double kFoldShift = 48.5; // four octaves and the half row below C

} // namespace

float foldToOctave(float pitch)
{
    if (!std::isfinite(pitch))
        pitch = kUnvoicedPitch;
    // Whole semitones are counted from half a semitone below C, four octaves
    // down, so that the remainder of every pitch is its class. Flooring
    // (rather than truncating) keeps pitches below -48.5 inside the octave too.
    double shifted = pitch + kFoldShift;
    double whole = std::floor(shifted);
    double pitchClass = std::fmod(whole, static_cast<double>(kPitchClasses));
    if (pitchClass < 0.0)
        pitchClass += kPitchClasses;
    return static_cast<float>(pitchClass + (shifted - whole) - 0.5);
}
