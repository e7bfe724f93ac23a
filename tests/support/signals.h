// Test signals built in code: silence, sines, harmonic tones, noise, and tone
// sequences (steps, melodies) with optional vibrato. Every tone keeps its
// phase continuous across frequency changes.
#pragma once

#include <cstdint>
#include <vector>

constexpr double kTestSampleRate = 44100.0;

std::vector<float> makeSilence(int count);

std::vector<float> makeSine(double frequency, int count, double sampleRate = kTestSampleRate,
    double amplitude = 1.0, double phase = 0.0);

// harmonics partials at h * frequency, partial h with amplitude / h, each with
// its own fixed starting phase; partials at or above Nyquist are left out.
std::vector<float> makeHarmonicTone(double frequency, int count,
    double sampleRate = kTestSampleRate, int harmonics = 8, double amplitude = 0.5);

// Uniform noise in [-amplitude, amplitude] from a fixed seed.
std::vector<float> makeNoise(int count, double amplitude = 0.5, uint32_t seed = 1);

struct ToneSegment {
    double frequency; // Hz; 0 gives silence
    int length; // samples
};

struct ToneShape {
    int harmonics = 1;
    double amplitude = 0.5; // of the fundamental; partial h gets amplitude / h
    double vibratoDepth = 0.0; // semitones, peak
    double vibratoRate = 5.5; // Hz
    double sampleRate = kTestSampleRate;
};

// The segments one after the other; the vibrato runs across them all.
std::vector<float> makeToneSequence(
    const std::vector<ToneSegment>& segments, const ToneShape& shape = {});

// a followed by b.
std::vector<float> concatenate(std::vector<float> a, const std::vector<float>& b);
