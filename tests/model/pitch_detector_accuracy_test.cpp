// Harmonic tones at frequencies nothing else was tuned for, at two host
// rates: every accepted frame within 3 cents of the truth, and no octave
// errors anywhere.
#include "model/pitch_detector.h"
#include "model/pitch_units.h"
#include "support/signals.h"
#include "support/take_recorder.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>

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
