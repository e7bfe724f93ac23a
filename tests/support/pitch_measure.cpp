#include "support/pitch_measure.h"

#include <cmath>
#include <vector>

namespace {

double correlation(const float* x, std::size_t count, std::size_t lag)
{
    double sum = 0.0;
    double energyA = 0.0;
    double energyB = 0.0;
    for (std::size_t i = 0; i + lag < count; ++i) {
        sum += static_cast<double>(x[i]) * x[i + lag];
        energyA += static_cast<double>(x[i]) * x[i];
        energyB += static_cast<double>(x[i + lag]) * x[i + lag];
    }
    double norm = std::sqrt(energyA * energyB);
    return norm > 0.0 ? sum / norm : 0.0;
}

} // namespace

double measureFrequency(
    const float* samples, std::size_t count, double sampleRate, double minHz, double maxHz)
{
    auto minLag = static_cast<std::size_t>(sampleRate / maxHz);
    auto maxLag = static_cast<std::size_t>(sampleRate / minHz) + 1;
    if (maxLag + 2 >= count || minLag < 2)
        return 0.0;
    std::vector<double> r(maxLag + 2, 0.0);
    for (std::size_t lag = minLag - 1; lag <= maxLag + 1; ++lag)
        r[lag] = correlation(samples, count, lag);
    // The first lag whose correlation comes within a few percent of the best
    // one: the fundamental rather than a multiple of its period.
    double best = 0.0;
    for (std::size_t lag = minLag; lag <= maxLag; ++lag)
        best = std::fmax(best, r[lag]);
    if (best < 0.5)
        return 0.0;
    for (std::size_t lag = minLag; lag <= maxLag; ++lag) {
        if (r[lag] >= 0.97 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
            double a = r[lag - 1];
            double b = r[lag];
            double c = r[lag + 1];
            double denominator = a - 2.0 * b + c;
            double shift = denominator != 0.0 ? 0.5 * (a - c) / denominator : 0.0;
            return sampleRate / (static_cast<double>(lag) + shift);
        }
    }
    return 0.0;
}

double centsBetween(double reference, double measured)
{
    return 1200.0 * std::log2(measured / reference);
}
