// The straightforward playback that the per-frame plan replaces: every sample
// scans the whole note table and computes each active note's terms afresh.
// Tests hold the planned output to it bit for bit.
#pragma once

#include "engine/resynthesis.h"

float referenceOutputSampleAt(TakeModel& model, int position, const ResynthesisSettings& settings);
