// Statistics of the four luminance blocks of a macroblock, in frame arrangement (the blocks of
// frame DCT) or field arrangement (the blocks of field DCT), of source pixels or of the
// residual against a prediction.
//
// A block's variance is Q / 64 - (S / 64)^2 with S the kernel's sum (of pixels; of absolute
// differences for residuals) and Q its sum of squares.
#pragma once

#include <cstdint>

#include "encoder/kernels/kernel_table.h"

namespace quillset {

struct TBlockStats {
    double Total = 0.0; // sum of the four variances
    double Max = 0.0;
    double Min = 0.0;
    double QSum = 0.0;  // sum of the four sums of squares
};

// Source statistics of the 16x16 luminance area at `src` (pitch `pitch`).
TBlockStats SourceFrameStats(const TKernelTable& k, const uint8_t* src, int32_t pitch);
// Field arrangement: per field the sum, larger and smaller of its two block variances; Total
// adds both fields' sums, Max their larger, Min their smaller values.
TBlockStats SourceFieldStats(const TKernelTable& k, const uint8_t* src, int32_t pitch);

// Residual statistics against a packed 16x16 prediction.
TBlockStats ResidualFrameStats(const TKernelTable& k, const uint8_t* src, int32_t pitch, const uint8_t* packed);
// Field arrangement: each figure is twice the larger of the top-field and bottom-field figure.
TBlockStats ResidualFieldStats(const TKernelTable& k, const uint8_t* src, int32_t pitch, const uint8_t* packed);

} // namespace quillset
