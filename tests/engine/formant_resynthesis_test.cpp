#include "engine/contour_lookup.h"
#include "engine/formant_resynthesis.h"
#include "engine/resynthesis.h"
#include "model/segmentation.h"
#include "support/note_table_helpers.h"
#include "support/pitch_measure.h"
#include "support/signals.h"
#include "support/singing_voice.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

namespace {

constexpr float kRate = 44100.0f;
constexpr int kDecimation = 4; // the envelope is read below 5.5 kHz
constexpr int kLowpassHalfTaps = 32;
constexpr int kLpcOrder = 14;
constexpr double kPreEmphasis = 0.9;
constexpr double kEnvelopeStep = 5.0; // Hz
constexpr double kEnvelopeFloor = 150.0; // Hz: below the first formant of every vowel
constexpr double kEnvelopeCeiling = 5000.0;
constexpr double kLowestScale = 0.5;
constexpr double kHighestScale = 2.0;
constexpr double kScaleStep = 1.005;
constexpr std::size_t kFormantsCompared = 3;
constexpr long kSettleSamples = 4410; // after the attack, before measuring
constexpr std::size_t kMeasureLength = 16384; // samples of steady voice measured
constexpr double kSungPitch = -8.0; // 82 Hz: a bass
constexpr double kNoteSeconds = 1.2;
constexpr double kFormantTolerance = 0.05; // relative
constexpr double kPitchToleranceCents = 5.0;
constexpr double kLevelToleranceDb = 2.0;
constexpr std::size_t kPitchWindow = 2048;
constexpr double kWindowToleranceCents
    = 50.0; // a frame's lag behind the vibrato; an octave is 1,200

double levelDb(const std::vector<float>& x, std::size_t from)
{
    double energy = 0.0;
    for (std::size_t i = from; i < from + kMeasureLength; ++i)
        energy += static_cast<double>(x[i]) * x[i];
    return 10.0 * std::log10(energy);
}

// The all-pole spectral envelope of a stretch of voice: LPC of order 14 on
// the voice low-passed and decimated to 11 kHz.
struct Envelope {
    std::vector<double> a;
    double rate = 0.0;

    double at(double hz) const
    {
        double re = 0.0;
        double im = 0.0;
        for (std::size_t j = 0; j < a.size(); ++j) {
            re += a[j] * std::cos(2.0 * std::numbers::pi * hz * static_cast<double>(j) / rate);
            im -= a[j] * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(j) / rate);
        }
        return 1.0 / (re * re + im * im);
    }

    // Its peaks, lowest first.
    std::vector<double> peaks() const
    {
        std::vector<double> found;
        for (double f = kEnvelopeFloor; f < kEnvelopeCeiling; f += kEnvelopeStep) {
            double here = at(f);
            if (here > at(f - kEnvelopeStep) && here >= at(f + kEnvelopeStep))
                found.push_back(f);
        }
        return found;
    }
};

Envelope envelopeOf(const std::vector<float>& x, std::size_t from)
{
    const double rate = kRate / kDecimation;
    std::vector<double> y;
    for (std::size_t n = from; n + kLowpassHalfTaps < from + kMeasureLength; n += kDecimation) {
        double sum = 0.0;
        for (int k = -kLowpassHalfTaps; k <= kLowpassHalfTaps; ++k) {
            double t = k / static_cast<double>(kDecimation);
            double sinc = k == 0 ? 1.0 : std::sin(std::numbers::pi * t) / (std::numbers::pi * t);
            double window = 0.5 * (1.0 + std::cos(std::numbers::pi * k / (kLowpassHalfTaps + 1)));
            sum += x[n + static_cast<std::size_t>(k + kLowpassHalfTaps)] * sinc * window;
        }
        y.push_back(sum / kDecimation);
    }
    for (std::size_t n = y.size() - 1; n > 0; --n)
        y[n] -= kPreEmphasis * y[n - 1];
    for (std::size_t n = 0; n < y.size(); ++n)
        y[n] *= 0.54 - 0.46 * std::cos(2.0 * std::numbers::pi * n / (y.size() - 1));

    std::vector<double> r(kLpcOrder + 1, 0.0);
    for (int lag = 0; lag <= kLpcOrder; ++lag)
        for (std::size_t n = static_cast<std::size_t>(lag); n < y.size(); ++n)
            r[lag] += y[n] * y[n - lag];
    // Levinson-Durbin.
    std::vector<double> a(kLpcOrder + 1, 0.0);
    a[0] = 1.0;
    double error = r[0];
    for (int i = 1; i <= kLpcOrder; ++i) {
        double k = -r[i];
        for (int j = 1; j < i; ++j)
            k -= a[j] * r[i - j];
        k /= error;
        std::vector<double> previous = a;
        for (int j = 1; j < i; ++j)
            a[j] = previous[j] + k * previous[i - j];
        a[i] = k;
        error *= 1.0 - k * k;
    }
    return {a, rate};
}

// The frequency scale that best lays after's envelope over before's: the
// least mean squared distance in dB, searched in 0.5 % steps.
double envelopeScale(const Envelope& before, const Envelope& after)
{
    double best = 1.0;
    double bestDistance = INFINITY;
    for (double scale = kLowestScale; scale < kHighestScale; scale *= kScaleStep) {
        double distance = 0.0;
        for (double f = kEnvelopeFloor; f * scale < kEnvelopeCeiling && f < kEnvelopeCeiling;
             f += kEnvelopeStep) {
            double d = 10.0 * std::log10(after.at(f * scale) / before.at(f));
            distance += d * d;
        }
        // Level differences are not a shift of the envelope.
        if (distance < bestDistance) {
            bestDistance = distance;
            best = scale;
        }
    }
    return best;
}

struct MovedVowel {
    std::vector<float> input;
    std::vector<float> output;
    std::size_t measureFrom = 0;
};

// The take recorded with the analysis row the singer's true pitch gives, so
// that the resynthesis alone is measured: a frame is voiced where every one
// of its samples is sung.
void recordWithTruePitch(TakeModel& model, const SungTake& take)
{
    for (std::size_t i = 0; i < take.samples.size(); ++i) {
        model.recordBuffer[i] = take.samples[i];
        model.markRecorded(static_cast<int>(i));
    }
    const long half = kFrameLength / 2;
    for (long f = 0; (f + 1) * kFrameLength <= static_cast<long>(take.samples.size()); ++f) {
        double pitch = truePitchAround(take, f * kFrameLength, half);
        if (pitch != kUnsungPitch)
            setTrack(
                model, static_cast<int>(f), static_cast<int>(f + 1), static_cast<float>(pitch));
        else
            setTrack(model, static_cast<int>(f), static_cast<int>(f + 1), kUnvoicedPitch, 0.0f);
    }
}

// One vowel sung at 110 Hz, cut into one note moved by shift semitones and
// played back.
MovedVowel singAndMove(Vowel vowel, double shift, bool keepFormants)
{
    SingerSettings singer;
    SungTake take = singMelody({{kSungPitch, kNoteSeconds, vowel}}, singer);
    auto model = makeModel();
    recordWithTruePitch(*model, take);
    const SungNoteTruth& truth = take.notes.front();
    const auto first = static_cast<float>(truth.start / kFrameLength + 1);
    const auto last = static_cast<float>(truth.end / kFrameLength - 1);
    int n = addNote(*model, first, last);
    measureSourcePitch(*model, n);
    model->pitch[n] += static_cast<float>(shift);
    noteChanged(*model, n);

    Resynthesis resynthesis;
    ResynthesisSettings settings;
    settings.keepFormants = keepFormants;
    MovedVowel moved {
        take.samples, {}, static_cast<std::size_t>(truth.steadyStart + kSettleSamples)};
    for (int p = 0; p < static_cast<int>(take.samples.size()); ++p)
        moved.output.push_back(resynthesis.outputSampleAt(*model, p, settings));
    return moved;
}

struct VowelShift {
    Vowel vowel;
    double shift;
};

class MovedVowelTest : public testing::TestWithParam<VowelShift> { };

} // namespace

TEST_P(MovedVowelTest, KeptFormantsStayWhileThePitchMovesAtTheSungLevel)
{
    MovedVowel moved = singAndMove(GetParam().vowel, GetParam().shift, true);
    const double ratio = std::exp2(GetParam().shift / 12.0);
    double sung = measureFrequency(moved.input.data() + moved.measureFrom, kMeasureLength, kRate);
    double played
        = measureFrequency(moved.output.data() + moved.measureFrom, kMeasureLength, kRate);
    EXPECT_NEAR(centsBetween(sung * ratio, played), 0.0, kPitchToleranceCents);
    EXPECT_NEAR(levelDb(moved.output, moved.measureFrom), levelDb(moved.input, moved.measureFrom),
        kLevelToleranceDb);
    // Window by window too: grains taken from alternating crests would put a
    // subharmonic into some windows.
    for (std::size_t at = moved.measureFrom;
         at + kPitchWindow <= moved.measureFrom + kMeasureLength; at += kPitchWindow / 2) {
        double window = measureFrequency(moved.output.data() + at, kPitchWindow, kRate);
        double source = measureFrequency(moved.input.data() + at, kPitchWindow, kRate);
        ASSERT_NEAR(centsBetween(source * ratio, window), 0.0, kWindowToleranceCents) << at;
    }

    std::vector<double> before = envelopeOf(moved.input, moved.measureFrom).peaks();
    std::vector<double> after = envelopeOf(moved.output, moved.measureFrom).peaks();
    ASSERT_GE(before.size(), kFormantsCompared);
    ASSERT_GE(after.size(), kFormantsCompared);
    for (std::size_t k = 0; k < kFormantsCompared; ++k)
        EXPECT_NEAR(after[k] / before[k], 1.0, kFormantTolerance) << "formant " << k + 1;
}

TEST_P(MovedVowelTest, MovingFormantsFollowThePitch)
{
    MovedVowel moved = singAndMove(GetParam().vowel, GetParam().shift, false);
    const double ratio = std::exp2(GetParam().shift / 12.0);
    // Peaks that move together can merge, so the envelope is laid over the
    // input's as a whole.
    double scale = envelopeScale(
        envelopeOf(moved.input, moved.measureFrom), envelopeOf(moved.output, moved.measureFrom));
    EXPECT_NEAR(scale / ratio, 1.0, kFormantTolerance);
}

INSTANTIATE_TEST_SUITE_P(FiveVowels, MovedVowelTest,
    testing::Values(VowelShift {Vowel::A, 4}, VowelShift {Vowel::A, -4}, VowelShift {Vowel::A, 7},
        VowelShift {Vowel::E, 4}, VowelShift {Vowel::E, -4}, VowelShift {Vowel::E, 7},
        VowelShift {Vowel::I, 4}, VowelShift {Vowel::I, -4}, VowelShift {Vowel::I, 7},
        VowelShift {Vowel::O, 4}, VowelShift {Vowel::O, -4}, VowelShift {Vowel::O, 7},
        VowelShift {Vowel::U, 4}, VowelShift {Vowel::U, -4}, VowelShift {Vowel::U, 7}));

namespace {

// Plays every sample of [0, end) with formants kept.
std::vector<float> playKept(TakeModel& model, Resynthesis& resynthesis, int end)
{
    ResynthesisSettings settings;
    settings.keepFormants = true;
    std::vector<float> out;
    for (int p = 0; p < end; ++p)
        out.push_back(resynthesis.outputSampleAt(model, p, settings));
    return out;
}

double largestStep(const std::vector<float>& x, std::size_t from, std::size_t to)
{
    double step = 0.0;
    for (std::size_t i = from + 1; i < to && i < x.size(); ++i)
        step = std::fmax(step, std::fabs(x[i] - x[i - 1]));
    return step;
}

} // namespace

// Noise under unvoiced frames has no pitch to move; a waveform that never
// rises above silence under voiced frames has no pitch marks. Both are laid
// grain for grain unshifted.
TEST(FormantResynthesisTest, NotesWithoutPitchMarksPlayUnshifted)
{
    struct Case {
        const char* name;
        bool voiced;
        bool belowSilence;
    };
    for (const Case& c :
        {Case {"breath noise", false, false}, Case {"no peak above silence", true, true}}) {
        auto model = makeModel();
        const int frames = 60;
        std::vector<float> noise = makeNoise(frames * kFrameLength, 0.3);
        for (int i = 0; i < frames * kFrameLength; ++i) {
            float v = noise[static_cast<std::size_t>(i)];
            model->recordBuffer[i] = c.belowSilence ? -std::fabs(v) : v;
            model->markRecorded(i);
        }
        setTrack(*model, 0, frames, c.voiced ? 9.0f : kUnvoicedPitch, c.voiced ? 1.0f : 0.0f);
        int n = addNote(*model, 0.0f, static_cast<float>(frames));
        model->pitch[n] = 14.0f;
        model->sourcePitch[n] = 9.0f;
        Resynthesis resynthesis;
        std::vector<float> out = playKept(*model, resynthesis, frames * kFrameLength);
        for (int p = kEdgeRampLength; p < (frames - 2) * kFrameLength; ++p)
            ASSERT_NEAR(out[static_cast<std::size_t>(p)], model->recordBuffer[p], 1e-5)
                << c.name << " at " << p;
    }
}

// A sung line cut into linked notes, each moved its own way: grain joins and
// hand-overs make no step larger than the singer's own, and the voice's
// grains run on across every cut.
TEST(FormantResynthesisTest, LinkedNotesOfASungLineJoinWithoutSteps)
{
    MelodyShape shape;
    shape.count = 8;
    shape.lowest = -6;
    shape.highest = 4;
    SingerSettings singer;
    SungTake take = singMelody(makeSungMelody(shape), singer);
    auto model = makeModel();
    recordWithTruePitch(*model, take);
    // Each sung note becomes a note, the last frame of one the first of the
    // next, so that legato neighbours link.
    const double shifts[] = {4.0, -4.0, 7.0, -2.0};
    std::vector<float> starts;
    for (std::size_t k = 0; k < take.notes.size(); ++k) {
        float first = static_cast<float>(take.notes[k].start / kFrameLength);
        float last = k + 1 < take.notes.size()
            ? static_cast<float>(take.notes[k + 1].start / kFrameLength)
            : static_cast<float>(take.notes[k].end / kFrameLength);
        int n = addNote(*model, first, last);
        measureSourcePitch(*model, n);
        model->pitch[n] += static_cast<float>(shifts[k % std::size(shifts)]);
        starts.push_back(first);
    }
    Resynthesis resynthesis;
    const int end = static_cast<int>(take.samples.size());
    ResynthesisSettings settings;
    settings.keepFormants = true;
    std::vector<float> out;
    int carried = 0;
    for (int p = 0; p < end; ++p) {
        out.push_back(resynthesis.outputSampleAt(*model, p, settings));
        ASSERT_TRUE(std::isfinite(out.back())) << p;
        for (std::size_t k = 1; k < starts.size(); ++k)
            if (p == static_cast<int>(starts[k]) * kFrameLength
                && linkedPrevious(*model, static_cast<int>(k)) >= 0)
                carried += resynthesis.formants().voiceState(0).grainCount > 0
                    || resynthesis.formants().voiceState(1).grainCount > 0;
    }
    EXPECT_GT(carried, 0);
    EXPECT_LE(largestStep(out, 0, out.size()), largestStep(take.samples, 0, take.samples.size()));
}

TEST(FormantResynthesisTest, NonFiniteTakeSamplesNeverReachTheOutput)
{
    auto model = makeModel();
    setTrack(*model, 0, 40, 0.0f);
    recordTone(*model, 0, 40 * kFrameLength, 0.0f);
    model->recordBuffer[5000] = std::numeric_limits<float>::infinity();
    model->recordBuffer[9000] = std::numeric_limits<float>::quiet_NaN();
    model->recordBuffer[12000] = -std::numeric_limits<float>::max();
    int n = addNote(*model, 0.0f, 40.0f);
    model->pitch[n] = 7.0f;
    model->sourcePitch[n] = 0.0f;
    Resynthesis resynthesis;
    for (float s : playKept(*model, resynthesis, 40 * kFrameLength))
        ASSERT_TRUE(std::isfinite(s));
}

// Where the voice reaches a frame without a reliable pitch, its grains widen
// from the sung period to the unpitched width: the first wide grain must open
// from silence, not halfway up its window, or the seam clicks.
TEST(FormantResynthesisTest, WideningGrainsAtAnUnpitchedFrameOpenFromSilence)
{
    constexpr int kFrames = 40;
    constexpr int kSeamFrame = 20;
    constexpr double kStepAllowance = 2.0; // a shifted tone steps further
    for (float sung : {-8.0f, 12.0f}) { // a bass and a soprano
        auto model = makeModel();
        recordTone(*model, 0, kFrames * kFrameLength, sung);
        setTrack(*model, 0, kSeamFrame, sung);
        setTrack(*model, kSeamFrame, kFrames, kUnvoicedPitch, 0.0f);
        int n = addNote(*model, 0.0f, static_cast<float>(kFrames));
        model->sourcePitch[n] = sung;
        model->pitch[n] = sung + 3.0f;
        Resynthesis resynthesis;
        std::vector<float> out = playKept(*model, resynthesis, kFrames * kFrameLength);
        std::vector<float> take(
            model->recordBuffer.begin(), model->recordBuffer.begin() + kFrames * kFrameLength);
        const auto seam = static_cast<std::size_t>(kSeamFrame * kFrameLength);
        EXPECT_LE(largestStep(out, seam - kFrameLength, seam + kFrameLength),
            kStepAllowance * largestStep(take, 0, take.size()))
            << "sung at " << sung;
    }
}
