// An in-place single-precision complex FFT of 2,048 points: iterative radix-2,
// bit-reversal permutation followed by 11 butterfly stages, with the twiddle
// factors computed once when the object is made.
//   X[k] = sum over n of x[n] e^(-2 pi i k n / N), unscaled.
#pragma once

#include <array>
#include <cstdint>

constexpr int kFftSize = 2048;
constexpr int kFftStages = 11;  // log2 of kFftSize

class Fft {
public:
    Fft();

    // Transforms re[0..2047] + i im[0..2047] in place.
    void transform(float* re, float* im) const;

    // The butterfly stages alone, for input already in bit-reversed order.
    void butterflies(float* re, float* im) const;

    // Where input sample n goes before the butterflies.
    int bitReversed(int n) const { return reversed[static_cast<std::size_t>(n)]; }

private:
    std::array<std::uint16_t, kFftSize> reversed{};
    // Stage s (half-length h = 2^s) reads its h twiddles e^(-i pi j / h) from
    // offset h - 1, so that every stage's factors lie next to each other.
    std::array<float, kFftSize - 1> twiddleRe{};
    std::array<float, kFftSize - 1> twiddleIm{};
};
