// The engine at other host rates, driven through PitchEffect: no allocation
// on the audio path whatever the block sizes, and at every rate the input
// passes through exactly `initialDelay` samples late, always finite.
#include "shell/pitch_effect.h"
#include "support/effect_internals.h"
#include "support/quiet_host.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <random>
#include <vector>

// The resampler is a C library: its allocations go through malloc, not
// operator new, so this program counts malloc itself (not under the address
// or thread sanitizer, which own malloc).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define CANTILO_COUNTS_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define CANTILO_COUNTS_MALLOC 0
#endif
#endif
#ifndef CANTILO_COUNTS_MALLOC
#define CANTILO_COUNTS_MALLOC 1
#endif

namespace {
std::atomic<bool> countingMallocs {false};
std::atomic<long> mallocs {0};

// A place of its own for a debugger's breakpoint.
[[gnu::noinline]] void countMalloc() { mallocs.fetch_add(1, std::memory_order_relaxed); }

[[maybe_unused]] void noteMalloc()
{
    if (countingMallocs.load(std::memory_order_relaxed))
        countMalloc();
}
} // namespace

#if CANTILO_COUNTS_MALLOC
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);

void* malloc(std::size_t size)
{
    noteMalloc();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size)
{
    noteMalloc();
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size)
{
    noteMalloc();
    return __libc_realloc(pointer, size);
}
int posix_memalign(void** pointer, std::size_t alignment, std::size_t size)
{
    noteMalloc();
    *pointer = __libc_memalign(alignment, size);
    return *pointer ? 0 : ENOMEM;
}
}
#endif

namespace {

constexpr int kLargestBlock = 8192;

// Runs `samples` host samples in blocks from `plan`, moving the host's
// position while its transport plays.
struct Driver {
    std::vector<float> in0 = std::vector<float>(kLargestBlock),
                       in1 = std::vector<float>(kLargestBlock),
                       out0 = std::vector<float>(kLargestBlock),
                       out1 = std::vector<float>(kLargestBlock);
    std::mt19937 random {9};
    double phase = 0.0;
    bool allFinite = true;

    void run(PitchEffect& effect, int samples, int blockSize)
    {
        float* inputs[2] = {in0.data(), in1.data()};
        float* outputs[2] = {out0.data(), out1.data()};
        while (samples > 0) {
            int frames = blockSize > 0
                ? blockSize
                : std::uniform_int_distribution<int>(1, kLargestBlock)(random);
            frames = std::min(frames, samples);
            for (int i = 0; i < frames; ++i) {
                phase += 0.03;
                in0[i] = in1[i] = 0.4f * static_cast<float>(std::sin(phase));
            }
            effect.processReplacing(inputs, outputs, frames);
            for (int i = 0; i < frames; ++i)
                allFinite = allFinite && std::isfinite(out0[i]) && std::isfinite(out1[i]);
            if (hostTime.flags & kVstTransportPlaying)
                hostTime.samplePos += frames;
            samples -= frames;
        }
    }
};

class RateConverterAllocationTest : public ::testing::TestWithParam<int> { };

TEST_P(RateConverterAllocationTest, NoModeAllocatesAtAnyRate)
{
    const int blockSize = GetParam();
    for (float rate : {8000.0f, 48000.0f, 96000.0f, 192000.0f}) {
        auto effect = std::make_unique<PitchEffect>(quietHost);
        effect->setSampleRate(rate);
        const int second = static_cast<int>(rate);
        Driver driver;
        TakeModel& model = modelOf(*effect);
        mallocs = 0;
        countingMallocs = true;
        // Auto mode: records, then plays the same region (cutting the notes).
        hostTime.flags = kVstTransportPlaying;
        hostTime.samplePos = 0;
        driver.run(*effect, 2 * second, blockSize);
        hostTime.samplePos = 0;
        driver.run(*effect, 2 * second, blockSize);
        // Stopped, Force scan, and the editor's play command with the lock held.
        hostTime.flags = 0;
        driver.run(*effect, second / 4, blockSize);
        model.transportMode = kForceScan;
        driver.run(*effect, second / 4, blockSize);
        model.editorPlaying = true;
        model.requestedTakePosition = 0;
        driver.run(*effect, second / 4, blockSize);
        editLockOf(*effect).lock();
        driver.run(*effect, second / 8, blockSize);
        editLockOf(*effect).unlock();
        countingMallocs = false;
        model.editorPlaying = false;
        model.transportMode = kAutoMode;
        EXPECT_GT(model.noteCount, 0) << rate;
        EXPECT_EQ(mallocs.load(), 0) << rate << " Hz";
        EXPECT_TRUE(driver.allFinite) << rate << " Hz";
    }
}

INSTANTIATE_TEST_SUITE_P(Blocks, RateConverterAllocationTest, ::testing::Values(1, 7, 8192, 0),
    [](const ::testing::TestParamInfo<int>& info) {
        return info.param > 0 ? "of" + std::to_string(info.param) : std::string("random");
    });

// Pass-through is the input delayed exactly; rates beyond the usual ones
// still give finite output, and a non-finite input sample comes out as 0.
TEST(RateConverterTest, EveryRatePassesTheInputThroughExactlyDelayed)
{
    for (float rate :
        {8000.0f, 11025.0f, 22050.0f, 32000.0f, 176400.0f, 384000.0f, 100.0f, 3.0e6f}) {
        auto effect = std::make_unique<PitchEffect>(quietHost);
        effect->setSampleRate(rate);
        hostTime.flags = 0;
        const int delay = effect->latency();
        ASSERT_GT(delay, 0) << rate;
        std::vector<float> in(static_cast<std::size_t>(delay) + 4000);
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] = 0.3f * static_cast<float>(std::sin(0.05 * static_cast<double>(i)));
        in[17] = std::numeric_limits<float>::quiet_NaN();
        in[18] = std::numeric_limits<float>::infinity();
        std::vector<float> left(in.size()), right(in.size());
        float* inputs[2] = {in.data(), in.data()};
        float* outputs[2] = {left.data(), right.data()};
        effect->processReplacing(inputs, outputs, static_cast<VstInt32>(in.size()));
        for (std::size_t i = 0; i + static_cast<std::size_t>(delay) < in.size(); ++i) {
            const float expected = std::isfinite(in[i]) ? in[i] : 0.0f;
            ASSERT_EQ(left[i + static_cast<std::size_t>(delay)], expected) << rate << " Hz, " << i;
            ASSERT_EQ(right[i + static_cast<std::size_t>(delay)], expected) << rate << " Hz, " << i;
        }
    }
}

} // namespace
