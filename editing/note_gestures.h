// What the note editor's mouse gestures do to the note table, one step at a
// time. The functions take no lock; the edit session holds the edit lock
// around each call. Frames are the view's pixels, one per frame of the take.
#pragma once

#include "model/take_model.h"

// Which part of a note the pointer is over.
enum NoteZone : int {
    kLeftEdgeZone = 0,
    kMiddleZone = 1,
    kRightEdgeZone = 2,
};

constexpr int kEdgeZoneWidth = 8; // frames at each end of a note that grab its edge
constexpr int kSplitMargin = 1; // frames a split keeps from either end of the note
constexpr int kSelectionBandTop = 5;
constexpr int kSelectionBandBottom = 326;

// Measures the note's pitch first when it has none yet, so that a step in
// semitones starts from the pitch the user sees.
void ensureMeasuredPitch(TakeModel& model, int note);

// Splits the first note that holds frame x with a frame to spare on either
// side. The source span is cut at the same fraction of its length as the
// target span, so neither half is time-warped; the second half keeps the
// points drawn over it. Nothing happens without such
// a note or without room for another note. Returns the new note or kNone.
int splitNoteAt(TakeModel& model, int x);

// Joins the first note holding frame x with its linked successor, which is
// deleted. Returns the joined note's index after the deletion, or kNone.
int joinNoteAt(TakeModel& model, int x);

// Moves every selected note by whole semitones.
void shiftSelectedPitches(TakeModel& model, int semitones);

// Moves every selected note in time by dx frames; its audio stays.
void shiftSelectedNotesInTime(TakeModel& model, float dx);

// Refreshes every selected note after a change.
void refreshSelectedNotes(TakeModel& model);

// Moves one edge of note g by dx frames, stretching its audio, and the edge
// of its linked neighbour along with it. Refused when g would shrink below
// half its source length or the neighbour to half or less.
void stretchNote(TakeModel& model, int g, int zone, float dx);

// Moves one edge of note g by dx frames in both spans, so the note gains or
// loses audio at that end. Refused when either span would become empty or
// the source would reach outside the take.
void trimNote(TakeModel& model, int g, int zone, float dx);

// The stored value of a contour point drawn at pitch t (semitones, the
// view's scale): its offset from the note's pitch, wrapped into -6 .. +6.
float drawnContourValue(const TakeModel& model, int g, float t);

// Writes value into note g's contour over offsets [min(a, b), max(a, b)),
// skipping offsets outside the contour.
void writeContourSpan(TakeModel& model, int g, int a, int b, float value);

// Selects the notes overlapping frames (first, last) — first < last — up to
// the selection's capacity, refreshing each.
void selectNotesInBand(TakeModel& model, int first, int last);

// Whether note is among the selected notes.
bool isSelected(const TakeModel& model, int note);
