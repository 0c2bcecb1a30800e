#include "encoder/video/motion/fast_zoom_search.h"

#include "encoder/video/motion/search_class_support.h"

namespace quillset {

const TMotionSearchClassInfo TMotionSearch_FrameMode_FastZoomSearch::ClassInfo = {
    "TMotionSearch_FrameMode_FastZoomSearch", &TMotionSearchBuffer_FrameMode_ZoomSearch::ClassInfo, false,
    CreateSearchOf<TMotionSearch_FrameMode_FastZoomSearch>};

const TMotionSearchClassInfo TMotionSearch_FieldMode_FastZoomSearch::ClassInfo = {
    "TMotionSearch_FieldMode_FastZoomSearch", &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo, true,
    CreateSearchOf<TMotionSearch_FieldMode_FastZoomSearch>};

TMotionSearch_FrameMode_FastZoomSearch::TMotionSearch_FrameMode_FastZoomSearch(const TKernelTable& kernels,
                                                                               TMotionSearchBuffer* reference,
                                                                               TMotionSearchBuffer* current,
                                                                               const TMotionSearchParams& params)
    : TMotionSearch_FrameMode_FastZoomSearch(kernels, reference, current, params, false) {}

TMotionSearch_FrameMode_FastZoomSearch::TMotionSearch_FrameMode_FastZoomSearch(const TKernelTable& kernels,
                                                                               TMotionSearchBuffer* reference,
                                                                               TMotionSearchBuffer* current,
                                                                               const TMotionSearchParams& params,
                                                                               bool fieldMode)
    : TMotionSearch(kernels, reference, current, params) {
    FillZoomBlock(PackageParams, ZoomBuffer(current), ZoomBuffer(reference), fieldMode, HalfPel != 0,
                  AlwaysHalfPel != 0);
    const int32_t second = fieldMode ? 4 : 0;
    PackageParams.Steps[0] = 4;
    PackageParams.Steps[1] = second;
    PackageParams.Steps[2] = 4;
    PackageParams.Steps[3] = second;
}

void TMotionSearch_FrameMode_FastZoomSearch::SearchFrame(int32_t x, int32_t y, TMotionSearchResult& result) {
    if (!CallPackage(Kernels.FastZoomSearch_FrameSearch, &PackageParams, x, y, &result))
        FastZoomSearchFrame(Kernels, PackageParams, x, y, result);
}

TMotionSearch_FieldMode_FastZoomSearch::TMotionSearch_FieldMode_FastZoomSearch(const TKernelTable& kernels,
                                                                               TMotionSearchBuffer* reference,
                                                                               TMotionSearchBuffer* current,
                                                                               const TMotionSearchParams& params)
    : TMotionSearch_FrameMode_FastZoomSearch(kernels, reference, current, params, true) {}

void TMotionSearch_FieldMode_FastZoomSearch::SearchFieldMode(int32_t x, int32_t y, int32_t mode,
                                                             TMotionSearchResult& frameResult,
                                                             TMotionSearchResult& topResult,
                                                             TMotionSearchResult& bottomResult) {
    SearchFieldModeWith(x, y, mode, FrameCostThreshold, frameResult, topResult, bottomResult);
}

void TMotionSearch_FieldMode_FastZoomSearch::SearchOneField(int32_t x, int32_t y, int32_t parity,
                                                            TMotionSearchResult& result) {
    const uint16_t* sums = CurrentFieldSums(Current, parity);
    if (!CallPackage(Kernels.FastZoomSearch_FieldSearch_Field, &PackageParams, sums, x, y, parity, &result))
        FastZoomSearchField(Kernels, PackageParams, sums, x, y, parity, result);
}

} // namespace quillset
