// The MotionEstimate (telescopic) algorithm: the coarse block is followed through every
// picture between the current one and the reference, one picture at a time, each step
// predicted from the motion found so far; full-sample candidates around the coarse result and
// half-sample refinement finish it. Shared by the built-in classes and the outside packages,
// which reach the pictures in between through the buffer handles (GetPrevBuffer,
// GetNextBuffer) and compile this file into themselves.
#pragma once

#include <cstdint>
#include <type_traits>

#include "encoder/kernels/kernel_table.h"
#include "encoder/video/motion/motion_search_buffer.h"
#include "encoder/video/motion/motion_search_types.h"

namespace quillset {

// The coarse window radius (in sum-picture units) for MPEG-2 and MPEG-1 streams.
inline constexpr int32_t kMotionEstimateRadiusMpeg2 = 28;
inline constexpr int32_t kMotionEstimateRadiusMpeg1 = 7;

// The parameter block of the MotionEstimate entries (slots 128 to 130), in this order. The
// frame-mode class leaves the reference field sums null.
struct TMotionEstimatePackageParams {
    TMotionSearchBufferHandle* CurrentHandle = nullptr;
    TMotionSearchBufferHandle* ReferenceHandle = nullptr;
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
    int32_t Radius = 0; // R
    int32_t AlwaysHalfPel = 0;
    int32_t HalfPel = 0;
};
static_assert(std::is_standard_layout_v<TMotionEstimatePackageParams>);

// Frame search of the frame-mode class (`fieldModeClass` false: searches when c0 > 0, half
// samples with margin 256) or of the field-mode class (searches when c0 > 256, the final scan
// stops at a cost of at most 256, half samples with margin 128).
void MotionEstimateFrame(const TKernelTable& k, const TMotionEstimatePackageParams& p, bool fieldModeClass, int32_t x,
                         int32_t y, TMotionSearchResult& result);

// Field `parity` of the macroblock at (x, y) with its field sum picture `fieldSums`: the zero
// vector of both reference fields, the walk over the field sums of the pictures in between
// (the current field's block against the top and the bottom field sums, the two counts added),
// and a final 64-entry scan with field candidates; half samples with margin 128.
void MotionEstimateField(const TKernelTable& k, const TMotionEstimatePackageParams& p, const uint16_t* fieldSums,
                         int32_t x, int32_t y, int32_t parity, TMotionSearchResult& result);

} // namespace quillset
