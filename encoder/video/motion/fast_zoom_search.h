// The FastZoomSearch classes (speed FastWide): grid passes on the sum pictures, then on full
// samples (zoom_search_core.h). Each search first tests its package slot (121 frame, 123 field).
#pragma once

#include "encoder/video/motion/motion_search.h"
#include "encoder/video/motion/zoom_search_core.h"

namespace quillset {

class TMotionSearch_FrameMode_FastZoomSearch : public TMotionSearch {
public:
    static const TMotionSearchClassInfo ClassInfo;

    TMotionSearch_FrameMode_FastZoomSearch(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                           TMotionSearchBuffer* current, const TMotionSearchParams& params);

    TMotionSearchBufferClass GetBufferClass() const override {
        return &TMotionSearchBuffer_FrameMode_ZoomSearch::ClassInfo;
    }
    void SearchFrame(int32_t x, int32_t y, TMotionSearchResult& result) override;

    const TFastZoomSearchPackageParams& GetPackageParams() const { return PackageParams; }

protected:
    TMotionSearch_FrameMode_FastZoomSearch(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                           TMotionSearchBuffer* current, const TMotionSearchParams& params,
                                           bool fieldMode);

    TFastZoomSearchPackageParams PackageParams;
};

class TMotionSearch_FieldMode_FastZoomSearch : public TMotionSearch_FrameMode_FastZoomSearch {
public:
    static const TMotionSearchClassInfo ClassInfo;
    static constexpr int32_t FrameCostThreshold = 4096;

    TMotionSearch_FieldMode_FastZoomSearch(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                           TMotionSearchBuffer* current, const TMotionSearchParams& params);

    TMotionSearchBufferClass GetBufferClass() const override {
        return &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo;
    }
    void SearchFieldMode(int32_t x, int32_t y, int32_t mode, TMotionSearchResult& frameResult,
                         TMotionSearchResult& topResult, TMotionSearchResult& bottomResult) override;

protected:
    void SearchOneField(int32_t x, int32_t y, int32_t parity, TMotionSearchResult& result) override;
};

} // namespace quillset
