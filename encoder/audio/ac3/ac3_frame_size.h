// AC-3 syncframe sizes (ATSC A/52, Table 5.18).
#pragma once

#include <cstdint>

namespace quillset {

constexpr uint8_t AC3SyncByte0 = 0x0B; // the syncword 0x0B77, high byte first
constexpr uint8_t AC3SyncByte1 = 0x77;

// Words (16 bits) of a syncframe by fscod (0 48 kHz, 1 44.1 kHz, 2 32 kHz) and frmsizecod
// (0 .. 37); 0 for the reserved fscod 3 and for frmsizecod above 37.
int32_t AC3FrameWords(int32_t fscod, int32_t frmsizecod);

// Bytes of the syncframe whose first five bytes (syncword, crc1, fscod and frmsizecod) are at
// header; 0 when they do not begin a syncframe.
int32_t AC3FrameBytes(const uint8_t* header);

} // namespace quillset
