// The three-byte Linear PCM header of DVD-Video audio packets and its conversion to and from the
// system's private 20-byte Linear PCM header.
//   A: emphasis (bit 7), mute (bit 6), reserved (bit 5), audio frame number (bits 4-0)
//   B: quantisation (bits 7-6: 00 16, 01 20, 10 24 bits), sampling frequency (bits 5-4: 00 48 kHz,
//      01 96 kHz), reserved (bit 3), channels - 1 (bits 2-0)
//   C: dynamic range control (0x80 = unity gain)
#pragma once

#include <cstdint>

#include "encoder/audio/lpcm/lpcm_header.h"

namespace quillset {

// The DVD header bytes for a private header's fields and an audio frame number.
void BuildDVDLinearPCMHeader(const TLinearPCMHeaderInfo& info, int32_t frameNumber, uint8_t out[3]);

// The private header built from the DVD header bytes: bits per sample 16, 20, 24 (0 for the
// reserved code), 48000 or 96000 Hz (0 for the reserved codes), the channels, the emphasis flag
// and the dynamic range byte; the other bytes zero.
TLinearPCMHeader BuildLPCMHeaderFromDVD(const uint8_t dvd[3]);

} // namespace quillset
