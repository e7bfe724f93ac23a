#include "cli/audio_file.h"

#include "cli/huge_pages.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <sndfile.h>
#include <sstream>
#include <sys/stat.h>

namespace {

constexpr sf_count_t kIoBlockFrames = 65536;

std::string extensionOf(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

int majorFormatForExtension(const std::string& extension)
{
    if (extension == "wav" || extension == "wave")
        return SF_FORMAT_WAV;
    if (extension == "flac")
        return SF_FORMAT_FLAC;
    if (extension == "aif" || extension == "aiff" || extension == "aifc")
        return SF_FORMAT_AIFF;
    if (extension == "ogg" || extension == "oga" || extension == "opus")
        return SF_FORMAT_OGG;
    if (extension == "mp3" || extension == "mp2" || extension == "mpeg")
        return SF_FORMAT_MPEG;
    // Every other extension the installed library names for one of its formats.
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int k = 0; k < count; ++k) {
        SF_FORMAT_INFO info {};
        info.format = k;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) == 0 && info.extension
            && extension == info.extension)
            return info.format;
    }
    return 0;
}

// The encoding an extension asks for beyond its container: Opus in Ogg, and
// layer III for the MPEG names.
int subtypeForExtension(const std::string& extension)
{
    if (extension == "opus")
        return SF_FORMAT_OPUS;
    if (extension == "mp3")
        return SF_FORMAT_MPEG_LAYER_III;
    if (extension == "mp2")
        return SF_FORMAT_MPEG_LAYER_II;
    return 0;
}

// The encoding a format falls back to when it cannot store the input's.
int naturalSubtype(int majorFormat, int inputSubtype)
{
    bool floatInput = inputSubtype == SF_FORMAT_FLOAT || inputSubtype == SF_FORMAT_DOUBLE
        || inputSubtype == SF_FORMAT_VORBIS || inputSubtype == SF_FORMAT_OPUS
        || inputSubtype == SF_FORMAT_MPEG_LAYER_I || inputSubtype == SF_FORMAT_MPEG_LAYER_II
        || inputSubtype == SF_FORMAT_MPEG_LAYER_III;
    switch (majorFormat) {
    case SF_FORMAT_FLAC: return floatInput ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_16;
    case SF_FORMAT_OGG: return SF_FORMAT_VORBIS;
    case SF_FORMAT_MPEG: return SF_FORMAT_MPEG_LAYER_III;
    default: return floatInput ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16;
    }
}

// The library reads what a cut file holds and notes in its log, on the line
// of the audio chunk ("data" in WAV, "SSND" in AIFF), the length the header
// gave and the length present: "data : 617400 (should be 176400)".
std::string cutShortWarning(SNDFILE* sound, const SF_INFO& info, const std::string& path)
{
    constexpr int kLogCapacity = 16384;
    std::string log(kLogCapacity, '\0');
    sf_command(sound, SFC_GET_LOG_INFO, log.data(), kLogCapacity);
    std::istringstream lines(log.c_str());
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("data", 0) != 0 && line.rfind("SSND", 0) != 0)
            continue;
        long long promised = 0, present = 0;
        if (std::sscanf(line.c_str(), "%*[^:]: %lld (should be %lld)", &promised, &present) != 2
            || present <= 0 || promised <= present)
            continue;
        const double heldSeconds = static_cast<double>(info.frames) / info.samplerate;
        const double promisedSeconds
            = heldSeconds * static_cast<double>(promised) / static_cast<double>(present);
        char text[512];
        std::snprintf(text, sizeof text,
            "%s is cut short: its header promises %.2f s of audio, the file holds %.2f s "
            "(read as it is)",
            path.c_str(), promisedSeconds, heldSeconds);
        return text;
    }
    return "";
}

// A write into memory, thrown away: whether the library can write the format
// at this rate and channel count, without touching any file.
class DiscardedSound {
public:
    static sf_count_t length(void* self) { return size(self); }
    static sf_count_t seek(sf_count_t offset, int whence, void* self)
    {
        auto& sound = *static_cast<DiscardedSound*>(self);
        const sf_count_t base = whence == SEEK_CUR ? sound.position
            : whence == SEEK_END                   ? size(self)
                                                   : 0;
        sound.position = std::max<sf_count_t>(0, base + offset);
        return sound.position;
    }
    static sf_count_t read(void*, sf_count_t, void*) { return 0; }
    static sf_count_t write(const void*, sf_count_t count, void* self)
    {
        auto& sound = *static_cast<DiscardedSound*>(self);
        sound.position += count;
        sound.end = std::max(sound.end, sound.position);
        return count;
    }
    static sf_count_t tell(void* self) { return static_cast<DiscardedSound*>(self)->position; }

private:
    static sf_count_t size(void* self) { return static_cast<DiscardedSound*>(self)->end; }
    sf_count_t position = 0;
    sf_count_t end = 0;
};

// The rates an MPEG audio stream can carry (MPEG-1, 2 and 2.5). Asked for
// another, the library's encoder fails to open and leaks what it set up, so
// those are answered here.
bool mpegCarriesRate(int sampleRate)
{
    constexpr int kMpegRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    return std::find(std::begin(kMpegRates), std::end(kMpegRates), sampleRate)
        != std::end(kMpegRates);
}

bool libraryWrites(int format, int sampleRate, int channels)
{
    if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG && !mpegCarriesRate(sampleRate))
        return false;
    SF_INFO info {};
    info.format = format;
    info.samplerate = sampleRate;
    info.channels = channels;
    if (!sf_format_check(&info))
        return false;
    SF_VIRTUAL_IO io {&DiscardedSound::length, &DiscardedSound::seek, &DiscardedSound::read,
        &DiscardedSound::write, &DiscardedSound::tell};
    DiscardedSound target;
    SNDFILE* sound = sf_open_virtual(&io, SFM_WRITE, &info, &target);
    if (!sound)
        return false;
    constexpr int kTrialFrames = 64;
    std::vector<float> silence(static_cast<std::size_t>(kTrialFrames * channels), 0.0f);
    const bool wrote = sf_writef_float(sound, silence.data(), kTrialFrames) == kTrialFrames;
    return sf_close(sound) == 0 && wrote;
}

// Whether the library writes the format at all (the check of a format word
// alone passes some pairs it cannot write, such as MP3 data in WAV).
bool formatIsValid(int format)
{
    constexpr int kTrialRate = 44100;
    return libraryWrites(format, kTrialRate, 1);
}

} // namespace

std::optional<Failure> readAudioFile(
    const std::string& path, AudioFile& file, std::string* cutShort)
{
    struct stat status { };
    if (stat(path.c_str(), &status) != 0)
        return Failure {"cannot open " + path + ": " + std::strerror(errno), kExitInput};
    if (S_ISDIR(status.st_mode))
        return Failure {"cannot read " + path + ": it is a folder", kExitInput};
    if (S_ISREG(status.st_mode) && status.st_size == 0)
        return Failure {"cannot read " + path + ": the file is empty", kExitInput};
    SF_INFO info {};
    SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &info);
    if (!sound)
        return Failure {"cannot read " + path + ": " + sf_strerror(nullptr), kExitInput};
    if (info.channels < 1 || info.samplerate < 1) {
        sf_close(sound);
        return Failure {"cannot read " + path + ": no channels or no sample rate", kExitInput};
    }
    if (cutShort)
        *cutShort = cutShortWarning(sound, info, path);
    file.sampleRate = info.samplerate;
    file.channels = info.channels;
    file.format = info.format;
    file.samples.clear();
    if (info.frames > 0)
        reserveHugeSamples(file.samples, static_cast<std::size_t>(info.frames));

    std::vector<float> block(static_cast<std::size_t>(kIoBlockFrames * info.channels));
    const float channelWeight = 1.0f / static_cast<float>(info.channels);
    for (;;) {
        sf_count_t frames = sf_readf_float(sound, block.data(), kIoBlockFrames);
        if (frames <= 0)
            break;
        for (sf_count_t f = 0; f < frames; ++f) {
            const float* frame = &block[static_cast<std::size_t>(f * info.channels)];
            float sum = 0.0f;
            for (int c = 0; c < info.channels; ++c)
                sum += frame[c];
            float mixed = sum * channelWeight;
            file.samples.push_back(std::isfinite(mixed) ? mixed : 0.0f);
        }
    }
    bool failed = sf_error(sound) != SF_ERR_NO_ERROR;
    std::string error = failed ? sf_strerror(sound) : "";
    sf_close(sound);
    if (failed)
        return Failure {"cannot read " + path + ": " + error, kExitInput};
    if (file.samples.empty())
        return Failure {"cannot read " + path + ": the file holds no audio", kExitInput};
    return std::nullopt;
}

int outputFormatFor(const std::string& outputPath, int inputFormat)
{
    const std::string extension = extensionOf(outputPath);
    int major = majorFormatForExtension(extension);
    if (major == 0 && !extension.empty())
        return 0;
    if (major == 0)
        major = inputFormat & SF_FORMAT_TYPEMASK;
    if (const int named = subtypeForExtension(extension))
        return major | named;
    int subtype = inputFormat & SF_FORMAT_SUBMASK;
    int format = major | subtype;
    if (!formatIsValid(format))
        format = major | naturalSubtype(major, subtype);
    // A name without an extension takes WAV when the input's own format cannot
    // be written; a named format stays, for checkOutputFormat to refuse.
    if (!formatIsValid(format) && extension.empty())
        format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    return format;
}

std::optional<Failure> checkOutputFormat(
    const std::string& outputPath, int format, int sampleRate, int channels)
{
    const std::string extension = extensionOf(outputPath);
    if (format == 0)
        return Failure {"cannot write " + outputPath + ": no audio format is called ." + extension
                + " (use .wav, .flac, .aiff, .ogg, .opus or .mp3)",
            kExitUsage};
    if (!libraryWrites(format, sampleRate, channels))
        return Failure {"cannot write " + outputPath + ": the installed libsndfile cannot write "
                + (extension.empty() ? "this format" : "." + extension + " files") + " at "
                + std::to_string(sampleRate) + " Hz with " + std::to_string(channels)
                + (channels == 1 ? " channel" : " channels"),
            kExitUsage};
    return std::nullopt;
}

bool isFloatFormat(int format)
{
    int subtype = format & SF_FORMAT_SUBMASK;
    return subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
}

std::optional<Failure> writeAudioFile(const std::string& path, const std::vector<float>& samples,
    int sampleRate, int channels, int format, WriteReport& report)
{
    SF_INFO info {};
    info.samplerate = sampleRate;
    info.channels = std::max(1, channels);
    info.format = format;
    SNDFILE* sound = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!sound)
        return Failure {"cannot write " + path + ": " + sf_strerror(nullptr), kExitOutput};
    // Fixed-point output saturates at full scale rather than wrapping around.
    sf_command(sound, SFC_SET_CLIPPING, nullptr, SF_TRUE);

    report.clippedSamples = 0;
    if (!isFloatFormat(format))
        for (float s : samples)
            report.clippedSamples += std::fabs(s) > 1.0f ? 1 : 0;

    std::vector<float> block(static_cast<std::size_t>(kIoBlockFrames * info.channels));
    bool failed = false;
    for (std::size_t start = 0; start < samples.size() && !failed;
         start += static_cast<std::size_t>(kIoBlockFrames)) {
        std::size_t count
            = std::min(samples.size() - start, static_cast<std::size_t>(kIoBlockFrames));
        for (std::size_t i = 0; i < count; ++i)
            std::fill_n(&block[i * static_cast<std::size_t>(info.channels)], info.channels,
                samples[start + i]);
        sf_count_t written = sf_writef_float(sound, block.data(), static_cast<sf_count_t>(count));
        failed = written != static_cast<sf_count_t>(count);
    }
    std::string error = failed ? sf_strerror(sound) : "";
    if (sf_close(sound) != 0 && !failed) {
        failed = true;
        error = "closing failed";
    }
    if (failed) {
        std::remove(path.c_str());
        return Failure {"cannot write " + path + ": " + error, kExitOutput};
    }
    return std::nullopt;
}
