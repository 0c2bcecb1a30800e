// The macroblock layer of ISO/IEC 11172-2 / 13818-2: address increment and skipping,
// macroblock_type, motion and DCT types, quantiser, motion vectors, coded block pattern and the
// blocks of DCT levels.
#pragma once

#include <cstdint>

#include "encoder/video/macroblock_info.h"
#include "encoder/video/syntax/syntax_state.h"
#include "stream/bit_stream_writer.h"

namespace quillset {

// Writes macroblock (mbX, mbY) of the picture whose header was written last. Macroblocks of a
// picture are handed over in raster order, each exactly once; one that starts a slice (every
// row in MPEG-2, the first macroblock in MPEG-1) gets its slice header first, with its own
// quantiser.
//
// mb: Flags (intra, forward, backward, field DCT, no residual), MotionType, the vectors of the
// directions used (field prediction only when the picture is coded with
// frame_pred_frame_dct 0; every vector within the range of the picture's f_codes), and
// QuantiserCode (1..31). In I pictures every macroblock is intra. In P pictures a non-intra
// macroblock without the forward flag is predicted from the reference with vector (0, 0).
//
// blocks: BlocksPerMacroblock x 64 quantised levels in the transposed coefficient storage
// (block 0 at blocks[0..63]); unread when the macroblock is marked no-residual. An intra
// block's element 0 is its DC level on the level-shifted scale: (DC coefficient - 1024) /
// (8 >> intra_dc_precision), so that the predictor reset value is 0. Levels lie within what
// the escape codes can carry (MPEG-2 -2047..2047, MPEG-1 -255..255); other values are limited.
//
// The writer decides what the levels and vectors allow: a non-intra macroblock with no coded
// block may be skipped (P: frame prediction, forward, vector (0, 0); B: frame prediction, the
// directions of the previous macroblock, the vectors equal to the predictors; never the first
// or last macroblock of a slice). On return mb.CodedBlockPattern holds the pattern written
// (derived from the levels: a non-intra block is coded when any level is not 0), and
// mb.Skipped tells whether the macroblock was skipped; the function returns the same.
bool WriteMacroblock(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, int32_t mbX, int32_t mbY,
                     TMBInfo& mb, const int16_t* blocks);

} // namespace quillset
