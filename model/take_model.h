// The one shared structure of an instance: the recorded take, its per-frame
// analysis, the note table with its caches, the selection and scale, and the
// transport and voice state the processing cycle keeps between blocks.
//
// Threads: the audio thread alone writes the take, the record map and the
// analysis rows; the user-interface thread reads them through relaxed atomic
// access (loadRelaxed / storeRelaxed). The note table, selection, scale,
// contour memo, links and voices are guarded by the effect's edit lock. The
// fields both threads write without the lock are atomics.
#pragma once

#include <array>
#include <atomic>
#include <climits>
#include <cstdint>

#include "model/relaxed_atomic.h"
#include "model/zero_pages.h"

constexpr int kTakeLength = 5292000;        // samples: 120 s at 44,100 Hz
constexpr int kFrameLength = 512;           // samples per frame
constexpr int kAnalysisRows = 4;            // "SCAN", "1", "2", "3"
constexpr int kFrameCapacity = 30000;       // frames per analysis row
constexpr int kAnalysedFrames = 10000;      // frames analysis ever writes
constexpr int kTakeFrames = kTakeLength / kFrameLength + 1;  // 10,336 frames hold audio
constexpr int kAnalysisOffset = 1280;       // analysisFrame = (position - 1280) / 512
constexpr int kMaxNotes = 1000;
constexpr int kContourLength = 400;         // cached contour points per note
constexpr int kMaxSelection = 500;
constexpr int kVoiceCount = 4;
constexpr int kHeldKeySlots = 4;
constexpr int kPitchClasses = 12;

constexpr float kPitchUnset = -1000.0f;     // pitch or contour value not computed
constexpr float kUnvoicedPitch = 200.0f;    // framePitch of an unvoiced frame
constexpr float kDrawnPointBase = 1000.0f;  // drawn contour points: 1000 + offset
constexpr float kDrawnPointThreshold = 900.0f;
constexpr int kLinkUnresolved = -2;
constexpr int kNone = -1;                   // no note, voice or held key
constexpr int kNoPositionRequest = INT_MIN; // requestedTakePosition when none is posted

enum TransportMode : int { kAutoMode = 0, kForceScan = 1, kLiveIntonation = 2 };

using FrameRow = std::array<float, kFrameCapacity>;
using ContourRow = std::array<float, kContourLength>;
using NoteArray = std::array<float, kMaxNotes>;

struct TakeModel {
    TakeModel() { reset(); }
    TakeModel(const TakeModel&) = delete;
    TakeModel& operator=(const TakeModel&) = delete;

    // Every field back to its initial value. The take, the record map and the
    // analysis rows return to zero pages, so this costs no resident memory.
    void reset();

    // Recorded audio.
    ZeroPageArray<float, kTakeLength> recordBuffer;

    // Per-frame analysis, [row][frame]; only row 0 is ever filled.
    ZeroPageArray<FrameRow, kAnalysisRows> framePitch;
    ZeroPageArray<FrameRow, kAnalysisRows> frameVoicing;

    // Note table: noteCount notes stored densely from index 0, attribute
    // arrays in the order the chunk stores them.
    int noteCount = 0;
    NoteArray targetStart{};
    NoteArray targetEnd{};
    NoteArray sourceStart{};
    NoteArray sourceEnd{};
    std::array<int, kMaxNotes> sourceRow{};
    NoteArray pitch{};
    NoteArray fineTune{};
    NoteArray volume{};
    NoteArray sourcePitch{};
    NoteArray rawContourDamping{};
    NoteArray fineContourDamping{};
    NoteArray vibratoAmplitude{};
    NoteArray vibratoRate{};
    NoteArray vibratoAttack{};
    NoteArray blending{};

    // Per-note caches and links.
    // Filled with kPitchUnset at reset, so its pages are mapped at once.
    ZeroPageArray<ContourRow, kMaxNotes> contour{ZeroPageArray<ContourRow, kMaxNotes>::kPopulated};
    std::array<int, kMaxNotes> prevNote{};
    std::array<int, kMaxNotes> nextNote{};

    // Selection and scale.
    std::array<int, kMaxSelection> selection{};
    int selectionCount = 0;
    std::array<int, kPitchClasses> scaleMask{};

    // Transport and editor state.
    std::atomic<int> transportMode{kAutoMode};
    int editTool = 0;
    float standardPitchControl = 1.0f;
    int takePosition = 0;  // written by the audio thread only
    int analysisFrame = 0;
    std::atomic<bool> editorPlaying{false};
    float framesPerBeat = 30.0f;
    int viewStartFrame = 0;
    std::array<float, kVoiceCount> voiceOffset{};
    std::array<float, kVoiceCount> voiceFadeOffset{};
    std::array<float, kVoiceCount> voiceFadeCount{};
    std::array<int, kVoiceCount> voiceNote{};
    // The read rate a shifted voice holds for a few samples: the note and the
    // block of positions it was worked out for (kNone: none), the offset's
    // advance per sample and the jump.
    std::array<int, kVoiceCount> voiceRateNote{};
    std::array<int, kVoiceCount> voiceRateBlock{};
    std::array<double, kVoiceCount> voiceAdvance{};
    std::array<double, kVoiceCount> voicePeriod{};
    std::array<int, kHeldKeySlots> heldNotes{};
    std::atomic<float> recordCursor{-1.0f};
    std::atomic<float> playCursor{-1.0f};
    int lastAnalysedFrame = 0;

    // Which take samples were recorded: one bit per sample, written by the
    // record path. A recorded sample of exactly 0.0 still counts as recorded.
    ZeroPageArray<uint64_t, (kTakeLength + 63) / 64> recordMap;
    // One past the highest take position recorded so far.
    std::atomic<int> recordedLength{0};

    // A take position posted by the user interface, applied by the audio
    // thread at the start of its next block; kNoPositionRequest when none.
    std::atomic<int> requestedTakePosition{kNoPositionRequest};

    // Redraw requests from either thread, turned into dirty views by the
    // editor on the user-interface thread.
    std::atomic<bool> noteEditorRedrawRequested{false};
    std::atomic<bool> scanViewRedrawRequested{false};

    bool isRecorded(int position) const
    {
        if (position < 0 || position >= kTakeLength)
            return false;
        uint64_t word = loadRelaxed(recordMap[static_cast<std::size_t>(position) / 64]);
        return (word >> (position % 64)) & 1u;
    }

    // Called by the audio thread only, so the read-modify-write needs no
    // atomic exchange; readers see the word before or after.
    void markRecorded(int position)
    {
        uint64_t& word = recordMap[static_cast<std::size_t>(position) / 64];
        storeRelaxed(word, loadRelaxed(word) | (uint64_t{1} << (position % 64)));
        if (position >= recordedLength.load(std::memory_order_relaxed))
            recordedLength.store(position + 1, std::memory_order_relaxed);
    }
};

// C natural minor: classes 0, 2, 3, 5, 7, 8 and 10 allowed.
constexpr std::array<int, kPitchClasses> kInitialScaleMask = {0, 1, 0, 0, 1, 0, 1, 0, 0, 1, 0, 1};
