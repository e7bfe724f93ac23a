// The scale the notes are tuned to, and tuning the selected notes to it.
// Functions over the model take no lock; callers hold the edit lock (see
// engine/edit_session.h for the locking entry points).
#pragma once

#include "model/take_model.h"

#include <array>

enum ScaleMode : int {
    kFreeSelection = 0, // the menu's title entry: changes nothing
    kMajorScale = 1,
    kMinorScale = 2,
    kAllowAllClasses = 3,
};

// Names of the pitch classes, c = 0 up to h = 11, as the scale menu shows them.
inline constexpr std::array<const char*, kPitchClasses> kPitchClassNames
    = {"c", "cis", "d", "dis", "e", "f", "fis", "g", "gis", "a", "ais", "h"};

// The same in English with sharps, as note names print them ("C#4").
inline constexpr std::array<const char*, kPitchClasses> kEnglishPitchClassNames
    = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

// Pitch class (0..11) of a whole pitch in semitones, for any whole pitch:
// the remainder is taken toward minus infinity.
int pitchClassOf(double wholePitch);

// The nearest whole semitone of x; halves go up.
double nearestSemitone(double x);

// Major, minor (natural) or every class allowed, from scaleRoot (0..11, taken
// modulo 12). Any other mode changes nothing.
void setScale(TakeModel& model, int mode, int scaleRoot);

// Allows an excluded class or excludes an allowed one; pc outside 0..11 is ignored.
void togglePitchClass(TakeModel& model, int pc);

// Sets every selected note to the allowed semitone nearest its pitch plus
// fine tune, searched outward in half-semitone steps with ties going up, and
// clears its fine tune. A note whose pitch is still unset is measured first;
// one that cannot be measured is left as it is. With every class excluded the
// pitch stays and only the fine tune is cleared.
void tuneSelectedNotes(TakeModel& model);
