#include "cli/note_plot.h"

#include "cli/note_names.h"
#include "engine/edit_session.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

struct Rgb {
    double r, g, b;
};

constexpr Rgb kBackground {0.98, 0.98, 0.98};
constexpr Rgb kSharpRow {0.92, 0.92, 0.93}; // rows of the black keys, as on a keyboard
constexpr Rgb kRowLine {0.84, 0.84, 0.86};
constexpr Rgb kOctaveLine {0.55, 0.55, 0.6}; // under each C
constexpr Rgb kTimeLine {0.8, 0.8, 0.82};
constexpr Rgb kText {0.15, 0.15, 0.15};
constexpr Rgb kNoteFill {1.0, 0.55, 0.0}; // the corrected notes
constexpr Rgb kNoteEdge {0.7, 0.35, 0.0};
constexpr Rgb kSungCurve {0.1, 0.3, 0.85};

constexpr double kNoteBarHeight = 0.6; // of a row
constexpr double kCurveWidth = 1.6;
constexpr double kLabelSize = 10.0;
constexpr double kMinTickSpacing = 70.0; // pixels between time labels at least
constexpr double kTickSteps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600};
constexpr int kEmptyLowest = 0; // C3 to C5 when nothing was sung
constexpr int kEmptyHighest = 24;
constexpr double kStrayShare = 0.005; // of the sung frames, at each end of the range
constexpr const char* kFont = "Liberation Sans";

void setColour(cairo_t* cr, Rgb colour) { cairo_set_source_rgb(cr, colour.r, colour.g, colour.b); }

bool isSharp(int pitch)
{
    const int pitchClass = ((pitch % 12) + 12) % 12;
    return pitchClass == 1 || pitchClass == 3 || pitchClass == 6 || pitchClass == 8
        || pitchClass == 10;
}

void drawPitchRows(cairo_t* cr, const PlotGeometry& g)
{
    const double left = PlotGeometry::kLeftMargin;
    const double right = g.width() - PlotGeometry::kRightMargin;
    const double half = PlotGeometry::kRowHeight / 2.0;
    cairo_set_font_size(cr, kLabelSize);
    for (int pitch = g.lowest(); pitch <= g.highest(); ++pitch) {
        const double y = g.yOf(pitch);
        if (isSharp(pitch)) {
            setColour(cr, kSharpRow);
            cairo_rectangle(cr, left, y - half, right - left, PlotGeometry::kRowHeight);
            cairo_fill(cr);
        }
        const bool octave = ((pitch % 12) + 12) % 12 == 0;
        setColour(cr, octave ? kOctaveLine : kRowLine);
        cairo_set_line_width(cr, 1.0);
        cairo_move_to(cr, left, std::floor(y + half) + 0.5);
        cairo_line_to(cr, right, std::floor(y + half) + 0.5);
        cairo_stroke(cr);
        const std::string name = pitchName(pitch);
        cairo_text_extents_t extents;
        cairo_text_extents(cr, name.c_str(), &extents);
        setColour(cr, kText);
        cairo_move_to(cr, left - 6 - extents.x_advance, y + extents.height / 2);
        cairo_show_text(cr, name.c_str());
    }
}

void drawTimeAxis(cairo_t* cr, const PlotGeometry& g, double seconds)
{
    double step = kTickSteps[std::size(kTickSteps) - 1];
    for (double candidate : kTickSteps)
        if (candidate * g.pixelsPerSecond() >= kMinTickSpacing) {
            step = candidate;
            break;
        }
    const double top = PlotGeometry::kTopMargin;
    const double bottom = g.height() - PlotGeometry::kBottomMargin;
    cairo_set_font_size(cr, kLabelSize);
    for (int tick = 0; tick * step <= seconds + 1e-9; ++tick) {
        const double x = std::floor(g.xOf(tick * step)) + 0.5;
        setColour(cr, kTimeLine);
        cairo_move_to(cr, x, top);
        cairo_line_to(cr, x, bottom + 4);
        cairo_stroke(cr);
        char label[32];
        std::snprintf(label, sizeof label, "%g s", tick * step);
        cairo_text_extents_t extents;
        cairo_text_extents(cr, label, &extents);
        setColour(cr, kText);
        cairo_move_to(cr, x - extents.x_advance / 2, bottom + 6 + extents.height);
        cairo_show_text(cr, label);
    }
}

// What the two marks mean, at the top right.
void drawLegend(cairo_t* cr, const PlotGeometry& g)
{
    constexpr double kSwatch = 18.0;
    constexpr double kGap = 6.0;
    constexpr double kSpacing = 16.0;
    const double y = PlotGeometry::kTopMargin / 2.0;
    cairo_set_font_size(cr, kLabelSize);
    const char* const sungLabel = "sung pitch";
    const char* const notesLabel = "corrected notes";
    cairo_text_extents_t sungText, notesText;
    cairo_text_extents(cr, sungLabel, &sungText);
    cairo_text_extents(cr, notesLabel, &notesText);
    double x = g.width() - PlotGeometry::kRightMargin - notesText.x_advance - kGap - kSwatch
        - kSpacing - sungText.x_advance - kGap - kSwatch;
    setColour(cr, kSungCurve);
    cairo_set_line_width(cr, kCurveWidth);
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + kSwatch, y);
    cairo_stroke(cr);
    x += kSwatch + kGap;
    setColour(cr, kText);
    cairo_move_to(cr, x, y + sungText.height / 2);
    cairo_show_text(cr, sungLabel);
    x += sungText.x_advance + kSpacing;
    cairo_rectangle(cr, x + 0.5, y - 3.5, kSwatch, 7.0);
    setColour(cr, kNoteFill);
    cairo_fill_preserve(cr);
    setColour(cr, kNoteEdge);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    x += kSwatch + kGap;
    setColour(cr, kText);
    cairo_move_to(cr, x, y + notesText.height / 2);
    cairo_show_text(cr, notesLabel);
}

} // namespace

PlotGeometry::PlotGeometry(double seconds, int lowestSung, int highestSung)
    : seconds(std::max(seconds, 0.0))
    , scale(std::min(kPixelsPerSecond, kMaxPlotWidth / std::max(seconds, 1e-3)))
    , low(lowestSung - kRangeMargin)
    , high(highestSung + kRangeMargin)
{
}

int PlotGeometry::width() const
{
    return kLeftMargin + static_cast<int>(std::ceil(seconds * scale)) + kRightMargin;
}

int PlotGeometry::height() const
{
    return kTopMargin + (high - low + 1) * kRowHeight + kBottomMargin;
}

double PlotGeometry::xOf(double time) const { return kLeftMargin + time * scale; }

double PlotGeometry::yOf(double pitch) const
{
    return kTopMargin + (high - pitch) * kRowHeight + kRowHeight / 2.0;
}

NotePlot::NotePlot(long inputSamples, int sampleRate)
    : samples(inputSamples)
    , rate(sampleRate)
{
}

void NotePlot::addSungPitch(const EditSession& session, const TakeSpan& span)
{
    session.read([&](const TakeModel& model) {
        for (int frame = 0; frame < kAnalysedFrames; ++frame) {
            const long sample = span.start + static_cast<long>(frame) * kFrameLength;
            if (sample < span.keepFrom)
                continue;
            if (sample >= span.keepTo)
                break;
            const auto at = static_cast<std::size_t>(frame);
            const float pitch = loadRelaxed(model.framePitch[0][at]);
            const float voicing = loadRelaxed(model.frameVoicing[0][at]);
            if (voicing > 0.0f && pitch != kUnvoicedPitch && std::isfinite(pitch))
                sung.push_back({sample, pitch});
        }
    });
}

void NotePlot::setNotes(const std::vector<FoundNote>& found)
{
    notes.clear();
    for (const FoundNote& note : found)
        if (note.voicedFrames > 0 && std::isfinite(note.targetPitch))
            notes.push_back(note);
}

PlotGeometry NotePlot::geometry() const
{
    // The range sung, without the few stray frames (a breath, a crack) that
    // lie far off: the outermost half percent on either side is left out of
    // it and drawn cut off at the edge. Every corrected note is inside.
    std::vector<float> pitches;
    for (const SungPoint& point : sung)
        pitches.push_back(point.pitch);
    std::sort(pitches.begin(), pitches.end());
    float lowest = std::numeric_limits<float>::infinity();
    float highest = -lowest;
    if (!pitches.empty()) {
        const auto stray = static_cast<std::size_t>(kStrayShare * pitches.size());
        lowest = pitches[stray];
        highest = pitches[pitches.size() - 1 - stray];
    }
    for (const FoundNote& note : notes) {
        lowest = std::min(lowest, note.targetPitch);
        highest = std::max(highest, note.targetPitch);
    }
    const double seconds = static_cast<double>(samples) / rate;
    if (lowest > highest)
        return PlotGeometry(seconds, kEmptyLowest, kEmptyHighest);
    return PlotGeometry(seconds, static_cast<int>(std::floor(lowest + 0.5f)),
        static_cast<int>(std::floor(highest + 0.5f)));
}

std::optional<Failure> NotePlot::writePng(const std::string& path) const
{
    const PlotGeometry g = geometry();
    cairo_surface_t* surface
        = cairo_image_surface_create(CAIRO_FORMAT_RGB24, g.width(), g.height());
    cairo_t* cr = cairo_create(surface);
    setColour(cr, kBackground);
    cairo_paint(cr);
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    drawPitchRows(cr, g);
    drawTimeAxis(cr, g, static_cast<double>(samples) / rate);
    drawLegend(cr, g);

    // Notes and pitch stay inside the rows; the stray frames are cut off there.
    cairo_rectangle(cr, PlotGeometry::kLeftMargin, PlotGeometry::kTopMargin,
        g.width() - PlotGeometry::kLeftMargin - PlotGeometry::kRightMargin,
        g.height() - PlotGeometry::kTopMargin - PlotGeometry::kBottomMargin);
    cairo_clip(cr);

    // The corrected notes: a bar on the pitch each note is played at.
    const double barHeight = kNoteBarHeight * PlotGeometry::kRowHeight;
    cairo_set_line_width(cr, 1.0);
    for (const FoundNote& note : notes) {
        const double x0 = g.xOf(static_cast<double>(note.startSample) / rate);
        const double x1 = g.xOf(static_cast<double>(note.endSample) / rate);
        const double y = g.yOf(note.targetPitch);
        cairo_rectangle(cr, x0 + 0.5, y - barHeight / 2, std::max(1.0, x1 - x0 - 1.0), barHeight);
        setColour(cr, kNoteFill);
        cairo_fill_preserve(cr);
        setColour(cr, kNoteEdge);
        cairo_stroke(cr);
    }

    // The sung pitch: one line through consecutive voiced frames, broken where
    // a frame is unvoiced.
    setColour(cr, kSungCurve);
    cairo_set_line_width(cr, kCurveWidth);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (std::size_t i = 0; i < sung.size(); ++i) {
        const double x = g.xOf((sung[i].sample + kFrameLength / 2.0) / rate);
        const double y = g.yOf(sung[i].pitch);
        if (i > 0 && sung[i].sample - sung[i - 1].sample == kFrameLength)
            cairo_line_to(cr, x, y);
        else
            cairo_move_to(cr, x, y);
    }
    cairo_stroke(cr);
    cairo_destroy(cr);

    cairo_surface_flush(surface);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS)
        return Failure {
            "cannot write " + path + ": " + cairo_status_to_string(status), kExitOutput};
    return std::nullopt;
}
