// f_code choice per picture (ISO/IEC 13818-2, 6.3.10 and 7.6.3.1): the smallest range that
// holds every vector the picture codes.
#pragma once

#include <cstdint>
#include <span>

#include "encoder/video/macroblock_info.h"
#include "encoder/video/syntax/syntax_state.h"

namespace quillset {

// The largest |component| of the vectors of a picture, in half pels: [direction][axis] with
// direction 0 forward, 1 backward and axis 0 horizontal, 1 vertical.
using TMPEGVideoVectorExtent = std::array<std::array<int32_t, 2>, 2>;

// The f_code for vectors up to maxAbs half pels: 1 + the number of significant bits of
// (1 + maxAbs) >> 4, limited to 15 (MPEG-2) or 7 (MPEG-1).
int32_t FCodeForExtent(int32_t maxAbs, bool mpeg2);

// Gathers the extent over a picture's macroblocks: the vectors of the directions each
// non-intra macroblock uses; field vectors count their vertical component doubled.
TMPEGVideoVectorExtent MeasureVectorExtent(std::span<const TMBInfo> macroblocks);

// The f_codes of a picture: MPEG-2 I pictures 15 everywhere, P pictures 15 for the backward
// pair; MPEG-1 uses per direction the larger of the horizontal and vertical f_code in both
// entries (and 1 where a direction is not used).
TMPEGVideoFCodes ComputePictureFCodes(int32_t pictureCodingType, bool mpeg2, const TMPEGVideoVectorExtent& extent);

} // namespace quillset
