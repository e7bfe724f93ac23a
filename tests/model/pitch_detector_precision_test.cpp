// The single-precision spectrum (packed real transform, four-lane atan2)
// against the same analysis done in double precision with std::atan2, frame
// by frame over sung voices: magnitudes and frequency estimates of every bin
// that carries the voice, and the pitch and voicing rows the filter writes.
#include "engine/record_path.h"
#include "model/pitch_detector.h"
#include "support/signals.h"

#include <cmath>
#include <complex>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kHop = kFftSize / kOversampling;

// Bins more than 60 dB below the frame's strongest are the noise of the
// transform's rounding, in both precisions; their phases mean nothing.
constexpr double kCarryingShare = 1e-3;
// The bounds the single-precision analysis keeps. The rounding of the
// transform is a share of the frame's level, so a bin's phase, and its
// frequency estimate, err in proportion to how far below the strongest bin it
// lies: at most kFrequencyErrorAtPeak hertz times peak / magnitude (3e-3 Hz,
// 0.05 cents at 100 Hz, 20 dB down, where a bin can still win as the pitch),
// plus the float rounding of the estimate itself. Magnitudes err by a share of
// the strongest bin; the rows by semitones and a share of voicing.
constexpr double kFrequencyErrorAtPeak = 3e-4;
constexpr double kFrequencyShare = 1.2e-7; // a float's rounding of the estimate
constexpr double kMaxMagnitudeShare = 2e-6;
constexpr double kMaxPitchError = 1e-4;
constexpr double kMaxVoicingShare = 1e-5;

// The analysis of one frame in double precision: Hann window, complex FFT
// with the imaginary input zero, std::atan2, and the phase advance beyond k
// quarter turns wrapped into [-pi, pi].
class ReferenceSpectrum {
public:
    // The window ending at take position `end`.
    void analyse(const TakeModel& model, int end, double sampleRate)
    {
        std::vector<std::complex<double>> x(kFftSize);
        long position = (end - (kFftSize - 1L) + kTakeLength) % kTakeLength;
        for (int i = 0; i < kFftSize; ++i) {
            const double window = 0.5 - 0.5 * std::cos(2.0 * kPi * i / kFftSize);
            x[static_cast<std::size_t>(i)]
                = model.recordBuffer[static_cast<std::size_t>(position)] * window;
            position = (position + 1) % kTakeLength;
        }
        transform(x);
        const double binWidth = sampleRate / kFftSize;
        for (int k = 0; k < kBinCount; ++k) {
            const auto K = static_cast<std::size_t>(k);
            const double phase = std::arg(x[K]);
            double d = phase - lastPhase[K] - k * 2.0 * kPi * kHop / kFftSize;
            lastPhase[K] = phase;
            d -= 2.0 * kPi * std::round(d / (2.0 * kPi));
            frequency[K] = k * binWidth + kOversampling * d / (2.0 * kPi) * binWidth;
            magnitude[K] = 2.0 * std::abs(x[K]);
        }
    }

    std::vector<double> magnitude = std::vector<double>(kBinCount);
    std::vector<double> frequency = std::vector<double>(kBinCount);

private:
    static void transform(std::vector<std::complex<double>>& x)
    {
        for (int i = 1, j = 0; i < kFftSize; ++i) {
            int bit = kFftSize >> 1;
            for (; j & bit; bit >>= 1)
                j ^= bit;
            j ^= bit;
            if (i < j)
                std::swap(x[static_cast<std::size_t>(i)], x[static_cast<std::size_t>(j)]);
        }
        for (int length = 2; length <= kFftSize; length *= 2)
            for (int start = 0; start < kFftSize; start += length)
                for (int j = 0; j < length / 2; ++j) {
                    const auto a = static_cast<std::size_t>(start + j);
                    const auto b = a + static_cast<std::size_t>(length / 2);
                    const std::complex<double> t = x[b] * std::polar(1.0, -2.0 * kPi * j / length);
                    x[b] = x[a] - t;
                    x[a] += t;
                }
    }

    std::vector<double> lastPhase = std::vector<double>(kBinCount);
};

// A sung line: a glottal source whose harmonics are shaped by the formants of
// the vowel sung, vibrato, glides between notes, breath noise throughout and
// a burst of noise for the consonant before each note.
struct Vowel {
    double f1, f2, f3; // formant centres, Hz
};
constexpr Vowel kA {730.0, 1090.0, 2440.0};
constexpr Vowel kI {270.0, 2290.0, 3010.0};
constexpr Vowel kU {300.0, 870.0, 2240.0};

struct SungNote {
    double frequency; // Hz
    double seconds;
    Vowel vowel;
};

struct Voice {
    const char* name;
    std::vector<SungNote> notes;
    double vibratoDepth; // semitones
    double breath; // noise amplitude
    double sampleRate;
};

double formantGain(const Vowel& v, double hertz)
{
    auto peak = [hertz](double centre, double width) {
        const double x = (hertz - centre) / width;
        return 1.0 / (1.0 + x * x);
    };
    return 0.1 + peak(v.f1, 90.0) + 0.6 * peak(v.f2, 110.0) + 0.3 * peak(v.f3, 160.0);
}

std::vector<float> sing(const Voice& voice)
{
    constexpr double kGlideSeconds = 0.06;
    constexpr double kConsonantSeconds = 0.04;
    constexpr double kVibratoHz = 5.3;
    std::mt19937 random(11);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::vector<float> out;
    double phase = 0.0;
    double previous = voice.notes.front().frequency;
    const double rate = voice.sampleRate;
    for (const SungNote& note : voice.notes) {
        const int consonant = static_cast<int>(kConsonantSeconds * rate);
        for (int n = 0; n < consonant; ++n)
            out.push_back(static_cast<float>(0.2 * noise(random)));
        const int length = static_cast<int>(note.seconds * rate);
        for (int n = 0; n < length; ++n) {
            const double t = n / rate;
            const double glide = std::min(1.0, t / kGlideSeconds);
            const double base = previous * std::pow(note.frequency / previous, glide);
            const double f = base
                * std::exp2(voice.vibratoDepth * std::sin(2.0 * kPi * kVibratoHz * t) / 12.0);
            double sum = 0.0;
            for (int h = 1; h * f < rate / 2.0; ++h)
                sum += formantGain(note.vowel, h * f) / h * std::sin(2.0 * kPi * h * phase);
            out.push_back(static_cast<float>(0.3 * sum + voice.breath * noise(random)));
            phase = std::fmod(phase + f / rate, 1.0);
        }
        previous = note.frequency;
    }
    return out;
}

const Voice kVoices[] = {
    {"bass, slow vibrato", {{98.0, 0.6, kA}, {110.0, 0.5, kU}, {87.3, 0.7, kA}}, 0.3, 0.002,
        44100.0},
    {"tenor, short notes",
        {{196.0, 0.15, kA}, {220.0, 0.12, kI}, {246.9, 0.1, kU}, {261.6, 0.4, kA}}, 0.2, 0.005,
        44100.0},
    {"alto, wide glides", {{293.7, 0.5, kI}, {440.0, 0.5, kA}, {329.6, 0.5, kU}}, 0.5, 0.01,
        44100.0},
    {"soprano at 48 kHz", {{659.3, 0.5, kA}, {740.0, 0.4, kI}, {587.3, 0.5, kA}}, 0.4, 0.003,
        48000.0},
};

class PitchDetectorPrecisionTest : public ::testing::TestWithParam<Voice> { };

} // namespace

TEST_P(PitchDetectorPrecisionTest, MatchesTheDoublePrecisionAnalysisFrameByFrame)
{
    const Voice& voice = GetParam();
    const std::vector<float> signal = sing(voice);
    const AnalysisSettings settings {20, 50.0f, static_cast<float>(voice.sampleRate)};
    auto model = std::make_unique<TakeModel>();
    auto detector = std::make_unique<PitchDetector>();
    // The reference's rows: its estimates through the same pitch choice and filter.
    auto referenceModel = std::make_unique<TakeModel>();
    auto referenceFilter = std::make_unique<PitchDetector>();
    ReferenceSpectrum reference;

    int compared = 0;
    int voicedFrames = 0;
    for (float sample : signal) {
        const int before = model->lastAnalysedFrame;
        recordSample(*model, *detector, settings, sample);
        if (model->lastAnalysedFrame == before)
            continue;
        // The frame was analysed for the sample just recorded.
        reference.analyse(*model, model->takePosition - 1, voice.sampleRate);
        double peak = 0.0;
        for (double m : reference.magnitude)
            peak = std::max(peak, m);
        for (int k = 0; k < kBinCount; ++k) {
            const auto K = static_cast<std::size_t>(k);
            ASSERT_NEAR(
                detector->binMagnitude[K], reference.magnitude[K], kMaxMagnitudeShare * peak + 1e-6)
                << voice.name << ", frame " << model->analysisFrame << ", bin " << k;
            // A frame right after silence has no earlier phase to compare.
            if (reference.magnitude[K] >= kCarryingShare * peak && model->analysisFrame > 0) {
                const double bound = kFrequencyShare * std::fabs(reference.frequency[K])
                    + kFrequencyErrorAtPeak * peak / reference.magnitude[K];
                ASSERT_NEAR(detector->binFrequency[K], reference.frequency[K], bound)
                    << voice.name << ", frame " << model->analysisFrame << ", bin " << k;
                ++compared;
            }
        }

        for (int k = 0; k < kBinCount; ++k) {
            referenceFilter->binMagnitude[static_cast<std::size_t>(k)]
                = static_cast<float>(reference.magnitude[static_cast<std::size_t>(k)]);
            referenceFilter->binFrequency[static_cast<std::size_t>(k)]
                = static_cast<float>(reference.frequency[static_cast<std::size_t>(k)]);
        }
        const int bin = referenceFilter->findPitchBin(settings.sampleRate);
        referenceModel->analysisFrame = model->analysisFrame;
        referenceModel->lastAnalysedFrame = before;
        referenceFilter->filterEstimate(*referenceModel, settings, bin,
            referenceFilter->refinedFrequency(bin, settings.sampleRate),
            referenceFilter->binMagnitude[static_cast<std::size_t>(bin)]);
    }

    const int frames = model->lastAnalysedFrame + 1;
    for (int f = 0; f < frames; ++f) {
        const auto F = static_cast<std::size_t>(f);
        const float voicing = model->frameVoicing[0][F];
        const float expectedVoicing = referenceModel->frameVoicing[0][F];
        ASSERT_EQ(voicing > 0.0f, expectedVoicing > 0.0f) << voice.name << ", frame " << f;
        ASSERT_NEAR(voicing, expectedVoicing, kMaxVoicingShare * expectedVoicing)
            << voice.name << ", frame " << f;
        ASSERT_NEAR(model->framePitch[0][F], referenceModel->framePitch[0][F], kMaxPitchError)
            << voice.name << ", frame " << f;
        voicedFrames += voicing > 0.0f;
    }
    // The voice is sung, found and compared, not skipped as noise.
    EXPECT_GT(voicedFrames, frames / 2) << voice.name;
    EXPECT_GT(compared, frames * 10) << voice.name;
}

INSTANTIATE_TEST_SUITE_P(SungVoices, PitchDetectorPrecisionTest, ::testing::ValuesIn(kVoices),
    [](const ::testing::TestParamInfo<Voice>& info) {
        std::string name;
        for (const char* c = info.param.name; *c && *c != ','; ++c)
            if (std::isalnum(static_cast<unsigned char>(*c)))
                name += *c;
        return name;
    });

// Eight lanes and four do the same operations per lane: every bin and every
// row the same bit for bit, over a voice with glides, breath and consonants.
TEST(PitchDetectorLanesTest, EightLanesGiveTheResultsOfFourBitForBit)
{
    auto wide = std::make_unique<PitchDetector>();
    if (!wide->setWideLanes(true))
        GTEST_SKIP() << "this processor has no 256-bit lanes";
    auto narrow = std::make_unique<PitchDetector>();
    ASSERT_FALSE(narrow->setWideLanes(false));
    auto wideModel = std::make_unique<TakeModel>();
    auto narrowModel = std::make_unique<TakeModel>();
    const Voice& voice = kVoices[2];
    const AnalysisSettings settings {20, 50.0f, static_cast<float>(voice.sampleRate)};
    auto same = [](const auto& a, const auto& b) {
        return std::memcmp(a.data(), b.data(), sizeof a) == 0;
    };
    for (float sample : sing(voice)) {
        const int before = wideModel->lastAnalysedFrame;
        recordSample(*wideModel, *wide, settings, sample);
        recordSample(*narrowModel, *narrow, settings, sample);
        if (wideModel->lastAnalysedFrame == before)
            continue;
        ASSERT_TRUE(same(wide->binMagnitude, narrow->binMagnitude)) << wideModel->analysisFrame;
        ASSERT_TRUE(same(wide->binFrequency, narrow->binFrequency)) << wideModel->analysisFrame;
        ASSERT_TRUE(same(wide->lastPhase, narrow->lastPhase)) << wideModel->analysisFrame;
    }
    const std::size_t rowBytes = sizeof(float) * kAnalysedFrames;
    EXPECT_EQ(
        std::memcmp(wideModel->framePitch[0].data(), narrowModel->framePitch[0].data(), rowBytes),
        0);
    EXPECT_EQ(std::memcmp(
                  wideModel->frameVoicing[0].data(), narrowModel->frameVoicing[0].data(), rowBytes),
        0);
}
