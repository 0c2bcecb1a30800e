#include "encoder/video/motion/fast_search_core.h"

#include "encoder/video/motion/grid_pass.h"
#include "encoder/video/motion/half_sample_refinement.h"

namespace quillset {

TFastSearchPackageParams MakeFastSearchPackageParams(const TSearchArea& area, int32_t frameStep, int32_t fieldStep) {
    TFastSearchPackageParams p;
    p.CurrentY = area.Current;
    p.ReferenceY = area.Reference;
    p.WidthMinus16 = area.MaxX();
    p.HalfWidthLimit = area.MaxHalfX();
    p.HeightMinus16 = area.MaxY();
    p.HalfHeightLimit = area.MaxHalfY();
    p.Width = area.Width;
    p.FrameStep = frameStep;
    p.FieldStep = fieldStep;
    p.AlwaysHalfPel = PackageFlag(area.AlwaysHalfPel);
    p.HalfPel = PackageFlag(area.HalfPel);
    return p;
}

void FastSearchFrame(const TKernelTable& k, const TSearchArea& a, int32_t step, int32_t x, int32_t y,
                     TMotionSearchResult& result) {
    const int32_t zeroCost = FrameCandidateCost(k, a, x, y, x, y);
    TSearchBest best{x, y, zeroCost};
    if (zeroCost >= 1)
        GridPasses(best, (step + 1) / 2, a.MaxX(), a.MaxY(), false,
                   [&](int32_t u, int32_t v) { return FrameCandidateCost(k, a, x, y, u, v); });
    RefineFrameHalfSample(k, a, x, y, best.X, best.Y, best.Cost, zeroCost, result);
}

void FastSearchField(const TKernelTable& k, const TSearchArea& a, int32_t step, int32_t x, int32_t y, int32_t parity,
                     TMotionSearchResult& result) {
    const int32_t zeroCost = FieldCandidateCost(k, a, x, y, parity, x, y);
    TSearchBest best{x, y, zeroCost};
    if (zeroCost >= 1)
        GridPasses(best, (step + 1) / 2, a.MaxX(), a.MaxY(), false,
                   [&](int32_t u, int32_t v) { return FieldCandidateCost(k, a, x, y, parity, u, v); });
    RefineFieldHalfSample(k, a, x, y, parity, best.X, best.Y, best.Cost, zeroCost, kFieldHalfSampleMargin, result);
}

void FastSearchFrameWithParams(const TKernelTable& k, const TFastSearchPackageParams& params, int32_t x, int32_t y,
                               TMotionSearchResult& result) {
    FastSearchFrame(k, SearchAreaOf(params), params.FrameStep, x, y, result);
}

void FastSearchFieldWithParams(const TKernelTable& k, const TFastSearchPackageParams& params, int32_t x, int32_t y,
                               int32_t parity, TMotionSearchResult& result) {
    FastSearchField(k, SearchAreaOf(params), params.FieldStep, x, y, parity, result);
}

} // namespace quillset
