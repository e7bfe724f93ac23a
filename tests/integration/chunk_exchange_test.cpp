// The chunk as a host moves it: effGetChunk from one instance, effSetChunk
// into another, through the loaded module.
#include "test_host.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <numbers>
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

// A sung line of half-second tones, one block at a time.
class Melody {
public:
    static constexpr int kSamples = 3 * 44100;

    float sample(int n) const
    {
        static constexpr float kPitches[] = {0.0f, 4.0f, 7.0f, 4.0f, 2.0f, 0.0f};
        float pitch = kPitches[(n / 22050) % 6];
        double frequency = 110.0 * std::pow(2.0, (pitch + 3.0) / 12.0);
        phase += 2.0 * std::numbers::pi * frequency / 44100.0;
        return 0.5f * static_cast<float>(std::sin(phase));
    }

private:
    mutable double phase = 0.0;
};

// One pass of the host's transport over the melody from sample 0; returns
// the left output.
std::vector<float> pass(TestHost& host, AEffect* effect)
{
    constexpr int kBlock = 512;
    Melody melody;
    std::vector<float> in(kBlock), right(kBlock), played;
    std::vector<float> left(kBlock);
    float* inputs[] = {in.data(), in.data()};
    float* outputs[] = {left.data(), right.data()};
    for (int start = 0; start + kBlock <= Melody::kSamples; start += kBlock) {
        for (int i = 0; i < kBlock; ++i)
            in[i] = melody.sample(start + i);
        host.setTransport(start, true);
        host.process(effect, inputs, outputs, kBlock);
        played.insert(played.end(), left.begin(), left.end());
    }
    return played;
}

VstIntPtr setChunk(AEffect* effect, Bytes& chunk, VstInt32 isPreset = 0)
{
    return TestHost::dispatch(
        effect, effSetChunk, isPreset, static_cast<VstIntPtr>(chunk.size()), chunk.data());
}

// Two instances in one host.
class ChunkExchangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.loaded());
        first = host.createInstance();
        second = host.createInstance();
        ASSERT_NE(first, nullptr);
        ASSERT_NE(second, nullptr);
    }
    void TearDown() override
    {
        if (first)
            host.closeInstance(first);
        if (second)
            host.closeInstance(second);
    }

    TestHost host;
    AEffect* first = nullptr;
    AEffect* second = nullptr;
};

} // namespace

TEST_F(ChunkExchangeTest, ARestoredEditPlaysLikeTheOneItWasSavedFrom)
{
    AEffect* original = first;
    AEffect* restored = second;

    // Both record the same take in Auto mode; the original's next pass cuts
    // it into notes and plays them.
    pass(host, original);
    pass(host, restored);
    std::vector<float> first = pass(host, original);
    Bytes chunk = getChunk(original);
    ASSERT_GE(chunk.size(), 56u + 4 * 1660); // segmentation cut the melody into notes
    ASSERT_EQ((chunk.size() - 56) % 1660, 0u);

    ASSERT_EQ(setChunk(restored, chunk), static_cast<VstIntPtr>(chunk.size()));
    std::vector<float> second = pass(host, restored);
    ASSERT_EQ(first.size(), second.size());
    int audible = 0;
    for (std::size_t i = 0; i < first.size(); ++i) {
        ASSERT_EQ(first[i], second[i]) << "sample " << i;
        audible += std::fabs(first[i]) > 0.01f;
    }
    EXPECT_GT(audible, static_cast<int>(first.size()) / 2);
    EXPECT_EQ(getChunk(restored), chunk);
}

TEST_F(ChunkExchangeTest, AChunkMovesThroughTheModuleIntoASecondInstance)
{
    EXPECT_TRUE(first->flags & effFlagsProgramChunks);

    Bytes chunk = twoNoteChunk();
    ASSERT_EQ(chunk.size(), 56u + 2 * 1660);
    EXPECT_EQ(setChunk(first, chunk), static_cast<VstIntPtr>(chunk.size()));
    Bytes saved = getChunk(first);
    EXPECT_EQ(saved, chunk);

    EXPECT_EQ(setChunk(second, saved, 1), static_cast<VstIntPtr>(saved.size()));
    EXPECT_EQ(getChunk(second), chunk);

    // A newer version is refused and the restored edit stays.
    Bytes newer = chunk;
    newer[0] = 3;
    EXPECT_EQ(setChunk(second, newer), 0);
    EXPECT_EQ(getChunk(second), chunk);

    // Byte size 0 empties the table and keeps the scale.
    unsigned char unused = 0;
    EXPECT_EQ(TestHost::dispatch(second, effSetChunk, 0, 0, &unused), 1);
    Bytes empty = getChunk(second);
    ASSERT_EQ(empty.size(), 56u);
    EXPECT_TRUE(std::equal(empty.begin(), empty.begin() + 52, chunk.begin()));
}

// Formants kept travel as version 2: both instances play the same, unlike
// the formants moving of the version 1 chunk, which restores them again.
TEST_F(ChunkExchangeTest, AVersionTwoChunkKeepsTheFormantsInASecondInstance)
{
    pass(host, first);
    pass(host, second);
    std::vector<float> moving = pass(host, first);
    Bytes versionOne = getChunk(first);
    ASSERT_EQ(versionOne[0], 1);
    Bytes kept = versionOne;
    kept[0] = 2;
    putInt32(kept, 4);
    putInt32(kept, 1);

    ASSERT_EQ(setChunk(first, kept), static_cast<VstIntPtr>(kept.size()));
    ASSERT_EQ(setChunk(second, kept, 1), static_cast<VstIntPtr>(kept.size()));
    EXPECT_EQ(getChunk(second), kept);
    std::vector<float> original = pass(host, first);
    std::vector<float> restored = pass(host, second);
    ASSERT_EQ(original, restored);
    int different = 0;
    for (std::size_t i = 0; i < moving.size(); ++i)
        different += std::fabs(moving[i] - restored[i]) > 0.01f;
    EXPECT_GT(different, static_cast<int>(moving.size()) / 10);

    ASSERT_EQ(setChunk(second, versionOne), static_cast<VstIntPtr>(versionOne.size()));
    EXPECT_EQ(getChunk(second), versionOne);
    EXPECT_EQ(pass(host, second), moving);
}

TEST_F(ChunkExchangeTest, ChunkRequestsWithoutABufferAnswerZero)
{
    EXPECT_EQ(TestHost::dispatch(first, effGetChunk, 0, 0, nullptr), 0);
    EXPECT_EQ(TestHost::dispatch(first, effSetChunk, 0, 100, nullptr), 0);
}
