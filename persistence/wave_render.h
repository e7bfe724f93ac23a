// Rendering the edited take to a WAV file, sample by sample through the same
// resynthesis as playback.
#pragma once

#include "model/take_model.h"

#include <cstdint>

class PitchEffect;

// Stereo pairs a render writes: every frame up to the last note's last whole
// frame (at least one frame), no more than a WAV file can hold.
uint32_t renderSampleCount(const TakeModel& model);

// Writes the render to withWaveExtension(path). Holds the edit lock for the
// whole render, so playing blocks are silent meanwhile; leaves the take and
// the notes as they are. False when the file cannot be created (then nothing
// is computed and the voices are untouched) or a write fails (then the
// partial file is deleted).
bool renderTake(PitchEffect& effect, const char* path);
