#include "editor/vst_file_type.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(VstFileTypeTest, TextsAreCutToTheirFieldsAndTerminated)
{
    std::string longName(300, 'n');
    VstFileType type = makeVstFileType(
        longName.c_str(), "WAVEFORM", "wavefile", "wav_file_x", longName.c_str(), "audio/wav");
    EXPECT_EQ(std::strlen(type.name), 127u);
    EXPECT_STREQ(type.macType, "WAVEFOR"); // a 10-character code keeps its first 7
    EXPECT_STREQ(type.dosType, "wavefil");
    EXPECT_STREQ(type.unixType, "wav_fil");
    EXPECT_EQ(std::strlen(type.mimeType1), 127u);
    EXPECT_STREQ(type.mimeType2, "audio/wav");
}

TEST(VstFileTypeTest, NullTextsBecomeEmptyAndShortOnesStayWhole)
{
    VstFileType type = makeVstFileType("Wave file", nullptr, "wav", nullptr);
    EXPECT_STREQ(type.name, "Wave file");
    EXPECT_STREQ(type.macType, "");
    EXPECT_STREQ(type.dosType, "wav");
    EXPECT_STREQ(type.unixType, "");
    EXPECT_STREQ(type.mimeType1, "");
    EXPECT_STREQ(type.mimeType2, "");
    // Nothing of an earlier content shows after the terminator.
    for (char c : type.macType)
        EXPECT_EQ(c, '\0');
}

TEST(VstFileTypeTest, ExactlyFittingCodeIsKeptWhole)
{
    VstFileType type = makeVstFileType("", "1234567", "12345678", "", "", "");
    EXPECT_STREQ(type.macType, "1234567");
    EXPECT_STREQ(type.dosType, "1234567");
}

} // namespace
