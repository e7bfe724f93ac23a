// The per-block audio operation: from the transport mode, the editor's play
// command and the host's transport it decides whether the block records the
// input into the take, plays the edited take back, or passes the input
// through; it keeps the take position and asks the editor to redraw.
#pragma once

#include "engine/edit_lock.h"
#include "engine/resynthesis.h"
#include "model/pitch_detector.h"
#include "model/take_model.h"
#include "vst/vst24.h"

#include <atomic>

constexpr int kLiveLoopLength = 199680; // 390 frames: the "SCAN" view's width
constexpr int kRedrawPositionUnit = 2000;

// The note table the cycle cut by itself when playback found none. A host
// that played a short stretch first (its lead-in was recorded and cut) goes
// on to record the rest: playback cuts again once recorded audio lies beyond
// the cut, as long as the table is still the one it cut. "transfer >>", a
// restored chunk or any edit make the table the user's, never replaced.
struct AutomaticCut {
    bool active = false;
    uint64_t fingerprint = 0; // of the table as cut
    int recordedLength = 0; // of the take when cut
};

// What one block works on. The counter tells how many playing blocks were
// silent because the user interface held the edit lock.
struct ProcessingContext {
    TakeModel& model;
    PitchDetector& detector;
    Resynthesis& resynthesis;
    EditLock& editLock;
    std::atomic<int>& silencedBlocks;
    AnalysisSettings analysis;
    ResynthesisSettings synthesis;
    AutomaticCut* automaticCut = nullptr; // none: the first cut stays
};

// A hash of everything an edit changes in the note table: the attributes and
// the drawn contour points (computed contour points are a cache).
uint64_t noteTableFingerprint(const TakeModel& model);

struct HostTransport {
    bool playing = false;
    float position = 0.0f; // samples
};

enum class BlockAction { kNone, kRecord, kPlay };

// The host's transport from its time information: stopped at 0 when there is
// none or its position lies outside the take.
HostTransport hostTransport(const VstTimeInfo* timeInfo);

// Chooses the block's action and moves takePosition where the mode says.
BlockAction chooseBlockAction(TakeModel& model, const HostTransport& host);

// One block of processReplacing at the time base. inputs and outputs hold two
// channels; the second output (and any other pointer) may be null. Returns
// what the block did (kNone when it only passed the input through).
BlockAction processBlock(ProcessingContext& context, const VstTimeInfo* timeInfo, float** inputs,
    float** outputs, int sampleFrames);
