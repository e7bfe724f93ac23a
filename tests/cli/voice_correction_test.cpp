// Takes corrected side by side on several threads give what one thread gives,
// bit for bit, whatever order the threads finish them in.
#include "cli/sung_melody.h"
#include "cli/voice_correction.h"

#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <set>

namespace {

constexpr int kRate = 44100;

// Two and a bit takes of a singer, short notes and long, with vibrato: the
// takes are of different lengths, so the threads finish them out of order.
const std::vector<float>& threeTakeVoice()
{
    static const std::vector<float> sung = [] {
        const std::vector<SungNote> phrase = {{0, 30.0f, 0.4}, {4, -35.0f, 1.2}, {7, 20.0f, 0.25},
            {5, -25.0f, 2.0}, {-5, 40.0f, 0.8}, {12, -15.0f, 1.5}};
        std::vector<SungNote> melody;
        double seconds = 0.0;
        while (seconds < 245.0)
            for (const SungNote& note : phrase) {
                melody.push_back(note);
                seconds += note.seconds + 0.08;
            }
        return synthesiseMelody(melody, kRate);
    }();
    return sung;
}

void expectSameNotes(const std::vector<FoundNote>& a, const std::vector<FoundNote>& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t n = 0; n < a.size(); ++n) {
        EXPECT_EQ(a[n].startSample, b[n].startSample) << n;
        EXPECT_EQ(a[n].endSample, b[n].endSample) << n;
        EXPECT_EQ(std::memcmp(&a[n].measuredPitch, &b[n].measuredPitch, sizeof(float)), 0) << n;
        EXPECT_EQ(std::memcmp(&a[n].targetPitch, &b[n].targetPitch, sizeof(float)), 0) << n;
        EXPECT_EQ(a[n].voicedFrames, b[n].voicedFrames) << n;
    }
}

} // namespace

TEST(VoiceCorrectionEndToEndTest, TuningOnSeveralThreadsGivesTheOutputOfOneBitForBit)
{
    const std::vector<float>& sung = threeTakeVoice();
    CorrectionSettings settings;
    settings.scale = ScaleChoice::kMajor;
    settings.vibrato = VibratoSetting {0.3f, 5.0f};

    settings.threads = 1;
    CorrectionResult single;
    ASSERT_FALSE(correctVoice(sung, kRate, settings, false, single));
    ASSERT_EQ(single.takes.size(), 3u);

    for (int threads : {2, 3}) {
        settings.threads = threads;
        CorrectionResult parallel;
        std::set<std::size_t> inspected;
        std::mutex inspectedMutex;
        ASSERT_FALSE(correctVoice(sung, kRate, settings, false, parallel, nullptr,
            [&](std::size_t take, PitchEffect&, long) {
                std::lock_guard<std::mutex> guard(inspectedMutex);
                EXPECT_TRUE(inspected.insert(take).second) << "take " << take << " twice";
            }));
        EXPECT_EQ(inspected.size(), 3u) << threads << " threads";
        ASSERT_EQ(parallel.output.size(), single.output.size());
        EXPECT_EQ(std::memcmp(parallel.output.data(), single.output.data(),
                      single.output.size() * sizeof(float)),
            0)
            << threads << " threads";
        expectSameNotes(parallel.notes, single.notes);
    }
}

TEST(VoiceCorrectionEndToEndTest, AnalysisOnTwoThreadsFindsTheNotesOfOne)
{
    const std::vector<float>& sung = threeTakeVoice();
    std::vector<TakeSpan> takes;
    const std::vector<FoundNote> single = analyseVoice(sung, kRate, &takes, nullptr, 1);
    const std::vector<FoundNote> parallel = analyseVoice(sung, kRate, nullptr, nullptr, 2);
    ASSERT_EQ(takes.size(), 3u);
    EXPECT_GT(single.size(), 100u);
    expectSameNotes(parallel, single);
}

TEST(VoiceCorrectionTest, ThreadsAreAtLeastOneAndAtMostOnePerTake)
{
    struct Case {
        int requested;
        std::size_t takes;
        int expected;
    };
    const Case cases[] = {{1, 3, 1}, {2, 3, 2}, {8, 3, 3}, {2, 1, 1}, {2, 0, 1}, {-4, 1, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(takeThreads(c.requested, c.takes), c.expected)
            << c.requested << " for " << c.takes;
    // As many as the cores this process may use, never more than the takes.
    const int automatic = takeThreads(0, 64);
    EXPECT_GE(automatic, 1);
    EXPECT_LE(automatic, 64);
    EXPECT_EQ(takeThreads(0, 1), 1);
}
