#include "mosrik_package.h"

#include "encoder/video/motion/fast_search_core.h"

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

} // namespace quillset::mosrik
