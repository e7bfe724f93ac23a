#include "model/fast_atan2.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>

// Every direction on a fine grid of angles, at radii from the quietest bins
// to the loudest, against the double-precision angle.
TEST(FastAtan2Test, StaysWithinItsBoundEverywhere)
{
    constexpr int kAngles = 200000;
    double worst = 0.0;
    for (double radius : {1e-30, 1e-6, 1.0, 3.7e3, 1e30}) {
        for (int i = 0; i <= kAngles; ++i) {
            const double angle = -std::numbers::pi + 2.0 * std::numbers::pi * i / kAngles;
            const auto y = static_cast<float>(radius * std::sin(angle));
            const auto x = static_cast<float>(radius * std::cos(angle));
            const double exact = std::atan2(static_cast<double>(y), static_cast<double>(x));
            double error = std::fabs(fastAtan2(y, x) - exact);
            // Just below -pi and just above pi are the same direction.
            error = std::min(error, std::fabs(error - 2.0 * std::numbers::pi));
            worst = std::max(worst, error);
        }
    }
    EXPECT_LT(worst, kFastAtan2MaxError);
}

// The axes, the diagonals, the signed zeros and not-a-number, as std::atan2
// gives them.
TEST(FastAtan2Test, AxesZerosAndNaNsFollowTheStandardAtan2)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inputs[][2] = {{0.0f, 1.0f}, {-0.0f, 1.0f}, {0.0f, -1.0f}, {-0.0f, -1.0f},
        {1.0f, 0.0f}, {-1.0f, 0.0f}, {1.0f, -0.0f}, {0.0f, 0.0f}, {-0.0f, 0.0f}, {0.0f, -0.0f},
        {-0.0f, -0.0f}, {2.0f, 2.0f}, {-2.0f, -2.0f}, {3.0f, -3.0f}};
    for (const auto& [y, x] : inputs) {
        const float expected = std::atan2(y, x);
        const float got = fastAtan2(y, x);
        EXPECT_NEAR(got, expected, kFastAtan2MaxError) << y << ", " << x;
        EXPECT_EQ(std::signbit(got), std::signbit(expected)) << y << ", " << x;
    }
    EXPECT_TRUE(std::isnan(fastAtan2(nan, 1.0f)));
    EXPECT_TRUE(std::isnan(fastAtan2(1.0f, nan)));
}
