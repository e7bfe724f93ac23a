// A synthetic singer: a harmonic voice shaped by vowel formants, with vibrato,
// soft attacks and releases, a breath between notes, and each note sung off
// its semitone by a chosen number of cents.
#pragma once

#include <vector>

struct SungNote {
    int semitone = 0; // the effect's pitch scale: 0 is C3
    float detuneCents = 0.0f; // how far off the singer is
    double seconds = 1.0; // sounding length, breath not included
};

struct VoiceSettings {
    double vibratoCents = 18.0; // peak deviation of the singer's vibrato
    double vibratoHertz = 5.5;
    double vibratoDelay = 0.25; // seconds of straight tone before it sets in
    double breathSeconds = 0.08; // silence after each note
    double level = 0.5; // peak amplitude of the voice
    unsigned noiseSeed = 1; // the faint breath noise is reproducible
};

// Where a note lies in the synthesised signal, in samples.
struct SungSpan {
    long start = 0;
    long end = 0;
};

// The melody as one mono signal at `sampleRate`; `spans` (if given) receives
// each note's sounding span.
std::vector<float> synthesiseMelody(const std::vector<SungNote>& notes, int sampleRate,
    const VoiceSettings& voice = {}, std::vector<SungSpan>* spans = nullptr);

// The demo's tune: eight notes in C major, each 20 to 45 cents off.
std::vector<SungNote> demoMelody();
