#include "model/pitch_detector.h"
#include "model/pitch_units.h"
#include "support/signals.h"
#include "support/take_recorder.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <utility>

namespace {

constexpr double kBinWidth = 44100.0 / 2048.0; // 21.533203125 Hz
constexpr float k220 = 220.0f; // pitch 9 exactly
constexpr int kToneBin = 10;
constexpr float kToneMagnitude = 600.0f; // voicing 2.0 when accepted

struct PitchDetectorTest : ::testing::Test {
    std::unique_ptr<TakeModel> model = std::make_unique<TakeModel>();
    std::unique_ptr<PitchDetector> detector = std::make_unique<PitchDetector>();
    AnalysisSettings settings;

    // One frame through the filter with a chosen estimate, the way the record
    // path numbers frames.
    void inject(int frame, int bin, float frequency, float magnitude = kToneMagnitude)
    {
        model->analysisFrame = frame;
        detector->filterEstimate(*model, settings, bin, frequency, magnitude);
        model->lastAnalysedFrame = frame;
    }
    void injectUnvoiced(int frame) { inject(frame, 0, 0.0f, 0.0f); }

    float pitch(int frame) const { return model->framePitch[0][frame]; }
    float voicing(int frame) const { return model->frameVoicing[0][frame]; }

    void record(const std::vector<float>& signal)
    {
        recordSignal(*model, *detector, settings, signal);
    }
};

} // namespace

// --- The stability filter with injected estimates -------------------------

TEST_F(PitchDetectorTest, AfterAnEmptyingTheFourthVoicedFrameIsAcceptedAndBackFillsThree)
{
    injectUnvoiced(10);
    model->framePitch[0][12] = 5.5f; // a rejected frame keeps what it held
    for (int f = 11; f <= 13; ++f) {
        inject(f, kToneBin, k220);
        EXPECT_EQ(voicing(f), 0.0f) << f;
    }
    EXPECT_EQ(pitch(12), 5.5f);
    inject(14, kToneBin, k220);
    EXPECT_EQ(pitch(14), 9.0f);
    EXPECT_FLOAT_EQ(voicing(14), 2.0f);
    for (int f = 11; f <= 13; ++f) {
        EXPECT_EQ(pitch(f), 9.0f) << f;
        EXPECT_EQ(voicing(f), 0.1f) << f;
    }
    // Exactly three: the unvoiced frame before them stays unvoiced.
    EXPECT_EQ(pitch(10), kUnvoicedPitch);
    EXPECT_EQ(voicing(10), 0.0f);
}

TEST_F(PitchDetectorTest, BackFillingLeavesFramesThatAlreadyHaveAVoicing)
{
    injectUnvoiced(0);
    for (int f = 1; f <= 4; ++f)
        inject(f, kToneBin, k220);
    // A slightly higher, accepted tone: each acceptance looks back three
    // frames, which are all voiced by now.
    const float higher = static_cast<float>(k220 * std::exp2(0.5 / 12.0));
    for (int f = 5; f <= 8; ++f) {
        inject(f, kToneBin, higher);
        EXPECT_GT(voicing(f), 1.0f) << f;
    }
    EXPECT_EQ(pitch(4), 9.0f);
    EXPECT_EQ(voicing(4), 2.0f);
    EXPECT_EQ(pitch(3), 9.0f);
    EXPECT_EQ(voicing(3), 0.1f);
    EXPECT_NEAR(pitch(8), 9.5f, 1e-5);
}

TEST_F(PitchDetectorTest, AJumpAboveTheLimitRejectsThatFrameAndTheNextTwo)
{
    injectUnvoiced(0);
    for (int f = 1; f <= 6; ++f)
        inject(f, kToneBin, k220);
    ASSERT_GT(voicing(6), 0.1f);

    const float stepped = static_cast<float>(k220 * std::exp2(1.71 / 12.0));
    for (int f = 7; f <= 9; ++f) {
        inject(f, kToneBin, stepped);
        EXPECT_EQ(voicing(f), 0.0f) << f;
        EXPECT_EQ(pitch(f), 0.0f) << f; // never written
    }
    inject(10, kToneBin, stepped);
    EXPECT_NEAR(pitch(10), 10.71f, 1e-4);
    EXPECT_GT(voicing(10), 1.0f);
    for (int f = 7; f <= 9; ++f) {
        EXPECT_EQ(pitch(f), pitch(10)) << f;
        EXPECT_EQ(voicing(f), 0.1f) << f;
    }
    EXPECT_EQ(voicing(6), 2.0f);
}

TEST_F(PitchDetectorTest, AStepWithinTheLimitIsAcceptedAtOnce)
{
    injectUnvoiced(0);
    for (int f = 1; f <= 6; ++f)
        inject(f, kToneBin, k220);
    inject(7, kToneBin, static_cast<float>(k220 * std::exp2(1.69 / 12.0)));
    EXPECT_NEAR(pitch(7), 10.69f, 1e-4);
    EXPECT_GT(voicing(7), 1.0f);
}

TEST_F(PitchDetectorTest, AnAveragingCountBelowFourRejectsEveryVoicedFrameAfterAnEmptying)
{
    for (int count = 1; count <= 4; ++count) {
        auto detector = std::make_unique<PitchDetector>();
        auto model = std::make_unique<TakeModel>();
        AnalysisSettings settings {count, 50.0f, 44100.0f};
        for (int f = 0; f < 30; ++f) {
            model->analysisFrame = f;
            if (f == 0)
                detector->filterEstimate(*model, settings, 0, 0.0f, 0.0f);
            else
                detector->filterEstimate(*model, settings, kToneBin, k220, kToneMagnitude);
            model->lastAnalysedFrame = f;
        }
        int usable = 0;
        for (int f = 0; f < 30; ++f)
            usable += model->frameVoicing[0][f] > 0.0f;
        // With four slots: frames 4 to 29 accepted, 1 to 3 back-filled.
        EXPECT_EQ(usable, count < 4 ? 0 : 29) << count;
    }
}

TEST_F(PitchDetectorTest, APitchFarFromTheHistoryMeanIsRejectedButBecomesThePreviousPitch)
{
    settings.averagingCount = 4;
    settings.toneThreshold = 0.5f;
    injectUnvoiced(0);
    for (int f = 1; f <= 4; ++f)
        inject(f, kToneBin, k220);
    ASSERT_GT(voicing(4), 0.0f);
    // 1.5 semitones up: no emptying, but three of the four slots still say 9.
    const float up = static_cast<float>(k220 * std::exp2(1.5 / 12.0));
    inject(5, kToneBin, up);
    EXPECT_EQ(voicing(5), 0.0f);
    EXPECT_NEAR(detector->previousPitch, 10.5, 1e-5);
    // Held there, the history fills with 10.5: the mean of 10.5, 10.5, 9, 9
    // is still 0.75 away, that of 10.5, 10.5, 10.5, 9 only 0.375.
    int firstAccepted = -1;
    for (int f = 6; f <= 10 && firstAccepted < 0; ++f) {
        inject(f, kToneBin, up);
        if (voicing(f) > 0.5f)
            firstAccepted = f;
    }
    EXPECT_EQ(firstAccepted, 7);
}

TEST_F(PitchDetectorTest, UnvoicedFramesEmptyTheHistoryAndKeepThePreviousPitch)
{
    injectUnvoiced(0);
    for (int f = 1; f <= 5; ++f)
        inject(f, kToneBin, k220);
    injectUnvoiced(6);
    EXPECT_EQ(detector->previousPitch, 9.0);
    for (int i = 0; i < settings.averagingCount; ++i)
        EXPECT_EQ(detector->pitchHistory[i], -1.0f) << i;
    for (int f = 7; f <= 9; ++f) {
        inject(f, kToneBin, k220);
        EXPECT_EQ(voicing(f), 0.0f) << f;
    }
    inject(10, kToneBin, k220);
    EXPECT_GT(voicing(10), 1.0f);
}

TEST_F(PitchDetectorTest, VoicedOnlyStrictlyBetween50And800HzAboveBinTwo)
{
    struct Case {
        int bin;
        float frequency;
        bool voiced;
    };
    const Case cases[] = {{kToneBin, 50.0f, false}, {kToneBin, 50.01f, true},
        {kToneBin, 800.0f, false}, {kToneBin, 799.9f, true}, {2, 220.0f, false}, {3, 220.0f, true},
        {0, 220.0f, false}, {kToneBin, std::numeric_limits<float>::quiet_NaN(), false}};
    int frame = 100;
    for (const Case& c : cases) {
        model->framePitch[0][frame] = 7.0f;
        inject(frame, c.bin, c.frequency);
        // Unvoiced frames read 200; voiced ones, accepted or not, never do.
        EXPECT_EQ(pitch(frame) == kUnvoicedPitch, !c.voiced) << c.bin << " " << c.frequency;
        ++frame;
    }
}

TEST_F(PitchDetectorTest, TheVeryFirstVoicedFrameNearPitchZeroIsAcceptedAtOnce)
{
    // The history starts as zeros, which are valid values, and the previous
    // pitch as 0.
    inject(5, kToneBin, static_cast<float>(frequencyOfPitch(1.0)));
    EXPECT_NEAR(pitch(5), 1.0f, 1e-5);
    EXPECT_FLOAT_EQ(voicing(5), 2.0f);

    auto fresh = std::make_unique<PitchDetector>();
    detector.swap(fresh);
    inject(6, kToneBin, k220); // 9 semitones from 0: a jump
    EXPECT_EQ(voicing(6), 0.0f);
}

TEST_F(PitchDetectorTest, FramesBeforeTheTakeMoveTheStateButStoreNothing)
{
    for (int f = 0; f < 4; ++f) {
        model->framePitch[0][f] = 7.0f;
        model->frameVoicing[0][f] = 0.0f;
    }
    injectUnvoiced(-3);
    inject(-2, kToneBin, k220);
    inject(-1, kToneBin, k220);
    EXPECT_EQ(detector->previousPitch, 9.0);
    inject(0, kToneBin, k220);
    EXPECT_EQ(voicing(0), 0.0f);
    // Frame 1 is the fourth voiced frame: accepted, but back-filling needs
    // frame 3 or later, so frame 0 stays as it was.
    inject(1, kToneBin, k220);
    EXPECT_EQ(pitch(1), 9.0f);
    EXPECT_GT(voicing(1), 1.0f);
    EXPECT_EQ(pitch(0), 7.0f);
    EXPECT_EQ(voicing(0), 0.0f);
    EXPECT_EQ(pitch(2), 7.0f);
    // A frame past the rows' capacity is analysed without a write.
    inject(kFrameCapacity, kToneBin, k220);
    inject(kFrameCapacity + 2, kToneBin, k220);
    EXPECT_EQ(model->frameVoicing[0][kFrameCapacity - 1], 0.0f);
}

TEST_F(PitchDetectorTest, AnAveragingCountAbove100UsesTheHundredSlots)
{
    settings.averagingCount = 150;
    injectUnvoiced(0);
    for (int f = 1; f <= 130; ++f)
        inject(f, kToneBin, k220);
    // The slot of frame 129 (the previous one when 130 was analysed) is 29.
    EXPECT_EQ(detector->pitchHistory[29], 9.0f);
    EXPECT_GT(voicing(130), 1.0f);
    // Zero or a negative count behaves as one slot.
    settings.averagingCount = 0;
    inject(131, kToneBin, k220);
    EXPECT_EQ(voicing(131), 0.0f);
    settings.averagingCount = -5;
    inject(132, kToneBin, k220);
    EXPECT_EQ(detector->pitchHistory[0], 9.0f);
}

// --- The pitch bin -----------------------------------------------------------

TEST_F(PitchDetectorTest, TheStrongestBinBelow5000HzWinsAndTiesKeepTheLowerBin)
{
    for (int k = 0; k < kBinCount; ++k)
        detector->binFrequency[k] = static_cast<float>(k * kBinWidth);
    EXPECT_EQ(detector->findPitchBin(44100.0f), 0); // no positive magnitude

    detector->binMagnitude[300] = 1000.0f;
    detector->binFrequency[300] = 5000.0f; // at the limit: never wins
    detector->binMagnitude[40] = 10.0f;
    detector->binMagnitude[41] = 10.0f;
    detector->binMagnitude[1] = 5000.0f; // below the searched range
    detector->binMagnitude[1000] = 5000.0f; // above it
    EXPECT_EQ(detector->findPitchBin(44100.0f), 40);

    detector->binFrequency[300] = 4999.9f;
    EXPECT_EQ(detector->findPitchBin(44100.0f), 300);

    detector->binFrequency[300] = std::numeric_limits<float>::quiet_NaN();
    detector->binMagnitude[45] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(detector->findPitchBin(44100.0f), 40);
}

TEST_F(PitchDetectorTest, AFundamentalStrongerThanAFifthOfItsSecondHarmonicWins)
{
    detector->binFrequency[10] = 215.0f;
    detector->binFrequency[20] = 430.0f;
    detector->binMagnitude[20] = 100.0f;
    detector->binMagnitude[10] = 20.5f;
    EXPECT_EQ(detector->findPitchBin(44100.0f), 10);
    detector->binMagnitude[10] = 20.0f; // exactly a fifth: not enough
    EXPECT_EQ(detector->findPitchBin(44100.0f), 20);
    detector->binMagnitude[10] = 90.0f;
    detector->binFrequency[10] = 220.0f; // 5 Hz from half of 430: too far
    EXPECT_EQ(detector->findPitchBin(44100.0f), 20);
    detector->binFrequency[10] = 219.9f;
    EXPECT_EQ(detector->findPitchBin(44100.0f), 10);
}

TEST_F(PitchDetectorTest, TheThirdSubharmonicIsCheckedAfterTheSecond)
{
    detector->binFrequency[10] = 215.0f;
    detector->binFrequency[30] = 645.0f;
    detector->binMagnitude[30] = 100.0f;
    detector->binMagnitude[10] = 30.0f;
    EXPECT_EQ(detector->findPitchBin(44100.0f), 10);
    // 60 -> 30 -> 10: the second pass starts from the first one's result.
    detector->binFrequency[60] = 1290.0f;
    detector->binMagnitude[60] = 120.0f;
    detector->binFrequency[30] = 645.0f;
    EXPECT_EQ(detector->findPitchBin(44100.0f), 10);
}

// A voice at bin 10 (215 Hz) whose third harmonic is its strongest partial,
// and a bin at half its pitch that holds a twentieth of that peak or more:
// what decides between the two is whether the odd harmonics 3, 5 and 7 of
// the half pitch (bins 15, 25, 35) sound beside its even ones (bins 10 to 40,
// 250 in all), which they do only when the half pitch is the voice's own
// fundamental. Breath noise there, however near the weak fundamental's
// floors, leaves the pitch where the voice is.
struct OddHarmonicsCase {
    const char* name;
    float third, fifth, seventh; // magnitudes at bins 15, 25 and 35
    int pitchBin;
};

class PitchDetectorOddHarmonicsTest : public PitchDetectorTest,
                                      public ::testing::WithParamInterface<OddHarmonicsCase> { };

TEST_P(PitchDetectorOddHarmonicsTest, AWeakHalfPitchNeedsOddHarmonicsBesideTheEvenOnes)
{
    const OddHarmonicsCase& c = GetParam();
    for (int k = 0; k < kBinCount; ++k)
        detector->binFrequency[k] = static_cast<float>(k * kBinWidth);
    detector->binMagnitude[5] = 6.0f; // over a twentieth of the peak, under a fifth
    detector->binMagnitude[10] = 60.0f;
    detector->binMagnitude[20] = 50.0f;
    detector->binMagnitude[30] = 100.0f;
    detector->binMagnitude[40] = 40.0f;
    detector->binMagnitude[15] = c.third;
    detector->binMagnitude[25] = c.fifth;
    detector->binMagnitude[35] = c.seventh;
    EXPECT_EQ(detector->findPitchBin(44100.0f), c.pitchBin);
}

INSTANTIATE_TEST_SUITE_P(Spectra, PitchDetectorOddHarmonicsTest,
    ::testing::Values(
        // Noise a little over a thirtieth of the peak at 1.5 times the pitch.
        OddHarmonicsCase {"BreathAtTheOddPlaces", 4.0f, 1.0f, 1.0f, 10},
        OddHarmonicsCase {"NothingAtTheOddPlaces", 4.0f, 0.0f, 0.0f, 10},
        OddHarmonicsCase {"AVoiceAtHalfThePitch", 30.0f, 45.0f, 35.0f, 5},
        OddHarmonicsCase {"JustOverAFifthOfTheEvenOnes", 24.0f, 13.0f, 13.5f, 5},
        OddHarmonicsCase {"JustUnderAFifthOfTheEvenOnes", 24.0f, 12.5f, 13.0f, 10},
        // The third harmonic under a thirtieth fails before the series counts.
        OddHarmonicsCase {"AThirdHarmonicUnderAThirtieth", 3.0f, 45.0f, 35.0f, 10}),
    [](const ::testing::TestParamInfo<OddHarmonicsCase>& info) { return info.param.name; });

// The same half pitch with its odd harmonics sounding, but its fundamental
// or its third harmonic only a bin on the slope of a stronger neighbour: the
// skirts of the voice's partials and noise, where a vowel changes inside the
// window, not partials of a voice an octave lower.
TEST_F(PitchDetectorTest, AWeakHalfPitchNeedsItsOwnPeaks)
{
    for (int k = 0; k < kBinCount; ++k)
        detector->binFrequency[k] = static_cast<float>(k * kBinWidth);
    const std::pair<int, float> voice[] = {{5, 6.0f}, {10, 60.0f}, {15, 18.0f}, {20, 50.0f},
        {25, 16.0f}, {30, 100.0f}, {35, 16.0f}, {40, 40.0f}};
    for (auto [bin, magnitude] : voice)
        detector->binMagnitude[bin] = magnitude;
    ASSERT_EQ(detector->findPitchBin(44100.0f), 5);
    detector->binMagnitude[4] = 7.0f;
    EXPECT_EQ(detector->findPitchBin(44100.0f), 10) << "fundamental on a slope";
    detector->binMagnitude[4] = 0.0f;
    detector->binMagnitude[16] = 19.0f;
    EXPECT_EQ(detector->findPitchBin(44100.0f), 10) << "third harmonic on a slope";
}

// A rough voice at bin 15 (323 Hz) with noise peaks between its partials: at
// a third of its pitch (bin 5) the harmonics 2, 4, 5, 7 and 8 hold only that
// noise, though its odd harmonics pass their share through the voice's own
// fundamental at harmonic 3.
TEST_F(PitchDetectorTest, AWeakThirdOfThePitchNeedsPartialsBetweenTheVoicesOwn)
{
    for (int k = 0; k < kBinCount; ++k)
        detector->binFrequency[k] = static_cast<float>(k * kBinWidth);
    const std::pair<int, float> voice[] = {{15, 60.0f}, {30, 100.0f}, {45, 50.0f}, {60, 40.0f}};
    for (auto [bin, magnitude] : voice)
        detector->binMagnitude[bin] = magnitude;
    for (int bin : {5, 10, 20, 25, 35, 40})
        detector->binMagnitude[bin] = 6.0f;
    EXPECT_EQ(detector->findPitchBin(44100.0f), 15);
    // The same places holding partials of a voice an octave and a fifth lower.
    for (int bin : {10, 20, 25, 35, 40})
        detector->binMagnitude[bin] = 12.0f;
    EXPECT_EQ(detector->findPitchBin(44100.0f), 5);
}

TEST_F(PitchDetectorTest, SubharmonicBinsFollowTheHostRate)
{
    // At 48 kHz bins are 23.4375 Hz wide: half of bin 48's 1125 Hz is bin 24.
    // At 44.1 kHz the same half points at bin 26, two bins away from where
    // the partial lies: no fundamental is found there.
    detector->binFrequency[48] = 1125.0f;
    detector->binMagnitude[48] = 100.0f;
    detector->binFrequency[24] = 562.5f;
    detector->binMagnitude[24] = 50.0f;
    detector->binFrequency[26] = 2000.0f;
    EXPECT_EQ(detector->findPitchBin(48000.0f), 24);
    EXPECT_EQ(detector->findPitchBin(44100.0f), 48);
}

// --- Recorded audio ----------------------------------------------------------

TEST_F(PitchDetectorTest, SilenceIsUnvoiced)
{
    record(makeSilence(40 * kFrameLength));
    for (float m : detector->binMagnitude)
        ASSERT_EQ(m, 0.0f);
    EXPECT_EQ(detector->findPitchBin(44100.0f), 0);
    for (int f = 0; f <= model->lastAnalysedFrame; ++f) {
        ASSERT_EQ(pitch(f), 200.0f) << f;
        ASSERT_EQ(voicing(f), 0.0f) << f;
    }
    EXPECT_GE(model->lastAnalysedFrame, 35);
}

TEST_F(PitchDetectorTest, AFullScaleSineCentredOnABinHasVoicingAboutThreePointFour)
{
    for (float rate : {44100.0f, 48000.0f}) {
        auto model = std::make_unique<TakeModel>();
        auto detector = std::make_unique<PitchDetector>();
        AnalysisSettings settings {20, 50.0f, rate};
        const double bin = 10.0 * rate / 2048.0;
        recordSignal(*model, *detector, settings, makeSine(bin, 30 * kFrameLength, rate));
        // The window's gain of N/4 on each half of the spectrum, doubled.
        EXPECT_NEAR(detector->binMagnitude[10], 1024.0f, 1.0f) << rate;
        EXPECT_NEAR(detector->binFrequency[10], bin, 1e-3) << rate;
        EXPECT_NEAR(model->frameVoicing[0][25], 1024.0f / 300.0f, 0.01f) << rate;
        EXPECT_NEAR(model->framePitch[0][25], pitchOfFrequency(bin), 1e-4) << rate;
    }
}

TEST_F(PitchDetectorTest, PhaseAdvanceFindsAnOffBinFrequency)
{
    record(makeSine(233.3, 20 * kFrameLength));
    int peak = 0;
    for (int k = 1; k < kBinCount; ++k)
        if (detector->binMagnitude[k] > detector->binMagnitude[peak])
            peak = k;
    EXPECT_EQ(peak, 11); // 233.3 / 21.53 = 10.83
    EXPECT_NEAR(detector->binFrequency[peak], 233.3f, 0.02f);
    EXPECT_NEAR(detector->binFrequency[peak - 1], 233.3f, 0.05f);
}

namespace {

// The first accepted frame (voicing above the back-fill mark) at or after from.
int firstAcceptedFrame(const TakeModel& model, int from, int to)
{
    for (int f = from; f < to; ++f)
        if (model.frameVoicing[0][f] > 0.1f)
            return f;
    return -1;
}

} // namespace

TEST_F(PitchDetectorTest, AToneAfterSilenceIsAcceptedAtPitchNineAndBackFillsThreeFrames)
{
    constexpr int kOnsetFrame = 20;
    record(concatenate(makeSilence(kAnalysisOffset + kOnsetFrame * kFrameLength),
        makeSine(220.0, 40 * kFrameLength)));
    // Frame 20's window is the first that reaches into the tone.
    EXPECT_EQ(pitch(kOnsetFrame - 1), 200.0f);
    const int accepted = firstAcceptedFrame(*model, kOnsetFrame, kOnsetFrame + 40);
    ASSERT_GE(accepted, kOnsetFrame + 3);
    EXPECT_LE(accepted, kOnsetFrame + 8);
    EXPECT_NEAR(pitch(accepted), 9.0f, 0.05f);
    for (int g = accepted - 3; g < accepted; ++g) {
        EXPECT_EQ(voicing(g), 0.1f) << g;
        EXPECT_EQ(pitch(g), pitch(accepted)) << g;
    }
    EXPECT_EQ(voicing(accepted - 4), 0.0f);
    for (int f = accepted; f < kOnsetFrame + 38; ++f) {
        ASSERT_NEAR(pitch(f), 9.0f, 0.01f) << f;
        ASSERT_GT(voicing(f), 0.1f) << f;
    }
}

TEST_F(PitchDetectorTest, AStepBetweenTwoTonesSettlesOnTheNewPitch)
{
    constexpr int kStepFrame = 30;
    record(makeToneSequence({{220.0, kAnalysisOffset + kStepFrame * kFrameLength},
                                {frequencyOfPitch(12.0), 40 * kFrameLength}},
        {8, 0.4}));
    EXPECT_NEAR(pitch(kStepFrame - 1), 9.0f, 0.01f);
    EXPECT_GT(voicing(kStepFrame - 1), 0.1f);
    // The windows across the step see both tones and move in smaller steps,
    // which the filter may take. Frame 34's window is the first to hold only
    // the new tone; its phase advance is measured against frame 33's, so the
    // estimate is clean from frame 35 on.
    for (int f = kStepFrame; f < kStepFrame + 5; ++f) {
        if (voicing(f) > 0.0f) {
            EXPECT_TRUE(pitch(f) > 8.9f && pitch(f) < 12.1f) << f << ": " << pitch(f);
        }
    }
    for (int f = kStepFrame + 5; f < kStepFrame + 38; ++f) {
        ASSERT_NEAR(pitch(f), 12.0f, 0.01f) << f;
        ASSERT_GT(voicing(f), 0.0f) << f;
    }
}

TEST_F(PitchDetectorTest, AWeakFundamentalUnderAStrongSecondHarmonicIsFoundAtTheFundamental)
{
    const double fundamental = 10 * kBinWidth; // both partials centred on bins
    auto tone = [&](double fundamentalAmplitude) {
        std::vector<float> a
            = makeSine(fundamental, 40 * kFrameLength, 44100.0, fundamentalAmplitude);
        std::vector<float> b = makeSine(2 * fundamental, 40 * kFrameLength, 44100.0, 0.8, 1.0);
        for (size_t i = 0; i < a.size(); ++i)
            a[i] += b[i];
        return a;
    };
    record(tone(0.3)); // 0.3 of 0.8: weaker, but more than a fifth
    EXPECT_NEAR(pitch(30), pitchOfFrequency(fundamental), 0.01);
    EXPECT_GT(voicing(30), 0.1f);

    auto model2 = std::make_unique<TakeModel>();
    auto detector2 = std::make_unique<PitchDetector>();
    recordSignal(*model2, *detector2, settings, tone(0.12)); // less than a fifth
    EXPECT_NEAR(model2->framePitch[0][30], pitchOfFrequency(2 * fundamental), 0.01);
}

TEST_F(PitchDetectorTest, TonesOutsideTheVoiceRangeAreUnvoiced)
{
    for (double hz : {45.0, 820.0, 1200.0}) {
        auto model = std::make_unique<TakeModel>();
        auto detector = std::make_unique<PitchDetector>();
        recordSignal(*model, *detector, settings, makeSine(hz, 30 * kFrameLength));
        for (int f = 3; f < 28; ++f)
            ASSERT_EQ(model->framePitch[0][f], 200.0f) << hz << " Hz, frame " << f;
    }
    record(makeSine(780.0, 30 * kFrameLength)); // inside: voiced
    EXPECT_NEAR(pitch(25), pitchOfFrequency(780.0), 0.01);
}

TEST_F(PitchDetectorTest, AStrongPartialAbove5000HzNeverWins)
{
    std::vector<float> high = makeSine(6000.0, 40 * kFrameLength, 44100.0, 0.9);
    std::vector<float> voice = makeSine(300.0, 40 * kFrameLength, 44100.0, 0.05);
    for (size_t i = 0; i < high.size(); ++i)
        high[i] += voice[i];
    record(high);
    EXPECT_NEAR(pitch(30), pitchOfFrequency(300.0), 0.01);
    EXPECT_GT(voicing(30), 0.1f);
}

TEST_F(PitchDetectorTest, TheHostRateConvertsBinsToHertz)
{
    settings.sampleRate = 48000.0f;
    record(makeHarmonicTone(220.0, 40 * kFrameLength, 48000.0));
    // At a fixed 44.1 kHz the same samples would read 1.47 semitones flat.
    EXPECT_NEAR(pitch(30), 9.0f, 0.01f);
}

TEST_F(PitchDetectorTest, NonFiniteSamplesInTheTakeGiveUnvoicedFramesAndThenRecover)
{
    record(makeSine(220.0, 20 * kFrameLength));
    for (int i = 0; i < 3; ++i)
        model->recordBuffer[static_cast<size_t>(model->takePosition - 100 + i)]
            = std::numeric_limits<float>::infinity();
    record(makeSine(220.0, 20 * kFrameLength));
    const int last = model->lastAnalysedFrame;
    EXPECT_NEAR(pitch(last), 9.0f, 0.01f);
    EXPECT_GT(voicing(last), 0.1f);
}

TEST_F(PitchDetectorTest, TheWindowWrapsBelowTheStartOfTheTakeToItsEnd)
{
    // The same 2,048 samples, once split across the end and the start of the
    // take, once in one piece: the same spectrum.
    const std::vector<float> tone = makeHarmonicTone(187.0, kFftSize);
    auto contiguous = std::make_unique<TakeModel>();
    for (int i = 0; i < kFftSize; ++i) {
        contiguous->recordBuffer[static_cast<size_t>(5000 + i)] = tone[static_cast<size_t>(i)];
        // Window ending at position 100: samples 0..100 at the start, the
        // other 1,947 at the end of the take.
        int wrapped = (100 - (kFftSize - 1) + i + kTakeLength) % kTakeLength;
        model->recordBuffer[static_cast<size_t>(wrapped)] = tone[static_cast<size_t>(i)];
    }
    contiguous->takePosition = 5000 + kFftSize - 1;
    model->takePosition = 100;
    auto other = std::make_unique<PitchDetector>();
    other->analyseSpectrum(*contiguous, 44100.0f);
    detector->analyseSpectrum(*model, 44100.0f);
    EXPECT_EQ(detector->binMagnitude, other->binMagnitude);
    EXPECT_EQ(detector->lastPhase, other->lastPhase);
    EXPECT_GT(detector->binMagnitude[9], 100.0f); // 187 Hz is bin 8.7
}
