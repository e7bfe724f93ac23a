#include "persistence/wave_writer.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A fresh folder per test, removed afterwards.
class WaveWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path()
            / ("cantilo-wave-" + std::to_string(::getpid()) + "-"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string pathOf(const char* name) const { return (folder / name).string(); }

    fs::path folder;
};

std::vector<unsigned char> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t u32(const std::vector<unsigned char>& b, std::size_t at)
{
    return uint32_t {b[at]} | uint32_t {b[at + 1]} << 8 | uint32_t {b[at + 2]} << 16
        | uint32_t {b[at + 3]} << 24;
}

uint16_t u16(const std::vector<unsigned char>& b, std::size_t at)
{
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

std::string tag(const std::vector<unsigned char>& b, std::size_t at)
{
    return {b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4};
}

} // namespace

TEST_F(WaveWriterTest, HeaderOfA512000PairRenderReadsAsTheLayoutLists)
{
    WaveWriter writer;
    ASSERT_TRUE(writer.open(pathOf("long.wav").c_str(), 512000));
    ASSERT_TRUE(writer.close());
    std::vector<unsigned char> file = readFile(pathOf("long.wav"));
    ASSERT_EQ(file.size(), 44u); // the header alone: the sizes were fixed at open
    EXPECT_EQ(tag(file, 0), "RIFF");
    EXPECT_EQ(u32(file, 4), 2048036u);
    EXPECT_EQ(tag(file, 8), "WAVE");
    EXPECT_EQ(tag(file, 12), "fmt ");
    EXPECT_EQ(u32(file, 16), 16u);
    EXPECT_EQ(u16(file, 20), 1u);
    EXPECT_EQ(u16(file, 22), 2u);
    EXPECT_EQ(u32(file, 24), 44100u);
    EXPECT_EQ(u32(file, 28), 176400u);
    EXPECT_EQ(u16(file, 32), 4u);
    EXPECT_EQ(u16(file, 34), 16u);
    EXPECT_EQ(tag(file, 36), "data");
    EXPECT_EQ(u32(file, 40), 2048000u);
}

TEST_F(WaveWriterTest, SamplesGoToBothChannelsTruncatedAndSaturated)
{
    const float values[] = {1.0f, -1.0f, 0.49999f, -0.5f, 1.5f, -1.5f, 0.0f, 3.0e30f};
    const int16_t expected[] = {32767, -32767, 16383, -16383, 32767, -32767, 0, 32767};
    WaveWriter writer;
    ASSERT_TRUE(writer.open(pathOf("values.wav").c_str(), std::size(values)));
    for (float value : values)
        ASSERT_TRUE(writer.writeSample(value));
    ASSERT_TRUE(writer.close());
    std::vector<unsigned char> file = readFile(pathOf("values.wav"));
    ASSERT_EQ(file.size(), 44u + 4 * std::size(values));
    EXPECT_EQ(u32(file, 40), 4 * std::size(values));
    for (std::size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(static_cast<int16_t>(u16(file, 44 + 4 * i)), expected[i]) << values[i];
        EXPECT_EQ(static_cast<int16_t>(u16(file, 46 + 4 * i)), expected[i]) << values[i];
    }
}

TEST(WaveSampleValueTest, NonFiniteValuesGiveSilenceOrFullScale)
{
    EXPECT_EQ(waveSampleValue(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(waveSampleValue(std::numeric_limits<float>::infinity()), 32767);
    EXPECT_EQ(waveSampleValue(-std::numeric_limits<float>::infinity()), -32767);
    EXPECT_EQ(waveSampleValue(-1.0f / 32767.0f), -1);
    EXPECT_EQ(waveSampleValue(0.99f / 32767.0f), 0);
}

TEST(WaveExtensionTest, AppendsWavUnlessTheNameHasAThreeCharacterExtension)
{
    EXPECT_EQ(withWaveExtension("mix"), "mix.wav");
    EXPECT_EQ(withWaveExtension("mix.wave"), "mix.wave.wav");
    EXPECT_EQ(withWaveExtension("take.aif"), "take.aif");
    EXPECT_EQ(withWaveExtension("take.wav"), "take.wav");
    EXPECT_EQ(withWaveExtension(""), ".wav");
    EXPECT_EQ(withWaveExtension(".ab"), ".ab.wav"); // shorter than four characters
    EXPECT_EQ(withWaveExtension(".abc"), ".abc");
    // A dot in a folder name is no extension of the file.
    EXPECT_EQ(withWaveExtension("/tmp/a.b/c"), "/tmp/a.b/c.wav");
    EXPECT_EQ(withWaveExtension("/x.y/abcd"), "/x.y/abcd.wav");
}

TEST_F(WaveWriterTest, OpenWritesTheExtendedNameAndLeavesTheCallersBufferAlone)
{
    std::string base = pathOf("mix");
    std::vector<char> buffer(base.begin(), base.end());
    buffer.push_back('\0'); // exactly as long as the name: no room for ".wav"
    WaveWriter writer;
    ASSERT_TRUE(writer.open(buffer.data(), 0));
    EXPECT_EQ(writer.filePath(), base + ".wav");
    EXPECT_TRUE(writer.close());
    EXPECT_EQ(std::string(buffer.data()), base);
    EXPECT_TRUE(fs::exists(base + ".wav"));
    EXPECT_FALSE(fs::exists(base));
}

TEST_F(WaveWriterTest, OpenTruncatesAnExistingFile)
{
    {
        std::ofstream old(pathOf("take.wav"), std::ios::binary);
        old << std::string(1000, 'x');
    }
    WaveWriter writer;
    ASSERT_TRUE(writer.open(pathOf("take.wav").c_str(), 1));
    ASSERT_TRUE(writer.writeSample(0.5f));
    ASSERT_TRUE(writer.close());
    EXPECT_EQ(readFile(pathOf("take.wav")).size(), 48u);
}

TEST_F(WaveWriterTest, AFileThatCannotBeCreatedLeavesNothingOpen)
{
    WaveWriter writer;
    EXPECT_FALSE(writer.open(pathOf("missing/folder/take.wav").c_str(), 10));
    EXPECT_FALSE(writer.isOpen());
    EXPECT_FALSE(writer.writeSample(0.5f));
    EXPECT_FALSE(writer.close());
    EXPECT_FALSE(writer.open(nullptr, 10));
}

TEST_F(WaveWriterTest, ASampleCountBeyondWhatAWaveHoldsIsRefusedBeforeCreating)
{
    WaveWriter writer;
    EXPECT_FALSE(writer.open(pathOf("huge.wav").c_str(), kMaxWaveSamples + 1));
    EXPECT_FALSE(fs::exists(pathOf("huge.wav")));
    // The largest count still gives a RIFF size that fits 32 bits.
    ASSERT_TRUE(writer.open(pathOf("huge.wav").c_str(), kMaxWaveSamples));
    ASSERT_TRUE(writer.close());
    std::vector<unsigned char> file = readFile(pathOf("huge.wav"));
    EXPECT_EQ(u32(file, 40), kMaxWaveSamples * 4u);
    EXPECT_GE(u32(file, 4), u32(file, 40));
}

TEST_F(WaveWriterTest, AFullDiskFailsTheWritesAndTheClose)
{
    // A link to the device that answers every write with "no space left".
    fs::create_symlink("/dev/full", folder / "full.wav");
    WaveWriter writer;
    if (!writer.open(pathOf("full.wav").c_str(), 200000))
        GTEST_SKIP() << "/dev/full cannot be opened here";
    bool failedOnce = false;
    for (int i = 0; i < 200000 && !failedOnce; ++i)
        failedOnce = !writer.writeSample(0.25f);
    EXPECT_TRUE(failedOnce);
    EXPECT_FALSE(writer.writeSample(0.25f)); // stays failed
    EXPECT_FALSE(writer.close());
}
