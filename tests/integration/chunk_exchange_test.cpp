// The chunk as a host moves it: effGetChunk from one instance, effSetChunk
// into another, through the loaded module.
#include "test_host.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void putInt32(Bytes& bytes, int32_t value)
{
    auto bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<unsigned char>(bits >> shift));
}

void putFloat(Bytes& bytes, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putInt32(bytes, static_cast<int32_t>(bits));
}

// A version 1 chunk of two notes in a row, a d major scale.
Bytes twoNoteChunk()
{
    Bytes chunk;
    putInt32(chunk, 1);
    for (int excluded : {1, 0, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0})
        putInt32(chunk, excluded);
    putInt32(chunk, 2);
    for (int note = 0; note < 2; ++note)
        for (int j = 0; j < 400; ++j)
            putFloat(chunk, j % 5 == 0 ? 1000.25f : -1000.0f);
    for (int note = 0; note < 2; ++note) {
        float start = 40.0f * static_cast<float>(note);
        for (float value : {start, start + 40.0f, start, start + 40.0f})
            putFloat(chunk, value);
        putInt32(chunk, 0);
        for (float value :
            {2.0f + note, 0.1f, 1.0f, 2.1f + note, 0.0f, 0.0f, 0.2f, 0.4f, 0.0f, 0.5f})
            putFloat(chunk, value);
    }
    return chunk;
}

Bytes getChunk(AEffect* effect)
{
    void* data = nullptr;
    auto size = static_cast<std::size_t>(TestHost::dispatch(effect, effGetChunk, 0, 0, &data));
    if (!data)
        return {};
    const auto* bytes = static_cast<const unsigned char*>(data);
    return {bytes, bytes + size};
}

} // namespace

TEST(ChunkExchangeTest, AChunkMovesThroughTheModuleIntoASecondInstance)
{
    TestHost host;
    ASSERT_TRUE(host.loaded());
    AEffect* first = host.createInstance();
    AEffect* second = host.createInstance();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(first->flags & effFlagsProgramChunks);

    Bytes chunk = twoNoteChunk();
    ASSERT_EQ(chunk.size(), 56u + 2 * 1660);
    EXPECT_EQ(TestHost::dispatch(
                  first, effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data()),
        static_cast<VstIntPtr>(chunk.size()));
    Bytes saved = getChunk(first);
    EXPECT_EQ(saved, chunk);

    EXPECT_EQ(TestHost::dispatch(
                  second, effSetChunk, 1, static_cast<VstIntPtr>(saved.size()), saved.data()),
        static_cast<VstIntPtr>(saved.size()));
    EXPECT_EQ(getChunk(second), chunk);

    // A newer version is refused and the restored edit stays.
    Bytes newer = chunk;
    newer[0] = 2;
    EXPECT_EQ(TestHost::dispatch(
                  second, effSetChunk, 0, static_cast<VstIntPtr>(newer.size()), newer.data()),
        0);
    EXPECT_EQ(getChunk(second), chunk);

    // Byte size 0 empties the table and keeps the scale.
    unsigned char unused = 0;
    EXPECT_EQ(TestHost::dispatch(second, effSetChunk, 0, 0, &unused), 1);
    Bytes empty = getChunk(second);
    ASSERT_EQ(empty.size(), 56u);
    EXPECT_TRUE(std::equal(empty.begin(), empty.begin() + 52, chunk.begin()));

    host.closeInstance(first);
    host.closeInstance(second);
}

TEST(ChunkExchangeTest, ChunkRequestsWithoutABufferAnswerZero)
{
    TestHost host;
    AEffect* effect = host.createInstance();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(TestHost::dispatch(effect, effGetChunk, 0, 0, nullptr), 0);
    EXPECT_EQ(TestHost::dispatch(effect, effSetChunk, 0, 100, nullptr), 0);
    host.closeInstance(effect);
}
