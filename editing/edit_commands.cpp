#include "editing/edit_commands.h"

void setScale(PitchEffect& effect, int mode, int scaleRoot)
{
    effect.session.setScale(mode, scaleRoot);
}

void togglePitchClass(PitchEffect& effect, int pc) { effect.session.togglePitchClass(pc); }

void tuneSelectedNotes(PitchEffect& effect) { effect.session.tuneSelectedNotes(); }

void deleteNote(PitchEffect& effect, int note) { effect.session.deleteNote(note); }

void deleteSelectedNotes(PitchEffect& effect) { effect.session.deleteSelectedNotes(); }

void duplicateSelectedNotes(PitchEffect& effect) { effect.session.duplicateSelectedNotes(); }

void selectAllNotes(PitchEffect& effect) { effect.session.selectAllNotes(); }

void clearSelection(PitchEffect& effect) { effect.session.clearSelection(); }

void setSelectedNotesAttribute(PitchEffect& effect, int tag, float v)
{
    effect.session.setNoteSetting(tag, v);
}
