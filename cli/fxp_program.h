// A standard VST 2 program file (FXP) holding the plug-in's chunk as an opaque
// block, as hosts save and load one program of a chunk-based plug-in. Every
// integer of the header is big-endian; the chunk is copied as it is.
#pragma once

#include "cli/command_line.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr int kFxpHeaderLength = 60;
constexpr int kFxpFormatVersion = 1;
constexpr int kFxpNameLength = 28;

struct FxpIdentity {
    int32_t uniqueId = 0;
    int32_t version = 0;
    int32_t numParams = 0;
};

// The whole file: header, program name (cut to 27 characters, zero-padded) and chunk.
std::vector<uint8_t> makeFxpProgram(const FxpIdentity& identity, const std::string& name,
    const uint8_t* chunk, std::size_t chunkSize);

std::optional<Failure> writeFxpFile(const std::string& path, const std::vector<uint8_t>& bytes);
