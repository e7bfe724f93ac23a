// The whole processing call at host rates other than 44,100 Hz: the input
// resampled to the engine's time base, recorded and analysed (Force scan) or
// the edited take played, and the output resampled back. The counter
// x_real_time is how many times faster than real time one core keeps up with
// the host; ns_per_sample is the cost of one host sample (both channels).
#include "shell/pitch_effect.h"
#include "tests/support/effect_internals.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace {

constexpr int kBlock = 512;
constexpr double kRecordedSeconds = 20.0; // the take playback plays, looped

VstTimeInfo hostTime {};

VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (opcode == audioMasterGetTime)
        return reinterpret_cast<VstIntPtr>(&hostTime);
    if (opcode == audioMasterVersion)
        return 2400;
    return 0;
}

// One second of a sung-like tone at the host's rate, looped.
std::vector<float> voiceLikeTone(double rate)
{
    std::vector<float> out(static_cast<std::size_t>(rate));
    double phase = 0.0;
    for (std::size_t n = 0; n < out.size(); ++n) {
        const double f
            = 196.0 * std::exp2(0.3 * std::sin(2.0 * std::numbers::pi * 5.5 * n / rate) / 12.0);
        double sum = 0.0;
        for (int h = 1; h <= 10; ++h)
            sum += 0.4 / h * std::sin(2.0 * std::numbers::pi * h * phase);
        out[n] = static_cast<float>(sum);
        phase = std::fmod(phase + f / rate, 1.0);
    }
    return out;
}

struct HostSide {
    explicit HostSide(double rate)
        : rate(rate)
        , tone(voiceLikeTone(rate))
        , left(kBlock)
        , right(kBlock)
    {
        effect->setSampleRate(static_cast<float>(rate));
    }

    // One block from the looped tone; the host's position runs and wraps
    // before the end of the analysed part of the take.
    void block()
    {
        float* inputs[2] = {tone.data() + read, tone.data() + read};
        float* outputs[2] = {left.data(), right.data()};
        effect->processReplacing(inputs, outputs, kBlock);
        read += kBlock;
        if (read + kBlock > tone.size())
            read = 0;
        hostTime.samplePos += kBlock;
        if (hostTime.samplePos > kRecordedSeconds * rate)
            hostTime.samplePos = 0;
    }

    double rate;
    std::unique_ptr<PitchEffect> effect = std::make_unique<PitchEffect>(quietHost);
    std::vector<float> tone;
    std::vector<float> left;
    std::vector<float> right;
    std::size_t read = 0;
};

void report(benchmark::State& state, double rate, int64_t samples)
{
    state.counters["x_real_time"]
        = benchmark::Counter(static_cast<double>(samples) / rate, benchmark::Counter::kIsRate);
    state.counters["ns_per_sample"] = benchmark::Counter(static_cast<double>(samples) * 1.0e-9,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Recording(benchmark::State& state)
{
    const double rate = static_cast<double>(state.range(0));
    HostSide host(rate);
    modelOf(*host.effect).transportMode = kForceScan;
    hostTime.flags = kVstTransportPlaying;
    hostTime.samplePos = 0;
    int64_t samples = 0;
    for (auto _ : state) {
        host.block();
        samples += kBlock;
    }
    report(state, rate, samples);
}

void BM_Playback(benchmark::State& state)
{
    const double rate = static_cast<double>(state.range(0));
    HostSide host(rate);
    TakeModel& model = modelOf(*host.effect);
    model.transportMode = kForceScan;
    hostTime.flags = kVstTransportPlaying;
    hostTime.samplePos = 0;
    while (hostTime.samplePos + kBlock <= kRecordedSeconds * rate)
        host.block();
    model.transportMode = kAutoMode;
    model.editorPlaying = true;
    model.requestedTakePosition = 0;
    hostTime.flags = 0;
    constexpr int kTakeEnd = static_cast<int>(kRecordedSeconds * 44100.0) - 2 * kFrameLength;
    host.block(); // cuts the notes
    int64_t samples = 0;
    for (auto _ : state) {
        host.block();
        samples += kBlock;
        if (model.takePosition > kTakeEnd)
            model.requestedTakePosition = 0;
    }
    report(state, rate, samples);
}

} // namespace

BENCHMARK(BM_Recording)->Arg(44100)->Arg(48000)->Arg(96000)->Arg(192000);
BENCHMARK(BM_Playback)->Arg(44100)->Arg(48000)->Arg(96000)->Arg(192000);
BENCHMARK_MAIN();
