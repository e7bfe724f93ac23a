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
// operations as the scalar code would, so the lanes never change a result.
using Lanes = float __attribute__((vector_size(16)));
static_assert(sizeof(Lanes) == kFftLanes * sizeof(float));

Lanes load(const float* p)
{
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// p[3], p[2], p[1], p[0]: the mirrored bins of a block.
Lanes loadReversed(const float* p) { return Lanes {p[3], p[2], p[1], p[0]}; }

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

// a, b = a + t, a - t with t = b (cr + i ci), on four lanes.
inline void rotatedButterfly(Lanes& ar, Lanes& ai, Lanes& br, Lanes& bi, Lanes cr, Lanes ci)
{
    Lanes tr = br * cr - bi * ci;
    Lanes ti = br * ci + bi * cr;
    br = ar - tr;
    bi = ai - ti;
    ar = ar + tr;
    ai = ai + ti;
}

} // namespace

RealFft::RealFft()
{
    for (int n = 0; n < kPackedSize; ++n)
        reversed[static_cast<std::size_t>(n)]
            = static_cast<std::uint16_t>(reverseBits(n, kPackedStages));
    for (int h = 1; h < kPackedSize; h *= 2)
        for (int j = 0; j < h; ++j) {
            auto [c, s] = twiddle(j, h);
            twiddleRe[static_cast<std::size_t>(h + j)] = static_cast<float>(c);
            twiddleIm[static_cast<std::size_t>(h + j)] = static_cast<float>(s);
        }
    // e^(-2 pi i k / 2048) = e^(-i pi k / 1024).
    for (int k = 0; k < kPackedSize; ++k) {
        auto [c, s] = twiddle(k, kPackedSize);
        splitRe[static_cast<std::size_t>(k)] = static_cast<float>(c);
        splitIm[static_cast<std::size_t>(k)] = static_cast<float>(s);
    }
}

void RealFft::transform(const float* x, float* re, float* im) const
{
    alignas(16) std::array<float, kPackedBufferSize> zr {};
    alignas(16) std::array<float, kPackedBufferSize> zi {};
    for (int n = 0; n < kFftSize; n += 2) {
        auto slot = static_cast<std::size_t>(packedSlot(n));
        zr[slot] = x[n];
        zi[slot] = x[n + 1];
    }
    butterflies(zr.data(), zi.data());
    separate(zr.data(), zi.data(), re, im);
}

void RealFft::butterflies(float* re, float* im) const
{
    // Half-length 1: pairs with the factor 1.
    for (int a = 0; a < kPackedSize; a += 2)
        butterfly(re, im, a, a + 1, re[a + 1], im[a + 1]);
    // Half-length 2: the factors 1 and -i, where (x + i y)(-i) = y - i x.
    for (int a = 0; a < kPackedSize; a += 4) {
        butterfly(re, im, a, a + 2, re[a + 2], im[a + 2]);
        butterfly(re, im, a + 1, a + 3, im[a + 3], -re[a + 3]);
    }
    // The remaining stages two at a time: half-lengths h and 2h over blocks
    // of 4h points, four lanes at once, the same operations as one stage
    // after the other but with one pass over memory instead of two.
    static_assert(kPackedStages % 2 == 0, "stages 1 and 2 above, the rest in pairs");
    for (int h = 4; h < kPackedSize; h *= 4) {
        const float* wr1 = twiddleRe.data() + h;
        const float* wi1 = twiddleIm.data() + h;
        const float* wr2 = twiddleRe.data() + 2 * h;
        const float* wi2 = twiddleIm.data() + 2 * h;
        for (int start = 0; start < kPackedSize; start += 4 * h)
            for (int j = 0; j < h; j += kFftLanes) {
                float* r = re + start + j;
                float* i = im + start + j;
                Lanes r0 = load(r), i0 = load(i);
                Lanes r1 = load(r + h), i1 = load(i + h);
                Lanes r2 = load(r + 2 * h), i2 = load(i + 2 * h);
                Lanes r3 = load(r + 3 * h), i3 = load(i + 3 * h);
                // Half-length h: (0, 1) and (2, 3), both with e^(-i pi j / h).
                rotatedButterfly(r0, i0, r1, i1, load(wr1 + j), load(wi1 + j));
                rotatedButterfly(r2, i2, r3, i3, load(wr1 + j), load(wi1 + j));
                // Half-length 2h: (0, 2) with e^(-i pi j / 2h), (1, 3) with
                // e^(-i pi (j + h) / 2h).
                rotatedButterfly(r0, i0, r2, i2, load(wr2 + j), load(wi2 + j));
                rotatedButterfly(r1, i1, r3, i3, load(wr2 + h + j), load(wi2 + h + j));
                store(r, r0), store(i, i0);
                store(r + h, r1), store(i + h, i1);
                store(r + 2 * h, r2), store(i + 2 * h, i2);
                store(r + 3 * h, r3), store(i + 3 * h, i3);
            }
    }
}

void RealFft::separate(float* zr, float* zi, float* re, float* im) const
{
    // Z[1024] is Z[0]: the mirror of bin 0.
    zr[kPackedSize] = zr[0];
    zi[kPackedSize] = zi[0];
    const Lanes half = {0.5f, 0.5f, 0.5f, 0.5f};
    for (int k = 0; k < kPackedSize; k += kFftLanes) {
        const int mirror = kPackedSize - k - (kFftLanes - 1); // lanes hold 1024 - k - lane
        Lanes ar = load(zr + k);
        Lanes ai = load(zi + k);
        Lanes br = loadReversed(zr + mirror);
        Lanes bi = loadReversed(zi + mirror);
        Lanes er = (ar + br) * half;
        Lanes ei = (ai - bi) * half;
        Lanes orr = (ai + bi) * half;
        Lanes oi = (br - ar) * half;
        Lanes c = load(splitRe.data() + k);
        Lanes s = load(splitIm.data() + k);
        store(re + k, er + (c * orr - s * oi));
        store(im + k, ei + (c * oi + s * orr));
    }
    // Bin 1024, where the factor is -1: E = Re Z[0], O = Im Z[0].
    re[kPackedSize] = zr[0] - zi[0];
    im[kPackedSize] = 0.0f;
}
