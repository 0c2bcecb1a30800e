// Byte-order helpers for the file headers and sample words of the Linear PCM and WAVE code.
// They work byte by byte, so the addresses need no alignment and the host's order does not matter.
#pragma once

#include <cstdint>

namespace quillset::lpcm {

inline uint32_t ReadLE16(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8;
}
inline uint32_t ReadLE32(const uint8_t* p) {
    return ReadLE16(p) | ReadLE16(p + 2) << 16;
}

inline void WriteLE16(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

inline void WriteLE32(uint8_t* p, uint32_t value) {
    WriteLE16(p, value);
    WriteLE16(p + 2, value >> 16);
}

// A signed 16-bit sample stored little-endian / big-endian.
inline int32_t ReadSampleLE(const uint8_t* p) {
    return static_cast<int16_t>(p[0] | p[1] << 8);
}
inline int32_t ReadSampleBE(const uint8_t* p) {
    return static_cast<int16_t>(p[0] << 8 | p[1]);
}

inline void WriteSampleBE(uint8_t* p, int32_t value) {
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
}

inline void WriteSampleLE(uint8_t* p, int32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

} // namespace quillset::lpcm
