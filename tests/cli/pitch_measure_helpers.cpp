#include "pitch_measure.h"

#include <cmath>
#include <limits>

namespace {

constexpr long kWindow = 2048;
constexpr long kHop = 256;
constexpr double kThreshold = 0.12;

} // namespace

double yinFrequency(const float* x, long length, int sampleRate, double minHertz, double maxHertz)
{
    const long maxLag = static_cast<long>(sampleRate / minHertz) + 1;
    const long minLag = static_cast<long>(sampleRate / maxHertz);
    const long span = length - maxLag - 1;
    if (span <= 0 || minLag < 2)
        return 0.0;
    std::vector<double> difference(static_cast<std::size_t>(maxLag + 2), 0.0);
    for (long lag = 1; lag <= maxLag + 1; ++lag) {
        double sum = 0.0;
        for (long i = 0; i < span; ++i) {
            double d = static_cast<double>(x[i]) - x[i + lag];
            sum += d * d;
        }
        difference[static_cast<std::size_t>(lag)] = sum;
    }
    // Cumulative mean normalised difference.
    std::vector<double> normalised(difference.size(), 1.0);
    double running = 0.0;
    for (long lag = 1; lag <= maxLag + 1; ++lag) {
        running += difference[static_cast<std::size_t>(lag)];
        normalised[static_cast<std::size_t>(lag)]
            = running > 0.0 ? difference[static_cast<std::size_t>(lag)] * lag / running : 1.0;
    }
    long chosen = -1;
    for (long lag = minLag; lag <= maxLag; ++lag) {
        if (normalised[static_cast<std::size_t>(lag)] < kThreshold) {
            while (lag + 1 <= maxLag
                && normalised[static_cast<std::size_t>(lag + 1)]
                    < normalised[static_cast<std::size_t>(lag)])
                ++lag;
            chosen = lag;
            break;
        }
    }
    if (chosen < 0)
        return 0.0;
    double a = difference[static_cast<std::size_t>(chosen - 1)];
    double b = difference[static_cast<std::size_t>(chosen)];
    double c = difference[static_cast<std::size_t>(chosen + 1)];
    double denominator = a - 2.0 * b + c;
    double shift = denominator > 0.0 ? 0.5 * (a - c) / denominator : 0.0;
    return sampleRate / (static_cast<double>(chosen) + shift);
}

double meanPitch(const std::vector<float>& signal, long from, long to, int sampleRate)
{
    double sum = 0.0;
    int count = 0;
    for (long start = from; start + kWindow <= to; start += kHop) {
        double hertz = yinFrequency(&signal[static_cast<std::size_t>(start)], kWindow, sampleRate);
        if (hertz <= 0.0)
            continue;
        sum += 12.0 * std::log2(hertz / 110.0) - 3.0;
        ++count;
    }
    return count > 0 ? sum / count : std::numeric_limits<double>::quiet_NaN();
}
