// The per-quantiser tables of the quantisation kernels, rebuilt whenever the weighting
// matrices change: for every quantiser_scale_code 1..31 and coefficient position (transposed
// order) the quantiser step and rounding offset, the inverse-quantisation multiplier and the
// level limit that clip avoidance measures against, in integer and single-precision form.
#pragma once

#include <array>
#include <cstdint>

#include "encoder/video/quant_matrix.h"

namespace quillset {

// One row: the 64 positions of one quantiser code.
template <typename T>
using TQuantRow = std::array<T, 64>;

// Tables of one kind (intra or non-intra); index 0 (no code) is unused.
struct TQuantiserKindTables {
    std::array<TQuantRow<int32_t>, 32> Divisor{}; // 8 x s x weight (x 128 scale of the kernels)
    std::array<TQuantRow<int32_t>, 32> Offset{};  // rounding offset on the x 128 scale
    std::array<TQuantRow<float>, 32> Factor{};    // 128 / Divisor
    std::array<TQuantRow<float>, 32> FloatOffset{}; // Offset / 128, in coefficient units
    std::array<TQuantRow<int32_t>, 32> Multiplier{}; // s x weight (intra DC: 0)
    std::array<TQuantRow<float>, 32> DequantFactor{}; // intra s x W / 16, non-intra s x V / 32
    TQuantRow<int32_t> LimitWeight{}; // level limit L x weight (intra DC: unlimited)
    TQuantRow<float> LimitFactor{};   // 16 / LimitWeight (intra DC: 0)
};

struct TQuantiserTables {
    TQuantiserKindTables Intra;
    TQuantiserKindTables NonIntra;
    bool MPEG2 = true;
    int32_t DCPrecision = 0;
    int32_t IntraDCMultiplier = 8;    // 8 >> intra_dc_precision (ISO/IEC 13818-2, Table 7-4)
    int32_t LargestScale = 112;       // of code 31: 112 (MPEG-2) or 62 (MPEG-1)
};

// Builds the tables for the raster-order matrices. quantModeIntra / quantModeNonIntra (0..1,
// limited) move the rounding from nearest (0) toward truncation (1).
void BuildQuantiserTables(TQuantiserTables& tables, const TQuantMatrix& intraMatrix, const TQuantMatrix& nonIntraMatrix,
                          bool mpeg2, int32_t dcPrecision, double quantModeIntra, double quantModeNonIntra);

} // namespace quillset
