// The FastZoomSearch and ZoomSearch algorithms: a coarse search on the sum pictures (one sum
// per 4x4 luma block), full-sample candidates around the best coarse position and, when that
// is not the co-located one, around the macroblock itself, then half-sample refinement.
// Shared by the built-in classes and the outside packages (Mosrik3.so, Mosrik4.so), which
// compile this file into themselves: it depends on the kernel table's types and the search
// records only.
#pragma once

#include <cstdint>
#include <type_traits>

#include "encoder/kernels/kernel_table.h"
#include "encoder/video/motion/motion_search_types.h"

namespace quillset {

// The full-sample searches of FastZoomSearch run only above this zero-vector cost.
inline constexpr int32_t kFastZoomMinimumCost = 64;

// The parameter block of the FastZoomSearch entries (slots 121 to 123), in this order. The
// frame-mode class leaves the reference field sums null and sets Steps to {4, 0, 4, 0}; the
// field-mode class sets all four to 4.
struct TFastZoomSearchPackageParams {
    const uint8_t* CurrentY = nullptr;
    const uint16_t* CurrentSums = nullptr;
    const uint8_t* ReferenceY = nullptr;
    const uint16_t* ReferenceSums = nullptr;
    const uint16_t* ReferenceTopSums = nullptr;
    const uint16_t* ReferenceBottomSums = nullptr;
    int32_t WidthMinus16 = 0;
    int32_t HalfWidthLimit = 0;
    int32_t HeightMinus16 = 0;
    int32_t HalfHeightLimit = 0;
    int32_t Width = 0;
    int32_t SumMaxX = 0; // w4 - 4
    int32_t SumMaxY = 0; // h4 - 4
    int32_t SumPitch = 0; // bytes
    int32_t Steps[4] = {};
    int32_t AlwaysHalfPel = 0; // PackageFlag
    int32_t HalfPel = 0;       // PackageFlag
};
static_assert(std::is_standard_layout_v<TFastZoomSearchPackageParams>);

// The parameter block of the ZoomSearch entries (slots 124 to 126). The frame-mode classes
// leave the reference field sums null and the three field counts 0.
struct TZoomSearchPackageParams {
    const uint8_t* CurrentY = nullptr;
    const uint16_t* CurrentSums = nullptr;
    const uint8_t* ReferenceY = nullptr;
    const uint16_t* ReferenceSums = nullptr;
    const uint16_t* ReferenceTopSums = nullptr;
    const uint16_t* ReferenceBottomSums = nullptr;
    int32_t WidthMinus16 = 0;
    int32_t HalfWidthLimit = 0;
    int32_t HeightMinus16 = 0;
    int32_t HalfHeightLimit = 0;
    int32_t Width = 0;
    int32_t SumMaxX = 0;
    int32_t SumMaxY = 0;
    int32_t SumPitch = 0;
    int32_t CoarseCount = 0;      // N1
    int32_t FieldCoarseCount = 0;
    int32_t FineCount = 0;        // N2
    int32_t SecondCount = 0;      // N3
    int32_t FieldPreSearchCount = 0;
    int32_t FieldFineCount = 0;
    int32_t AlwaysHalfPel = 0;
    int32_t HalfPel = 0;
};
static_assert(std::is_standard_layout_v<TZoomSearchPackageParams>);

// FastZoomSearch. Frame: when the zero-vector cost c0 exceeds 64, coarse grid passes (steps 2,
// 1) with SseSums4x4 around the co-located coarse block, full-sample grid passes around 4x the
// coarse best (taken when better than c0), and, when the cost is still above 64 and the coarse
// best is not co-located, grid passes around the macroblock; half samples with margin 256.
void FastZoomSearchFrame(const TKernelTable& k, const TFastZoomSearchPackageParams& p, int32_t x, int32_t y,
                         TMotionSearchResult& result);
// Field `parity` of the macroblock at (x, y), whose field sum picture is `fieldSums` (the
// current picture's top or bottom field sums): the zero vector of both reference fields (the
// bottom one on a tie), coarse passes with SseSums4x4Best against both reference field sums,
// grid points measured in both reference fields; half samples with margin 256.
void FastZoomSearchField(const TKernelTable& k, const TFastZoomSearchPackageParams& p, const uint16_t* fieldSums,
                         int32_t x, int32_t y, int32_t parity, TMotionSearchResult& result);

// ZoomSearch. Frame: when c0 >= 1, N1 coarse spiral entries (stopping at a count of at most
// 8192), N2 full-sample entries around 4x the coarse best (stopping at 0), and entries 1 to
// N3 - 1 around the macroblock when the coarse best is not co-located; half samples, margin 256.
void ZoomSearchFrame(const TKernelTable& k, const TZoomSearchPackageParams& p, int32_t x, int32_t y,
                     TMotionSearchResult& result);
// Field: a pre-search of entries 1 to FieldPreSearchCount - 1 around the macroblock, a coarse
// spiral of FieldCoarseCount entries in `fieldSums` against both reference field sums, and
// FieldFineCount full-sample entries around 4x its best; half samples with margin 128.
void ZoomSearchField(const TKernelTable& k, const TZoomSearchPackageParams& p, const uint16_t* fieldSums, int32_t x,
                     int32_t y, int32_t parity, TMotionSearchResult& result);

} // namespace quillset
