// The picture `cantilo --plot` draws of a tuned recording, to be read without
// the editor: the sung pitch curve and the corrected notes over the whole
// input in one picture, note names up the left side over the range sung (every
// octave its own rows) and seconds along the bottom.
#pragma once

#include "cli/take_corrector.h"
#include "cli/take_plan.h"

#include <optional>
#include <string>
#include <vector>

class EditSession;

// Where a time and a pitch lie in the picture.
struct PlotGeometry {
    static constexpr double kPixelsPerSecond = 100.0; // slower where the picture grows too wide
    static constexpr int kMaxPlotWidth = 16000; // pixels of time axis at most
    static constexpr int kRowHeight = 16; // pixels a semitone
    static constexpr int kLeftMargin = 44; // the note names
    static constexpr int kRightMargin = 16;
    static constexpr int kTopMargin = 22; // the legend
    static constexpr int kBottomMargin = 30; // the seconds
    static constexpr int kRangeMargin = 2; // semitones shown beyond the highest and lowest sung

    // A picture of `seconds` seconds over the whole semitones lowest..highest
    // (each widened by kRangeMargin).
    PlotGeometry(double seconds, int lowestSung, int highestSung);

    double pixelsPerSecond() const { return scale; }
    int lowest() const { return low; } // the bottom row's semitone
    int highest() const { return high; } // the top row's semitone
    int width() const;
    int height() const;
    double xOf(double seconds) const;
    double yOf(double pitch) const; // the middle of a semitone's row for a whole pitch

private:
    double seconds;
    double scale;
    int low;
    int high;
};

class NotePlot {
public:
    NotePlot(long inputSamples, int sampleRate);

    // Takes the sung pitch of the frames the take keeps ([keepFrom, keepTo) of
    // the input) from the effect's analysis.
    void addSungPitch(const EditSession& session, const TakeSpan& span);

    // The corrected notes, in positions of the whole input.
    void setNotes(const std::vector<FoundNote>& notes);

    // The geometry the picture is drawn with, from what has been added.
    PlotGeometry geometry() const;

    std::optional<Failure> writePng(const std::string& path) const;

private:
    struct SungPoint {
        long sample; // where the frame starts in the input
        float pitch;
    };
    long samples;
    int rate;
    std::vector<SungPoint> sung; // voiced frames only, in time order
    std::vector<FoundNote> notes;
};
