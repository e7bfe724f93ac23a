// A host records a sung melody through the plug-in in Auto mode and plays the
// same region again: the notes are cut automatically and the output keeps the
// input's pitch. Then one note is moved up two semitones through the chunk.
#include "model/pitch_units.h"
#include "support/pitch_measure.h"
#include "test_host.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 512;
constexpr int kHarmonics = 6;
constexpr double kTwoPi = 6.283185307179586;

// Sung notes: pitch in semitones (0 = C3), length in samples.
struct SungNote {
    double pitch;
    int length;
};

const std::vector<SungNote> kMelody
    = {{9.0, 60000}, {12.0, 60000}, {7.0, 60000}, {14.0, 60000}, {10.0, 60000}};
constexpr int kLeadIn = 8192; // silence before the first note

// A voice-like tone: falling harmonics, a gentle 5.5 Hz vibrato and short
// glides between the notes.
std::vector<float> singMelody()
{
    std::vector<float> take(kLeadIn, 0.0f);
    double phase = 0.0;
    double previous = kMelody.front().pitch;
    int t = 0;
    for (const SungNote& note : kMelody) {
        for (int i = 0; i < note.length; ++i, ++t) {
            double glide = std::fmin(1.0, i / 1500.0);
            double pitch = previous + (note.pitch - previous) * glide
                + 0.15 * std::sin(kTwoPi * 5.5 * t / kRate);
            phase += kTwoPi * frequencyOfPitch(pitch) / kRate;
            double s = 0.0;
            for (int h = 1; h <= kHarmonics; ++h)
                s += std::sin(h * phase) / h;
            take.push_back(static_cast<float>(0.25 * s));
        }
        previous = note.pitch;
    }
    take.resize(take.size() + 4 * kBlock, 0.0f);
    return take;
}

int noteStart(std::size_t index)
{
    int start = kLeadIn;
    for (std::size_t i = 0; i < index; ++i)
        start += kMelody[i].length;
    return start;
}

// The pitch of output against input, in cents, over three windows in the
// sustained middle of sung note index. A window spans a whole vibrato cycle:
// a voice reads up to a few periods behind the take, and over part of a
// cycle that lag alone would tell the vibrato's phases apart.
std::vector<double> centsOff(const std::vector<float>& input, const std::vector<float>& output,
    std::size_t index, double expectedShift)
{
    constexpr int kWindow = 8192; // 5.5 Hz vibrato: 8,018 samples a cycle
    std::vector<double> cents;
    const int start = noteStart(index);
    const int length = kMelody[index].length;
    for (int w = 1; w <= 3; ++w) {
        int at = start + length * w / 4 - kWindow / 2;
        double in = measureFrequency(input.data() + at, kWindow, kRate);
        double out = measureFrequency(output.data() + at, kWindow, kRate);
        cents.push_back(
            in > 0.0 && out > 0.0 ? centsBetween(in, out) - 100.0 * expectedShift : 1.0e9);
    }
    return cents;
}

// The note table as the chunk carries it: contour rows, then 60-byte blocks of
// the fifteen attributes.
struct ChunkNotes {
    std::vector<unsigned char> bytes;
    int count = 0;
    std::size_t blockOffset = 0;

    float attribute(int note, int k) const
    {
        float v;
        std::memcpy(&v, bytes.data() + blockOffset + 60 * note + 4 * k, 4);
        return v;
    }
    void setAttribute(int note, int k, float v)
    {
        std::memcpy(bytes.data() + blockOffset + 60 * note + 4 * k, &v, 4);
    }
    void clearComputedContours()
    {
        for (std::size_t at = 56; at < blockOffset; at += 4) {
            float v;
            std::memcpy(&v, bytes.data() + at, 4);
            if (v < 900.0f) {
                v = -1000.0f;
                std::memcpy(bytes.data() + at, &v, 4);
            }
        }
    }
    int noteAt(int position) const
    {
        float frame = static_cast<float>(position / 512);
        for (int n = 0; n < count; ++n)
            if (attribute(n, 0) <= frame && frame < attribute(n, 1))
                return n;
        return -1;
    }
};

ChunkNotes readChunk(AEffect* effect)
{
    void* data = nullptr;
    auto size = static_cast<std::size_t>(TestHost::dispatch(effect, effGetChunk, 0, 0, &data));
    ChunkNotes chunk;
    if (size < 56 || !data)
        return chunk;
    chunk.bytes.assign(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    std::memcpy(&chunk.count, chunk.bytes.data() + 52, 4);
    chunk.blockOffset = 56 + 1600 * static_cast<std::size_t>(chunk.count);
    return chunk;
}

constexpr int kPitchAttribute = 5;

} // namespace

TEST(EngineEndToEndTest, RecordedMelodyPlaysBackAtItsPitchAndAMovedNoteFollows)
{
    TestHost host;
    ASSERT_TRUE(host.loaded());
    AEffect* effect = host.createInstance(static_cast<float>(kRate), kBlock);
    ASSERT_NE(effect, nullptr);
    const std::vector<float> melody = singMelody();

    // First pass: the take is empty, so every block records and passes through.
    std::vector<float> recorded = host.playMono(effect, melody, kBlock);
    EXPECT_EQ(recorded, melody);

    // Second pass over the same region: recorded, so the blocks play.
    std::vector<float> silence(melody.size(), 0.0f);
    std::vector<float> played = host.playMono(effect, silence, kBlock);
    for (std::size_t i = 0; i < kMelody.size(); ++i)
        for (double c : centsOff(melody, played, i, 0.0))
            EXPECT_LT(std::fabs(c), 5.0) << "note " << i;

    // The notes were cut by segmentation: one per sung note.
    ChunkNotes chunk = readChunk(effect);
    ASSERT_GE(chunk.count, static_cast<int>(kMelody.size()));
    const std::size_t moved = 2;
    int note = chunk.noteAt(noteStart(moved) + kMelody[moved].length / 2);
    ASSERT_GE(note, 0);
    for (std::size_t i = 0; i < kMelody.size(); ++i) {
        if (i != moved) {
            EXPECT_NE(chunk.noteAt(noteStart(i) + kMelody[i].length / 2), note);
        }
    }
    // Moved as the editor moves it: the pitch two semitones up and, as
    // noteChanged leaves them, the computed contour points cleared (the chunk
    // of an edited take holds no points computed from the old pitch).
    chunk.setAttribute(note, kPitchAttribute, chunk.attribute(note, kPitchAttribute) + 2.0f);
    chunk.clearComputedContours();
    ASSERT_NE(TestHost::dispatch(effect, effSetChunk, 0, static_cast<VstIntPtr>(chunk.bytes.size()),
                  chunk.bytes.data()),
        0);

    std::vector<float> shifted = host.playMono(effect, silence, kBlock);
    for (std::size_t i = 0; i < kMelody.size(); ++i)
        for (double c : centsOff(melody, shifted, i, i == moved ? 2.0 : 0.0))
            EXPECT_LT(std::fabs(c), 5.0) << "note " << i;
    for (float s : shifted)
        ASSERT_TRUE(std::isfinite(s));
    host.closeInstance(effect);
}
