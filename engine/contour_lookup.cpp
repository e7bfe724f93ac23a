#include "engine/contour_lookup.h"

#include "model/segmentation.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kFirstUseRadius = 15.0f;
constexpr float kContourRadius = 10.0f;
constexpr float kVibratoAttackFrames = 150.0f;
constexpr float kBlendingFrames = 20.0f;
constexpr float kTransitionMargin = 2.0f;
// A transition reaches at most this share of its note's length into the
// note. Half a zone (5 frames by default) is a short part of a long note, but
// it would cover most of a 0.15 s note of 13 frames, and the steady part of
// such a note would then miss its semitone by a tenth of the jump at each end.
constexpr double kTransitionReachShare = 0.25;

// How far a transition of half a zone reaches into a note of this length.
double transitionReach(double halfZone, double length)
{
    return std::min(halfZone, kTransitionReachShare * length);
}

bool validRow(int row) { return row >= 0 && row < kAnalysisRows; }

// Nearest whole frame of a float frame position: trunc(x + 0.5). Positions
// outside the analysed range give -1.
int nearestAnalysedFrame(double x)
{
    double rounded = std::trunc(x + 0.5);
    if (!(rounded >= 0.0 && rounded < kAnalysedFrames))
        return -1;
    return static_cast<int>(rounded);
}

// The voicing of the source frame nearest e; 0 outside the analysis.
float sourceVoicing(const TakeModel& model, int row, double e)
{
    int frame = nearestAnalysedFrame(e);
    if (!validRow(row) || frame < 0)
        return 0.0f;
    return loadRelaxed(model.frameVoicing[row][frame]);
}

// Fills pitch, fineTune and sourcePitch the first time a note is looked up.
void measureOnFirstUse(TakeModel& model, int note)
{
    if (model.pitch[note] == kPitchUnset)
        measureSourcePitch(model, note);
    if (model.sourcePitch[note] == kPitchUnset) {
        double middle = std::trunc(
            (static_cast<double>(model.sourceStart[note]) + model.sourceEnd[note]) / 2.0);
        model.sourcePitch[note] = smoothedFramePitch(
            model, model.sourceRow[note], static_cast<float>(middle), kFirstUseRadius);
    }
}

// The measured movement of the sung pitch moved onto the note's target pitch.
double baseContour(const TakeModel& model, int note, double e)
{
    double target = static_cast<double>(model.pitch[note]) + model.fineTune[note];
    int row = model.sourceRow[note];
    // No pitch track to follow (a row nothing fills, or frames past the
    // analysed range): the flat target.
    if (!validRow(row) || !(e >= 0.0 && e < kAnalysedFrames))
        return target;
    auto frame = static_cast<float>(e);
    double a = smoothedFramePitch(model, row, frame, kContourRadius);
    double b
        = smoothedFramePitch(model, row, frame, kContourRadius * model.fineContourDamping[note]);
    return target + (1.0 - model.rawContourDamping[note]) * (a - model.sourcePitch[note]) + (b - a);
}

double addedVibrato(const TakeModel& model, int note, double x)
{
    double amplitude = model.vibratoAmplitude[note];
    if (!(amplitude > 0.0))
        return 0.0;
    double depth = amplitude;
    double attack = model.vibratoAttack[note];
    if (attack * kVibratoAttackFrames > x)
        depth = x * amplitude / attack / kVibratoAttackFrames;
    return std::sin(x * model.vibratoRate[note] / 2.0) * depth;
}

// Half the jump from the left neighbour's last frame to this note's start,
// fading out over reach frames. None when either frame at the seam is
// unvoiced: the pitch stored there is no pitch the voice sang, and a pull
// towards it would bend the voiced frames after the seam by semitones.
double entryTransition(TakeModel& model, int note, double x, double reach)
{
    int k = leftNeighbour(model, note);
    if (k == kNone)
        return 0.0;
    float v = 0.0f;
    float lengthK = model.targetEnd[k] - model.targetStart[k];
    PitchLookup q = lookupNotePitch(model, k, lengthK - 1.0f, &v, true);
    if (!q.found || !(v > 0.0f))
        return 0.0;
    float ownVoicing = 0.0f;
    PitchLookup own = lookupNotePitch(model, note, 0.0f, &ownVoicing, true);
    if (!own.found || !(ownVoicing > 0.0f))
        return 0.0;
    double d = static_cast<double>(own.pitch) - q.pitch;
    return -d * 0.5 * (1.0 - x / reach);
}

// Half the jump from this note's last frame to the right neighbour's start,
// fading in over half the successor's zone (at most the reach share of this
// note); none across an unvoiced frame.
double exitTransition(TakeModel& model, int note, double x, double length)
{
    int successor = linkedNext(model, note);
    double zone = successor >= 0 ? kBlendingFrames * model.blending[successor] : 0.0;
    const double reach = transitionReach(zone / 2.0, length);
    if (!(reach > length - x))
        return 0.0;
    int k = rightNeighbour(model, note);
    if (k == kNone)
        return 0.0;
    float v = 0.0f;
    PitchLookup q = lookupNotePitch(model, k, 0.0f, &v, true);
    if (!q.found || !(v > 0.0f))
        return 0.0;
    float ownVoicing = 0.0f;
    PitchLookup own
        = lookupNotePitch(model, note, static_cast<float>(length - 1.0), &ownVoicing, true);
    if (!own.found || !(ownVoicing > 0.0f))
        return 0.0;
    double d = static_cast<double>(q.pitch) - own.pitch;
    return d * 0.5 * (1.0 - (length - x) / reach);
}

} // namespace

PitchLookup lookupNotePitch(
    TakeModel& model, int note, float offset, float* voicingOut, bool nested)
{
    if (note < 0 || note >= kMaxNotes || !std::isfinite(offset))
        return {};
    const double x = offset;
    measureOnFirstUse(model, note);

    const double length = static_cast<double>(model.targetEnd[note]) - model.targetStart[note];
    if (!(x >= 0.0 && x < length))
        return {};
    const double sourceStart = model.sourceStart[note];
    const double sourceEnd = model.sourceEnd[note];
    const double e = sourceStart + x / length * (sourceEnd - sourceStart);
    const int row = model.sourceRow[note];
    // Offsets of 400 frames and more are computed every time.
    const int slot = x + 0.5 < kContourLength ? static_cast<int>(x + 0.5) : kContourLength;
    const bool memoised = !nested && slot < kContourLength;

    if (memoised) {
        float entry = model.contour[note][slot];
        if (isMemoEntrySet(entry)) {
            float pitch = entry;
            if (isDrawnPoint(entry))
                pitch = entry - kDrawnPointBase + model.pitch[note] + model.fineTune[note];
            if (!std::isfinite(pitch))
                return {};
            if (voicingOut)
                *voicingOut = sourceVoicing(model, row, e);
            return {pitch, true};
        }
    }
    if (!(e >= sourceStart && e < sourceEnd))
        return {};

    double p = baseContour(model, note, e);
    if (!nested)
        p += addedVibrato(model, note, x);
    if (!std::isfinite(p))
        return {};
    if (voicingOut)
        *voicingOut = sourceVoicing(model, row, e);

    const double zone = kBlendingFrames * static_cast<double>(model.blending[note]);
    if (nested || !(zone + kTransitionMargin < length))
        return {static_cast<float>(p), true};
    const double entryReach = transitionReach(zone / 2.0, length);
    if (x < entryReach)
        p += entryTransition(model, note, x, entryReach);
    p += exitTransition(model, note, x, length);
    if (!std::isfinite(p))
        return {};

    auto pitch = static_cast<float>(p);
    // A value above the drawn-point threshold would read back as a drawn point.
    if (memoised && isMemoisablePitch(pitch))
        model.contour[note][slot] = pitch;
    return {pitch, true};
}

float notePitchAt(TakeModel& model, int note, float offset, float* voicingOut, bool nested)
{
    return lookupNotePitch(model, note, offset, voicingOut, nested).pitch;
}
