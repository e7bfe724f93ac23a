#include "sound_files.h"

#include <gtest/gtest.h>

void writeSound(
    const std::string& path, const std::vector<float>& mono, int rate, int channels, int format)
{
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* sound = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(sound, nullptr) << sf_strerror(nullptr);
    std::vector<float> frames;
    for (float s : mono)
        for (int c = 0; c < channels; ++c)
            frames.push_back(c == 0 ? s : 0.8f * s); // the right channel a little softer
    sf_writef_float(sound, frames.data(), static_cast<sf_count_t>(mono.size()));
    sf_close(sound);
}

SoundFile readSound(const std::string& path)
{
    SoundFile file;
    SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &file.info);
    if (!sound)
        return file;
    file.interleaved.resize(static_cast<std::size_t>(file.info.frames * file.info.channels));
    sf_readf_float(sound, file.interleaved.data(), file.info.frames);
    sf_close(sound);
    return file;
}

std::vector<float> channel(const SoundFile& file, int c)
{
    std::vector<float> samples;
    for (std::size_t i = static_cast<std::size_t>(c); i < file.interleaved.size();
         i += static_cast<std::size_t>(file.info.channels))
        samples.push_back(file.interleaved[i]);
    return samples;
}
