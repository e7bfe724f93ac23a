#include "model/fft.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace {

int reverseBits(int n, int bits)
{
    int r = 0;
    for (int b = 0; b < bits; ++b)
        r |= ((n >> b) & 1) << (bits - 1 - b);
    return r;
}

// e^(-i pi j / h), exact at the quarter turns so that those butterflies lose
// nothing to a cosine of pi/2 that is not quite zero.
std::pair<double, double> twiddle(int j, int h)
{
    if (j == 0)
        return {1.0, 0.0};
    if (2 * j == h)
        return {0.0, -1.0};
    double angle = -std::numbers::pi * j / h;
    return {std::cos(angle), std::sin(angle)};
}

}  // namespace

Fft::Fft()
{
    for (int n = 0; n < kFftSize; ++n)
        reversed[static_cast<std::size_t>(n)] = static_cast<std::uint16_t>(reverseBits(n, kFftStages));
    for (int h = 1; h < kFftSize; h *= 2)
        for (int j = 0; j < h; ++j) {
            auto [c, s] = twiddle(j, h);
            twiddleRe[static_cast<std::size_t>(h - 1 + j)] = static_cast<float>(c);
            twiddleIm[static_cast<std::size_t>(h - 1 + j)] = static_cast<float>(s);
        }
}

void Fft::transform(float* re, float* im) const
{
    for (int n = 0; n < kFftSize; ++n) {
        int r = reversed[static_cast<std::size_t>(n)];
        if (n < r) {
            std::swap(re[n], re[r]);
            std::swap(im[n], im[r]);
        }
    }
    butterflies(re, im);
}

void Fft::butterflies(float* __restrict re, float* __restrict im) const
{
    // First stage: pairs with the factor 1.
    for (int a = 0; a < kFftSize; a += 2) {
        float br = re[a + 1];
        float bi = im[a + 1];
        re[a + 1] = re[a] - br;
        im[a + 1] = im[a] - bi;
        re[a] += br;
        im[a] += bi;
    }
    for (int h = 2; h < kFftSize; h *= 2) {
        const float* __restrict wr = twiddleRe.data() + (h - 1);
        const float* __restrict wi = twiddleIm.data() + (h - 1);
        for (int start = 0; start < kFftSize; start += 2 * h) {
            float* __restrict ar = re + start;
            float* __restrict ai = im + start;
            float* __restrict br = re + start + h;
            float* __restrict bi = im + start + h;
            for (int j = 0; j < h; ++j) {
                float tr = br[j] * wr[j] - bi[j] * wi[j];
                float ti = br[j] * wi[j] + bi[j] * wr[j];
                br[j] = ar[j] - tr;
                bi[j] = ai[j] - ti;
                ar[j] += tr;
                ai[j] += ti;
            }
        }
    }
}
