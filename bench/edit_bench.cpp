// How long the edits of a 1,000-note table keep the edit lock, as the audio
// thread sees it: a second thread tries the lock without pause and keeps the
// longest stretch it found it taken. Undo and redo must not hold it longer
// than the edits themselves ("tune notes", transfer, a chunk restore).
//
// Counters: hold_us_max is the longest hold seen over all iterations,
// hold_us_mean the mean of each iteration's longest hold, in microseconds.
#include "editing/scale_tuning.h"
#include "engine/edit_session.h"
#include "persistence/chunk_format.h"

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTableNotes = 1000;
constexpr int kNoteFrames = 10; // 1,000 notes of 10 frames cover the analysed take
// The sung line the analysis rows hold: a new pitch every kStepFrames frames,
// cycling through kStepPitches, with a light vibrato.
constexpr int kStepFrames = 12;
constexpr float kStepPitches[] = {2.0f, 4.0f, 5.0f, 7.0f, 9.0f, 7.0f, 5.0f, 4.0f};
constexpr float kVibratoDepth = 0.15f; // semitones
constexpr float kVibratoRadiansPerFrame = 0.5f;
constexpr float kVoicing = 0.8f;

// Watches the lock from its own thread the way the audio thread tries it.
class HoldWatcher {
public:
    explicit HoldWatcher(EditLock& lock)
        : lock(lock)
        , thread([this] { watch(); })
    {
    }
    ~HoldWatcher()
    {
        running.store(false);
        thread.join();
    }

    // Forgets what was seen so far; returns once the watcher has seen the
    // lock free after the call.
    void reset() { request(resetRequested); }

    // The longest hold since the last reset, in microseconds; call with the
    // lock free.
    double longestMicroseconds()
    {
        request(readRequested);
        return std::chrono::duration<double, std::micro>(longest).count();
    }

private:
    void request(std::atomic<bool>& flag)
    {
        flag.store(true);
        while (flag.load())
            std::this_thread::yield();
    }

    void watch()
    {
        bool held = false;
        Clock::time_point heldSince;
        while (running.load(std::memory_order_relaxed)) {
            const Clock::time_point now = Clock::now();
            if (lock.tryLock()) {
                lock.unlock();
                if (held)
                    longest = std::max(longest, Clock::duration(now - heldSince));
                held = false;
                if (resetRequested.load(std::memory_order_acquire)) {
                    longest = Clock::duration::zero();
                    resetRequested.store(false, std::memory_order_release);
                }
                if (readRequested.load(std::memory_order_acquire))
                    readRequested.store(false, std::memory_order_release);
            } else if (!held) {
                held = true;
                heldSince = now;
            }
        }
    }

    EditLock& lock;
    std::atomic<bool> running {true};
    std::atomic<bool> resetRequested {false};
    std::atomic<bool> readRequested {false};
    Clock::duration longest {};
    std::thread thread;
};

void singSteppedLine(TakeModel& model)
{
    constexpr int kSteps = sizeof kStepPitches / sizeof kStepPitches[0];
    for (int f = 0; f < kAnalysedFrames; ++f) {
        const float step = kStepPitches[(f / kStepFrames) % kSteps];
        storeRelaxed(model.framePitch[0][static_cast<std::size_t>(f)],
            step + kVibratoDepth * std::sin(kVibratoRadiansPerFrame * static_cast<float>(f)));
        storeRelaxed(model.frameVoicing[0][static_cast<std::size_t>(f)], kVoicing);
    }
}

// A table of kTableNotes notes side by side, as the host would restore it.
std::vector<unsigned char> tableChunk()
{
    auto model = std::make_unique<TakeModel>();
    for (int i = 0; i < kTableNotes; ++i) {
        const auto start = static_cast<float>(i * kNoteFrames);
        model->targetStart[i] = model->sourceStart[i] = start;
        model->targetEnd[i] = model->sourceEnd[i] = start + kNoteFrames;
        model->sourceRow[i] = 0;
        model->pitch[i] = kStepPitches[i % 8];
        model->fineTune[i] = 0.1f;
        model->sourcePitch[i] = kStepPitches[i % 8] + 0.1f;
        model->volume[i] = 1.0f;
        model->vibratoRate[i] = 0.4f;
        model->blending[i] = 0.5f;
    }
    model->noteCount = kTableNotes;
    std::vector<unsigned char> chunk(chunkSize(kTableNotes));
    writeChunk(*model, chunk.data());
    return chunk;
}

struct EditBench {
    EditBench()
        : model(std::make_unique<TakeModel>())
        , session(*model, lock, cut)
        , chunk(tableChunk())
    {
        singSteppedLine(*model);
        session.restoreChunk(chunk.data(), chunk.size());
        session.setScale(kMajorScale, 0);
        session.selectAllNotes();
    }

    std::unique_ptr<TakeModel> model;
    EditLock lock;
    AutomaticCut cut;
    EditSession session;
    std::vector<unsigned char> chunk;
};

// Times the lock hold of measured(); prepare() runs before each iteration,
// untimed and unwatched.
void measureHold(benchmark::State& state, EditBench& bench, const std::function<void()>& prepare,
    const std::function<void()>& measured)
{
    HoldWatcher watcher(bench.lock);
    double longest = 0.0;
    double sum = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        prepare();
        watcher.reset();
        state.ResumeTiming();
        measured();
        state.PauseTiming();
        const double hold = watcher.longestMicroseconds();
        state.ResumeTiming();
        longest = std::max(longest, hold);
        sum += hold;
    }
    state.counters["hold_us_max"] = longest;
    state.counters["hold_us_mean"]
        = sum / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
    state.counters["notes"] = bench.session.read([](const TakeModel& m) { return m.noteCount; });
}

void BM_HoldTuneNotes(benchmark::State& state)
{
    EditBench bench;
    measureHold(
        state, bench, [&] { bench.session.transposeAllNotes(1); },
        [&] { bench.session.tuneSelectedNotes(); });
}

void BM_HoldTransfer(benchmark::State& state)
{
    EditBench bench;
    measureHold(
        state, bench, [] {}, [&] { bench.session.transfer(); });
}

void BM_HoldChunkRestore(benchmark::State& state)
{
    EditBench bench;
    measureHold(
        state, bench, [] {},
        [&] { bench.session.restoreChunk(bench.chunk.data(), bench.chunk.size()); });
}

void BM_HoldUndoTuneNotes(benchmark::State& state)
{
    EditBench bench;
    measureHold(
        state, bench,
        [&] {
            bench.session.transposeAllNotes(1);
            bench.session.tuneSelectedNotes();
        },
        [&] { bench.session.undo(); });
}

void BM_HoldRedoTuneNotes(benchmark::State& state)
{
    EditBench bench;
    measureHold(
        state, bench,
        [&] {
            bench.session.transposeAllNotes(1);
            bench.session.tuneSelectedNotes();
            bench.session.undo();
        },
        [&] { bench.session.redo(); });
}

void BM_HoldUndoTransfer(benchmark::State& state)
{
    EditBench bench;
    measureHold(
        state, bench, [&] { bench.session.transfer(); }, [&] { bench.session.undo(); });
}

void BM_HoldRedoTransfer(benchmark::State& state)
{
    EditBench bench;
    measureHold(
        state, bench,
        [&] {
            bench.session.transfer();
            bench.session.undo();
        },
        [&] { bench.session.redo(); });
}

} // namespace

BENCHMARK(BM_HoldTuneNotes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HoldTransfer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HoldChunkRestore)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HoldUndoTuneNotes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HoldRedoTuneNotes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HoldUndoTransfer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HoldRedoTransfer)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
