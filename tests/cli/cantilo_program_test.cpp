// The program's boundary: help, and the message and exit code of every kind
// of failure, through the built executable.
#include "cli/command_line.h"
#include "cli/sung_melody.h"
#include "cli/take_corrector.h"
#include "engine/rate_converter.h"
#include "program_runner.h"
#include "sound_files.h"
#include "support/singing_voice.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
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

// One sung note: A3, 30 cents sharp, with vibrato and a soft attack.
std::string writeSungNote(const std::string& name, int rate = 44100)
{
    const std::string path = scratchPath(name);
    writeSound(
        path, synthesiseMelody({{9, 30.0f, 1.6}}, rate), rate, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    return path;
}

std::string bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
    // Nothing asked is a mistake: the usage goes to standard error.
    ProgramRun bare = runCantiloProgram({});
    EXPECT_EQ(bare.exitCode, kExitUsage);
    EXPECT_EQ(bare.out, "");
    EXPECT_NE(bare.err.find("cantilo tune IN -o OUT"), std::string::npos);
    ProgramRun general = runCantiloProgram({"--help"});
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
    expectOneLineFailure(runCantiloProgram({"analyse", empty}), kExitInput,
        "cannot read " + empty + ": the file is empty");
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
    // A folder that cannot be made (nothing can be made in /proc).
    expectOneLineFailure(runCantiloProgram({"tune", input, "-o", "/proc/no-folder/out.wav"}),
        kExitOutput, "cannot write /proc/no-folder/out.wav: cannot make its folder");
    expectOneLineFailure(runCantiloProgram({"tune", input, "-o", ::testing::TempDir()}),
        kExitOutput, "it is a folder");
    expectOneLineFailure(runCantiloProgram({"tune", input, "-o", scratchPath("o.wav"), "--preset",
                             "/proc/no-folder/p.fxp"}),
        kExitOutput, "cannot write /proc/no-folder/p.fxp");
    const std::string output = scratchPath("o.wav");
    expectOneLineFailure(
        runCantiloProgram({"tune", input, "-o", output, "--plot", "/proc/no-folder/n.png"}),
        kExitOutput, "cannot write /proc/no-folder/n.png");
    struct stat unused { };
    EXPECT_NE(stat(output.c_str(), &unused), 0) << "refused before the work";
    expectOneLineFailure(runCantiloProgram({"demo", "/proc/cantilo-demo"}), kExitOutput, "cannot");
    std::remove(input.c_str());
}

// A whole take's worth of audio through the binary: too slow for the
// sanitizer builds, so it runs with the end-to-end tests.
TEST(CantiloSeveralTakesEndToEndTest, PresetOfSeveralTakesIsRefused)
{
    // One sample more than one take at the engine's own rate.
    const std::string input = scratchPath("long.wav");
    writeSound(
        input, std::vector<float>(5120001, 0.0f), 44100, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string output = scratchPath("long-out.wav");
    expectOneLineFailure(
        runCantiloProgram({"tune", input, "-o", output, "--preset", scratchPath("p.fxp")}),
        kExitProcessing, "a preset holds one take");
    std::remove(input.c_str());
    std::remove(output.c_str());
}

// The file is resampled to the engine's 44,100 Hz: at any rate no warning,
// and a voice recorded at 22.05 or 96 kHz gives the notes it gives at 44.1 kHz.
TEST(CantiloProgramTest, EveryRateFindsTheNotesOf44100)
{
    struct CsvNote {
        double start;
        std::string name;
        double cents;
    };
    // One performance, sung at 96 kHz and resampled to each rate tried.
    constexpr double kSungRate = 96000.0;
    TestVoice voice = testVoices(kSungRate).front();
    voice.melody.resize(10);
    const std::vector<float> sung = singMelody(voice.melody, voice.settings).samples;
    auto analyseAt = [&sung](int rate) {
        const std::string input = scratchPath("rate-" + std::to_string(rate) + ".wav");
        const auto length = static_cast<std::size_t>(std::llround(sung.size() * rate / kSungRate));
        writeSound(input, resampledOnce(sung.data(), sung.size(), kSungRate, rate, length), rate, 1,
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

TEST(CantiloProgramTest, OutputThatIsTheInputIsRefusedUnlessForced)
{
    const std::string input = writeSungNote("same.wav");
    chmod(input.c_str(), 0640);
    const std::string original = bytesOf(input);
    // The same file under another spelling of its name.
    const std::filesystem::path path(input);
    const std::string respelled = (path.parent_path() / "." / path.filename()).string();
    for (const std::string& output : {input, respelled})
        expectOneLineFailure(runCantiloProgram({"tune", input, "-o", output}), kExitUsage,
            "is the input file: give another output name, or --force to replace it");
    expectOneLineFailure(
        runCantiloProgram({"tune", input, "-o", scratchPath("o.wav"), "--plot", respelled}),
        kExitUsage, "is the input file");
    EXPECT_EQ(bytesOf(input), original) << "the input is untouched";

    ProgramRun forced = runCantiloProgram({"tune", input, "-o", respelled, "--force"});
    ASSERT_EQ(forced.exitCode, 0) << forced.err;
    const SoundFile tuned = readSound(input);
    EXPECT_EQ(tuned.info.frames, static_cast<sf_count_t>((original.size() - 44) / 2));
    EXPECT_NE(bytesOf(input), original) << "the tuned take replaced it";
    struct stat status { };
    ASSERT_EQ(stat(input.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u) << "it keeps its permissions";
    // Nothing is left of the temporary file beside it.
    for (const auto& entry : std::filesystem::directory_iterator(path.parent_path()))
        EXPECT_EQ(entry.path().filename().string().find("." + path.filename().string()),
            std::string::npos)
            << entry.path();
    std::remove(input.c_str());
}

TEST(CantiloProgramTest, TheExtensionChoosesTheFormatAndUnwritableOnesAreRefusedFirst)
{
    const std::string input = writeSungNote("formats.wav");
    SF_INFO mp3 {};
    mp3.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    mp3.channels = 1;
    mp3.samplerate = 44100;
    const bool libraryHasMp3 = sf_format_check(&mp3);
    struct Case {
        const char* name;
        int major;
    };
    for (Case c : {Case {"out.mp3", SF_FORMAT_MPEG}, Case {"out.flac", SF_FORMAT_FLAC},
             Case {"out.AIFF", SF_FORMAT_AIFF}, Case {"out.ogg", SF_FORMAT_OGG},
             Case {"out.caf", SF_FORMAT_CAF}}) {
        const std::string output = scratchPath(c.name);
        ProgramRun run = runCantiloProgram({"tune", input, "-o", output});
        if (c.major == SF_FORMAT_MPEG && !libraryHasMp3) {
            expectOneLineFailure(run, kExitUsage, "cannot write .mp3 files");
            continue;
        }
        ASSERT_EQ(run.exitCode, 0) << c.name << ": " << run.err;
        EXPECT_EQ(readSound(output).info.format & SF_FORMAT_TYPEMASK, c.major) << c.name;
        // Each is read back as well: the tuned A3.
        ProgramRun back = runCantiloProgram({"analyse", output});
        EXPECT_NE(back.out.find("A3"), std::string::npos) << c.name << ": " << back.out << back.err;
        std::remove(output.c_str());
    }
    // Refused with exit 2 before any work: nothing is written.
    const std::string highRate = writeSungNote("formats-96k.wav", 96000);
    struct Refusal {
        std::string in;
        const char* out;
        const char* says;
    };
    for (const Refusal& r : {Refusal {input, "out.xyz", "no audio format is called .xyz"},
             Refusal {highRate, "out.mp3", "cannot write .mp3 files at 96000 Hz"}}) {
        const std::string output = scratchPath(r.out);
        expectOneLineFailure(runCantiloProgram({"tune", r.in, "-o", output}), kExitUsage, r.says);
        EXPECT_FALSE(std::filesystem::exists(output)) << r.out;
    }
    std::remove(input.c_str());
    std::remove(highRate.c_str());
}

TEST(CantiloProgramTest, AFileCutShortIsReadWithAWarning)
{
    // Seven seconds promised by the header, two present.
    const int rate = 44100;
    const std::string path = scratchPath("cut.wav");
    writeSound(path, synthesiseMelody({{9, 30.0f, 3.0}, {4, -20.0f, 3.5}}, rate), rate, 1,
        SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const SoundFile whole = readSound(path);
    const double promised = static_cast<double>(whole.info.frames) / rate;
    std::filesystem::resize_file(path, 44 + 2 * 2 * rate);
    ProgramRun run = runCantiloProgram({"analyse", path});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    char expected[160];
    std::snprintf(expected, sizeof expected,
        "warning: %s is cut short: its header promises %.2f s of audio, the file holds 2.00 s",
        path.c_str(), promised);
    EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("A3"), std::string::npos) << "what it holds is read: " << run.out;
    std::remove(path.c_str());
}

TEST(CantiloProgramTest, WhatTuneAndAnalyseSay)
{
    const std::string input = writeSungNote("says.wav");
    const std::string output = scratchPath("says-out.wav");
    struct Case {
        std::vector<std::string> options;
        std::string says;
    };
    const Case cases[] = {
        {{}, "cantilo: 1 note tuned to the nearest semitone, wrote " + output},
        {{"--key", "E"}, "1 note tuned to E major"}, // a key alone asks for its major scale
        {{"--key", "db", "--scale", "minor"}, "1 note tuned to Db minor"},
        {{"--key", "des"}, "1 note tuned to des major"},
        {{"--plot", scratchPath("says.png")}, "drew the notes in " + scratchPath("says.png")},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words = {"tune", input, "-o", output};
        words.insert(words.end(), c.options.begin(), c.options.end());
        ProgramRun run = runCantiloProgram(words);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
    }

    // Silence: no notes, said on standard output, or standard error beside a CSV.
    const std::string silence = scratchPath("silence.wav");
    writeSound(
        silence, std::vector<float>(44100, 0.0f), 44100, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string none = "cantilo: no notes found in " + silence;
    ProgramRun plain = runCantiloProgram({"analyse", silence});
    EXPECT_NE(plain.out.find(none), std::string::npos) << plain.out;
    ProgramRun csv = runCantiloProgram({"analyse", silence, "--csv"});
    EXPECT_EQ(csv.out, "start,end,note,cents\n");
    EXPECT_NE(csv.err.find(none), std::string::npos) << csv.err;

    // The version names the licence; the help gives the fastest vibrato.
    EXPECT_NE(
        runCantiloProgram({"--version"}).out.find("License GPL-3.0-or-later"), std::string::npos);
    char fastest[32];
    std::snprintf(fastest, sizeof fastest, "at most %.2f Hz", TakeCorrector::fastestVibrato(44100));
    EXPECT_NE(runCantiloProgram({"tune", "--help"}).out.find(fastest), std::string::npos);
    for (const std::string& path : {input, output, silence, scratchPath("says.png")})
        std::remove(path.c_str());
}

TEST(CantiloProgramTest, TuneAndDemoMakeAMissingFolderAlike)
{
    const std::string input = writeSungNote("folders.wav");
    const std::string tuneFolder = scratchPath("new-tune") + "/deeper";
    const std::string demoFolder = scratchPath("new-demo") + "/deeper";
    ProgramRun tune = runCantiloProgram({"tune", input, "-o", tuneFolder + "/out.wav"});
    EXPECT_EQ(tune.exitCode, 0) << tune.err;
    EXPECT_TRUE(std::filesystem::exists(tuneFolder + "/out.wav"));
    ProgramRun demo = runCantiloProgram({"demo", demoFolder});
    EXPECT_EQ(demo.exitCode, 0) << demo.err;
    EXPECT_TRUE(std::filesystem::exists(demoFolder + "/demo-tuned.wav"));
    std::filesystem::remove_all(scratchPath("new-tune"));
    std::filesystem::remove_all(scratchPath("new-demo"));
    std::remove(input.c_str());
}
