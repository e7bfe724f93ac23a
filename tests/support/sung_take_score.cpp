#include "support/sung_take_score.h"

#include "model/pitch_units.h"
#include "model/take_model.h"
#include "support/pitch_measure.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace {

constexpr long kTruthHalfWidth = kFrameLength; // samples either side of a frame's centre
constexpr double kCentsPerSemitone = 100.0;
// A note's own frames: its steady part without the release into the next.
constexpr double kReleaseSeconds = 0.03;
// A second note holding at least this share of a sung note's frames splits it.
constexpr double kSplitShare = 0.25;
constexpr std::size_t kDetailLines = 6;
constexpr float kBackFillVoicing = 0.1f;

long nearestSemitone(double pitch) { return std::lround(pitch); }

// How a played take's pitch is read: windows of a few periods inside each
// sung note's steady part, searched within a tone of the sung pitch.
constexpr double kWindowPeriods = 4.0;
constexpr double kWindowReleaseSeconds = 0.04;
constexpr double kSearchSemitones = 2.0;
constexpr double kNoReading = 1.0e9; // cents of a window without a period

// A sample step counts as a click when it is this many times the largest
// step of the sung input around it, plus a floor for quiet passages.
constexpr double kClickFactor = 2.0;
constexpr double kClickFloor = 0.01;
constexpr long kClickNeighbourhood = 1024; // samples either side
// The resynthesis plays the sung waveform up to three and a quarter periods
// late, 2,600 samples of a 70 Hz bass at 48 kHz: the input that far back
// is the signal's own movement there as well (a vowel's sharp glottal
// closures replayed while the input has already moved on to a softer vowel).
constexpr long kClickLookBackBlocks = 3;

} // namespace

long frameCentreSample(int frame) { return static_cast<long>(frame) * kFrameLength; }

FrameScore scoreFrames(const SungTake& take, const float* framePitch, const float* frameVoicing,
    int frames, double farCents, double closeCents)
{
    FrameScore score;
    for (int f = 0; f < frames; ++f) {
        // Frames the stability filter accepted; those it filled in afterwards
        // with a later frame's pitch carry the back-fill voicing.
        if (!(frameVoicing[f] > 0.0f) || frameVoicing[f] == kBackFillVoicing)
            continue;
        double truth = truePitchAround(take, frameCentreSample(f), kTruthHalfWidth);
        if (truth == kUnsungPitch)
            continue;
        ++score.accepted;
        double cents = kCentsPerSemitone * std::fabs(framePitch[f] - truth);
        if (cents > farCents)
            ++score.farOff;
        if (cents <= closeCents)
            ++score.within;
    }
    return score;
}

NoteScore scoreNotes(const SungTake& take, const std::vector<FoundNote>& notes)
{
    NoteScore score;
    std::ostringstream detail;
    std::vector<int> owner(take.notes.size(), -1);
    for (std::size_t s = 0; s < take.notes.size(); ++s) {
        const SungNoteTruth& sung = take.notes[s];
        const double release = kReleaseSeconds * take.sampleRate;
        const double first = static_cast<double>(sung.steadyStart) / kFrameLength;
        const double last = (static_cast<double>(sung.end) - release) / kFrameLength;
        if (last <= first)
            continue;
        std::vector<double> overlap(notes.size(), 0.0);
        for (std::size_t n = 0; n < notes.size(); ++n)
            overlap[n]
                = std::max(0.0, std::min(last, notes[n].end) - std::max(first, notes[n].start));
        auto best = std::max_element(overlap.begin(), overlap.end());
        if (best == overlap.end() || *best <= 0.0)
            continue;
        int main = static_cast<int>(best - overlap.begin());
        owner[s] = main;
        int parts = 0;
        for (double o : overlap)
            if (o >= kSplitShare * (last - first))
                ++parts;
        if (parts > 1) {
            ++score.split;
            detail << "note " << s << " (" << sung.centre << ") split in " << parts << "\n";
        }
        if (nearestSemitone(notes[static_cast<std::size_t>(main)].pitch)
            != nearestSemitone(sung.centre)) {
            ++score.wrongSemitone;
            detail << "note " << s << " sung " << sung.centre << " found "
                   << notes[static_cast<std::size_t>(main)].pitch << " at frames " << first << ".."
                   << last << "\n";
        }
    }
    for (std::size_t s = 1; s < owner.size(); ++s)
        if (owner[s] >= 0 && owner[s] == owner[s - 1]) {
            ++score.merged;
            detail << "notes " << s - 1 << " and " << s << " (" << take.notes[s - 1].centre << ", "
                   << take.notes[s].centre << ") merged\n";
        }
    std::string text = detail.str();
    std::size_t cut = 0;
    for (std::size_t line = 0; line < kDetailLines && cut != std::string::npos; ++line)
        cut = text.find('\n', cut + 1);
    score.detail = cut == std::string::npos ? text : text.substr(0, cut + 1);
    return score;
}

// Cents of the output from each sung note's semitone, window by window.
std::vector<std::vector<double>> centsFromSemitones(
    const SungTake& take, const std::vector<float>& output)
{
    std::vector<std::vector<double>> perNote;
    const double rate = take.sampleRate;
    for (const SungNoteTruth& note : take.notes) {
        std::vector<double> cents;
        const double semitone = std::round(note.centre);
        const double period = rate / frequencyOfPitch(note.centre);
        const long maxLag = std::lround(rate / frequencyOfPitch(semitone - kSearchSemitones)) + 2;
        const long length = std::lround(kWindowPeriods * period) + maxLag;
        const long first = note.steadyStart;
        const long last = note.end - std::lround(kWindowReleaseSeconds * rate) - length;
        const long step = std::lround(2.0 * period);
        // A note too short for a window inside it gets one in its middle.
        long from = first;
        long to = last;
        if (to < from)
            from = to = (first + note.end - length) / 2;
        for (long at = from; at <= to; at += step) {
            if (at < 0 || at + length > static_cast<long>(output.size()))
                continue;
            double hertz = measureFrequency(output.data() + at, static_cast<std::size_t>(length),
                rate, frequencyOfPitch(semitone - kSearchSemitones),
                frequencyOfPitch(semitone + kSearchSemitones));
            cents.push_back(
                hertz > 0.0 ? centsBetween(frequencyOfPitch(semitone), hertz) : kNoReading);
        }
        perNote.push_back(cents);
    }
    return perNote;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return kNoReading;
    auto middle = values.begin() + static_cast<long>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

WindowShare windowsWithin(const std::vector<std::vector<double>>& cents, double limit)
{
    WindowShare share;
    for (const std::vector<double>& note : cents)
        for (double c : note) {
            ++share.windows;
            share.close += std::fabs(c) <= limit ? 1 : 0;
        }
    return share;
}

// Sample steps of the output larger than the input's own around them.
int clicks(const std::vector<float>& input, const std::vector<float>& output)
{
    const long size = static_cast<long>(std::min(input.size(), output.size()));
    std::vector<double> inputStep(static_cast<std::size_t>(size), 0.0);
    for (long i = 1; i < size; ++i)
        inputStep[static_cast<std::size_t>(i)] = std::fabs(
            input[static_cast<std::size_t>(i)] - input[static_cast<std::size_t>(i - 1)]);
    // The largest input step within the neighbourhood and the look-back, in
    // blocks of the neighbourhood's size.
    const long blocks = size / kClickNeighbourhood + 1;
    std::vector<double> blockMax(static_cast<std::size_t>(blocks), 0.0);
    for (long i = 0; i < size; ++i) {
        double& m = blockMax[static_cast<std::size_t>(i / kClickNeighbourhood)];
        m = std::max(m, inputStep[static_cast<std::size_t>(i)]);
    }
    int count = 0;
    for (long i = 1; i < size; ++i) {
        const long b = i / kClickNeighbourhood;
        double local = blockMax[static_cast<std::size_t>(b)];
        for (long back = std::max(0L, b - kClickLookBackBlocks); back < b; ++back)
            local = std::max(local, blockMax[static_cast<std::size_t>(back)]);
        if (b + 1 < blocks)
            local = std::max(local, blockMax[static_cast<std::size_t>(b + 1)]);
        double step = std::fabs(
            output[static_cast<std::size_t>(i)] - output[static_cast<std::size_t>(i - 1)]);
        if (step > kClickFactor * local + kClickFloor)
            ++count;
    }
    return count;
}
