// The FastSearch algorithm: grid passes around the co-located macroblock, then half-sample
// refinement. Shared by the built-in FastSearch classes and the outside packages
// (Mosrik3.so, Mosrik4.so), which compile this file into themselves: it depends on the kernel
// table's types and the search records only, never on encoder objects.
#pragma once

#include <cstdint>
#include <type_traits>

#include "encoder/kernels/kernel_table.h"
#include "encoder/video/motion/motion_search_types.h"
#include "encoder/video/motion/search_area.h"

namespace quillset {

// The frame step of a current picture: 2 for B pictures (one 3x3 pass), else 4 (passes at
// distance 2, then 1).
inline constexpr int32_t kFastSearchStepB = 2;
inline constexpr int32_t kFastSearchStepPI = 4;

// The parameter block the FastSearch package entries receive (slots 118 to 120), in this order.
// The frame-mode search sets FieldStep to 0; the field-mode search sets it to FrameStep.
struct TFastSearchPackageParams {
    const uint8_t* CurrentY = nullptr;   // pitch Width
    const uint8_t* ReferenceY = nullptr; // pitch Width
    int32_t WidthMinus16 = 0;            // W - 16
    int32_t HalfWidthLimit = 0;          // 2W - 32
    int32_t HeightMinus16 = 0;           // H - 16
    int32_t HalfHeightLimit = 0;         // 2H - 32
    int32_t Width = 0;                   // W
    int32_t FrameStep = 0;
    int32_t FieldStep = 0;
    int32_t AlwaysHalfPel = 0;           // PackageFlag
    int32_t HalfPel = 0;                 // PackageFlag
};
static_assert(std::is_standard_layout_v<TFastSearchPackageParams>);

TFastSearchPackageParams MakeFastSearchPackageParams(const TSearchArea& area, int32_t frameStep, int32_t fieldStep);

// Frame search of the macroblock at (x, y) (multiples of 16, inside the picture): the zero
// vector's cost c0; when c0 >= 1, grid passes with frame candidates from step (step + 1) div 2;
// then half-sample refinement against c0.
void FastSearchFrame(const TKernelTable& k, const TSearchArea& a, int32_t step, int32_t x, int32_t y,
                     TMotionSearchResult& result);

// Field search of field `parity` (0 top, 1 bottom) of the macroblock at (x, y): the same with
// field candidates, starting from the field candidate (x, y) of the top reference field.
void FastSearchField(const TKernelTable& k, const TSearchArea& a, int32_t step, int32_t x, int32_t y, int32_t parity,
                     TMotionSearchResult& result);

// What a package entry does with its parameter block: the searches above with the block's
// planes, sizes, flags and step (FrameStep for frame searches, FieldStep for field searches).
void FastSearchFrameWithParams(const TKernelTable& k, const TFastSearchPackageParams& params, int32_t x, int32_t y,
                               TMotionSearchResult& result);
void FastSearchFieldWithParams(const TKernelTable& k, const TFastSearchPackageParams& params, int32_t x, int32_t y,
                               int32_t parity, TMotionSearchResult& result);

} // namespace quillset
