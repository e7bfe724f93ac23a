// Where notes meet, and the per-note caches that depend on it: the contour
// memo and the links across a cut. Every rule about them lives here; callers
// hold the edit lock.
#pragma once

#include "model/take_model.h"

// The highest-indexed note whose target span ends exactly where note's
// begins (rightNeighbour: begins where it ends), or kNone. Transitions are
// computed across these seams; searched afresh on every call.
int leftNeighbour(const TakeModel& model, int note);
int rightNeighbour(const TakeModel& model, int note);

// A contour memo entry at or above kDrawnPointThreshold is a drawn point,
// which every change keeps; one above kMemoUnsetBelow is a computed pitch;
// anything else is not computed yet.
constexpr float kMemoUnsetBelow = -200.0f;
inline bool isDrawnPoint(float entry) { return entry >= kDrawnPointThreshold; }
// A computed pitch the memo can hold: one that would not read back as a
// drawn point.
inline bool isMemoisablePitch(float pitch) { return pitch < kDrawnPointThreshold; }
// The entry holds a value to read (drawn, or computed and finite).
bool isMemoEntrySet(float entry);
// Forgets the computed entries of note's contour, keeping the drawn points.
void clearComputedContour(TakeModel& model, int note);

// The note whose source audio ends exactly where this one's begins and whose
// target end lies within a frame of this one's start; kNone when none.
// Cached in prevNote.
int linkedPrevious(TakeModel& model, int note);
// The mirror of linkedPrevious, cached in nextNote.
int linkedNext(TakeModel& model, int note);

// After note changed: the notes that were linked to it and its new
// neighbours look their links up afresh and forget their computed contour;
// note's own links become its new neighbours.
void relinkChangedNote(TakeModel& model, int note);
