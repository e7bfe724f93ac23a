#include "cli/take_plan.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

constexpr int kRate = 4410; // small rate and take: ten seconds = 44,100 samples
constexpr long kSmallTake = 100000;

std::vector<float> noise(long length, float level, unsigned seed = 7)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-level, level);
    std::vector<float> samples(static_cast<std::size_t>(length));
    for (float& s : samples)
        s = uniform(random);
    return samples;
}

void quieten(std::vector<float>& samples, long from, long length, float factor)
{
    for (long i = from; i < from + length; ++i)
        samples[static_cast<std::size_t>(i)] *= factor;
}

} // namespace

TEST(TakePlanTest, InputThatFitsIsOneTake)
{
    std::vector<float> samples(static_cast<std::size_t>(kSmallTake), 0.1f);
    auto spans = planTakes(samples, kRate, kSmallTake);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0].start, 0);
    EXPECT_EQ(spans[0].end, kSmallTake);
    EXPECT_EQ(spans[0].keepFrom, 0);
    EXPECT_EQ(spans[0].keepTo, kSmallTake);
    // One sample more no longer fits.
    samples.push_back(0.1f);
    EXPECT_EQ(planTakes(samples, kRate, kSmallTake).size(), 2u);
}

TEST(TakePlanTest, OneTakeIsFiveMillionOneHundredTwentyThousandSamplesAtAnyRate)
{
    EXPECT_EQ(kTakeSamples, 5120000);
}

TEST(TakePlanTest, CutsAtTheQuietestFrameOfTheLastTenSeconds)
{
    std::vector<float> samples = noise(150000, 0.5f);
    // A quieter frame earlier than the last ten seconds of the take must not win.
    quieten(samples, 20000, 2048, 0.0f);
    const long quiet = 80000; // inside 100,000 - 44,100 .. 100,000
    quieten(samples, quiet, 1024, 0.01f);
    auto spans = planTakes(samples, kRate, kSmallTake);
    ASSERT_EQ(spans.size(), 2u);
    const long cut = spans[1].keepFrom;
    EXPECT_GE(cut, quiet);
    EXPECT_LE(cut + kJoinCrossfade, quiet + 1024);
    EXPECT_EQ(spans[0].keepTo, cut + kJoinCrossfade);
    EXPECT_EQ(spans[0].end, cut + kJoinCrossfade);
    // The next take starts a second early so that its analysis has settled.
    EXPECT_EQ(spans[1].start, cut - kRate);
    EXPECT_EQ(spans[1].end, 150000);
}

TEST(TakePlanTest, TakesCoverTheInputAndNeverExceedOneTake)
{
    for (long length : {200001L, 333333L, 512345L}) {
        std::vector<float> samples = noise(length, 0.3f, static_cast<unsigned>(length));
        auto spans = planTakes(samples, kRate, kSmallTake);
        ASSERT_GE(spans.size(), 2u);
        EXPECT_EQ(spans.front().keepFrom, 0);
        EXPECT_EQ(spans.back().keepTo, length);
        for (std::size_t k = 0; k < spans.size(); ++k) {
            EXPECT_LE(spans[k].end - spans[k].start, kSmallTake) << length << " take " << k;
            EXPECT_LE(spans[k].start, spans[k].keepFrom);
            EXPECT_GE(spans[k].end, spans[k].keepTo);
            if (k > 0) {
                EXPECT_EQ(spans[k].keepFrom, spans[k - 1].keepTo - kJoinCrossfade);
            }
        }
    }
}

TEST(TakePlanTest, SilentInputStillAdvances)
{
    std::vector<float> samples(350000, 0.0f);
    auto spans = planTakes(samples, kRate, kSmallTake);
    ASSERT_GE(spans.size(), 4u);
    for (std::size_t k = 1; k < spans.size(); ++k)
        EXPECT_GT(spans[k].keepFrom, spans[k - 1].keepFrom + kRate);
    EXPECT_EQ(spans.back().keepTo, 350000);
}

TEST(TakePlanTest, JoiningUnchangedTakesGivesTheInputBack)
{
    std::vector<float> samples = noise(260000, 0.4f);
    auto spans = planTakes(samples, kRate, kSmallTake);
    ASSERT_GE(spans.size(), 3u);
    std::vector<std::vector<float>> outputs;
    for (const TakeSpan& span : spans)
        outputs.emplace_back(samples.begin() + span.start, samples.begin() + span.end);
    std::vector<float> joined = joinTakes(outputs, spans, 260000);
    ASSERT_EQ(joined.size(), samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        ASSERT_NEAR(joined[i], samples[i], 1e-6f) << i;
}

TEST(TakePlanTest, JointBetweenDifferentTakesIsAGradualCrossfade)
{
    std::vector<float> samples = noise(150000, 0.5f);
    auto spans = planTakes(samples, kRate, kSmallTake);
    ASSERT_EQ(spans.size(), 2u);
    std::vector<std::vector<float>> outputs
        = {std::vector<float>(static_cast<std::size_t>(spans[0].end - spans[0].start), 1.0f),
            std::vector<float>(static_cast<std::size_t>(spans[1].end - spans[1].start), -1.0f)};
    std::vector<float> joined = joinTakes(outputs, spans, 150000);
    const long cut = spans[1].keepFrom;
    EXPECT_FLOAT_EQ(joined[static_cast<std::size_t>(cut - 1)], 1.0f);
    EXPECT_FLOAT_EQ(joined[static_cast<std::size_t>(cut + kJoinCrossfade)], -1.0f);
    // A step of 2 spread over the crossfade: no step larger than pi / 512.
    float largestStep = 0.0f;
    for (long p = cut - 10; p < cut + kJoinCrossfade + 10; ++p)
        largestStep = std::max(largestStep,
            std::fabs(
                joined[static_cast<std::size_t>(p + 1)] - joined[static_cast<std::size_t>(p)]));
    EXPECT_LT(largestStep, 0.0062f);
    EXPECT_GT(largestStep, 0.0f);
}

TEST(TakePlanTest, QuietestFrameIsCountedFromTheStartOfTheRange)
{
    std::vector<float> samples(5000, 1.0f);
    quieten(samples, 1100, 512, 0.0f); // not aligned to frames counted from 100
    // Frames from 100: 100, 612, 1124, ... ; 612..1123 overlaps the hole least
    // well, 1124..1635 holds 488 silent samples.
    EXPECT_EQ(quietestFrame(samples, 100, 5000), 1124);
    // A range shorter than a frame has no frame: the start is answered.
    EXPECT_EQ(quietestFrame(samples, 100, 400), 100);
}
