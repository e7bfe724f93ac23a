// Stand-in for the record path until the detector lands: stores the sample,
// keeps the frame arithmetic and the cursor, runs no analysis.
#include "engine/record_path.h"

void recordSample(TakeModel& model, PitchDetector&, const AnalysisSettings&, float sample)
{
    if (model.takePosition >= 0 && model.takePosition < kTakeLength) {
        storeRelaxed(model.recordBuffer[model.takePosition], sample);
        model.markRecorded(model.takePosition);
    }
    model.analysisFrame = (model.takePosition - kAnalysisOffset) / kFrameLength;
    if (model.analysisFrame != model.lastAnalysedFrame && model.analysisFrame < kAnalysedFrames)
        model.lastAnalysedFrame = model.analysisFrame;
    model.recordCursor.store(static_cast<float>(model.analysisFrame), std::memory_order_relaxed);
    ++model.takePosition;
}
