// Rendering the edited take to a WAV file, sample by sample through the same
// resynthesis as playback.
#pragma once

#include "engine/edit_lock.h"
#include "engine/resynthesis.h"
#include "model/take_model.h"

#include <cstdint>
#include <functional>

// What a render reads and drives: the edit, the voices it borrows from
// playback, and playback's settings.
struct RenderSource {
    TakeModel& model;
    Resynthesis& resynthesis;
    ResynthesisSettings settings;
};

// Stereo pairs a render writes: every frame up to the last note's last whole
// frame (at least one frame), no more than a WAV file can hold.
uint32_t renderSampleCount(const TakeModel& model);

// Where the rendered samples go, one at a time; false stops the render.
using RenderSink = std::function<bool(float sample)>;

// The render loop: outputSampleAt for positions 0 to sampleCount - 1, each
// sample handed to sink, with the voices taken from playback for the while.
// The caller holds the edit lock. False when the sink refused a sample.
bool renderSamples(const RenderSource& source, uint32_t sampleCount, const RenderSink& sink);

// The same render a block at a time, without a call per sample: `sink` gets
// each block of at most blockLength samples with the position of its first.
// The caller holds the edit lock.
using RenderBlockSink = std::function<void(const float* samples, uint32_t first, uint32_t count)>;
void renderBlocks(const RenderSource& source, uint32_t sampleCount, uint32_t blockLength,
    const RenderBlockSink& sink);

// Writes the render to withWaveExtension(path) at hostRate's WAV rate. Holds
// lock (the edit lock) for the whole render, so playing blocks are silent meanwhile; leaves the
// take and the notes as they are. False when the file cannot be created (then nothing is computed
// and the voices are untouched) or a write fails (then the partial file is deleted).
bool renderTake(const RenderSource& source, EditLock& lock, float hostRate, const char* path);
