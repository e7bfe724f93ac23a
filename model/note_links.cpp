#include "model/note_links.h"

#include <cmath>

namespace {

bool linkedBefore(const TakeModel& model, int k, int note)
{
    return model.sourceEnd[k] == model.sourceStart[note]
        && std::fabs(model.targetEnd[k] - model.targetStart[note]) < 1.0f;
}

bool linkedAfter(const TakeModel& model, int k, int note)
{
    return model.sourceStart[k] == model.sourceEnd[note]
        && std::fabs(model.targetStart[k] - model.targetEnd[note]) < 1.0f;
}

template <typename Relation>
int resolveLink(TakeModel& model, std::array<int, kMaxNotes>& cache, int note, Relation linked)
{
    if (note < 0 || note >= kMaxNotes)
        return kNone;
    int cached = cache[note];
    if (cached >= kNone && cached < model.noteCount)
        return cached;
    int found = kNone;
    for (int k = 0; k < model.noteCount; ++k)
        if (k != note && linked(model, k, note))
            found = k;
    cache[note] = found;
    return found;
}

} // namespace

int leftNeighbour(const TakeModel& model, int note)
{
    int found = kNone;
    for (int k = 0; k < model.noteCount; ++k)
        if (model.targetEnd[k] == model.targetStart[note])
            found = k;
    return found;
}

int rightNeighbour(const TakeModel& model, int note)
{
    int found = kNone;
    for (int k = 0; k < model.noteCount; ++k)
        if (model.targetStart[k] == model.targetEnd[note])
            found = k;
    return found;
}

bool isMemoEntrySet(float entry) { return entry > kMemoUnsetBelow && std::isfinite(entry); }

void clearComputedContour(TakeModel& model, int note)
{
    for (float& point : model.contour[note])
        if (!isDrawnPoint(point))
            point = kPitchUnset;
}

int linkedPrevious(TakeModel& model, int note)
{
    return resolveLink(model, model.prevNote, note, linkedBefore);
}

int linkedNext(TakeModel& model, int note)
{
    return resolveLink(model, model.nextNote, note, linkedAfter);
}

void relinkChangedNote(TakeModel& model, int note)
{
    const int previous = leftNeighbour(model, note);
    const int next = rightNeighbour(model, note);
    // A note that was linked to this one may be no longer: it looks its
    // neighbour up afresh, and its transition towards this note is redone.
    for (int i = 0; i < model.noteCount; ++i) {
        if (i == note || (model.prevNote[i] != note && model.nextNote[i] != note))
            continue;
        if (model.prevNote[i] == note)
            model.prevNote[i] = kLinkUnresolved;
        if (model.nextNote[i] == note)
            model.nextNote[i] = kLinkUnresolved;
        clearComputedContour(model, i);
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
}
