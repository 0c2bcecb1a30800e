// The 20-byte header that opens the system's private Linear PCM stream.
//
// Layout (multi-byte fields little-endian):
//   0  4  "VDMS"
//   4  4  "LPCM"
//   8  2  version, 2
//  10  2  header size in bytes (at least 20; the samples start there)
//  12  1  bits per sample (16, 20 or 24)
//  13  4  sampling frequency in Hz (48000 or 96000)
//  17  1  channels (1 to 8)
//  18  1  emphasis flag (0 = none)
//  19  1  dynamic range control byte of the DVD audio packet header (0x80 = unity gain)
// The samples that follow are signed, big-endian, channels interleaved per sample time, in frames
// of 1/600 second.
#pragma once

#include <array>
#include <cstdint>

namespace quillset {

constexpr int32_t LPCMHeaderSize = 20;
constexpr int32_t LPCMHeaderVersion = 2;
constexpr uint8_t LPCMNoDynamicRangeControl = 0x80;
// Frames of 1/600 second: SamplingFrequency div LPCMFramesPerSecond sample times each.
constexpr int32_t LPCMFramesPerSecond = 600;

using TLinearPCMHeader = std::array<uint8_t, LPCMHeaderSize>;

// The fields of a private Linear PCM header.
struct TLinearPCMHeaderInfo {
    int32_t HeaderSize = LPCMHeaderSize;
    int32_t BitsPerSample = 16;
    int32_t SamplingFrequency = 48000;
    int32_t Channels = 2;
    uint8_t Emphasis = 0;
    uint8_t DynamicRangeControl = LPCMNoDynamicRangeControl;
};

// The header bytes of info (tags and version filled in).
TLinearPCMHeader BuildLPCMHeader(const TLinearPCMHeaderInfo& info);

// True when the first `count` bytes of data hold a whole, valid header: both tags, version 2,
// header size at least 20, 16, 20 or 24 bits, 48000 or 96000 Hz and 1 to 8 channels.
// Fewer than 20 bytes are never valid.
bool IsValidLPCMHeader(const void* data, int32_t count);

// The fields of a header; data must hold at least 20 bytes (not checked for validity).
TLinearPCMHeaderInfo ReadLPCMHeader(const void* data);

} // namespace quillset
