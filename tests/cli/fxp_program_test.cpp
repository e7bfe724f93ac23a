#include "cli/fxp_program.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

uint32_t bigEndianAt(const std::vector<uint8_t>& bytes, std::size_t offset)
{
    return (uint32_t {bytes[offset]} << 24) | (uint32_t {bytes[offset + 1]} << 16)
        | (uint32_t {bytes[offset + 2]} << 8) | uint32_t {bytes[offset + 3]};
}

std::string textAt(const std::vector<uint8_t>& bytes, std::size_t offset, std::size_t length)
{
    return std::string(bytes.begin() + static_cast<long>(offset),
        bytes.begin() + static_cast<long>(offset + length));
}

} // namespace

TEST(FxpProgramTest, HeaderIsBigEndianWithTheOpaqueChunkBehindIt)
{
    const std::vector<uint8_t> chunk = {1, 0, 0, 0, 0xAB, 0xCD, 0xEF};
    FxpIdentity identity {0x436E746F /* 'Cnto' */, 1, 0};
    std::vector<uint8_t> file = makeFxpProgram(identity, "vocal take", chunk.data(), chunk.size());
    ASSERT_EQ(file.size(), 60u + chunk.size());
    EXPECT_EQ(textAt(file, 0, 4), "CcnK");
    EXPECT_EQ(bigEndianAt(file, 4), file.size() - 8);
    EXPECT_EQ(textAt(file, 8, 4), "FPCh");
    EXPECT_EQ(bigEndianAt(file, 12), 1u);
    EXPECT_EQ(textAt(file, 16, 4), "Cnto");
    EXPECT_EQ(bigEndianAt(file, 20), 1u);
    EXPECT_EQ(bigEndianAt(file, 24), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[28])), "vocal take");
    for (std::size_t i = 28 + 10; i < 56; ++i)
        EXPECT_EQ(file[i], 0) << i;
    EXPECT_EQ(bigEndianAt(file, 56), chunk.size());
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 60, file.end()), chunk);
}

TEST(FxpProgramTest, LongNamesAreCutAndStayTerminated)
{
    std::string name(40, 'x');
    std::vector<uint8_t> file = makeFxpProgram({}, name, nullptr, 0);
    ASSERT_EQ(file.size(), 60u);
    EXPECT_EQ(textAt(file, 28, 27), std::string(27, 'x'));
    EXPECT_EQ(file[55], 0);
    EXPECT_EQ(bigEndianAt(file, 56), 0u);
    EXPECT_EQ(bigEndianAt(file, 4), 52u);
}

TEST(FxpProgramTest, WritesTheBytesOrFailsWithAnOutputError)
{
    std::string path = ::testing::TempDir() + "fxp_program_test.fxp";
    std::vector<uint8_t> bytes = makeFxpProgram({1, 2, 3}, "p", nullptr, 0);
    ASSERT_FALSE(writeFxpFile(path, bytes));
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> read(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(read, bytes);
    std::remove(path.c_str());

    auto failure = writeFxpFile("/nonexistent-folder/p.fxp", bytes);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->exitCode, kExitOutput);
    EXPECT_NE(failure->message.find("/nonexistent-folder/p.fxp"), std::string::npos);
}
