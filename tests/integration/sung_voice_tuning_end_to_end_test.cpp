// The five test singers through CantiloVST.so, driven as a host drives it:
// the take is recorded, played once (the notes are cut), then every note is
// put on its nearest semitone with all pitch classes allowed (what "allow
// all", select all and "tune notes" leave in the chunk) and played with the
// contour kept and with the contours flattened.
#include "support/singing_voice.h"
#include "support/sung_take_score.h"
#include "test_host.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr int kBlock = 512;
constexpr int kTailBlocks = 8;

// Chunk layout: version, 12 scale-mask entries, note count, 400 contour
// points per note, then 15 attributes per note.
constexpr std::size_t kMaskOffset = 4;
constexpr std::size_t kPitchClasses = 12;
constexpr std::size_t kCountOffset = 52;
constexpr std::size_t kContoursOffset = 56;
constexpr std::size_t kValueSize = 4;
constexpr std::size_t kContourBytes = 400 * kValueSize;
constexpr std::size_t kAttributeBytes = 15 * kValueSize;
constexpr int kPitchAttribute = 5;
constexpr int kFineTuneAttribute = 6;
constexpr int kRawDampingAttribute = 9;
constexpr int kFineDampingAttribute = 10;
constexpr float kComputedLimit = 900.0f; // contour points below are computed
constexpr float kUncomputed = -1000.0f;

// What the played take must show. With the contour kept a note plays the
// sung movement moved by its target minus its measured pitch, so the median
// of its windows sits on the semitone as closely as that pitch matches the
// middle of the movement; the blend into a short note from its neighbour
// and the voice's jitter over windows of four periods add a cent or two.
constexpr double kMedianCents = 5.0;
constexpr double kFlatCents = 10.0;
constexpr double kFlatShare = 0.95;

struct Chunk {
    std::vector<unsigned char> bytes;
    int count = 0;

    float get(int note, int k) const
    {
        float v;
        std::memcpy(&v, bytes.data() + attributes(note, k), kValueSize);
        return v;
    }
    void set(int note, int k, float v)
    {
        std::memcpy(bytes.data() + attributes(note, k), &v, kValueSize);
    }
    std::size_t attributes(int note, int k) const
    {
        return kContoursOffset + kContourBytes * static_cast<std::size_t>(count)
            + kAttributeBytes * static_cast<std::size_t>(note)
            + kValueSize * static_cast<std::size_t>(k);
    }
    // What noteChanged leaves: the computed contour points cleared.
    void clearComputedContours()
    {
        const std::size_t end = kContoursOffset + kContourBytes * static_cast<std::size_t>(count);
        for (std::size_t at = kContoursOffset; at < end; at += kValueSize) {
            float v;
            std::memcpy(&v, bytes.data() + at, kValueSize);
            if (v < kComputedLimit)
                std::memcpy(bytes.data() + at, &kUncomputed, kValueSize);
        }
    }
};

Chunk readChunk(AEffect* effect)
{
    void* data = nullptr;
    auto size = static_cast<std::size_t>(TestHost::dispatch(effect, effGetChunk, 0, 0, &data));
    Chunk chunk;
    if (size < kContoursOffset || !data)
        return chunk;
    chunk.bytes.assign(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    std::memcpy(&chunk.count, chunk.bytes.data() + kCountOffset, kValueSize);
    return chunk;
}

bool writeChunk(AEffect* effect, Chunk& chunk)
{
    return TestHost::dispatch(effect, effSetChunk, 0, static_cast<VstIntPtr>(chunk.bytes.size()),
               chunk.bytes.data())
        != 0;
}

// "allow all" and "tune notes" on every note: each goes to its nearest
// semitone (halves up) and loses its fine offset.
void tuneAll(Chunk& chunk)
{
    const int allowed = 0;
    for (std::size_t pc = 0; pc < kPitchClasses; ++pc)
        std::memcpy(chunk.bytes.data() + kMaskOffset + kValueSize * pc, &allowed, kValueSize);
    for (int n = 0; n < chunk.count; ++n) {
        double sung
            = static_cast<double>(chunk.get(n, kPitchAttribute)) + chunk.get(n, kFineTuneAttribute);
        chunk.set(n, kPitchAttribute, static_cast<float>(std::trunc(sung + 60.5) - 60.0));
        chunk.set(n, kFineTuneAttribute, 0.0f);
    }
    chunk.clearComputedContours();
}

void flattenAll(Chunk& chunk)
{
    for (int n = 0; n < chunk.count; ++n) {
        chunk.set(n, kRawDampingAttribute, 1.0f);
        chunk.set(n, kFineDampingAttribute, 1.0f);
    }
    chunk.clearComputedContours();
}

// What a host that compensates the reported latency hears: the output from
// initialDelay samples on, each sample beside the input it answers.
void alignToInput(std::vector<float>& output, int delay)
{
    const auto shift = static_cast<std::size_t>(std::max(delay, 0));
    if (shift >= output.size())
        return;
    output.erase(output.begin(), output.begin() + static_cast<long>(shift));
    output.resize(output.size() + shift, 0.0f);
}

class SungVoiceTuningEndToEndTest
    : public ::testing::TestWithParam<std::tuple<double, int>> { };

} // namespace

// At 44.1 kHz the engine works on the host's buffers; at 48 kHz it records
// and plays through the rate converter, which has a latency of its own.
TEST_P(SungVoiceTuningEndToEndTest, TunedNotesSitOnTheirSemitonesWithoutClicks)
{
    const auto [rate, melody] = GetParam();
    TestHost host;
    ASSERT_TRUE(host.loaded());
    for (const TestVoice& voice : testVoices(rate, VoiceTake {melody, false})) {
        SCOPED_TRACE(voice.name);
        SungTake take = singMelody(voice.melody, voice.settings);
        take.samples.resize(take.samples.size() + kTailBlocks * kBlock, 0.0f);
        AEffect* effect = host.createInstance(static_cast<float>(rate), kBlock);
        ASSERT_NE(effect, nullptr);
        const std::vector<float> silence(take.samples.size(), 0.0f);

        host.playMono(effect, take.samples, kBlock); // records
        host.playMono(effect, silence, kBlock); // plays once: the notes are cut
        Chunk chunk = readChunk(effect);
        ASSERT_GT(chunk.count, 0);
        tuneAll(chunk);
        ASSERT_TRUE(writeChunk(effect, chunk));
        std::vector<float> kept = host.playMono(effect, silence, kBlock);
        flattenAll(chunk);
        ASSERT_TRUE(writeChunk(effect, chunk));
        std::vector<float> flat = host.playMono(effect, silence, kBlock);
        const int delay = effect->initialDelay;
        host.closeInstance(effect);
        alignToInput(kept, delay);
        alignToInput(flat, delay);

        std::ostringstream missed;
        int missedNotes = 0;
        const auto keptCents = centsFromSemitones(take, kept);
        for (std::size_t n = 0; n < keptCents.size(); ++n) {
            double m = median(keptCents[n]);
            if (!(std::fabs(m) <= kMedianCents)) {
                ++missedNotes;
                missed << " note " << n << " (" << take.notes[n].centre << "): " << m;
            }
        }
        EXPECT_EQ(missedNotes, 0) << "medians off their semitone:" << missed.str();

        const WindowShare share = windowsWithin(centsFromSemitones(take, flat), kFlatCents);
        EXPECT_GE(share.close, kFlatShare * share.windows)
            << share.close << " of " << share.windows << " close enough";

        EXPECT_EQ(clicks(take.samples, kept), 0);
        EXPECT_EQ(clicks(take.samples, flat), 0);
        for (const std::vector<float>* out : {&kept, &flat})
            for (float s : *out)
                ASSERT_TRUE(std::isfinite(s));
    }
}

// Take 3 had a short note merged into its neighbour before the analysis held
// on it.
INSTANTIATE_TEST_SUITE_P(HostRates, SungVoiceTuningEndToEndTest,
    ::testing::Combine(::testing::Values(44100.0, 48000.0), ::testing::Values(0, 3)),
    [](const ::testing::TestParamInfo<std::tuple<double, int>>& info) {
        return std::to_string(static_cast<int>(std::get<0>(info.param))) + "Take"
            + std::to_string(std::get<1>(info.param));
    });
