// The spectrum of 2,048 real samples, X[k] = sum over n of x[n] e^(-2 pi i k n / N),
// unscaled, for bins k = 0..1024, in single precision.
//
// The real input is packed into 1,024 complex points z[n] = x[2n] + i x[2n + 1],
// transformed by an in-place radix-2 FFT of 1,024 points (bit-reversal
// permutation, then 10 butterfly stages, four or eight butterflies at a
// time), and the two interleaved half-spectra are separated afterwards:
//   E[k] = (Z[k] + conj Z[1024 - k]) / 2,  O[k] = -i (Z[k] - conj Z[1024 - k]) / 2,
//   X[k] = E[k] + e^(-2 pi i k / 2048) O[k].
// That is half the work of a complex transform of 2,048 points whose imaginary
// input is zero. All tables are made by the constructor; the transform itself
// never allocates.
#pragma once

#include <array>
#include <cstdint>

constexpr int kFftSize = 2048;
constexpr int kPackedSize = kFftSize / 2; // complex points of the packed transform
constexpr int kPackedStages = 10; // log2 of kPackedSize
constexpr int kSpectrumBins = kFftSize / 2 + 1; // bins 0..1024
constexpr int kFftLanes = 4; // butterflies and bins done at once
// x86 processors with 256-bit registers do eight lanes at once; the results
// are the same bit for bit.
#if defined(__x86_64__) || defined(__i386__)
#define CANTILO_WIDE_LANES 1
#else
#define CANTILO_WIDE_LANES 0
#endif
// Packed buffers hold one block of lanes more than the transform, so that the
// separation can read Z[1024] (a copy of Z[0]) with whole blocks.
constexpr int kPackedBufferSize = kPackedSize + kFftLanes;

class RealFft {
public:
    RealFft();

    // The spectrum of x[0..2047] into re[0..1024] and im[0..1024].
    void transform(const float* x, float* re, float* im) const;

    // The steps of transform, for callers that load the packed input
    // themselves (the pitch detector windows the samples on the way in).
    // Real sample n belongs in the real part (n even) or imaginary part (n
    // odd) of packed slot packedSlot(n), already in bit-reversed order.
    int packedSlot(int n) const { return reversed[static_cast<std::size_t>(n >> 1)]; }
    // Transforms the packed zr/zi (kPackedBufferSize each) in place.
    void butterflies(float* zr, float* zi) const;
    // Bins 0..1024 from the transformed packed zr/zi; writes zr/zi[1024].
    void separate(float* zr, float* zi, float* re, float* im) const;

    // Eight lanes where the processor has them (the default) or four; answers
    // whether eight are used.
    bool setWideLanes(bool on);
    bool wideLanes() const { return wide; }

private:
    bool wide = false;
    std::array<std::uint16_t, kPackedSize> reversed {};
    // The stage of half-length h reads its h twiddles e^(-i pi j / h) from
    // offset h, so that every stage's factors lie next to each other.
    alignas(16) std::array<float, kPackedSize> twiddleRe {};
    alignas(16) std::array<float, kPackedSize> twiddleIm {};
    // e^(-2 pi i k / 2048) for the separation, k = 0..1023.
    alignas(16) std::array<float, kPackedSize> splitRe {};
    alignas(16) std::array<float, kPackedSize> splitIm {};
};
