// Feeds a signal through the record path from the take's current position.
#pragma once

#include <vector>

#include "model/pitch_detector.h"
#include "model/take_model.h"

void recordSignal(TakeModel& model, PitchDetector& detector, const AnalysisSettings& settings,
                  const std::vector<float>& signal);
