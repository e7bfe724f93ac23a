// One take through the plug-in, step by step as a user works in the editor:
// the host plays the take through the effect (which records and analyses it),
// "transfer >>" cuts the notes, the notes are selected, the scale is set, the
// notes are tuned and given their settings, and the take is rendered.
#pragma once

#include "cli/command_line.h"
#include "cli/effect_host.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

struct CorrectionSettings {
    int keyRoot = 0;
    ScaleChoice scale = ScaleChoice::kChromatic;
    float contour = 1.0f;
    float detail = 1.0f;
    std::optional<VibratoSetting> vibrato;
    bool keepFormants = true;
    int transpose = 0; // semitones, after tuning
    // Takes corrected at once; 0: one per core this process may run on. The
    // result is the same whatever the count.
    int threads = 0;
};

// A note of the take as the effect sees it.
struct FoundNote {
    long startSample = 0; // in the take
    long endSample = 0;
    float measuredPitch = 0.0f; // mean sung pitch, semitones (0 = C3)
    float targetPitch = 0.0f; // what the note is played at: pitch + fine tune
    int voicedFrames = 0; // frames of the note the analysis found pitched
    long firstVoicedSample = 0; // where its first pitched frame starts; startSample when none
};

using ProgressCallback = std::function<void(long done)>;

class TakeCorrector {
public:
    explicit TakeCorrector(int sampleRate);

    // The host's transport plays the take from position 0 through the effect.
    void record(const float* samples, long count, const ProgressCallback& progress = {});

    // "transfer >>": cuts the analysed take into notes; answers the note count.
    int transferNotes();

    // Every note, measured; notes not yet measured are measured now (their
    // pitch and fine tune stay as they are once set).
    std::vector<FoundNote> notes();

    // Scale, tuning and note settings for every note, in selections of at most
    // kMaxSelection notes, then the transposition and the formant mode. A
    // failure only for settings the rate cannot play.
    std::optional<Failure> correct(const CorrectionSettings& settings);

    // The edited take resynthesised, `count` samples from position 0, at the
    // take's own rate.
    std::vector<float> render(long count, const ProgressCallback& progress = {});

    // The same render handed over a block at a time: sink(samples, first,
    // count) for take positions first..first + count - 1, in order.
    using BlockSink = std::function<void(const float* samples, long first, long count)>;
    void renderInBlocks(long count, const BlockSink& sink, const ProgressCallback& progress = {});

    // The chunk a host stores for one program (effGetChunk with index 1).
    std::vector<uint8_t> programChunk();

    EffectHost& host() { return effectHost; }

    // The vibrato rate setting that gives `hertz` at this sample rate, and the
    // fastest vibrato the setting can give.
    static float vibratoRateSetting(double hertz, int sampleRate);
    static double fastestVibrato(int sampleRate);

private:
    static std::vector<FoundNote> foundNotes(const TakeModel& model);
    void selectBatch(int first, int count);

    EffectHost effectHost;
    int rate;
};
