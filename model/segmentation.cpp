#include "model/segmentation.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kAnalysisRow = 0;
constexpr int kFirstTurningFrame = 7; // i - 3 .. i + 3 must lie inside the track
constexpr int kTurningHalfWidth = 3;
constexpr float kNoteChangeSemitones = 1.0f;
constexpr float kSourcePitchLow = -30.0f; // inclusive
constexpr float kSourcePitchHigh = 24.0f; // exclusive
constexpr float kSmoothingLimit = 24.0f; // exclusive on both sides
constexpr double kRoundingShift = 60.5; // nearest semitone: trunc(x + 60.5) - 60
constexpr double kRoundingBase = 60.0;

constexpr float kInitialVolume = 1.0f;
constexpr float kInitialVibratoRate = 0.4f;
constexpr float kInitialBlending = 0.5f;

float pitchOf(const TakeModel& model, int row, int frame)
{
    return loadRelaxed(model.framePitch[row][frame]);
}

float voicingOf(const TakeModel& model, int row, int frame)
{
    return loadRelaxed(model.frameVoicing[row][frame]);
}

bool voiced(const TakeModel& model, int frame)
{
    return voicingOf(model, kAnalysisRow, frame) > 0.0f;
}

// A local extreme of row 0 with seven voiced frames around it.
bool isTurningPoint(const TakeModel& model, int i)
{
    if (i < kFirstTurningFrame)
        return false;
    for (int k = i - kTurningHalfWidth; k <= i + kTurningHalfWidth; ++k)
        if (!voiced(model, k))
            return false;
    float before = pitchOf(model, kAnalysisRow, i - 1);
    float here = pitchOf(model, kAnalysisRow, i);
    float after = pitchOf(model, kAnalysisRow, i + 1);
    return (here < before && here < after) || (here > before && here > after);
}

// The whole frames of [start, end) that lie in the analysed range, as
// [first, last). Empty when the span is empty, reversed or not finite.
void analysedFrameSpan(float start, float end, int& first, int& last)
{
    first = 0;
    last = 0;
    if (!std::isfinite(start) || !std::isfinite(end))
        return;
    double lo = std::max(0.0, std::trunc(static_cast<double>(start)));
    double hi = std::min(static_cast<double>(kAnalysedFrames), std::ceil(static_cast<double>(end)));
    if (lo >= hi)
        return;
    first = static_cast<int>(lo);
    last = static_cast<int>(hi);
}

void clearComputedContour(TakeModel& model, int note)
{
    for (float& point : model.contour[note])
        if (!(point >= kDrawnPointThreshold))
            point = kPitchUnset;
}

void writeNewNote(TakeModel& model, int m, int boundary)
{
    auto frame = static_cast<float>(boundary);
    model.targetStart[m] = frame;
    model.targetEnd[m] = frame + 1.0f;
    model.sourceStart[m] = frame;
    model.sourceEnd[m] = frame + 1.0f;
    model.sourceRow[m] = kAnalysisRow;
    model.pitch[m] = kPitchUnset;
    model.fineTune[m] = 0.0f;
    model.volume[m] = kInitialVolume;
    model.sourcePitch[m] = kPitchUnset;
    model.rawContourDamping[m] = 0.0f;
    model.fineContourDamping[m] = 0.0f;
    model.vibratoAmplitude[m] = 0.0f;
    model.vibratoRate[m] = kInitialVibratoRate;
    model.vibratoAttack[m] = 0.0f;
    model.blending[m] = kInitialBlending;
}

void closeNote(TakeModel& model, int n, float end, float sourcePitch)
{
    model.targetEnd[n] = end;
    model.sourceEnd[n] = end;
    model.sourcePitch[n] = sourcePitch;
    model.pitch[n] = kPitchUnset;
    measureSourcePitch(model, n);
}

void selectOnce(TakeModel& model, int note)
{
    for (int s = 0; s < model.selectionCount; ++s)
        if (model.selection[s] == note)
            return;
    if (model.selectionCount < kMaxSelection)
        model.selection[model.selectionCount++] = note;
}

// The frame just past the recorded part of the take, inside the analysed range.
int recordedEndFrame(const TakeModel& model)
{
    int length = model.recordedLength.load(std::memory_order_relaxed);
    int frames = (std::max(length, 0) + kFrameLength - 1) / kFrameLength;
    return std::min(frames, kAnalysedFrames);
}

} // namespace

void segmentNotes(TakeModel& model)
{
    model.noteCount = 0;
    model.selectionCount = 0;
    float sum = 0.0f;
    float count = 0.0f;
    int lastTurn = 0;
    float closedMean = 0.0f;
    // Turning points since the newest note began: they differ from sum and
    // count once the table is full and boundaries stop creating notes.
    float lastNoteSum = 0.0f;
    float lastNoteCount = 0.0f;

    for (int i = 0; i < kAnalysedFrames; ++i) {
        bool boundary = (i == 0);
        int b = 0;
        float p = 0.0f;
        bool turning = isTurningPoint(model, i);
        if (turning) {
            p = pitchOf(model, kAnalysisRow, i);
            if (count == 0.0f || std::fabs(sum / count - p) < kNoteChangeSemitones) {
                sum += p;
                count += 1.0f;
            } else {
                boundary = true;
                b = (i + lastTurn) / 2;
                closedMean = sum / count;
                sum = p;
                count = 1.0f;
            }
            lastTurn = i;
        }
        if (!boundary || model.noteCount >= kMaxNotes) {
            if (turning) {
                lastNoteSum += p;
                lastNoteCount += 1.0f;
            }
            continue;
        }

        if (model.noteCount > 0) {
            int n = model.noteCount - 1;
            if (static_cast<float>(b) <= model.targetEnd[n]) {
                // Shorter than two frames: the note before absorbs its span.
                --model.noteCount;
                n = model.noteCount - 1;
            }
            if (n >= 0)
                closeNote(model, n, static_cast<float>(b), closedMean);
        }
        int m = model.noteCount;
        writeNewNote(model, m, b);
        model.prevNote[m] = m - 1;
        model.nextNote[m] = kLinkUnresolved;
        if (m > 0)
            model.nextNote[m - 1] = m;
        ++model.noteCount;
        noteChanged(model, m);
        selectOnce(model, m);
        lastNoteSum = turning ? p : 0.0f;
        lastNoteCount = turning ? 1.0f : 0.0f;
    }

    // The last note runs to the end of the recorded part of the take, and at
    // least one frame.
    int last = model.noteCount - 1;
    if (last < 0)
        return;
    float start = model.targetStart[last];
    float end = std::max(static_cast<float>(recordedEndFrame(model)), start + 1.0f);
    float mean = lastNoteCount > 0.0f ? lastNoteSum / lastNoteCount : kPitchUnset;
    closeNote(model, last, end, mean);
    noteChanged(model, last);
}

void measureSourcePitch(TakeModel& model, int note)
{
    if (note < 0 || note >= kMaxNotes)
        return;
    float& source = model.sourcePitch[note];
    if (source == kPitchUnset || !std::isfinite(source)) {
        int first = 0;
        int last = 0;
        analysedFrameSpan(model.sourceStart[note], model.sourceEnd[note], first, last);
        double sum = 0.0;
        int n = 0;
        for (int i = first; i < last; ++i) {
            float p = pitchOf(model, kAnalysisRow, i);
            if (voicingOf(model, kAnalysisRow, i) > 0.0f && p >= kSourcePitchLow
                && p < kSourcePitchHigh) {
                sum += p;
                ++n;
            }
        }
        source = n > 0 ? static_cast<float>(sum / n) : 0.0f;
    }
    double whole = std::trunc(static_cast<double>(source) + kRoundingShift) - kRoundingBase;
    model.pitch[note] = static_cast<float>(whole);
    model.fineTune[note] = source - model.pitch[note];
}

float smoothedFramePitch(const TakeModel& model, int row, float t, float r)
{
    if (row < 0 || row >= kAnalysisRows)
        return 0.0f;
    if (!(t >= 0.0f && t < static_cast<float>(kAnalysedFrames)))
        return 0.0f;
    int c = static_cast<int>(t + 0.5f);
    if (r == 0.0f)
        return pitchOf(model, row, c);
    double sum = pitchOf(model, row, c);
    int n = 1;
    // No neighbour lies more than the analysed range away.
    double radius
        = std::isnan(r) ? 0.0 : std::min(static_cast<double>(r), double {kAnalysedFrames});
    auto addIfUsable = [&](int k) {
        float p = pitchOf(model, row, k);
        if (voicingOf(model, row, k) > 0.0f && p > -kSmoothingLimit && p < kSmoothingLimit) {
            sum += p;
            ++n;
        }
    };
    for (int i = 1; i <= radius; ++i) {
        if (c + i < kAnalysedFrames)
            addIfUsable(c + i);
        if (c - i >= 0)
            addIfUsable(c - i);
    }
    return static_cast<float>(sum / n);
}

void noteChanged(TakeModel& model, int note)
{
    if (note < 0 || note >= model.noteCount || note >= kMaxNotes)
        return;
    clearComputedContour(model, note);

    int previous = kNone;
    int next = kNone;
    for (int i = 0; i < model.noteCount; ++i) {
        if (model.targetEnd[i] == model.targetStart[note])
            previous = i;
        if (model.targetStart[i] == model.targetEnd[note])
            next = i;
        // A note that was linked to this one may be no longer: it looks its
        // neighbour up afresh, and its transition towards this note is redone.
        if (i != note && (model.prevNote[i] == note || model.nextNote[i] == note)) {
            if (model.prevNote[i] == note)
                model.prevNote[i] = kLinkUnresolved;
            if (model.nextNote[i] == note)
                model.nextNote[i] = kLinkUnresolved;
            clearComputedContour(model, i);
        }
    }
    // The new neighbours look their side of the seam up afresh as well.
    if (previous != kNone) {
        clearComputedContour(model, previous);
        model.nextNote[previous] = kLinkUnresolved;
    }
    if (next != kNone) {
        clearComputedContour(model, next);
        model.prevNote[next] = kLinkUnresolved;
    }
    model.prevNote[note] = previous;
    model.nextNote[note] = next;

    model.noteEditorRedrawRequested.store(true, std::memory_order_relaxed);
}
