#include "editing/note_list.h"

#include "model/segmentation.h"

#include <algorithm>

namespace {

constexpr float kDuplicateInterval = 2.0f; // a whole tone above the original
constexpr float kDuplicateVolume = 0.5f;

using FloatAttribute = NoteArray TakeModel::*;
constexpr FloatAttribute kFloatAttributes[] = {&TakeModel::targetStart, &TakeModel::targetEnd,
    &TakeModel::sourceStart, &TakeModel::sourceEnd, &TakeModel::pitch, &TakeModel::fineTune,
    &TakeModel::volume, &TakeModel::sourcePitch, &TakeModel::rawContourDamping,
    &TakeModel::fineContourDamping, &TakeModel::vibratoAmplitude, &TakeModel::vibratoRate,
    &TakeModel::vibratoAttack, &TakeModel::blending};

void copyAttributes(TakeModel& model, int from, int to)
{
    for (FloatAttribute attribute : kFloatAttributes)
        (model.*attribute)[to] = (model.*attribute)[from];
    model.sourceRow[to] = model.sourceRow[from];
}

// Removes a valid note. Selection entries above it drop by one, so each still
// names the note it named; an entry naming the removed note itself becomes
// kNone, so that a repeated entry cannot remove the note that moved into its
// slot.
void removeNote(TakeModel& model, int note)
{
    noteChanged(model, note);
    model.noteCount -= 1;
    for (int i = note; i < model.noteCount; ++i) {
        copyAttributes(model, i + 1, i);
        model.contour[i] = model.contour[i + 1];
    }
    model.prevNote.fill(kLinkUnresolved);
    model.nextNote.fill(kLinkUnresolved);
    for (int k = 0; k < model.selectionCount; ++k) {
        int& entry = model.selection[k];
        if (entry == note)
            entry = kNone;
        else if (entry > note)
            entry -= 1;
    }
}

} // namespace

void deleteNote(TakeModel& model, int note)
{
    if (!isNoteIndex(model, note))
        return;
    removeNote(model, note);
    int kept = 0;
    for (int k = 0; k < model.selectionCount; ++k)
        if (isNoteIndex(model, model.selection[k]))
            model.selection[kept++] = model.selection[k];
    model.selectionCount = kept;
}

void deleteSelectedNotes(TakeModel& model)
{
    for (int k = 0; k < model.selectionCount; ++k)
        if (isNoteIndex(model, model.selection[k]))
            removeNote(model, model.selection[k]);
    model.selectionCount = 0;
}

void duplicateSelectedNotes(TakeModel& model)
{
    for (int k = 0; k < model.selectionCount && model.noteCount < kMaxNotes; ++k) {
        int original = model.selection[k];
        if (!isNoteIndex(model, original))
            continue;
        if (model.pitch[original] == kPitchUnset)
            measureSourcePitch(model, original);
        int copy = model.noteCount;
        copyAttributes(model, original, copy);
        // A pitch that could not be measured stays unset in the copy too.
        if (model.pitch[original] != kPitchUnset)
            model.pitch[copy] = model.pitch[original] + kDuplicateInterval;
        model.volume[copy] = kDuplicateVolume;
        model.noteCount += 1;
        noteChanged(model, copy);
    }
}

void selectAllNotes(TakeModel& model)
{
    model.selectionCount = std::min(model.noteCount, kMaxSelection);
    for (int j = 0; j < model.selectionCount; ++j)
        model.selection[j] = j;
}

void clearSelection(TakeModel& model) { model.selectionCount = 0; }
