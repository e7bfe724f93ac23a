#include "persistence/wave_render.h"

#include "engine/rate_converter.h"
#include "persistence/wave_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

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

bool renderSamples(const RenderSource& source, uint32_t sampleCount, const RenderSink& sink)
{
    TakeModel& model = source.model;
    Resynthesis& resynthesis = source.resynthesis;
    const ResynthesisSettings& settings = source.settings;
    resynthesis.beginRender(model);
    bool accepted = true;
    int position = 0;
    for (uint32_t n = 0; n < sampleCount && accepted; ++n) {
        position = static_cast<int>(n);
        accepted = sink(resynthesis.outputSampleAt(model, position, settings));
    }
    resynthesis.endRender(model, position);
    return accepted;
}

void renderBlocks(const RenderSource& source, uint32_t sampleCount, uint32_t blockLength,
    const RenderBlockSink& sink)
{
    TakeModel& model = source.model;
    Resynthesis& resynthesis = source.resynthesis;
    const ResynthesisSettings& settings = source.settings;
    const uint32_t step = std::max<uint32_t>(std::min(blockLength, sampleCount), 1);
    std::vector<float> block(step);
    resynthesis.beginRender(model);
    for (uint32_t first = 0; first < sampleCount; first += step) {
        const uint32_t count = std::min(step, sampleCount - first);
        resynthesis.render(
            model, static_cast<int>(first), static_cast<int>(count), settings, block.data());
        sink(block.data(), first, count);
    }
    // Where renderSamples leaves the take: at its last rendered position.
    resynthesis.endRender(model, sampleCount > 0 ? static_cast<int>(sampleCount - 1) : 0);
}

namespace {

// The render at the time base, resampled to the host's rate.
std::vector<float> renderAtRate(const RenderSource& source, uint32_t sampleCount, double rate)
{
    std::vector<float> timeBase;
    timeBase.reserve(sampleCount);
    renderSamples(source, sampleCount, [&timeBase](float sample) {
        timeBase.push_back(sample);
        return true;
    });
    return resampledOnce(timeBase.data(), timeBase.size(), kTimeBaseRate, rate,
        static_cast<std::size_t>(std::llround(sampleCount * rate / kTimeBaseRate)));
}

} // namespace

bool renderTake(const RenderSource& source, EditLock& lock, float hostRate, const char* path)
{
    // The one long hold of the edit lock: the editor is frozen and playback
    // silent until the file is written.
    EditGuard guard(lock);
    const uint32_t sampleCount = renderSampleCount(source.model);
    const uint32_t rate = waveSampleRateFor(hostRate);
    WaveWriter writer;
    if (rate == kWaveSampleRate) {
        if (!writer.open(path, sampleCount, rate))
            return false;
        bool written = renderSamples(
            source, sampleCount, [&writer](float sample) { return writer.writeSample(sample); });
        written = writer.close() && written;
        if (!written)
            std::remove(writer.filePath().c_str());
        return written;
    }
    // The take is computed at the time base and written at the host's rate.
    const auto expected = static_cast<uint32_t>(
        std::llround(static_cast<double>(sampleCount) * rate / kTimeBaseRate));
    if (!writer.open(path, expected, rate))
        return false;
    const std::vector<float> samples = renderAtRate(source, sampleCount, rate);
    bool written = true;
    for (uint32_t n = 0; n < expected && written; ++n)
        written = writer.writeSample(n < samples.size() ? samples[n] : 0.0f);
    written = writer.close() && written;
    if (!written)
        std::remove(writer.filePath().c_str());
    return written;
}
