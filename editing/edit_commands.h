// The editing operations as the editor and the command-line tool call them:
// each is one operation of the effect's edit session.
#pragma once

#include "shell/pitch_effect.h"

void setScale(PitchEffect& effect, int mode, int scaleRoot);
void togglePitchClass(PitchEffect& effect, int pc);
void tuneSelectedNotes(PitchEffect& effect);

void deleteNote(PitchEffect& effect, int note);
void deleteSelectedNotes(PitchEffect& effect);
void duplicateSelectedNotes(PitchEffect& effect);
void selectAllNotes(PitchEffect& effect);
void clearSelection(PitchEffect& effect);

void setSelectedNotesAttribute(PitchEffect& effect, int tag, float v);
