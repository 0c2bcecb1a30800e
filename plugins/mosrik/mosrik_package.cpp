#include "mosrik_package.h"

#include "encoder/video/motion/fast_search_core.h"
#include "encoder/video/motion/motion_estimate_core.h"
#include "encoder/video/motion/rgb_zoom_search_core.h"
#include "encoder/video/motion/zoom_search_core.h"

namespace quillset::mosrik {

const TKernelTable& PackageKernels() {
    static const TKernelTable table = [] {
        TKernelTable t{};
        FillPackageKernels(t);
        return t;
    }();
    return table;
}

void PackageInitialize() { (void)PackageKernels(); }

void PackageFinalize() {}

void PackageFastSearchFrame(const void* params, int32_t x, int32_t y, TMotionSearchResult* result) {
    FastSearchFrameWithParams(PackageKernels(), *static_cast<const TFastSearchPackageParams*>(params), x, y, *result);
}

void PackageFastSearchField(const void* params, int32_t x, int32_t y, int32_t parity, TMotionSearchResult* result) {
    FastSearchFieldWithParams(PackageKernels(), *static_cast<const TFastSearchPackageParams*>(params), x, y, parity,
                              *result);
}

void PackageFastZoomSearchFrame(const void* params, int32_t x, int32_t y, TMotionSearchResult* result) {
    FastZoomSearchFrame(PackageKernels(), *static_cast<const TFastZoomSearchPackageParams*>(params), x, y, *result);
}

void PackageFastZoomSearchField(const void* params, const uint16_t* fieldSums, int32_t x, int32_t y, int32_t parity,
                                TMotionSearchResult* result) {
    FastZoomSearchField(PackageKernels(), *static_cast<const TFastZoomSearchPackageParams*>(params), fieldSums, x, y,
                        parity, *result);
}

void PackageZoomSearchFrame(const void* params, int32_t x, int32_t y, TMotionSearchResult* result) {
    ZoomSearchFrame(PackageKernels(), *static_cast<const TZoomSearchPackageParams*>(params), x, y, *result);
}

void PackageZoomSearchField(const void* params, const uint16_t* fieldSums, int32_t x, int32_t y, int32_t parity,
                            TMotionSearchResult* result) {
    ZoomSearchField(PackageKernels(), *static_cast<const TZoomSearchPackageParams*>(params), fieldSums, x, y, parity,
                    *result);
}

void PackageRGBZoomSearchFrame(const void* params, int32_t x, int32_t y, TMotionSearchResult* result) {
    RGBZoomSearchFrame(PackageKernels(), *static_cast<const TRGBZoomSearchPackageParams*>(params), x, y, *result);
}

void PackageMotionEstimateFrame(const void* params, bool fieldModeClass, int32_t x, int32_t y,
                                TMotionSearchResult* result) {
    MotionEstimateFrame(PackageKernels(), *static_cast<const TMotionEstimatePackageParams*>(params), fieldModeClass, x,
                        y, *result);
}

void PackageMotionEstimateField(const void* params, const uint16_t* fieldSums, int32_t x, int32_t y, int32_t parity,
                                TMotionSearchResult* result) {
    MotionEstimateField(PackageKernels(), *static_cast<const TMotionEstimatePackageParams*>(params), fieldSums, x, y,
                        parity, *result);
}

} // namespace quillset::mosrik
