#include "cli/commands.h"

#include "cli/audio_file.h"
#include "cli/fxp_program.h"
#include "cli/note_names.h"
#include "cli/note_plot.h"
#include "cli/progress.h"
#include "cli/sung_melody.h"
#include "cli/voice_correction.h"
#include "engine/rate_converter.h"
#include "shell/pitch_effect.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kVersionText
    = "cantilo 1.0 (Cantilo VST engine)\n"
      "License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
      "This is free software: you are free to change and redistribute it.\n"
      "There is NO WARRANTY, to the extent permitted by law.\n";
constexpr int kDemoRate = 44100;
constexpr int kDemoFormat = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

int report(const std::optional<Failure>& failure)
{
    if (!failure)
        return kExitOk;
    std::fprintf(stderr, "cantilo: %s\n", failure->message.c_str());
    return failure->exitCode;
}

void warn(const std::string& message)
{
    std::fprintf(stderr, "cantilo: warning: %s\n", message.c_str());
}

std::string formatted(const char* format, double a, double b = 0.0, double c = 0.0)
{
    char text[256];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// Refuses, before any work is done, an output that cannot be written: a folder,
// a file without write permission, or a place whose folder is missing or closed.
std::optional<Failure> checkWritable(const std::string& path)
{
    struct stat status { };
    if (stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            return Failure {"cannot write " + path + ": it is a folder", kExitOutput};
        if (access(path.c_str(), W_OK) != 0)
            return Failure {"cannot write " + path + ": " + std::strerror(errno), kExitOutput};
        return std::nullopt;
    }
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty())
        folder = ".";
    // A missing folder is made, as `demo DIR` makes its own.
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        return Failure {
            "cannot write " + path + ": cannot make its folder (" + error.message() + ")",
            kExitOutput};
    if (access(folder.c_str(), W_OK) != 0)
        return Failure {"cannot write " + path + ": " + std::strerror(errno), kExitOutput};
    return std::nullopt;
}

// The engine works at 44,100 Hz whatever the file's rate, as the plug-in does
// whatever the host's: a file at another rate is resampled to it on the way
// in (and the result back to the file's rate on the way out).
void toTimeBase(AudioFile& input)
{
    if (input.sampleRate == static_cast<int>(kTimeBaseRate))
        return;
    const auto length = static_cast<std::size_t>(
        std::llround(static_cast<double>(input.samples.size()) * kTimeBaseRate / input.sampleRate));
    input.samples = resampledOnce(
        input.samples.data(), input.samples.size(), input.sampleRate, kTimeBaseRate, length);
    input.sampleRate = static_cast<int>(kTimeBaseRate);
}

void describeTakes(const std::vector<TakeSpan>& takes, int sampleRate, const std::string& input)
{
    if (takes.size() < 2)
        return;
    std::string joints;
    for (std::size_t k = 1; k < takes.size(); ++k)
        joints += (k > 1 ? ", " : "")
            + formatted("%.2f s", static_cast<double>(takes[k].keepFrom) / sampleRate);
    std::fprintf(stderr,
        "cantilo: %s is longer than one take (%.1f s at %d Hz): processed as %zu takes, "
        "joined at %s\n",
        input.c_str(), static_cast<double>(kTakeSamples) / sampleRate, sampleRate, takes.size(),
        joints.c_str());
}

// The scale in the user's own spelling of its key: "Db major", "fis minor".
std::string scaleText(const TuneOptions& options)
{
    const std::string key = options.keyName.empty() ? "C" : options.keyName;
    switch (options.scale) {
    case ScaleChoice::kMajor: return key + " major";
    case ScaleChoice::kMinor: return key + " minor";
    default: return "the nearest semitone";
    }
}

std::string counted(long count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// True when `output` names the very file `input` is (the same name, another
// spelling of it, or a link to it).
bool sameFile(const std::string& input, const std::string& output)
{
    std::error_code error;
    return std::filesystem::equivalent(input, output, error) && !error;
}

// Every output of tune that is the input itself: refused unless --force lets
// the audio output replace it; a preset or picture never may.
std::optional<Failure> checkNotTheInput(const TuneOptions& options)
{
    for (const std::string& path : {options.presetPath, options.plotPath})
        if (!path.empty() && sameFile(options.input, path))
            return Failure {
                path + " is the input file: give the preset or picture another name", kExitUsage};
    if (sameFile(options.input, options.output) && !options.force)
        return Failure {options.output
                + " is the input file: give another output name, or --force to replace it",
            kExitUsage};
    return std::nullopt;
}

CorrectionSettings settingsOf(const TuneOptions& options)
{
    return {options.keyRoot, options.scale, options.contour, options.detail, options.vibrato,
        options.keepFormants, options.transpose};
}

// Writes into a new file beside `path` and renames it over `path` once it is
// complete, so that the file there (the input, with --force) stays whole until
// then. The new file takes the old one's permissions.
std::optional<Failure> replaceFile(const std::string& path, const std::vector<float>& samples,
    int sampleRate, int channels, int format, WriteReport& writeReport)
{
    std::filesystem::path target(path);
    std::string pattern
        = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0)
        return Failure {"cannot write " + path + ": " + std::strerror(errno), kExitOutput};
    close(descriptor);
    struct stat original { };
    if (stat(path.c_str(), &original) == 0)
        chmod(pattern.c_str(), original.st_mode & 07777);
    if (auto failure
        = writeAudioFile(pattern, samples, sampleRate, channels, format, writeReport)) {
        std::remove(pattern.c_str());
        return Failure {failure->message + " (" + path + " is left as it was)", kExitOutput};
    }
    if (std::rename(pattern.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(pattern.c_str());
        return Failure {"cannot write " + path + ": " + reason + " (left as it was)", kExitOutput};
    }
    return std::nullopt;
}

std::optional<Failure> writeOutput(const std::string& path, const std::vector<float>& samples,
    int sampleRate, int channels, int format, bool replaceWhenComplete = false)
{
    WriteReport writeReport;
    if (auto failure = replaceWhenComplete
            ? replaceFile(path, samples, sampleRate, channels, format, writeReport)
            : writeAudioFile(path, samples, sampleRate, channels, format, writeReport))
        return failure;
    if (writeReport.clippedSamples > 0)
        warn(std::to_string(writeReport.clippedSamples) + " samples of " + path
            + " were beyond full scale and clipped (write a float WAV to keep them)");
    return std::nullopt;
}

// Tunes the input and, when plotPath is given, draws the sung pitch of every
// take and the corrected notes into one picture of the whole input.
std::optional<Failure> correctAndPlot(const std::vector<float>& input, int sampleRate,
    const CorrectionSettings& settings, bool wantChunk, const std::string& plotPath,
    CorrectionResult& result, Progress& progress)
{
    if (plotPath.empty())
        return correctVoice(input, sampleRate, settings, wantChunk, result, &progress);
    const std::vector<TakeSpan> takes = planTakes(input, sampleRate);
    NotePlot plot(static_cast<long>(input.size()), sampleRate);
    auto draw = [&plot, &takes](std::size_t take, PitchEffect& effect, long) {
        plot.addSungPitch(effect.session(), takes[take]);
    };
    if (auto failure
        = correctVoice(input, sampleRate, settings, wantChunk, result, &progress, draw))
        return failure;
    plot.setNotes(result.notes);
    return plot.writePng(plotPath);
}

// The analysed note that overlaps [start, end) the most; null when none does.
const FoundNote* bestOverlap(const std::vector<FoundNote>& notes, long start, long end)
{
    const FoundNote* best = nullptr;
    long bestOverlap = 0;
    for (const FoundNote& note : notes) {
        long overlap = std::min(end, note.endSample) - std::max(start, note.startSample);
        if (overlap > bestOverlap && note.voicedFrames > 0) {
            bestOverlap = overlap;
            best = &note;
        }
    }
    return best;
}

} // namespace

std::optional<Failure> runTune(const TuneOptions& options)
{
    AudioFile input;
    std::string cutShort;
    if (auto failure = readAudioFile(options.input, input, &cutShort))
        return failure;
    const int format = outputFormatFor(options.output, input.format);
    if (auto failure = checkOutputFormat(options.output, format, input.sampleRate, input.channels))
        return failure;
    if (auto failure = checkNotTheInput(options))
        return failure;
    for (const std::string& path : {options.output, options.presetPath, options.plotPath})
        if (!path.empty())
            if (auto failure = checkWritable(path))
                return failure;
    if (!cutShort.empty())
        warn(cutShort);
    const int fileRate = input.sampleRate;
    const std::size_t fileLength = input.samples.size();
    toTimeBase(input);

    const CorrectionSettings settings = settingsOf(options);
    CorrectionResult result;
    Progress progress;
    if (auto failure = correctAndPlot(input.samples, input.sampleRate, settings,
            !options.presetPath.empty(), options.plotPath, result, progress))
        return failure;
    describeTakes(result.takes, input.sampleRate, options.input);
    if (fileRate != input.sampleRate)
        result.output = resampledOnce(
            result.output.data(), result.output.size(), input.sampleRate, fileRate, fileLength);
    if (auto failure = writeOutput(options.output, result.output, fileRate, input.channels, format,
            sameFile(options.input, options.output)))
        return failure;

    int voiced = 0;
    for (const FoundNote& note : result.notes)
        voiced += note.voicedFrames > 0;
    std::printf("cantilo: %s tuned to %s, wrote %s (%.1f s, %d Hz)\n",
        counted(voiced, "note", "notes").c_str(), scaleText(options).c_str(),
        options.output.c_str(), static_cast<double>(result.output.size()) / fileRate, fileRate);
    if (!options.plotPath.empty())
        std::printf("cantilo: drew the notes in %s\n", options.plotPath.c_str());

    if (!options.presetPath.empty()) {
        std::vector<uint8_t> file
            = makeFxpProgram(result.identity, "cantilo", result.chunk.data(), result.chunk.size());
        if (auto failure = writeFxpFile(options.presetPath, file))
            return failure;
        std::printf(
            "cantilo: wrote preset %s (%zu bytes)\n", options.presetPath.c_str(), file.size());
    }
    return std::nullopt;
}

std::optional<Failure> runAnalyse(const AnalyseOptions& options)
{
    AudioFile input;
    std::string cutShort;
    if (auto failure = readAudioFile(options.input, input, &cutShort))
        return failure;
    if (!cutShort.empty())
        warn(cutShort);
    toTimeBase(input);
    std::vector<TakeSpan> takes;
    Progress progress;
    std::vector<FoundNote> notes = analyseVoice(input.samples, input.sampleRate, &takes, &progress);
    describeTakes(takes, input.sampleRate, options.input);
    if (options.csv)
        std::printf("start,end,note,cents\n");
    int listed = 0;
    for (const FoundNote& note : notes) {
        if (note.voicedFrames == 0)
            continue;
        const double start = static_cast<double>(note.startSample) / input.sampleRate;
        const double end = static_cast<double>(note.endSample) / input.sampleRate;
        const std::string name = nearestPitchName(note.measuredPitch);
        const float cents = centsFromSemitone(note.measuredPitch);
        ++listed;
        if (options.csv)
            std::printf("%.3f,%.3f,%s,%.1f\n", start, end, name.c_str(), cents);
        else
            std::printf("%8.3f %8.3f  %-4s %+6.1f cents\n", start, end, name.c_str(), cents);
    }
    // Standard output holds only the table when it is CSV.
    if (listed == 0)
        std::fprintf(options.csv ? stderr : stdout,
            "cantilo: no notes found in %s (nothing pitched was heard)\n", options.input.c_str());
    return std::nullopt;
}

std::optional<Failure> runDemo(const DemoOptions& options)
{
    std::error_code error;
    std::filesystem::create_directories(options.directory, error);
    if (error)
        return Failure {"cannot create " + options.directory + ": " + error.message(), kExitOutput};
    const std::filesystem::path folder(options.directory);
    const std::string inputPath = (folder / "demo-input.wav").string();
    const std::string tunedPath = (folder / "demo-tuned.wav").string();
    const std::string plotPath = (folder / "demo-notes.png").string();
    for (const std::string& path : {inputPath, tunedPath, plotPath})
        if (auto failure = checkWritable(path))
            return failure;

    const std::vector<SungNote> melody = demoMelody();
    std::vector<SungSpan> spans;
    const std::vector<float> sung = synthesiseMelody(melody, kDemoRate, VoiceSettings {}, &spans);
    if (auto failure = writeOutput(inputPath, sung, kDemoRate, 1, kDemoFormat))
        return failure;

    CorrectionSettings settings;
    settings.scale = ScaleChoice::kMajor; // the tune is in C major
    CorrectionResult result;
    Progress progress;
    if (auto failure = correctAndPlot(sung, kDemoRate, settings, false, plotPath, result, progress))
        return failure;
    if (auto failure = writeOutput(tunedPath, result.output, kDemoRate, 1, kDemoFormat))
        return failure;
    const std::vector<FoundNote> after = analyseVoice(result.output, kDemoRate, nullptr, &progress);

    std::printf("cantilo demo: a synthesised voice sings %zu notes, each 20 to 45 cents off;\n"
                "the plug-in's engine records it, cuts the notes, tunes them to C major and\n"
                "renders the result. Deviation from the sung note, measured by the engine's\n"
                "own analysis before and after:\n\n",
        melody.size());
    std::printf("  note   sung off     before      after\n");
    float worstAfter = 0.0f;
    for (std::size_t n = 0; n < melody.size(); ++n) {
        const FoundNote* found = bestOverlap(result.notes, spans[n].start, spans[n].end);
        const FoundNote* tuned = bestOverlap(after, spans[n].start, spans[n].end);
        auto centsOff = [&](const FoundNote* note) {
            return note ? (note->measuredPitch - static_cast<float>(melody[n].semitone)) * 100.0f
                        : NAN;
        };
        const float before = centsOff(found);
        const float afterCents = centsOff(tuned);
        worstAfter
            = std::max(worstAfter, std::isfinite(afterCents) ? std::fabs(afterCents) : 100.0f);
        auto cell = [](float cents) {
            return std::isfinite(cents) ? formatted("%+6.1f ct", cents) : std::string("not found");
        };
        std::printf("  %-4s  %+6.0f ct  %9s  %9s\n", pitchName(melody[n].semitone).c_str(),
            melody[n].detuneCents, cell(before).c_str(), cell(afterCents).c_str());
    }
    std::printf("\nlargest deviation after tuning: %.1f cents\n", worstAfter);
    std::printf("wrote %s, %s and %s\n", inputPath.c_str(), tunedPath.c_str(), plotPath.c_str());
    return std::nullopt;
}

int runCantilo(const std::vector<std::string>& arguments)
{
    ParsedCommandLine parsed;
    if (auto failure = parseCommandLine(arguments, parsed))
        return report(failure);
    // Nothing asked: the usage, as a mistake, on standard error.
    if (arguments.empty()) {
        std::fputs(generalHelp().c_str(), stderr);
        return kExitUsage;
    }
    if (parsed.helpRequested || parsed.command == Command::kHelp) {
        std::fputs(
            parsed.helpRequested ? commandHelp(parsed.command).c_str() : generalHelp().c_str(),
            stdout);
        return kExitOk;
    }
    switch (parsed.command) {
    case Command::kVersion: std::fputs(kVersionText, stdout); return kExitOk;
    case Command::kTune: return report(runTune(parsed.tune));
    case Command::kAnalyse: return report(runAnalyse(parsed.analyse));
    case Command::kDemo: return report(runDemo(parsed.demo));
    default: return kExitOk;
    }
}
