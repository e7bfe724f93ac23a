#include "model/segmentation.h"

#include "model/note_links.h"
#include "model/pitch_detector.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

constexpr int kAnalysisRow = 0;
// The level of the pitch at a frame is taken from the voiced frames within
// this many frames either side (their median, and the mean of those near
// it): about one vibrato cycle in all, so that vibrato and single stray
// frames vanish while a note of nine frames or more keeps its level.
constexpr int kLevelHalfWidth = 8;
constexpr int kLevelWindow = 2 * kLevelHalfWidth + 1;
constexpr int kMinLevelFrames = 3; // voiced frames a level needs in its window
constexpr float kLevelBand = 0.4f; // semitones about the median that count
// The pitch has settled when its level stays within this spread for this
// many frames.
constexpr int kSettleFrames = 6;
constexpr float kSettleSpread = 0.2f; // semitones
// A settled level this far from the note so far begins a new note.
constexpr float kNoteChangeSemitones = 0.5f;
// A boundary lies where the pitch has gone this share of the way from the old
// level to the new one: early in a sung glide, whose raised-cosine start
// leaves the old level slowly, so that the transition into the new note plays
// over the glide and is done by the time the voice holds the note. Closer to
// the old level, the noise of a bass's frames would cross the mark before the
// glide does.
constexpr float kBoundaryShare = 0.15f;
// Settled stretches this close to the note's level hold it.
constexpr float kHoldBand = 0.25f;
// Frames whose level lies this close to the note's level are where it held
// it; they give the note's source pitch.
constexpr float kHeldBand = 0.35f;
constexpr float kNoLevel = std::numeric_limits<float>::quiet_NaN();
constexpr float kSourcePitchLow = -30.0f; // inclusive
// Exclusive: just above the pitch of 800 Hz, the highest the detector
// reports, and far below the unvoiced mark.
constexpr float kSourcePitchHigh = 31.5f;
// The median of a note's frames is narrowed down to an interval this wide
// (semitones, or voicing) before the frames in it are looked at one by one.
constexpr double kMedianPrecision = 1.0e-4;
// Frames voiced at least this share of the note's median voicing are steady:
// the voice neither swells into the note nor fades out of it there.
constexpr double kSteadyVoicingShare = 0.5;
// A note needs this many steady frames for their median to be its pitch;
// with fewer, its frames within kSourceBand of their median make it.
constexpr int kMinSteadyFrames = 3;
constexpr double kSourceBand = 0.75; // semitones
// A run of frames at a note's end that begins this far from its level
// (semitones) and closes in on it is a glide, not the note.
constexpr double kGlideBand = 0.15;
constexpr int kMinGlideFrames = 2;
constexpr double kGlideReturnShare = 0.75;
constexpr float kSmoothingLimit = 24.0f; // exclusive on both sides
constexpr double kRoundingShift = 60.5; // nearest semitone: trunc(x + 60.5) - 60
constexpr double kRoundingBase = 60.0;

constexpr float kInitialVolume = 1.0f;
constexpr float kInitialVibratoRate = 0.4f;
constexpr float kInitialBlending = 0.5f;

float pitchOf(const TakeModel& model, int row, int frame)
{
    return loadRelaxed(model.framePitch[row][frame]);
}

float voicingOf(const TakeModel& model, int row, int frame)
{
    return loadRelaxed(model.frameVoicing[row][frame]);
}

bool voiced(const TakeModel& model, int frame)
{
    return voicingOf(model, kAnalysisRow, frame) > 0.0f;
}

// The level of the pitch at frame i: the mean of the voiced frames within
// kLevelHalfWidth of it that lie near their median. NaN when frame i is
// unvoiced or too few frames around it are voiced.
float levelAt(const TakeModel& model, int i)
{
    if (i < 0 || i >= kAnalysedFrames || !voiced(model, i)
        || !std::isfinite(pitchOf(model, kAnalysisRow, i)))
        return std::numeric_limits<float>::quiet_NaN();
    std::array<float, kLevelWindow> window {};
    int count = 0;
    for (int k = std::max(0, i - kLevelHalfWidth);
         k <= std::min(kAnalysedFrames - 1, i + kLevelHalfWidth); ++k) {
        const float p = pitchOf(model, kAnalysisRow, k);
        if (voiced(model, k) && std::isfinite(p))
            window[static_cast<std::size_t>(count++)] = p;
    }
    if (count < kMinLevelFrames)
        return std::numeric_limits<float>::quiet_NaN();
    auto middle = window.begin() + count / 2;
    std::nth_element(window.begin(), middle, window.begin() + count);
    const float median = *middle;
    // The mean of the frames near the median: vibrato swings cancel over the
    // window, while a neighbouring note and stray frames stay out.
    float sum = 0.0f;
    int near = 0;
    for (int k = 0; k < count; ++k) {
        float p = window[static_cast<std::size_t>(k)];
        if (std::fabs(p - median) <= kLevelBand) {
            sum += p;
            ++near;
        }
    }
    return sum / static_cast<float>(near);
}

// The levels of the frames i .. i + kSettleFrames - 1 once they all lie within
// kSettleSpread of each other: their mean. NaN when they do not.
float settledLevel(const std::array<float, kSettleFrames>& levels)
{
    float low = levels[0];
    float high = levels[0];
    float sum = 0.0f;
    for (float level : levels) {
        if (std::isnan(level))
            return std::numeric_limits<float>::quiet_NaN();
        low = std::min(low, level);
        high = std::max(high, level);
        sum += level;
    }
    if (high - low > kSettleSpread)
        return std::numeric_limits<float>::quiet_NaN();
    return sum / kSettleFrames;
}

// The whole frames of [start, end) that lie in the analysed range, as
// [first, last). Empty when the span is empty, reversed or not finite.
void analysedFrameSpan(float start, float end, int& first, int& last)
{
    first = 0;
    last = 0;
    if (!std::isfinite(start) || !std::isfinite(end))
        return;
    double lo = std::max(0.0, std::trunc(static_cast<double>(start)));
    double hi = std::min(static_cast<double>(kAnalysedFrames), std::ceil(static_cast<double>(end)));
    if (lo >= hi)
        return;
    first = static_cast<int>(lo);
    last = static_cast<int>(hi);
}

void writeNewNote(TakeModel& model, int m, int boundary)
{
    auto frame = static_cast<float>(boundary);
    model.targetStart[m] = frame;
    model.targetEnd[m] = frame + 1.0f;
    model.sourceStart[m] = frame;
    model.sourceEnd[m] = frame + 1.0f;
    model.sourceRow[m] = kAnalysisRow;
    model.pitch[m] = kPitchUnset;
    model.fineTune[m] = 0.0f;
    model.volume[m] = kInitialVolume;
    model.sourcePitch[m] = kPitchUnset;
    model.rawContourDamping[m] = 0.0f;
    model.fineContourDamping[m] = 0.0f;
    model.vibratoAmplitude[m] = 0.0f;
    model.vibratoRate[m] = kInitialVibratoRate;
    model.vibratoAttack[m] = 0.0f;
    model.blending[m] = kInitialBlending;
}

// The frames of one note's span that its source pitch may come from.
class NoteFrames {
public:
    NoteFrames(const TakeModel& model, int first, int last)
        : model(model)
        , first(first)
        , last(last)
    {
    }

    // Voiced, with a pitch the voice can have.
    bool usable(int i, float& p) const
    {
        p = pitchOf(model, kAnalysisRow, i);
        return voicingOf(model, kAnalysisRow, i) > 0.0f && p >= kSourcePitchLow
            && p < kSourcePitchHigh;
    }

    // Usable, voiced at least weakest, and measured in its own right: a
    // frame the detector filled in with the pitch of the frame after it
    // counts once, as that frame.
    bool steady(int i, float& p, float weakest) const
    {
        if (!usable(i, p))
            return false;
        const float voicing = voicingOf(model, kAnalysisRow, i);
        if (voicing < weakest)
            return false;
        return !(voicing == kBackFillVoicing && i + 1 < kAnalysedFrames
            && pitchOf(model, kAnalysisRow, i + 1) == p);
    }

    // The median of value(i, v) over the frames where it holds: the mean of
    // the two middle values for an even count; low when none holds.
    template <typename Value> double median(Value value, double low, double high) const
    {
        int count = 0;
        for (int i = first; i < last; ++i) {
            float v = 0.0f;
            count += value(i, v) ? 1 : 0;
        }
        if (count == 0)
            return low;
        return 0.5
            * (ranked(value, (count + 1) / 2, low, high) + ranked(value, count / 2 + 1, low, high));
    }

    // The value of the given rank (1 = the smallest) among value(i, v) over
    // the frames where it holds, all within [low, high]. The interval that
    // holds it is halved to kMedianPrecision, then the values left in it are
    // stepped through in order, so that no copy of the frames is needed and
    // the result is one of the values.
    template <typename Value> double ranked(Value value, int rank, double low, double high) const
    {
        if (atOrBelow(value, low) >= rank)
            return low;
        // From here on fewer than rank values lie at or below low.
        while (high - low > kMedianPrecision) {
            const double middle = 0.5 * (low + high);
            if (atOrBelow(value, middle) >= rank)
                high = middle;
            else
                low = middle;
        }
        for (;;) {
            double next = std::numeric_limits<double>::infinity();
            for (int i = first; i < last; ++i) {
                float v = 0.0f;
                if (value(i, v) && v > low)
                    next = std::min(next, static_cast<double>(v));
            }
            if (!std::isfinite(next) || atOrBelow(value, next) >= rank)
                return std::isfinite(next) ? next : high;
            low = next;
        }
    }

private:
    template <typename Value> int atOrBelow(Value value, double limit) const
    {
        int count = 0;
        for (int i = first; i < last; ++i) {
            float v = 0.0f;
            if (value(i, v) && v <= limit)
                ++count;
        }
        return count;
    }

    const TakeModel& model;
    const int first;
    const int last;
};

// Where a glide at one end of a note's frames ends: walking from `start`
// towards `end` in steps of `step`, the frames where pitch(i, p) holds that
// begin more than kGlideBand from the note's level and come closer to it
// frame by frame from one side, at least kMinGlideFrames of them, while no
// frame after them strays as far to that side as the last of them (vibrato
// swings back out; a glide does not). The frame after the last of them;
// `start` when there is no such glide.
template <typename Pitch> int glideEnd(int start, int end, int step, double level, Pitch pitch)
{
    double previous = 0.0;
    double outermost = 0.0;
    int frames = 0;
    int after = start;
    int i = start;
    for (; i != end; i += step) {
        float p = 0.0f;
        if (!pitch(i, p))
            continue;
        const double offset = p - level;
        if (frames == 0 && std::fabs(offset) <= kGlideBand)
            return start;
        if (frames > 0 && (offset * previous <= 0.0 || std::fabs(offset) >= std::fabs(previous)))
            break;
        if (frames == 0)
            outermost = offset;
        previous = offset;
        after = i + step;
        ++frames;
    }
    if (i == end || frames < kMinGlideFrames)
        return start;
    for (; i != end; i += step) {
        float p = 0.0f;
        if (pitch(i, p) && (p - level) * outermost > 0.0
            && std::fabs(p - level) >= kGlideReturnShare * std::fabs(outermost))
            return start;
    }
    return after;
}

// The level the usable frames of [first, last) hold (0 when there are none).
// A note plays its sung movement moved by its target minus this level, so it
// sits on its target when the middle of that movement does: the median of
// the frames where the voice holds steady. The median leaves out what lies
// to one side of the level only (the ends of glides into and out of the
// note, frames an octave astray), and over vibrato cut off by the note's end
// it stays where the voice swings about. Attack and release frames, where
// the voice swells or fades and the pitch reads a few cents off, stay out,
// and so do the copies the detector fills in. A note with fewer than
// kMinSteadyFrames such frames takes the mean of its usable frames within
// kSourceBand of their median.
double heldSourcePitch(const TakeModel& model, int first, int last, bool withoutGlides = false)
{
    const NoteFrames frames(model, first, last);
    int count = 0;
    double low = kSourcePitchHigh;
    double high = kSourcePitchLow;
    double loudest = 0.0;
    for (int i = first; i < last; ++i) {
        float p = 0.0f;
        if (frames.usable(i, p)) {
            ++count;
            low = std::min(low, static_cast<double>(p));
            high = std::max(high, static_cast<double>(p));
            const float voicing = voicingOf(model, kAnalysisRow, i);
            if (std::isfinite(voicing))
                loudest = std::max(loudest, static_cast<double>(voicing));
        }
    }
    if (count == 0)
        return 0.0;

    // An infinite voicing is loud, but it would leave no interval to halve.
    auto voicingOfUsable = [&](int i, float& v) {
        float p = 0.0f;
        v = voicingOf(model, kAnalysisRow, i);
        return frames.usable(i, p) && std::isfinite(v);
    };
    const double typical = frames.median(voicingOfUsable, 0.0, loudest);
    const auto weakest = static_cast<float>(kSteadyVoicingShare * typical);
    auto steadyPitch = [&](int i, float& p) { return frames.steady(i, p, weakest); };
    int steadyCount = 0;
    for (int i = first; i < last; ++i) {
        float p = 0.0f;
        steadyCount += steadyPitch(i, p) ? 1 : 0;
    }
    if (steadyCount >= kMinSteadyFrames) {
        const double level = frames.median(steadyPitch, low, high);
        // A short note's steady frames begin on the end of the glide into
        // it (and may end on the start of the glide out), all on one side of
        // its level: they pull the median a few cents that way. Without them
        // the median is taken again, when enough steady frames are left.
        if (!withoutGlides)
            return level;
        const int from = glideEnd(first, last, 1, level, steadyPitch);
        const int to = glideEnd(last - 1, first - 1, -1, level, steadyPitch) + 1;
        const NoteFrames held(model, from, to);
        int heldCount = 0;
        for (int i = from; i < to; ++i) {
            float p = 0.0f;
            heldCount += steadyPitch(i, p) ? 1 : 0;
        }
        return heldCount >= kMinSteadyFrames ? held.median(steadyPitch, low, high) : level;
    }

    auto usablePitch = [&](int i, float& p) { return frames.usable(i, p); };
    const double middle = frames.ranked(usablePitch, (count + 1) / 2, low, high);
    double sum = 0.0;
    int near = 0;
    for (int i = first; i < last; ++i) {
        float p = 0.0f;
        if (frames.usable(i, p) && std::fabs(p - middle) <= kSourceBand) {
            sum += p;
            ++near;
        }
    }
    return near > 0 ? sum / near : middle;
}

// The frames of [start, end) from the first to the last whose level lies
// within kHeldBand of the note's level: where the note held it, without the
// glides into and out of it. Empty when none does.
void heldSpan(const TakeModel& model, int start, int end, float level, int& first, int& last)
{
    first = 0;
    last = 0;
    for (int i = std::max(start, 0); i < std::min(end, kAnalysedFrames); ++i) {
        float here = levelAt(model, i);
        if (std::fabs(here - level) <= kHeldBand) {
            if (last == 0)
                first = i;
            last = i + 1;
        }
    }
}

// The level the current note held from its start to its last settled frame:
// the median of the frames where the voice held steady there. The window
// levels of a short note reach into its neighbour and into the glide it
// began with (and the frames the detector filled in on it), which pull the
// note's mean level towards the note before by a fifth of a semitone or
// more; the frames of the note alone do not. The mean level when the span
// holds no usable frame.
float levelHeldSince(const TakeModel& model, int start, int lastSettledFrame, float meanLevel)
{
    const int end = std::min(lastSettledFrame + 1, kAnalysedFrames);
    const NoteFrames frames(model, start, end);
    bool any = false;
    for (int i = std::max(start, 0); i < end && !any; ++i) {
        float p = 0.0f;
        any = frames.usable(i, p);
    }
    return any ? static_cast<float>(heldSourcePitch(model, start, end)) : meanLevel;
}

// Ends note n at frame end. Its source pitch comes from the frames where it
// held its level (NaN when it never settled: then from its whole span).
void closeNote(TakeModel& model, int n, int end, float level)
{
    model.targetEnd[n] = static_cast<float>(end);
    model.sourceEnd[n] = static_cast<float>(end);
    model.sourcePitch[n] = kPitchUnset;
    model.pitch[n] = kPitchUnset;
    int first = 0;
    int last = 0;
    if (!std::isnan(level))
        heldSpan(model, static_cast<int>(model.sourceStart[n]), end, level, first, last);
    if (last > first)
        model.sourcePitch[n] = static_cast<float>(heldSourcePitch(model, first, last, true));
    measureSourcePitch(model, n);
}

void selectOnce(TakeModel& model, int note)
{
    for (int s = 0; s < model.selectionCount; ++s)
        if (model.selection[s] == note)
            return;
    if (model.selectionCount < kMaxSelection)
        model.selection[model.selectionCount++] = note;
}

// The frame just past the recorded part of the take, inside the analysed range.
int recordedEndFrame(const TakeModel& model)
{
    int length = model.recordedLength.load(std::memory_order_relaxed);
    int frames = (std::max(length, 0) + kFrameLength - 1) / kFrameLength;
    return std::min(frames, kAnalysedFrames);
}

// Where the pitch leaves the old level for the new one: the first frame of
// the voiced run that ends at `to` and lies past kBoundaryShare of the step from
// the old level, which is where a glide into the new note begins (vibrato of
// the old note that reached as far ends its run before the glide). The run
// may reach back past `from`, the last frame whose window level still held
// the old level, for those windows lag behind a glide, but never to the
// note's first frame `noteStart`. When the voice paused on the way after
// `from`, the middle of that pause.
int boundaryBetween(
    const TakeModel& model, int noteStart, int from, int to, float oldLevel, float newLevel)
{
    const float mark = oldLevel + kBoundaryShare * (newLevel - oldLevel);
    const float direction = newLevel > oldLevel ? 1.0f : -1.0f;
    auto past = [&](int k) {
        const float p = pitchOf(model, kAnalysisRow, k);
        return voiced(model, k) && std::isfinite(p) && (p - mark) * direction >= 0.0f;
    };
    int crossing = to;
    while (crossing > noteStart + 1 && past(crossing - 1))
        --crossing;
    int pauseEnd = crossing;
    while (pauseEnd > from + 1 && std::isnan(levelAt(model, pauseEnd - 1)))
        --pauseEnd;
    if (pauseEnd == crossing)
        return crossing;
    return (pauseEnd + crossing) / 2;
}

} // namespace

void segmentNotes(TakeModel& model)
{
    model.noteCount = 0;
    model.selectionCount = 0;

    // The levels of the next kSettleFrames frames, kept as a ring.
    std::array<float, kSettleFrames> ahead {};
    for (int k = 0; k < kSettleFrames; ++k)
        ahead[static_cast<std::size_t>(k)] = levelAt(model, k);

    bool haveLevel = false;
    double levelSum = 0.0;
    int levelCount = 0;
    float noteLevel = 0.0f;
    int lastSettled = 0; // last frame of the latest settled stretch at the note's level
    float closedLevel = kNoLevel; // the level of the note a boundary closes
    bool tableFilled = false; // a boundary found no room for its note

    for (int i = 0; i < kAnalysedFrames; ++i) {
        bool boundary = (i == 0);
        int b = 0;
        const float settled = settledLevel(ahead);
        if (!std::isnan(settled)) {
            const int noteStart = model.noteCount > 0
                ? static_cast<int>(model.targetStart[model.noteCount - 1])
                : 0;
            // A level that passes the note's mean level by less than half a
            // semitone may still lie that far from what the note held.
            float heldLevel = noteLevel;
            if (haveLevel && std::fabs(settled - noteLevel) > kHoldBand
                && std::fabs(settled - noteLevel) < kNoteChangeSemitones)
                heldLevel = levelHeldSince(model, noteStart, lastSettled, noteLevel);
            if (haveLevel && std::fabs(settled - heldLevel) >= kNoteChangeSemitones) {
                boundary = true;
                b = boundaryBetween(model, noteStart, lastSettled, i, heldLevel, settled);
                closedLevel = noteLevel;
                levelSum = 0.0;
                levelCount = 0;
            }
            // The note's level follows the stretches that hold it; a level
            // the pitch passes on its way elsewhere does not move it, unless
            // the note has only just settled.
            if (!haveLevel || levelCount < kSettleFrames
                || std::fabs(settled - noteLevel) <= kHoldBand) {
                levelSum += settled;
                ++levelCount;
                noteLevel = static_cast<float>(levelSum / levelCount);
                haveLevel = true;
                lastSettled = i + kSettleFrames - 1;
            }
        }
        ahead[static_cast<std::size_t>(i % kSettleFrames)] = levelAt(model, i + kSettleFrames);

        if (boundary && model.noteCount >= kMaxNotes)
            tableFilled = true;
        if (!boundary || model.noteCount >= kMaxNotes)
            continue;
        if (model.noteCount > 0) {
            int n = model.noteCount - 1;
            if (static_cast<float>(b) <= model.targetEnd[n]) {
                // Shorter than two frames: the note before absorbs its span.
                --model.noteCount;
                n = model.noteCount - 1;
            }
            if (n >= 0)
                closeNote(model, n, b, closedLevel);
        }
        int m = model.noteCount;
        writeNewNote(model, m, b);
        model.prevNote[m] = m - 1;
        model.nextNote[m] = kLinkUnresolved;
        if (m > 0)
            model.nextNote[m - 1] = m;
        ++model.noteCount;
        noteChanged(model, m);
        selectOnce(model, m);
    }

    // The last note runs to the end of the recorded part of the take, and at
    // least one frame.
    int last = model.noteCount - 1;
    if (last < 0)
        return;
    float start = model.targetStart[last];
    int end = std::max(recordedEndFrame(model), static_cast<int>(start) + 1);
    // Once the table is full the last note spans several levels: it is
    // measured from its frames.
    closeNote(model, last, end, tableFilled || levelCount == 0 ? kNoLevel : noteLevel);
    noteChanged(model, last);
}

void measureSourcePitch(TakeModel& model, int note)
{
    if (note < 0 || note >= kMaxNotes)
        return;
    float& source = model.sourcePitch[note];
    if (source == kPitchUnset || !std::isfinite(source)) {
        int first = 0;
        int last = 0;
        analysedFrameSpan(model.sourceStart[note], model.sourceEnd[note], first, last);
        source = static_cast<float>(heldSourcePitch(model, first, last));
    }
    double whole = std::trunc(static_cast<double>(source) + kRoundingShift) - kRoundingBase;
    model.pitch[note] = static_cast<float>(whole);
    model.fineTune[note] = source - model.pitch[note];
}

float smoothedFramePitch(const TakeModel& model, int row, float t, float r)
{
    if (row < 0 || row >= kAnalysisRows)
        return 0.0f;
    if (!(t >= 0.0f && t < static_cast<float>(kAnalysedFrames)))
        return 0.0f;
    int c = static_cast<int>(t + 0.5f);
    if (r == 0.0f)
        return pitchOf(model, row, c);
    double sum = pitchOf(model, row, c);
    int n = 1;
    // No neighbour lies more than the analysed range away.
    double radius
        = std::isnan(r) ? 0.0 : std::min(static_cast<double>(r), double {kAnalysedFrames});
    auto addIfUsable = [&](int k) {
        float p = pitchOf(model, row, k);
        if (voicingOf(model, row, k) > 0.0f && p > -kSmoothingLimit && p < kSmoothingLimit) {
            sum += p;
            ++n;
        }
    };
    for (int i = 1; i <= radius; ++i) {
        if (c + i < kAnalysedFrames)
            addIfUsable(c + i);
        if (c - i >= 0)
            addIfUsable(c - i);
    }
    return static_cast<float>(sum / n);
}

void noteChanged(TakeModel& model, int note)
{
    if (note < 0 || note >= model.noteCount || note >= kMaxNotes)
        return;
    clearComputedContour(model, note);
    relinkChangedNote(model, note);
    model.noteEditorRedrawRequested.store(true, std::memory_order_relaxed);
}
