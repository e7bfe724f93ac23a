#include "model/fft.h"
#include "support/signals.h"

#include <cmath>
#include <complex>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <vector>

namespace {

using Spectrum = std::vector<std::complex<double>>;

// X[k] = sum x[n] e^(-2 pi i k n / N) for k = 0..N/2, directly, in double precision.
Spectrum directDft(const std::vector<float>& x)
{
    Spectrum out(kSpectrumBins);
    for (int k = 0; k < kSpectrumBins; ++k) {
        std::complex<double> sum = 0.0;
        for (int n = 0; n < kFftSize; ++n) {
            double angle = -2.0 * std::numbers::pi * static_cast<double>((long(k) * n) % kFftSize)
                / kFftSize;
            sum += static_cast<double>(x[n]) * std::polar(1.0, angle);
        }
        out[k] = sum;
    }
    return out;
}

struct Transformed {
    std::vector<float> re = std::vector<float>(kSpectrumBins);
    std::vector<float> im = std::vector<float>(kSpectrumBins);
};

struct FftTest : ::testing::Test {
    std::unique_ptr<RealFft> fft = std::make_unique<RealFft>();

    Transformed transform(const std::vector<float>& x) const
    {
        Transformed out;
        fft->transform(x.data(), out.re.data(), out.im.data());
        return out;
    }
};

std::vector<float> hannWindowed(std::vector<float> x)
{
    for (int n = 0; n < kFftSize; ++n)
        x[n] *= static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / kFftSize));
    return x;
}

struct DftCase {
    const char* name;
    std::vector<float> input;
    double maxError; // absolute, on any bin
};

} // namespace

// Every bin 0..1024 against the direct sum, including both real end bins.
// Noise of unit amplitude gives bins of about sqrt(2048 / 3) = 26; the
// windowed voice peaks near 100. Single precision over 10 stages and the
// separation stays well inside 1e-3 of that.
TEST_F(FftTest, AgreesWithADirectDftOnEveryBin)
{
    const DftCase cases[] = {
        {"noise", makeNoise(kFftSize, 1.0, 7), 2e-3},
        {"windowed voice", hannWindowed(makeHarmonicTone(233.7, kFftSize, kTestSampleRate, 12)),
            1e-3},
        {"DC and Nyquist", std::vector<float>(kFftSize, 0.25f), 1e-4},
    };
    for (const DftCase& c : cases) {
        std::vector<float> x = c.input;
        if (std::string(c.name) == "DC and Nyquist")
            for (int n = 1; n < kFftSize; n += 2)
                x[n] = -0.75f; // 0.25, -0.75, ...: bins 0 and 1024 only
        Spectrum expected = directDft(x);
        Transformed got = transform(x);
        double worst = 0.0;
        for (int k = 0; k < kSpectrumBins; ++k)
            worst = std::max(
                worst, std::abs(expected[k] - std::complex<double>(got.re[k], got.im[k])));
        EXPECT_LT(worst, c.maxError) << c.name;
        EXPECT_EQ(got.im[0], 0.0f) << c.name;
        EXPECT_EQ(got.im[kFftSize / 2], 0.0f) << c.name;
    }
}

TEST_F(FftTest, NegativeExponentAndNoScaling)
{
    // x[n] = cos(2 pi 5 n / N) + sin(2 pi 9 n / N) gives X[5] = N / 2 and
    // X[9] = -i N / 2: the opposite sign would give +i N / 2 at bin 9, a
    // scaled transform 1/2 or sqrt(N) / 2.
    std::vector<float> x(kFftSize);
    for (int n = 0; n < kFftSize; ++n)
        x[n] = static_cast<float>(std::cos(2.0 * std::numbers::pi * 5 * n / kFftSize)
            + std::sin(2.0 * std::numbers::pi * 9 * n / kFftSize));
    Transformed got = transform(x);
    EXPECT_NEAR(got.re[5], 1024.0, 1e-2);
    EXPECT_NEAR(got.im[5], 0.0, 1e-2);
    EXPECT_NEAR(got.re[9], 0.0, 1e-2);
    EXPECT_NEAR(got.im[9], -1024.0, 1e-2);
    for (int k = 0; k < kSpectrumBins; ++k)
        if (k != 5 && k != 9) {
            ASSERT_LT(std::hypot(got.re[k], got.im[k]), 1e-2) << k;
        }
}

// An impulse at odd and at even positions: the packing into real and
// imaginary parts must keep their delays apart.
TEST_F(FftTest, DelayedImpulsesGiveTheirLinearPhase)
{
    for (int delay : {1, 2, 1023, 2047}) {
        std::vector<float> x(kFftSize, 0.0f);
        x[delay] = 1.0f;
        Transformed got = transform(x);
        for (int k = 0; k < kSpectrumBins; ++k) {
            double angle = -2.0 * std::numbers::pi
                * static_cast<double>((long(k) * delay) % kFftSize) / kFftSize;
            ASSERT_NEAR(got.re[k], std::cos(angle), 1e-6) << delay << " bin " << k;
            ASSERT_NEAR(got.im[k], std::sin(angle), 1e-6) << delay << " bin " << k;
        }
    }
}
