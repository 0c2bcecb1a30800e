// The FastSearch classes: a few grid passes around the co-located macroblock (one 3x3 pass for
// B pictures, passes at distance 2 then 1 otherwise), then half-sample refinement.
//
// Each search first tests its package slot (118 for frame searches, 120 for field searches):
// when an outside package is bound there, the kernel state is cleared (slot 0) and the package
// searches with the FastSearch parameter block; otherwise the built-in algorithm runs. Both give
// the same results.
#pragma once

#include "encoder/video/motion/fast_search_core.h"
#include "encoder/video/motion/motion_search.h"

namespace quillset {

class TMotionSearch_FrameMode_FastSearch : public TMotionSearch {
public:
    static const TMotionSearchClassInfo ClassInfo;

    TMotionSearch_FrameMode_FastSearch(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                       TMotionSearchBuffer* current, const TMotionSearchParams& params);

    TMotionSearchBufferClass GetBufferClass() const override { return &TMotionSearchBuffer::ClassInfo; }
    void SearchFrame(int32_t x, int32_t y, TMotionSearchResult& result) override;

    // The block handed to the package entries.
    const TFastSearchPackageParams& GetPackageParams() const { return PackageParams; }

protected:
    TMotionSearch_FrameMode_FastSearch(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                       TMotionSearchBuffer* current, const TMotionSearchParams& params,
                                       bool fieldMode);

    TFastSearchPackageParams PackageParams;
};

class TMotionSearch_FieldMode_FastSearch : public TMotionSearch_FrameMode_FastSearch {
public:
    static const TMotionSearchClassInfo ClassInfo;
    // Mode 0 searches the fields only when the frame cost is at least this.
    static constexpr int32_t FrameCostThreshold = 4096;

    TMotionSearch_FieldMode_FastSearch(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                       TMotionSearchBuffer* current, const TMotionSearchParams& params);

    void SearchFieldMode(int32_t x, int32_t y, int32_t mode, TMotionSearchResult& frameResult,
                         TMotionSearchResult& topResult, TMotionSearchResult& bottomResult) override;

    // The prediction of field `parity` (0 top, 1 bottom) of the macroblock at (x, y).
    void SearchField(int32_t x, int32_t y, int32_t parity, TMotionSearchResult& result);
};

} // namespace quillset
