// The second way of sounding a note: pitch-synchronous overlap-add. Grains of
// two source periods, centred on the take's pitch marks and shaped by a Hann
// window, are laid one target period apart, so the spectral envelope (the
// vowel's formants) stays where the singer put it while the pitch moves.
//
// It shares everything else with the rate method: the four voices and their
// hand-over between linked notes, the stretch from source onto target span,
// the pitch from notePitchAt and the edge ramps, all through NoteFrameTerms.
// Frames without a reliable source pitch, and stretches of take with no pitch
// marks (silence), are laid grain for grain at their own spacing: played
// unshifted, stretched only in time.
//
// Pitch marks are found lazily, one step of the search per source period a
// grain moves on, so a sample costs a bounded amount of work. Nothing here
// allocates; the state is fixed arrays. Runs under the effect's edit lock,
// like the rest of resynthesis.
#pragma once

#include "model/take_model.h"

#include <array>

struct NoteFrameTerms;

constexpr int kMaxGrains = 8; // per voice: covers the overlap of a 20-semitone rise
constexpr double kUnpitchedGrainHalfWidth = 441.0; // samples: 10 ms grains where no pitch is known
constexpr double kMarkSilence = 1.0e-5; // a "peak" no higher than this is no pitch mark

// One windowed grain being laid into the output.
struct Grain {
    double centre = 0.0; // output position of the window's middle
    double source = 0.0; // take position read at the centre
    double halfWidth = 0.0; // the window reaches this far either side
    double tableStep = 0.0; // window table entries per sample: kWindowTableSize / halfWidth
    int readOffset = 0; // take index read at output position p: readOffset + p, ...
    float readFraction = 0.0f; // ... plus this fraction of the way to the next
    double gain = 1.0;
};

struct FormantVoice {
    int note = kNone;
    bool started = false;
    double nextCentre = 0.0; // output position of the next grain's centre
    double mark = -1.0; // the last pitch mark used, a take position; -1 none
    int grainCount = 0;
    std::array<Grain, kMaxGrains> grains {};
};

// A pitch mark of a voice of the given period in [from, to]: the crest of
// the take averaged over a quarter period; -1 when the stretch has no crest
// above kMarkSilence.
double pitchMarkIn(const TakeModel& model, double from, double to, double period);

class FormantVoices {
public:
    // The unramped sample of terms.note on voice at position; the caller
    // applies the edge ramps and volume. A voice that changes note other than
    // to its linked successor starts afresh.
    double sample(TakeModel& model, int voice, const NoteFrameTerms& terms, int position);

    // For count samples from position, adds sample() weighted by the note's
    // edge ramps (edgeRamped) into out.
    void render(TakeModel& model, int voice, const NoteFrameTerms& terms, int position, int count,
        float* out);

    // A voice set free (or all of them) forgets its grains and marks.
    void release(int voice)
    {
        FormantVoice& v = voices[static_cast<std::size_t>(voice)];
        if (v.started || v.note != kNone)
            v = {};
    }
    void reset() { voices.fill({}); }

    const FormantVoice& voiceState(int voice) const
    {
        return voices[static_cast<std::size_t>(voice)];
    }

private:
    void launchGrain(
        TakeModel& model, FormantVoice& v, const NoteFrameTerms& terms, double position);

    std::array<FormantVoice, kVoiceCount> voices {};
};
