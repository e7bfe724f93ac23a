#include "editor/note_geometry.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

constexpr int kEditorViewHeight = 330; // 344-pixel scroll view minus its scrollbar

TEST(NoteGeometryTest, FoldToOctaveReducesIntoOneOctaveAroundC)
{
    EXPECT_FLOAT_EQ(foldToOctave(0.0f), 0.0f);
    EXPECT_NEAR(foldToOctave(11.6f), -0.4f, 1e-5f);
    EXPECT_FLOAT_EQ(foldToOctave(-1.0f), 11.0f);
    // The value analysis stores for unvoiced frames lands on row 8.
    EXPECT_FLOAT_EQ(foldToOctave(200.0f), 8.0f);
    EXPECT_NEAR(foldToOctave(25.25f), 1.25f, 1e-5f);
    EXPECT_NEAR(foldToOctave(-0.5f), -0.5f, 1e-5f);
}

TEST(NoteGeometryTest, FoldToOctaveKeepsVeryLowAndBadPitchesInsideTheView)
{
    // Below -48.5 the classes still repeat every twelve semitones.
    EXPECT_FLOAT_EQ(foldToOctave(-61.0f), 11.0f);
    EXPECT_FLOAT_EQ(foldToOctave(-1000.0f), foldToOctave(-1000.0f + 1200.0f));
    float huge = foldToOctave(1e30f);
    EXPECT_GE(huge, -0.5f);
    EXPECT_LT(huge, 11.5f);
    EXPECT_FLOAT_EQ(foldToOctave(std::numeric_limits<float>::quiet_NaN()), 8.0f);
    EXPECT_FLOAT_EQ(foldToOctave(-std::numeric_limits<float>::infinity()), 8.0f);
}

TEST(NoteGeometryTest, EditorViewRowsAndTicks)
{
    float rowH = rowHeight(kEditorViewHeight);
    EXPECT_NEAR(rowH, 25.3846f, 1e-4f);
    EXPECT_EQ(pitchY(0.0f, rowH), 304); // C near the bottom
    EXPECT_EQ(pitchY(11.0f, rowH), 25); // B one row below the top
    EXPECT_EQ(pitchY(12.0f, rowH), 304); // an octave up is the same row
    EXPECT_EQ(foldedPitchY(0.0f, rowH, -8.0f), 296);
    EXPECT_EQ(foldedPitchY(0.0f, rowH, 8.0f), 312);
}

VstTimeInfo tempoInfo(double tempo, double sampleRate = 44100.0)
{
    VstTimeInfo info {};
    info.tempo = tempo;
    info.sampleRate = sampleRate;
    info.flags = kVstTempoValid;
    return info;
}

TEST(NoteGeometryTest, BeatSpacingFollowsTheHostTempo)
{
    VstTimeInfo info = tempoInfo(120.0);
    EXPECT_NEAR(beatSpacing(&info, 30.0f), 43.0664f, 1e-3f);
    info = tempoInfo(300.0);
    EXPECT_NEAR(beatSpacing(&info, 30.0f), 17.2266f, 1e-3f);
    // 8.6 frames would be too dense.
    info = tempoInfo(600.0);
    EXPECT_FLOAT_EQ(beatSpacing(&info, 43.0f), 30.0f);
}

TEST(NoteGeometryTest, BeatSpacingKeepsThePreviousValueWithoutAUsableTempo)
{
    EXPECT_FLOAT_EQ(beatSpacing(nullptr, 43.0f), 43.0f);
    VstTimeInfo info = tempoInfo(0.0);
    EXPECT_FLOAT_EQ(beatSpacing(&info, 43.0f), 43.0f);
    info = tempoInfo(120.0, 0.0);
    EXPECT_FLOAT_EQ(beatSpacing(&info, 17.5f), 17.5f);
    info = tempoInfo(std::numeric_limits<double>::quiet_NaN());
    EXPECT_FLOAT_EQ(beatSpacing(&info, 43.0f), 43.0f);
    // A tempo so small that the spacing overflows keeps the old grid.
    info = tempoInfo(1e-320);
    EXPECT_FLOAT_EQ(beatSpacing(&info, 43.0f), 43.0f);
    // A previous value that is too dense or not a number is replaced too.
    EXPECT_FLOAT_EQ(beatSpacing(nullptr, 5.0f), 30.0f);
    EXPECT_FLOAT_EQ(beatSpacing(nullptr, std::numeric_limits<float>::quiet_NaN()), 30.0f);
}

} // namespace
