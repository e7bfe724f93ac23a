// A synthesised sung melody for editor tests: recorded into an effect through
// its processing call, with the analysis rows written from the melody itself
// so that pictures do not depend on the detector's tolerances.
#pragma once

#include <vector>

class PitchEffect;

struct MelodyNote {
    float pitch; // semitones, 0 = C at 130.81 Hz
    int frames; // length in frames of 512 samples
};

// Four notes with a light vibrato and short breaths between them.
std::vector<MelodyNote> testMelody();

// Records melody from frame 0 in "Force scan" mode, writes its pitch track
// into analysis row 0 and cuts it into notes. Returns the number of frames.
int recordAndSegmentMelody(PitchEffect& effect, const std::vector<MelodyNote>& melody);

// Runs one block of the effect's processing call with silent input.
void processSilentBlock(PitchEffect& effect, int frames = 512);
