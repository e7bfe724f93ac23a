#include "cli/take_plan.h"

#include "cli/huge_pages.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

long quietestFrame(const std::vector<float>& samples, long from, long to)
{
    long best = from;
    double bestEnergy = std::numeric_limits<double>::infinity();
    for (long frame = from; frame + kFrameLength <= to; frame += kFrameLength) {
        double energy = 0.0;
        for (long i = frame; i < frame + kFrameLength; ++i)
            energy += static_cast<double>(samples[static_cast<std::size_t>(i)])
                * samples[static_cast<std::size_t>(i)];
        // Later frames win ties, so that a silent stretch is cut near its end and
        // the take is as long as it may be.
        if (energy <= bestEnergy) {
            bestEnergy = energy;
            best = frame;
        }
    }
    return best;
}

std::vector<TakeSpan> planTakes(const std::vector<float>& samples, int sampleRate, long takeSamples)
{
    const long length = static_cast<long>(samples.size());
    const long lead = std::lround(kJoinLeadSeconds * sampleRate);
    const long search = std::lround(kCutSearchSeconds * sampleRate);
    std::vector<TakeSpan> spans;
    long start = 0;
    long keepFrom = 0;
    while (length - start > takeSamples) {
        const long windowEnd = start + takeSamples - kJoinCrossfade;
        // The cut leaves the take more than its lead, so every take advances.
        const long earliest = std::max(windowEnd - search, keepFrom + lead + kFrameLength);
        const long cut = quietestFrame(samples, earliest, windowEnd);
        spans.push_back({start, cut + kJoinCrossfade, keepFrom, cut + kJoinCrossfade});
        keepFrom = cut;
        start = std::max(0L, cut - lead);
    }
    spans.push_back({start, length, keepFrom, length});
    return spans;
}

float joinFadeIn(long offset)
{
    double x = (static_cast<double>(offset) + 0.5) / kJoinCrossfade;
    return static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * x));
}

std::vector<float> joinTakes(
    const std::vector<std::vector<float>>& outputs, const std::vector<TakeSpan>& spans, long length)
{
    std::vector<float> joined = hugeSampleVector(static_cast<std::size_t>(std::max(0L, length)));
    auto takeSample = [&](std::size_t take, long position) {
        const std::vector<float>& output = outputs[take];
        long offset = position - spans[take].start;
        return offset >= 0 && offset < static_cast<long>(output.size())
            ? output[static_cast<std::size_t>(offset)]
            : 0.0f;
    };
    for (std::size_t take = 0; take < spans.size(); ++take) {
        const TakeSpan& span = spans[take];
        const bool fadesOut = take + 1 < spans.size();
        const long fadeFrom = fadesOut ? span.keepTo - kJoinCrossfade : span.keepTo;
        // The crossfade into this take was written with the take before it.
        const long ownFrom = take > 0 ? span.keepFrom + kJoinCrossfade : span.keepFrom;
        for (long p = ownFrom; p < std::min(fadeFrom, length); ++p)
            joined[static_cast<std::size_t>(p)] = takeSample(take, p);
        if (!fadesOut)
            continue;
        // Equal-power would lift a correlated joint by 3 dB; both takes
        // resynthesise the same voice, so their sum is crossfaded linearly in a
        // raised-cosine shape.
        for (long p = fadeFrom; p < std::min(span.keepTo, length); ++p) {
            const float in = joinFadeIn(p - fadeFrom);
            joined[static_cast<std::size_t>(p)]
                = (1.0f - in) * takeSample(take, p) + in * takeSample(take + 1, p);
        }
    }
    return joined;
}
