#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <vector>

#include "model/fft.h"
#include "support/signals.h"

namespace {

using Spectrum = std::vector<std::complex<double>>;

// X[k] = sum x[n] e^(-2 pi i k n / N), directly, in double precision.
Spectrum directDft(const std::vector<float>& re, const std::vector<float>& im)
{
    Spectrum out(kFftSize);
    for (int k = 0; k < kFftSize; ++k) {
        std::complex<double> sum = 0.0;
        for (int n = 0; n < kFftSize; ++n) {
            double angle = -2.0 * std::numbers::pi * static_cast<double>((long(k) * n) % kFftSize) / kFftSize;
            sum += std::complex<double>(re[n], im[n]) * std::polar(1.0, angle);
        }
        out[k] = sum;
    }
    return out;
}

double largestError(const Spectrum& expected, const std::vector<float>& re, const std::vector<float>& im)
{
    double worst = 0.0;
    for (int k = 0; k < kFftSize; ++k)
        worst = std::max(worst, std::abs(expected[k] - std::complex<double>(re[k], im[k])));
    return worst;
}

struct FftTest : ::testing::Test {
    std::unique_ptr<Fft> fft = std::make_unique<Fft>();
};

}  // namespace

TEST_F(FftTest, AgreesWithADirectDftOnComplexNoise)
{
    std::vector<float> re = makeNoise(kFftSize, 1.0, 7);
    std::vector<float> im = makeNoise(kFftSize, 1.0, 99);
    Spectrum expected = directDft(re, im);
    fft->transform(re.data(), im.data());
    // Noise of unit amplitude gives bins of about sqrt(2048 * 2 / 3) = 37;
    // single precision over 11 stages stays well inside 1e-3 of that.
    EXPECT_LT(largestError(expected, re, im), 2e-3);
}

TEST_F(FftTest, AgreesWithADirectDftOnAWindowedTone)
{
    std::vector<float> re = makeHarmonicTone(233.7, kFftSize);
    for (int n = 0; n < kFftSize; ++n)
        re[n] *= static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / kFftSize));
    std::vector<float> im(kFftSize, 0.0f);
    Spectrum expected = directDft(re, im);
    fft->transform(re.data(), im.data());
    EXPECT_LT(largestError(expected, re, im), 1e-3);
}

TEST_F(FftTest, NegativeExponentAndNoScaling)
{
    // x[n] = e^(+2 pi i 5 n / N) lands entirely in bin 5 with the value N; the
    // opposite sign would put it in bin N - 5, a scaled transform would give 1
    // or sqrt(N).
    std::vector<float> re(kFftSize), im(kFftSize);
    for (int n = 0; n < kFftSize; ++n) {
        double angle = 2.0 * std::numbers::pi * 5 * n / kFftSize;
        re[n] = static_cast<float>(std::cos(angle));
        im[n] = static_cast<float>(std::sin(angle));
    }
    fft->transform(re.data(), im.data());
    EXPECT_NEAR(re[5], 2048.0, 1e-2);
    EXPECT_NEAR(im[5], 0.0, 1e-2);
    for (int k = 0; k < kFftSize; ++k) {
        if (k != 5) {
            ASSERT_LT(std::hypot(re[k], im[k]), 1e-2) << k;
        }
    }
}

TEST_F(FftTest, DelayedImpulseGivesTheLinearPhase)
{
    std::vector<float> re(kFftSize, 0.0f), im(kFftSize, 0.0f);
    re[1] = 1.0f;
    fft->transform(re.data(), im.data());
    for (int k = 0; k < kFftSize; ++k) {
        double angle = -2.0 * std::numbers::pi * k / kFftSize;
        ASSERT_NEAR(re[k], std::cos(angle), 1e-6) << k;
        ASSERT_NEAR(im[k], std::sin(angle), 1e-6) << k;
    }
}

TEST_F(FftTest, InverseThroughConjugatesRestoresTheInput)
{
    std::vector<float> re = makeNoise(kFftSize, 1.0, 3);
    std::vector<float> im = makeNoise(kFftSize, 1.0, 4);
    std::vector<float> re0 = re, im0 = im;
    fft->transform(re.data(), im.data());
    // ifft(X) = conj(fft(conj(X))) / N
    for (float& v : im)
        v = -v;
    fft->transform(re.data(), im.data());
    for (int n = 0; n < kFftSize; ++n) {
        ASSERT_NEAR(re[n] / kFftSize, re0[n], 1e-5) << n;
        ASSERT_NEAR(-im[n] / kFftSize, im0[n], 1e-5) << n;
    }
}

TEST_F(FftTest, RealInputGivesAConjugateSymmetricSpectrum)
{
    std::vector<float> re = makeNoise(kFftSize, 1.0, 11);
    std::vector<float> im(kFftSize, 0.0f);
    fft->transform(re.data(), im.data());
    EXPECT_NEAR(im[0], 0.0, 1e-4);
    EXPECT_NEAR(im[kFftSize / 2], 0.0, 1e-4);
    for (int k = 1; k < kFftSize / 2; ++k) {
        ASSERT_NEAR(re[k], re[kFftSize - k], 1e-3) << k;
        ASSERT_NEAR(im[k], -im[kFftSize - k], 1e-3) << k;
    }
}
