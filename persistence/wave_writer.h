// Writes a 16-bit PCM WAV file of two identical channels (44,100 Hz unless
// told otherwise): the 44-byte header once at open, then one stereo pair per
// sample.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr uint32_t kWaveSampleRate = 44100;
constexpr int kWaveChannels = 2;
constexpr int kWaveBitsPerSample = 16;
constexpr uint32_t kWaveBytesPerPair = kWaveChannels * kWaveBitsPerSample / 8; // 4
constexpr uint32_t kWaveHeaderSize = 44;
// The RIFF size field (36 + data size) must fit 32 bits.
constexpr uint32_t kMaxWaveSamples = (UINT32_MAX - (kWaveHeaderSize - 8)) / kWaveBytesPerPair;
constexpr int kWaveFullScale = 32767;

// The name a render writes to: path with ".wav" appended unless its file name
// already ends in a three-character extension (take.aif stays, mix becomes
// mix.wav, mix.wave becomes mix.wave.wav).
std::string withWaveExtension(const char* path);

// The rate a WAV header gives for audio computed at a host's sample rate:
// rounded to whole hertz; 44,100 for a rate no header can hold.
uint32_t waveSampleRateFor(double sampleRate);

// One 16-bit sample value: value x 32767 truncated toward zero, saturated at
// +-32767 (NaN gives 0).
int16_t waveSampleValue(float value);

class WaveWriter {
public:
    WaveWriter() = default;
    ~WaveWriter();
    WaveWriter(const WaveWriter&) = delete;
    WaveWriter& operator=(const WaveWriter&) = delete;

    // Creates (or truncates) the file named withWaveExtension(path) and writes
    // the header for sampleCount stereo pairs at sampleRate. False when the
    // file cannot be created, the header cannot be written or sampleCount
    // exceeds kMaxWaveSamples; nothing is left open then.
    bool open(const char* path, uint32_t sampleCount, uint32_t sampleRate = kWaveSampleRate);

    // One sample to both channels. False once a write has failed.
    bool writeSample(float value);

    // Flushes and closes; false if any write failed.
    bool close();

    bool isOpen() const { return file != nullptr; }
    // The file name open used.
    const std::string& filePath() const { return path; }

private:
    bool flush();

    std::FILE* file = nullptr;
    std::string path;
    std::vector<unsigned char> buffer;
    std::size_t buffered = 0;
    bool failed = false;
};
