// The pictures cantilo draws with the note editor's view: read back with
// cairo and checked at the pixels where the scale grid and the corrected
// notes' red bars must be.
#include "cli/sung_melody.h"
#include "editor/note_geometry.h"
#include "editor/note_view_scene.h"
#include "program_runner.h"
#include "sound_files.h"

#include <cairo.h>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

constexpr int kBandHeight = 344;
constexpr CColor kRed {255, 0, 0, 255};
constexpr CColor kAllowedLine {180, 70, 80, 255};
constexpr CColor kExcludedLine {120, 30, 30, 255};

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
    bool is(int x, int y, CColor colour) const
    {
        const unsigned char* row = cairo_image_surface_get_data(surface)
            + static_cast<std::size_t>(y) * cairo_image_surface_get_stride(surface);
        const uint32_t pixel = reinterpret_cast<const uint32_t*>(row)[x];
        return CColor {uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel), 255}.sameRgb(
            colour);
    }
    // Columns of [from, to) whose pixel in row y has the colour.
    int countInRow(int y, int from, int to, CColor colour) const
    {
        int count = 0;
        for (int x = from; x < to; ++x)
            count += is(x, y, colour);
        return count;
    }

private:
    bool ok() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
    cairo_surface_t* surface;
};

int framesOf(long samples) { return static_cast<int>((samples + kFrameLength - 1) / kFrameLength); }

} // namespace

TEST(CantiloPlotEndToEndTest, TunePlotShowsTheScaleGridAndTheCorrectedNotesAcrossWindows)
{
    // E3 sung 30 cents flat, then A3 35 cents sharp, the second note sounding
    // across the boundary between the view's first and second window.
    const int rate = 44100;
    std::vector<SungSpan> spans;
    const std::vector<float> sung
        = synthesiseMelody({{4, -30.0f, 3.0}, {9, 35.0f, 3.0}}, rate, VoiceSettings {}, &spans);
    const std::string input = scratchPath("plot-in.wav");
    const std::string output = scratchPath("plot-out.wav");
    const std::string plot = scratchPath("plot.png");
    writeSound(input, sung, rate, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16);

    ProgramRun run = runCantiloProgram(
        {"tune", input, "-o", output, "--key", "C", "--scale", "major", "--plot", plot});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    Picture picture(plot);
    const int frames = framesOf(static_cast<long>(sung.size()));
    ASSERT_GT(frames, kVisibleFrames);
    ASSERT_LT(frames, 2 * kVisibleFrames);
    ASSERT_EQ(picture.width(), 2 * kVisibleFrames);
    ASSERT_EQ(picture.height(), kBandHeight);

    // Grid line p lies on pitch class 12 - p: line 1 is B (in C major), line 2
    // A sharp (not in it). Beyond the take's audio only the grid is drawn.
    const float rowH = rowHeight(kBandHeight);
    const int bLine = static_cast<int>(1 * rowH);
    const int aSharpLine = static_cast<int>(2 * rowH);
    const int tailFrom = frames + 10, tailTo = 2 * kVisibleFrames - 5;
    const int tail = tailTo - tailFrom;
    EXPECT_GE(picture.countInRow(bLine, tailFrom, tailTo, kAllowedLine), tail * 9 / 10);
    EXPECT_GE(picture.countInRow(aSharpLine, tailFrom, tailTo, kExcludedLine), tail * 9 / 10);
    EXPECT_EQ(picture.countInRow(bLine, tailFrom, tailTo, kExcludedLine), 0);

    // Each note's red bar lies on its corrected semitone, in both windows the
    // second note crosses, and on no neighbouring semitone.
    struct Bar {
        int semitone;
        int from;
        int to;
    };
    const int first = framesOf(spans[1].start) + 20, last = framesOf(spans[1].end) - 20;
    ASSERT_LT(first, kVisibleFrames - 40);
    ASSERT_GT(last, kVisibleFrames + 40);
    for (Bar bar : {Bar {4, framesOf(spans[0].start) + 20, framesOf(spans[0].end) - 20},
             Bar {9, first, kVisibleFrames}, Bar {9, kVisibleFrames, last}}) {
        const int length = bar.to - bar.from;
        const int y = pitchY(static_cast<float>(bar.semitone), rowH);
        EXPECT_GE(picture.countInRow(y, bar.from, bar.to, kRed), length * 8 / 10)
            << "semitone " << bar.semitone << " from frame " << bar.from;
        EXPECT_EQ(picture.countInRow(pitchY(bar.semitone + 1.0f, rowH), bar.from, bar.to, kRed), 0);
        EXPECT_EQ(picture.countInRow(pitchY(bar.semitone - 1.0f, rowH), bar.from, bar.to, kRed), 0);
    }
    for (const std::string& path : {input, output, plot})
        std::remove(path.c_str());
}

TEST(CantiloPlotEndToEndTest, DemoDrawsItsNotesNextToItsSoundFiles)
{
    const std::string folder = scratchPath("demo");
    ProgramRun run = runCantiloProgram({"demo", folder});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("demo-notes.png"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("not drawn"), std::string::npos) << run.out;

    const SoundFile input = readSound(folder + "/demo-input.wav");
    Picture picture(folder + "/demo-notes.png");
    const int frames = framesOf(static_cast<long>(input.info.frames));
    const int windows = (frames + kVisibleFrames - 1) / kVisibleFrames;
    ASSERT_EQ(picture.width(), windows * kVisibleFrames);
    ASSERT_EQ(picture.height(), kBandHeight);
    // Every note of the tune is in C major: red bars lie on its rows only.
    int red = 0;
    for (int semitone = 0; semitone < 12; ++semitone) {
        const int y = pitchY(static_cast<float>(semitone), rowHeight(kBandHeight));
        const int count = picture.countInRow(y, 0, frames, kRed);
        const bool inScale
            = semitone != 1 && semitone != 3 && semitone != 6 && semitone != 8 && semitone != 10;
        if (!inScale) {
            EXPECT_EQ(count, 0) << "semitone " << semitone;
        }
        red += count;
    }
    EXPECT_GT(red, frames / 2);
    std::filesystem::remove_all(folder);
}
