// Names of the effect's pitches as musicians read them: pitch 0 is C3 (about
// 130.81 Hz) when A4 is 440 Hz, so pitch 21 is A4.
#pragma once

#include <string>

// "C3", "F#4", "A4": the name of a whole pitch in English with sharps.
std::string pitchName(int pitch);

// The name of the semitone nearest a pitch.
std::string nearestPitchName(float pitch);

// Cents from the nearest semitone, -50 to +50.
float centsFromSemitone(float pitch);
