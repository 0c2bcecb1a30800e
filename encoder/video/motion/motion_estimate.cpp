#include "encoder/video/motion/motion_estimate.h"

#include "encoder/video/motion/search_class_support.h"

namespace quillset {

namespace {

TMotionEstimatePackageParams MakeBlock(TMotionSearchBuffer* reference, TMotionSearchBuffer* current,
                                       const TMotionSearchParams& params, bool fieldMode) {
    TMotionEstimatePackageParams b;
    FillZoomBlock(b, ZoomBuffer(current), ZoomBuffer(reference), fieldMode, params.HalfPel != 0,
                  params.AlwaysHalfPel != 0);
    b.CurrentHandle = current->GetHandle();
    b.ReferenceHandle = reference->GetHandle();
    b.Radius = params.IsMpeg2 ? kMotionEstimateRadiusMpeg2 : kMotionEstimateRadiusMpeg1;
    return b;
}

} // namespace

const TMotionSearchClassInfo TMotionSearch_FrameMode_MotionEstimate::ClassInfo = {
    "TMotionSearch_FrameMode_MotionEstimate", &TMotionSearchBuffer_FrameMode_ZoomSearch::ClassInfo, false,
    CreateSearchOf<TMotionSearch_FrameMode_MotionEstimate>};

const TMotionSearchClassInfo TMotionSearch_FieldMode_MotionEstimate::ClassInfo = {
    "TMotionSearch_FieldMode_MotionEstimate", &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo, true,
    CreateSearchOf<TMotionSearch_FieldMode_MotionEstimate>};

TMotionSearch_FrameMode_MotionEstimate::TMotionSearch_FrameMode_MotionEstimate(const TKernelTable& kernels,
                                                                               TMotionSearchBuffer* reference,
                                                                               TMotionSearchBuffer* current,
                                                                               const TMotionSearchParams& params)
    : TMotionSearch(kernels, reference, current, params), PackageParams(MakeBlock(reference, current, params, false)) {}

void TMotionSearch_FrameMode_MotionEstimate::SearchFrame(int32_t x, int32_t y, TMotionSearchResult& result) {
    if (!CallPackage(Kernels.MotionEstimateSearch_FrameSearch, &PackageParams, x, y, &result))
        MotionEstimateFrame(Kernels, PackageParams, false, x, y, result);
}

TMotionSearch_FieldMode_MotionEstimate::TMotionSearch_FieldMode_MotionEstimate(const TKernelTable& kernels,
                                                                               TMotionSearchBuffer* reference,
                                                                               TMotionSearchBuffer* current,
                                                                               const TMotionSearchParams& params)
    : TMotionSearch(kernels, reference, current, params), PackageParams(MakeBlock(reference, current, params, true)) {}

void TMotionSearch_FieldMode_MotionEstimate::SearchFieldMode(int32_t x, int32_t y, int32_t mode,
                                                             TMotionSearchResult& frameResult,
                                                             TMotionSearchResult& topResult,
                                                             TMotionSearchResult& bottomResult) {
    SearchFieldModeWith(x, y, mode, FrameCostThreshold, frameResult, topResult, bottomResult);
}

void TMotionSearch_FieldMode_MotionEstimate::SearchFrameForFieldMode(int32_t x, int32_t y,
                                                                     TMotionSearchResult& result) {
    if (!CallPackage(Kernels.MotionEstimateSearch_FieldSearch_Frame, &PackageParams, x, y, &result))
        MotionEstimateFrame(Kernels, PackageParams, true, x, y, result);
}

void TMotionSearch_FieldMode_MotionEstimate::SearchOneField(int32_t x, int32_t y, int32_t parity,
                                                            TMotionSearchResult& result) {
    const uint16_t* sums = CurrentFieldSums(Current, parity);
    if (!CallPackage(Kernels.MotionEstimateSearch_FieldSearch_Field, &PackageParams, sums, x, y, parity, &result))
        MotionEstimateField(Kernels, PackageParams, sums, x, y, parity, result);
}

} // namespace quillset
