// Mosrik3: the package bound by the Pentium III kernel set; it measures with the reference
// kernels, which every processor runs.
#include "encoder/kernels/reference/reference_kernels.h"
#include "mosrik_package.h"

namespace quillset::mosrik {

void FillPackageKernels(TKernelTable& table) { reference::FillBlockMeasures(table); }

} // namespace quillset::mosrik

using namespace quillset;

QS_MOSRIK_EXPORT void P3_Initialize() { mosrik::PackageInitialize(); }
QS_MOSRIK_EXPORT void P3_Finalize() { mosrik::PackageFinalize(); }

QS_MOSRIK_EXPORT void P3_FastSearch_FrameSearch(const void* params, int32_t x, int32_t y, TMotionSearchResult* result) {
    mosrik::PackageFastSearchFrame(params, x, y, result);
}

// Bound into slot 119 but not called by the program: the field-mode class searches frames
// through the frame entry. It answers like the frame entry.
QS_MOSRIK_EXPORT void P3_FastSearch_FieldSearch_Frame(const void* params, int32_t x, int32_t y,
                                                      TMotionSearchResult* result) {
    mosrik::PackageFastSearchFrame(params, x, y, result);
}

QS_MOSRIK_EXPORT void P3_FastSearch_FieldSearch_Field(const void* params, int32_t x, int32_t y, int32_t parity,
                                                      TMotionSearchResult* result) {
    mosrik::PackageFastSearchField(params, x, y, parity, result);
}

QS_MOSRIK_SUM_PICTURE_ENTRIES(P3_)
