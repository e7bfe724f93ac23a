// The program's boundary: help, and the message and exit code of every kind
// of failure, through the built executable.
#include "cli/command_line.h"
#include "program_runner.h"
#include "sound_files.h"
#include "support/singing_voice.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sstream>
#include <sys/stat.h>

namespace {

// A short voiced input: two seconds of a 220 Hz tone.
std::string writeShortInput()
{
    const std::string path = scratchPath("short.wav");
    std::vector<float> tone(88200);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.4f * static_cast<float>(std::sin(2.0 * M_PI * 220.0 * i / 44100.0));
    writeSound(path, tone, 44100, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    return path;
}

void expectOneLineFailure(const ProgramRun& run, int exitCode, const std::string& text)
{
    EXPECT_EQ(run.exitCode, exitCode) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("cantilo: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(text), std::string::npos) << run.err;
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
}

} // namespace

TEST(CantiloProgramTest, HelpForTheProgramAndEachCommand)
{
    ProgramRun general = runCantiloProgram({});
    EXPECT_EQ(general.exitCode, 0);
    EXPECT_NE(general.out.find("cantilo tune IN -o OUT"), std::string::npos);
    EXPECT_EQ(general.err, "");
    struct Case {
        const char* command;
        const char* mentions;
    };
    for (Case c : {Case {"tune", "--scale SCALE"}, Case {"analyse", "--csv"},
             Case {"demo", "demo-input.wav"}}) {
        ProgramRun run = runCantiloProgram({c.command, "--help"});
        EXPECT_EQ(run.exitCode, 0) << c.command;
        EXPECT_NE(run.out.find(std::string("usage: cantilo ") + c.command), std::string::npos);
        EXPECT_NE(run.out.find(c.mentions), std::string::npos) << c.command;
    }
}

TEST(CantiloProgramTest, MissingAndUnreadableInputs)
{
    expectOneLineFailure(
        runCantiloProgram({"tune", "/nonexistent/take.wav", "-o", scratchPath("o.wav")}),
        kExitInput, "cannot open /nonexistent/take.wav");
    const std::string text = scratchPath("notes.txt");
    std::ofstream(text) << "not audio\n";
    expectOneLineFailure(runCantiloProgram({"analyse", text}), kExitInput, "cannot read " + text);
    std::remove(text.c_str());
    const std::string empty = scratchPath("empty.wav");
    std::ofstream(empty).close();
    expectOneLineFailure(runCantiloProgram({"analyse", empty}), kExitInput, "cannot read");
    std::remove(empty.c_str());
}

TEST(CantiloProgramTest, UnknownKeyScaleAndBadValues)
{
    const std::string input = writeShortInput();
    const std::string output = scratchPath("out.wav");
    expectOneLineFailure(runCantiloProgram({"tune", input, "-o", output, "--key", "Q"}), kExitUsage,
        "unknown key \"Q\"");
    expectOneLineFailure(runCantiloProgram({"tune", input, "-o", output, "--scale", "blues"}),
        kExitUsage, "unknown scale \"blues\"");
    expectOneLineFailure(runCantiloProgram({"tune", input, "-o", output, "--contour", "3"}),
        kExitUsage, "--contour");
    expectOneLineFailure(runCantiloProgram({"tune", input, "-o", output, "--vibrato", "x"}),
        kExitUsage, "--vibrato");
    // The rate limit of the vibrato depends on the file: 6.85 Hz at 44.1 kHz.
    expectOneLineFailure(runCantiloProgram({"tune", input, "-o", output, "--vibrato", "0.5,9"}),
        kExitUsage, "at most 6.85 Hz");
    expectOneLineFailure(runCantiloProgram({"frobnicate"}), kExitUsage, "unknown command");
    struct stat status { };
    EXPECT_NE(stat(output.c_str(), &status), 0) << "nothing written on a usage error";
    std::remove(input.c_str());
}

TEST(CantiloProgramTest, UnwritableOutputsAreRefusedBeforeTheWork)
{
    const std::string input = writeShortInput();
    expectOneLineFailure(runCantiloProgram({"tune", input, "-o", "/nonexistent-folder/out.wav"}),
        kExitOutput, "cannot write /nonexistent-folder/out.wav");
    expectOneLineFailure(runCantiloProgram({"tune", input, "-o", ::testing::TempDir()}),
        kExitOutput, "it is a folder");
    expectOneLineFailure(runCantiloProgram({"tune", input, "-o", scratchPath("o.wav"), "--preset",
                             "/nonexistent-folder/p.fxp"}),
        kExitOutput, "cannot write /nonexistent-folder/p.fxp");
    const std::string output = scratchPath("o.wav");
    expectOneLineFailure(
        runCantiloProgram({"tune", input, "-o", output, "--plot", "/nonexistent-folder/n.png"}),
        kExitOutput, "cannot write /nonexistent-folder/n.png");
    struct stat unused { };
    EXPECT_NE(stat(output.c_str(), &unused), 0) << "refused before the work";
    expectOneLineFailure(runCantiloProgram({"demo", "/proc/cantilo-demo"}), kExitOutput, "cannot");
    std::remove(input.c_str());
}

TEST(CantiloProgramTest, PresetOfSeveralTakesIsRefused)
{
    // One sample more than one take, at a low rate to keep the file small.
    const std::string input = scratchPath("long.wav");
    writeSound(input, std::vector<float>(5120001, 0.0f), 8000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string output = scratchPath("long-out.wav");
    expectOneLineFailure(
        runCantiloProgram({"tune", input, "-o", output, "--preset", scratchPath("p.fxp")}),
        kExitProcessing, "a preset holds one take");
    std::remove(input.c_str());
    std::remove(output.c_str());
}

// The file is resampled to the engine's 44,100 Hz: at any rate no warning,
// and a voice sung at 22.05 or 96 kHz gives the notes it gives at 44.1 kHz.
TEST(CantiloProgramTest, EveryRateFindsTheNotesOf44100)
{
    struct CsvNote {
        double start;
        std::string name;
        double cents;
    };
    auto analyseAt = [](int rate) {
        TestVoice voice = testVoices(rate).front();
        voice.melody.resize(10);
        const std::string input = scratchPath("rate-" + std::to_string(rate) + ".wav");
        writeSound(input, singMelody(voice.melody, voice.settings).samples, rate, 1,
            SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        ProgramRun run = runCantiloProgram({"analyse", input, "--csv"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "") << rate;
        std::remove(input.c_str());
        std::vector<CsvNote> notes;
        std::istringstream lines(run.out);
        std::string line;
        std::getline(lines, line); // the header
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            std::string start, end, name, cents;
            std::getline(fields, start, ',');
            std::getline(fields, end, ',');
            std::getline(fields, name, ',');
            std::getline(fields, cents, ',');
            notes.push_back({std::stod(start), name, std::stod(cents)});
        }
        return notes;
    };
    constexpr double kStartToleranceSeconds = 0.025; // about two frames
    const std::vector<CsvNote> expected = analyseAt(44100);
    ASSERT_GE(
        expected.size(), 4u); // how many of the ten the analysis finds is not this test's matter
    for (int rate : {22050, 96000}) {
        const std::vector<CsvNote> found = analyseAt(rate);
        ASSERT_EQ(found.size(), expected.size()) << rate;
        for (std::size_t n = 0; n < found.size(); ++n) {
            // The voice sings up to 45 cents off its semitones: a note on the
            // border between two names may take either.
            constexpr double kBorderCents = 40.0;
            const bool onBorder = std::fabs(found[n].cents) >= kBorderCents
                && std::fabs(expected[n].cents) >= kBorderCents;
            EXPECT_TRUE(found[n].name == expected[n].name || onBorder)
                << rate << " Hz, note " << n << ": " << found[n].name << " " << found[n].cents
                << " against " << expected[n].name << " " << expected[n].cents;
            EXPECT_NEAR(found[n].start, expected[n].start, kStartToleranceSeconds)
                << rate << " Hz, note " << n;
        }
    }
}
