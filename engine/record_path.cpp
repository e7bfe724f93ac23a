#include "engine/record_path.h"

#include <algorithm>
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

// markRecorded for positions [first, first + count), a word of the record
// map at a time.
void markRecordedRun(TakeModel& model, int first, int count)
{
    constexpr int kBitsPerWord = 64;
    for (int position = first; position < first + count;) {
        const int bit = position % kBitsPerWord;
        const int bits = std::min(kBitsPerWord - bit, first + count - position);
        const uint64_t mask = (bits == kBitsPerWord ? ~uint64_t {0} : ((uint64_t {1} << bits) - 1))
            << bit;
        uint64_t& word = model.recordMap[static_cast<std::size_t>(position / kBitsPerWord)];
        storeRelaxed(word, loadRelaxed(word) | mask);
        position += bits;
    }
    const int end = first + count;
    if (end > model.recordedLength.load(std::memory_order_relaxed))
        model.recordedLength.store(end, std::memory_order_relaxed);
}

} // namespace

void recordSample(
    TakeModel& model, PitchDetector& detector, const AnalysisSettings& settings, float sample)
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

void recordSamples(TakeModel& model, PitchDetector& detector, const AnalysisSettings& settings,
    const float* samples, int count)
{
    for (int i = 0; i < count;) {
        const int position = model.takePosition;
        const int frame = analysisFrameAt(position);
        // Within the take and past the analysis offset, the frame changes
        // every kFrameLength samples; until then, where this frame is
        // analysed already (or never will be), a sample is only stored.
        const bool quiet = position >= kAnalysisOffset && position < kTakeLength
            && (frame == model.lastAnalysedFrame || frame >= kAnalysedFrames);
        if (!quiet) {
            recordSample(model, detector, settings, samples ? samples[i] : 0.0f);
            ++i;
            continue;
        }
        const int frameEnd = kAnalysisOffset + (frame + 1) * kFrameLength;
        const int run = std::min({count - i, frameEnd - position, kTakeLength - position});
        for (int k = 0; k < run; ++k) {
            const float sample = samples ? samples[i + k] : 0.0f;
            storeRelaxed(model.recordBuffer[static_cast<std::size_t>(position + k)],
                std::isfinite(sample) ? sample : 0.0f);
        }
        markRecordedRun(model, position, run);
        model.analysisFrame = frame;
        model.recordCursor.store(static_cast<float>(frame), std::memory_order_relaxed);
        model.takePosition = position + run;
        i += run;
    }
}
