#include "support/signals.h"

#include "model/pitch_units.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// A fixed, irregular starting phase per partial, so that harmonic tones are
// not all cosine-aligned.
double partialPhase(int h) { return std::fmod(h * 2.399963229728653, kTwoPi); }

} // namespace

std::vector<float> makeSilence(int count)
{
    return std::vector<float>(static_cast<size_t>(count), 0.0f);
}

std::vector<float> makeSine(
    double frequency, int count, double sampleRate, double amplitude, double phase)
{
    std::vector<float> out(static_cast<size_t>(count));
    for (int n = 0; n < count; ++n)
        out[static_cast<size_t>(n)]
            = static_cast<float>(amplitude * std::sin(kTwoPi * frequency * n / sampleRate + phase));
    return out;
}

std::vector<float> makeHarmonicTone(
    double frequency, int count, double sampleRate, int harmonics, double amplitude)
{
    ToneShape shape;
    shape.harmonics = harmonics;
    shape.amplitude = amplitude;
    shape.sampleRate = sampleRate;
    return makeToneSequence({{frequency, count}}, shape);
}

std::vector<float> makeNoise(int count, double amplitude, uint32_t seed)
{
    std::vector<float> out(static_cast<size_t>(count));
    uint32_t state = seed ? seed : 1;
    for (float& x : out) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        x = static_cast<float>(amplitude * (2.0 * (state / 4294967295.0) - 1.0));
    }
    return out;
}

std::vector<float> makeToneSequence(
    const std::vector<ToneSegment>& segments, const ToneShape& shape)
{
    std::vector<float> out;
    double phase = 0.0; // of the fundamental, in turns
    long n = 0;
    for (const ToneSegment& segment : segments)
        for (int i = 0; i < segment.length; ++i, ++n) {
            if (segment.frequency <= 0.0) {
                out.push_back(0.0f);
                continue;
            }
            double vibrato
                = shape.vibratoDepth * std::sin(kTwoPi * shape.vibratoRate * n / shape.sampleRate);
            double frequency = segment.frequency * std::exp2(vibrato / 12.0);
            double sum = 0.0;
            for (int h = 1; h <= shape.harmonics; ++h) {
                if (h * frequency >= shape.sampleRate / 2.0)
                    break;
                sum += shape.amplitude / h * std::sin(kTwoPi * h * phase + partialPhase(h));
            }
            out.push_back(static_cast<float>(sum));
            phase = std::fmod(phase + frequency / shape.sampleRate, 1.0);
        }
    return out;
}

std::vector<float> concatenate(std::vector<float> a, const std::vector<float>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
