#include "encoder/video/motion/zoom_search.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "encoder/video/motion/search_class_support.h"

namespace quillset {

namespace {

TZoomSearchCounts FrameCounts(int32_t coarse, int32_t fine, int32_t second) { return {coarse, fine, second}; }

// The Slow and HighCQ field classes: N1 = min(max(W, H) div divisor + 255, 1024) for the frame
// and the field coarse scans, the other counts equal.
TZoomSearchCounts FieldCounts(const TMotionSearchBuffer* current, int32_t divisor, int32_t count, int32_t threshold) {
    const int32_t n1 = std::min(std::max(current->GetWidth(), current->GetHeight()) / divisor + 255, 1024);
    return {n1, count, count, count, n1, count, threshold};
}

TZoomSearchCounts NormalFieldCounts(const TMotionSearchBuffer* reference, const TMotionSearchBuffer* current,
                                    const TMotionSearchParams& params) {
    const int64_t distance =
        current->GetPicture().GetSearchDisplayNumber() - reference->GetPicture().GetSearchDisplayNumber();
    const int32_t nd = TMotionSearch_FieldMode_ZoomSearch_Normal::CoarseCount(
        current->GetWidth(), current->GetHeight(), distance, params.PictureRate);
    return {nd, 64, 64, 0, nd, 64, 4096};
}

} // namespace

const TMotionSearchClassInfo TMotionSearch_FrameMode_ZoomSearch_Normal::ClassInfo = {
    "TMotionSearch_FrameMode_ZoomSearch_Normal", &TMotionSearchBuffer_FrameMode_ZoomSearch::ClassInfo, false,
    CreateSearchOf<TMotionSearch_FrameMode_ZoomSearch_Normal>};
const TMotionSearchClassInfo TMotionSearch_FrameMode_ZoomSearch_Slow::ClassInfo = {
    "TMotionSearch_FrameMode_ZoomSearch_Slow", &TMotionSearchBuffer_FrameMode_ZoomSearch::ClassInfo, false,
    CreateSearchOf<TMotionSearch_FrameMode_ZoomSearch_Slow>};
const TMotionSearchClassInfo TMotionSearch_FieldMode_ZoomSearch_Normal::ClassInfo = {
    "TMotionSearch_FieldMode_ZoomSearch_Normal", &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo, true,
    CreateSearchOf<TMotionSearch_FieldMode_ZoomSearch_Normal>};
const TMotionSearchClassInfo TMotionSearch_FieldMode_ZoomSearch_Slow::ClassInfo = {
    "TMotionSearch_FieldMode_ZoomSearch_Slow", &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo, true,
    CreateSearchOf<TMotionSearch_FieldMode_ZoomSearch_Slow>};
const TMotionSearchClassInfo TMotionSearch_FieldMode_ZoomSearch_HighCQ::ClassInfo = {
    "TMotionSearch_FieldMode_ZoomSearch_HighCQ", &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo, true,
    CreateSearchOf<TMotionSearch_FieldMode_ZoomSearch_HighCQ>};

TMotionSearch_FrameMode_ZoomSearch_Base::TMotionSearch_FrameMode_ZoomSearch_Base(
    const TKernelTable& kernels, TMotionSearchBuffer* reference, TMotionSearchBuffer* current,
    const TMotionSearchParams& params, const TZoomSearchCounts& counts, bool fieldMode)
    : TMotionSearch(kernels, reference, current, params) {
    FillZoomBlock(PackageParams, ZoomBuffer(current), ZoomBuffer(reference), fieldMode, HalfPel != 0,
                  AlwaysHalfPel != 0);
    PackageParams.CoarseCount = counts.Coarse;
    PackageParams.FineCount = counts.Fine;
    PackageParams.SecondCount = counts.Second;
    if (fieldMode) {
        PackageParams.FieldCoarseCount = counts.FieldCoarse;
        PackageParams.FieldPreSearchCount = counts.FieldPreSearch;
        PackageParams.FieldFineCount = counts.FieldFine;
    }
}

void TMotionSearch_FrameMode_ZoomSearch_Base::SearchFrame(int32_t x, int32_t y, TMotionSearchResult& result) {
    if (!CallPackage(Kernels.ZoomSearch_FrameSearch, &PackageParams, x, y, &result))
        ZoomSearchFrame(Kernels, PackageParams, x, y, result);
}

TMotionSearch_FrameMode_ZoomSearch_Normal::TMotionSearch_FrameMode_ZoomSearch_Normal(
    const TKernelTable& kernels, TMotionSearchBuffer* reference, TMotionSearchBuffer* current,
    const TMotionSearchParams& params)
    : TMotionSearch_FrameMode_ZoomSearch_Base(kernels, reference, current, params, FrameCounts(256, 64, 64), false) {}

TMotionSearch_FrameMode_ZoomSearch_Slow::TMotionSearch_FrameMode_ZoomSearch_Slow(const TKernelTable& kernels,
                                                                                 TMotionSearchBuffer* reference,
                                                                                 TMotionSearchBuffer* current,
                                                                                 const TMotionSearchParams& params)
    : TMotionSearch_FrameMode_ZoomSearch_Base(kernels, reference, current, params, FrameCounts(256, 256, 256),
                                              false) {}

TMotionSearch_FieldMode_ZoomSearch_Base::TMotionSearch_FieldMode_ZoomSearch_Base(
    const TKernelTable& kernels, TMotionSearchBuffer* reference, TMotionSearchBuffer* current,
    const TMotionSearchParams& params, const TZoomSearchCounts& counts)
    : TMotionSearch_FrameMode_ZoomSearch_Base(kernels, reference, current, params, counts, true),
      FrameCostThreshold(counts.FrameCostThreshold) {}

void TMotionSearch_FieldMode_ZoomSearch_Base::SearchFieldMode(int32_t x, int32_t y, int32_t mode,
                                                              TMotionSearchResult& frameResult,
                                                              TMotionSearchResult& topResult,
                                                              TMotionSearchResult& bottomResult) {
    SearchFieldModeWith(x, y, mode, FrameCostThreshold, frameResult, topResult, bottomResult);
}

void TMotionSearch_FieldMode_ZoomSearch_Base::SearchOneField(int32_t x, int32_t y, int32_t parity,
                                                             TMotionSearchResult& result) {
    const uint16_t* sums = CurrentFieldSums(Current, parity);
    if (!CallPackage(Kernels.ZoomSearch_FieldSearch_Field, &PackageParams, sums, x, y, parity, &result))
        ZoomSearchField(Kernels, PackageParams, sums, x, y, parity, result);
}

int32_t TMotionSearch_FieldMode_ZoomSearch_Normal::CoarseCount(int32_t width, int32_t height, int64_t displayDistance,
                                                               double pictureRate) {
    const int32_t d = std::max(width, height) / 4 + 255;
    double s = pictureRate > 0 ? static_cast<double>(std::llabs(displayDistance)) / pictureRate * 5 + 0.5 : 1.0;
    s = std::clamp(s, 0.5, 1.0);
    return std::min(1024, static_cast<int32_t>(d * std::sqrt(s)));
}

TMotionSearch_FieldMode_ZoomSearch_Normal::TMotionSearch_FieldMode_ZoomSearch_Normal(
    const TKernelTable& kernels, TMotionSearchBuffer* reference, TMotionSearchBuffer* current,
    const TMotionSearchParams& params)
    : TMotionSearch_FieldMode_ZoomSearch_Base(kernels, reference, current, params,
                                              NormalFieldCounts(reference, current, params)) {}

TMotionSearch_FieldMode_ZoomSearch_Slow::TMotionSearch_FieldMode_ZoomSearch_Slow(const TKernelTable& kernels,
                                                                                 TMotionSearchBuffer* reference,
                                                                                 TMotionSearchBuffer* current,
                                                                                 const TMotionSearchParams& params)
    : TMotionSearch_FieldMode_ZoomSearch_Base(kernels, reference, current, params, FieldCounts(current, 3, 144, 2048)) {}

TMotionSearch_FieldMode_ZoomSearch_HighCQ::TMotionSearch_FieldMode_ZoomSearch_HighCQ(
    const TKernelTable& kernels, TMotionSearchBuffer* reference, TMotionSearchBuffer* current,
    const TMotionSearchParams& params)
    : TMotionSearch_FieldMode_ZoomSearch_Base(kernels, reference, current, params, FieldCounts(current, 2, 256, 512)) {}

} // namespace quillset
