#include "toolkit/external_save_dialog.h"
#include "toolkit/offscreen_platform.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder on PATH holding stand-ins for the desktop's dialog programs: each
// writes its arguments, one a line, and its LD_LIBRARY_PATH to a log and
// prints a given answer.
class FakeDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/cantilo-dialogs-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        const char* old = std::getenv("PATH");
        savedPath = old ? old : "";
        savedLibraryPath = std::getenv("LD_LIBRARY_PATH") ? std::getenv("LD_LIBRARY_PATH") : "";
        setenv("PATH", (folder + ":/usr/bin:/bin").c_str(), 1);
        setenv("LD_LIBRARY_PATH", "/host/libraries", 1);
        request.title = "Render";
        request.initialPath = "/tmp/take";
        request.filters = {{"Wave File (.wav)", "*.wav"}};
        request.defaultExtension = "wav";
    }
    void TearDown() override
    {
        setenv("PATH", savedPath.c_str(), 1);
        if (savedLibraryPath.empty())
            unsetenv("LD_LIBRARY_PATH");
        else
            setenv("LD_LIBRARY_PATH", savedLibraryPath.c_str(), 1);
        std::system(("rm -rf '" + folder + "'").c_str());
    }
    void install(const std::string& name, const std::string& answer, int exitCode)
    {
        std::string script = folder + "/" + name;
        std::ofstream out(script);
        out << "#!/bin/sh\n"
            << "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << folder << "/args'\n"
            << "printf '%s' \"${LD_LIBRARY_PATH-unset}\" > '" << folder << "/env'\n"
            << "printf '%s\\n' '" << answer << "'\n"
            << "exit " << exitCode << "\n";
        out.close();
        chmod(script.c_str(), 0755);
    }
    std::string read(const std::string& name)
    {
        std::ifstream in(folder + "/" + name);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string folder;
    std::string savedPath;
    std::string savedLibraryPath;
    SaveDialogRequest request;
    ScriptedSaveDialog fallback;
};

TEST_F(FakeDialogs, ZenityGetsTheRequestAndItsAnswerIsThePath)
{
    install("zenity", "/home/singer/mix", 0);
    install("kdialog", "/wrong", 0);
    ExternalSaveDialog dialog(&fallback);
    std::string path;
    int idles = 0;
    ASSERT_TRUE(dialog.run(request, path, [&] { ++idles; }));
    EXPECT_EQ(path, "/home/singer/mix.wav"); // the default extension added
    EXPECT_EQ(read("args"),
        "--file-selection\n--save\n--title=Render\n--filename=/tmp/take\n"
        "--file-filter=Wave File (.wav) | *.wav\n");
    EXPECT_EQ(read("env"), "unset"); // the host's libraries stay with the host
    EXPECT_EQ(fallback.shown, 0);
}

TEST_F(FakeDialogs, KdialogRunsWhenZenityIsMissing)
{
    install("kdialog", "/home/singer/mix.flac", 0);
    ExternalSaveDialog dialog(&fallback);
    std::string path;
    ASSERT_TRUE(dialog.run(request, path, nullptr));
    EXPECT_EQ(path, "/home/singer/mix.flac"); // has an extension: kept
    EXPECT_EQ(
        read("args"), "--title\nRender\n--getsavefilename\n/tmp/take\n*.wav|Wave File (.wav)\n");
}

TEST_F(FakeDialogs, ACancelledOrFailedDialogGivesNoPath)
{
    install("zenity", "", 1);
    ExternalSaveDialog dialog(&fallback);
    std::string path = "kept";
    EXPECT_FALSE(dialog.run(request, path, nullptr));
    EXPECT_EQ(path, "kept");
    install("zenity", "", 0); // "succeeded" with no name
    EXPECT_FALSE(dialog.run(request, path, nullptr));
    install("zenity", "/folder/", 0); // a folder is not a file
    EXPECT_FALSE(dialog.run(request, path, nullptr));
    request.maxPathLength = 8;
    install("zenity", "/much/too/long.wav", 0);
    EXPECT_FALSE(dialog.run(request, path, nullptr));
    EXPECT_EQ(path, "kept");
}

TEST_F(FakeDialogs, WithoutEitherProgramTheFallbackRuns)
{
    setenv("PATH", folder.c_str(), 1); // nothing in it
    fallback.answers.push_back("/own/dialog.wav");
    ExternalSaveDialog dialog(&fallback);
    std::string path;
    EXPECT_TRUE(dialog.run(request, path, nullptr));
    EXPECT_EQ(path, "/own/dialog.wav");
    EXPECT_EQ(fallback.shown, 1);
    ExternalSaveDialog none(nullptr);
    EXPECT_FALSE(none.run(request, path, nullptr));
}

TEST(ChosenPathTest, OnlyTheFirstLineCountsAndExtensionsAreAddedToBareNames)
{
    SaveDialogRequest request;
    request.defaultExtension = "wav";
    std::string path;
    EXPECT_TRUE(finishChosenPath("/a/b\nnoise\n", request, path));
    EXPECT_EQ(path, "/a/b.wav");
    EXPECT_TRUE(finishChosenPath("/a.dir/b", request, path)); // a dot in a folder is no extension
    EXPECT_EQ(path, "/a.dir/b.wav");
    request.maxPathLength = 8;
    EXPECT_TRUE(finishChosenPath("/a/b", request, path)); // 8 with the extension
    EXPECT_FALSE(finishChosenPath("/a/bc", request, path));
}

} // namespace
