#include "shell/float_to_string.h"

#include <cmath>
#include <cstring>

namespace {

constexpr double kLargestPositive = 99999999.0;
constexpr double kLargestNegative = 9999999.0;
constexpr int kScratchLength = 32;

}  // namespace

void float2string(float value, char* text, int maxLength)
{
    double v = value;
    if (!std::isfinite(v) || maxLength < 1 || maxLength >= kScratchLength)
        return;
    int count = 0;
    bool negative = v < 0.0;
    if (negative) {
        v = -v;
        count++;
        if (v > kLargestNegative)
            return;
    } else if (v > kLargestPositive) {
        return;
    }

    // Integer part, produced from its last digit backwards into the scratch tail.
    char scratch[kScratchLength];
    char* s = scratch + kScratchLength - 1;
    *s-- = 0;
    *s-- = '.';
    count++;
    double integer = std::floor(v);
    *s-- = static_cast<char>(static_cast<int>(std::fmod(integer, 10.0)) + '0');
    integer /= 10.0;
    count++;
    while (integer >= 1.0 && count < maxLength) {
        *s-- = static_cast<char>(static_cast<int>(std::fmod(integer, 10.0)) + '0');
        integer /= 10.0;
        count++;
    }
    if (negative)
        *s-- = '-';
    std::strcpy(text, s + 1);
    if (count >= maxLength)
        return;

    // Fraction digits: the fraction scaled to the digits still free, emitted
    // last to first, each truncated.
    s = scratch + kScratchLength - 1;
    *s-- = 0;
    double mantissa = std::fmod(v, 1.0) * std::pow(10.0, maxLength - count);
    while (count < maxLength) {
        if (mantissa <= 0.0) {
            *s-- = '0';
        } else {
            *s-- = static_cast<char>(static_cast<int>(std::fmod(mantissa, 10.0)) + '0');
            mantissa /= 10.0;
        }
        count++;
    }
    std::strcat(text, s + 1);
}
