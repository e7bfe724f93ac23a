#include "model/pitch_units.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

// Named pitches and their frequencies both ways: the A of pitch -3 at 110 Hz,
// the octaves of A, and C3 at pitch 0.
TEST(PitchUnitsTest, NamedPitchesHaveTheirFrequencies)
{
    struct Case {
        double pitch;
        double hertz;
    };
    const Case cases[] = {{-3.0, 110.0}, {-15.0, 55.0}, {9.0, 220.0}, {21.0, 440.0}, {33.0, 880.0},
        {0.0, 130.812783}, {-30.0, 23.124651}};
    for (const Case& c : cases) {
        EXPECT_NEAR(frequencyOfPitch(c.pitch), c.hertz, 1e-6 * c.hertz) << c.pitch;
        EXPECT_NEAR(pitchOfFrequency(c.hertz), c.pitch, 1e-6) << c.hertz;
    }
}

TEST(PitchUnitsTest, ConversionsRoundTripOverTheVoicesRange)
{
    for (double pitch = -30.0; pitch <= 31.5; pitch += 0.125)
        EXPECT_NEAR(pitchOfFrequency(frequencyOfPitch(pitch)), pitch, 1e-12) << pitch;
}

TEST(PitchUnitsTest, FrequenciesWithoutAPitchGiveNoFinitePitch)
{
    EXPECT_EQ(pitchOfFrequency(0.0), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(pitchOfFrequency(-110.0)));
    EXPECT_TRUE(std::isnan(pitchOfFrequency(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_TRUE(std::isnan(frequencyOfPitch(std::numeric_limits<double>::quiet_NaN())));
}
