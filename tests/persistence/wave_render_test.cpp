#include "persistence/temp_folder_helpers.h"
#include "persistence/wave_render.h"
#include "persistence/wave_writer.h"
#include "shell/pitch_effect.h"
#include "support/effect_internals.h"
#include "support/pitch_measure.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <limits>
#include <memory>
#include <numbers>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

// A take sung at pitch 2 (146.8 Hz) for two seconds, cut into two notes that
// play a third and a second higher; the second with vibrato.
void singTwoNotes(TakeModel& model)
{
    constexpr int kSamples = 2 * 44100;
    const double frequency = 110.0 * std::pow(2.0, (2.0 + 3.0) / 12.0);
    for (int i = 0; i < kSamples; ++i) {
        model.recordBuffer[i]
            = 0.4f * static_cast<float>(std::sin(2.0 * std::numbers::pi * frequency * i / 44100.0));
        model.markRecorded(i);
    }
    for (int frame = 0; frame < kSamples / kFrameLength; ++frame) {
        model.framePitch[0][frame] = 2.0f;
        model.frameVoicing[0][frame] = 1.0f;
    }
    const float bounds[][2] = {{4.0f, 80.0f}, {80.0f, 160.5f}};
    for (int i = 0; i < 2; ++i) {
        model.targetStart[i] = model.sourceStart[i] = bounds[i][0];
        model.targetEnd[i] = model.sourceEnd[i] = bounds[i][1];
        model.sourceRow[i] = 0;
        model.pitch[i] = 5.0f - static_cast<float>(i);
        model.fineTune[i] = 0.0f;
        model.volume[i] = 1.0f;
        model.sourcePitch[i] = 2.0f;
        model.rawContourDamping[i] = 0.0f;
        model.fineContourDamping[i] = 0.0f;
        model.vibratoAmplitude[i] = 0.3f * static_cast<float>(i);
        model.vibratoRate[i] = 0.4f;
        model.vibratoAttack[i] = 0.0f;
        model.blending[i] = 0.5f;
    }
    model.noteCount = 2;
}

class WaveRenderTest : public TempFolderTest {
protected:
    std::unique_ptr<PitchEffect> effect = std::make_unique<PitchEffect>(nullptr);
};

int16_t s16(const Bytes& bytes, std::size_t at) { return static_cast<int16_t>(u16At(bytes, at)); }

} // namespace

TEST(RenderLengthTest, CoversTheLastWholeFrameOfTheLastNote)
{
    auto model = std::make_unique<TakeModel>();
    EXPECT_EQ(renderSampleCount(*model), 512u); // no notes: one frame
    model->noteCount = 3;
    model->targetEnd[0] = 200.0f;
    model->targetEnd[1] = 1000.7f;
    model->targetEnd[2] = 999.9f;
    EXPECT_EQ(renderSampleCount(*model), 512000u);
    model->targetEnd[1] = 0.5f;
    model->targetEnd[0] = -40.0f;
    model->targetEnd[2] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(renderSampleCount(*model), 512u);
    // Far beyond any take: as much as a WAV file's 32-bit sizes allow.
    model->targetEnd[2] = 3.0e30f;
    uint32_t longest = renderSampleCount(*model);
    EXPECT_LE(longest, kMaxWaveSamples);
    EXPECT_GT(longest + kFrameLength, kMaxWaveSamples);
    EXPECT_EQ(longest % kFrameLength, 0u);
}

TEST_F(WaveRenderTest, NoNotesWriteOneSilentFrame)
{
    ASSERT_TRUE(effect->renderTake(pathOf("empty").c_str()));
    Bytes file = readFile(pathOf("empty.wav"));
    ASSERT_EQ(file.size(), 44u + 2048u);
    EXPECT_EQ(u32At(file, 4), 2084u);
    EXPECT_EQ(u32At(file, 40), 2048u);
    for (std::size_t i = 44; i < file.size(); ++i)
        ASSERT_EQ(file[i], 0) << i;
}

TEST_F(WaveRenderTest, AFullLengthRenderHasTheSizesItsHeaderAnnounces)
{
    TakeModel& model = modelOf(*effect);
    singTwoNotes(model);
    model.targetEnd[1] = 1000.7f;
    ASSERT_TRUE(effect->renderTake(pathOf("long.wav").c_str()));
    Bytes file = readFile(pathOf("long.wav"));
    EXPECT_EQ(u32At(file, 40), 2048000u);
    EXPECT_EQ(u32At(file, 4), 2048036u);
    EXPECT_EQ(file.size(), 44u + 2048000u);
}

TEST_F(WaveRenderTest, TheHeaderGivesTheHostsSampleRate)
{
    ASSERT_TRUE(effect->renderTake(pathOf("at44").c_str()));
    Bytes file = readFile(pathOf("at44.wav"));
    EXPECT_EQ(u32At(file, 24), 44100u);
    EXPECT_EQ(u32At(file, 28), 176400u);
    // Audio computed at 48 kHz declared as 44.1 kHz would play 9 % slow and
    // a semitone and a half flat.
    effect->setSampleRate(48000.0f);
    ASSERT_TRUE(effect->renderTake(pathOf("at48").c_str()));
    file = readFile(pathOf("at48.wav"));
    EXPECT_EQ(u32At(file, 24), 48000u);
    EXPECT_EQ(u32At(file, 28), 192000u);
    // One frame of the time base lasts 512 / 44,100 s: 557 stereo pairs at 48 kHz.
    EXPECT_EQ(u32At(file, 40), 557u * 4u);
}

// The take is computed at 44,100 Hz and resampled: at 96 kHz the file lasts
// as long and sounds at the same pitch as at 44.1 kHz.
TEST_F(WaveRenderTest, AtAnotherRateTheRenderKeepsItsLengthAndPitch)
{
    auto middleOfFirstNote = [&](const char* name, double rate) {
        singTwoNotes(modelOf(*effect));
        effect->setSampleRate(static_cast<float>(rate));
        EXPECT_TRUE(effect->renderTake(pathOf(name).c_str()));
        Bytes file = readFile(pathOf(name) + ".wav");
        const auto pairs = static_cast<std::size_t>(u32At(file, 40) / 4);
        EXPECT_EQ(pairs, static_cast<std::size_t>(std::llround(160 * 512 * rate / 44100.0)));
        constexpr double kMiddleSeconds = 0.45;
        constexpr double kWindowSeconds = 0.1;
        std::vector<float> left;
        const auto from = static_cast<std::size_t>(kMiddleSeconds * rate);
        for (std::size_t i = from; i < from + static_cast<std::size_t>(kWindowSeconds * rate); ++i)
            left.push_back(s16(file, 44 + 4 * i) / 32768.0f);
        return measureFrequency(left.data(), left.size(), rate);
    };
    const double at44 = middleOfFirstNote("base", 44100.0);
    const double at96 = middleOfFirstNote("high", 96000.0);
    ASSERT_GT(at44, 0.0);
    EXPECT_NEAR(centsBetween(at44, at96), 0.0, 2.0);
}

TEST(WaveSampleRateTest, RoundsToWholeHertzAndFallsBackWhenNoHeaderHoldsIt)
{
    EXPECT_EQ(waveSampleRateFor(44100.0), 44100u);
    EXPECT_EQ(waveSampleRateFor(88199.6), 88200u);
    EXPECT_EQ(waveSampleRateFor(0.2), 44100u);
    EXPECT_EQ(waveSampleRateFor(2.0e9), 44100u); // bytes per second would overflow
    EXPECT_EQ(waveSampleRateFor(std::numeric_limits<double>::quiet_NaN()), 44100u);
}

// In both formant modes.
TEST_F(WaveRenderTest, RenderSoundsLikePlaybackAndLeavesTheEditAsItWas)
{
    for (int mode : {kFormantsKept, kFormantsMove}) {
        SCOPED_TRACE(mode);
        singTwoNotes(modelOf(*effect));
        effect->setFormantMode(mode);
        auto player = std::make_unique<PitchEffect>(nullptr);
        singTwoNotes(modelOf(*player));
        player->setFormantMode(mode);

        ASSERT_TRUE(effect->renderTake(pathOf("take").c_str()));
        Bytes file = readFile(pathOf("take.wav"));
        const uint32_t pairs = 160 * kFrameLength;
        ASSERT_EQ(file.size(), 44u + 4u * pairs);

        // The same edit played from the start by the processing cycle.
        modelOf(*player).editorPlaying.store(true);
        std::vector<float> left(pairs), right(pairs);
        float* outputs[] = {left.data(), right.data()};
        std::vector<float> silence(pairs, 0.0f);
        float* inputs[] = {silence.data(), silence.data()};
        for (uint32_t done = 0; done < pairs; done += kFrameLength) {
            float* in[] = {inputs[0] + done, inputs[1] + done};
            float* out[] = {outputs[0] + done, outputs[1] + done};
            player->processReplacing(in, out, kFrameLength);
        }
        int audible = 0;
        for (uint32_t n = 0; n < pairs; ++n) {
            int16_t expected = waveSampleValue(left[n]);
            ASSERT_EQ(s16(file, 44 + 4 * n), expected) << n;
            ASSERT_EQ(s16(file, 46 + 4 * n), expected) << n;
            audible += expected != 0;
        }
        EXPECT_GT(audible, static_cast<int>(pairs) / 2);

        // Only playback state moved: the take and the notes are those of a fresh copy.
        auto reference = std::make_unique<PitchEffect>(nullptr);
        singTwoNotes(modelOf(*reference));
        const TakeModel& a = effect->takeModel();
        const TakeModel& b = reference->takeModel();
        EXPECT_EQ(a.noteCount, b.noteCount);
        EXPECT_EQ(a.pitch, b.pitch);
        EXPECT_EQ(a.fineTune, b.fineTune);
        EXPECT_EQ(a.targetEnd, b.targetEnd);
        EXPECT_EQ(a.sourceStart, b.sourceStart);
        EXPECT_EQ(a.volume, b.volume);
        for (int i = 0; i < 2 * 44100; i += 97)
            ASSERT_EQ(a.recordBuffer[i], b.recordBuffer[i]) << i;
        EXPECT_EQ(a.requestedTakePosition.load(), static_cast<int>(pairs) - 1);
    }
}

TEST_F(WaveRenderTest, AFileThatCannotBeCreatedComputesNothing)
{
    TakeModel& model = modelOf(*effect);
    singTwoNotes(model);
    model.voiceNote[2] = 1;
    model.voiceOffset[2] = 17.5f;
    model.playCursor.store(33.0f);
    EXPECT_FALSE(effect->renderTake(pathOf("no/such/folder/take.wav").c_str()));
    EXPECT_EQ(model.voiceNote[2], 1);
    EXPECT_EQ(model.voiceOffset[2], 17.5f);
    EXPECT_EQ(model.playCursor.load(), 33.0f);
    EXPECT_EQ(model.requestedTakePosition.load(), kNoPositionRequest);
    EXPECT_EQ(model.contour[0][10], kPitchUnset); // no contour was looked up
    EXPECT_TRUE(editLockOf(*effect).tryLock());
}

TEST_F(WaveRenderTest, AWriteThatFailsPartwayDeletesThePartialFile)
{
    singTwoNotes(modelOf(*effect));
    // The name leads to the device that answers every write with "no space".
    fs::create_symlink("/dev/full", folder / "full.wav");
    EXPECT_FALSE(effect->renderTake(pathOf("full.wav").c_str()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "full.wav")));
    EXPECT_TRUE(fs::exists("/dev/full"));
    EXPECT_TRUE(editLockOf(*effect).tryLock());
}

// The render a block at a time is the render through a sink, sample for
// sample, in blocks that cover the take once and in order, and leaves the take
// where the sink's render leaves it.
TEST_F(WaveRenderTest, RenderInBlocksGivesTheSinksSamples)
{
    singTwoNotes(modelOf(*effect));
    constexpr uint32_t kCount = 2 * 44100;
    std::vector<float> bySink;
    effect->withRenderSource([&](const RenderSource& source) {
        renderSamples(source, kCount, [&](float sample) {
            bySink.push_back(sample);
            return true;
        });
    });
    const int sinkEnd = modelOf(*effect).requestedTakePosition.load();

    std::vector<float> byBlocks;
    std::vector<uint32_t> firsts;
    effect->withRenderSource([&](const RenderSource& source) {
        renderBlocks(
            source, kCount, 30000, [&](const float* samples, uint32_t first, uint32_t count) {
                firsts.push_back(first);
                byBlocks.insert(byBlocks.end(), samples, samples + count);
            });
    });
    ASSERT_EQ(byBlocks.size(), bySink.size());
    EXPECT_EQ(std::memcmp(byBlocks.data(), bySink.data(), kCount * sizeof(float)), 0);
    EXPECT_EQ(firsts, (std::vector<uint32_t> {0, 30000, 60000}));
    EXPECT_EQ(effect->takeModel().requestedTakePosition.load(), sinkEnd);
}
