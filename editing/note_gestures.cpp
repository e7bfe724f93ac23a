#include "editing/note_gestures.h"

#include "editing/note_list.h"
#include "editing/octave_fold.h"
#include "engine/contour_lookup.h"
#include "model/segmentation.h"

#include <algorithm>
#include <cmath>

namespace {

// Half a row below a pitch class's row there is half a row of room above it;
// a drawn point's offset is taken in -6 .. +6 by folding around that.
constexpr float kDrawnOffsetFold = 5.5f;

float targetLength(const TakeModel& model, int note)
{
    return model.targetEnd[note] - model.targetStart[note];
}

float sourceLength(const TakeModel& model, int note)
{
    return model.sourceEnd[note] - model.sourceStart[note];
}

// Copies everything a split's second half shares with the note it comes from.
void copySplitSettings(TakeModel& model, int from, int to)
{
    model.targetEnd[to] = model.targetEnd[from];
    model.sourceEnd[to] = model.sourceEnd[from];
    model.sourceRow[to] = model.sourceRow[from];
    model.pitch[to] = model.pitch[from];
    model.fineTune[to] = model.fineTune[from];
    model.volume[to] = model.volume[from];
    model.rawContourDamping[to] = model.rawContourDamping[from];
    model.fineContourDamping[to] = model.fineContourDamping[from];
    model.vibratoAmplitude[to] = model.vibratoAmplitude[from];
    model.vibratoRate[to] = model.vibratoRate[from];
    model.blending[to] = model.blending[from];
    model.sourcePitch[to] = kPitchUnset;
    model.vibratoAttack[to] = 0.0f;
}

// Gives the second half of a split the contour points drawn over it (offsets
// count from a note's start); the row it takes over may hold a deleted note's.
void moveDrawnContour(TakeModel& model, int from, int to, int offset)
{
    for (int j = 0; j < kContourLength; ++j) {
        int source = j + offset;
        model.contour[to][j]
            = source >= 0 && source < kContourLength ? model.contour[from][source] : kPitchUnset;
    }
}

bool withinTake(float frame) { return frame >= 0.0f && frame <= static_cast<float>(kTakeFrames); }

} // namespace

void ensureMeasuredPitch(TakeModel& model, int note)
{
    if (isNoteIndex(model, note) && model.pitch[note] == kPitchUnset)
        measureSourcePitch(model, note);
}

int splitNoteAt(TakeModel& model, int x)
{
    if (model.noteCount >= kMaxNotes)
        return kNone;
    const float cut = static_cast<float>(x);
    for (int i = 0; i < model.noteCount; ++i) {
        if (!(model.targetStart[i] < cut - kSplitMargin && cut + kSplitMargin < model.targetEnd[i]))
            continue;
        ensureMeasuredPitch(model, i);
        // The source is cut where the audio heard at x lies, so both halves
        // keep the note's stretch factor.
        float sourceCut = model.sourceStart[i]
            + (cut - model.targetStart[i]) * sourceLength(model, i) / targetLength(model, i);
        int n = model.noteCount;
        copySplitSettings(model, i, n);
        model.targetStart[n] = cut;
        model.sourceStart[n] = sourceCut;
        moveDrawnContour(model, i, n, x - static_cast<int>(model.targetStart[i]));
        model.noteCount = n + 1;
        noteChanged(model, n);

        model.targetEnd[i] = cut;
        model.sourceEnd[i] = sourceCut;
        model.sourcePitch[i] = kPitchUnset;
        noteChanged(model, i);
        return n;
    }
    return kNone;
}

int joinNoteAt(TakeModel& model, int x)
{
    const float frame = static_cast<float>(x);
    for (int i = 0; i < model.noteCount; ++i) {
        if (!(model.targetStart[i] <= frame && frame < model.targetEnd[i]))
            continue;
        int k = linkedNext(model, i);
        if (k < 0)
            continue;
        model.targetEnd[i] = model.targetEnd[k];
        model.sourceEnd[i] = model.sourceEnd[k];
        deleteNote(model, k);
        int joined = k < i ? i - 1 : i;
        noteChanged(model, joined);
        return joined;
    }
    return kNone;
}

void shiftSelectedPitches(TakeModel& model, int semitones)
{
    for (int s = 0; s < model.selectionCount; ++s) {
        int note = model.selection[s];
        if (!isNoteIndex(model, note))
            continue;
        ensureMeasuredPitch(model, note);
        model.pitch[note] += static_cast<float>(semitones);
    }
}

void shiftSelectedNotesInTime(TakeModel& model, float dx)
{
    for (int s = 0; s < model.selectionCount; ++s) {
        int note = model.selection[s];
        if (!isNoteIndex(model, note))
            continue;
        model.targetStart[note] += dx;
        model.targetEnd[note] += dx;
    }
}

void refreshSelectedNotes(TakeModel& model)
{
    for (int s = 0; s < model.selectionCount; ++s)
        noteChanged(model, model.selection[s]);
}

void stretchNote(TakeModel& model, int g, int zone, float dx)
{
    if (!isNoteIndex(model, g))
        return;
    const float halfSource = sourceLength(model, g) / 2.0f;
    if (zone == kLeftEdgeZone) {
        int k = linkedPrevious(model, g);
        float length = targetLength(model, g) - dx;
        if (length < halfSource || length <= 0.0f)
            return;
        if (k >= 0 && !(targetLength(model, k) + dx > sourceLength(model, k) / 2.0f))
            return;
        if (k >= 0)
            model.targetEnd[k] += dx;
        model.targetStart[g] += dx;
    } else {
        int k = linkedNext(model, g);
        float length = targetLength(model, g) + dx;
        if (length < halfSource || length <= 0.0f)
            return;
        if (k >= 0 && !(targetLength(model, k) - dx > sourceLength(model, k) / 2.0f))
            return;
        if (k >= 0)
            model.targetStart[k] += dx;
        model.targetEnd[g] += dx;
    }
}

void trimNote(TakeModel& model, int g, int zone, float dx)
{
    if (!isNoteIndex(model, g))
        return;
    // The grabbed edge alone moves: a left edge dragged past the note's end
    // stops there rather than moving the other edge.
    if (zone == kLeftEdgeZone) {
        float target = model.targetStart[g] + dx;
        float source = model.sourceStart[g] + dx;
        if (target < model.targetEnd[g] && source < model.sourceEnd[g] && withinTake(source)) {
            model.sourceStart[g] = source;
            model.targetStart[g] = target;
        }
        return;
    }
    float target = model.targetEnd[g] + dx;
    float source = model.sourceEnd[g] + dx;
    if (target > model.targetStart[g] && source > model.sourceStart[g] && withinTake(source)) {
        model.sourceEnd[g] = source;
        model.targetEnd[g] = target;
    }
}

float drawnContourValue(const TakeModel& model, int g, float t)
{
    float offset = t - (model.pitch[g] + model.fineTune[g]) + kDrawnOffsetFold;
    return foldToOctave(offset) + kDrawnPointBase - kDrawnOffsetFold;
}

void writeContourSpan(TakeModel& model, int g, int a, int b, float value)
{
    if (!isNoteIndex(model, g))
        return;
    int first = std::max(std::min(a, b), 0);
    int last = std::min(std::max(a, b), kContourLength);
    for (int j = first; j < last; ++j)
        model.contour[g][j] = value;
}

void selectNotesInBand(TakeModel& model, int first, int last)
{
    model.selectionCount = 0;
    for (int i = 0; i < model.noteCount && model.selectionCount < kMaxSelection; ++i) {
        if (static_cast<float>(last) > model.targetStart[i]
            && static_cast<float>(first) < model.targetEnd[i]) {
            model.selection[model.selectionCount++] = i;
            noteChanged(model, i);
        }
    }
}

bool isSelected(const TakeModel& model, int note)
{
    for (int s = 0; s < model.selectionCount; ++s)
        if (model.selection[s] == note)
            return true;
    return false;
}
