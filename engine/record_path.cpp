#include "engine/record_path.h"

#include <climits>
#include <cmath>
#include <cstdint>

namespace {

// (position - 1280) / 512 truncated toward zero, without overflow at the
// ends of the int range.
int analysisFrameAt(int position)
{
    return static_cast<int>((static_cast<int64_t>(position) - kAnalysisOffset) / kFrameLength);
}

}  // namespace

void recordSample(TakeModel& model, PitchDetector& detector, const AnalysisSettings& settings,
                  float sample)
{
    const int position = model.takePosition;
    if (position >= 0 && position < kTakeLength) {
        // A non-finite input would poison every window and voice that reads
        // it; the take keeps silence there instead.
        storeRelaxed(model.recordBuffer[static_cast<std::size_t>(position)],
                     std::isfinite(sample) ? sample : 0.0f);
        model.markRecorded(position);
    }

    model.analysisFrame = analysisFrameAt(position);
    if (model.analysisFrame != model.lastAnalysedFrame && model.analysisFrame < kAnalysedFrames) {
        detector.analyseFrame(model, settings);
        model.lastAnalysedFrame = model.analysisFrame;
    }
    model.recordCursor.store(static_cast<float>(model.analysisFrame), std::memory_order_relaxed);

    // The position stops at the end of the int range instead of wrapping
    // round to negative positions (a Force scan left running for 13 hours).
    if (position < INT_MAX)
        model.takePosition = position + 1;
}
