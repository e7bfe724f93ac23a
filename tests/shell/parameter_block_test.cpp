#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "shell/float_to_string.h"
#include "shell/parameter_block.h"

namespace {

std::string display(float value)
{
    char text[32] = "untouched";
    float2string(value, text, 8);
    return text;
}

}  // namespace

TEST(FloatToStringTest, WritesEightCharactersWithTruncatedFraction)
{
    EXPECT_EQ(display(20.0f), "20.00000");
    EXPECT_EQ(display(440.0f), "440.0000");
    EXPECT_EQ(display(1.0f), "1.000000");
    EXPECT_EQ(display(0.14f), "0.140000");
    // The float nearest 0.01 lies just below it, and digits are truncated.
    EXPECT_EQ(display(0.01f), "0.009999");
    EXPECT_EQ(display(0.0f), "0.000000");
    EXPECT_EQ(display(-1.5f), "-1.50000");
}

TEST(FloatToStringTest, LongIntegerPartsKeepTheirLastDigits)
{
    EXPECT_EQ(display(1234567.0f), "1234567.");
    EXPECT_EQ(display(12345678.0f), "2345678.");  // eight digits: the first one is dropped
}

TEST(FloatToStringTest, TooLargeOrNotFiniteLeavesTheTextAlone)
{
    EXPECT_EQ(display(1.0e9f), "untouched");
    EXPECT_EQ(display(-1.0e8f), "untouched");
    EXPECT_EQ(display(std::numeric_limits<float>::quiet_NaN()), "untouched");
    EXPECT_EQ(display(std::numeric_limits<float>::infinity()), "untouched");
}

TEST(ParameterBlockTest, DefaultsMapToTheirNormalisedValues)
{
    ParameterBlock block;
    EXPECT_FLOAT_EQ(normalisedParameter(block, kFollowSpeed), 0.07f);
    EXPECT_FLOAT_EQ(normalisedParameter(block, kToneThreshold), 0.5f);
    EXPECT_FLOAT_EQ(normalisedParameter(block, kAveragingCount), 0.5f);
    EXPECT_FLOAT_EQ(normalisedParameter(block, kTuning), 220.0f / 660.0f);
    EXPECT_NEAR(normalisedParameter(block, kPitchFactor), 0.5f, 1e-6f);
    EXPECT_EQ(normalisedParameter(block, 11), 0.0f);
    EXPECT_EQ(normalisedParameter(block, -1), 0.0f);
}

TEST(ParameterBlockTest, AveragingCountTruncatesAndStaysAtLeastOne)
{
    ParameterBlock block;
    setNormalisedParameter(block, kAveragingCount, 0.01f);  // 0.4 truncates to 0, raised to 1
    EXPECT_EQ(block.averagingCount, 1);
    EXPECT_FLOAT_EQ(normalisedParameter(block, kAveragingCount), 0.025f);
    setNormalisedParameter(block, kAveragingCount, 0.999f);
    EXPECT_EQ(block.averagingCount, 39);
}

TEST(ParameterBlockTest, OutOfRangeIndexChangesNothing)
{
    ParameterBlock block;
    setNormalisedParameter(block, 12, 0.5f);
    setNormalisedParameter(block, -3, 0.5f);
    ParameterBlock defaults;
    EXPECT_EQ(std::memcmp(&block, &defaults, sizeof block), 0);
}

TEST(ParameterBlockTest, MappingsRoundTripAtTheEdges)
{
    ParameterBlock block;
    setNormalisedParameter(block, kPitchFactor, 0.5f);
    EXPECT_FLOAT_EQ(block.pitchFactor, 1.0f);
    EXPECT_NEAR(normalisedParameter(block, kPitchFactor), 0.5f, 1e-6f);
    setNormalisedParameter(block, kTuning, 1.0f);
    EXPECT_FLOAT_EQ(block.tuning, 880.0f);
    setNormalisedParameter(block, kVibratoAttackStep, 1.0f);
    EXPECT_FLOAT_EQ(block.vibratoAttackStep, 0.02f);
    EXPECT_FLOAT_EQ(normalisedParameter(block, kVibratoAttackStep), 1.0f);
    setNormalisedParameter(block, kVibratoReleaseStep, 0.7f);
    EXPECT_FLOAT_EQ(block.vibratoReleaseStep, 0.07f);
    // Outside 0..1 the formulas apply without clamping.
    setNormalisedParameter(block, kToneThreshold, 2.0f);
    EXPECT_FLOAT_EQ(block.toneThreshold, 200.0f);
}

TEST(ParameterBlockTest, HostileValuesNeverReachAnIntegerConversion)
{
    ParameterBlock block;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    setNormalisedParameter(block, kAveragingCount, nan);
    EXPECT_EQ(block.averagingCount, 1);
    setNormalisedParameter(block, kAveragingCount, inf);
    EXPECT_EQ(block.averagingCount, kMaxAveragingCount);
    setNormalisedParameter(block, kAveragingCount, 1.0e30f);
    EXPECT_EQ(block.averagingCount, kMaxAveragingCount);
    setNormalisedParameter(block, kAveragingCount, -inf);
    EXPECT_EQ(block.averagingCount, 1);
    // 2.5 would ask for 100 history slots, 3.0 for 120: held at the capacity.
    setNormalisedParameter(block, kAveragingCount, 3.0f);
    EXPECT_EQ(block.averagingCount, kMaxAveragingCount);

    // Float parameters keep their value when the mapping is not finite.
    setNormalisedParameter(block, kPitchFactor, nan);
    EXPECT_FLOAT_EQ(block.pitchFactor, 1.0f);
    setNormalisedParameter(block, kPitchFactor, 1000.0f);
    EXPECT_FLOAT_EQ(block.pitchFactor, 1.0f);
    setNormalisedParameter(block, kToneThreshold, inf);
    EXPECT_FLOAT_EQ(block.toneThreshold, 50.0f);
}

TEST(ParameterBlockTest, NamesAndLabels)
{
    EXPECT_STREQ(parameterName(0), "Nachziehgeschwindigkeit");
    const char* smoothing = parameterName(1);
    ASSERT_NE(smoothing, nullptr);
    EXPECT_EQ(std::strlen(smoothing), 16u);
    EXPECT_EQ(static_cast<unsigned char>(smoothing[11]), 0xE4);  // ISO 8859-1, one byte
    EXPECT_STREQ(parameterName(4), "Vibratoamlitude");
    EXPECT_STREQ(parameterName(9), "Stimmung");
    EXPECT_STREQ(parameterName(10), "Pitch");
    EXPECT_EQ(parameterName(11), nullptr);
    EXPECT_EQ(parameterName(-1), nullptr);
    EXPECT_STREQ(parameterLabel(9), "Hz");
    EXPECT_STREQ(parameterLabel(3), "");
    EXPECT_STREQ(parameterLabel(99), "");
}
