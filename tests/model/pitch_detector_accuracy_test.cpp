// Harmonic tones at frequencies nothing else was tuned for, at two host
// rates: every accepted frame within 3 cents of the truth, and no octave
// errors anywhere. Low voices on "a" in breath noise, whose fundamental is
// weak beside the harmonics the formants lift, stay within a few cents.
#include "model/pitch_detector.h"
#include "model/pitch_units.h"
#include "support/signals.h"
#include "support/take_recorder.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <tuple>

namespace {

constexpr int kTones = 20;
constexpr double kLowest = 80.0;
constexpr double kHighest = 780.0;
constexpr int kHarmonics = 10;
constexpr int kFrames = 60;
// Frame 3 is the first whose window and the window before it lie wholly
// inside the take (frame f reads 512 f - 767 on; negative positions wrap to
// the silent end of the take).
constexpr int kFirstSteadyFrame = 3;
constexpr double kMaxCents = 3.0;

void checkRate(double sampleRate)
{
    for (int i = 0; i < kTones; ++i) {
        const double frequency = kLowest * std::pow(kHighest / kLowest, i / (kTones - 1.0));
        auto model = std::make_unique<TakeModel>();
        auto detector = std::make_unique<PitchDetector>();
        const AnalysisSettings settings {20, 50.0f, static_cast<float>(sampleRate)};
        recordSignal(*model, *detector, settings,
            makeHarmonicTone(
                frequency, kAnalysisOffset + kFrames * kFrameLength, sampleRate, kHarmonics, 0.4));
        const double truth = pitchOfFrequency(frequency);
        int accepted = 0;
        double worstCents = 0.0;
        for (int f = kFirstSteadyFrame; f < kFrames; ++f) {
            const float voicing = model->frameVoicing[0][f];
            const float pitch = model->framePitch[0][f];
            if (voicing <= 0.0f)
                continue;
            ++accepted;
            // An octave (or twelfth) error is many semitones off, not cents.
            EXPECT_LT(std::fabs(pitch - truth), 0.5) << "at " << frequency << " Hz, frame " << f;
            worstCents = std::max(worstCents, 100.0 * std::fabs(pitch - truth));
        }
        EXPECT_LE(worstCents, kMaxCents) << frequency << " Hz at " << sampleRate;
        // The steady part of the tone is all accepted, or the bound says nothing.
        EXPECT_GE(accepted, kFrames - kFirstSteadyFrame - 4)
            << frequency << " Hz at " << sampleRate;
    }
}

} // namespace

TEST(PitchDetectorAccuracyTest, HarmonicTonesAt44100Hz) { checkRate(44100.0); }

TEST(PitchDetectorAccuracyTest, HarmonicTonesAt48000Hz) { checkRate(48000.0); }

namespace {

// A steady low voice on "a": partials below 5 kHz falling as 1 / h, lifted by
// the first two formants (730 and 1,090 Hz), the fundamental at under a third
// of its share, in uniform noise.
std::vector<float> lowVowelTone(double frequency, int count, double sampleRate, double noise)
{
    std::vector<float> tone = makeNoise(count, noise, 3);
    auto formant = [](double hertz, double centre, double width) {
        const double x = (hertz - centre) / width;
        return std::exp(-x * x);
    };
    for (int h = 1; h * frequency < 5000.0; ++h) {
        const double hertz = h * frequency;
        double gain = 0.15 / h
            * (1.0 + 8.0 * formant(hertz, 730.0, 120.0) + 4.0 * formant(hertz, 1090.0, 140.0));
        if (h == 1)
            gain *= 0.3;
        const double step = 2.0 * std::numbers::pi * hertz / sampleRate;
        for (int i = 0; i < count; ++i)
            tone[static_cast<std::size_t>(i)] += static_cast<float>(gain * std::sin(step * i + 1.3 * h));
    }
    return tone;
}

constexpr double kBreathNoise = 0.03;
// The fundamental's own bin alone read these tones 4 to 17 cents off.
constexpr double kMaxVowelCents = 2.5;

class LowVowelAccuracyTest : public ::testing::TestWithParam<std::tuple<double, double>> { };

} // namespace

TEST_P(LowVowelAccuracyTest, EveryHarmonicPinsTheFundamental)
{
    const auto [sampleRate, frequency] = GetParam();
    auto model = std::make_unique<TakeModel>();
    auto detector = std::make_unique<PitchDetector>();
    const AnalysisSettings settings {20, 50.0f, static_cast<float>(sampleRate)};
    recordSignal(*model, *detector, settings,
        lowVowelTone(frequency, kAnalysisOffset + kFrames * kFrameLength, sampleRate, kBreathNoise));
    const double truth = pitchOfFrequency(frequency);
    int accepted = 0;
    for (int f = kFirstSteadyFrame; f < kFrames; ++f) {
        if (!(model->frameVoicing[0][f] > 0.0f) || model->frameVoicing[0][f] == kBackFillVoicing)
            continue;
        ++accepted;
        EXPECT_LE(100.0 * std::fabs(model->framePitch[0][f] - truth), kMaxVowelCents)
            << "frame " << f;
    }
    EXPECT_GE(accepted, kFrames - kFirstSteadyFrame - 4);
}

INSTANTIATE_TEST_SUITE_P(LowVoices, LowVowelAccuracyTest,
    ::testing::Combine(::testing::Values(44100.0, 48000.0),
        ::testing::Values(70.0, 82.0, 98.0, 123.0, 147.0, 175.0)));
