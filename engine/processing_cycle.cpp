#include "engine/processing_cycle.h"

#include "engine/record_path.h"
#include "model/segmentation.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

// Playback and Force scan never stop by themselves; the position holds here,
// about thirteen hours in, instead of overflowing.
constexpr int kPositionLimit = INT_MAX / 2;

struct Channels {
    const float* in0 = nullptr;
    const float* in1 = nullptr;
    float* out0 = nullptr;
    float* out1 = nullptr;
};

Channels channelsOf(float** inputs, float** outputs)
{
    Channels c;
    if (inputs) {
        c.in0 = inputs[0];
        c.in1 = inputs[1] ? inputs[1] : inputs[0];
    }
    if (outputs) {
        c.out0 = outputs[0];
        c.out1 = outputs[1];
    }
    return c;
}

float finiteOrZero(float x) { return std::isfinite(x) ? x : 0.0f; }

void writeOutput(const Channels& c, int i, float left, float right)
{
    if (c.out0)
        c.out0[i] = left;
    if (c.out1)
        c.out1[i] = right;
}

void passThrough(const Channels& c, int i)
{
    float left = c.in0 ? finiteOrZero(c.in0[i]) : 0.0f;
    float right = c.in1 ? finiteOrZero(c.in1[i]) : 0.0f;
    writeOutput(c, i, left, right);
}

// passThrough for samples [0, frames): a channel at a time where the left
// output is not the right input (the usual separate or in-place buffers),
// else sample by sample.
void passThroughBlock(const Channels& c, int frames)
{
    if (c.out0 && c.out0 == c.in1 && c.in1 != c.in0) {
        for (int i = 0; i < frames; ++i)
            passThrough(c, i);
        return;
    }
    auto copy = [frames](const float* in, float* out) {
        if (!out)
            return;
        if (!in) {
            std::fill_n(out, frames, 0.0f);
            return;
        }
        for (int i = 0; i < frames; ++i)
            out[i] = finiteOrZero(in[i]);
    };
    copy(c.in0, c.out0);
    copy(c.in1, c.out1);
}

void advancePosition(TakeModel& model, int samples)
{
    model.takePosition = model.takePosition > kPositionLimit - samples
        ? kPositionLimit
        : model.takePosition + samples;
}

void recordBlock(ProcessingContext& context, const Channels& c, int frames)
{
    TakeModel& model = context.model;
    if (model.takePosition < kPositionLimit - frames) {
        recordSamples(model, context.detector, context.analysis, c.in0, frames);
    } else {
        for (int i = 0; i < frames; ++i) {
            if (model.takePosition >= kPositionLimit)
                model.takePosition = kPositionLimit - 1;
            recordSample(model, context.detector, context.analysis, c.in0 ? c.in0[i] : 0.0f);
        }
    }
    passThroughBlock(c, frames);
}

// Cuts the take into notes when there are none, or again when the table is
// the cycle's own cut and recorded audio now lies beyond it.
void cutNotesIfDue(ProcessingContext& context)
{
    TakeModel& model = context.model;
    AutomaticCut* cut = context.automaticCut;
    const int recorded = model.recordedLength.load(std::memory_order_relaxed);
    bool due = model.noteCount < 1;
    if (!due && cut && cut->active && recorded > cut->recordedLength) {
        if (noteTableFingerprint(model) == cut->fingerprint)
            due = true;
        else
            cut->active = false;
    }
    if (!due)
        return;
    segmentNotes(model);
    if (cut)
        *cut = {true, noteTableFingerprint(model), recorded};
}

// Returns whether at least one sample was played.
bool playBlock(ProcessingContext& context, const Channels& c, int frames)
{
    TakeModel& model = context.model;
    if (frames <= 0)
        return false;
    if (!context.editLock.tryLockBriefly()) {
        // The user interface is changing the notes: silence, but keep time.
        for (int i = 0; i < frames; ++i)
            writeOutput(c, i, 0.0f, 0.0f);
        model.playCursor.store(
            static_cast<float>(model.takePosition / kFrameLength), std::memory_order_relaxed);
        advancePosition(model, frames);
        context.silencedBlocks.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    Resynthesis& resynthesis = context.resynthesis;
    resynthesis.invalidate(); // the table may have been edited since the last block
    cutNotesIfDue(context);
    // Spans between the retune points, rendered at once; sample by sample
    // where the position would reach its limit and hold there.
    std::array<float, kMidiRetuneInterval> span {};
    for (int i = 0; i < frames;) {
        const int position = model.takePosition;
        if (position % kMidiRetuneInterval == 0)
            resynthesis.midiRetune(model, position);
        int length = 1;
        if (position >= 0 && position < kPositionLimit - kMidiRetuneInterval)
            length = std::min(frames - i, kMidiRetuneInterval - position % kMidiRetuneInterval);
        resynthesis.render(model, position, length, context.synthesis, span.data());
        for (int k = 0; k < length; ++k)
            writeOutput(
                c, i + k, span[static_cast<std::size_t>(k)], span[static_cast<std::size_t>(k)]);
        advancePosition(model, length);
        i += length;
    }
    context.editLock.unlock();
    return true;
}

void mix(uint64_t& hash, uint64_t value)
{
    constexpr uint64_t kPrime = 1099511628211ull;
    hash = (hash ^ value) * kPrime;
}

void mixFloat(uint64_t& hash, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    mix(hash, bits);
}

} // namespace

uint64_t noteTableFingerprint(const TakeModel& model)
{
    constexpr uint64_t kOffsetBasis = 14695981039346656037ull;
    uint64_t hash = kOffsetBasis;
    const int count = std::clamp(model.noteCount, 0, kMaxNotes);
    mix(hash, static_cast<uint64_t>(count));
    const NoteArray* attributes[] = {&model.targetStart, &model.targetEnd, &model.sourceStart,
        &model.sourceEnd, &model.pitch, &model.fineTune, &model.volume, &model.sourcePitch,
        &model.rawContourDamping, &model.fineContourDamping, &model.vibratoAmplitude,
        &model.vibratoRate, &model.vibratoAttack, &model.blending};
    for (int n = 0; n < count; ++n) {
        for (const NoteArray* values : attributes)
            mixFloat(hash, (*values)[static_cast<std::size_t>(n)]);
        mix(hash, static_cast<uint64_t>(model.sourceRow[static_cast<std::size_t>(n)]));
        const ContourRow& row = model.contour[static_cast<std::size_t>(n)];
        for (int k = 0; k < kContourLength; ++k)
            if (row[static_cast<std::size_t>(k)] >= kDrawnPointThreshold) {
                mix(hash, static_cast<uint64_t>(k));
                mixFloat(hash, row[static_cast<std::size_t>(k)]);
            }
    }
    return hash;
}

HostTransport hostTransport(const VstTimeInfo* timeInfo)
{
    HostTransport host;
    if (!timeInfo)
        return host;
    host.playing = (timeInfo->flags & (kVstTransportPlaying | kVstTransportRecording)) != 0;
    host.position = static_cast<float>(timeInfo->samplePos);
    if (!(host.position >= 0.0f && host.position <= static_cast<float>(kTakeLength))) {
        host.position = 0.0f;
        host.playing = false;
    }
    return host;
}

BlockAction chooseBlockAction(TakeModel& model, const HostTransport& host)
{
    if (model.editorPlaying.load(std::memory_order_relaxed))
        return BlockAction::kPlay;
    int mode = model.transportMode.load(std::memory_order_relaxed);
    if (mode == kAutoMode && host.playing) {
        model.takePosition = static_cast<int>(host.position);
        // The record map decides: a recorded digital zero still plays, and the
        // position just past the take counts as unrecorded.
        return model.isRecorded(model.takePosition) ? BlockAction::kPlay : BlockAction::kRecord;
    }
    if (mode == kForceScan) {
        if (host.playing)
            model.takePosition = static_cast<int>(host.position);
        return BlockAction::kRecord;
    }
    if (mode == kLiveIntonation) {
        if (model.takePosition >= kLiveLoopLength)
            model.takePosition = 0;
        return BlockAction::kRecord;
    }
    return BlockAction::kNone;
}

BlockAction processBlock(ProcessingContext& context, const VstTimeInfo* timeInfo, float** inputs,
    float** outputs, int sampleFrames)
{
    TakeModel& model = context.model;
    int requested
        = model.requestedTakePosition.exchange(kNoPositionRequest, std::memory_order_relaxed);
    if (requested != kNoPositionRequest)
        model.takePosition = requested;

    const Channels c = channelsOf(inputs, outputs);
    const int frames = sampleFrames > 0 ? sampleFrames : 0;
    const BlockAction action = chooseBlockAction(model, hostTransport(timeInfo));

    if (model.takePosition < 0) {
        // Neither records nor plays: the input goes through, so that separate
        // output buffers never repeat stale audio.
        for (int i = 0; i < frames; ++i)
            passThrough(c, i);
        return BlockAction::kNone;
    }
    model.recordCursor.store(-1.0f, std::memory_order_relaxed);
    model.playCursor.store(-1.0f, std::memory_order_relaxed);

    bool played = false;
    if (action == BlockAction::kPlay) {
        played = playBlock(context, c, frames);
    } else if (action == BlockAction::kRecord) {
        recordBlock(context, c, frames);
    } else {
        for (int i = 0; i < frames; ++i)
            passThrough(c, i);
    }

    if (model.takePosition / kRedrawPositionUnit != 0) {
        if (played)
            model.noteEditorRedrawRequested.store(true, std::memory_order_relaxed);
        else
            model.scanViewRedrawRequested.store(true, std::memory_order_relaxed);
    }
    return action;
}
