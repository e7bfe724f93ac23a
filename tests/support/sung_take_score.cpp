#include "support/sung_take_score.h"

#include "model/take_model.h"

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
