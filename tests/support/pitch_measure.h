// The fundamental of a stretch of mono audio by normalised autocorrelation,
// refined by parabolic interpolation: independent of the plug-in's detector.
#pragma once

#include <cstddef>

// Frequency in Hz of samples[0..count), searched between minHz and maxHz;
// 0 when no period is found.
double measureFrequency(const float* samples, std::size_t count, double sampleRate,
    double minHz = 60.0, double maxHz = 1000.0);

// Distance in cents from reference to measured.
double centsBetween(double reference, double measured);
