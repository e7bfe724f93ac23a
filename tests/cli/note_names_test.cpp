#include "cli/note_names.h"
#include "model/pitch_units.h"

#include <gtest/gtest.h>

TEST(NoteNamesTest, PitchZeroIsC3AndA4IsFourHundredForty)
{
    EXPECT_EQ(pitchName(0), "C3");
    EXPECT_EQ(pitchName(21), "A4");
    EXPECT_EQ(pitchName(12), "C4");
    EXPECT_EQ(pitchName(6), "F#3");
    EXPECT_EQ(pitchName(11), "B3");
    EXPECT_NEAR(frequencyOfPitch(21), 440.0, 1e-9);
    EXPECT_NEAR(frequencyOfPitch(0), 130.8128, 1e-4);
    EXPECT_NEAR(pitchOfFrequency(440.0), 21.0, 1e-12);
}

TEST(NoteNamesTest, PitchesBelowC3CountOctavesDownward)
{
    EXPECT_EQ(pitchName(-1), "B2");
    EXPECT_EQ(pitchName(-12), "C2");
    EXPECT_EQ(pitchName(-13), "B1");
    EXPECT_EQ(pitchName(-36), "C0");
}

TEST(NoteNamesTest, CentsFromTheNearestSemitone)
{
    EXPECT_NEAR(centsFromSemitone(4.3f), 30.0f, 1e-3f);
    EXPECT_NEAR(centsFromSemitone(4.7f), -30.0f, 1e-3f);
    EXPECT_NEAR(centsFromSemitone(-0.3f), -30.0f, 1e-3f);
    EXPECT_NEAR(centsFromSemitone(-2.8f), 20.0f, 1e-3f);
    // Halves go up.
    EXPECT_EQ(nearestPitchName(4.5f), "F3");
    EXPECT_EQ(nearestPitchName(-4.5f), "G#2");
    EXPECT_EQ(nearestPitchName(20.6f), "A4");
    EXPECT_NEAR(centsFromSemitone(4.5f), -50.0f, 1e-3f);
}
