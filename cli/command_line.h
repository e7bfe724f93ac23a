// The command line of cantilo: its three commands, their options, and the
// names a user may give for a key and a scale.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Exit codes, one per kind of failure, so that scripts can tell them apart.
enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 2, // unknown command or option, bad option value, key or scale
    kExitInput = 3, // input file missing or unreadable
    kExitOutput = 4, // output file cannot be written
    kExitProcessing = 5, // the edit could not be made (for instance a preset of several takes)
};

// A failed step: the one-line message the user sees and the exit code.
struct Failure {
    std::string message;
    int exitCode = kExitUsage;
};

enum class ScaleChoice { kMajor, kMinor, kChromatic };

constexpr int kMaxTranspose = 24; // semitones either way

struct VibratoSetting {
    float amplitude = 0.0f; // semitones
    float frequency = 0.0f; // hertz
};

struct TuneOptions {
    std::string input;
    std::string output;
    int keyRoot = 0; // pitch class, 0 = C
    std::string keyName; // the key as the user spelled it; empty when not given
    ScaleChoice scale = ScaleChoice::kChromatic; // major when only a key is given
    float contour = 1.0f; // "Raw contours": 1 keeps the sung movement, 0 flattens it
    float detail = 1.0f; // "Fine contours"
    std::optional<VibratoSetting> vibrato;
    bool keepFormants = true; // --formants keep (the default) or move
    int transpose = 0; // semitones every note moves after tuning
    std::string presetPath; // empty: no preset
    std::string plotPath; // empty: no plot
    bool force = false; // the output may replace the input file
};

struct AnalyseOptions {
    std::string input;
    bool csv = false;
};

struct DemoOptions {
    std::string directory = ".";
};

enum class Command { kHelp, kTune, kAnalyse, kDemo, kVersion };

struct ParsedCommandLine {
    Command command = Command::kHelp;
    bool helpRequested = false; // --help after a command: that command's help
    TuneOptions tune;
    AnalyseOptions analyse;
    DemoOptions demo;
};

// Parses argv[1..]; a failure names the offending word.
std::optional<Failure> parseCommandLine(
    const std::vector<std::string>& arguments, ParsedCommandLine& parsed);

// A key as the user spelled it, with an English letter name capitalised
// ("db" gives "Db"); German names stay as given ("fis").
std::string keySpelling(const std::string& name);

// Pitch class 0..11 of a key name in English (C, C#, Db, ..., B, case-insensitive)
// or German spelling (c, cis, des, ..., h, b for B flat, es and as); -1 if unknown.
int parsePitchClass(const std::string& name);

// "major", "minor" or "chromatic" (also "dur", "moll", "all"); nullopt if unknown.
std::optional<ScaleChoice> parseScale(const std::string& name);

// The whole text of "cantilo --help" and of each command's --help.
std::string generalHelp();
std::string commandHelp(Command command);
