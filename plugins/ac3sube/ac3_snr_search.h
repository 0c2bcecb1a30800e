// The search for the SNR offsets that fill a frame (A/52 7.2.2.6: the bap of every mantissa
// follows from the masking curve and the offset). The frame's side information is settled; the
// offsets decide the mantissa bits.
#pragma once

#include <cstdint>

#include "plugins/ac3sube/ac3_bit_allocation.h"
#include "plugins/ac3sube/ac3_frame.h"

namespace quillset::ac3sube {

// curves[ch][block] is the masking curve of the exponent set in force in that block. On return
// the frame's SnrOffset and the Bap of every block and channel are set: the largest common offset
// whose bits fit the frame (and keep blocks 0 and 1 inside its first 5/8), then, with what is
// left, single blocks and channels raised step by step. Raising the offset never lowers a bap,
// so the bits grow with it but for the rounding of grouped mantissas. hint, the previous
// frame's common offset, only speeds the search up; the common offset found is returned.
int32_t SearchSnrOffsets(TAC3Frame& frame, const TMaskCurve* const (*curves)[kBlocksPerFrame], int32_t hint);

} // namespace quillset::ac3sube
