#include "shell/audio_effect.h"
#include "toolkit/aeff_gui_editor.h"
#include "toolkit/c_file_selector.h"
#include "toolkit/offscreen_platform.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace {

// The host: its canDo answers and its file selector are set per test.
struct SelectorHost {
    VstIntPtr canDoAnswer = 0;
    std::function<VstIntPtr(VstFileSelect*)> open;
    int opened = 0;
    int closed = 0;
};
SelectorHost* selectorHost = nullptr;

VstIntPtr selectorCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    SelectorHost& host = *selectorHost;
    switch (opcode) {
    case audioMasterCanDo:
        return std::strcmp(static_cast<const char*>(ptr), "openFileSelector") == 0
                || std::strcmp(static_cast<const char*>(ptr), "closeFileSelector") == 0
            ? host.canDoAnswer
            : 0;
    case audioMasterOpenFileSelector:
        ++host.opened;
        return host.open ? host.open(static_cast<VstFileSelect*>(ptr)) : 0;
    case audioMasterCloseFileSelector: ++host.closed; return 1;
    default: return 0;
    }
}

struct FileSelectorTest : ::testing::Test {
    SelectorHost host;
    OffscreenPlatform platform;
    AudioEffect* effect;
    VstFileType wave {};
    VstFileSelect request {};
    char path[1024] = {};

    FileSelectorTest()
    {
        selectorHost = &host;
        effect = new AudioEffect(selectorCallback, 1, 0);
        new AEffGUIEditor(effect, &platform); // the effect owns it
        std::strcpy(wave.name, "Wave File");
        std::strcpy(wave.dosType, "wav");
        std::strcpy(wave.unixType, "wav");
        request.command = kVstFileSave;
        request.nbFileTypes = 1;
        request.fileTypes = &wave;
        std::strcpy(request.title, "Render");
        request.initialPath = const_cast<char*>("/tmp");
        request.returnPath = path;
        request.sizeReturnPath = sizeof path;
    }
    ~FileSelectorTest() override
    {
        delete effect;
        selectorHost = nullptr;
    }
};

TEST_F(FileSelectorTest, TheHostsSelectorIsUsedWhenTheHostOffersIt)
{
    host.canDoAnswer = 1;
    host.open = [](VstFileSelect* select) {
        std::strcpy(select->returnPath, "/music/take.wav");
        return VstIntPtr(1);
    };
    CFileSelector selector(effect);
    EXPECT_TRUE(selector.hostOffersSelector());
    EXPECT_EQ(selector.run(&request), 1);
    EXPECT_STREQ(path, "/music/take.wav");
    EXPECT_EQ(host.opened, 1);
    EXPECT_EQ(host.closed, 1);
    EXPECT_EQ(platform.dialog.shown, 0);
}

TEST_F(FileSelectorTest, CancellingTheHostsSelectorGivesZero)
{
    host.canDoAnswer = 1;
    CFileSelector selector(effect);
    EXPECT_EQ(selector.run(&request), 0);
    EXPECT_EQ(host.opened, 1);
    EXPECT_EQ(host.closed, 1);
    EXPECT_EQ(path[0], 0);
}

TEST_F(FileSelectorTest, AHostThatSaysNoOrDoesNotKnowGetsThePlatformDialog)
{
    for (VstIntPtr answer : {VstIntPtr(0), VstIntPtr(-1)}) {
        host.canDoAnswer = answer;
        platform.dialog.answers.push_back("/home/singer/out.wav");
        CFileSelector selector(effect);
        EXPECT_FALSE(selector.hostOffersSelector()) << answer;
        EXPECT_EQ(selector.run(&request), 1) << answer;
        EXPECT_STREQ(path, "/home/singer/out.wav");
        EXPECT_EQ(request.nbReturnPath, 1);
    }
    EXPECT_EQ(host.opened, 0);
    const SaveDialogRequest& asked = platform.dialog.lastRequest;
    EXPECT_EQ(asked.title, "Render");
    EXPECT_EQ(asked.initialPath, "/tmp");
    ASSERT_EQ(asked.filters.size(), 1u);
    EXPECT_EQ(asked.filters[0].label, "Wave File (.wav)");
    EXPECT_EQ(asked.filters[0].pattern, "*.wav");
    EXPECT_EQ(asked.defaultExtension, "wav");
    EXPECT_EQ(asked.maxPathLength, 1023u);
}

TEST_F(FileSelectorTest, CancellingThePlatformDialogGivesZeroAndLeavesTheBuffer)
{
    std::strcpy(path, "untouched");
    platform.dialog.answers.push_back(""); // cancel
    CFileSelector selector(effect);
    EXPECT_EQ(selector.run(&request), 0);
    EXPECT_STREQ(path, "untouched");
    EXPECT_EQ(platform.dialog.shown, 1);
}

TEST_F(FileSelectorTest, APathThatDoesNotFitTheCallersBufferIsRefused)
{
    char small[16] = {};
    request.returnPath = small;
    request.sizeReturnPath = sizeof small;
    platform.dialog.answers.push_back("/a/rather/long/path.wav");
    CFileSelector selector(effect);
    EXPECT_EQ(selector.run(&request), 0);
    EXPECT_EQ(small[0], 0);
    EXPECT_EQ(platform.dialog.lastRequest.maxPathLength, 15u);

    platform.dialog.answers.push_back(std::string(15, 'x')); // exactly fits
    EXPECT_EQ(selector.run(&request), 1);
    EXPECT_EQ(std::strlen(small), 15u);
}

TEST_F(FileSelectorTest, NoRecordOrNoReturnBufferFailsWithoutAsking)
{
    CFileSelector selector(effect);
    EXPECT_EQ(selector.run(nullptr), 0);
    request.returnPath = nullptr;
    EXPECT_EQ(selector.run(&request), 0);
    EXPECT_EQ(platform.dialog.shown, 0);
}

TEST_F(FileSelectorTest, FileTypesWithoutAWindowsExtensionUseTheUnixOneAndTitlesStayInTheirField)
{
    std::memset(wave.dosType, 0, sizeof wave.dosType);
    std::strcpy(wave.unixType, "aiff");
    std::memset(request.title, 'T', sizeof request.title); // no terminator at all
    platform.dialog.answers.push_back("/x.aiff");
    CFileSelector selector(effect);
    EXPECT_EQ(selector.run(&request), 1);
    EXPECT_EQ(platform.dialog.lastRequest.filters.at(0).label, "Wave File (.aiff)");
    EXPECT_EQ(platform.dialog.lastRequest.title.size(), sizeof request.title);
}

} // namespace
