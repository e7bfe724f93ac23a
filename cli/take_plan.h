// Cutting a long recording into takes the effect can analyse whole, and
// joining the takes' outputs back into one signal.
//
// One take analyses frames below 10,000, that is 5,120,000 samples whatever the
// rate. A longer input is cut at the quietest frame of each take's last ten
// seconds. The next take starts a second before that cut, so that the
// analysis has settled and the note sounds at full level when the cut comes;
// over the quiet frame itself the two takes' outputs are crossfaded, so the
// joint has neither a gap nor a click.
#pragma once

#include "model/take_model.h"

#include <vector>

constexpr long kTakeSamples = static_cast<long>(kAnalysedFrames) * kFrameLength;
constexpr long kJoinCrossfade = kFrameLength; // the quiet frame the takes cross over
constexpr double kCutSearchSeconds = 10.0;
constexpr double kJoinLeadSeconds = 1.0;

// One take: the input samples [start, end) are recorded into a fresh effect;
// its output is used for [keepFrom, keepTo). Consecutive takes overlap by
// kJoinCrossfade samples from the cut on: take k keeps up to cut +
// kJoinCrossfade, take k + 1 keeps from the cut.
struct TakeSpan {
    long start = 0;
    long end = 0;
    long keepFrom = 0;
    long keepTo = 0;
};

// The takes of an input of `samples`; a single take when it fits.
std::vector<TakeSpan> planTakes(
    const std::vector<float>& samples, int sampleRate, long takeSamples = kTakeSamples);

// The first sample of the quietest 512-sample frame whose frame lies wholly
// in [from, to); frames are counted from `from`.
long quietestFrame(const std::vector<float>& samples, long from, long to);

// How much of the later take sounds at `offset` samples into a joint's
// crossfade (0 to kJoinCrossfade - 1): a raised cosine from 0 to 1.
float joinFadeIn(long offset);

// Joins the takes' outputs (outputs[k] holds take k's output for its
// [start, end)) into `length` samples, crossfading where they overlap.
std::vector<float> joinTakes(const std::vector<std::vector<float>>& outputs,
    const std::vector<TakeSpan>& spans, long length);
