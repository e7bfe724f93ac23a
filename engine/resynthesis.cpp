#include "engine/resynthesis.h"

#include "engine/contour_lookup.h"
#include "model/pitch_units.h"
#include "model/segmentation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double kSemitonesPerOctave = 12.0;
constexpr float kRetuneTolerance = 0.1f; // a started note further off glides
constexpr float kRetuneStep = 1.2f; // semitones per retune at most
constexpr float kRetuneSnap = 0.005f; // closer than this the note is left
constexpr int kRetuneLookahead = 10; // frames
// Neighbouring frame pitches further apart than this are no glide to follow
// (an octave stray, a new note after a gap): the nearer one holds alone.
constexpr double kMaxInterpolatedStep = 3.0; // semitones
// A voice reading faster than the take may lag by this share of its jump
// more than the jump before it jumps forward: when the take's pitch rises
// the jump shrinks under a lagging offset, which then climbs back by itself.
// Jumping at once would send it forward and, the read running faster, back
// again within a crossfade. During a crossfade the voice may also read this
// share ahead of the stretched position.
constexpr double kLagTolerance = 0.25;

bool isFinite(double x) { return std::isfinite(x); }

// The sung pitch of take frame srcFrame in Hz; false when the frame gives no
// reliable pitch (outside the analysis, unvoiced, out of range).
bool sourceFrequency(const TakeModel& model, double srcFrame, double& pitch, double& frequency)
{
    double frame = std::trunc(srcFrame);
    if (!(frame >= 0.0 && frame < kAnalysedFrames))
        return false;
    auto f = static_cast<int>(frame);
    if (!(loadRelaxed(model.frameVoicing[0][f]) > 0.0f))
        return false;
    pitch = loadRelaxed(model.framePitch[0][f]);
    frequency = frequencyOfPitch(pitch);
    return frequency >= kMinimumSourceFrequency && frequency <= kMaximumSourceFrequency;
}

// The pitch of take frame f in semitones; false when it has none that
// playback may use (outside the analysis, unvoiced, out of range).
// The pitches of the lowest and highest source frequencies.
const double kLowestSourcePitch = pitchOfFrequency(kMinimumSourceFrequency);
const double kHighestSourcePitch = pitchOfFrequency(kMaximumSourceFrequency);

bool reliableFramePitch(const TakeModel& model, double f, double& pitch)
{
    if (!(f >= 0.0 && f < kAnalysedFrames))
        return false;
    auto i = static_cast<int>(f);
    if (!(loadRelaxed(model.frameVoicing[0][i]) > 0.0f))
        return false;
    pitch = loadRelaxed(model.framePitch[0][i]);
    return pitch >= kLowestSourcePitch && pitch <= kHighestSourcePitch;
}

// Between two frame pitches a and b (NaN where a frame has none) at fraction
// t: interpolated, the nearer across a step too large to follow, the one
// there is, or fallback.
double betweenFramePitches(double a, double b, double t, double fallback)
{
    const bool hasA = !std::isnan(a);
    const bool hasB = !std::isnan(b);
    if (hasA && hasB) {
        if (std::fabs(b - a) <= kMaxInterpolatedStep)
            return a + (b - a) * t;
        return t < 0.5 ? a : b;
    }
    if (hasA)
        return a;
    if (hasB)
        return b;
    return fallback;
}

// How far behind the stretched position a voice may read, in jumps of three
// periods of the frame's pitch: the lag tolerance and a fall of three
// semitones within the frame.
constexpr double kLagReach = 1.5;

constexpr double kNoPitch = std::numeric_limits<double>::quiet_NaN();
constexpr double kSeriesLimit = 1.0; // semitones

float volumeOf(const TakeModel& model, int note)
{
    float v = model.volume[note];
    return std::isfinite(v) ? v : 0.0f;
}

// Moves a read offset back inside (-period, 0] by whole periods once it
// passes upperEdge (0 or above) or falls to lowerEdge (-period or below);
// true when it jumped. Arithmetic rather than repeated steps, so no offset
// can make it loop.
bool wrapOffset(double& offset, double period, double upperEdge, double lowerEdge)
{
    bool jumped = false;
    if (offset > upperEdge) {
        offset -= std::ceil(offset / period) * period;
        jumped = true;
    }
    if (offset <= lowerEdge) {
        offset += (std::floor((-period - offset) / period) + 1.0) * period;
        jumped = true;
    }
    if (offset > upperEdge || offset <= lowerEdge) // rounding at the window's edge
        offset = 0.0;
    return jumped;
}

void applyRetune(TakeModel& model, int note, float change)
{
    float t = model.pitch[note] + model.fineTune[note] + change;
    model.pitch[note] = static_cast<float>(std::trunc(static_cast<double>(t) + 0.5));
    model.fineTune[note] = t - model.pitch[note];
    noteChanged(model, note);
}

} // namespace

double takePitchAt(const TakeModel& model, double x, double fallback)
{
    const double frames = x / kFrameLength;
    const double first = std::floor(frames);
    double a = kNoPitch;
    double b = kNoPitch;
    if (!reliableFramePitch(model, first, a))
        a = kNoPitch;
    if (!reliableFramePitch(model, first + 1.0, b))
        b = kNoPitch;
    return betweenFramePitches(a, b, frames - first, fallback);
}

double takePitchAt(const TakeModel& model, const NoteFrameTerms& terms, double x)
{
    const double frames = x / kFrameLength;
    const double first = std::floor(frames);
    const double k = first - terms.sourceFirst;
    if (!(k >= 0.0 && k < kTargetFrames - 1))
        return takePitchAt(model, x, terms.sourcePitch);
    const auto j = static_cast<std::size_t>(k);
    return betweenFramePitches(
        terms.sourcePitches[j], terms.sourcePitches[j + 1], frames - first, terms.sourcePitch);
}

double semitoneRatio(double semitones)
{
    if (!(std::fabs(semitones) <= kSeriesLimit))
        return std::exp2(semitones / kSemitonesPerOctave);
    // e^a to the fourth power of a: within 1e-8 for a semitone.
    const double a = semitones * (std::numbers::ln2 / kSemitonesPerOctave);
    return 1.0 + a * (1.0 + a * (0.5 + a * (1.0 / 6.0 + a * (1.0 / 24.0))));
}

double targetPitchAt(const NoteFrameTerms& terms, double position)
{
    const double u = (position - terms.targetOrigin) / kFrameLength - terms.targetFirst;
    if (!(u > 0.0))
        return terms.targets.front();
    if (!(u < kTargetFrames - 1))
        return terms.targets.back();
    const double first = std::floor(u);
    const auto j = static_cast<std::size_t>(first);
    return terms.targets[j] + (terms.targets[j + 1] - terms.targets[j]) * (u - first);
}

bool noteFrameTerms(TakeModel& model, int note, int frame, const ResynthesisSettings& settings,
    NoteFrameTerms& terms)
{
    const double targetStart = model.targetStart[note];
    const double targetEnd = model.targetEnd[note];
    const double sourceStart = model.sourceStart[note];
    const double sourceEnd = model.sourceEnd[note];
    const double f = frame;
    if (!(targetStart <= f && f < targetEnd))
        return false;
    const double length = targetEnd - targetStart;
    const double sourceLength = sourceEnd - sourceStart;
    if (!(length > 0.0 && sourceLength > 0.0) || !isFinite(length) || !isFinite(sourceLength))
        return false;

    terms.note = note;
    terms.stretch = length / sourceLength;
    if (!isFinite(terms.stretch) || !(terms.stretch > 0.0))
        return false;
    terms.sourceOrigin = sourceStart * kFrameLength;
    terms.targetOrigin = targetStart * kFrameLength;
    terms.targetEnd = targetEnd * kFrameLength;

    // Without a shift the offset advances by 1 - 1/K against the stretched
    // position, so the read position moves one sample per output sample.
    const double srcFrame = (f - targetStart) / terms.stretch + sourceStart;
    double rate = 1.0 - (1.0 / terms.stretch - 1.0);
    double sourcePitch = 0.0;
    double frequency = 0.0;
    bool pitched = sourceFrequency(model, srcFrame, sourcePitch, frequency);
    PitchLookup target = lookupNotePitch(model, note, static_cast<float>(f - targetStart));
    double shift = pitched && target.found ? target.pitch - sourcePitch : 0.0;
    // A note left at its measured pitch comes back with rounding of the
    // contour's arithmetic in its shift; it plays the take as it is.
    if (terms.stretch == 1.0 && std::fabs(shift) < kUnshiftedLimit)
        shift = 0.0;
    if (!target.found || !(std::fabs(shift) < settings.shiftLimit))
        pitched = false;
    if (pitched)
        rate = rate - (1.0 - std::exp2(shift / kSemitonesPerOctave));
    else
        rate = 1.0;

    double pitchFactor = std::isfinite(settings.pitchFactor) ? settings.pitchFactor : 1.0;
    terms.sampleRate = settings.sampleRate;
    terms.pitchFactor = pitchFactor;
    terms.shiftLimit = settings.shiftLimit;
    terms.stretchRate = 1.0 - 1.0 / terms.stretch;
    terms.sourcePitch = sourcePitch;
    terms.frameShift = pitched ? target.pitch - sourcePitch : 0.0;
    terms.frameRatio = std::exp2(terms.frameShift / kSemitonesPerOctave);
    terms.sourceFirst = std::floor(srcFrame) - kTargetFramesBehind;
    for (std::size_t k = 0; k < terms.sourcePitches.size(); ++k) {
        double framePitch = kNoPitch;
        if (!pitched
            || !reliableFramePitch(model, terms.sourceFirst + static_cast<double>(k), framePitch))
            framePitch = kNoPitch;
        terms.sourcePitches[k] = framePitch;
    }
    const double fineDamping = model.fineContourDamping[note];
    terms.followShare = std::isfinite(fineDamping) ? std::clamp(1.0 - fineDamping, 0.0, 1.0) : 0.0;
    terms.targetFirst = f - targetStart - kTargetFramesBehind;
    terms.targets.fill(target.pitch);
    if (pitched) {
        // The pitch the note asks for in the frames around this one, where
        // the source is sung there: the target glides from frame to frame
        // instead of stepping, and reaches back to where the voice reads.
        constexpr auto kCurrent = static_cast<std::size_t>(kTargetFramesBehind);
        // Outwards from the current frame, so a frame without a value holds
        // the one nearer to it.
        auto fill = [&](std::size_t k, std::size_t nearer) {
            const double held = terms.targets[nearer];
            terms.targets[k] = held;
            const double offset = terms.targetFirst + static_cast<double>(k);
            if (offset < 0.0)
                return;
            float voicing = 0.0f;
            PitchLookup at = lookupNotePitch(model, note, static_cast<float>(offset), &voicing);
            if (at.found && voicing > 0.0f
                && std::fabs(static_cast<double>(at.pitch) - held) <= kMaxInterpolatedStep)
                terms.targets[k] = at.pitch;
        };
        // Only as far back as the voice can read with the target following
        // it: none where the contour is flattened.
        const double reach = terms.followShare * terms.stretch * kLagReach * kPeriodMultiple
            * settings.sampleRate / frequency / kFrameLength;
        const auto behind = reach > 0.0
            ? static_cast<std::size_t>(std::fmin(std::ceil(reach) + 1.0, kCurrent))
            : std::size_t {0};
        for (std::size_t k = kCurrent; k > 0; --k) {
            if (kCurrent - k < behind)
                fill(k - 1, k);
            else
                terms.targets[k - 1] = terms.targets[k];
        }
        fill(kCurrent + 1, kCurrent);
    }
    terms.shifting = rate != 1.0;
    terms.advance = rate * pitchFactor - 1.0;
    terms.period = 0.0;
    terms.sourcePeriod = 0.0;
    terms.pitchRatio = 1.0;
    if (pitched) {
        terms.sourcePeriod = settings.sampleRate / frequency;
        if (rate != 1.0)
            terms.pitchRatio = std::exp2(shift / kSemitonesPerOctave) * pitchFactor;
        if (!(isFinite(terms.sourcePeriod) && terms.sourcePeriod > 0.0 && isFinite(terms.pitchRatio)
                && terms.pitchRatio > 0.0)) {
            terms.sourcePeriod = 0.0;
            terms.pitchRatio = 1.0;
        }
    }
    if (terms.shifting)
        terms.period = settings.sampleRate / frequency * kPeriodMultiple;
    if (!isFinite(terms.advance)
        || (terms.shifting && !(isFinite(terms.period) && terms.period > 0.0)))
        return false;

    terms.volume = volumeOf(model, note);
    terms.linkedPrevious = linkedPrevious(model, note);
    terms.startGain = terms.linkedPrevious >= 0 ? terms.volume : 0.0;
    int next = linkedNext(model, note);
    terms.endGain = next >= 0 ? volumeOf(model, next) : 0.0;
    return true;
}

int claimVoice(TakeModel& model, const NoteFrameTerms& terms, std::array<bool, kVoiceCount>& used)
{
    for (int v = 0; v < kVoiceCount; ++v)
        if (!used[v] && model.voiceNote[v] == terms.note) {
            used[v] = true;
            return v;
        }
    // The linked successor takes its predecessor's voice: the read position
    // and any crossfade run on across the cut.
    if (terms.linkedPrevious >= 0)
        for (int v = 0; v < kVoiceCount; ++v)
            if (!used[v] && model.voiceNote[v] == terms.linkedPrevious) {
                model.voiceNote[v] = terms.note;
                used[v] = true;
                return v;
            }
    for (int v = 0; v < kVoiceCount; ++v)
        if (!used[v] && model.voiceNote[v] == kNone) {
            model.voiceNote[v] = terms.note;
            used[v] = true;
            return v;
        }
    return kNone;
}

float voiceSample(TakeModel& model, int voice, const NoteFrameTerms& terms, int position)
{
    const double p = position;
    const double src = terms.sourceOrigin + (p - terms.targetOrigin) / terms.stretch;

    // The voice reads at or behind the stretched position; each time it drifts
    // out of that window it jumps by three periods while the old read
    // position fades out.
    double offset = model.voiceOffset[voice];
    double advance = terms.advance;
    double period = terms.period;
    if (terms.shifting && terms.sourcePeriod > 0.0) {
        // The rate of these few samples: from the take's pitch where the
        // voice reads to the target pitch here. A frame's single rate would
        // leave the pitch some cents off wherever the voice moves (vibrato,
        // glides) between the moment the frame's pitch describes and the
        // samples read, up to three periods behind. Worked out afresh every
        // kRateHoldLength samples (and for a note new to the voice), it is
        // held in between: the lookups then leave the chain from one
        // sample's offset to the next, which the samples run through in turn.
        const int block = position / kRateHoldLength;
        if (model.voiceRateNote[voice] == terms.note && model.voiceRateBlock[voice] == block) {
            advance = model.voiceAdvance[voice];
            period = model.voicePeriod[voice];
        } else {
            const double sung = takePitchAt(model, terms, src + offset);
            const double shift
                = targetPitchAt(terms, p + terms.followShare * offset * terms.stretch) - sung;
            const double rate
                = terms.stretchRate + terms.frameRatio * semitoneRatio(shift - terms.frameShift);
            const double sampleAdvance = rate * terms.pitchFactor - 1.0;
            const double samplePeriod
                = terms.sourcePeriod * kPeriodMultiple * semitoneRatio(terms.sourcePitch - sung);
            if (std::fabs(shift) < terms.shiftLimit && isFinite(sampleAdvance) && isFinite(samplePeriod)
                && samplePeriod > 0.0) {
                advance = sampleAdvance;
                period = samplePeriod;
            }
            model.voiceRateNote[voice] = terms.note;
            model.voiceRateBlock[voice] = block;
            model.voiceAdvance[voice] = advance;
            model.voicePeriod[voice] = period;
        }
    }
    if (terms.shifting) {
        offset += advance;
        if (!isFinite(offset))
            offset = 0.0;
        const double before = offset;
        // While a crossfade runs, the window widens on both sides: a second
        // jump would cut off the position still fading out, a click.
        const bool fading = model.voiceFadeCount[voice] > 0.0f;
        const double upperEdge = fading ? kLagTolerance * period : 0.0;
        const double lowerEdge
            = advance > 0.0 || fading ? -(1.0 + kLagTolerance) * period : -period;
        if (wrapOffset(offset, period, upperEdge, lowerEdge)) {
            model.voiceFadeCount[voice] = static_cast<float>(kCrossfadeLength);
            model.voiceFadeOffset[voice] = static_cast<float>(before);
        }
        model.voiceOffset[voice] = static_cast<float>(offset);
        offset = model.voiceOffset[voice];
    }

    double s;
    if (model.voiceFadeCount[voice] > 0.0f) {
        model.voiceFadeCount[voice] -= 1.0f;
        double c = model.voiceFadeCount[voice] / kCrossfadeLength;
        double fadeOffset = model.voiceFadeOffset[voice];
        s = readTake(model, src + offset) * (1.0 - c) + readTake(model, src + fadeOffset) * c;
        model.voiceFadeOffset[voice] = static_cast<float>(fadeOffset + advance);
    } else {
        s = readTake(model, src + offset);
    }

    return edgeRamped(terms, position, s);
}

void releaseUnusedVoices(TakeModel& model, const std::array<bool, kVoiceCount>& used)
{
    for (int v = 0; v < kVoiceCount; ++v)
        if (!used[v]) {
            model.voiceNote[v] = kNone;
            model.voiceOffset[v] = 0.0f;
            model.voiceFadeOffset[v] = 0.0f;
            model.voiceFadeCount[v] = 0.0f;
            model.voiceRateNote[v] = kNone;
        }
}

void resetVoices(TakeModel& model) { releaseUnusedVoices(model, {}); }

void Resynthesis::planFrame(TakeModel& model, int frame, const ResynthesisSettings& settings)
{
    activeCount = 0;
    for (int i = 0; i < model.noteCount && i < kMaxNotes; ++i)
        if (noteFrameTerms(model, i, frame, settings, active[activeCount]))
            ++activeCount;
    planValid = true;
    plannedFrame = frame;
    plannedSettings = settings;
}

void Resynthesis::claimVoices(TakeModel& model, int position, const ResynthesisSettings& settings)
{
    const int frame = position / kFrameLength;
    model.playCursor.store(static_cast<float>(frame), std::memory_order_relaxed);
    if (!planValid || frame != plannedFrame || settings.sampleRate != plannedSettings.sampleRate
        || settings.pitchFactor != plannedSettings.pitchFactor
        || settings.keepFormants != plannedSettings.keepFormants)
        planFrame(model, frame, settings);

    std::array<bool, kVoiceCount> used {};
    for (int k = 0; k < activeCount; ++k)
        claimed[static_cast<std::size_t>(k)] = claimVoice(model, active[k], used);
    releaseUnusedVoices(model, used);
    for (int v = 0; v < kVoiceCount; ++v)
        if (!used[static_cast<std::size_t>(v)])
            formantVoices.release(v);
}

bool Resynthesis::voicesSettled(const TakeModel& model) const
{
    bool waiting = false;
    for (int k = 0; k < activeCount; ++k)
        waiting = waiting || claimed[static_cast<std::size_t>(k)] == kNone;
    if (!waiting)
        return true;
    for (int v = 0; v < kVoiceCount; ++v)
        if (model.voiceNote[v] == kNone)
            return false;
    return true;
}

float Resynthesis::outputSampleAt(
    TakeModel& model, int position, const ResynthesisSettings& settings)
{
    claimVoices(model, position, settings);
    float sum = 0.0f;
    for (int k = 0; k < activeCount; ++k) {
        const int voice = claimed[static_cast<std::size_t>(k)];
        if (voice == kNone)
            continue;
        if (settings.keepFormants)
            sum += edgeRamped(
                active[k], position, formantVoices.sample(model, voice, active[k], position));
        else
            sum += voiceSample(model, voice, active[k], position);
    }
    return std::isfinite(sum) ? sum : 0.0f;
}

void Resynthesis::render(
    TakeModel& model, int first, int count, const ResynthesisSettings& settings, float* out)
{
    for (int n = 0; n < count;) {
        const int position = first + n;
        // To the end of position's frame: the plan and the voices hold there.
        const int frameEnd
            = position >= 0 ? (position / kFrameLength + 1) * kFrameLength : position + 1;
        claimVoices(model, position, settings);
        const int span = voicesSettled(model) ? std::min(count - n, frameEnd - position) : 1;
        float* spanOut = out + n;
        std::fill_n(spanOut, span, 0.0f);
        // Note after note, each adding into every sample of the span: the
        // sum of a sample takes the notes in the same order as outputSampleAt.
        for (int k = 0; k < activeCount; ++k) {
            const int voice = claimed[static_cast<std::size_t>(k)];
            if (voice == kNone)
                continue;
            if (settings.keepFormants) {
                formantVoices.render(model, voice, active[k], position, span, spanOut);
            } else {
                for (int i = 0; i < span; ++i)
                    spanOut[i] += voiceSample(model, voice, active[k], position + i);
            }
        }
        for (int i = 0; i < span; ++i)
            spanOut[i] = std::isfinite(spanOut[i]) ? spanOut[i] : 0.0f;
        n += span;
    }
}

void Resynthesis::midiRetune(TakeModel& model, int position)
{
    const int key = model.heldNotes[0];
    if (key == kNone)
        return;
    const auto frame = static_cast<float>(position / kFrameLength);
    for (int i = 0; i < model.noteCount && i < kMaxNotes; ++i) {
        if (!(model.targetStart[i] < frame + kRetuneLookahead && model.targetEnd[i] > frame))
            continue;
        // An unmeasured note is measured first, so that it keeps the meaning of
        // its unset pitch instead of gliding from -1000.
        if (model.pitch[i] == kPitchUnset)
            measureSourcePitch(model, i);
        float c = static_cast<float>(key - kMidiKeyOffset) - model.pitch[i] - model.fineTune[i];
        if (!std::isfinite(c))
            continue;
        if (std::fabs(c) > kRetuneTolerance && model.targetStart[i] < frame)
            applyRetune(model, i, std::fmax(-kRetuneStep, std::fmin(kRetuneStep, c)));
        else if (std::fabs(c) > kRetuneSnap)
            applyRetune(model, i, c);
        else
            continue;
        planValid = false;
    }
}

void Resynthesis::beginRender(TakeModel& model)
{
    resetVoices(model);
    formantVoices.reset();
    planValid = false;
}

void Resynthesis::endRender(TakeModel& model, int finalPosition)
{
    resetVoices(model);
    formantVoices.reset();
    planValid = false;
    model.requestedTakePosition.store(finalPosition, std::memory_order_relaxed);
}
