#include "encoder/video/motion/fast_search.h"

#include <cassert>

namespace quillset {

namespace {

template <typename T>
std::unique_ptr<TMotionSearch> CreateSearch(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                            TMotionSearchBuffer* current, const TMotionSearchParams& params) {
    assert(T::ClassInfo.BufferClass->IsInstance(*reference) && T::ClassInfo.BufferClass->IsInstance(*current));
    return std::make_unique<T>(kernels, reference, current, params);
}

int32_t FrameStepOf(const TMotionSearchBuffer* current) {
    return current->GetPicture().GetSearchPictureType() == MotionSearchPictureType_B ? kFastSearchStepB
                                                                                      : kFastSearchStepPI;
}

} // namespace

const TMotionSearchClassInfo TMotionSearch_FrameMode_FastSearch::ClassInfo = {
    "TMotionSearch_FrameMode_FastSearch", &TMotionSearchBuffer::ClassInfo, false,
    CreateSearch<TMotionSearch_FrameMode_FastSearch>};

const TMotionSearchClassInfo TMotionSearch_FieldMode_FastSearch::ClassInfo = {
    "TMotionSearch_FieldMode_FastSearch", &TMotionSearchBuffer::ClassInfo, true,
    CreateSearch<TMotionSearch_FieldMode_FastSearch>};

TMotionSearch_FrameMode_FastSearch::TMotionSearch_FrameMode_FastSearch(const TKernelTable& kernels,
                                                                       TMotionSearchBuffer* reference,
                                                                       TMotionSearchBuffer* current,
                                                                       const TMotionSearchParams& params)
    : TMotionSearch_FrameMode_FastSearch(kernels, reference, current, params, false) {}

TMotionSearch_FrameMode_FastSearch::TMotionSearch_FrameMode_FastSearch(const TKernelTable& kernels,
                                                                       TMotionSearchBuffer* reference,
                                                                       TMotionSearchBuffer* current,
                                                                       const TMotionSearchParams& params,
                                                                       bool fieldMode)
    : TMotionSearch(kernels, reference, current, params) {
    const int32_t step = FrameStepOf(current);
    PackageParams = MakeFastSearchPackageParams(LumaArea(), step, fieldMode ? step : 0);
}

void TMotionSearch_FrameMode_FastSearch::SearchFrame(int32_t x, int32_t y, TMotionSearchResult& result) {
    if (Kernels.FastSearch_FrameSearch != nullptr) {
        if (Kernels.ClearKernelState != nullptr)
            Kernels.ClearKernelState();
        Kernels.FastSearch_FrameSearch(&PackageParams, x, y, &result);
        return;
    }
    FastSearchFrameWithParams(Kernels, PackageParams, x, y, result);
}

TMotionSearch_FieldMode_FastSearch::TMotionSearch_FieldMode_FastSearch(const TKernelTable& kernels,
                                                                       TMotionSearchBuffer* reference,
                                                                       TMotionSearchBuffer* current,
                                                                       const TMotionSearchParams& params)
    : TMotionSearch_FrameMode_FastSearch(kernels, reference, current, params, true) {}

void TMotionSearch_FieldMode_FastSearch::SearchField(int32_t x, int32_t y, int32_t parity,
                                                     TMotionSearchResult& result) {
    if (Kernels.FastSearch_FieldSearch_Field != nullptr) {
        if (Kernels.ClearKernelState != nullptr)
            Kernels.ClearKernelState();
        Kernels.FastSearch_FieldSearch_Field(&PackageParams, x, y, parity, &result);
        return;
    }
    FastSearchFieldWithParams(Kernels, PackageParams, x, y, parity, result);
}

void TMotionSearch_FieldMode_FastSearch::SearchFieldMode(int32_t x, int32_t y, int32_t mode,
                                                         TMotionSearchResult& frameResult,
                                                         TMotionSearchResult& topResult,
                                                         TMotionSearchResult& bottomResult) {
    if (mode == MotionSearchFieldMode_FieldOnly) {
        SetNotSearched(frameResult, x, y);
    } else {
        SearchFrame(x, y, frameResult);
        if (mode == MotionSearchFieldMode_FrameOnly || frameResult.Cost < FrameCostThreshold) {
            SetNotSearched(topResult, x, y);
            SetNotSearched(bottomResult, x, y);
            return;
        }
    }
    SearchField(x, y, 0, topResult);
    SearchField(x, y, 1, bottomResult);
}

} // namespace quillset
