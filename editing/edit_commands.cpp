#include "editing/edit_commands.h"

void setScale(EditSession& session, int mode, int scaleRoot) { session.setScale(mode, scaleRoot); }

void togglePitchClass(EditSession& session, int pc) { session.togglePitchClass(pc); }

void tuneSelectedNotes(EditSession& session) { session.tuneSelectedNotes(); }

void deleteNote(EditSession& session, int note) { session.deleteNote(note); }

void deleteSelectedNotes(EditSession& session) { session.deleteSelectedNotes(); }

void duplicateSelectedNotes(EditSession& session) { session.duplicateSelectedNotes(); }

void selectAllNotes(EditSession& session) { session.selectAllNotes(); }

void clearSelection(EditSession& session) { session.clearSelection(); }

void setSelectedNotesAttribute(EditSession& session, NoteSetting setting, float v)
{
    session.setNoteSetting(setting, v);
}
