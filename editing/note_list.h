// Operations on the note table as a list and on the selection. Functions over
// the model take no lock; callers hold the edit lock (see
// engine/edit_session.h for the locking entry points).
#pragma once

#include "model/take_model.h"

inline bool isNoteIndex(const TakeModel& model, int note)
{
    return note >= 0 && note < model.noteCount;
}

// Removes note n, moving every later note and contour row down by one;
// out-of-range n is ignored. Every link becomes unresolved. Selection entries
// above n drop by one; the entry naming n, and any entry that names no note,
// leave the selection.
void deleteNote(TakeModel& model, int note);

// Removes every selected note, in selection order, and empties the selection.
// The other notes keep their order.
void deleteSelectedNotes(TakeModel& model);

// Appends a copy of every selected note a whole tone higher at half volume,
// over the same frames; the selection stays. Copies that do not fit the
// table are not made. A note whose pitch is still unset is measured first.
void duplicateSelectedNotes(TakeModel& model);

// Selects the notes from index 0, as many as the selection holds.
void selectAllNotes(TakeModel& model);

void clearSelection(TakeModel& model);
