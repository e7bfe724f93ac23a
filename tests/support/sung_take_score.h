// Scores an analysis or a note table against the ground truth a synthetic
// singer keeps: how many frames miss the sung pitch, and whether every sung
// note became exactly one note.
#pragma once

#include "support/singing_voice.h"

#include <string>
#include <vector>

// The sample a frame's pitch estimate describes: the phase advance is
// measured between the windows of frames f - 1 and f, whose centres lie
// half a frame either side of it.
long frameCentreSample(int frame);

struct FrameScore {
    int accepted = 0; // voiced frames where the singer's pitch is defined
    int farOff = 0; // of those, more than the limit from the sung pitch
    int within = 0; // of those, within the closeness asked for
};

// Frames with voicing > 0 against the true pitch around their centre.
FrameScore scoreFrames(const SungTake& take, const float* framePitch, const float* frameVoicing,
    int frames, double farCents, double closeCents);

struct FoundNote {
    double start = 0.0; // frames
    double end = 0.0;
    double pitch = 0.0; // semitones
};

struct NoteScore {
    int merged = 0; // sung notes that share their note with a neighbour
    int split = 0; // sung notes cut into two or more notes
    int wrongSemitone = 0; // sung notes whose note lies on another semitone
    std::string detail; // the first few faults, for the failure message
};

// Every sung note's steady frames against the notes found: the note holding
// most of them is its note.
NoteScore scoreNotes(const SungTake& take, const std::vector<FoundNote>& notes);

// Cents from each sung note's nearest semitone of a played take, window by
// window over the note's steady part (one window in the middle of a note too
// short for more).
std::vector<std::vector<double>> centsFromSemitones(
    const SungTake& take, const std::vector<float>& output);

double median(std::vector<double> values);

// How many of the windows of centsFromSemitones lie within limit cents.
struct WindowShare {
    int close = 0;
    int windows = 0;
};
WindowShare windowsWithin(const std::vector<std::vector<double>>& cents, double limit);

// Sample steps of output larger than the sung input's own around them.
int clicks(const std::vector<float>& input, const std::vector<float>& output);
