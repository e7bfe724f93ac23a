#include "cli/audio_file.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sndfile.h>

namespace {

std::string tempPath(const std::string& name)
{
    return ::testing::TempDir() + "audio_file_test_" + name;
}

std::vector<float> sine(long length, double hertz, int rate, float level = 0.5f)
{
    std::vector<float> samples(static_cast<std::size_t>(length));
    for (long i = 0; i < length; ++i)
        samples[static_cast<std::size_t>(i)]
            = level * static_cast<float>(std::sin(2.0 * M_PI * hertz * i / rate));
    return samples;
}

} // namespace

TEST(AudioFileTest, RoundTripThroughEveryFormat)
{
    struct Case {
        const char* name;
        int format;
        float tolerance;
    };
    const Case cases[] = {
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.0f},
        {"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1.0f / 32000.0f},
        {"pcm16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1.0f / 32000.0f},
        {"pcm24.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 1.0f / 8000000.0f},
        {"vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 0.05f},
    };
    const std::vector<float> samples = sine(48000, 220.0, 48000);
    for (const Case& c : cases) {
        const std::string path = tempPath(c.name);
        WriteReport report;
        ASSERT_FALSE(writeAudioFile(path, samples, 48000, 1, c.format, report)) << c.name;
        EXPECT_EQ(report.clippedSamples, 0);
        AudioFile file;
        auto failure = readAudioFile(path, file);
        ASSERT_FALSE(failure) << failure->message;
        EXPECT_EQ(file.sampleRate, 48000) << c.name;
        EXPECT_EQ(file.channels, 1);
        EXPECT_EQ(file.format, c.format) << c.name;
        ASSERT_EQ(file.samples.size(), samples.size()) << c.name;
        double error = 0.0;
        for (std::size_t i = 0; i < samples.size(); ++i)
            error = std::max(error, std::fabs(static_cast<double>(file.samples[i]) - samples[i]));
        EXPECT_LE(error, c.tolerance) << c.name;
        std::remove(path.c_str());
    }
}

TEST(AudioFileTest, ChannelsAreMixedDownAndOutputRepeatsTheVoiceOnEachChannel)
{
    const std::string path = tempPath("stereo.wav");
    SF_INFO info {};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* sound = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(sound, nullptr);
    const float frames[] = {0.5f, 0.1f, -0.25f, 0.75f, 1.0f, -1.0f};
    ASSERT_EQ(sf_writef_float(sound, frames, 3), 3);
    sf_close(sound);

    AudioFile file;
    ASSERT_FALSE(readAudioFile(path, file));
    EXPECT_EQ(file.channels, 2);
    ASSERT_EQ(file.samples.size(), 3u);
    EXPECT_FLOAT_EQ(file.samples[0], 0.3f);
    EXPECT_FLOAT_EQ(file.samples[1], 0.25f);
    EXPECT_FLOAT_EQ(file.samples[2], 0.0f);

    WriteReport report;
    ASSERT_FALSE(writeAudioFile(path, file.samples, 44100, 2, file.format, report));
    sound = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(info.channels, 2);
    float back[6] = {};
    ASSERT_EQ(sf_readf_float(sound, back, 3), 3);
    sf_close(sound);
    for (int f = 0; f < 3; ++f) {
        EXPECT_FLOAT_EQ(back[2 * f], file.samples[static_cast<std::size_t>(f)]);
        EXPECT_FLOAT_EQ(back[2 * f + 1], file.samples[static_cast<std::size_t>(f)]);
    }
    std::remove(path.c_str());
}

TEST(AudioFileTest, FixedPointOutputSaturatesAndCountsTheClippedSamples)
{
    const std::string path = tempPath("clip.wav");
    WriteReport report;
    ASSERT_FALSE(writeAudioFile(
        path, {1.5f, -2.0f, 0.5f, 1.0f}, 44100, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, report));
    EXPECT_EQ(report.clippedSamples, 2);
    AudioFile file;
    ASSERT_FALSE(readAudioFile(path, file));
    ASSERT_EQ(file.samples.size(), 4u);
    EXPECT_GT(file.samples[0], 0.999f); // saturated, not wrapped to a negative value
    EXPECT_LE(file.samples[1], -0.999f);
    EXPECT_NEAR(file.samples[2], 0.5f, 1e-4f);

    // Float output keeps the values and reports nothing.
    ASSERT_FALSE(
        writeAudioFile(path, {1.5f, -2.0f}, 44100, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, report));
    EXPECT_EQ(report.clippedSamples, 0);
    ASSERT_FALSE(readAudioFile(path, file));
    EXPECT_FLOAT_EQ(file.samples[0], 1.5f);
    std::remove(path.c_str());
}

TEST(AudioFileTest, OutputFormatFollowsTheExtensionElseTheInput)
{
    EXPECT_EQ(outputFormatFor("out.wav", SF_FORMAT_FLAC | SF_FORMAT_PCM_16),
        SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(outputFormatFor("OUT.WAV", SF_FORMAT_OGG | SF_FORMAT_VORBIS),
        SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(outputFormatFor("out.take", SF_FORMAT_FLAC | SF_FORMAT_PCM_24), 0)
        << "an extension that names no format is not written in the input's";
    EXPECT_EQ(outputFormatFor("out.mp3", SF_FORMAT_WAV | SF_FORMAT_PCM_16),
        SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
    EXPECT_EQ(outputFormatFor("out.opus", SF_FORMAT_WAV | SF_FORMAT_PCM_16),
        SF_FORMAT_OGG | SF_FORMAT_OPUS);
    EXPECT_EQ(outputFormatFor("out.w64", SF_FORMAT_WAV | SF_FORMAT_PCM_24),
        SF_FORMAT_W64 | SF_FORMAT_PCM_24);
    EXPECT_EQ(outputFormatFor("dir.v2/out", SF_FORMAT_AIFF | SF_FORMAT_PCM_16),
        SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
    EXPECT_EQ(outputFormatFor("out.flac", SF_FORMAT_WAV | SF_FORMAT_FLOAT),
        SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(outputFormatFor("out.ogg", SF_FORMAT_WAV | SF_FORMAT_PCM_16),
        SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    EXPECT_EQ(outputFormatFor("out.aif", SF_FORMAT_WAV | SF_FORMAT_PCM_24),
        SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
}

TEST(AudioFileTest, MissingUnreadableAndUnwritableFilesAreOneLineFailures)
{
    AudioFile file;
    auto missing = readAudioFile(tempPath("does-not-exist.wav"), file);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->exitCode, kExitInput);
    EXPECT_NE(missing->message.find("cannot open"), std::string::npos);

    const std::string text = tempPath("not-audio.wav");
    std::ofstream(text) << "this is not a sound file\n";
    auto unreadable = readAudioFile(text, file);
    ASSERT_TRUE(unreadable);
    EXPECT_EQ(unreadable->exitCode, kExitInput);
    EXPECT_NE(unreadable->message.find("cannot read"), std::string::npos);
    std::remove(text.c_str());

    auto folder = readAudioFile(::testing::TempDir(), file);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->exitCode, kExitInput);

    WriteReport report;
    auto unwritable = writeAudioFile(
        "/nonexistent-folder/out.wav", {0.0f}, 44100, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, report);
    ASSERT_TRUE(unwritable);
    EXPECT_EQ(unwritable->exitCode, kExitOutput);
    for (const auto& failure : {missing, unreadable, unwritable})
        EXPECT_EQ(failure->message.find('\n'), std::string::npos);
}
