#include "cli/fxp_program.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void appendBigEndian(std::vector<uint8_t>& bytes, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<uint8_t>(value >> shift));
}

void appendTag(std::vector<uint8_t>& bytes, const char (&tag)[5])
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<uint8_t>(tag[i]));
}

} // namespace

std::vector<uint8_t> makeFxpProgram(const FxpIdentity& identity, const std::string& name,
    const uint8_t* chunk, std::size_t chunkSize)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(kFxpHeaderLength + chunkSize);
    appendTag(bytes, "CcnK");
    appendBigEndian(bytes, static_cast<uint32_t>(kFxpHeaderLength - 8 + chunkSize));
    appendTag(bytes, "FPCh");
    appendBigEndian(bytes, kFxpFormatVersion);
    appendBigEndian(bytes, static_cast<uint32_t>(identity.uniqueId));
    appendBigEndian(bytes, static_cast<uint32_t>(identity.version));
    appendBigEndian(bytes, static_cast<uint32_t>(identity.numParams));
    // The name field always ends with at least one zero byte.
    std::size_t nameLength = std::min<std::size_t>(name.size(), kFxpNameLength - 1);
    bytes.insert(bytes.end(), name.begin(), name.begin() + static_cast<long>(nameLength));
    bytes.insert(bytes.end(), kFxpNameLength - nameLength, 0);
    appendBigEndian(bytes, static_cast<uint32_t>(chunkSize));
    if (chunkSize > 0)
        bytes.insert(bytes.end(), chunk, chunk + chunkSize);
    return bytes;
}

std::optional<Failure> writeFxpFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return Failure {"cannot write " + path + ": " + std::strerror(errno), kExitOutput};
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int error = errno;
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        std::remove(path.c_str());
        return Failure {"cannot write " + path + ": " + std::strerror(error), kExitOutput};
    }
    return std::nullopt;
}
