// The RGB HighCQ class (speed HighCQ in frame mode): the ZoomSearch pattern on RGB pictures
// (rgb_zoom_search_core.h), refined on luma. Package slot 127.
#pragma once

#include "encoder/video/motion/motion_search.h"
#include "encoder/video/motion/rgb_zoom_search_core.h"

namespace quillset {

class TMotionSearch_FrameMode_RGBZoomSearch_HighCQ : public TMotionSearch {
public:
    static const TMotionSearchClassInfo ClassInfo;

    TMotionSearch_FrameMode_RGBZoomSearch_HighCQ(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                                 TMotionSearchBuffer* current, const TMotionSearchParams& params);

    TMotionSearchBufferClass GetBufferClass() const override {
        return &TMotionSearchBuffer_FrameMode_RGBZoomSearch::ClassInfo;
    }
    void SearchFrame(int32_t x, int32_t y, TMotionSearchResult& result) override;

    const TRGBZoomSearchPackageParams& GetPackageParams() const { return PackageParams; }

private:
    TRGBZoomSearchPackageParams PackageParams;
};

} // namespace quillset
