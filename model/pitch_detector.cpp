#include "model/pitch_detector.h"

// The eight-lane helpers are always inlined into functions built for 256-bit
// registers, so no eight-lane value crosses a call that the baseline ABI
// would pass differently.
#if defined(__clang__)
#if __has_warning("-Wpsabi")
#pragma clang diagnostic ignored "-Wpsabi"
#endif
#elif defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#include "model/fast_atan2.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

#if defined(__SSE__)
#include <immintrin.h>
#endif

namespace {

constexpr int kHop = kFftSize / kOversampling; // 512: one frame between windows
constexpr int kFirstPitchBin = 2;
constexpr int kPitchBinLimit = 1000; // bins 2..999 compete
constexpr int kLowestVoicedBin = 3; // a pitch bin of 2 or below is no pitch
constexpr float kMaxPeakFrequency = 5000.0f; // Hz; bins above never win
constexpr float kSubharmonicTolerance = 5.0f; // Hz
constexpr float kSubharmonicShare = 5.0f; // the subharmonic needs a fifth of the peak
constexpr float kMinVoicedFrequency = 50.0f; // Hz, exclusive
constexpr float kMaxVoicedFrequency = 800.0f; // Hz, exclusive
constexpr double kMaxJump = 1.7; // semitones between voiced frames
constexpr int kMinStableFrames = 4; // valid history entries to accept
constexpr float kEmptySlot = -1.0f;
constexpr float kVoicingScale = 300.0f;
constexpr float kBackFillVoicing = 0.1f;
constexpr int kBackFillFrames = 3;
constexpr double kReferenceHz = 110.0; // pitch -3
constexpr double kReferenceOffset = 3.0; // semitones from 110 Hz to pitch 0
constexpr double kPi = std::numbers::pi;
constexpr double kInversePi = 1.0 / std::numbers::pi;
constexpr double kExpectedAdvancePerBin = 2.0 * kPi * kHop / kFftSize; // pi / 2
// Bigger than any phase difference two finite phases can give after the
// expected advance (at most three quarter turns) is taken off; anything else
// is not a number.
constexpr double kMaxPhaseDifference = 1.0e6;

int historyLength(int averagingCount)
{
    return std::clamp(averagingCount, 1, kPitchHistoryCapacity);
}

bool isStoredFrame(int frame) { return frame >= 0 && frame < kFrameCapacity; }

// A frequency's nearest bin, or -1 when it lies outside the spectrum (or is
// not a number).
int nearestBin(float frequency, double binWidth)
{
    double bin = frequency / binWidth + 0.5;
    if (!(bin >= 0.0 && bin < kBinCount))
        return -1;
    return static_cast<int>(bin);
}

} // namespace

PitchDetector::PitchDetector()
{
    for (int i = 0; i < kFftSize; ++i)
        window[static_cast<std::size_t>(i)]
            = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * kPi * i / kFftSize));
}

// The 2,048 samples ending at takePosition, windowed, packed in pairs into
// the complex points of the transform in bit-reversed order. Positions before
// the start of the take wrap to its end.
void PitchDetector::loadWindow(const TakeModel& model)
{
    int64_t first = (static_cast<int64_t>(model.takePosition) - (kFftSize - 1)) % kTakeLength;
    if (first < 0)
        first += kTakeLength;
    int position = static_cast<int>(first);
    if (position <= kTakeLength - kFftSize) {
        // The usual case: the window lies in one piece.
        const float* samples = &model.recordBuffer[static_cast<std::size_t>(position)];
        for (int i = 0; i < kFftSize; i += 2) {
            const auto slot = static_cast<std::size_t>(fft.packedSlot(i));
            const auto I = static_cast<std::size_t>(i);
            packedRe[slot] = loadRelaxed(samples[I]) * window[I];
            packedIm[slot] = loadRelaxed(samples[I + 1]) * window[I + 1];
        }
        return;
    }
    auto next = [&]() {
        float sample = loadRelaxed(model.recordBuffer[static_cast<std::size_t>(position)]);
        if (++position == kTakeLength)
            position = 0;
        return sample;
    };
    for (int i = 0; i < kFftSize; i += 2) {
        auto slot = static_cast<std::size_t>(fft.packedSlot(i));
        packedRe[slot] = next() * window[static_cast<std::size_t>(i)];
        packedIm[slot] = next() * window[static_cast<std::size_t>(i + 1)];
    }
}

void PitchDetector::setBinCentres(float sampleRate)
{
    const double binWidth = static_cast<double>(sampleRate) / kFftSize;
    for (int k = 0; k < kBinCount; ++k)
        binCentre[static_cast<std::size_t>(k)] = static_cast<float>(k * binWidth);
    binCentreRate = sampleRate;
}

namespace {

template <typename F> constexpr int kLanesOf = static_cast<int>(sizeof(F) / sizeof(float));

template <typename F> __attribute__((always_inline)) inline F loadLanes(const float* p)
{
    F v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename F> __attribute__((always_inline)) inline void storeLanes(float* p, F v)
{
    std::memcpy(p, &v, sizeof v);
}

__attribute__((always_inline)) inline FloatLanes sqrtLanes(FloatLanes v)
{
#if defined(__SSE__)
    return reinterpret_cast<FloatLanes>(_mm_sqrt_ps(reinterpret_cast<__m128>(v)));
#else
    for (int lane = 0; lane < kFftLanes; ++lane)
        v[lane] = std::sqrt(v[lane]);
    return v;
#endif
}

// Eight lanes as two halves of four: the same correctly rounded roots.
__attribute__((always_inline)) inline WideFloatLanes sqrtLanes(WideFloatLanes v)
{
    FloatLanes low;
    FloatLanes high;
    std::memcpy(&low, &v, sizeof low);
    std::memcpy(&high, reinterpret_cast<const float*>(&v) + kFftLanes, sizeof high);
    low = sqrtLanes(low);
    high = sqrtLanes(high);
    std::memcpy(&v, &low, sizeof low);
    std::memcpy(reinterpret_cast<float*>(&v) + kFftLanes, &high, sizeof high);
    return v;
}

// One block of bins: magnitude, phase, and the frequency from the phase
// advance since the last frame. The k quarter turns a bin-centred partial
// makes in one hop are whole turns plus (k mod 4) quarter turns, and whole
// turns vanish in the wrap; expectedAdvance holds (k mod 4) pi / 2 per lane.
template <typename F> struct BinLanes {
    F magnitude;
    F phase;
    F frequency;
};

template <typename F>
__attribute__((always_inline)) inline BinLanes<F> binLanes(
    F re, F im, F lastPhase, F expectedAdvance, F centre, float hertzPerRadian)
{
    using I = decltype(re < im);
    const auto pi = static_cast<float>(kPi);
    const auto inversePi = static_cast<float>(kInversePi);
    const auto maxDifference = static_cast<float>(kMaxPhaseDifference);
    const I one = I {} + 1;
    BinLanes<F> out;
    out.magnitude = 2.0f * sqrtLanes(re * re + im * im);
    out.phase = atan2Lanes(im, re);
    F d = out.phase - lastPhase - expectedAdvance;
    // Wrap into [-pi, pi]: an odd number of half turns moves away from zero to
    // the next even one. A difference that is not a number stays as it is.
    const I finite = d < maxDifference && d > -maxDifference;
    F inRange = fast_atan2_detail::select(finite, d, F {});
    I q = __builtin_convertvector(inRange * inversePi, I);
    // (q AND 1) away from zero: +1 or -1 for odd q, without a multiply
    // (negative is all ones, and x XOR -1 minus -1 is -x).
    const I negative = q >> 31;
    q += ((q & one) ^ negative) - negative;
    inRange -= pi * __builtin_convertvector(q, F);
    d = fast_atan2_detail::select(finite, inRange, d);
    out.frequency = centre + d * hertzPerRadian;
    return out;
}

// The arrays the bin loop reads and writes.
struct BinArrays {
    const float* re;
    const float* im;
    const float* centre;
    float* lastPhase;
    float* frequency;
    float* magnitude;
};

// Bins 0..1023 (whole blocks of lanes).
template <typename F>
__attribute__((always_inline)) inline void binBlocks(const BinArrays& a, float hertzPerRadian)
{
    const auto quarter = static_cast<float>(kExpectedAdvancePerBin);
    F expectedAdvance;
    for (int lane = 0; lane < kLanesOf<F>; ++lane)
        expectedAdvance[lane] = static_cast<float>(lane % 4) * quarter;
    constexpr int kBlockedBins = kBinCount - 1;
    static_assert(kBlockedBins % kLanesOf<F> == 0);
    for (int k = 0; k < kBlockedBins; k += kLanesOf<F>) {
        BinLanes<F> bins = binLanes(loadLanes<F>(a.re + k), loadLanes<F>(a.im + k),
            loadLanes<F>(a.lastPhase + k), expectedAdvance, loadLanes<F>(a.centre + k),
            hertzPerRadian);
        storeLanes(a.lastPhase + k, bins.phase);
        storeLanes(a.frequency + k, bins.frequency);
        storeLanes(a.magnitude + k, bins.magnitude);
    }
}

void binBlocksNarrow(const BinArrays& a, float hertzPerRadian)
{
    binBlocks<FloatLanes>(a, hertzPerRadian);
}

#if CANTILO_WIDE_LANES
__attribute__((target("avx2"))) void binBlocksWide(const BinArrays& a, float hertzPerRadian)
{
    binBlocks<WideFloatLanes>(a, hertzPerRadian);
}
#endif

} // namespace

void PitchDetector::analyseSpectrum(const TakeModel& model, float sampleRate)
{
    loadWindow(model);
    fft.butterflies(packedRe.data(), packedIm.data());
    fft.separate(packedRe.data(), packedIm.data(), spectrumRe.data(), spectrumIm.data());
    if (sampleRate != binCentreRate)
        setBinCentres(sampleRate);

    // A phase step of d radians over one hop moves the estimate by
    // oversampling * d / (2 pi) bins.
    const double binWidth = static_cast<double>(sampleRate) / kFftSize;
    const auto hertzPerRadian = static_cast<float>(kOversampling / (2.0 * kPi) * binWidth);
    const BinArrays arrays {spectrumRe.data(), spectrumIm.data(), binCentre.data(),
        lastPhase.data(), binFrequency.data(), binMagnitude.data()};
#if CANTILO_WIDE_LANES
    if (fft.wideLanes())
        binBlocksWide(arrays, hertzPerRadian);
    else
#endif
        binBlocksNarrow(arrays, hertzPerRadian);

    // Bin 1024 (a multiple of four quarter turns) in the first lane.
    constexpr auto kLast = static_cast<std::size_t>(kBinCount - 1);
    auto splat = [](float v) { return FloatLanes {v, v, v, v}; };
    BinLanes<FloatLanes> last = binLanes(splat(spectrumRe[kLast]), splat(spectrumIm[kLast]),
        splat(lastPhase[kLast]), FloatLanes {}, splat(binCentre[kLast]), hertzPerRadian);
    lastPhase[kLast] = last.phase[0];
    binFrequency[kLast] = last.frequency[0];
    binMagnitude[kLast] = last.magnitude[0];
}

bool PitchDetector::setWideLanes(bool on) { return fft.setWideLanes(on); }

int PitchDetector::findPitchBin(float sampleRate) const
{
    int best = 0;
    float bestMagnitude = 0.0f;
    for (int k = kFirstPitchBin; k < kPitchBinLimit; ++k) {
        auto K = static_cast<std::size_t>(k);
        if (!(binFrequency[K] < kMaxPeakFrequency))
            continue;
        if (binMagnitude[K] > bestMagnitude) {
            best = k;
            bestMagnitude = binMagnitude[K];
        }
    }

    // The peak may be the second or third harmonic of a weaker fundamental:
    // take the bin at a half, then at a third, of its frequency when that bin
    // holds a partial there with at least a fifth of the peak's strength.
    const double binWidth = static_cast<double>(sampleRate) / kFftSize;
    for (int divisor = 2; divisor <= 3; ++divisor) {
        float estimate = binFrequency[static_cast<std::size_t>(best)] / divisor;
        int j = nearestBin(estimate, binWidth);
        if (j < 0)
            continue;
        auto J = static_cast<std::size_t>(j);
        if (std::fabs(estimate - binFrequency[J]) < kSubharmonicTolerance
            && binMagnitude[J] > binMagnitude[static_cast<std::size_t>(best)] / kSubharmonicShare)
            best = j;
    }
    return best;
}

void PitchDetector::analyseFrame(TakeModel& model, const AnalysisSettings& settings)
{
    analyseSpectrum(model, settings.sampleRate);
    int best = findPitchBin(settings.sampleRate);
    auto B = static_cast<std::size_t>(best);
    filterEstimate(model, settings, best, binFrequency[B], binMagnitude[B]);
}

void PitchDetector::filterEstimate(
    TakeModel& model, const AnalysisSettings& settings, int bin, float frequency, float magnitude)
{
    const int length = historyLength(settings.averagingCount);
    const int frame = model.analysisFrame;
    // Frames before the take (-2 and -1) move the detector's state on but
    // store nothing.
    const bool stored = isStoredFrame(frame);
    FrameRow& pitchRow = model.framePitch[0];
    FrameRow& voicingRow = model.frameVoicing[0];
    auto F = static_cast<std::size_t>(frame);

    const bool voiced = bin >= kLowestVoicedBin && frequency > kMinVoicedFrequency
        && frequency < kMaxVoicedFrequency;
    if (!voiced) {
        std::fill_n(pitchHistory.begin(), length, kEmptySlot);
        if (stored) {
            storeRelaxed(pitchRow[F], kUnvoicedPitch);
            storeRelaxed(voicingRow[F], 0.0f);
        }
        return;
    }

    const double pitch = 12.0 * std::log2(frequency / kReferenceHz) - kReferenceOffset;
    const double jump = std::fabs(previousPitch - pitch);
    if (jump > kMaxJump)
        std::fill_n(pitchHistory.begin(), length, kEmptySlot);

    int slot = model.lastAnalysedFrame % length;
    if (slot < 0)
        slot += length;
    pitchHistory[static_cast<std::size_t>(slot)] = static_cast<float>(pitch);

    double sum = 0.0;
    int count = 0;
    for (int i = 0; i < length; ++i) {
        float value = pitchHistory[static_cast<std::size_t>(i)];
        if (value != kEmptySlot) {
            sum += value;
            ++count;
        }
    }
    const double mean = count > 0 ? sum / count : 0.0;

    const bool rejected = std::fabs(pitch - mean) > settings.toneThreshold || jump > kMaxJump
        || count < kMinStableFrames;
    previousPitch = pitch;
    if (!stored)
        return;
    if (rejected) {
        storeRelaxed(voicingRow[F], 0.0f);
        return;
    }

    const auto accepted = static_cast<float>(pitch);
    storeRelaxed(pitchRow[F], accepted);
    storeRelaxed(voicingRow[F], magnitude / kVoicingScale);
    // The frames the filter held back while the pitch settled get it now.
    if (frame >= kBackFillFrames)
        for (int g = frame - 1; g >= frame - kBackFillFrames; --g) {
            auto G = static_cast<std::size_t>(g);
            if (loadRelaxed(voicingRow[G]) == 0.0f) {
                storeRelaxed(pitchRow[G], accepted);
                storeRelaxed(voicingRow[G], kBackFillVoicing);
            }
        }
}
