#include "cli/voice_correction.h"

#include "cli/huge_pages.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <sched.h>
#include <string>
#include <thread>

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

// Progress over all takes, which may run side by side: each take reports
// how far its own passes are, and the sum over the takes is shown.
class TakeProgress {
public:
    TakeProgress(Progress* progress, const std::vector<TakeSpan>& takes, int passes)
        : progress(progress)
        , spans(takes)
        , doneByTake(takes.size(), 0)
    {
        for (const TakeSpan& span : takes)
            total += static_cast<double>(span.end - span.start) * passes;
    }
    // The callback for pass `pass` (0, 1, ...) of take `take`.
    ProgressCallback step(const std::string& label, std::size_t take, int pass)
    {
        if (!progress)
            return {};
        const long before = (spans[take].end - spans[take].start) * pass;
        return [this, label, take, before](long done) { report(label, take, before + done); };
    }

private:
    void report(const std::string& label, std::size_t take, long done)
    {
        std::lock_guard<std::mutex> guard(mutex);
        doneByTake[take] = done;
        double sum = 0.0;
        for (long d : doneByTake)
            sum += static_cast<double>(d);
        progress->update(label, sum / total);
    }

    Progress* progress;
    std::vector<TakeSpan> spans;
    std::vector<long> doneByTake;
    double total = 0.0;
    std::mutex mutex;
};

// Runs work(0) .. work(count - 1) on `threads` threads (the caller's among
// them), each thread taking the next index not yet taken. An exception stops
// the remaining work and is thrown again here once every thread has stopped.
void forEachTake(std::size_t count, int threads, const std::function<void(std::size_t)>& work)
{
    std::atomic<std::size_t> next {0};
    std::exception_ptr failure;
    std::mutex failureMutex;
    auto worker = [&] {
        for (std::size_t k = next++; k < count; k = next++) {
            try {
                work(k);
            } catch (...) {
                std::lock_guard<std::mutex> guard(failureMutex);
                if (!failure)
                    failure = std::current_exception();
                next = count;
            }
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(worker);
    worker();
    for (std::thread& helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

// The takes' rendered outputs written straight into the joined output: each
// take writes the samples only it keeps, and keeps aside the samples of the
// crossfades it takes part in, which are mixed once every take is done. The
// same samples and arithmetic as joinTakes, without a whole output per take.
class JoinedOutput {
public:
    JoinedOutput(const std::vector<TakeSpan>& spans, long length)
        : spans(spans)
        , length(length)
        , fadeOut(spans.size())
        , fadeIn(spans.size())
        , output(hugeSampleVector(static_cast<std::size_t>(std::max(0L, length))))
    {
        for (std::size_t k = 0; k + 1 < spans.size(); ++k) {
            const std::size_t fade = static_cast<std::size_t>(kJoinCrossfade);
            fadeOut[k].assign(fade, 0.0f);
            fadeIn[k + 1].assign(fade, 0.0f);
        }
    }

    // Take k's samples at its positions [first, first + count).
    void write(std::size_t k, const float* samples, long first, long count)
    {
        const TakeSpan& span = spans[k];
        const bool fadesOut = k + 1 < spans.size();
        const long fadeFrom = fadesOut ? span.keepTo - kJoinCrossfade : span.keepTo;
        const long ownFrom = k > 0 ? span.keepFrom + kJoinCrossfade : span.keepFrom;
        const long from = span.start + first;
        copy(samples, from, count, ownFrom, std::min(fadeFrom, length), output.data(), 0);
        if (fadesOut)
            copy(samples, from, count, fadeFrom, span.keepTo, fadeOut[k].data(), fadeFrom);
        if (k > 0) {
            const long joint = spans[k - 1].keepTo - kJoinCrossfade;
            copy(samples, from, count, joint, spans[k - 1].keepTo, fadeIn[k].data(), joint);
        }
    }

    // The crossfades mixed in; the joined output.
    std::vector<float> finish()
    {
        for (std::size_t k = 0; k + 1 < spans.size(); ++k) {
            const long fadeFrom = spans[k].keepTo - kJoinCrossfade;
            for (long p = fadeFrom; p < std::min(spans[k].keepTo, length); ++p) {
                const float in = joinFadeIn(p - fadeFrom);
                const auto i = static_cast<std::size_t>(p - fadeFrom);
                output[static_cast<std::size_t>(p)]
                    = (1.0f - in) * fadeOut[k][i] + in * fadeIn[k + 1][i];
            }
        }
        return std::move(output);
    }

private:
    // The part of samples (input positions [from, from + count)) inside
    // [begin, end) into target, whose first element is position origin.
    static void copy(const float* samples, long from, long count, long begin, long end,
        float* target, long origin)
    {
        const long lo = std::max(from, begin);
        const long hi = std::min(from + count, end);
        if (hi > lo)
            std::copy_n(samples + (lo - from), hi - lo, target + (lo - origin));
    }

    const std::vector<TakeSpan>& spans;
    long length;
    std::vector<std::vector<float>> fadeOut; // take k's samples over its joint with k + 1
    std::vector<std::vector<float>> fadeIn; // take k's samples over its joint with k - 1
    std::vector<float> output;
};

} // namespace

int takeThreads(int requested, std::size_t takes)
{
    int threads = requested;
    if (threads <= 0) {
        cpu_set_t cores;
        CPU_ZERO(&cores);
        threads = sched_getaffinity(0, sizeof cores, &cores) == 0 ? CPU_COUNT(&cores) : 1;
    }
    return static_cast<int>(std::clamp<std::size_t>(
        static_cast<std::size_t>(std::max(threads, 1)), 1, std::max<std::size_t>(takes, 1)));
}

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
    const std::size_t takeCount = result.takes.size();
    TakeProgress takeProgress(progress, result.takes, 2);
    JoinedOutput joined(result.takes, static_cast<long>(input.size()));
    std::vector<std::vector<FoundNote>> notes(takeCount);
    std::vector<std::optional<Failure>> failures(takeCount);
    std::mutex inspectMutex;
    std::atomic<bool> failed {false};
    forEachTake(takeCount, takeThreads(settings.threads, takeCount), [&](std::size_t k) {
        if (failed)
            return;
        const TakeSpan& span = result.takes[k];
        const long length = span.end - span.start;
        TakeCorrector take(sampleRate);
        take.record(input.data() + span.start, length, takeProgress.step("recording", k, 0));
        take.transferNotes();
        if ((failures[k] = take.correct(settings))) {
            failed = true;
            return;
        }
        // Taken once tuned: each note's target is the pitch it is played at.
        keepNotes(take.notes(), span, k + 1 == takeCount, notes[k]);
        take.renderInBlocks(
            length,
            [&joined, k](const float* samples, long first, long count) {
                joined.write(k, samples, first, count);
            },
            takeProgress.step("rendering", k, 1));
        if (inspect) {
            std::lock_guard<std::mutex> guard(inspectMutex);
            inspect(k, take.host().effect(), length);
        }
        if (wantChunk) {
            result.chunk = take.programChunk();
            const AEffect* record = take.host().aeffect();
            result.identity = {record->uniqueID, record->version, record->numParams};
        }
    });
    for (const std::optional<Failure>& failure : failures)
        if (failure)
            return failure;
    for (const std::vector<FoundNote>& takeNotes : notes)
        result.notes.insert(result.notes.end(), takeNotes.begin(), takeNotes.end());
    result.output = joined.finish();
    if (progress)
        progress->finish();
    return std::nullopt;
}

std::vector<FoundNote> analyseVoice(const std::vector<float>& input, int sampleRate,
    std::vector<TakeSpan>* takes, Progress* progress, int threads)
{
    std::vector<TakeSpan> spans = planTakes(input, sampleRate);
    TakeProgress takeProgress(progress, spans, 1);
    std::vector<std::vector<FoundNote>> takeNotes(spans.size());
    forEachTake(spans.size(), takeThreads(threads, spans.size()), [&](std::size_t k) {
        const TakeSpan& span = spans[k];
        TakeCorrector take(sampleRate);
        take.record(
            input.data() + span.start, span.end - span.start, takeProgress.step("analysing", k, 0));
        take.transferNotes();
        keepNotes(take.notes(), span, k + 1 == spans.size(), takeNotes[k]);
    });
    std::vector<FoundNote> notes;
    for (const std::vector<FoundNote>& found : takeNotes)
        notes.insert(notes.end(), found.begin(), found.end());
    if (progress)
        progress->finish();
    if (takes)
        *takes = spans;
    return notes;
}
