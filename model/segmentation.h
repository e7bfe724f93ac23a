// Cutting the frame pitch track into notes, and the note helpers every later
// stage shares: measuring a note's source pitch, the smoothed pitch track, and
// the refresh that ends every change of a note.
#pragma once

#include "model/take_model.h"

// Rebuilds the note table from row 0 of the analysis and selects the new notes.
void segmentNotes(TakeModel& model);

// Measures sourcePitch if it is unset, then splits it into the nearest whole
// semitone (pitch) and the remainder (fineTune).
void measureSourcePitch(TakeModel& model, int note);

// Mean of framePitch of one row over the frame nearest t and the usable frames
// within radius r on either side; radius 0 returns that frame as it is.
float smoothedFramePitch(const TakeModel& model, int row, float t, float r);

// Clears the note's computed contour points and those of its target
// neighbours, relinks it, and asks the note editor to redraw.
void noteChanged(TakeModel& model, int note);
