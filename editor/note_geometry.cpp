#include "editor/note_geometry.h"

#include "model/take_model.h"

#include <cmath>

namespace {

constexpr double kSecondsPerMinute = 60.0;

} // namespace

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

NoteHover findHoveredNote(const TakeModel& model, float x, float y, float rowH)
{
    NoteHover hover;
    for (int i = 0; i < model.noteCount; ++i) {
        if (!(model.targetStart[i] < x && x < model.targetEnd[i]))
            continue;
        float rowY = (kPitchClasses - foldToOctave(model.pitch[i])) * rowH;
        if (std::abs(static_cast<int>(rowY - y)) >= kHoverRowDistance)
            continue;
        if (x - model.targetStart[i] < kEdgeZoneWidth)
            return {i, kLeftEdgeZone};
        if (x - model.targetEnd[i] > -kEdgeZoneWidth)
            return {i, kRightEdgeZone};
        // A later note whose middle holds the pointer still takes the hover.
        hover = {i, kMiddleZone};
    }
    return hover;
}
