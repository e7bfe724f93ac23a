// Playback of the edited notes: every note active at the current frame gets
// one of four voices that reads the take time-stretched from the note's source
// span onto its target span, shifted from the sung pitch to the note's target
// pitch by reading faster or slower and jumping by three source periods with a
// short crossfade, or, with formants kept, by overlap-adding pitch-synchronous
// grains (formant_resynthesis.h). Also the MIDI retune that pulls sounding notes towards the
// held key.
//
// Everything here runs under the effect's edit lock: on the audio thread
// inside a playing block, on the user-interface thread during a render.
#pragma once

#include "engine/formant_resynthesis.h"
#include "model/take_model.h"

#include <array>
#include <cmath>

constexpr float kShiftLimit = 20.0f; // semitones; larger shifts are not applied

struct ResynthesisSettings {
    float sampleRate = 44100.0f; // converts source pitch to period length
    float pitchFactor = 1.0f; // scales the read-rate change of shifted notes
    bool keepFormants = false; // overlap-add of pitch-synchronous grains instead of rate reading
    // Shifts of this many semitones or more play unshifted. The plug-in keeps
    // kShiftLimit; cantilo's transposer moves notes up to two octaves.
    float shiftLimit = kShiftLimit;
};

// The formant mode an instance stores in its chunk and sets per instance.
enum FormantMode : int { kFormantsMove = 0, kFormantsKept = 1 };

constexpr float kMinimumSourceFrequency = 50.0f;
constexpr float kMaximumSourceFrequency = 6000.0f;
constexpr int kPeriodMultiple = 3;
constexpr int kCrossfadeLength = 200;
constexpr int kEdgeRampLength = 1000;
constexpr int kMidiRetuneInterval = 1000;
// Samples a shifted voice holds its read rate for; a frame holds a whole number of them.
constexpr int kRateHoldLength = 8;
static_assert(kFrameLength % kRateHoldLength == 0);
constexpr int kMidiKeyOffset = 48; // MIDI key 48 asks for pitch 0, the C at 130.81 Hz
// Frames of a note's target pitch kept around the playing frame: a voice reads
// up to 3.75 periods of 50 Hz (about 6.5 frames) behind it, and one frame on.
constexpr int kTargetFramesBehind = 7;
constexpr int kTargetFrames = kTargetFramesBehind + 2;

// A shift smaller than this is the rounding of a note left at its measured
// pitch: the take plays unchanged.
constexpr double kUnshiftedLimit = 1.0e-4; // semitones

// recordBuffer at a fractional position, linearly interpolated: 0 below the
// take and from its end on; the last sample is its own interpolation partner.
// Inline: every voice reads it for every sample.
inline float readTake(const TakeModel& model, double x)
{
    if (!(x >= 0.0 && x < kTakeLength))
        return 0.0f;
    auto i = static_cast<int>(x);
    float v = loadRelaxed(model.recordBuffer[i]);
    if (x == i)
        return v;
    float next = i + 1 < kTakeLength ? loadRelaxed(model.recordBuffer[i + 1]) : v;
    return static_cast<float>(v + (next - v) * (x - i));
}

// What one note needs to sound during the samples of one frame; none of it
// depends on the sample within the frame.
struct NoteFrameTerms {
    int note = kNone;
    int linkedPrevious = kNone;
    double stretch = 1.0; // K: target length over source length
    double sourceOrigin = 0.0; // sourceStart in samples
    double targetOrigin = 0.0; // targetStart in samples
    double targetEnd = 0.0; // targetEnd in samples
    bool shifting = false; // the read rate differs from 1: offsets move and jump
    double advance = 0.0; // offset change per sample: rate * pitchFactor - 1
    double period = 0.0; // three source periods in samples
    double sourcePeriod = 0.0; // one source period in samples; 0 where no pitch is known
    double pitchRatio = 1.0; // target over source frequency; 1 where nothing is shifted
    // Where the note is shifted, the rate is worked out again every
    // kRateHoldLength samples, from the take's pitch where the voice reads to the note's
    // target pitch, both interpolated between frames. The target is taken
    // at the output sample where the note flattens the sung movement, and
    // at the moment the voice reads where it keeps that movement (followShare
    // 1): the movement kept is then the one in the samples read, not the
    // analysis' smoothed view of it a few periods later.
    double sampleRate = 0.0;
    double pitchFactor = 1.0;
    double shiftLimit = kShiftLimit; // semitones; a shift this large plays unshifted
    double stretchRate = 0.0; // 1 - 1/K: the part of the rate that keeps the timing
    double sourcePitch = 0.0; // the take's pitch at this frame (semitones)
    double frameShift = 0.0; // target minus source pitch at the frame's start
    double frameRatio = 1.0; // 2^(frameShift / 12): a sample's ratio is found from it
    // The take's pitch at the frames from kTargetFramesBehind before the
    // source frame to the one after, NaN where a frame has none playback may
    // use; a voice reading elsewhere looks the take's analysis up itself.
    double sourceFirst = 0.0;
    std::array<double, kTargetFrames> sourcePitches {};
    double followShare = 0.0; // 1 - fineContourDamping, within [0, 1]
    double targetFirst = 0.0; // frame offset of targets[0] within the note
    // The note's pitch at the first samples of the frames from
    // kTargetFramesBehind before this one to the next; a frame outside the
    // note or without a sung source holds its neighbour's value.
    std::array<double, kTargetFrames> targets {};
    double volume = 0.0;
    double startGain = 0.0; // where the start ramp begins: the volume when linked, else 0
    double endGain = 0.0; // where the end ramp ends: the linked successor's volume, else 0
};

// The take's pitch at fractional take position x, linearly interpolated
// between the pitches of the two frames around it (a frame's pitch describes
// its first sample); a frame without a reliable pitch gives way to the other,
// and fallback is returned when neither has one.
double takePitchAt(const TakeModel& model, double x, double fallback);

// takePitchAt from the source frames kept in terms where x lies among them.
double takePitchAt(const TakeModel& model, const NoteFrameTerms& terms, double x);

// 2^(semitones / 12); a short series for the small changes a sample makes on
// its frame's ratio, the full power beyond a semitone.
double semitoneRatio(double semitones);

// The note's target pitch at output position (semitones), linearly
// interpolated between the frames around it; held at the ends of the kept
// frames.
double targetPitchAt(const NoteFrameTerms& terms, double position);

// The terms of note at frame; false when the note is silent there (not active,
// an empty or reversed span, values that are not finite).
bool noteFrameTerms(TakeModel& model, int note, int frame, const ResynthesisSettings& settings,
    NoteFrameTerms& terms);

// The voice that plays note in this sample: its own, the one its linked
// predecessor leaves it, or a free one; -1 when all four are taken.
int claimVoice(TakeModel& model, const NoteFrameTerms& terms, std::array<bool, kVoiceCount>& used);

// One sample of the note on voice at position, weighted by its edge ramps;
// advances the voice's offsets.
float voiceSample(TakeModel& model, int voice, const NoteFrameTerms& terms, int position);

// s weighted by the note's volume and its 1,000-sample edge ramps at position;
// 0 when that is not finite. Inline, like readTake: it weights every sample.
inline float edgeRamped(const NoteFrameTerms& terms, int position, double s)
{
    // 1,000-sample ramps at the note's edges; a linked edge ramps to the
    // neighbour's volume instead of to silence.
    // A note ending inside a frame stays active to the frame's end; past its
    // end sample the end ramp holds at its final gain instead of turning over.
    const double p = position;
    const double a = p - terms.targetOrigin;
    const double left = terms.targetEnd - p;
    const double b = left > 0.0 ? left : 0.0; // fmax(left, 0) without the library call
    if (a < kEdgeRampLength)
        s *= terms.startGain + (terms.volume - terms.startGain) * a / kEdgeRampLength;
    if (b < kEdgeRampLength)
        s *= terms.endGain + (terms.volume - terms.endGain) * b / kEdgeRampLength;
    else
        s *= terms.volume;
    auto out = static_cast<float>(s);
    return std::isfinite(out) ? out : 0.0f;
}

// Voices that played nothing in this sample become free.
void releaseUnusedVoices(TakeModel& model, const std::array<bool, kVoiceCount>& used);

// Frees all four voices.
void resetVoices(TakeModel& model);

class Resynthesis {
public:
    // The mixed output sample at position; sets playCursor to its frame and
    // assigns and releases the voices. The active notes and their terms are
    // found once per frame.
    float outputSampleAt(TakeModel& model, int position, const ResynthesisSettings& settings);

    // outputSampleAt for positions first to first + count - 1 into out, the
    // same samples, worked out note by note over the samples of each frame:
    // within a frame the active notes keep their voices once claimed, so the
    // voices are claimed at its first sample (and its second, where a voice
    // the first left free may be taken).
    void render(
        TakeModel& model, int first, int count, const ResynthesisSettings& settings, float* out);

    // Pulls the notes sounding at position, or starting within ten frames,
    // towards the MIDI key held in heldNotes[0].
    void midiRetune(TakeModel& model, int position);

    // The note table may have changed: find the active notes again.
    void invalidate() { planValid = false; }

    const FormantVoices& formants() const { return formantVoices; }

    // A render on the user-interface thread takes the voices from playback
    // and gives them back afterwards. The caller holds the edit lock for the
    // whole render, so playing blocks are silent meanwhile; the render's final
    // position is posted for the audio thread.
    void beginRender(TakeModel& model);
    void endRender(TakeModel& model, int finalPosition);

private:
    void planFrame(TakeModel& model, int frame, const ResynthesisSettings& settings);
    // Plans position's frame when due, sets playCursor, claims the active
    // notes' voices into claimed and releases the others.
    void claimVoices(TakeModel& model, int position, const ResynthesisSettings& settings);
    // The claims hold for the rest of the frame: no active note without a
    // voice could take one that the last sample left free. (A voice whose
    // note stopped is freed only after the sample that finds it unused.)
    bool voicesSettled(const TakeModel& model) const;

    bool planValid = false;
    int plannedFrame = 0;
    ResynthesisSettings plannedSettings;
    int activeCount = 0;
    std::array<NoteFrameTerms, kMaxNotes> active {};
    std::array<int, kMaxNotes> claimed {}; // the voice of active[k], kNone when it has none
    FormantVoices formantVoices;
};
