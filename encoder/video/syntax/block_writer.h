// The block layer: intra DC differentials (Tables B.12, B.13) and run/level coding of the DCT
// levels (Tables B.14, B.15 with the MPEG-1 or MPEG-2 escape), in the picture's scan order over
// the transposed coefficient storage.
#pragma once

#include <cstdint>

#include "encoder/video/syntax/syntax_state.h"
#include "stream/bit_stream_writer.h"

namespace quillset {

// The coded block pattern of `count` non-intra blocks of 64 levels: block 0 in the most
// significant of `count` bits, a block counting as coded when any level is not 0.
uint32_t CodedBlockPatternOf(const int16_t* blocks, int32_t count);

// True when any of the `count` blocks has a non-zero level outside its element 0.
bool HasACLevels(const int16_t* blocks, int32_t count);

// Intra block `index` of the macroblock (0..3 luminance, then Cb, Cr alternately): the DC
// differential against the component's predictor (which takes the block's DC), then the AC
// levels and the end of block.
void PutIntraBlock(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, const int16_t* block, int32_t index);

// Non-intra block with at least one non-zero level: all levels from scan position 0 (table
// B.14, first coefficient run 0 / level +-1 as "1s"), then the end of block.
void PutNonIntraBlock(TLargeBitStreamWriter& writer, const TMPEGVideoSyntaxState& state, const int16_t* block);

} // namespace quillset
