// Pitches folded onto one octave, as the note rows show them and as drawn
// contour points store their offsets.
#pragma once

// Maps a pitch in semitones onto one octave: p reduced modulo 12 into
// [-0.5, 11.5), so that C is 0 and B is 11. A non-finite pitch lands where
// an unvoiced frame does.
float foldToOctave(float pitch);
