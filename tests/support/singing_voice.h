// A synthetic singer for the analysis tests: a glottal source with spectral
// tilt, shaped by the formants of five vowels, with delayed vibrato, jitter,
// shimmer, breath noise, unvoiced consonant gaps and legato glides. Every
// note's span and sung centre is kept beside the signal, and so is the true
// pitch of every sample. Works at any sample rate.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class Vowel { A, E, I, O, U };

struct SungVoiceNote {
    double pitch = 0.0; // sung centre in the effect's semitones (0 = C3), detune included
    double seconds = 0.5; // from the start of the note to the start of the next
    Vowel vowel = Vowel::A;
    // Unvoiced consonant before the note, in seconds; 0 makes the note follow
    // the one before legato, with a glide of glideSeconds at its start.
    double consonantSeconds = 0.0;
    double glideSeconds = 0.06;
};

struct SingerSettings {
    double sampleRate = 44100.0;
    double level = 0.5; // peak amplitude, roughly
    double vibratoCents = 40.0; // peak deviation
    double vibratoHertz = 5.5;
    double vibratoDelay = 0.25; // seconds of straight tone at the start of each note
    double vibratoFadeSeconds = 0.2; // then the vibrato grows to full depth
    double jitter = 0.004; // relative change of each glottal period (standard deviation)
    double shimmer = 0.05; // relative change of each period's amplitude
    double breath = 0.03; // breath noise against the voice's level
    double tilt = 1.0; // source partial h falls as 1 / h^tilt (with the radiation at the lips)
    double formantScale = 1.0; // shorter vocal tracts (high voices) raise every formant
    double leadInSeconds = 0.1; // silence before the first note
    double tailSeconds = 0.2; // silence after the last note
    uint32_t seed = 1;
};

// Where a note lies in the signal (samples) and what was sung there.
struct SungNoteTruth {
    long start = 0; // first sample of the note (its glide or its attack)
    long steadyStart = 0; // the glide or the attack is over
    long end = 0; // one past the note's last sample
    double centre = 0.0; // sung pitch in semitones
};

struct SungTake {
    double sampleRate = 44100.0;
    std::vector<float> samples;
    std::vector<SungNoteTruth> notes;
    // Sung pitch of every sample without jitter (vibrato and glides included);
    // kUnsungPitch where the voice is silent or unvoiced.
    std::vector<float> truePitch;
};

constexpr float kUnsungPitch = -1000.0f;

SungTake singMelody(const std::vector<SungVoiceNote>& melody, const SingerSettings& settings);

// The mean true pitch over [centre - halfWidth, centre + halfWidth], or
// kUnsungPitch when any sample there is unsung (or outside the take).
double truePitchAround(const SungTake& take, long centre, long halfWidth);

// A melody of `count` notes between lowest and highest (semitones): steps of
// one to four semitones, each note sung off its semitone by up to maxDetune
// cents with the sign alternating, so that semitone steps come out as close
// as 0.6 semitone; lengths between shortest and longest seconds; every
// vowel in turn; about a third of the notes after a consonant, the rest legato.
struct MelodyShape {
    int count = 32;
    int lowest = 0;
    int highest = 12;
    double shortest = 0.3;
    double longest = 0.8;
    double maxDetuneCents = 45.0;
    uint32_t seed = 7;
};
std::vector<SungVoiceNote> makeSungMelody(const MelodyShape& shape);

// The five test voices: a usual range, many short notes, wide vibrato, a low
// (bass) and a high (soprano) voice, at the given sample rate. Take 0 is what
// the end-to-end tests sing; other takes draw other melodies of the same
// shapes with other noise, a rough take doubles every voice's shimmer, and a
// slow-vibrato take gives every voice +-60 cents at 4 Hz.
struct TestVoice {
    std::string name;
    std::vector<SungVoiceNote> melody;
    SingerSettings settings;
};
struct VoiceTake {
    int melody = 0;
    bool rough = false;
    bool slowVibrato = false;
};
std::vector<TestVoice> testVoices(double sampleRate, VoiceTake take = {});
