// The record path at 44,100 Hz: one stored sample per call, the frame
// arithmetic, and one frame analysis per 512 samples. The counter
// x_real_time is how many times faster than real time one core records.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "engine/record_path.h"
#include "model/pitch_detector.h"
#include "model/take_model.h"

namespace {

constexpr double kSampleRate = 44100.0;
constexpr int kBlock = 512;
constexpr int kSignalLength = 44100;  // one second of a sung-like tone, looped

std::vector<float> voiceLikeTone()
{
    std::vector<float> out(kSignalLength);
    double phase = 0.0;
    for (int n = 0; n < kSignalLength; ++n) {
        double f = 196.0 * std::exp2(0.3 * std::sin(2.0 * std::numbers::pi * 5.5 * n / kSampleRate) / 12.0);
        double sum = 0.0;
        for (int h = 1; h <= 10; ++h)
            sum += 0.4 / h * std::sin(2.0 * std::numbers::pi * h * phase);
        out[static_cast<std::size_t>(n)] = static_cast<float>(sum);
        phase = std::fmod(phase + f / kSampleRate, 1.0);
    }
    return out;
}

void BM_RecordPath(benchmark::State& state)
{
    auto model = std::make_unique<TakeModel>();
    auto detector = std::make_unique<PitchDetector>();
    const AnalysisSettings settings{20, 50.0f, static_cast<float>(kSampleRate)};
    const std::vector<float> signal = voiceLikeTone();
    // Stay inside the analysed part of the take: every 512 samples analyse.
    constexpr int kLoopEnd = kAnalysedFrames * kFrameLength;
    std::size_t read = 0;
    int64_t samples = 0;
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i) {
            recordSample(*model, *detector, settings, signal[read]);
            if (++read == signal.size())
                read = 0;
        }
        if (model->takePosition >= kLoopEnd)
            model->takePosition = 0;
        samples += kBlock;
    }
    benchmark::DoNotOptimize(model->frameVoicing[0][100]);
    state.SetItemsProcessed(samples);
    state.counters["x_real_time"] =
        benchmark::Counter(static_cast<double>(samples) / kSampleRate, benchmark::Counter::kIsRate);
    state.counters["ns_per_sample"] = benchmark::Counter(
        static_cast<double>(samples), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RecordPath)->MinTime(2.0);

// The spectrum alone, once per call, to see what the analysis costs.
void BM_AnalyseSpectrum(benchmark::State& state)
{
    auto model = std::make_unique<TakeModel>();
    auto detector = std::make_unique<PitchDetector>();
    const std::vector<float> signal = voiceLikeTone();
    for (int i = 0; i < kSignalLength; ++i)
        model->recordBuffer[static_cast<std::size_t>(i)] = signal[static_cast<std::size_t>(i)];
    model->takePosition = 20000;
    for (auto _ : state) {
        detector->analyseSpectrum(*model, static_cast<float>(kSampleRate));
        benchmark::DoNotOptimize(detector->binFrequency.data());
    }
}
BENCHMARK(BM_AnalyseSpectrum);

}  // namespace

BENCHMARK_MAIN();
