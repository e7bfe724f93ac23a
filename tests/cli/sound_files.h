// Sound files the tests write and read back with libsndfile directly, not
// through the program's own file code.
#pragma once

#include <sndfile.h>
#include <string>
#include <vector>

struct SoundFile {
    std::vector<float> interleaved;
    SF_INFO info {};
};

// Writes a mono signal to `channels` channels; the channels after the first
// are a little softer, so that a mix-down is not just the first channel.
void writeSound(
    const std::string& path, const std::vector<float>& mono, int rate, int channels, int format);

SoundFile readSound(const std::string& path);

std::vector<float> channel(const SoundFile& file, int c);
