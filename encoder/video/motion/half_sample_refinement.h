// Refinement of a full-sample search result to half-sample precision (ISO/IEC 13818-2, 7.6.3:
// a half-sample vector predicts from the rounded average of the neighbouring samples, which is
// what the V, H and HV block-measure variants compute).
//
// Both functions try the eight HalfPelNeighbours of the full-sample best (bx, by) in order and
// keep a neighbour when its cost is strictly below the best so far; then they write the whole
// result. They refine only when `cost` > 0, half samples are allowed (TSearchArea::HalfPel) and
// either `cost` < `zeroCost` - margin or TSearchArea::AlwaysHalfPel is set; otherwise the
// result is the full-sample one.
#pragma once

#include <cstdint>

#include "encoder/kernels/kernel_table.h"
#include "encoder/video/motion/motion_search_types.h"
#include "encoder/video/motion/search_area.h"

namespace quillset {

// The gain over the zero vector below which frame and field searches skip the refinement.
inline constexpr int32_t kFrameHalfSampleMargin = 256;
inline constexpr int32_t kFieldHalfSampleMargin = 128;

// Frame prediction of the macroblock at (x, y); (bx, by) a valid frame candidate with `cost`.
// Neighbours outside 0 <= hx <= 2W - 32, 0 <= hy <= 2H - 32 are skipped. Writes FieldSelect 0,
// MvX = hx - 2x, MvY = hy - 2y, BestX/BestY = (bx, by) and the best cost.
void RefineFrameHalfSample(const TKernelTable& k, const TSearchArea& a, int32_t x, int32_t y, int32_t bx, int32_t by,
                           int32_t cost, int32_t zeroCost, TMotionSearchResult& result);
// The same with another margin (the field-mode MotionEstimate class refines its frame vectors
// with kFieldHalfSampleMargin).
void RefineFrameHalfSampleWithMargin(const TKernelTable& k, const TSearchArea& a, int32_t x, int32_t y, int32_t bx,
                                     int32_t by, int32_t cost, int32_t zeroCost, int32_t margin,
                                     TMotionSearchResult& result);

// Field prediction of field `parity` of the macroblock at (x, y); (bx, by) a valid field
// candidate with `cost`. The reference field is FieldSelect = by mod 2; half-sample field rows
// g start at 2 * (by div 2), and a neighbour is skipped unless 0 <= hx <= 2W - 32, g >= 0 and
// 2 * (g div 2 + g mod 2) + FieldSelect <= H - 16. Writes MvX = hx - 2x, MvY = g - y (field
// rows in half samples), BestX/BestY = (bx, by) and the best cost.
void RefineFieldHalfSample(const TKernelTable& k, const TSearchArea& a, int32_t x, int32_t y, int32_t parity,
                           int32_t bx, int32_t by, int32_t cost, int32_t zeroCost, int32_t margin,
                           TMotionSearchResult& result);

} // namespace quillset
