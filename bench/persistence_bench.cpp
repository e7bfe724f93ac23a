// The cost of saving and restoring a full note table through the chunk (goal:
// the round trip of 1,000 notes well under 10 ms).
#include "shell/pitch_effect.h"

#include <benchmark/benchmark.h>
#include <memory>
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
    fillTable(effect->model);
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
    fillTable(source->model);
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
    fillTable(source->model);
    for (auto _ : state) {
        void* data = nullptr;
        VstInt32 size = source->getChunk(&data, false);
        benchmark::DoNotOptimize(target->setChunk(data, size, false));
    }
}
BENCHMARK(BM_ChunkRoundTripFullTable)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
