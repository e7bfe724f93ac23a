// atan2 for four lanes at once, for the phases of the spectrum.
//
// The angle is folded into the first octant (t = min(|x|, |y|) / max(|x|, |y|)
// in [0, 1]), where atan t is the odd polynomial of degree 17 of a classic
// minimax fit, whose error is below 2e-8 radians on [0, 1], and unfolded with
// pi/2 - a, pi - a and the sign of y. With the rounding of single precision
// the result stays within kFastAtan2MaxError of the exact angle (3e-7 radians
// measured, most of it the rounding of angles near pi). The quadrants, the signed zeros and the
// axes follow std::atan2: atan2(+-0, -0) and atan2(+-0, x < 0) are +-pi, atan2(+-0, +0) is
// +-0. A NaN in either argument gives NaN.
#pragma once

#include <cstdint>
#include <cstring>

// Eight-lane values here only pass between functions inlined into code built
// for 256-bit registers; the baseline ABI never sees them.
#pragma GCC diagnostic push
#if defined(__clang__)
#if __has_warning("-Wpsabi")
#pragma clang diagnostic ignored "-Wpsabi"
#endif
#elif defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

using FloatLanes = float __attribute__((vector_size(16)));
using IntLanes = std::int32_t __attribute__((vector_size(16)));
// Eight lanes, for processors with 256-bit registers; every lane does what a
// lane of FloatLanes does.
using WideFloatLanes = float __attribute__((vector_size(32)));
using WideIntLanes = std::int32_t __attribute__((vector_size(32)));

// Radians; the phase-advance estimate turns a phase error e into a frequency
// error of 2 e oversampling / (2 pi) bins, about 3e-5 Hz at 44.1 kHz.
constexpr float kFastAtan2MaxError = 1.0e-6f;

namespace fast_atan2_detail {

constexpr float kPi = 3.14159265358979323846f;
constexpr float kHalfPi = 1.57079632679489661923f;
// atan t = t (1 + c1 t^2 + c2 t^4 + ... + c8 t^16) on [0, 1].
constexpr float kC1 = -0.3333314528f;
constexpr float kC2 = 0.1999355085f;
constexpr float kC3 = -0.1420889944f;
constexpr float kC4 = 0.1065626393f;
constexpr float kC5 = -0.0752896400f;
constexpr float kC6 = 0.0429096138f;
constexpr float kC7 = -0.0161657367f;
constexpr float kC8 = 0.0028662257f;
constexpr std::int32_t kSignBit = INT32_MIN;

// Where mask is set (all ones), a; elsewhere b.
template <typename F, typename I> __attribute__((always_inline)) inline F select(I mask, F a, F b)
{
    return reinterpret_cast<F>((mask & reinterpret_cast<I>(a)) | (~mask & reinterpret_cast<I>(b)));
}

} // namespace fast_atan2_detail

// F is FloatLanes or WideFloatLanes.
template <typename F> __attribute__((always_inline)) inline F atan2Lanes(F y, F x)
{
    using namespace fast_atan2_detail;
    using I = decltype(y < x);
    const I sign = I {} + kSignBit;
    const I xBits = reinterpret_cast<I>(x);
    const I yBits = reinterpret_cast<I>(y);
    const F ax = reinterpret_cast<F>(xBits & ~sign);
    const F ay = reinterpret_cast<F>(yBits & ~sign);

    // Steeper than the diagonal: atan(|y|/|x|) = pi/2 - atan(|x|/|y|).
    const I steep = ay > ax;
    const F small = select(steep, ax, ay);
    const F large = select(steep, ay, ax);
    const F zero = F {};
    const F t = select(large == zero, zero, small / large);

    // The polynomial in z = t^2 by Estrin's scheme: pairs, then pairs of
    // pairs, so that the chain of dependent operations is short.
    const F z = t * t;
    const F z2 = z * z;
    const F z4 = z2 * z2;
    const F low = (1.0f + kC1 * z) + z2 * (kC2 + kC3 * z);
    const F high = (kC4 + kC5 * z) + z2 * (kC6 + kC7 * z);
    F angle = t * (low + z4 * (high + z4 * kC8));

    angle = select(steep, kHalfPi - angle, angle);
    // x with its sign bit set (negative, or -0) mirrors into the left half.
    angle = select((xBits & sign) != 0, kPi - angle, angle);
    return reinterpret_cast<F>(reinterpret_cast<I>(angle) | (yBits & sign));
}

#pragma GCC diagnostic pop

// One angle through the same lanes.
inline float fastAtan2(float y, float x)
{
    FloatLanes angle = atan2Lanes(FloatLanes {y, y, y, y}, FloatLanes {x, x, x, x});
    return angle[0];
}
