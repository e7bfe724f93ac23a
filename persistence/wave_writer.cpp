#include "persistence/wave_writer.h"

#include "persistence/little_endian.h"

#include <cmath>
#include <cstring>

namespace {

constexpr std::size_t kExtensionLength = 4; // ".wav", ".aif"
constexpr std::size_t kBufferBytes = 64 * 1024;
constexpr uint16_t kPcmFormat = 1;
constexpr uint32_t kFormatChunkSize = 16;

unsigned char* putTag(unsigned char* out, const char (&tag)[5])
{
    std::memcpy(out, tag, 4);
    return out + 4;
}

} // namespace

std::string withWaveExtension(const char* path)
{
    std::string name = path;
    std::size_t length = name.size();
    // The fourth-last character must be the dot of an extension of the file
    // name itself, not of a folder above it.
    bool hasExtension = length >= kExtensionLength && name[length - kExtensionLength] == '.'
        && name.find('/', length - kExtensionLength) == std::string::npos;
    if (!hasExtension)
        name += ".wav";
    return name;
}

int16_t waveSampleValue(float value)
{
    // Single precision, as the sample itself: 0.49999 gives 16383.
    float scaled = value * static_cast<float>(kWaveFullScale);
    if (!(scaled > -kWaveFullScale)) // NaN falls through to the next test
        return std::isnan(scaled) ? 0 : -kWaveFullScale;
    if (scaled >= kWaveFullScale)
        return kWaveFullScale;
    return static_cast<int16_t>(std::trunc(scaled));
}

WaveWriter::~WaveWriter() { close(); }

uint32_t waveSampleRateFor(double sampleRate)
{
    constexpr double kHighestRate = UINT32_MAX / kWaveBytesPerPair;
    const double rounded = std::round(sampleRate);
    if (!(rounded >= 1.0 && rounded <= kHighestRate))
        return kWaveSampleRate;
    return static_cast<uint32_t>(rounded);
}

bool WaveWriter::open(const char* fileName, uint32_t sampleCount, uint32_t sampleRate)
{
    close();
    failed = false;
    if (!fileName || sampleCount > kMaxWaveSamples)
        return false;
    path = withWaveExtension(fileName);
    file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    buffer.resize(kBufferBytes);
    buffered = 0;

    uint32_t dataSize = sampleCount * kWaveBytesPerPair;
    unsigned char* out = buffer.data();
    out = putTag(out, "RIFF");
    out = putUint32(out, kWaveHeaderSize - 8 + dataSize);
    out = putTag(out, "WAVE");
    out = putTag(out, "fmt ");
    out = putUint32(out, kFormatChunkSize);
    out = putUint16(out, kPcmFormat);
    out = putUint16(out, kWaveChannels);
    out = putUint32(out, sampleRate);
    out = putUint32(out, sampleRate * kWaveBytesPerPair);
    out = putUint16(out, kWaveBytesPerPair);
    out = putUint16(out, kWaveBitsPerSample);
    out = putTag(out, "data");
    out = putUint32(out, dataSize);
    buffered = static_cast<std::size_t>(out - buffer.data());
    if (!flush()) {
        std::fclose(file);
        file = nullptr;
        return false;
    }
    return true;
}

bool WaveWriter::writeSample(float value)
{
    if (!file || failed)
        return false;
    if (buffered + kWaveBytesPerPair > buffer.size() && !flush())
        return false;
    auto bits = static_cast<uint16_t>(waveSampleValue(value));
    unsigned char* out = buffer.data() + buffered;
    out = putUint16(out, bits); // left
    putUint16(out, bits); // right
    buffered += kWaveBytesPerPair;
    return true;
}

bool WaveWriter::flush()
{
    if (buffered > 0 && std::fwrite(buffer.data(), 1, buffered, file) != buffered)
        failed = true;
    buffered = 0;
    return !failed;
}

bool WaveWriter::close()
{
    if (!file)
        return false;
    bool written = flush();
    if (std::fclose(file) != 0)
        written = false;
    file = nullptr;
    return written;
}
