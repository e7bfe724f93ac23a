// The plug-in chunk: the edit (scale mask, note table and contour rows) as the
// host stores it in its project. Little-endian 32-bit values throughout.
//
// Version 1, the one written:
//   0                 int32 version
//   4                 12 x int32 scaleMask
//   52                int32 note count n
//   56                n x 400 float contour rows
//   56 + 1600 n       n x 60-byte attribute blocks, attributes 0..14
// Version 2 is written only when a setting differs from its default: the
// version 1 layout with 2 in the version field and exactly n blocks, then a
// settings block:
//   56 + 1660 n       int32 byte length L of the fields that follow
//   60 + 1660 n       L / 4 int32 fields: 0 the formant mode (0 formants
//                     move, 1 kept); later fields are skipped by this reader
// A field the block is too short to hold keeps its default; a mode this
// reader does not know reads as formants moving. Bytes after the settings
// block are ignored.
// Version 0 (and any negative version) has no scale mask, the count at 4, the
// contours at 8 and 56-byte blocks without blending. Versions 0 and 1 restore
// the default settings.
//
// The note count restored is the number of whole attribute blocks after the
// contour rows; a shorter remainder is ignored. A chunk whose count, contour
// rows or blocks do not fit the model, or that holds a source row outside the
// analysis rows or a non-finite value, is refused as a whole.
#pragma once

#include "model/take_model.h"

#include <cstddef>
#include <cstdint>
#include <optional>

constexpr int32_t kChunkVersion = 1;
constexpr int32_t kSettingsChunkVersion = 2;
constexpr std::size_t kSettingsLengthSize = 4;
constexpr int kSettingsFieldCount = 1; // the fields this version writes
constexpr int32_t kChunkFormantsMove = 0;
constexpr int32_t kChunkFormantsKept = 1;
constexpr std::size_t kChunkValueSize = 4;
constexpr std::size_t kChunkHeaderSize = 56; // version, scale mask, note count
constexpr std::size_t kContourRowBytes = kContourLength * kChunkValueSize; // 1600
constexpr int kNoteAttributeCount = 15;
constexpr std::size_t kAttributeBlockBytes = kNoteAttributeCount * kChunkValueSize; // 60
constexpr std::size_t kVersion0HeaderSize = 8; // version, note count
constexpr std::size_t kVersion0BlockBytes = (kNoteAttributeCount - 1) * kChunkValueSize; // 56
constexpr float kVersion0Blending = 0.5f;
// The effect allocates a little more than it reports.
constexpr std::size_t kChunkSpareBytes = 10;

// The instance settings that travel with the edit.
struct ChunkSettings {
    int32_t formantMode = kChunkFormantsMove;

    constexpr bool allDefault() const { return formantMode == kChunkFormantsMove; }
};

// Bytes of a version 1 chunk of noteCount notes.
constexpr std::size_t chunkSize(int noteCount)
{
    return kChunkHeaderSize
        + static_cast<std::size_t>(noteCount) * (kContourRowBytes + kAttributeBlockBytes);
}

// Bytes of the chunk writeChunk writes for these settings: version 1 when
// they are all defaults, else version 2 with its settings block.
constexpr std::size_t chunkSize(int noteCount, const ChunkSettings& settings)
{
    return chunkSize(noteCount)
        + (settings.allDefault() ? 0 : kSettingsLengthSize + kSettingsFieldCount * kChunkValueSize);
}

// Writes the version 1 chunk of the model's edit: chunkSize(model.noteCount)
// bytes to out.
void writeChunk(const TakeModel& model, unsigned char* out);

// Writes the chunk of the edit and the settings: chunkSize(model.noteCount,
// settings) bytes to out.
void writeChunk(const TakeModel& model, const ChunkSettings& settings, unsigned char* out);

// Where the parts of a chunk that fits lie.
struct ChunkLayout {
    bool hasScaleMask = false;
    int storedNoteCount = 0; // contour rows present
    std::size_t contourOffset = 0;
    std::size_t blockOffset = 0;
    std::size_t blockBytes = 0;
    int blockCount = 0; // notes restored
    ChunkSettings settings; // defaults unless the chunk has a settings block
};

// Checks the whole chunk without changing anything; nothing when it does not
// fit. byteSize 0 is not a chunk here (it means "empty the table").
std::optional<ChunkLayout> inspectChunk(const unsigned char* data, std::size_t byteSize);

// Restores a chunk inspectChunk accepted: scale mask (version 1), contour rows,
// note table; afterwards every link is unresolved and the selection empty.
void applyChunk(TakeModel& model, const unsigned char* data, const ChunkLayout& layout);

// What a restore with byte size 0 does: no notes, no selection, links unresolved.
void clearNoteTable(TakeModel& model);
