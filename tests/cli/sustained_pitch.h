// The mean pitch of a sustained stretch of a signal, measured window by window
// with the tests' autocorrelation method, not with the plug-in's analysis.
#pragma once

#include <vector>

// Mean pitch (the effect's semitones, 0 = C3) over [from, to), from windows of
// 2,048 samples every 256; nan when no window had a clear period.
double meanPitch(const std::vector<float>& signal, long from, long to, int sampleRate);
