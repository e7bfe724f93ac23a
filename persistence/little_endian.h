// Byte order of the files and chunks the plug-in writes: least significant
// byte first, whatever the machine's own order.
#pragma once

#include <bit>
#include <cstdint>

inline unsigned char* putUint16(unsigned char* out, uint16_t value)
{
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
    return out + 2;
}

inline unsigned char* putUint32(unsigned char* out, uint32_t value)
{
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
    out[2] = static_cast<unsigned char>(value >> 16);
    out[3] = static_cast<unsigned char>(value >> 24);
    return out + 4;
}

inline unsigned char* putInt32(unsigned char* out, int32_t value)
{
    return putUint32(out, static_cast<uint32_t>(value));
}

inline unsigned char* putFloat(unsigned char* out, float value)
{
    return putUint32(out, std::bit_cast<uint32_t>(value));
}

inline uint32_t getUint32(const unsigned char* in)
{
    return uint32_t {in[0]} | uint32_t {in[1]} << 8 | uint32_t {in[2]} << 16
        | uint32_t {in[3]} << 24;
}

inline int32_t getInt32(const unsigned char* in) { return static_cast<int32_t>(getUint32(in)); }

inline float getFloat(const unsigned char* in) { return std::bit_cast<float>(getUint32(in)); }
