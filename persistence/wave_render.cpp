#include "persistence/wave_render.h"

#include "persistence/wave_writer.h"
#include "shell/pitch_effect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kMaxRenderFrames = kMaxWaveSamples / kFrameLength;

} // namespace

uint32_t renderSampleCount(const TakeModel& model)
{
    double frames = 1.0;
    for (int note = 0; note < model.noteCount; ++note)
        if (frames < model.targetEnd[note]) // false for NaN
            frames = std::trunc(static_cast<double>(model.targetEnd[note]));
    frames = std::min(frames, kMaxRenderFrames);
    return static_cast<uint32_t>(frames) * kFrameLength;
}

bool renderTake(PitchEffect& effect, const char* path)
{
    // The one long hold of the edit lock: the editor is frozen and playback
    // silent until the file is written.
    EditGuard guard(effect.editLock);
    TakeModel& model = effect.model;
    uint32_t sampleCount = renderSampleCount(model);
    WaveWriter writer;
    if (!writer.open(path, sampleCount))
        return false;

    Resynthesis& resynthesis = effect.resynthesis;
    const ResynthesisSettings settings {effect.getSampleRate(), effect.parameters.pitchFactor};
    resynthesis.beginRender(model);
    bool written = true;
    int position = 0;
    for (uint32_t n = 0; n < sampleCount && written; ++n) {
        position = static_cast<int>(n);
        written = writer.writeSample(resynthesis.outputSampleAt(model, position, settings));
    }
    written = writer.close() && written;
    resynthesis.endRender(model, position);
    if (!written)
        std::remove(writer.filePath().c_str());
    return written;
}
