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
#include "model/pitch_units.h"

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
// A peak of a voice is at most this harmonic of its fundamental (a bass's
// first formant can lift its tenth or twelfth harmonic above the rest).
constexpr int kMaxFundamentalDivisor = 16;
// Partials of at least this share of the peak must lie on the fundamental's
// harmonics.
constexpr float kStrongPartialShare = 0.25f;
// A fundamental weaker than a fifth of the peak (down to this share of it)
// counts when its harmonics 2 .. kLowHarmonics all sound above a thirtieth
// of the peak.
constexpr float kWeakFundamentalShare = 20.0f;
constexpr int kLowHarmonics = 3;
constexpr float kLowHarmonicShare = 30.0f;
// Half of a true fundamental has every even harmonic of its own on a partial
// of the voice and only noise at its odd ones: a weak fundamental counts when
// its odd harmonics 3, 5, .. up to kSeriesHarmonics carry at least this share
// of what its even harmonics 2, 4, .. carry. A voice's odd harmonics stand
// under the same vowel envelope as the even ones and carry a quarter of what
// they do or more; breath noise at the odd places of half the pitch carries
// a seventh at most.
constexpr int kSeriesHarmonics = 8;
constexpr double kOddHarmonicShare = 0.2;
// A third of a true fundamental has the voice's partials at its harmonics 3
// and 6 only. A rough voice (strong shimmer) fills the spectrum between them
// with noise that passes the odd-harmonic share, so the harmonics 2, 4, 5, 7
// and 8 must also carry this share of what 3 and 6 carry; a voice's own
// fundamental has five partials there against two.
constexpr double kBetweenThirdsShare = 0.3;
// Each partial may stray from h times the fundamental by this much per
// harmonic number, but never by more than this share of the fundamental
// (half way to the next harmonic would be any partial at all).
constexpr double kHarmonicShareTolerance = 0.15;
constexpr float kMinVoicedFrequency = 50.0f; // Hz, exclusive
constexpr float kMaxVoicedFrequency = 800.0f; // Hz, exclusive
constexpr double kMaxJump = 1.7; // semitones between voiced frames
constexpr int kMinStableFrames = 4; // valid history entries to accept
constexpr float kEmptySlot = -1.0f;
constexpr float kVoicingScale = 300.0f;
constexpr int kBackFillFrames = 3;
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

// How far a partial taken for harmonic h of fundamental may lie from h times it.
double harmonicTolerance(double fundamental, double harmonic)
{
    return std::min(kSubharmonicTolerance * harmonic, kHarmonicShareTolerance * fundamental);
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
    int peak = 0;
    float peakMagnitude = 0.0f;
    for (int k = kFirstPitchBin; k < kPitchBinLimit; ++k) {
        auto K = static_cast<std::size_t>(k);
        if (!(binFrequency[K] < kMaxPeakFrequency))
            continue;
        if (binMagnitude[K] > peakMagnitude) {
            peak = k;
            peakMagnitude = binMagnitude[K];
        }
    }
    if (peak == 0)
        return 0;

    const double binWidth = static_cast<double>(sampleRate) / kFftSize;
    int fundamental = lowestExplainingFundamental(peak, binWidth);
    if (fundamental >= 0)
        return fundamental;

    // No subharmonic of the peak explains the spectrum: the peak may still be
    // the second or third harmonic of a weaker fundamental. Take the bin at a
    // half, then at a third, of its frequency when that bin holds a partial
    // there with at least a fifth of the peak's strength.
    int best = peak;
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

// The bin of the partial near frequency (within tolerance hertz, among the
// nearest bin and its two neighbours) with the largest magnitude, or -1.
int PitchDetector::partialNear(double frequency, double tolerance, double binWidth) const
{
    int centre = nearestBin(static_cast<float>(frequency), binWidth);
    if (centre < 0)
        return -1;
    int found = -1;
    float strongest = 0.0f;
    for (int k = std::max(centre - 1, 0); k <= std::min(centre + 1, kBinCount - 1); ++k) {
        auto K = static_cast<std::size_t>(k);
        if (std::fabs(binFrequency[K] - frequency) < tolerance && binMagnitude[K] > strongest) {
            found = k;
            strongest = binMagnitude[K];
        }
    }
    return found;
}

// Every subharmonic of the peak, the lowest first, is a candidate fundamental
// in the voice range. The first one that has a partial of its own (a fifth of
// the peak, or a twentieth with its second and third harmonics sounding) and
// on whose harmonics every strong partial of the spectrum lies is the pitch: a vowel's formant can
// lift any harmonic above the fundamental, but the fundamental of a voice is never far below it,
// and nothing sounds between its harmonics. Returns the fundamental's bin, or -1.
int PitchDetector::lowestExplainingFundamental(int peak, double binWidth) const
{
    const float peakFrequency = binFrequency[static_cast<std::size_t>(peak)];
    const float peakMagnitude = binMagnitude[static_cast<std::size_t>(peak)];
    StrongPartials strong;
    bool strongFound = false;
    for (int divisor = kMaxFundamentalDivisor; divisor >= 1; --divisor) {
        const double candidate = static_cast<double>(peakFrequency) / divisor;
        if (!(candidate > kMinVoicedFrequency && candidate < kMaxVoicedFrequency))
            continue;
        const int own = partialNear(candidate, harmonicTolerance(candidate, 1), binWidth);
        if (own < kLowestVoicedBin)
            continue;
        // A fundamental of a fifth of the peak or more stands on its own; a
        // weaker one must stand as a peak with its next harmonics, and its
        // whole series must sound: half or a third of a true fundamental
        // finds only noise between the voice's partials, however loud that
        // noise is.
        const float ownMagnitude = binMagnitude[static_cast<std::size_t>(own)];
        if (!(ownMagnitude > peakMagnitude / kSubharmonicShare)
            && !(ownMagnitude > peakMagnitude / kWeakFundamentalShare && isPeak(own)
                && lowHarmonicsPresent(candidate, peakMagnitude / kLowHarmonicShare, binWidth)
                && fullSeriesSounds(candidate, binWidth)))
            continue;
        if (!strongFound) {
            if (!findStrongPartials(peakMagnitude * kStrongPartialShare, strong))
                return -1;
            strongFound = true;
        }
        if (explainsStrongPartials(candidate, strong))
            return own;
    }
    return -1;
}

// Whether bin k stands at least as high as both its neighbours.
bool PitchDetector::isPeak(int k) const
{
    const auto K = static_cast<std::size_t>(k);
    return k >= 1 && k < kBinCount - 1 && binMagnitude[K] >= binMagnitude[K - 1]
        && binMagnitude[K] >= binMagnitude[K + 1];
}

// Whether each of the harmonics 2 .. kLowHarmonics of fundamental (below
// 5 kHz) holds a partial above floor.
bool PitchDetector::lowHarmonicsPresent(double fundamental, float floor, double binWidth) const
{
    for (int h = 2; h <= kLowHarmonics; ++h) {
        const double frequency = h * fundamental;
        if (!(frequency < kMaxPeakFrequency))
            break;
        const int k = partialNear(frequency, harmonicTolerance(fundamental, h), binWidth);
        if (k < 0 || !(binMagnitude[static_cast<std::size_t>(k)] > floor) || !isPeak(k))
            return false;
    }
    return true;
}

// Whether the odd harmonics 3, 5, .. of fundamental carry at least
// kOddHarmonicShare of what its even harmonics 2, 4, .. carry, and the
// harmonics that are no multiple of 3 kBetweenThirdsShare of what 3 and 6
// carry, over the harmonics up to kSeriesHarmonics below 5 kHz. The
// strongest bin near each harmonic counts, none where no bin lies near it.
bool PitchDetector::fullSeriesSounds(double fundamental, double binWidth) const
{
    std::array<double, kSeriesHarmonics + 1> magnitudes {};
    for (int h = 2; h <= kSeriesHarmonics; ++h) {
        const double frequency = h * fundamental;
        if (!(frequency < kMaxPeakFrequency))
            break;
        const int k = partialNear(frequency, harmonicTolerance(fundamental, h), binWidth);
        magnitudes[static_cast<std::size_t>(h)]
            = k < 0 ? 0.0 : binMagnitude[static_cast<std::size_t>(k)];
    }
    auto sounds = [&](int divisor, double share) {
        double between = 0.0;
        double on = 0.0;
        for (int h = 2; h <= kSeriesHarmonics; ++h)
            (h % divisor == 0 ? on : between) += magnitudes[static_cast<std::size_t>(h)];
        return between >= share * on;
    };
    return sounds(2, kOddHarmonicShare) && sounds(3, kBetweenThirdsShare);
}

// The local maxima of the spectrum below 5 kHz that reach threshold, up to
// kMaxStrongPartials of them; false when there are more (a noise, not a voice).
bool PitchDetector::findStrongPartials(float threshold, StrongPartials& strong) const
{
    strong.count = 0;
    for (int k = kFirstPitchBin; k < kPitchBinLimit; ++k) {
        auto K = static_cast<std::size_t>(k);
        const float magnitude = binMagnitude[K];
        if (!(magnitude >= threshold) || !(binFrequency[K] < kMaxPeakFrequency))
            continue;
        if (magnitude < binMagnitude[K - 1] || magnitude < binMagnitude[K + 1])
            continue;
        if (strong.count == kMaxStrongPartials)
            return false;
        strong.bins[static_cast<std::size_t>(strong.count++)] = k;
    }
    return true;
}

// Whether every strong partial lies on a harmonic of fundamental.
bool PitchDetector::explainsStrongPartials(double fundamental, const StrongPartials& strong) const
{
    for (int s = 0; s < strong.count; ++s) {
        const double frequency
            = binFrequency[static_cast<std::size_t>(strong.bins[static_cast<std::size_t>(s)])];
        const double harmonic = std::max(1.0, std::round(frequency / fundamental));
        if (!(std::fabs(frequency - harmonic * fundamental)
                < harmonicTolerance(fundamental, harmonic)))
            return false;
    }
    return true;
}

// The fundamental's frequency from every harmonic that sounds, not from its
// own bin alone. Each partial's phase advance misses its frequency by about
// the same few hertz, so harmonic h pins the fundamental h times closer; the
// fundamental of a low voice also sits in a few bins between the partials
// that leak into it. The estimate is the mean of f_h / h over the harmonics
// 1 .. kSeriesHarmonics below 5 kHz that stand as peaks of their own near h
// times the fundamental, each weighted by its magnitude times h.
float PitchDetector::refinedFrequency(int bin, float sampleRate) const
{
    const double binWidth = static_cast<double>(sampleRate) / kFftSize;
    const auto B = static_cast<std::size_t>(bin);
    const double fundamental = binFrequency[B];
    if (!(fundamental > kMinVoicedFrequency && fundamental < kMaxVoicedFrequency))
        return binFrequency[B];
    double weighted = static_cast<double>(binMagnitude[B]) * fundamental;
    double weights = binMagnitude[B];
    for (int h = 2; h <= kSeriesHarmonics; ++h) {
        const double frequency = h * fundamental;
        if (!(frequency < kMaxPeakFrequency))
            break;
        const int k = partialNear(frequency, harmonicTolerance(fundamental, h), binWidth);
        if (k < 0 || !isPeak(k))
            continue;
        const auto K = static_cast<std::size_t>(k);
        weighted += static_cast<double>(binMagnitude[K]) * binFrequency[K];
        weights += static_cast<double>(binMagnitude[K]) * h;
    }
    if (!(weights > 0.0))
        return binFrequency[B];
    return static_cast<float>(weighted / weights);
}

void PitchDetector::analyseFrame(TakeModel& model, const AnalysisSettings& settings)
{
    analyseSpectrum(model, settings.sampleRate);
    int best = findPitchBin(settings.sampleRate);
    auto B = static_cast<std::size_t>(best);
    filterEstimate(
        model, settings, best, refinedFrequency(best, settings.sampleRate), binMagnitude[B]);
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

    const double pitch = pitchOfFrequency(frequency);
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
