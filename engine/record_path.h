// The record path of the processing cycle: one input sample into the take,
// frame analysis whenever a new frame completes.
#pragma once

#include "model/pitch_detector.h"
#include "model/take_model.h"

// Stores sample at model.takePosition (when inside the take), updates
// analysisFrame, runs analysis for a new frame below 10,000, sets the record
// cursor and advances takePosition by one. Never allocates or locks.
void recordSample(
    TakeModel& model, PitchDetector& detector, const AnalysisSettings& settings, float sample);

// recordSample for count samples in turn (zeros where samples is null). The
// stretches between analysis frames are stored in one go.
void recordSamples(TakeModel& model, PitchDetector& detector, const AnalysisSettings& settings,
    const float* samples, int count);
