#include "support/take_recorder.h"

#include "engine/record_path.h"

void recordSignal(TakeModel& model, PitchDetector& detector, const AnalysisSettings& settings,
                  const std::vector<float>& signal)
{
    for (float sample : signal)
        recordSample(model, detector, settings, sample);
}
