#include "engine/rate_converter.h"

#include <algorithm>
#include <cmath>
#include <soxr.h>

namespace {

// The host block is worked through in slices of at most this many samples,
// so the resamplers' own buffers never grow past what calibration made them.
constexpr int kSliceLength = 256;
// The resamplers work in blocks of their own and answer some slices with a
// burst; warming up for a second lets their buffers reach full size.
constexpr double kWarmUpSeconds = 1.0;
// Calibration feeds one sample at a time, the finest a host can slice its
// blocks, for this long, and takes the largest shortfall of output it sees.
// At some ratios the shortfall wanders slowly (by about 10 % at 192 kHz over
// seconds), hence the proportional margin.
constexpr double kCalibrationSeconds = 0.5;
constexpr int kLatencyMargin = 8;
constexpr double kLatencyMarginShare = 0.1;
// Room for a resampler that answers one short slice with a burst.
constexpr int kBurstMargin = 16384;
// Rates beyond these are taken as these: the buffers stay bounded and the
// calibration short.
constexpr double kLowestHostRate = 1000.0;
constexpr double kHighestHostRate = 768000.0;

float finiteOrZero(float x) { return std::isfinite(x) ? x : 0.0f; }

} // namespace

// One mono resampler; linear phase, so that a sample keeps its place in time
// and the only delay is the samples it holds back.
struct RateConverter::Resampler {
    Resampler(double from, double to)
    {
        soxr_error_t error = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_LQ, 0);
        handle = soxr_create(from, to, 1, &error, &io, &quality, nullptr);
    }
    ~Resampler() { soxr_delete(handle); }

    // Resamples every one of frames input samples; returns how many came out.
    int run(const float* input, int frames, float* output, int capacity)
    {
        int used = 0;
        int made = 0;
        while (handle && made < capacity) {
            std::size_t taken = 0;
            std::size_t given = 0;
            soxr_process(handle, input + used, static_cast<std::size_t>(frames - used), &taken,
                output + made, static_cast<std::size_t>(capacity - made), &given);
            used += static_cast<int>(taken);
            made += static_cast<int>(given);
            if (used >= frames && given == 0)
                break;
            if (taken == 0 && given == 0)
                break;
        }
        return made;
    }

    soxr_t handle = nullptr;
};

std::unique_ptr<RateConverter> RateConverter::create(double hostRate)
{
    if (hostRate == kTimeBaseRate)
        return nullptr;
    std::unique_ptr<RateConverter> converter(new RateConverter(hostRate));
    converter->calibrate();
    return converter;
}

RateConverter::RateConverter(double hostRate)
    : rate(std::clamp(hostRate, kLowestHostRate, kHighestHostRate))
    , toTimeBase(std::make_unique<Resampler>(rate, kTimeBaseRate))
    , toHost(std::make_unique<Resampler>(kTimeBaseRate, rate))
{
    const int internalCapacity
        = static_cast<int>(std::ceil(kSliceLength * kTimeBaseRate / rate)) + kBurstMargin;
    slice.assign(kSliceLength, 0.0f);
    internalInput.assign(static_cast<std::size_t>(internalCapacity), 0.0f);
    internalOutput.assign(static_cast<std::size_t>(internalCapacity), 0.0f);
    resampledOutput.assign(
        static_cast<std::size_t>(std::ceil(internalCapacity * rate / kTimeBaseRate)) + kBurstMargin,
        0.0f);
}

RateConverter::~RateConverter() = default;

int RateConverter::resampleInput(const float* in0, int frames)
{
    return toTimeBase->run(
        in0, frames, internalInput.data(), static_cast<int>(internalInput.size()));
}

void RateConverter::calibrate()
{
    int64_t outputStream = 0;
    auto feed = [&](int frames) {
        const int made = resampleInput(slice.data(), frames);
        std::fill_n(internalOutput.begin(), made, 0.0f);
        outputStream += resampleOutput(made);
        hostStream += frames;
        internalStream += made;
    };
    const int warmUpSlices = static_cast<int>(rate * kWarmUpSeconds) / kSliceLength;
    for (int s = 0; s < warmUpSlices; ++s)
        feed(kSliceLength);
    int64_t largestShortfall = 0;
    const int calibrationSamples = static_cast<int>(rate * kCalibrationSeconds);
    for (int n = 0; n < calibrationSamples; ++n) {
        feed(1);
        largestShortfall = std::max(largestShortfall, hostStream - outputStream);
    }
    latency = static_cast<int>(std::ceil(largestShortfall * (1.0 + kLatencyMarginShare)))
        + kLatencyMargin;

    // Output sample k of the stream stands for host-stream time k and leaves
    // at k + latency: the queue starts with the silent samples in between.
    const auto primed = static_cast<std::size_t>(latency - (hostStream - outputStream));
    std::size_t capacity = 1;
    while (capacity < primed + resampledOutput.size() + kBurstMargin)
        capacity *= 2;
    queue.assign(capacity, 0.0f);
    queueRead = 0;
    queueCount = primed;

    delayedLeft.assign(static_cast<std::size_t>(latency), 0.0f);
    delayedRight.assign(static_cast<std::size_t>(latency), 0.0f);
    delayIndex = 0;

    std::size_t flags = 1;
    while (flags < latency * kTimeBaseRate / rate + 2 * internalInput.size())
        flags *= 2;
    playedSamples.assign(flags, 0);
}

void RateConverter::markPlayed(int from, int count, BlockAction action)
{
    const std::size_t mask = playedSamples.size() - 1;
    for (int i = 0; i < count; ++i)
        playedSamples[static_cast<std::size_t>(internalStream + from + i) & mask]
            = action == BlockAction::kPlay ? 1 : 0;
}

bool RateConverter::playedAt(int64_t hostTime) const
{
    if (hostTime < 0)
        return false;
    const auto index = static_cast<int64_t>(std::floor(hostTime * kTimeBaseRate / rate));
    return playedSamples[static_cast<std::size_t>(index) & (playedSamples.size() - 1)] != 0;
}

int RateConverter::resampleOutput(int internalFrames)
{
    // In pieces no longer than a slice, so that a burst from the input side
    // never grows the output resampler's buffers.
    int made = 0;
    for (int at = 0; at < internalFrames; at += kSliceLength)
        made += toHost->run(internalOutput.data() + at, std::min(kSliceLength, internalFrames - at),
            resampledOutput.data() + made, static_cast<int>(resampledOutput.size()) - made);
    return made;
}

void RateConverter::queueOutput(int internalFrames)
{
    const int made = resampleOutput(internalFrames);
    const std::size_t mask = queue.size() - 1;
    for (int i = 0; i < made && queueCount < queue.size(); ++i) {
        queue[(queueRead + queueCount) & mask] = resampledOutput[static_cast<std::size_t>(i)];
        ++queueCount;
    }
}

float RateConverter::popQueued()
{
    if (queueCount == 0)
        return 0.0f;
    const float sample = queue[queueRead];
    queueRead = (queueRead + 1) & (queue.size() - 1);
    --queueCount;
    return sample;
}

void RateConverter::runCycle(
    ProcessingContext& context, const VstTimeInfo* timeInfo, int blockOffset, int internalFrames)
{
    float* inputs[2] = {internalInput.data(), nullptr};
    float* outputs[2] = {internalOutput.data(), nullptr};
    if (!timeInfo) {
        markPlayed(
            0, internalFrames, processBlock(context, nullptr, inputs, outputs, internalFrames));
        return;
    }

    // Where the slice's first time-base sample was sung, on the host's
    // timeline: the host's position of this slice, less how far the
    // resampled stream lags the host's.
    const double lag = static_cast<double>(hostStream) - internalStream * rate / kTimeBaseRate;
    const double hostPosition = timeInfo->samplePos + blockOffset - lag;
    VstTimeInfo local = *timeInfo;
    local.sampleRate = kTimeBaseRate;
    local.samplePos = std::floor(hostPosition * kTimeBaseRate / rate + 0.5);

    const bool playing = (timeInfo->flags & (kVstTransportPlaying | kVstTransportRecording)) != 0;
    if (!playing || local.samplePos >= 0.0) {
        markPlayed(
            0, internalFrames, processBlock(context, &local, inputs, outputs, internalFrames));
        return;
    }

    // The first samples were sung before the host's transport started: they
    // only pass through, and the take starts with the first one at 0.
    const int early = static_cast<int>(std::min<double>(internalFrames, -local.samplePos));
    std::copy_n(internalInput.begin(), early, internalOutput.begin());
    markPlayed(0, early, BlockAction::kNone);
    if (early == internalFrames)
        return;
    local.samplePos = 0.0;
    float* lateInputs[2] = {internalInput.data() + early, nullptr};
    float* lateOutputs[2] = {internalOutput.data() + early, nullptr};
    markPlayed(early, internalFrames - early,
        processBlock(context, &local, lateInputs, lateOutputs, internalFrames - early));
}

void RateConverter::processSlice(ProcessingContext& context, const VstTimeInfo* timeInfo,
    int blockOffset, const float* in0, const float* in1, float* out0, float* out1, int frames)
{
    for (int i = 0; i < frames; ++i)
        slice[static_cast<std::size_t>(i)] = in0 ? finiteOrZero(in0[i]) : 0.0f;
    const int made = resampleInput(slice.data(), frames);
    // A slice too short to bring out a time-base sample leaves the cycle
    // alone: its cursors and position stay as the last block left them.
    if (made > 0)
        runCycle(context, timeInfo, blockOffset, made);
    queueOutput(made);

    const std::size_t length = delayedLeft.size();
    for (int i = 0; i < frames; ++i) {
        const float played = popQueued();
        const float left = delayedLeft[delayIndex];
        const float right = delayedRight[delayIndex];
        const bool wasPlaying = playedAt(hostStream + i - latency);
        delayedLeft[delayIndex] = slice[static_cast<std::size_t>(i)];
        delayedRight[delayIndex] = in1 ? finiteOrZero(in1[i]) : slice[static_cast<std::size_t>(i)];
        delayIndex = delayIndex + 1 == length ? 0 : delayIndex + 1;
        if (out0)
            out0[i] = wasPlaying ? played : left;
        if (out1)
            out1[i] = wasPlaying ? played : right;
    }
    hostStream += frames;
    internalStream += made;
}

void RateConverter::process(ProcessingContext& context, const VstTimeInfo* timeInfo, float** inputs,
    float** outputs, int sampleFrames)
{
    const float* in0 = inputs ? inputs[0] : nullptr;
    const float* in1 = inputs ? (inputs[1] ? inputs[1] : inputs[0]) : nullptr;
    float* out0 = outputs ? outputs[0] : nullptr;
    float* out1 = outputs ? outputs[1] : nullptr;
    for (int offset = 0; offset < sampleFrames; offset += kSliceLength) {
        const int frames = std::min(kSliceLength, sampleFrames - offset);
        processSlice(context, timeInfo, offset, in0 ? in0 + offset : nullptr,
            in1 ? in1 + offset : nullptr, out0 ? out0 + offset : nullptr,
            out1 ? out1 + offset : nullptr, frames);
    }
}

std::vector<float> resampledOnce(
    const float* samples, std::size_t count, double from, double to, std::size_t length)
{
    std::vector<float> out(length, 0.0f);
    if (count == 0 || length == 0)
        return out;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    std::size_t made = 0;
    soxr_oneshot(
        from, to, 1, samples, count, nullptr, out.data(), out.size(), &made, &io, nullptr, nullptr);
    return out;
}
