// The cost of saving and restoring a full note table through the chunk (goal:
// the round trip of 1,000 notes well under 10 ms), and of rendering a full
// 120-second take to a WAV file as a multiple of real time (goal: 300 x).
#include "persistence/wave_render.h"
#include "shell/pitch_effect.h"
#include "tests/support/effect_internals.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void fillTable(TakeModel& model)
{
    model.noteCount = kMaxNotes;
    for (int i = 0; i < kMaxNotes; ++i) {
        model.targetStart[i] = model.sourceStart[i] = 10.0f * static_cast<float>(i);
        model.targetEnd[i] = model.sourceEnd[i] = 10.0f * static_cast<float>(i) + 10.0f;
        model.sourceRow[i] = 0;
        model.pitch[i] = static_cast<float>(i % 24);
        model.volume[i] = 1.0f;
        model.blending[i] = 0.5f;
        for (int j = 0; j < kContourLength; ++j)
            model.contour[i][j] = static_cast<float>(i % 24) + 0.001f * static_cast<float>(j);
    }
}

void BM_GetChunkFullTable(benchmark::State& state)
{
    auto effect = std::make_unique<PitchEffect>(nullptr);
    fillTable(modelOf(*effect));
    for (auto _ : state) {
        void* data = nullptr;
        benchmark::DoNotOptimize(effect->getChunk(&data, false));
        benchmark::DoNotOptimize(data);
    }
    state.SetBytesProcessed(state.iterations() * 1660056);
}
BENCHMARK(BM_GetChunkFullTable)->Unit(benchmark::kMillisecond);

void BM_SetChunkFullTable(benchmark::State& state)
{
    auto source = std::make_unique<PitchEffect>(nullptr);
    fillTable(modelOf(*source));
    void* data = nullptr;
    VstInt32 size = source->getChunk(&data, false);
    std::vector<unsigned char> chunk(
        static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    auto target = std::make_unique<PitchEffect>(nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(target->setChunk(chunk.data(), size, false));
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_SetChunkFullTable)->Unit(benchmark::kMillisecond);

void BM_ChunkRoundTripFullTable(benchmark::State& state)
{
    auto source = std::make_unique<PitchEffect>(nullptr);
    auto target = std::make_unique<PitchEffect>(nullptr);
    fillTable(modelOf(*source));
    for (auto _ : state) {
        void* data = nullptr;
        VstInt32 size = source->getChunk(&data, false);
        benchmark::DoNotOptimize(target->setChunk(data, size, false));
    }
}
BENCHMARK(BM_ChunkRoundTripFullTable)->Unit(benchmark::kMillisecond);

// A whole take sung with vibrato around pitch 3, cut into notes of 40 frames
// that are all shifted, every other one with added vibrato.
void singFullTake(TakeModel& model)
{
    constexpr double kSampleRate = 44100.0;
    for (int i = 0; i < kTakeLength; ++i) {
        double t = i / kSampleRate;
        double pitch = 3.0 + 0.3 * std::sin(2.0 * std::numbers::pi * 5.5 * t);
        double frequency = 110.0 * std::pow(2.0, (pitch + 3.0) / 12.0);
        model.recordBuffer[i]
            = 0.3f * static_cast<float>(std::sin(2.0 * std::numbers::pi * frequency * t));
    }
    for (int frame = 0; frame < kAnalysedFrames; ++frame) {
        model.framePitch[0][frame] = 3.0f;
        model.frameVoicing[0][frame] = 1.0f;
    }
    constexpr int kNoteFrames = 40;
    model.noteCount = 0;
    for (int start = 0; start + kNoteFrames <= kTakeFrames && model.noteCount < kMaxNotes;
         start += kNoteFrames) {
        int i = model.noteCount++;
        model.targetStart[i] = model.sourceStart[i] = static_cast<float>(start);
        model.targetEnd[i] = model.sourceEnd[i] = static_cast<float>(start + kNoteFrames);
        model.sourceRow[i] = 0;
        model.pitch[i] = static_cast<float>(5 + i % 3);
        model.fineTune[i] = 0.0f;
        model.volume[i] = 1.0f;
        model.sourcePitch[i] = 3.0f;
        model.rawContourDamping[i] = 0.5f;
        model.fineContourDamping[i] = 0.5f;
        model.vibratoAmplitude[i] = i % 2 ? 0.4f : 0.0f;
        model.vibratoRate[i] = 0.4f;
        model.vibratoAttack[i] = 0.2f;
        model.blending[i] = 0.5f;
        model.contour[i].fill(kPitchUnset);
    }
}

void BM_RenderFullTake(benchmark::State& state)
{
    auto effect = std::make_unique<PitchEffect>(nullptr);
    singFullTake(modelOf(*effect));
    std::string path = "/tmp/cantilo-render-bench-" + std::to_string(::getpid()) + ".wav";
    uint32_t samples = renderSampleCount(modelOf(*effect));
    for (auto _ : state)
        if (!effect->renderTake(path.c_str()))
            state.SkipWithError("render failed");
    std::remove(path.c_str());
    double seconds = samples / 44100.0;
    state.counters["take_seconds"] = seconds;
    state.counters["x_real_time"] = benchmark::Counter(
        seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["ns_per_sample"] = benchmark::Counter(
        1e-9 * static_cast<double>(samples) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RenderFullTake)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
