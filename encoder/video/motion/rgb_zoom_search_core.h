// The RGB HighCQ search: the ZoomSearch pattern measured on the picture converted to RGB (so
// that chroma takes part in the match), with the chosen position then measured and refined on
// luma. Shared by the built-in class and the outside packages, which compile this file into
// themselves.
#pragma once

#include <cstdint>
#include <type_traits>

#include "encoder/kernels/kernel_table.h"
#include "encoder/video/motion/motion_search_types.h"

namespace quillset {

inline constexpr int32_t kRgbZoomSearchCount = 256;

// The parameter block of the RGBZoomSearch entry (slot 127), in this order.
struct TRGBZoomSearchPackageParams {
    const uint8_t* CurrentY = nullptr;
    const uint8_t* CurrentRgb = nullptr;
    const uint16_t* CurrentRgbSums = nullptr;
    const uint8_t* ReferenceY = nullptr;
    const uint8_t* ReferenceRgb = nullptr;
    const uint16_t* ReferenceRgbSums = nullptr;
    int32_t WidthMinus16 = 0;
    int32_t HalfWidthLimit = 0;
    int32_t HeightMinus16 = 0;
    int32_t HalfHeightLimit = 0;
    int32_t Width = 0;
    int32_t RgbPitch = 0;
    int32_t SumMaxX = 0; // (W div 4) - 4
    int32_t SumMaxY = 0; // (H div 4) - 4
    int32_t RgbSumPitch = 0;
    int32_t CoarseCount = kRgbZoomSearchCount;
    int32_t FineCount = kRgbZoomSearchCount;
    int32_t AlwaysHalfPel = 0;
    int32_t HalfPel = 0;
};
static_assert(std::is_standard_layout_v<TRGBZoomSearchPackageParams>);

// When the RGB zero-vector cost is above 0: CoarseCount coarse entries with SseRgbSums4x4
// (stopping at 0), FineCount full-sample entries with SadRgb16x16 around 4x the coarse best and,
// when the coarse best is not co-located, entries 1 to FineCount - 1 around the macroblock (each
// stopping at 0). The chosen position and the zero vector are then measured with the luma
// Sad16x16 and refined to half samples on luma (margin 256); the result's cost is the luma cost.
void RGBZoomSearchFrame(const TKernelTable& k, const TRGBZoomSearchPackageParams& p, int32_t x, int32_t y,
                        TMotionSearchResult& result);

} // namespace quillset
