#include "model/pitch_units.h"
#include "support/pitch_measure.h"
#include "sustained_pitch.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr long kWindow = 2048;
constexpr long kHop = 256;
constexpr double kLowestHertz = 70.0;
constexpr double kHighestHertz = 700.0;

} // namespace

double meanPitch(const std::vector<float>& signal, long from, long to, int sampleRate)
{
    double sum = 0.0;
    int count = 0;
    for (long start = std::max(0L, from);
         start + kWindow <= to && start + kWindow <= static_cast<long>(signal.size());
         start += kHop) {
        double hertz = measureFrequency(&signal[static_cast<std::size_t>(start)], kWindow,
            sampleRate, kLowestHertz, kHighestHertz);
        if (hertz <= 0.0)
            continue;
        sum += pitchOfFrequency(hertz);
        ++count;
    }
    return count > 0 ? sum / count : std::numeric_limits<double>::quiet_NaN();
}
