#include "cli/command_line.h"

#include "editing/scale_tuning.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>

namespace {

std::string lowercase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// English letter names; the accidental after the letter moves them a semitone.
int englishLetterClass(char letter)
{
    switch (letter) {
    case 'c': return 0;
    case 'd': return 2;
    case 'e': return 4;
    case 'f': return 5;
    case 'g': return 7;
    case 'a': return 9;
    case 'b': return 11;
    default: return -1;
    }
}

// German names, sharps with "-is" and flats with "-es" / "-s". "b" on its own is
// the German B flat but the English B natural; it is read the English way (see
// the help text), so "h" and "b" both give 11 and B flat is "bb", "a#" or "ais".
const std::map<std::string, int>& germanNames()
{
    // The scale menu's names, then the flats and the sharps of e and h.
    static const std::map<std::string, int> names = [] {
        std::map<std::string, int> all = {
            {"des", 1},
            {"es", 3},
            {"eis", 5},
            {"fes", 4},
            {"ges", 6},
            {"as", 8},
            {"his", 0},
            {"ces", 11},
        };
        for (int pc = 0; pc < kPitchClasses; ++pc)
            all.emplace(kPitchClassNames[static_cast<std::size_t>(pc)], pc);
        return all;
    }();
    return names;
}

std::optional<float> parseNumber(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    float value = std::strtof(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

Failure usageFailure(const std::string& message) { return Failure {message, kExitUsage}; }

// A value between 0 and 1 for one of the note settings.
std::optional<Failure> parseUnitValue(
    const std::string& option, const std::string& text, float& value)
{
    std::optional<float> number = parseNumber(text);
    if (!number || *number < 0.0f || *number > 1.0f)
        return usageFailure(option + " wants a number from 0 to 1, not \"" + text + "\"");
    value = *number;
    return std::nullopt;
}

std::optional<Failure> parseVibrato(const std::string& text, VibratoSetting& vibrato)
{
    std::size_t comma = text.find(',');
    std::optional<float> amplitude, frequency;
    if (comma != std::string::npos) {
        amplitude = parseNumber(text.substr(0, comma));
        frequency = parseNumber(text.substr(comma + 1));
    }
    if (!amplitude || !frequency)
        return usageFailure("--vibrato wants DEPTH,RATE (semitones,hertz), not \"" + text + "\"");
    if (*amplitude < 0.0f || *amplitude > 1.0f)
        return usageFailure("--vibrato depth must be 0 to 1 semitone, not \"" + text + "\"");
    if (*frequency <= 0.0f)
        return usageFailure("--vibrato rate must be above 0 Hz, not \"" + text + "\"");
    vibrato = {*amplitude, *frequency};
    return std::nullopt;
}

std::optional<Failure> parseTranspose(const std::string& text, int& transpose)
{
    std::optional<float> number = parseNumber(text);
    if (!number || *number != std::trunc(*number) || std::fabs(*number) > kMaxTranspose)
        return usageFailure("--transpose wants whole semitones from -24 to 24, not "
                            " + text + "
                            "");
    transpose = static_cast<int>(*number);
    return std::nullopt;
}

// Walks the words after the command name; options take their value from the
// next word or after "=".
class WordCursor {
public:
    explicit WordCursor(const std::vector<std::string>& words)
        : words(words)
    {
    }
    bool done() const { return index >= words.size(); }
    const std::string& next() { return words[index++]; }
    // The value of the option just read: "--key=C" or "--key C".
    std::optional<std::string> value(const std::string& word, const std::string& option)
    {
        if (word.size() > option.size() && word[option.size()] == '=')
            return word.substr(option.size() + 1);
        if (done())
            return std::nullopt;
        return next();
    }

private:
    const std::vector<std::string>& words;
    std::size_t index = 1; // words[0] is the command
};

// The option name of a word: "--key=C" gives "--key".
std::string optionName(const std::string& word)
{
    std::size_t equals = word.find('=');
    return word.rfind("--", 0) == 0 && equals != std::string::npos ? word.substr(0, equals) : word;
}

bool isOption(const std::string& word) { return word.size() > 1 && word[0] == '-'; }

std::optional<Failure> parseTune(WordCursor& cursor, ParsedCommandLine& parsed)
{
    TuneOptions& tune = parsed.tune;
    std::vector<std::string> inputs;
    bool scaleGiven = false;
    while (!cursor.done()) {
        const std::string word = cursor.next();
        const std::string name = optionName(word);
        if (name == "--help" || name == "-h") {
            parsed.helpRequested = true;
            return std::nullopt;
        }
        if (!isOption(word)) {
            inputs.push_back(word);
            continue;
        }
        if (word == "--force") {
            tune.force = true;
            continue;
        }
        static const char* const kValued[] = {"-o", "--output", "--key", "--scale", "--contour",
            "--detail", "--vibrato", "--preset", "--plot", "--formants", "--transpose"};
        bool known = false;
        for (const char* option : kValued)
            known = known || name == option;
        if (!known)
            return usageFailure("tune: unknown option " + name + " (see cantilo tune --help)");
        std::optional<std::string> value = cursor.value(word, name);
        if (!value)
            return usageFailure("tune: " + name + " needs a value");
        if (name == "-o" || name == "--output") {
            tune.output = *value;
        } else if (name == "--key") {
            tune.keyRoot = parsePitchClass(*value);
            if (tune.keyRoot < 0)
                return usageFailure("unknown key \"" + *value
                    + "\" (use C, C#, Db, ..., B or c, cis, des, ..., h)");
            tune.keyName = keySpelling(*value);
        } else if (name == "--scale") {
            std::optional<ScaleChoice> scale = parseScale(*value);
            if (!scale)
                return usageFailure(
                    "unknown scale \"" + *value + "\" (use major, minor or chromatic)");
            tune.scale = *scale;
            scaleGiven = true;
        } else if (name == "--contour") {
            if (auto failure = parseUnitValue(name, *value, tune.contour))
                return failure;
        } else if (name == "--detail") {
            if (auto failure = parseUnitValue(name, *value, tune.detail))
                return failure;
        } else if (name == "--vibrato") {
            VibratoSetting vibrato;
            if (auto failure = parseVibrato(*value, vibrato))
                return failure;
            tune.vibrato = vibrato;
        } else if (name == "--formants") {
            if (*value != "keep" && *value != "move")
                return usageFailure("--formants wants keep or move, not \"" + *value + "\"");
            tune.keepFormants = *value == "keep";
        } else if (name == "--transpose") {
            if (auto failure = parseTranspose(*value, tune.transpose))
                return failure;
        } else if (name == "--preset") {
            tune.presetPath = *value;
        } else if (name == "--plot") {
            tune.plotPath = *value;
        }
        if (value->empty())
            return usageFailure("tune: " + name + " needs a value");
    }
    // A key on its own asks for its major scale.
    if (!tune.keyName.empty() && !scaleGiven)
        tune.scale = ScaleChoice::kMajor;
    if (inputs.empty())
        return usageFailure("tune: no input file (cantilo tune IN -o OUT)");
    if (inputs.size() > 1)
        return usageFailure("tune: one input file only, got \"" + inputs[1] + "\" as well");
    if (tune.output.empty())
        return usageFailure("tune: no output file (cantilo tune IN -o OUT)");
    tune.input = inputs[0];
    return std::nullopt;
}

std::optional<Failure> parseAnalyse(WordCursor& cursor, ParsedCommandLine& parsed)
{
    std::vector<std::string> inputs;
    while (!cursor.done()) {
        const std::string word = cursor.next();
        if (word == "--help" || word == "-h") {
            parsed.helpRequested = true;
            return std::nullopt;
        }
        if (word == "--csv")
            parsed.analyse.csv = true;
        else if (isOption(word))
            return usageFailure(
                "analyse: unknown option " + optionName(word) + " (see cantilo analyse --help)");
        else
            inputs.push_back(word);
    }
    if (inputs.size() != 1)
        return usageFailure(inputs.empty() ? "analyse: no input file (cantilo analyse IN)"
                                           : "analyse: one input file only");
    parsed.analyse.input = inputs[0];
    return std::nullopt;
}

std::optional<Failure> parseDemo(WordCursor& cursor, ParsedCommandLine& parsed)
{
    std::vector<std::string> directories;
    while (!cursor.done()) {
        const std::string word = cursor.next();
        if (word == "--help" || word == "-h") {
            parsed.helpRequested = true;
            return std::nullopt;
        }
        if (isOption(word))
            return usageFailure(
                "demo: unknown option " + optionName(word) + " (see cantilo demo --help)");
        directories.push_back(word);
    }
    if (directories.size() > 1)
        return usageFailure("demo: one folder only");
    if (!directories.empty())
        parsed.demo.directory = directories[0];
    return std::nullopt;
}

} // namespace

std::string keySpelling(const std::string& name)
{
    std::string spelled = name;
    const bool english = !spelled.empty()
        && englishLetterClass(lowercase(spelled.substr(0, 1))[0]) >= 0
        && (spelled.size() == 1
            || (spelled.size() == 2 && (spelled[1] == '#' || spelled[1] == 'b')));
    if (english)
        spelled[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(spelled[0])));
    return spelled;
}

int parsePitchClass(const std::string& name)
{
    const std::string key = lowercase(name);
    if (key.empty())
        return -1;
    // English first: a letter and at most one accidental.
    int letter = englishLetterClass(key[0]);
    if (letter >= 0 && key.size() <= 2) {
        if (key.size() == 1)
            return letter;
        if (key[1] == '#')
            return (letter + 1) % 12;
        if (key[1] == 'b')
            return (letter + 11) % 12;
    }
    auto german = germanNames().find(key);
    return german == germanNames().end() ? -1 : german->second;
}

std::optional<ScaleChoice> parseScale(const std::string& name)
{
    const std::string scale = lowercase(name);
    if (scale == "major" || scale == "dur")
        return ScaleChoice::kMajor;
    if (scale == "minor" || scale == "moll")
        return ScaleChoice::kMinor;
    if (scale == "chromatic" || scale == "all")
        return ScaleChoice::kChromatic;
    return std::nullopt;
}

std::optional<Failure> parseCommandLine(
    const std::vector<std::string>& arguments, ParsedCommandLine& parsed)
{
    parsed = ParsedCommandLine {};
    if (arguments.empty()) {
        parsed.command = Command::kHelp;
        return std::nullopt;
    }
    const std::string& command = arguments[0];
    WordCursor cursor(arguments);
    if (command == "--help" || command == "-h" || command == "help") {
        parsed.command = Command::kHelp;
        if (!cursor.done()) {
            const std::string topic = cursor.next();
            if (topic == "tune" || topic == "analyse" || topic == "analyze" || topic == "demo") {
                parsed.command = topic == "tune" ? Command::kTune
                    : topic == "demo"            ? Command::kDemo
                                                 : Command::kAnalyse;
                parsed.helpRequested = true;
            }
        }
        return std::nullopt;
    }
    if (command == "--version") {
        parsed.command = Command::kVersion;
        return std::nullopt;
    }
    if (command == "tune") {
        parsed.command = Command::kTune;
        return parseTune(cursor, parsed);
    }
    if (command == "analyse" || command == "analyze") {
        parsed.command = Command::kAnalyse;
        return parseAnalyse(cursor, parsed);
    }
    if (command == "demo") {
        parsed.command = Command::kDemo;
        return parseDemo(cursor, parsed);
    }
    return usageFailure("unknown command \"" + command + "\" (use tune, analyse or demo)");
}

std::string generalHelp()
{
    return "cantilo: corrects the pitch of a recorded voice with the Cantilo VST engine\n"
           "\n"
           "usage:\n"
           "  cantilo tune IN -o OUT [options]   tune every note of IN and write OUT\n"
           "  cantilo analyse IN [--csv]         list the notes of IN and how far off they are\n"
           "  cantilo demo [DIR]                 synthesise a detuned melody, tune it, compare\n"
           "  cantilo COMMAND --help             the options of one command\n"
           "  cantilo --version                  version and licence\n"
           "\n"
           "Audio files: WAV, FLAC, AIFF, OGG, Opus and MP3 (where the installed libsndfile\n"
           "has MP3), 8 to 192 kHz; several channels are mixed down to one voice.\n"
           "\n"
           "exit codes: 0 done, 2 bad command line (option, key, scale), 3 input missing or\n"
           "unreadable, 4 output cannot be written, 5 the edit cannot be made.\n";
}

std::string commandHelp(Command command)
{
    switch (command) {
    case Command::kTune:
        return "usage: cantilo tune IN -o OUT [options]\n"
               "\n"
               "Records IN into the plug-in as a host would, cuts it into notes, tunes every\n"
               "note to the nearest semitone of the scale and renders the result to OUT, in\n"
               "IN's rate, in the format OUT's extension names (.wav, .flac, .aiff, .ogg,\n"
               ".opus, .mp3, ...; IN's format when OUT has no extension). OUT has IN's length\n"
               "and channel count. An OUT that is IN itself is refused unless --force is given.\n"
               "\n"
               "options:\n"
               "  -o, --output OUT     the file to write\n"
               "  --key KEY            root of the scale: C, C#, Db, ..., B or German c, cis,\n"
               "                       des, ..., h (b is B natural; B flat is Bb, A# or ais)\n"
               "  --scale SCALE        major, minor or chromatic (default chromatic: every\n"
               "                       semitone is allowed; major when only --key is given)\n"
               "  --contour R          0 to 1, default 1: how much of the singer's slow pitch\n"
               "                       movement around each corrected note is kept (0 flattens)\n"
               "  --detail D           0 to 1, default 1: how much fine pitch detail is kept\n"
               "  --vibrato A,F        add vibrato of A semitones (0 to 1) at F hertz (above 0,\n"
               "                       at most 6.85 Hz)\n"
               "  --formants MODE      keep (default): the vowels keep their colour when notes\n"
               "                       move; move: the formants move with the pitch\n"
               "  --transpose N        move every note by N semitones (-24 to 24) after tuning;\n"
               "                       in the host the plug-in plays a note moved 20 semitones\n"
               "                       or more from the sung pitch at the sung pitch\n"
               "  --preset FILE.fxp    also write the edit as a VST 2 program file that a host\n"
               "                       loads onto the plug-in over the same audio (one take only)\n"
               "  --plot FILE.png      draw the sung pitch and the corrected notes over the\n"
               "                       whole input: note names up the side over the range\n"
               "                       sung, seconds along the bottom\n"
               "  --force              let OUT replace IN: written to a temporary file beside\n"
               "                       it and renamed over IN once complete\n"
               "\n"
               "Inputs longer than one take (about 116 s at 44.1 kHz) are tuned as consecutive\n"
               "takes, each cut at a quiet moment, and joined seamlessly.\n";
    case Command::kAnalyse:
        return "usage: cantilo analyse IN [--csv]\n"
               "\n"
               "Lists the notes the plug-in finds in IN, one a line: start and end in seconds,\n"
               "the nearest note name (A4 = 440 Hz) and the measured deviation from it in\n"
               "cents.\n"
               "\n"
               "options:\n"
               "  --csv    comma-separated values with a header line\n";
    case Command::kDemo:
        return "usage: cantilo demo [DIR]\n"
               "\n"
               "Synthesises a short sung melody with deliberately detuned notes, tunes it and\n"
               "writes demo-input.wav, demo-tuned.wav and demo-notes.png into DIR (default: the\n"
               "current folder); prints each note's deviation before and after.\n";
    default: return generalHelp();
    }
}
