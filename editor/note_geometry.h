// The geometry every note view shares: pitches folded into one octave of
// thirteen rows, the y of a pitch, and the beat spacing from the host tempo.
#pragma once

#include "editing/note_gestures.h"
#include "editing/octave_fold.h"
#include "vst/vst24.h"

constexpr int kNoteRows = 13; // twelve pitch classes with half a row free above and below
constexpr float kFallbackBeatSpacing = 30.0f; // frames, used when the tempo gives a too dense grid
constexpr float kMinimumBeatSpacing = 10.0f;

// Height of one of the thirteen rows of a view of the given height.
inline float rowHeight(int viewHeight) { return static_cast<float>(viewHeight) / kNoteRows; }

// y of a pitch, relative to the view's top: class 0 near the bottom, class 11
// one row below the top.
int pitchY(float pitch, float rowH);

// y of an already folded pitch, shifted by extra pixels before truncation.
int foldedPitchY(float folded, float rowH, float extra = 0.0f);

// Frames between two beat lines. The host's tempo and sample rate decide it
// when both are given and positive; otherwise the previous spacing stays. A
// spacing below ten frames would be a grey wall of lines and becomes thirty.
float beatSpacing(const VstTimeInfo* timeInfo, float previous);

constexpr int kHoverRowDistance = 27; // pixels between the pointer and a note's row

struct NoteHover {
    int note = kNone;
    int zone = kMiddleZone; // meaningful only with a note
};

// The note under the pointer at frame x and height y (view pixels, rows rowH
// high): the first note whose edge zone holds x, else the last one whose
// middle does, among the notes near the pointer's row.
NoteHover findHoveredNote(const TakeModel& model, float x, float y, float rowH);
