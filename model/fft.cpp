#include "model/fft.h"

#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

// The eight-lane helpers are always inlined into functions built for 256-bit
// registers, so no eight-lane value crosses a call that the baseline ABI
// would pass differently.
#if defined(__clang__)
#if __has_warning("-Wpsabi")
#pragma clang diagnostic ignored "-Wpsabi"
#endif
#elif defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

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

// Four (or, with 256-bit registers, eight) butterflies or bins at once. Every
// lane does the same single-precision operations as the scalar code would,
// so neither the lanes nor their number ever change a result.
using Lanes = float __attribute__((vector_size(16)));
using WideLanes = float __attribute__((vector_size(32)));
static_assert(sizeof(Lanes) == kFftLanes * sizeof(float));

template <typename F> constexpr int kLanesOf = static_cast<int>(sizeof(F) / sizeof(float));

template <typename F> __attribute__((always_inline)) inline F load(const float* p)
{
    F v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// p[n - 1], ..., p[1], p[0]: the mirrored bins of a block.
template <typename F> __attribute__((always_inline)) inline F loadReversed(const float* p)
{
    F v;
    for (int lane = 0; lane < kLanesOf<F>; ++lane)
        v[lane] = p[kLanesOf<F> - 1 - lane];
    return v;
}

template <typename F> __attribute__((always_inline)) inline void store(float* p, F v)
{
    std::memcpy(p, &v, sizeof v);
}

// x[a], x[b] = x[a] + t, x[a] - t, where t is x[b] already multiplied by its
// twiddle.
inline void butterfly(float* re, float* im, int a, int b, float tr, float ti)
{
    re[b] = re[a] - tr;
    im[b] = im[a] - ti;
    re[a] += tr;
    im[a] += ti;
}

// a, b = a + t, a - t with t = b (cr + i ci), on all lanes.
template <typename F>
__attribute__((always_inline)) inline void rotatedButterfly(F& ar, F& ai, F& br, F& bi, F cr, F ci)
{
    F tr = br * cr - bi * ci;
    F ti = br * ci + bi * cr;
    br = ar - tr;
    bi = ai - ti;
    ar = ar + tr;
    ai = ai + ti;
}

// Stages of half-lengths h and 2h over blocks of 4h points (h a multiple of
// the lanes): the same operations as one stage after the other, but one pass
// over memory instead of two. The factors of half-length h lie from offset h.
template <typename F>
__attribute__((always_inline)) inline void stagePair(
    float* re, float* im, int h, const float* twiddleRe, const float* twiddleIm)
{
    const float* wr1 = twiddleRe + h;
    const float* wi1 = twiddleIm + h;
    const float* wr2 = twiddleRe + 2 * h;
    const float* wi2 = twiddleIm + 2 * h;
    for (int start = 0; start < kPackedSize; start += 4 * h)
        for (int j = 0; j < h; j += kLanesOf<F>) {
            float* r = re + start + j;
            float* i = im + start + j;
            F r0 = load<F>(r), i0 = load<F>(i);
            F r1 = load<F>(r + h), i1 = load<F>(i + h);
            F r2 = load<F>(r + 2 * h), i2 = load<F>(i + 2 * h);
            F r3 = load<F>(r + 3 * h), i3 = load<F>(i + 3 * h);
            // Half-length h: (0, 1) and (2, 3), both with e^(-i pi j / h).
            rotatedButterfly(r0, i0, r1, i1, load<F>(wr1 + j), load<F>(wi1 + j));
            rotatedButterfly(r2, i2, r3, i3, load<F>(wr1 + j), load<F>(wi1 + j));
            // Half-length 2h: (0, 2) with e^(-i pi j / 2h), (1, 3) with
            // e^(-i pi (j + h) / 2h).
            rotatedButterfly(r0, i0, r2, i2, load<F>(wr2 + j), load<F>(wi2 + j));
            rotatedButterfly(r1, i1, r3, i3, load<F>(wr2 + h + j), load<F>(wi2 + h + j));
            store(r, r0), store(i, i0);
            store(r + h, r1), store(i + h, i1);
            store(r + 2 * h, r2), store(i + 2 * h, i2);
            store(r + 3 * h, r3), store(i + 3 * h, i3);
        }
}

// The stage pairs after the first (h = 4, which four lanes fill exactly).
template <typename F>
__attribute__((always_inline)) inline void laterStagePairs(
    float* re, float* im, const float* twiddleRe, const float* twiddleIm)
{
    for (int h = 4 * kFftLanes; h < kPackedSize; h *= 4)
        stagePair<F>(re, im, h, twiddleRe, twiddleIm);
}

// Bins 0..1023 from the packed spectrum, whose Z[1024] is already Z[0].
template <typename F>
__attribute__((always_inline)) inline void separateBlocks(const float* zr, const float* zi,
    const float* splitRe, const float* splitIm, float* re, float* im)
{
    const F half = F {} + 0.5f;
    for (int k = 0; k < kPackedSize; k += kLanesOf<F>) {
        const int mirror = kPackedSize - k - (kLanesOf<F> - 1); // lanes hold 1024 - k - lane
        F ar = load<F>(zr + k);
        F ai = load<F>(zi + k);
        F br = loadReversed<F>(zr + mirror);
        F bi = loadReversed<F>(zi + mirror);
        F er = (ar + br) * half;
        F ei = (ai - bi) * half;
        F orr = (ai + bi) * half;
        F oi = (br - ar) * half;
        F c = load<F>(splitRe + k);
        F s = load<F>(splitIm + k);
        store(re + k, er + (c * orr - s * oi));
        store(im + k, ei + (c * oi + s * orr));
    }
}

void laterStagePairsNarrow(float* re, float* im, const float* twiddleRe, const float* twiddleIm)
{
    laterStagePairs<Lanes>(re, im, twiddleRe, twiddleIm);
}

void separateNarrow(const float* zr, const float* zi, const float* splitRe, const float* splitIm,
    float* re, float* im)
{
    separateBlocks<Lanes>(zr, zi, splitRe, splitIm, re, im);
}

#if CANTILO_WIDE_LANES
__attribute__((target("avx2"))) void laterStagePairsWide(
    float* re, float* im, const float* twiddleRe, const float* twiddleIm)
{
    laterStagePairs<WideLanes>(re, im, twiddleRe, twiddleIm);
}

__attribute__((target("avx2"))) void separateWide(const float* zr, const float* zi,
    const float* splitRe, const float* splitIm, float* re, float* im)
{
    separateBlocks<WideLanes>(zr, zi, splitRe, splitIm, re, im);
}
#endif

} // namespace

bool RealFft::setWideLanes(bool on)
{
#if CANTILO_WIDE_LANES
    // The processor's features may not be read yet when a RealFft is made
    // by a static constructor.
    __builtin_cpu_init();
    wide = on && __builtin_cpu_supports("avx2");
#else
    (void)on;
#endif
    return wide;
}

RealFft::RealFft()
{
    setWideLanes(true);
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
    // The remaining stages two at a time.
    static_assert(kPackedStages % 2 == 0, "stages 1 and 2 above, the rest in pairs");
    stagePair<Lanes>(re, im, kFftLanes, twiddleRe.data(), twiddleIm.data());
#if CANTILO_WIDE_LANES
    if (wide) {
        laterStagePairsWide(re, im, twiddleRe.data(), twiddleIm.data());
        return;
    }
#endif
    laterStagePairsNarrow(re, im, twiddleRe.data(), twiddleIm.data());
}

void RealFft::separate(float* zr, float* zi, float* re, float* im) const
{
    // Z[1024] is Z[0]: the mirror of bin 0.
    zr[kPackedSize] = zr[0];
    zi[kPackedSize] = zi[0];
#if CANTILO_WIDE_LANES
    if (wide)
        separateWide(zr, zi, splitRe.data(), splitIm.data(), re, im);
    else
#endif
        separateNarrow(zr, zi, splitRe.data(), splitIm.data(), re, im);
    // Bin 1024, where the factor is -1: E = Re Z[0], O = Im Z[0].
    re[kPackedSize] = zr[0] - zi[0];
    im[kPackedSize] = 0.0f;
}
