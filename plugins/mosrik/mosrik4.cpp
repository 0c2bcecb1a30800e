// Mosrik4: the package bound by the Pentium 4 kernel set; on x86-64 it measures with the SSE2
// kernels and, where the processor (and QUILLSET_CPU_MASK) allows, the AVX2 ones. Every one of
// them is bit-exact with the reference, so the results equal the program's own search.
#include "encoder/kernels/reference/reference_kernels.h"
#include "mosrik_package.h"

#if QS_MOSRIK_X86
#include "encoder/kernels/processor.h"
#include "encoder/kernels/x86/x86_kernels.h"
#endif

namespace quillset::mosrik {

void FillPackageKernels(TKernelTable& table) {
    reference::FillBlockMeasures(table);
#if QS_MOSRIK_X86
    const TProcessorFeatures features = ActiveFeatures();
    if (!(features & ProcessorFeature_SSE2))
        return;
    x86::FillSse2BlockMeasures(table);
    if (features & ProcessorFeature_AVX2)
        x86::FillAvx2BlockMeasures(table);
#endif
}

} // namespace quillset::mosrik

using namespace quillset;

QS_MOSRIK_EXPORT void P4_Initialize() { mosrik::PackageInitialize(); }
QS_MOSRIK_EXPORT void P4_Finalize() { mosrik::PackageFinalize(); }

QS_MOSRIK_EXPORT void P4_FastSearch_FrameSearch(const void* params, int32_t x, int32_t y, TMotionSearchResult* result) {
    mosrik::PackageFastSearchFrame(params, x, y, result);
}

// Bound into slot 119 but not called by the program: the field-mode class searches frames
// through the frame entry. It answers like the frame entry.
QS_MOSRIK_EXPORT void P4_FastSearch_FieldSearch_Frame(const void* params, int32_t x, int32_t y,
                                                      TMotionSearchResult* result) {
    mosrik::PackageFastSearchFrame(params, x, y, result);
}

QS_MOSRIK_EXPORT void P4_FastSearch_FieldSearch_Field(const void* params, int32_t x, int32_t y, int32_t parity,
                                                      TMotionSearchResult* result) {
    mosrik::PackageFastSearchField(params, x, y, parity, result);
}

QS_MOSRIK_SUM_PICTURE_ENTRIES(P4_)
