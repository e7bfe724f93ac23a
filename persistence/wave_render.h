// Rendering the edited take to a WAV file, sample by sample through the same
// resynthesis as playback.
#pragma once

#include "model/take_model.h"

#include <cstdint>
#include <functional>

class PitchEffect;

// Stereo pairs a render writes: every frame up to the last note's last whole
// frame (at least one frame), no more than a WAV file can hold.
uint32_t renderSampleCount(const TakeModel& model);

// Where the rendered samples go, one at a time; false stops the render.
using RenderSink = std::function<bool(float sample)>;

// The render loop: outputSampleAt for positions 0 to sampleCount - 1, each
// sample handed to sink, with the voices taken from playback for the while.
// The caller holds the edit lock. False when the sink refused a sample.
bool renderSamples(PitchEffect& effect, uint32_t sampleCount, const RenderSink& sink);

// The same render into out[0..sampleCount - 1], without a call per sample:
// `progress` (if given) learns how many samples are done after every
// progressInterval of them. The caller holds the edit lock.
void renderInto(PitchEffect& effect, uint32_t sampleCount, float* out,
    const std::function<void(uint32_t done)>& progress = {}, uint32_t progressInterval = 65536);

// Writes the render to withWaveExtension(path). Holds the edit lock for the
// whole render, so playing blocks are silent meanwhile; leaves the take and
// the notes as they are. False when the file cannot be created (then nothing
// is computed and the voices are untouched) or a write fails (then the
// partial file is deleted).
bool renderTake(PitchEffect& effect, const char* path);
