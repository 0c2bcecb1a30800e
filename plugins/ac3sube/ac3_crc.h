// The syncframe checks of A/52 7.10.1: CRC-16 with the generator x^16 + x^15 + x^2 + 1, most
// significant bit first, starting from 0. crc1 follows the syncword and makes the check over the
// first 5/8 of the frame (without the syncword) come out 0; crc2 ends the frame and does the same
// for the rest.
#pragma once

#include <cstdint>

namespace quillset::ac3sube {

// The CRC register after the bytes, starting from `crc`.
uint16_t Crc16(const uint8_t* data, int32_t size, uint16_t crc = 0);

// Fills bytes 2-3 (crc1) and the last two bytes (crc2) of a syncframe of frameBytes bytes, whose
// first 5/8 ends at byte firstPartBytes.
void PutFrameChecks(uint8_t* frame, int32_t frameBytes, int32_t firstPartBytes);

} // namespace quillset::ac3sube
