#include "persistence/chunk_format.h"

#include "persistence/little_endian.h"

#include <cmath>

namespace {

// Attribute order inside a block: four frame positions, the source row (an
// int32), nine float settings, and blending, which version 0 lacks.
using FloatAttribute = NoteArray TakeModel::*;
constexpr FloatAttribute kFramesAttributes[] = {
    &TakeModel::targetStart, &TakeModel::targetEnd, &TakeModel::sourceStart, &TakeModel::sourceEnd};
constexpr FloatAttribute kSettingAttributes[]
    = {&TakeModel::pitch, &TakeModel::fineTune, &TakeModel::volume, &TakeModel::sourcePitch,
        &TakeModel::rawContourDamping, &TakeModel::fineContourDamping, &TakeModel::vibratoAmplitude,
        &TakeModel::vibratoRate, &TakeModel::vibratoAttack};
constexpr std::size_t kSourceRowOffset = std::size(kFramesAttributes) * kChunkValueSize;
constexpr std::size_t kBlendingOffset = kVersion0BlockBytes;
static_assert(
    std::size(kFramesAttributes) + 1 + std::size(kSettingAttributes) + 1 == kNoteAttributeCount);

bool allFinite(const unsigned char* values, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if (!std::isfinite(getFloat(values + i * kChunkValueSize)))
            return false;
    return true;
}

// A block fits when its source row names an analysis row and every float is
// finite.
bool blockFits(const unsigned char* block, std::size_t blockBytes)
{
    int32_t row = getInt32(block + kSourceRowOffset);
    if (row < 0 || row >= kAnalysisRows)
        return false;
    const unsigned char* settings = block + kSourceRowOffset + kChunkValueSize;
    std::size_t settingCount = (blockBytes - kSourceRowOffset) / kChunkValueSize - 1;
    return allFinite(block, std::size(kFramesAttributes)) && allFinite(settings, settingCount);
}

void readBlock(TakeModel& model, int note, const unsigned char* block, std::size_t blockBytes)
{
    const unsigned char* in = block;
    for (FloatAttribute attribute : kFramesAttributes) {
        (model.*attribute)[note] = getFloat(in);
        in += kChunkValueSize;
    }
    model.sourceRow[note] = getInt32(in);
    in += kChunkValueSize;
    for (FloatAttribute attribute : kSettingAttributes) {
        (model.*attribute)[note] = getFloat(in);
        in += kChunkValueSize;
    }
    model.blending[note] = blockBytes == kAttributeBlockBytes ? getFloat(block + kBlendingOffset)
                                                              : kVersion0Blending;
}

unsigned char* writeBlock(const TakeModel& model, int note, unsigned char* out)
{
    for (FloatAttribute attribute : kFramesAttributes)
        out = putFloat(out, (model.*attribute)[note]);
    out = putInt32(out, model.sourceRow[note]);
    for (FloatAttribute attribute : kSettingAttributes)
        out = putFloat(out, (model.*attribute)[note]);
    return putFloat(out, model.blending[note]);
}

unsigned char* writeEdit(const TakeModel& model, int32_t version, unsigned char* out)
{
    out = putInt32(out, version);
    for (int excluded : model.scaleMask)
        out = putInt32(out, excluded);
    out = putInt32(out, model.noteCount);
    for (int note = 0; note < model.noteCount; ++note)
        for (float point : model.contour[note])
            out = putFloat(out, point);
    for (int note = 0; note < model.noteCount; ++note)
        out = writeBlock(model, note, out);
    return out;
}

// The settings block of a version 2 chunk at offset; false when its length
// is negative or reaches past byteSize.
bool readSettings(
    const unsigned char* data, std::size_t byteSize, std::size_t offset, ChunkSettings& settings)
{
    if (byteSize - offset < kSettingsLengthSize)
        return false;
    int32_t length = getInt32(data + offset);
    offset += kSettingsLengthSize;
    if (length < 0 || static_cast<std::size_t>(length) > byteSize - offset)
        return false;
    const std::size_t fields = static_cast<std::size_t>(length) / kChunkValueSize;
    if (fields >= 1) {
        int32_t mode = getInt32(data + offset);
        settings.formantMode = mode == kChunkFormantsKept ? kChunkFormantsKept : kChunkFormantsMove;
    }
    return true;
}

} // namespace

void writeChunk(const TakeModel& model, unsigned char* out)
{
    writeEdit(model, kChunkVersion, out);
}

void writeChunk(const TakeModel& model, const ChunkSettings& settings, unsigned char* out)
{
    if (settings.allDefault()) {
        writeChunk(model, out);
        return;
    }
    out = writeEdit(model, kSettingsChunkVersion, out);
    out = putInt32(out, static_cast<int32_t>(kSettingsFieldCount * kChunkValueSize));
    putInt32(out, settings.formantMode);
}

std::optional<ChunkLayout> inspectChunk(const unsigned char* data, std::size_t byteSize)
{
    if (!data || byteSize < kChunkValueSize)
        return std::nullopt;
    int32_t version = getInt32(data);
    if (version > kSettingsChunkVersion)
        return std::nullopt;

    ChunkLayout layout;
    layout.hasScaleMask = version >= 1;
    std::size_t countOffset = layout.hasScaleMask ? kChunkHeaderSize - kChunkValueSize
                                                  : kVersion0HeaderSize - kChunkValueSize;
    layout.contourOffset = countOffset + kChunkValueSize;
    if (byteSize < layout.contourOffset)
        return std::nullopt;

    int32_t storedCount = getInt32(data + countOffset);
    if (storedCount < 0 || storedCount > kMaxNotes)
        return std::nullopt;
    layout.storedNoteCount = storedCount;
    std::size_t contourBytes = static_cast<std::size_t>(storedCount) * kContourRowBytes;
    if (byteSize - layout.contourOffset < contourBytes)
        return std::nullopt;
    if (!allFinite(data + layout.contourOffset, contourBytes / kChunkValueSize))
        return std::nullopt;

    layout.blockOffset = layout.contourOffset + contourBytes;
    layout.blockBytes = layout.hasScaleMask ? kAttributeBlockBytes : kVersion0BlockBytes;
    std::size_t blockCount = (byteSize - layout.blockOffset) / layout.blockBytes;
    if (version == kSettingsChunkVersion) {
        // The count is exact here: the settings block follows the blocks.
        blockCount = static_cast<std::size_t>(storedCount);
        if ((byteSize - layout.blockOffset) / layout.blockBytes < blockCount
            || !readSettings(data, byteSize, layout.blockOffset + blockCount * layout.blockBytes,
                layout.settings))
            return std::nullopt;
    }
    if (blockCount > static_cast<std::size_t>(kMaxNotes))
        return std::nullopt;
    layout.blockCount = static_cast<int>(blockCount);
    for (int note = 0; note < layout.blockCount; ++note)
        if (!blockFits(data + layout.blockOffset + note * layout.blockBytes, layout.blockBytes))
            return std::nullopt;
    return layout;
}

void clearNoteTable(TakeModel& model)
{
    model.noteCount = 0;
    model.selectionCount = 0;
    model.prevNote.fill(kLinkUnresolved);
    model.nextNote.fill(kLinkUnresolved);
}

void applyChunk(TakeModel& model, const unsigned char* data, const ChunkLayout& layout)
{
    if (layout.hasScaleMask) {
        // Any non-zero entry excludes its class; store it as 1 so that
        // toggling the class allows it again.
        const unsigned char* mask = data + kChunkValueSize;
        for (int pc = 0; pc < kPitchClasses; ++pc)
            model.scaleMask[pc] = getInt32(mask + pc * kChunkValueSize) != 0 ? 1 : 0;
    }
    clearNoteTable(model);
    const unsigned char* rows = data + layout.contourOffset;
    for (int note = 0; note < layout.storedNoteCount; ++note)
        for (int j = 0; j < kContourLength; ++j)
            model.contour[note][j] = getFloat(rows + (note * kContourLength + j) * kChunkValueSize);
    // Notes whose block came without a contour row start with nothing
    // computed rather than the points of whatever note used the row before.
    for (int note = layout.storedNoteCount; note < layout.blockCount; ++note)
        model.contour[note].fill(kPitchUnset);
    for (int note = 0; note < layout.blockCount; ++note)
        readBlock(
            model, note, data + layout.blockOffset + note * layout.blockBytes, layout.blockBytes);
    model.noteCount = layout.blockCount;
}
