// The pictures cantilo draws: read back with cairo and checked where the
// corrected notes' bars and the sung pitch curve must be, on a pitch axis that
// keeps every octave apart and a time axis in seconds.
#include "cli/note_plot.h"
#include "cli/sung_melody.h"
#include "cli/take_plan.h"
#include "program_runner.h"
#include "sound_files.h"

#include <cairo.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

// A PNG read back into memory; width 0 when it could not be read.
class Picture {
public:
    explicit Picture(const std::string& path)
        : surface(cairo_image_surface_create_from_png(path.c_str()))
    {
    }
    ~Picture() { cairo_surface_destroy(surface); }
    int width() const { return ok() ? cairo_image_surface_get_width(surface) : 0; }
    int height() const { return ok() ? cairo_image_surface_get_height(surface) : 0; }

    // The middle row of the corrected-note bar near column x (below the
    // legend): of the columns x - 20 to x + 20, the one where the sung curve
    // covers least of the bar; NaN when there is no bar.
    double barMiddle(int x) const
    {
        constexpr int kNear = 20;
        double middle = NAN;
        int most = 0;
        for (int column = std::max(0, x - kNear); column <= std::min(width() - 1, x + kNear);
             ++column) {
            int first = -1, last = -1, count = 0;
            for (int y = PlotGeometry::kTopMargin; y < height(); ++y)
                if (isNoteFill(column, y)) {
                    first = first < 0 ? y : first;
                    last = y;
                    ++count;
                }
            if (count > most) {
                most = count;
                middle = (first + last) / 2.0;
            }
        }
        return middle;
    }
    // The rows of column x (below the legend) the sung curve's blue covers.
    std::vector<int> curveRows(int x) const
    {
        std::vector<int> rows;
        for (int y = PlotGeometry::kTopMargin; y < height(); ++y) {
            const uint32_t p = pixel(x, y);
            const int r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
            if (b > 150 && b - r > 80 && b - g > 50)
                rows.push_back(y);
        }
        return rows;
    }

private:
    bool ok() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
    uint32_t pixel(int x, int y) const
    {
        const unsigned char* row = cairo_image_surface_get_data(surface)
            + static_cast<std::size_t>(y) * cairo_image_surface_get_stride(surface);
        return reinterpret_cast<const uint32_t*>(row)[x] & 0xffffff;
    }
    // The bar's orange fill or its darker edge, not their blend with the blue.
    bool isNoteFill(int x, int y) const
    {
        const uint32_t p = pixel(x, y);
        const int r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
        return r > 170 && g > 70 && g < 160 && b < 40;
    }
    cairo_surface_t* surface;
};

constexpr int kRate = 44100;
constexpr double kRow = PlotGeometry::kRowHeight;

int columnOf(double seconds, int width, double seconds0)
{
    // The time axis: kPixelsPerSecond from the left margin while it fits.
    const double scale
        = std::min(PlotGeometry::kPixelsPerSecond, PlotGeometry::kMaxPlotWidth / seconds0);
    EXPECT_EQ(width,
        PlotGeometry::kLeftMargin + static_cast<int>(std::ceil(seconds0 * scale))
            + PlotGeometry::kRightMargin);
    return static_cast<int>(PlotGeometry::kLeftMargin + seconds * scale);
}

double middleSeconds(const SungSpan& span) { return (span.start + span.end) / 2.0 / kRate; }

// Every sung note's bar lies `semitone` rows from the first note's, and the
// sung curve runs through the note's middle columns within its detuning and
// vibrato of the bar.
void expectNotesOnTheirRows(const Picture& picture, const std::vector<SungNote>& melody,
    const std::vector<SungSpan>& spans, double seconds, std::size_t from, std::size_t to)
{
    const double reference
        = picture.barMiddle(columnOf(middleSeconds(spans[from]), picture.width(), seconds));
    ASSERT_FALSE(std::isnan(reference));
    for (std::size_t n = from; n < to; ++n) {
        const int x = columnOf(middleSeconds(spans[n]), picture.width(), seconds);
        const double bar = picture.barMiddle(x);
        const double expected = reference - (melody[n].semitone - melody[from].semitone) * kRow;
        EXPECT_NEAR(bar, expected, 1.5) << "note " << n << " at " << middleSeconds(spans[n]);
        const std::vector<int> curve = picture.curveRows(x);
        ASSERT_FALSE(curve.empty()) << "no sung pitch drawn at note " << n;
        const double sungRow = bar - melody[n].detuneCents / 100.0 * kRow;
        const double reach = (18.0 / 100.0) * kRow + 3.0; // vibrato and line width
        EXPECT_NEAR((curve.front() + curve.back()) / 2.0, sungRow, reach) << "note " << n;
    }
}

} // namespace

TEST(CantiloPlotEndToEndTest, NotesOfDifferentOctavesLieOnTheirOwnRowsAlongSeconds)
{
    // C3, C4 (the same pitch class an octave up), E3 and B3.
    const std::vector<SungNote> melody
        = {{0, -22.0f, 1.6}, {12, 18.0f, 1.6}, {4, -15.0f, 1.6}, {11, 20.0f, 1.6}};
    std::vector<SungSpan> spans;
    const std::vector<float> sung = synthesiseMelody(melody, kRate, VoiceSettings {}, &spans);
    const std::string input = scratchPath("plot-in.wav");
    const std::string output = scratchPath("plot-out.wav");
    const std::string plot = scratchPath("plot.png");
    writeSound(input, sung, kRate, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16);

    ProgramRun run = runCantiloProgram({"tune", input, "-o", output, "--plot", plot});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("drew the notes in " + plot), std::string::npos) << run.out;
    Picture picture(plot);
    ASSERT_GT(picture.width(), 0);
    // Every semitone from two below C3 to two above C4 has a row.
    EXPECT_GE(picture.height(),
        PlotGeometry::kTopMargin + 17 * PlotGeometry::kRowHeight + PlotGeometry::kBottomMargin);
    const double seconds = static_cast<double>(sung.size()) / kRate;
    expectNotesOnTheirRows(picture, melody, spans, seconds, 0, melody.size());
    for (const std::string& path : {input, output, plot})
        std::remove(path.c_str());
}

TEST(CantiloPlotEndToEndTest, SeveralTakesAreOnePictureWithoutAGapAtTheJoint)
{
    VoiceSettings voice;
    voice.breathSeconds = 0.4;
    const std::vector<SungNote> phrase
        = {{0, 20.0f, 1.6}, {4, -20.0f, 1.6}, {7, 15.0f, 1.6}, {9, -18.0f, 1.6}};
    std::vector<SungNote> melody;
    while (melody.size() * 2.0 < 125.0)
        melody.insert(melody.end(), phrase.begin(), phrase.end());
    std::vector<SungSpan> spans;
    const std::vector<float> sung = synthesiseMelody(melody, kRate, voice, &spans);
    const std::vector<TakeSpan> takes = planTakes(sung, kRate);
    ASSERT_EQ(takes.size(), 2u);
    const std::string input = scratchPath("plot-long.wav");
    const std::string output = scratchPath("plot-long-out.wav");
    const std::string plot = scratchPath("plot-long.png");
    writeSound(input, sung, kRate, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16);

    ProgramRun run = runCantiloProgram({"tune", input, "-o", output, "--plot", plot});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    Picture picture(plot);
    const double seconds = static_cast<double>(sung.size()) / kRate;
    ASSERT_GT(picture.width(), 0);
    EXPECT_LT(picture.height(), 40 * PlotGeometry::kRowHeight) << "one band, not one a take";
    // The notes sung within ten seconds of the joint, on both sides of it.
    const double cut = static_cast<double>(takes[1].keepFrom) / kRate;
    std::size_t first = 0;
    while (middleSeconds(spans[first]) < cut - 10.0 || melody[first].semitone != 0)
        ++first;
    std::size_t last = first;
    while (last < spans.size() && middleSeconds(spans[last]) < cut + 10.0)
        ++last;
    ASSERT_GT(last, first + 6);
    expectNotesOnTheirRows(picture, melody, spans, seconds, first, last);
    for (const std::string& path : {input, output, plot})
        std::remove(path.c_str());
}

TEST(CantiloPlotEndToEndTest, DemoDrawsItsNotesNextToItsSoundFiles)
{
    const std::string folder = scratchPath("demo");
    ProgramRun run = runCantiloProgram({"demo", folder});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("demo-notes.png"), std::string::npos) << run.out;

    const SoundFile input = readSound(folder + "/demo-input.wav");
    Picture picture(folder + "/demo-notes.png");
    std::vector<SungSpan> spans;
    const std::vector<SungNote> melody = demoMelody();
    synthesiseMelody(melody, kRate, VoiceSettings {}, &spans);
    expectNotesOnTheirRows(picture, melody, spans,
        static_cast<double>(input.info.frames) / input.info.samplerate, 0, melody.size());
    std::filesystem::remove_all(folder);
}
