#include "encoder/video/motion/rgb_zoom_search_core.h"

#include "encoder/video/motion/half_sample_refinement.h"
#include "encoder/video/motion/search_area.h"
#include "encoder/video/motion/search_scan.h"

namespace quillset {

void RGBZoomSearchFrame(const TKernelTable& k, const TRGBZoomSearchPackageParams& p, int32_t x, int32_t y,
                        TMotionSearchResult& result) {
    const TSearchArea a = SearchAreaOf(p);

    const auto rgbAt = [&](const uint8_t* rgb, int32_t u, int32_t v) {
        return rgb + static_cast<ptrdiff_t>(v) * p.RgbPitch + 3 * u;
    };
    const uint8_t* cur = rgbAt(p.CurrentRgb, x, y);
    const auto rgbCost = [&](int32_t u, int32_t v) { return k.SadRgb16x16(cur, rgbAt(p.ReferenceRgb, u, v), p.RgbPitch); };
    TSearchBest best{x, y, rgbCost(x, y)};
    if (best.Cost > 0) {
        const TSumPicture sums{p.CurrentRgbSums, p.RgbSumPitch, p.SumMaxX, p.SumMaxY, 3};
        const TSumPicture ref = sums.With(p.ReferenceRgbSums);
        const uint16_t* curSums = sums.At(x / 4, y / 4);
        const auto exact = [](int32_t c) { return c == 0; };
        TSearchBest coarse{x / 4, y / 4, kLargestCost};
        SpiralScan(
            coarse, 0, p.CoarseCount, x / 4, y / 4, [&](int32_t i, int32_t j) { return ref.IsValid(i, j); },
            [&](int32_t i, int32_t j) { return k.SseRgbSums4x4(curSums, ref.At(i, j), p.RgbSumPitch); }, exact);
        const auto valid = [&](int32_t u, int32_t v) { return a.IsValidCandidate(u, v); };
        SpiralScan(best, 0, p.FineCount, 4 * coarse.X, 4 * coarse.Y, valid, rgbCost, exact);
        if (best.Cost > 0 && (coarse.X != x / 4 || coarse.Y != y / 4))
            SpiralScan(best, 1, p.FineCount, x, y, valid, rgbCost, exact);
    }
    const int32_t zeroCost = FrameCandidateCost(k, a, x, y, x, y);
    const int32_t cost = best.X == x && best.Y == y ? zeroCost : FrameCandidateCost(k, a, x, y, best.X, best.Y);
    RefineFrameHalfSample(k, a, x, y, best.X, best.Y, cost, zeroCost, result);
}

} // namespace quillset
