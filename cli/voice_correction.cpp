#include "cli/voice_correction.h"

#include <algorithm>
#include <string>

namespace {

// The notes of one take that belong to the span it keeps, moved to positions
// in the whole input. A note belongs to the take in whose kept span it begins
// to sound: notes reach back over the silence before them, so a later take's
// first note often starts in the lead before the cut although it is sung after
// it. A note sounding across the cut belongs to the earlier take.
void keepNotes(const std::vector<FoundNote>& takeNotes, const TakeSpan& span, bool lastTake,
    std::vector<FoundNote>& notes)
{
    const long keepEnd = lastTake ? span.keepTo : span.keepTo - kJoinCrossfade;
    for (FoundNote note : takeNotes) {
        note.startSample += span.start;
        note.endSample = std::min(note.endSample + span.start, span.end);
        note.firstVoicedSample += span.start;
        const long soundsFrom = note.voicedFrames > 0 ? note.firstVoicedSample : note.startSample;
        if (soundsFrom < span.keepFrom || soundsFrom >= keepEnd)
            continue;
        note.startSample = std::max(note.startSample, span.keepFrom);
        notes.push_back(note);
    }
}

// Progress over all takes: recording and rendering share each take's half.
class TakeProgress {
public:
    TakeProgress(Progress* progress, const std::vector<TakeSpan>& takes, int passes)
        : progress(progress)
        , passes(passes)
    {
        for (const TakeSpan& span : takes)
            total += static_cast<double>(span.end - span.start) * passes;
    }
    ProgressCallback step(const std::string& label, long offset)
    {
        if (!progress)
            return {};
        return [this, label, offset](long done) {
            progress->update(label, (static_cast<double>(offset) + done) / total);
        };
    }
    long advance(long samples) { return finished += samples; }
    long done() const { return finished; }

private:
    Progress* progress;
    int passes;
    double total = 0.0;
    long finished = 0;
};

} // namespace

std::optional<Failure> correctVoice(const std::vector<float>& input, int sampleRate,
    const CorrectionSettings& settings, bool wantChunk, CorrectionResult& result,
    Progress* progress, const TakeInspector& inspect)
{
    result = CorrectionResult {};
    result.takes = planTakes(input, sampleRate);
    if (wantChunk && result.takes.size() > 1)
        return Failure {"a preset holds one take, and this input is "
                + std::to_string(result.takes.size()) + " takes long",
            kExitProcessing};
    TakeProgress takeProgress(progress, result.takes, 2);
    std::vector<std::vector<float>> outputs;
    for (std::size_t k = 0; k < result.takes.size(); ++k) {
        const TakeSpan& span = result.takes[k];
        const long length = span.end - span.start;
        TakeCorrector take(sampleRate);
        take.record(
            input.data() + span.start, length, takeProgress.step("recording", takeProgress.done()));
        takeProgress.advance(length);
        take.transferNotes();
        if (auto failure = take.correct(settings))
            return failure;
        // Taken once tuned: each note's target is the pitch it is played at.
        keepNotes(take.notes(), span, k + 1 == result.takes.size(), result.notes);
        outputs.push_back(take.render(length, takeProgress.step("rendering", takeProgress.done())));
        takeProgress.advance(length);
        if (inspect)
            inspect(k, take.host().effect(), length);
        if (wantChunk) {
            result.chunk = take.programChunk();
            const AEffect* record = take.host().aeffect();
            result.identity = {record->uniqueID, record->version, record->numParams};
        }
    }
    result.output = joinTakes(outputs, result.takes, static_cast<long>(input.size()));
    if (progress)
        progress->finish();
    return std::nullopt;
}

std::vector<FoundNote> analyseVoice(const std::vector<float>& input, int sampleRate,
    std::vector<TakeSpan>* takes, Progress* progress)
{
    std::vector<TakeSpan> spans = planTakes(input, sampleRate);
    TakeProgress takeProgress(progress, spans, 1);
    std::vector<FoundNote> notes;
    for (std::size_t k = 0; k < spans.size(); ++k) {
        const TakeSpan& span = spans[k];
        TakeCorrector take(sampleRate);
        take.record(input.data() + span.start, span.end - span.start,
            takeProgress.step("analysing", takeProgress.done()));
        takeProgress.advance(span.end - span.start);
        take.transferNotes();
        keepNotes(take.notes(), span, k + 1 == spans.size(), notes);
    }
    if (progress)
        progress->finish();
    if (takes)
        *takes = spans;
    return notes;
}
