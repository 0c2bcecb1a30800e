// Pieces the search classes share: the class-record constructor and the views of zoom buffers.
#pragma once

#include <cassert>
#include <memory>

#include "encoder/video/motion/motion_search.h"

namespace quillset {

// Creates a search of class T over buffers of its buffer class (or a descendant).
template <typename T>
std::unique_ptr<TMotionSearch> CreateSearchOf(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                              TMotionSearchBuffer* current, const TMotionSearchParams& params) {
    assert(T::ClassInfo.BufferClass->IsInstance(*reference) && T::ClassInfo.BufferClass->IsInstance(*current));
    return std::make_unique<T>(kernels, reference, current, params);
}

// Fills the luma and frame-sum words common to the sum-picture parameter blocks.
template <typename Block>
void FillZoomBlock(Block& b, const TMotionSearchBuffer_FrameMode_ZoomSearch& current,
                   const TMotionSearchBuffer_FrameMode_ZoomSearch& reference, bool fieldMode, bool halfPel,
                   bool alwaysHalfPel) {
    const int32_t w = current.GetWidth(), h = current.GetHeight();
    b.CurrentY = current.GetY();
    b.CurrentSums = current.GetFrameSums();
    b.ReferenceY = reference.GetY();
    b.ReferenceSums = reference.GetFrameSums();
    if (fieldMode) {
        const auto& field = static_cast<const TMotionSearchBuffer_FieldMode_ZoomSearch&>(reference);
        b.ReferenceTopSums = field.GetTopFieldSums();
        b.ReferenceBottomSums = field.GetBottomFieldSums();
    }
    b.WidthMinus16 = w - 16;
    b.HalfWidthLimit = 2 * w - 32;
    b.HeightMinus16 = h - 16;
    b.HalfHeightLimit = 2 * h - 32;
    b.Width = w;
    b.SumMaxX = current.GetSumWidth() - 4;
    b.SumMaxY = current.GetSumHeight() - 4;
    b.SumPitch = current.GetSumPitch();
    b.AlwaysHalfPel = PackageFlag(alwaysHalfPel);
    b.HalfPel = PackageFlag(halfPel);
}

inline const TMotionSearchBuffer_FrameMode_ZoomSearch& ZoomBuffer(const TMotionSearchBuffer* buffer) {
    return static_cast<const TMotionSearchBuffer_FrameMode_ZoomSearch&>(*buffer);
}

// The current picture's field sums of `parity` (field-mode classes only).
inline const uint16_t* CurrentFieldSums(const TMotionSearchBuffer* current, int32_t parity) {
    return static_cast<const TMotionSearchBuffer_FieldMode_ZoomSearch&>(*current).GetFieldSums(parity);
}

} // namespace quillset
