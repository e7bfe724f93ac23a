// A note's sounding pitch at a frame of its target span, and the notes linked
// to it across a cut. The one source of a note's contour for playback and
// drawing alike; results are memoised in the take model.
//
// Callers hold the effect's edit lock: lookups write the memo, the links and,
// on a note's first use, its measured pitch.
#pragma once

#include "model/note_links.h"
#include "model/take_model.h"

struct PitchLookup {
    float pitch = 0.0f;
    // False when the offset lies outside the note or its source span, or the
    // note data give no finite pitch. A pitch of exactly 0.0 is a real pitch.
    bool found = false;
};

// The target pitch of note at frame offset (frames since targetStart).
// voicingOut, when given, receives the voicing of the source frame the pitch
// came from (left untouched when there is none). nested switches off the memo,
// the vibrato and the transitions, for the lookups this makes of itself.
PitchLookup lookupNotePitch(
    TakeModel& model, int note, float offset, float* voicingOut = nullptr, bool nested = false);

// The same, 0.0 when there is no pitch.
float notePitchAt(
    TakeModel& model, int note, float offset, float* voicingOut = nullptr, bool nested = false);
