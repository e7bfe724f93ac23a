#include "editor/note_geometry.h"

#include "model/take_model.h"

#include <cmath>

namespace {

constexpr double kFoldShift = 48.5; // four octaves and the half row below C
constexpr double kSecondsPerMinute = 60.0;

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

int foldedPitchY(float folded, float rowH, float extra)
{
    return static_cast<int>((kPitchClasses - folded) * rowH + extra);
}

int pitchY(float pitch, float rowH) { return foldedPitchY(foldToOctave(pitch), rowH); }

float beatSpacing(const VstTimeInfo* timeInfo, float previous)
{
    float spacing = previous;
    if (timeInfo && timeInfo->tempo > 0.0 && timeInfo->sampleRate > 0.0) {
        double frames = timeInfo->sampleRate * kSecondsPerMinute / timeInfo->tempo / kFrameLength;
        if (std::isfinite(frames))
            spacing = static_cast<float>(frames);
    }
    if (!(spacing >= kMinimumBeatSpacing) || !std::isfinite(spacing))
        spacing = kFallbackBeatSpacing;
    return spacing;
}
