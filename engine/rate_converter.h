// The bridge between the host's sample rate and the engine's time base of
// 44,100 samples per second. The host's first input channel is resampled to
// the time base and handed to the processing cycle in short slices; the
// cycle's output is resampled back and read from a queue primed so that every
// output sample leaves exactly `delay()` host samples after the input it
// answers. Pass-through and recording blocks send the host's input through a
// delay line of the same length, so every mode shares one latency.
//
// Everything is allocated when the converter is made (outside the processing
// call); process() never allocates or locks.
#pragma once

#include "engine/processing_cycle.h"

#include <cstdint>
#include <memory>
#include <vector>

constexpr double kTimeBaseRate = 44100.0;

// A whole signal at rate `from` resampled to `to` in one go, exactly `length`
// samples long (zeros past what the signal gives). For files and renders, not
// for the audio thread: it allocates.
std::vector<float> resampledOnce(
    const float* samples, std::size_t count, double from, double to, std::size_t length);

class RateConverter {
public:
    // Null when hostRate is the time base: the cycle then works on the host's
    // buffers directly.
    static std::unique_ptr<RateConverter> create(double hostRate);
    ~RateConverter();
    RateConverter(const RateConverter&) = delete;
    RateConverter& operator=(const RateConverter&) = delete;

    double hostRate() const { return rate; }
    // The round trip in host samples, as reported to the host.
    int delay() const { return latency; }

    // One host block: any size from 0 up, outputs may be null.
    void process(ProcessingContext& context, const VstTimeInfo* timeInfo, float** inputs,
        float** outputs, int sampleFrames);

private:
    struct Resampler;
    explicit RateConverter(double hostRate);
    void calibrate();
    void processSlice(ProcessingContext& context, const VstTimeInfo* timeInfo, int blockOffset,
        const float* in0, const float* in1, float* out0, float* out1, int frames);
    int resampleInput(const float* in0, int frames);
    void runCycle(ProcessingContext& context, const VstTimeInfo* timeInfo, int blockOffset,
        int internalFrames);
    void markPlayed(int from, int count, BlockAction action);
    bool playedAt(int64_t hostTime) const;
    int resampleOutput(int internalFrames);
    void queueOutput(int internalFrames);
    float popQueued();

    double rate;
    std::unique_ptr<Resampler> toTimeBase;
    std::unique_ptr<Resampler> toHost;
    int latency = 0;

    std::vector<float> slice; // the host's first channel, finite
    std::vector<float> internalInput; // at the time base
    std::vector<float> internalOutput; // at the time base
    std::vector<float> resampledOutput;

    // Host-rate output of the cycle, waiting for its turn.
    std::vector<float> queue;
    std::size_t queueRead = 0;
    std::size_t queueCount = 0;

    // The host's input delayed by `latency`.
    std::vector<float> delayedLeft;
    std::vector<float> delayedRight;
    std::size_t delayIndex = 0;

    // Whether each recent time-base sample was played (or only passed
    // through), by its index in the stream modulo the ring's length: each
    // output sample takes its source from the time-base sample it stands for,
    // so where playing starts and ends does not depend on the host's blocks.
    std::vector<uint8_t> playedSamples;

    // Samples through each side since the converter was made: time-base sample
    // k of the stream stands for host-stream time k * rate / 44,100.
    int64_t hostStream = 0;
    int64_t internalStream = 0;
};
