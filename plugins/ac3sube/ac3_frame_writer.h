// The syntax of an AC-3 syncframe (A/52 5.3 and 5.4): syncinfo, bit stream information, six
// audio blocks, auxiliary padding and the error check.
#pragma once

#include <cstdint>

#include "plugins/ac3sube/ac3_bit_writer.h"
#include "plugins/ac3sube/ac3_frame.h"

namespace quillset::ac3sube {

// Bits of syncinfo and bsi.
int32_t FrameHeaderBits(const TAC3StreamSetup& setup);

// The side information of audio block `block` without its mantissas (as the frame stands: the
// strategies, bandwidth and rematrixing decided, the values of the SNR offset not needed).
int32_t BlockSideBits(const TAC3Frame& frame, int32_t block);

// Bits at the end of every frame: auxdatae, crcrsv, crc2.
constexpr int32_t kFrameTrailerBits = 18;

// The first 5/8 of a frame of `words` words, in words (A/52 7.10.1).
inline int32_t FirstPartWords(int32_t words) { return (words >> 1) + (words >> 3); }

// Writes the whole frame into bytes (2 × FrameWords), padding with zero bits and filling both
// CRCs. The frame's bits must fit (the encoder checks them before).
void WriteFrame(const TAC3Frame& frame, uint8_t* bytes);

} // namespace quillset::ac3sube
