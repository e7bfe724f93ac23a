// Pitch measured without the plug-in: the YIN difference function (an
// autocorrelation method) over short windows, with parabolic interpolation of
// the chosen lag.
#pragma once

#include <vector>

// Fundamental frequency of the window x[0..length), or 0 when no period
// between minHertz and maxHertz is clear.
double yinFrequency(
    const float* x, long length, int sampleRate, double minHertz = 70.0, double maxHertz = 700.0);

// Mean pitch (the effect's semitones, 0 = C3) over [from, to) of a signal,
// measured in windows of 2,048 samples every 256; nan when no window had a
// clear period.
double meanPitch(const std::vector<float>& signal, long from, long to, int sampleRate);
