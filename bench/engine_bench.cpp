// Playback and recording cost. Playback is reported as a multiple of real time
// at 44,100 Hz ("xRealTime"), with formants moving and kept, the four-voice case also as seconds
// per voice and sample ("perVoiceSample"), the record path as a multiple of real time.
#include "engine/processing_cycle.h"
#include "engine/resynthesis.h"
#include "model/pitch_units.h"
#include "model/segmentation.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr double kRealTimeRate = 44100.0;
constexpr double kTwoPi = 6.283185307179586;

// A sung line of notes of equal length over the first frames of the take,
// every note a whole tone from the one before, with a slight vibrato.
void singLine(TakeModel& model, int notes, int framesPerNote)
{
    double phase = 0.0;
    for (int n = 0; n < notes; ++n) {
        float pitch = static_cast<float>((n % 6) * 2);
        for (int f = n * framesPerNote; f < (n + 1) * framesPerNote; ++f) {
            float sung = pitch + 0.3f * std::sin(0.9f * f);
            model.framePitch[0][f] = sung;
            model.frameVoicing[0][f] = 1.0f;
            double step = kTwoPi * frequencyOfPitch(sung) / kRealTimeRate;
            for (int i = f * kFrameLength; i < (f + 1) * kFrameLength; ++i) {
                model.recordBuffer[i] = static_cast<float>(0.4 * std::sin(phase));
                model.markRecorded(i);
                phase += step;
            }
        }
    }
}

// Segmentation cuts the line; then every note is tuned up a semitone so that
// every voice reads shifted, with period jumps.
std::unique_ptr<TakeModel> segmentedTake(int notes)
{
    auto model = std::make_unique<TakeModel>();
    singLine(*model, notes, kAnalysedFrames / notes);
    segmentNotes(*model);
    for (int n = 0; n < model->noteCount; ++n) {
        measureSourcePitch(*model, n);
        model->pitch[n] += 1.0f;
        noteChanged(*model, n);
    }
    return model;
}

// One block of kFrameLength samples from position, as a playing block
// renders it: spans between the retune points; position wraps at end.
void playBlock(TakeModel& model, Resynthesis& resynthesis, const ResynthesisSettings& settings,
    int& position, int end, std::array<float, kFrameLength>& block)
{
    for (int i = 0; i < kFrameLength;) {
        if (position % kMidiRetuneInterval == 0)
            resynthesis.midiRetune(model, position);
        const int length = std::min({kFrameLength - i,
            kMidiRetuneInterval - position % kMidiRetuneInterval, end - position});
        resynthesis.render(model, position, length, settings, block.data() + i);
        i += length;
        position = position + length < end ? position + length : 0;
    }
}

void playbackWithNotes(benchmark::State& state)
{
    auto model = segmentedTake(static_cast<int>(state.range(0)));
    Resynthesis resynthesis;
    ResynthesisSettings settings;
    settings.keepFormants = state.range(1) != 0;
    const int end = kAnalysedFrames * kFrameLength;
    int position = 0;
    float sink = 0.0f;
    std::array<float, kFrameLength> block {};
    for (auto _ : state) {
        resynthesis.invalidate(); // as every playing block does
        playBlock(*model, resynthesis, settings, position, end, block);
        sink += block[0];
    }
    benchmark::DoNotOptimize(sink);
    state.counters["notes"] = model->noteCount;
    state.counters["xRealTime"]
        = benchmark::Counter(static_cast<double>(state.iterations()) * kFrameLength / kRealTimeRate,
            benchmark::Counter::kIsRate);
}
BENCHMARK(playbackWithNotes)
    ->ArgsProduct({{100, 1000}, {0, 1}})
    ->ArgNames({"notes", "keepFormants"});

void fourVoices(benchmark::State& state)
{
    auto model = std::make_unique<TakeModel>();
    singLine(*model, 10, 100);
    // Four stacked copies of a long note at different shifts, all sounding.
    for (int copy = 0; copy < kVoiceCount; ++copy) {
        int m = model->noteCount;
        model->targetStart[m] = 0.0f;
        model->targetEnd[m] = 1000.0f;
        model->sourceStart[m] = 10.0f * copy;
        model->sourceEnd[m] = 900.0f + 10.0f * copy;
        model->sourceRow[m] = 0;
        model->pitch[m] = kPitchUnset;
        model->fineTune[m] = 0.0f;
        model->volume[m] = 0.25f;
        model->sourcePitch[m] = kPitchUnset;
        model->rawContourDamping[m] = 0.0f;
        model->fineContourDamping[m] = 0.0f;
        model->vibratoAmplitude[m] = 0.2f;
        model->vibratoRate[m] = 0.4f;
        model->vibratoAttack[m] = 0.0f;
        model->blending[m] = 0.5f;
        ++model->noteCount;
        measureSourcePitch(*model, m);
        model->pitch[m] += static_cast<float>(copy + 1);
        noteChanged(*model, m);
    }
    Resynthesis resynthesis;
    const ResynthesisSettings settings;
    const int end = 1000 * kFrameLength;
    int position = 0;
    float sink = 0.0f;
    std::array<float, kFrameLength> block {};
    for (auto _ : state) {
        resynthesis.invalidate();
        playBlock(*model, resynthesis, settings, position, end, block);
        sink += block[0];
    }
    benchmark::DoNotOptimize(sink);
    const double voiceSamples
        = static_cast<double>(state.iterations()) * kFrameLength * kVoiceCount;
    state.counters["perVoiceSample"] = benchmark::Counter(
        voiceSamples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["xRealTime"]
        = benchmark::Counter(static_cast<double>(state.iterations()) * kFrameLength / kRealTimeRate,
            benchmark::Counter::kIsRate);
}
BENCHMARK(fourVoices);

void recordPath(benchmark::State& state)
{
    auto model = std::make_unique<TakeModel>();
    model->transportMode = kForceScan;
    PitchDetector detector;
    Resynthesis resynthesis;
    EditLock lock;
    std::atomic<int> silenced {0};
    std::vector<float> in0(kFrameLength), in1(kFrameLength), out0(kFrameLength), out1(kFrameLength);
    double phase = 0.0;
    for (float& x : in0) {
        x = static_cast<float>(0.4 * std::sin(phase));
        phase += kTwoPi * 220.0 / kRealTimeRate;
    }
    in1 = in0;
    float* inputs[2] = {in0.data(), in1.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    ProcessingContext context {*model, detector, resynthesis, lock, silenced, {}, {}};
    for (auto _ : state) {
        if (model->takePosition >= kAnalysedFrames * kFrameLength)
            model->takePosition = 0;
        processBlock(context, nullptr, inputs, outputs, kFrameLength);
    }
    state.counters["xRealTime"]
        = benchmark::Counter(static_cast<double>(state.iterations()) * kFrameLength / kRealTimeRate,
            benchmark::Counter::kIsRate);
}
BENCHMARK(recordPath);

} // namespace

BENCHMARK_MAIN();
