#include "cli/sung_melody.h"
#include "cli/take_corrector.h"
#include "support/effect_internals.h"
#include "sustained_pitch.h"

#include <cmath>
#include <gtest/gtest.h>
#include <optional>

TEST(EffectHostTest, PlaysTheInputThroughProcessReplacingWithARunningTransport)
{
    // The take is kept at 44,100 Hz: at 48 kHz the host's audio reaches it
    // resampled, all but what the resampler still holds when the input ends.
    constexpr int kResamplerHoldsAtMost = 1024;
    for (int rate : {44100, 48000}) {
        const std::vector<float> sung = synthesiseMelody({{0, 0.0f, 0.5}, {4, 0.0f, 0.5}}, rate);
        EffectHost host(static_cast<float>(rate));
        EXPECT_FLOAT_EQ(host.effect().getSampleRate(), static_cast<float>(rate));
        host.play(sung.data(), static_cast<long>(sung.size()));
        // One block of at most 512 samples at a time, each asking for the time.
        const long blocks = (static_cast<long>(sung.size()) + 511) / 512;
        EXPECT_EQ(host.timeRequests(), blocks);
        EXPECT_DOUBLE_EQ(host.transportPosition(), static_cast<double>(sung.size()));
        // Auto mode over an empty take records all of it.
        const TakeModel& model = host.effect().takeModel();
        const int expected = static_cast<int>(std::lround(sung.size() * 44100.0 / rate));
        if (rate == 44100) {
            EXPECT_EQ(model.recordedLength.load(), expected);
            for (std::size_t i = 0; i < sung.size(); i += 997)
                ASSERT_EQ(model.recordBuffer[i], sung[i]) << i;
        } else {
            EXPECT_LE(model.recordedLength.load(), expected);
            EXPECT_GE(model.recordedLength.load(), expected - kResamplerHoldsAtMost);
        }
    }
}

TEST(TakeCorrectorTest, KeyAndScaleSetTheMask)
{
    TakeCorrector take(44100);
    CorrectionSettings settings;
    settings.keyRoot = 2; // D major: D E F# G A B C#
    settings.scale = ScaleChoice::kMajor;
    ASSERT_FALSE(take.correct(settings));
    const std::array<int, kPitchClasses> dMajor = {1, 0, 0, 1, 0, 1, 0, 0, 1, 0, 1, 0};
    EXPECT_EQ(modelOf(take.host().effect()).scaleMask, dMajor);
    settings.scale = ScaleChoice::kChromatic;
    ASSERT_FALSE(take.correct(settings));
    EXPECT_EQ(modelOf(take.host().effect()).scaleMask, (std::array<int, kPitchClasses> {}));
}

TEST(TakeCorrectorTest, VibratoRateSettingFollowsTheSampleRate)
{
    // The default setting 0.4 is about 2.74 Hz at 44.1 kHz; 1 is the fastest.
    EXPECT_NEAR(TakeCorrector::vibratoRateSetting(2.7414, 44100), 0.4f, 1e-4f);
    EXPECT_NEAR(TakeCorrector::fastestVibrato(44100), 6.8534, 1e-3);
    EXPECT_NEAR(TakeCorrector::fastestVibrato(48000), 7.4604, 1e-3);
    EXPECT_NEAR(TakeCorrector::vibratoRateSetting(TakeCorrector::fastestVibrato(96000), 96000),
        1.0f, 1e-6f);

    TakeCorrector take(44100);
    CorrectionSettings settings;
    settings.vibrato = VibratoSetting {0.5f, 7.0f};
    auto failure = take.correct(settings);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->exitCode, kExitUsage);
    EXPECT_NE(failure->message.find("at most 6.85 Hz at 44100 Hz"), std::string::npos)
        << failure->message;
}

TEST(TakeCorrectorTest, RenderHasTheRequestedLengthAndIsFinite)
{
    const std::vector<float> sung = synthesiseMelody({{0, 30.0f, 0.8}, {5, -30.0f, 0.8}}, 44100);
    TakeCorrector take(44100);
    take.record(sung.data(), static_cast<long>(sung.size()));
    take.transferNotes();
    ASSERT_FALSE(take.correct({}));
    // Longer than the notes, and not a whole number of frames.
    const long length = static_cast<long>(sung.size()) + 1234;
    std::vector<float> out = take.render(length);
    ASSERT_EQ(static_cast<long>(out.size()), length);
    double energy = 0.0;
    for (float s : out) {
        ASSERT_TRUE(std::isfinite(s));
        energy += s * s;
    }
    EXPECT_GT(energy, 100.0);
    // The render leaves the notes as they were.
    const int before = modelOf(take.host().effect()).noteCount;
    take.render(1000);
    EXPECT_EQ(modelOf(take.host().effect()).noteCount, before);
}

namespace {

// Records the sung take, cuts its notes and tunes them moved by transpose;
// the failure correct() reports, if any.
std::optional<Failure> transposed(
    TakeCorrector& take, const std::vector<float>& sung, int transpose, bool keepFormants)
{
    take.record(sung.data(), static_cast<long>(sung.size()));
    take.transferNotes();
    CorrectionSettings settings;
    settings.transpose = transpose;
    settings.keepFormants = keepFormants;
    return take.correct(settings);
}

} // namespace

// The transposition moves every tuned note; the formant mode is the effect's
// and travels in the program chunk: version 2 when kept, version 1 when moving.
TEST(TakeCorrectorTest, TransposeMovesTheTunedNotesAndTheChunkCarriesTheFormantMode)
{
    const std::vector<float> sung = synthesiseMelody({{0, 30.0f, 0.8}, {5, -30.0f, 0.8}}, 44100);
    struct Case {
        int transpose;
        bool keepFormants;
        int chunkVersion;
    };
    std::vector<float> tuned;
    for (const Case& c : {Case {0, true, 2}, Case {-24, true, 2}, Case {7, false, 1}}) {
        TakeCorrector take(44100);
        ASSERT_FALSE(transposed(take, sung, c.transpose, c.keepFormants));
        std::vector<float> targets;
        for (const FoundNote& note : take.notes())
            targets.push_back(note.targetPitch);
        if (c.transpose == 0)
            tuned = targets;
        ASSERT_EQ(targets.size(), tuned.size());
        for (std::size_t i = 0; i < targets.size(); ++i)
            EXPECT_FLOAT_EQ(targets[i], tuned[i] + static_cast<float>(c.transpose)) << i;

        std::vector<uint8_t> chunk = take.programChunk();
        ASSERT_GE(chunk.size(), 56u);
        EXPECT_EQ(chunk[0], c.chunkVersion);
        const std::size_t edit = 56 + 1660 * targets.size();
        ASSERT_EQ(chunk.size(), edit + (c.keepFormants ? 8u : 0u));
        if (c.keepFormants) {
            EXPECT_EQ(std::vector<uint8_t>(chunk.begin() + static_cast<long>(edit), chunk.end()),
                (std::vector<uint8_t> {4, 0, 0, 0, 1, 0, 0, 0}));
        }
    }
}

// Transpositions beyond the plug-in's 20-semitone shift limit still sound,
// with the formants kept and moving, in both directions.
TEST(TakeCorrectorTest, TranspositionsOfUpToTwoOctavesSound)
{
    constexpr int kRate = 44100;
    constexpr double kToleranceSemitones = 0.15;
    struct Case {
        int sung; // a low voice's C3 goes up, a high voice's C5 down
        int transpose;
        bool keepFormants;
    };
    for (const Case& c :
        {Case {0, 24, true}, Case {24, -24, false}, Case {0, 21, false}, Case {24, -20, true}}) {
        std::vector<SungSpan> spans;
        const std::vector<float> sung = synthesiseMelody({{c.sung, 25.0f, 1.5}}, kRate, {}, &spans);
        ASSERT_EQ(spans.size(), 1u);
        TakeCorrector take(kRate);
        ASSERT_FALSE(transposed(take, sung, c.transpose, c.keepFormants));
        const std::vector<float> out = take.render(static_cast<long>(sung.size()));
        const long from = spans[0].start + kRate / 2;
        EXPECT_NEAR(meanPitch(out, from, from + kRate / 2, kRate), c.sung + c.transpose,
            kToleranceSemitones)
            << c.transpose << (c.keepFormants ? " kept" : " moving");
    }
}
