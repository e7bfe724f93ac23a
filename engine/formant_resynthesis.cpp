#include "engine/formant_resynthesis.h"

#include "engine/resynthesis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int kWindowTableSize = 1024; // Hann window over [0, 1] of the half width
constexpr double kMarkSmoothing = 0.25; // periods averaged around a candidate mark
constexpr double kMarkSearchBefore = 0.15; // periods: the next mark is sought from
constexpr double kMarkSearchAfter = 1.15; // ... to here past the last one's period
constexpr int kMarkStepsPerGrain = 4; // lazy search steps a grain may take at most
constexpr double kMarkPull = 0.5; // share of a found crest's offset from the predicted mark taken
constexpr double kLostMarkPeriods = 2.0; // further from the grain than this: search afresh
constexpr int kLaunchesPerSample = 2; // bounds the work of one sample
constexpr double kLaunchSlack = 1.0; // samples: a grain launches this late at most
// Widest gap between grain centres: a 50 Hz period lowered by 20 semitones.
constexpr double kFarthestGrainSpacing = 4000.0;
constexpr double kClosestGrainSpacing = 1.0;
constexpr double kSemitonesPerOctave = 12.0;
// Further than this between where a grain reads and where it is laid, it
// reads silence: more than any take holds, and an int holds it.
constexpr double kFarReadLag = 4.0 * kTakeLength;
// render() works out the grains of this many samples at a time.
constexpr int kRenderStretch = 64;

const std::array<float, kWindowTableSize + 2> kHannTable = [] {
    std::array<float, kWindowTableSize + 2> table {};
    for (int i = 0; i <= kWindowTableSize; ++i)
        table[static_cast<std::size_t>(i)] = static_cast<float>(
            0.5 * (1.0 + std::cos(std::numbers::pi * static_cast<double>(i) / kWindowTableSize)));
    table[kWindowTableSize + 1] = 0.0f; // interpolation partner of the last entry
    return table;
}();

// The Hann window at distance d from its centre, 0 from the half width on;
// tableStep is the table's entries per sample of the grain's half width.
double hann(double d, double tableStep)
{
    double x = std::fabs(d) * tableStep;
    if (!(x < kWindowTableSize))
        return 0.0;
    auto i = static_cast<std::size_t>(x);
    double f = x - static_cast<double>(i);
    return kHannTable[i] + (kHannTable[i + 1] - kHannTable[i]) * f;
}

// A grain's window has passed output position p.
bool grainDone(const Grain& grain, double p) { return !(p < grain.centre + grain.halfWidth); }

// The take at index i plus fraction (in [0, 1)), linearly interpolated like
// readTake: 0 outside the take, the last sample its own partner.
inline float takeAt(const TakeModel& model, int i, float fraction)
{
    if (!(i >= 0 && i < kTakeLength))
        return 0.0f;
    const float v = loadRelaxed(model.recordBuffer[static_cast<std::size_t>(i)]);
    const float next = i + 1 < kTakeLength
        ? loadRelaxed(model.recordBuffer[static_cast<std::size_t>(i) + 1])
        : v;
    return v + (next - v) * fraction;
}

// What grain adds to the output sample at position: its window there times
// the take it reads there.
inline double grainSample(const TakeModel& model, const Grain& grain, int position)
{
    const double w = hann(position - grain.centre, grain.tableStep);
    if (!(w > 0.0))
        return 0.0;
    return w * grain.gain * takeAt(model, grain.readOffset + position, grain.readFraction);
}

// grainSample for the samples [first, end) of a stretch from output
// position start, added into sums; where the grain reads inside the take,
// without the take's bounds for every sample.
void addGrain(
    const TakeModel& model, const Grain& grain, int start, int first, int end, double* sums)
{
    const int readFirst = grain.readOffset + start + first;
    const int readLast = grain.readOffset + start + end; // the last sample's partner
    if (!(readFirst >= 0 && readLast < kTakeLength)) {
        for (int i = first; i < end; ++i)
            sums[i] += grainSample(model, grain, start + i);
        return;
    }
    const float* take = &model.recordBuffer[0];
    for (int i = first; i < end; ++i) {
        const double w = hann(start + i - grain.centre, grain.tableStep);
        if (!(w > 0.0))
            continue;
        const int at = grain.readOffset + start + i;
        const float v = loadRelaxed(take[at]);
        const float next = loadRelaxed(take[at + 1]);
        sums[i] += w * grain.gain * (v + (next - v) * grain.readFraction);
    }
}

// The stretch's last sample (an index from start, at most stretch - 1) before
// the next launch or the end of a grain; -1 when that is unknown.
int lastQuietSample(const FormantVoice& v, double reach, int start, int stretch)
{
    double next = v.nextCentre - reach;
    for (int g = 0; g < v.grainCount; ++g)
        next = std::min(next,
            v.grains[static_cast<std::size_t>(g)].centre
                + v.grains[static_cast<std::size_t>(g)].halfWidth);
    if (!(next >= start)) // NaN, or due already
        return -1;
    if (next >= start + stretch)
        return stretch - 1;
    return static_cast<int>(std::ceil(next)) - start - 1;
}

// The take position that output position lands on under the note's stretch.
double sourcePosition(const NoteFrameTerms& terms, double position)
{
    return terms.sourceOrigin + (position - terms.targetOrigin) / terms.stretch;
}

// Grains packed closer (a rise) overlap and add loudness; grains spread apart
// (a fall) leave gaps and lose it. Scaling by the square root of the spacing
// change keeps the take's level within about 2 dB for shifts up to an octave.
double grainGain(double pitchRatio) { return 1.0 / std::sqrt(pitchRatio); }

} // namespace

double pitchMarkIn(const TakeModel& model, double from, double to, double period)
{
    double first = std::ceil(std::fmax(from, 0.0));
    double last = std::floor(std::fmin(to, static_cast<double>(kTakeLength - 1)));
    if (!(first <= last))
        return -1.0;
    // The mean over a quarter period centred on each sample: it cancels the
    // fourth harmonic and damps the higher ones, so two close crests of one
    // period merge into one and the mark does not hop between them from one
    // period to the next; it stays near the glottal pulse, where the grain's
    // window is widest.
    const int half = std::max(1, static_cast<int>(period * kMarkSmoothing / 2.0));
    const auto begin = static_cast<int>(first);
    const auto end = static_cast<int>(last);
    auto at = [&model](int i) {
        return i >= 0 && i < kTakeLength ? static_cast<double>(loadRelaxed(model.recordBuffer[i]))
                                         : 0.0;
    };
    double sum = 0.0;
    for (int k = begin - half; k <= begin + half; ++k)
        sum += at(k);
    const double width = 2.0 * half + 1.0;
    int best = -1;
    double peak = kMarkSilence * width;
    for (int i = begin; i <= end; ++i) {
        if (i > begin)
            sum += at(i + half) - at(i - half - 1);
        if (sum > peak) {
            peak = sum;
            best = i;
        }
    }
    return best;
}

void FormantVoices::launchGrain(
    TakeModel& model, FormantVoice& v, const NoteFrameTerms& terms, double position)
{
    const double centre = v.nextCentre;
    const double wanted = sourcePosition(terms, centre);
    Grain grain {centre, wanted, kUnpitchedGrainHalfWidth, 1.0};
    double spacing = kUnpitchedGrainHalfWidth;

    // The take's period where the grain reads, and the target pitch where it
    // is laid: the grains follow vibrato and glides within a frame.
    double period = terms.sourcePeriod;
    double pitchRatio = terms.pitchRatio;
    if (period > 0.0) {
        const double sung = takePitchAt(model, terms, wanted);
        const double samplePeriod = terms.sourcePeriod * semitoneRatio(terms.sourcePitch - sung);
        const double shift = targetPitchAt(terms, centre) - sung;
        const double ratio
            = terms.frameRatio * semitoneRatio(shift - terms.frameShift) * terms.pitchFactor;
        if (std::isfinite(samplePeriod) && samplePeriod > 0.0 && std::fabs(shift) < terms.shiftLimit
            && std::isfinite(ratio) && ratio > 0.0) {
            period = samplePeriod;
            if (pitchRatio != 1.0)
                pitchRatio = ratio;
        }
    }
    double mark = -1.0;
    if (period > 0.0) {
        // Walk the marks on by whole periods towards the wanted position; a
        // jump in the source (a hand-over, a trim) starts the walk afresh.
        if (v.mark >= 0.0 && std::fabs(wanted - v.mark) <= kLostMarkPeriods * period) {
            mark = v.mark;
            for (int step = 0; step < kMarkStepsPerGrain && mark + period / 2 < wanted; ++step) {
                double next = pitchMarkIn(model, mark + period * (1.0 - kMarkSearchBefore),
                    mark + period * kMarkSearchAfter, period);
                if (next < 0.0) {
                    mark = -1.0;
                    break;
                }
                // Half way from one period on to the crest found: a crest
                // that hops by a few samples between periods (a formant
                // near the second harmonic of a high voice) would space the
                // grains' contents unevenly and the output's periods with
                // them; taken half, the hop is damped, while a mark that
                // drifts off the pulse is still drawn back onto it.
                const double predicted = mark + period;
                mark = predicted + kMarkPull * (next - predicted);
            }
        }
        if (mark < 0.0 || std::fabs(wanted - mark) > kLostMarkPeriods * period)
            mark = pitchMarkIn(model, wanted - period / 2, wanted + period / 2, period);
        grain.halfWidth = period;
        spacing = period;
        if (mark >= 0.0) {
            grain.source = mark;
            spacing = std::fmin(
                std::fmax(period / pitchRatio, kClosestGrainSpacing), kFarthestGrainSpacing);
            grain.gain = grainGain(pitchRatio);
        }
    }
    v.mark = mark;
    // A grain launched ahead of its centre opens from (nearly) silence at
    // this sample: where the frame's reach widened (the voice reaches a frame
    // without a pitch, or the sung period lengthens), a full-width window
    // would already stand partly open here and the output would step. A
    // grain launched on time lies within a sample of its reach and keeps
    // its width, so the windows still add up to one.
    if (centre > position)
        grain.halfWidth = std::fmin(grain.halfWidth, centre - position + kLaunchSlack);

    grain.tableStep = kWindowTableSize / grain.halfWidth;
    // The grain reads the take one sample on for every output sample, all at
    // the same fraction between two take samples.
    const double lag = std::floor(grain.source - grain.centre);
    const bool near = std::fabs(lag) <= kFarReadLag; // false for NaN
    grain.readOffset = near ? static_cast<int>(lag) : -static_cast<int>(kFarReadLag);
    grain.readFraction = near ? static_cast<float>(grain.source - grain.centre - lag) : 0.0f;
    if (v.grainCount < kMaxGrains)
        v.grains[static_cast<std::size_t>(v.grainCount++)] = grain;
    v.nextCentre = centre + spacing;
}

double FormantVoices::sample(TakeModel& model, int voice, const NoteFrameTerms& terms, int position)
{
    FormantVoice& v = voices[static_cast<std::size_t>(voice)];
    const double p = position;
    if (v.note != terms.note) {
        // A linked successor carries on with the grains and marks it is given.
        if (v.note != terms.linkedPrevious || v.note == kNone)
            v = {};
        v.note = terms.note;
    }
    const double reach = terms.sourcePeriod > 0.0 ? terms.sourcePeriod : kUnpitchedGrainHalfWidth;
    if (!v.started || !(v.nextCentre >= p - reach && v.nextCentre <= p + kFarthestGrainSpacing)) {
        // A fresh voice, or one whose position jumped: the first grain sits
        // at the current sample at full weight.
        v.nextCentre = p;
        v.started = true;
    }

    // Grains whose window has passed are done.
    int kept = 0;
    for (int g = 0; g < v.grainCount; ++g)
        if (!grainDone(v.grains[static_cast<std::size_t>(g)], p))
            v.grains[static_cast<std::size_t>(kept++)] = v.grains[static_cast<std::size_t>(g)];
    v.grainCount = kept;

    // The next grain starts as soon as its window reaches this sample.
    for (int n = 0; n < kLaunchesPerSample && v.nextCentre - reach <= p; ++n)
        launchGrain(model, v, terms, p);

    double s = 0.0;
    for (int g = 0; g < v.grainCount; ++g)
        s += grainSample(model, v.grains[static_cast<std::size_t>(g)], position);
    return std::isfinite(s) ? s : 0.0;
}

void FormantVoices::render(
    TakeModel& model, int voice, const NoteFrameTerms& terms, int position, int count, float* out)
{
    // The same samples as sample(), worked out grain by grain: first the
    // control of a stretch of samples (restarts, grains done, launches) runs
    // sample by sample and notes the samples each grain sounds in; then each
    // grain adds its windowed take into those samples. The grains are taken in
    // the order they stand in the voice, which is the order sample() adds
    // them in, so every sum is the same.
    FormantVoice& v = voices[static_cast<std::size_t>(voice)];
    struct Sounding {
        Grain grain;
        int first = 0; // the stretch's samples [first, end) this grain sounds in
        int end = 0;
    };
    std::array<Sounding, kMaxGrains + kLaunchesPerSample * kRenderStretch> sounding;
    std::array<int, kMaxGrains> soundingOf {}; // the entry of each grain of the voice
    std::array<double, kRenderStretch> sums {};

    for (int done = 0; done < count;) {
        const int stretch = std::min(count - done, kRenderStretch);
        const int start = position + done;
        int entries = 0;
        for (int i = 0; i < stretch; ++i) {
            const double p = start + i;
            if (v.note != terms.note) {
                if (v.note != terms.linkedPrevious || v.note == kNone)
                    v = {};
                v.note = terms.note;
            }
            if (i == 0)
                for (int g = 0; g < v.grainCount; ++g) {
                    sounding[static_cast<std::size_t>(entries)]
                        = {v.grains[static_cast<std::size_t>(g)], 0, stretch};
                    soundingOf[static_cast<std::size_t>(g)] = entries++;
                }
            const double reach
                = terms.sourcePeriod > 0.0 ? terms.sourcePeriod : kUnpitchedGrainHalfWidth;
            if (!v.started
                || !(v.nextCentre >= p - reach && v.nextCentre <= p + kFarthestGrainSpacing)) {
                v.nextCentre = p;
                v.started = true;
            }
            // Grains done here leave; the rest keep their order. Most
            // samples end no grain, so nothing moves until the first that does.
            int kept = 0;
            while (kept < v.grainCount && !grainDone(v.grains[static_cast<std::size_t>(kept)], p))
                ++kept;
            for (int g = kept; g < v.grainCount; ++g) {
                const auto from = static_cast<std::size_t>(g);
                if (!grainDone(v.grains[from], p)) {
                    const auto to = static_cast<std::size_t>(kept++);
                    v.grains[to] = v.grains[from];
                    soundingOf[to] = soundingOf[from];
                } else {
                    sounding[static_cast<std::size_t>(soundingOf[from])].end = i;
                }
            }
            v.grainCount = kept;
            for (int n = 0; n < kLaunchesPerSample && v.nextCentre - reach <= p; ++n) {
                const int before = v.grainCount;
                launchGrain(model, v, terms, p);
                if (v.grainCount > before) {
                    const auto g = static_cast<std::size_t>(before);
                    sounding[static_cast<std::size_t>(entries)] = {v.grains[g], i, stretch};
                    soundingOf[g] = entries++;
                }
            }
            // Until the next launch or the next grain done, a sample changes
            // nothing here (the restart cannot come first: a launch is due
            // a reach before it), so the samples in between are passed over.
            i = std::max(i, lastQuietSample(v, reach, start, stretch));
        }

        std::fill_n(sums.begin(), stretch, 0.0);
        for (int e = 0; e < entries; ++e) {
            const Sounding& entry = sounding[static_cast<std::size_t>(e)];
            addGrain(model, entry.grain, start, entry.first, entry.end, sums.data());
        }
        // Away from the note's edges the ramps are the volume alone.
        const bool unramped = start - terms.targetOrigin >= kEdgeRampLength
            && terms.targetEnd - (start + stretch - 1) >= kEdgeRampLength;
        for (int i = 0; i < stretch; ++i) {
            double s = sums[static_cast<std::size_t>(i)];
            s = std::isfinite(s) ? s : 0.0;
            if (unramped) {
                const auto weighted = static_cast<float>(s * terms.volume);
                out[done + i] += std::isfinite(weighted) ? weighted : 0.0f;
            } else {
                out[done + i] += edgeRamped(terms, start + i, s);
            }
        }
        done += stretch;
    }
}
