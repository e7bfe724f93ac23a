#include "model/fft.h"

#include <cmath>
#include <cstring>
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

// Four butterflies at once. Every lane does the same single-precision
// operations as the scalar code, so the results are the same bit for bit.
using Lanes = float __attribute__((vector_size(16)));
constexpr int kLaneCount = 4;

Lanes load(const float* p)
{
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void store(float* p, Lanes v) { std::memcpy(p, &v, sizeof v); }

// x[a], x[b] = x[a] + t, x[a] - t, where t is x[b] already multiplied by its
// twiddle.
inline void butterfly(float* re, float* im, int a, int b, float tr, float ti)
{
    re[b] = re[a] - tr;
    im[b] = im[a] - ti;
    re[a] += tr;
    im[a] += ti;
}

} // namespace

Fft::Fft()
{
    for (int n = 0; n < kFftSize; ++n)
        reversed[static_cast<std::size_t>(n)]
            = static_cast<std::uint16_t>(reverseBits(n, kFftStages));
    for (int h = 1; h < kFftSize; h *= 2)
        for (int j = 0; j < h; ++j) {
            auto [c, s] = twiddle(j, h);
            twiddleRe[static_cast<std::size_t>(h + j)] = static_cast<float>(c);
            twiddleIm[static_cast<std::size_t>(h + j)] = static_cast<float>(s);
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

void Fft::butterflies(float* re, float* im) const
{
    // Half-length 1: pairs with the factor 1.
    for (int a = 0; a < kFftSize; a += 2)
        butterfly(re, im, a, a + 1, re[a + 1], im[a + 1]);
    // Half-length 2: the factors 1 and -i, where (x + i y)(-i) = y - i x.
    for (int a = 0; a < kFftSize; a += 4) {
        butterfly(re, im, a, a + 2, re[a + 2], im[a + 2]);
        butterfly(re, im, a + 1, a + 3, im[a + 3], -re[a + 3]);
    }
    for (int h = 4; h < kFftSize; h *= 2) {
        const float* wr = twiddleRe.data() + h;
        const float* wi = twiddleIm.data() + h;
        for (int start = 0; start < kFftSize; start += 2 * h)
            for (int j = 0; j < h; j += kLaneCount) {
                int a = start + j;
                int b = a + h;
                Lanes cr = load(wr + j);
                Lanes ci = load(wi + j);
                Lanes xr = load(re + b);
                Lanes xi = load(im + b);
                Lanes tr = xr * cr - xi * ci;
                Lanes ti = xr * ci + xi * cr;
                Lanes ar = load(re + a);
                Lanes ai = load(im + a);
                store(re + b, ar - tr);
                store(im + b, ai - ti);
                store(re + a, ar + tr);
                store(im + a, ai + ti);
            }
    }
}
