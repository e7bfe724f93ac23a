// Writes the seed corpus of the chunk fuzzer into the folder given: chunks
// getChunk writes (empty, one, three notes, with drawn and computed contour
// points), a version 0 chunk, and broken ones (cut short, trailing bytes,
// counts out of range, bad source rows, non-finite values, a newer version),
// and version 2 chunks with their settings block (formants kept, fields this
// reader does not know, a length that is negative or reaches past the end,
// blocks missing before it).
#include "persistence/chunk_format.h"
#include "persistence/little_endian.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes chunkOf(int notes, const ChunkSettings& settings = {})
{
    auto model = std::make_unique<TakeModel>();
    model->noteCount = notes;
    for (int i = 0; i < notes; ++i) {
        model->targetStart[i] = model->sourceStart[i] = 30.0f * static_cast<float>(i);
        model->targetEnd[i] = model->sourceEnd[i] = 30.0f * static_cast<float>(i) + 25.5f;
        model->sourceRow[i] = 0;
        model->pitch[i] = static_cast<float>(i % 12);
        model->volume[i] = 1.0f;
        model->sourcePitch[i] = static_cast<float>(i % 12) + 0.3f;
        model->vibratoRate[i] = 0.4f;
        model->blending[i] = 0.5f;
        for (int j = 0; j < kContourLength; j += 7)
            model->contour[i][j] = j % 2 ? kDrawnPointBase + 0.25f : static_cast<float>(i);
    }
    Bytes bytes(chunkSize(notes, settings));
    writeChunk(*model, settings, bytes.data());
    return bytes;
}

// The version 1 chunk rewritten as version 0: no mask, blocks without blending.
Bytes versionZeroOf(const Bytes& v1, int notes)
{
    Bytes v0(kVersion0HeaderSize);
    putInt32(v0.data(), 0);
    putInt32(v0.data() + 4, notes);
    std::size_t rows = kChunkHeaderSize + notes * kContourRowBytes;
    v0.insert(v0.end(), v1.begin() + kChunkHeaderSize, v1.begin() + static_cast<long>(rows));
    for (int i = 0; i < notes; ++i) {
        auto block = v1.begin() + static_cast<long>(rows + i * kAttributeBlockBytes);
        v0.insert(v0.end(), block, block + kVersion0BlockBytes);
    }
    return v0;
}

void put(const std::string& folder, const char* name, const Bytes& bytes)
{
    std::string path = folder + "/" + name;
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s folder\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    const std::size_t firstBlock = kChunkHeaderSize + 3 * kContourRowBytes;
    Bytes three = chunkOf(3);

    put(folder, "empty", chunkOf(0));
    put(folder, "one-note", chunkOf(1));
    put(folder, "three-notes", three);
    put(folder, "version-0", versionZeroOf(three, 3));

    Bytes trailing = three;
    trailing.push_back(0x5a);
    put(folder, "trailing-byte", trailing);
    Bytes cutBlock(three.begin(), three.end() - 3);
    put(folder, "last-block-cut", cutBlock);
    Bytes cutRows(three.begin(), three.begin() + kChunkHeaderSize + 2 * kContourRowBytes);
    put(folder, "contour-rows-cut", cutRows);
    Bytes header(three.begin(), three.begin() + 30);
    put(folder, "header-cut", header);

    Bytes newer = three;
    putInt32(newer.data(), kSettingsChunkVersion + 1);
    put(folder, "version-3", newer);

    ChunkSettings kept;
    kept.formantMode = kChunkFormantsKept;
    Bytes threeKept = chunkOf(3, kept);
    const std::size_t settingsOffset = chunkSize(3);
    put(folder, "version-2-formants-kept", threeKept);
    put(folder, "version-2-empty-formants-kept", chunkOf(0, kept));
    Bytes unknownFields = threeKept;
    putInt32(unknownFields.data() + settingsOffset, 12);
    for (int32_t field : {7, -3})
        unknownFields.insert(unknownFields.end(),
            {static_cast<unsigned char>(field), 0, 0,
                static_cast<unsigned char>(field < 0 ? 0xff : 0)});
    put(folder, "version-2-unknown-fields", unknownFields);
    Bytes noFields = threeKept;
    putInt32(noFields.data() + settingsOffset, 0);
    noFields.resize(settingsOffset + kSettingsLengthSize);
    put(folder, "version-2-no-fields", noFields);
    Bytes pastEnd = threeKept;
    putInt32(pastEnd.data() + settingsOffset, 8);
    put(folder, "version-2-length-past-end", pastEnd);
    Bytes negativeLength = threeKept;
    putInt32(negativeLength.data() + settingsOffset, -4);
    put(folder, "version-2-negative-length", negativeLength);
    Bytes noSettings = three;
    putInt32(noSettings.data(), kSettingsChunkVersion);
    put(folder, "version-2-without-settings", noSettings);
    Bytes tooMany = three;
    putInt32(tooMany.data() + 52, 1001);
    put(folder, "count-1001", tooMany);
    Bytes negative = three;
    putInt32(negative.data() + 52, -1);
    put(folder, "count-negative", negative);
    Bytes row = three;
    putInt32(row.data() + firstBlock + 16, 4);
    put(folder, "source-row-4", row);
    Bytes nanPitch = three;
    putFloat(nanPitch.data() + firstBlock + 20, std::nanf(""));
    put(folder, "nan-pitch", nanPitch);
    Bytes infContour = three;
    putFloat(infContour.data() + kChunkHeaderSize + 8, INFINITY);
    put(folder, "infinite-contour", infContour);
    return 0;
}
