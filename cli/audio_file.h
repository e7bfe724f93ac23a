// Reading and writing audio files through libsndfile: WAV, FLAC, AIFF, OGG
// and whatever else the library knows, at any sample rate.
#pragma once

#include "cli/command_line.h"

#include <optional>
#include <string>
#include <vector>

struct AudioFile {
    std::vector<float> samples; // the voice: every channel mixed down to one
    int sampleRate = 44100;
    int channels = 1;
    int format = 0; // libsndfile's SF_FORMAT_* word (major format | subtype)
};

// Reads the whole file and averages its channels into one. `cutShort`, when
// given, receives a warning for a file whose header promises more audio than
// it holds (what it holds is read); it stays empty otherwise.
std::optional<Failure> readAudioFile(
    const std::string& path, AudioFile& file, std::string* cutShort = nullptr);

// The format of an output file: the one its extension names (.wav, .flac, .aif,
// .aiff, .ogg, .opus, .mp3 and the other extensions the library knows), the
// input's when the name has no extension, 0 for an extension naming no format;
// the input's sample encoding where the format takes it, else the format's
// natural one.
int outputFormatFor(const std::string& outputPath, int inputFormat);

// Refuses (exit 2), before any work, an output the installed library cannot
// write: an unknown extension, or a format that takes neither the rate nor
// the channel count (MP3 without an encoder, MP3 at 96 kHz, ...).
std::optional<Failure> checkOutputFormat(
    const std::string& outputPath, int format, int sampleRate, int channels);

// True when the format stores floating-point samples, which never clip.
bool isFloatFormat(int format);

// What writing did besides writing.
struct WriteReport {
    long clippedSamples = 0; // samples beyond full scale in a fixed-point format
};

// Writes samples to every one of `channels` channels. Fixed-point formats clip
// at full scale (libsndfile saturates instead of wrapping); the count of such
// samples is reported so that the caller can warn.
std::optional<Failure> writeAudioFile(const std::string& path, const std::vector<float>& samples,
    int sampleRate, int channels, int format, WriteReport& report);
