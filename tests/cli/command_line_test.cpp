#include "cli/command_line.h"

#include <gtest/gtest.h>

namespace {

std::optional<Failure> parse(const std::vector<std::string>& words, ParsedCommandLine& parsed)
{
    return parseCommandLine(words, parsed);
}

} // namespace

TEST(PitchClassTest, EnglishNamesWithSharpsAndFlats)
{
    EXPECT_EQ(parsePitchClass("C"), 0);
    EXPECT_EQ(parsePitchClass("C#"), 1);
    EXPECT_EQ(parsePitchClass("Db"), 1);
    EXPECT_EQ(parsePitchClass("Eb"), 3);
    EXPECT_EQ(parsePitchClass("F#"), 6);
    EXPECT_EQ(parsePitchClass("Ab"), 8);
    EXPECT_EQ(parsePitchClass("A"), 9);
    EXPECT_EQ(parsePitchClass("Bb"), 10);
    EXPECT_EQ(parsePitchClass("B"), 11);
    // Accidentals that cross the octave wrap around.
    EXPECT_EQ(parsePitchClass("Cb"), 11);
    EXPECT_EQ(parsePitchClass("B#"), 0);
    EXPECT_EQ(parsePitchClass("e#"), 5);
}

TEST(PitchClassTest, GermanNames)
{
    EXPECT_EQ(parsePitchClass("c"), 0);
    EXPECT_EQ(parsePitchClass("cis"), 1);
    EXPECT_EQ(parsePitchClass("des"), 1);
    EXPECT_EQ(parsePitchClass("dis"), 3);
    EXPECT_EQ(parsePitchClass("es"), 3);
    EXPECT_EQ(parsePitchClass("fis"), 6);
    EXPECT_EQ(parsePitchClass("ges"), 6);
    EXPECT_EQ(parsePitchClass("gis"), 8);
    EXPECT_EQ(parsePitchClass("as"), 8);
    EXPECT_EQ(parsePitchClass("ais"), 10);
    EXPECT_EQ(parsePitchClass("h"), 11);
    EXPECT_EQ(parsePitchClass("H"), 11);
    EXPECT_EQ(parsePitchClass("Fis"), 6);
}

TEST(PitchClassTest, UnknownNamesAreRefused)
{
    for (const char* name : {"", "X", "H#", "Cbb", "cisis", "do", "C##", "1", "is"})
        EXPECT_EQ(parsePitchClass(name), -1) << name;
}

TEST(ScaleNameTest, KnownAndUnknown)
{
    EXPECT_EQ(parseScale("major"), ScaleChoice::kMajor);
    EXPECT_EQ(parseScale("Minor"), ScaleChoice::kMinor);
    EXPECT_EQ(parseScale("chromatic"), ScaleChoice::kChromatic);
    EXPECT_EQ(parseScale("dur"), ScaleChoice::kMajor);
    EXPECT_EQ(parseScale("moll"), ScaleChoice::kMinor);
    EXPECT_FALSE(parseScale("dorian"));
    EXPECT_FALSE(parseScale(""));
}

TEST(CommandLineTest, TuneWithEveryOption)
{
    ParsedCommandLine parsed;
    auto failure = parse({"tune", "in.wav", "-o", "out.flac", "--key", "fis", "--scale=minor",
                             "--contour", "0.25", "--detail=0", "--vibrato", "0.5,5.5", "--preset",
                             "p.fxp", "--plot", "n.png", "--formants", "move", "--transpose=-24"},
        parsed);
    ASSERT_FALSE(failure) << failure->message;
    EXPECT_FALSE(parsed.tune.force);
    EXPECT_EQ(parsed.command, Command::kTune);
    EXPECT_FALSE(parsed.helpRequested);
    const TuneOptions& tune = parsed.tune;
    EXPECT_EQ(tune.input, "in.wav");
    EXPECT_EQ(tune.output, "out.flac");
    EXPECT_EQ(tune.keyRoot, 6);
    EXPECT_EQ(tune.scale, ScaleChoice::kMinor);
    EXPECT_FLOAT_EQ(tune.contour, 0.25f);
    EXPECT_FLOAT_EQ(tune.detail, 0.0f);
    ASSERT_TRUE(tune.vibrato);
    EXPECT_FLOAT_EQ(tune.vibrato->amplitude, 0.5f);
    EXPECT_FLOAT_EQ(tune.vibrato->frequency, 5.5f);
    EXPECT_EQ(tune.presetPath, "p.fxp");
    EXPECT_EQ(tune.plotPath, "n.png");
    EXPECT_FALSE(tune.keepFormants);
    EXPECT_EQ(tune.transpose, -24);
}

TEST(CommandLineTest, TuneDefaultsKeepTheSingersMovement)
{
    ParsedCommandLine parsed;
    ASSERT_FALSE(parse({"tune", "-o", "out.wav", "in.wav"}, parsed));
    EXPECT_EQ(parsed.tune.input, "in.wav");
    EXPECT_EQ(parsed.tune.scale, ScaleChoice::kChromatic);
    EXPECT_EQ(parsed.tune.keyRoot, 0);
    EXPECT_FLOAT_EQ(parsed.tune.contour, 1.0f);
    EXPECT_FLOAT_EQ(parsed.tune.detail, 1.0f);
    EXPECT_FALSE(parsed.tune.vibrato);
    EXPECT_TRUE(parsed.tune.keepFormants);
    EXPECT_EQ(parsed.tune.transpose, 0);
    EXPECT_TRUE(parsed.tune.presetPath.empty());
    ASSERT_FALSE(parse({"tune", "in.wav", "--force", "-o", "in.wav"}, parsed));
    EXPECT_TRUE(parsed.tune.force);
}

TEST(CommandLineTest, AKeyAloneAsksForItsMajorScaleInTheUsersSpelling)
{
    struct Case {
        std::vector<std::string> words;
        ScaleChoice scale;
        const char* spelled;
    };
    const Case cases[] = {
        {{"--key", "E"}, ScaleChoice::kMajor, "E"},
        {{"--key", "db"}, ScaleChoice::kMajor, "Db"},
        {{"--key", "fis", "--scale", "minor"}, ScaleChoice::kMinor, "fis"},
        {{"--scale", "chromatic", "--key", "A#"}, ScaleChoice::kChromatic, "A#"},
        {{}, ScaleChoice::kChromatic, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words = {"tune", "in.wav", "-o", "out.wav"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        ParsedCommandLine parsed;
        ASSERT_FALSE(parse(words, parsed));
        EXPECT_EQ(parsed.tune.scale, c.scale) << c.spelled;
        EXPECT_EQ(parsed.tune.keyName, c.spelled);
    }
}

TEST(CommandLineTest, BadValuesNameTheOptionAndAreUsageErrors)
{
    struct Case {
        std::vector<std::string> words;
        std::string expected;
    };
    const Case cases[] = {
        {{"tune", "in.wav", "-o", "o.wav", "--key", "X"}, "unknown key \"X\""},
        {{"tune", "in.wav", "-o", "o.wav", "--scale", "lydian"}, "unknown scale \"lydian\""},
        {{"tune", "in.wav", "-o", "o.wav", "--contour", "1.5"},
            "--contour wants a number from 0 to 1"},
        {{"tune", "in.wav", "-o", "o.wav", "--contour", "-0.1"}, "--contour wants a number"},
        {{"tune", "in.wav", "-o", "o.wav", "--detail", "abc"}, "--detail wants a number"},
        {{"tune", "in.wav", "-o", "o.wav", "--detail", "0.5x"}, "--detail wants a number"},
        {{"tune", "in.wav", "-o", "o.wav", "--contour", "nan"}, "--contour wants a number"},
        {{"tune", "in.wav", "-o", "o.wav", "--vibrato", "0.5"}, "--vibrato wants DEPTH,RATE"},
        {{"tune", "in.wav", "-o", "o.wav", "--vibrato", "2,5"}, "--vibrato depth must be 0 to 1"},
        {{"tune", "in.wav", "-o", "o.wav", "--vibrato", "0.5,0"}, "--vibrato rate must be above 0"},
        {{"tune", "in.wav", "-o", "o.wav", "--formants", "kept"}, "--formants wants keep or move"},
        {{"tune", "in.wav", "-o", "o.wav", "--transpose", "25"}, "--transpose wants whole"},
        {{"tune", "in.wav", "-o", "o.wav", "--transpose=-25"}, "--transpose wants whole"},
        {{"tune", "in.wav", "-o", "o.wav", "--transpose", "2.5"}, "--transpose wants whole"},
        {{"tune", "in.wav", "-o", "o.wav", "--transpose", "up"}, "--transpose wants whole"},
        {{"tune", "in.wav", "-o", "o.wav", "--key"}, "--key needs a value"},
        {{"tune", "in.wav", "-o", "o.wav", "--preset="}, "--preset needs a value"},
        {{"tune", "in.wav", "-o", "o.wav", "--loud"}, "unknown option --loud"},
        {{"tune", "in.wav"}, "no output file"},
        {{"tune", "-o", "o.wav"}, "no input file"},
        {{"tune", "a.wav", "b.wav", "-o", "o.wav"}, "one input file only"},
        {{"analyse"}, "no input file"},
        {{"analyse", "a.wav", "--plot"}, "unknown option --plot"},
        {{"demo", "a", "b"}, "one folder only"},
        {{"sing"}, "unknown command \"sing\""},
    };
    for (const Case& c : cases) {
        ParsedCommandLine parsed;
        auto failure = parse(c.words, parsed);
        ASSERT_TRUE(failure) << c.words.back();
        EXPECT_NE(failure->message.find(c.expected), std::string::npos) << failure->message;
        EXPECT_EQ(failure->exitCode, kExitUsage);
        EXPECT_EQ(failure->message.find('\n'), std::string::npos) << "one line only";
    }
}

TEST(CommandLineTest, HelpForEachCommand)
{
    ParsedCommandLine parsed;
    ASSERT_FALSE(parse({"tune", "--help"}, parsed));
    EXPECT_EQ(parsed.command, Command::kTune);
    EXPECT_TRUE(parsed.helpRequested);
    ASSERT_FALSE(parse({"help", "analyse"}, parsed));
    EXPECT_EQ(parsed.command, Command::kAnalyse);
    EXPECT_TRUE(parsed.helpRequested);
    ASSERT_FALSE(parse({"demo", "-h"}, parsed));
    EXPECT_EQ(parsed.command, Command::kDemo);
    EXPECT_TRUE(parsed.helpRequested);
    ASSERT_FALSE(parse({}, parsed));
    EXPECT_EQ(parsed.command, Command::kHelp);
    // Each text names its own options.
    EXPECT_NE(commandHelp(Command::kTune).find("--vibrato"), std::string::npos);
    EXPECT_NE(commandHelp(Command::kAnalyse).find("--csv"), std::string::npos);
    EXPECT_NE(commandHelp(Command::kDemo).find("demo-tuned.wav"), std::string::npos);
}

TEST(CommandLineTest, AnalyseAndDemoArguments)
{
    ParsedCommandLine parsed;
    ASSERT_FALSE(parse({"analyse", "take.flac", "--csv"}, parsed));
    EXPECT_EQ(parsed.command, Command::kAnalyse);
    EXPECT_EQ(parsed.analyse.input, "take.flac");
    EXPECT_TRUE(parsed.analyse.csv);
    ASSERT_FALSE(parse({"demo"}, parsed));
    EXPECT_EQ(parsed.demo.directory, ".");
    ASSERT_FALSE(parse({"demo", "/tmp/x"}, parsed));
    EXPECT_EQ(parsed.demo.directory, "/tmp/x");
}
