// The MotionEstimate classes (telescopic search, the templates' default speed): the coarse
// block followed picture by picture from the current picture to the reference
// (motion_estimate_core.h). Package slots: 128 (frame-mode frame search), 129 (field-mode
// frame search), 130 (field search).
#pragma once

#include "encoder/video/motion/motion_estimate_core.h"
#include "encoder/video/motion/motion_search.h"

namespace quillset {

class TMotionSearch_FrameMode_MotionEstimate : public TMotionSearch {
public:
    static const TMotionSearchClassInfo ClassInfo;

    TMotionSearch_FrameMode_MotionEstimate(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                           TMotionSearchBuffer* current, const TMotionSearchParams& params);

    TMotionSearchBufferClass GetBufferClass() const override {
        return &TMotionSearchBuffer_FrameMode_ZoomSearch::ClassInfo;
    }
    void SearchFrame(int32_t x, int32_t y, TMotionSearchResult& result) override;

    const TMotionEstimatePackageParams& GetPackageParams() const { return PackageParams; }

private:
    TMotionEstimatePackageParams PackageParams;
};

// Its frame search is reached only through SearchFieldMode (SearchFrame does nothing).
class TMotionSearch_FieldMode_MotionEstimate : public TMotionSearch {
public:
    static const TMotionSearchClassInfo ClassInfo;
    static constexpr int32_t FrameCostThreshold = 4096;

    TMotionSearch_FieldMode_MotionEstimate(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                           TMotionSearchBuffer* current, const TMotionSearchParams& params);

    TMotionSearchBufferClass GetBufferClass() const override {
        return &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo;
    }
    void SearchFieldMode(int32_t x, int32_t y, int32_t mode, TMotionSearchResult& frameResult,
                         TMotionSearchResult& topResult, TMotionSearchResult& bottomResult) override;

    const TMotionEstimatePackageParams& GetPackageParams() const { return PackageParams; }

protected:
    void SearchFrameForFieldMode(int32_t x, int32_t y, TMotionSearchResult& result) override;
    void SearchOneField(int32_t x, int32_t y, int32_t parity, TMotionSearchResult& result) override;

private:
    TMotionEstimatePackageParams PackageParams;
};

} // namespace quillset
