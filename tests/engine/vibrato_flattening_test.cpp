// A tone sung with wide vibrato, its analysis row exact at every frame's
// first sample, played with the contour flattened onto a semitone: window by
// window the played pitch stays on it, with formants moving and kept. A rate
// held for each frame from the pitch at the frame's start leaves windows tens
// of cents off wherever the vibrato moves fast.
#include "engine/contour_lookup.h"
#include "engine/resynthesis.h"
#include "model/pitch_units.h"
#include "model/segmentation.h"
#include "support/note_table_helpers.h"
#include "support/pitch_measure.h"
#include "support/signals.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace {

constexpr int kNoteFrames = 200; // 2.3 s
constexpr int kHarmonics = 10;
constexpr double kVibratoDepth = 0.6; // semitones: +-60 cents
constexpr double kVibratoHertz = 5.5;
constexpr double kSungDetune = 0.35; // the singer is 35 cents off the semitone
constexpr int kSkippedFrames = 20; // the note's entry transition and the first lags
constexpr double kWindowPeriods = 4.0;
constexpr double kCloseCents = 10.0;
constexpr double kCloseShare = 0.95;
constexpr double kFarCents = 30.0; // a window straddling a crossfade of the lowest voice

struct Way {
    double semitone; // the note's pitch; sung kSungDetune above it
    bool keepFormants;
};

class VibratoFlatteningTest : public testing::TestWithParam<Way> { };

} // namespace

TEST_P(VibratoFlatteningTest, FlattenedVibratoPlaysOnItsSemitoneWindowByWindow)
{
    const Way way = GetParam();
    const double sung = way.semitone + kSungDetune;
    const double rate = kTestSampleRate;
    const int samples = kNoteFrames * kFrameLength;
    auto model = makeModel();
    ToneShape shape;
    shape.harmonics = kHarmonics;
    shape.vibratoDepth = kVibratoDepth;
    shape.vibratoRate = kVibratoHertz;
    const std::vector<float> take = makeToneSequence({{frequencyOfPitch(sung), samples}}, shape);
    for (int i = 0; i < samples; ++i) {
        model->recordBuffer[static_cast<std::size_t>(i)] = take[static_cast<std::size_t>(i)];
        model->markRecorded(i);
    }
    // The pitch a frame describes is that of its first sample.
    for (int f = 0; f < kNoteFrames; ++f) {
        const double t = static_cast<double>(f) * kFrameLength / rate;
        const double pitch
            = sung + kVibratoDepth * std::sin(2.0 * std::numbers::pi * kVibratoHertz * t);
        setTrack(*model, f, f + 1, static_cast<float>(pitch));
    }
    const int note = addNote(*model, 0.0f, static_cast<float>(kNoteFrames));
    measureSourcePitch(*model, note);
    model->pitch[note] = static_cast<float>(way.semitone);
    model->fineTune[note] = 0.0f;
    model->rawContourDamping[note] = 1.0f;
    model->fineContourDamping[note] = 1.0f;
    noteChanged(*model, note);

    Resynthesis resynthesis;
    ResynthesisSettings settings;
    settings.keepFormants = way.keepFormants;
    std::vector<float> out;
    for (int p = 0; p < samples; ++p)
        out.push_back(resynthesis.outputSampleAt(*model, p, settings));

    const double target = frequencyOfPitch(way.semitone);
    const auto length = static_cast<std::size_t>(kWindowPeriods * rate / target);
    const auto step = length / 2;
    int windows = 0;
    int close = 0;
    double worst = 0.0;
    for (std::size_t at = kSkippedFrames * kFrameLength;
         at + length <= static_cast<std::size_t>(samples - kSkippedFrames * kFrameLength);
         at += step) {
        const double cents = std::fabs(centsBetween(
            target, measureFrequency(out.data() + at, length, rate, target / 1.5, target * 1.5)));
        ++windows;
        close += cents <= kCloseCents ? 1 : 0;
        worst = std::fmax(worst, cents);
    }
    ASSERT_GT(windows, 0);
    EXPECT_GE(close, kCloseShare * windows) << close << " of " << windows;
    EXPECT_LE(worst, kFarCents);
}

INSTANTIATE_TEST_SUITE_P(LowAndHighVoices, VibratoFlatteningTest,
    testing::Values(Way {-7.0, false}, Way {-7.0, true}, Way {5.0, false}, Way {5.0, true},
        Way {22.0, false}, Way {22.0, true}));
