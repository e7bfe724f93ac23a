#include "cli/audio_file.h"

#include "cli/huge_pages.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sndfile.h>
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
    if (extension == "ogg" || extension == "oga")
        return SF_FORMAT_OGG;
    return 0;
}

// The encoding a format falls back to when it cannot store the input's.
int naturalSubtype(int majorFormat, int inputSubtype)
{
    bool floatInput = inputSubtype == SF_FORMAT_FLOAT || inputSubtype == SF_FORMAT_DOUBLE
        || inputSubtype == SF_FORMAT_VORBIS || inputSubtype == SF_FORMAT_OPUS;
    switch (majorFormat) {
    case SF_FORMAT_FLAC: return floatInput ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_16;
    case SF_FORMAT_OGG: return SF_FORMAT_VORBIS;
    default: return floatInput ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16;
    }
}

bool formatIsValid(int format)
{
    SF_INFO info {};
    info.format = format;
    info.channels = 1;
    info.samplerate = 44100;
    return sf_format_check(&info) != 0;
}

} // namespace

std::optional<Failure> readAudioFile(const std::string& path, AudioFile& file)
{
    struct stat status { };
    if (stat(path.c_str(), &status) != 0)
        return Failure {"cannot open " + path + ": " + std::strerror(errno), kExitInput};
    if (S_ISDIR(status.st_mode))
        return Failure {"cannot read " + path + ": it is a folder", kExitInput};
    SF_INFO info {};
    SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &info);
    if (!sound)
        return Failure {"cannot read " + path + ": " + sf_strerror(nullptr), kExitInput};
    if (info.channels < 1 || info.samplerate < 1) {
        sf_close(sound);
        return Failure {"cannot read " + path + ": no channels or no sample rate", kExitInput};
    }
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
    int major = majorFormatForExtension(extensionOf(outputPath));
    if (major == 0)
        major = inputFormat & SF_FORMAT_TYPEMASK;
    int subtype = inputFormat & SF_FORMAT_SUBMASK;
    int format = major | subtype;
    if (!formatIsValid(format))
        format = major | naturalSubtype(major, subtype);
    if (!formatIsValid(format))
        format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    return format;
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
