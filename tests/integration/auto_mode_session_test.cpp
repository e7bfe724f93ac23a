// Auto mode in a session that began with a short play: the host played a few
// blocks of the silent lead-in, stopped, then plays the whole take from the
// start, again and again. The first playing block cut the few recorded blocks
// into notes; once the rest is recorded, playback cuts again and plays it.
#include "support/pitch_measure.h"
#include "support/singing_voice.h"
#include "test_host.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 512;
constexpr int kShortPlayBlocks = 8;

struct AutoSession {
    AutoSession() { effect = host.createInstance(static_cast<float>(kRate), kBlock); }
    ~AutoSession()
    {
        if (effect)
            host.closeInstance(effect);
    }

    // Blocks of input from position 0 with the transport playing (or one
    // block stopped when playing is false).
    std::vector<float> play(
        const std::vector<float>& input, std::size_t blocks, bool playing = true)
    {
        std::vector<float> out(input.size(), 0.0f);
        std::vector<float> right(kBlock);
        for (std::size_t b = 0; b < blocks && (b + 1) * kBlock <= input.size(); ++b) {
            const std::size_t at = b * kBlock;
            host.setTransport(static_cast<double>(at), playing);
            float* inputs[2]
                = {const_cast<float*>(input.data() + at), const_cast<float*>(input.data() + at)};
            float* outputs[2] = {out.data() + at, right.data()};
            host.process(effect, inputs, outputs, kBlock);
        }
        return out;
    }

    int noteCount()
    {
        void* data = nullptr;
        const VstIntPtr size = TestHost::dispatch(effect, effGetChunk, 0, 0, &data);
        int32_t count = 0;
        if (size >= 56 && data)
            std::memcpy(&count, static_cast<const char*>(data) + 52, 4);
        return count;
    }

    TestHost host;
    AEffect* effect = nullptr;
};

SungTake sungTake()
{
    TestVoice voice = testVoices(kRate).front();
    voice.melody.resize(8);
    voice.settings.leadInSeconds = 0.5; // more than the short play's eight blocks
    return singMelody(voice.melody, voice.settings);
}

// Sung notes whose middle comes back at the sung pitch (within 30 cents).
int notesPlayedBack(const SungTake& take, const std::vector<float>& output)
{
    constexpr std::size_t kWindow = 4096;
    int count = 0;
    for (const SungNoteTruth& note : take.notes) {
        const auto middle = static_cast<std::size_t>((note.steadyStart + note.end) / 2);
        const double in
            = measureFrequency(take.samples.data() + middle - kWindow / 2, kWindow, kRate);
        const double out = measureFrequency(output.data() + middle - kWindow / 2, kWindow, kRate);
        if (in > 0.0 && out > 0.0 && std::fabs(centsBetween(in, out)) < 30.0)
            ++count;
    }
    return count;
}

TEST(AutoModeSessionTest, AfterAShortPlayTheWholeTakePlaysOnEveryLaterPass)
{
    AutoSession session;
    ASSERT_NE(session.effect, nullptr);
    const SungTake take = sungTake();
    const std::size_t allBlocks = take.samples.size() / kBlock;
    session.play(take.samples, kShortPlayBlocks);
    session.play(take.samples, 1, false);

    // The first full pass plays the short recorded stretch, records the rest.
    session.play(take.samples, allBlocks);
    for (int pass = 0; pass < 3; ++pass) {
        const std::vector<float> out = session.play(take.samples, allBlocks);
        EXPECT_EQ(notesPlayedBack(take, out), static_cast<int>(take.notes.size()))
            << "pass " << pass;
    }
}

TEST(AutoModeSessionTest, ARestoredTableIsNeverCutAgain)
{
    AutoSession session;
    ASSERT_NE(session.effect, nullptr);
    const SungTake take = sungTake();
    const std::size_t allBlocks = take.samples.size() / kBlock;
    session.play(take.samples, kShortPlayBlocks);
    session.play(take.samples, 1, false);
    session.play(take.samples, allBlocks);
    const int cut = session.noteCount();
    ASSERT_GT(cut, 0);

    // The host restores the project's chunk: the table is the user's now.
    void* data = nullptr;
    const VstIntPtr size = TestHost::dispatch(session.effect, effGetChunk, 0, 0, &data);
    std::vector<unsigned char> saved(
        static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    ASSERT_EQ(TestHost::dispatch(session.effect, effSetChunk, 0, size, saved.data()), size);
    session.play(take.samples, allBlocks);
    EXPECT_EQ(session.noteCount(), cut);
}

} // namespace
