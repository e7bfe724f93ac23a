// The editing operations as the editor and the command-line tool call them:
// each is one operation of the edit session.
#pragma once

#include "engine/edit_session.h"

void setScale(EditSession& session, int mode, int scaleRoot);
void togglePitchClass(EditSession& session, int pc);
void tuneSelectedNotes(EditSession& session);

void deleteNote(EditSession& session, int note);
void deleteSelectedNotes(EditSession& session);
void duplicateSelectedNotes(EditSession& session);
void selectAllNotes(EditSession& session);
void clearSelection(EditSession& session);

void setSelectedNotesAttribute(EditSession& session, NoteSetting setting, float v);
