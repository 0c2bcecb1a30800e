#include "encoder/video/motion/zoom_search_core.h"

#include <algorithm>

#include "encoder/video/motion/half_sample_refinement.h"
#include "encoder/video/motion/search_area.h"
#include "encoder/video/motion/search_scan.h"

namespace quillset {

namespace {

template <typename Params>
TSumPicture SumsOf(const Params& p, const uint16_t* data) {
    return {data, p.SumPitch, p.SumMaxX, p.SumMaxY, 1};
}

// The zero vector of a field search that may start from either reference field: (x, y) and
// (x, y + 1), the bottom one taken on a tie.
TSearchBest FieldZeroVector(const TKernelTable& k, const TSearchArea& a, int32_t x, int32_t y, int32_t parity) {
    const int32_t top = FieldCandidateCost(k, a, x, y, parity, x, y);
    const int32_t bottom = k.Sad16x8(a.CurrentAt(x, y + parity), a.ReferenceAt(x, y + 1), a.FieldPitch());
    return bottom <= top ? TSearchBest{x, y + 1, bottom} : TSearchBest{x, y, top};
}

} // namespace

void FastZoomSearchFrame(const TKernelTable& k, const TFastZoomSearchPackageParams& p, int32_t x, int32_t y,
                         TMotionSearchResult& result) {
    const TSearchArea a = SearchAreaOf(p);
    const int32_t zeroCost = FrameCandidateCost(k, a, x, y, x, y);
    TSearchBest best{x, y, zeroCost};
    if (zeroCost > kFastZoomMinimumCost) {
        const TSumPicture ref = SumsOf(p, p.ReferenceSums);
        const uint16_t* cur = SumsOf(p, p.CurrentSums).At(x / 4, y / 4);
        TSearchBest coarse{x / 4, y / 4, kLargestCost};
        GridPasses(coarse, 2, p.SumMaxX, p.SumMaxY, true,
                   [&](int32_t i, int32_t j) { return k.SseSums4x4(cur, ref.At(i, j), p.SumPitch); });
        const auto frameCost = [&](int32_t u, int32_t v) { return FrameCandidateCost(k, a, x, y, u, v); };
        TSearchBest fine{4 * coarse.X, 4 * coarse.Y, kLargestCost};
        GridPasses(fine, 2, a.MaxX(), a.MaxY(), true, frameCost);
        if (fine.Cost < best.Cost)
            best = fine;
        if (best.Cost > kFastZoomMinimumCost && (coarse.X != x / 4 || coarse.Y != y / 4)) {
            TSearchBest second{x, y, kLargestCost};
            GridPasses(second, 2, a.MaxX(), a.MaxY(), true, frameCost);
            if (second.Cost < best.Cost)
                best = second;
        }
    }
    RefineFrameHalfSample(k, a, x, y, best.X, best.Y, best.Cost, zeroCost, result);
}

void FastZoomSearchField(const TKernelTable& k, const TFastZoomSearchPackageParams& p, const uint16_t* fieldSums,
                         int32_t x, int32_t y, int32_t parity, TMotionSearchResult& result) {
    const TSearchArea a = SearchAreaOf(p);
    TSearchBest best = FieldZeroVector(k, a, x, y, parity);
    const int32_t zeroCost = best.Cost;
    if (zeroCost > kFastZoomMinimumCost) {
        const TSumPicture top = SumsOf(p, p.ReferenceTopSums), bottom = SumsOf(p, p.ReferenceBottomSums);
        const uint16_t* cur = SumsOf(p, fieldSums).At(x / 4, y / 4);
        TSearchBest coarse{x / 4, y / 4, kLargestCost};
        GridPasses(coarse, 2, p.SumMaxX, p.SumMaxY, true, [&](int32_t i, int32_t j) {
            return k.SseSums4x4Best(cur, top.At(i, j), p.SumPitch, bottom.At(i, j));
        });
        // Each grid point is tried in both reference fields: rows v and v + 1.
        const auto visitBoth = [&](TSearchBest& b) {
            return [&](int32_t u, int32_t v) {
                b.Offer(u, v, FieldCandidateCost(k, a, x, y, parity, u, v));
                if (v < a.MaxY())
                    b.Offer(u, v + 1, FieldCandidateCost(k, a, x, y, parity, u, v + 1));
            };
        };
        TSearchBest fine{4 * coarse.X, 4 * coarse.Y, kLargestCost};
        GridPassesVisitAll(fine, 2, a.MaxX(), a.MaxY(), visitBoth(fine));
        if (fine.Cost < best.Cost)
            best = fine;
        if (best.Cost > kFastZoomMinimumCost && (coarse.X != x / 4 || coarse.Y != y / 4)) {
            TSearchBest second{x, y, kLargestCost};
            GridPassesVisitAll(second, 2, a.MaxX(), a.MaxY(), visitBoth(second));
            if (second.Cost < best.Cost)
                best = second;
        }
    }
    RefineFieldHalfSample(k, a, x, y, parity, best.X, best.Y, best.Cost, zeroCost, kFrameHalfSampleMargin, result);
}

void ZoomSearchFrame(const TKernelTable& k, const TZoomSearchPackageParams& p, int32_t x, int32_t y,
                     TMotionSearchResult& result) {
    const TSearchArea a = SearchAreaOf(p);
    const int32_t zeroCost = FrameCandidateCost(k, a, x, y, x, y);
    TSearchBest best{x, y, zeroCost};
    if (zeroCost >= 1) {
        const TSumPicture ref = SumsOf(p, p.ReferenceSums);
        const uint16_t* cur = SumsOf(p, p.CurrentSums).At(x / 4, y / 4);
        TSearchBest coarse{x / 4, y / 4, kLargestCost};
        SpiralScan(
            coarse, 0, p.CoarseCount, x / 4, y / 4, [&](int32_t i, int32_t j) { return ref.IsValid(i, j); },
            [&](int32_t i, int32_t j) { return k.SseSums4x4(cur, ref.At(i, j), p.SumPitch); },
            [](int32_t c) { return c <= kCoarseGoodEnough; });
        const auto valid = [&](int32_t u, int32_t v) { return a.IsValidCandidate(u, v); };
        const auto cost = [&](int32_t u, int32_t v) { return FrameCandidateCost(k, a, x, y, u, v); };
        const auto exact = [](int32_t c) { return c == 0; };
        SpiralScan(best, 0, p.FineCount, 4 * coarse.X, 4 * coarse.Y, valid, cost, exact);
        if (best.Cost > 0 && (coarse.X != x / 4 || coarse.Y != y / 4))
            SpiralScan(best, 1, p.SecondCount, x, y, valid, cost, exact);
    }
    RefineFrameHalfSample(k, a, x, y, best.X, best.Y, best.Cost, zeroCost, result);
}

void ZoomSearchField(const TKernelTable& k, const TZoomSearchPackageParams& p, const uint16_t* fieldSums, int32_t x,
                     int32_t y, int32_t parity, TMotionSearchResult& result) {
    const TSearchArea a = SearchAreaOf(p);
    const int32_t zeroCost = FieldCandidateCost(k, a, x, y, parity, x, y);
    TSearchBest best{x, y, zeroCost};
    if (zeroCost >= 1) {
        const auto valid = [&](int32_t u, int32_t v) { return a.IsValidCandidate(u, v); };
        const auto cost = [&](int32_t u, int32_t v) { return FieldCandidateCost(k, a, x, y, parity, u, v); };
        const auto exact = [](int32_t c) { return c == 0; };
        SpiralScan(best, 1, p.FieldPreSearchCount, x, y, valid, cost, exact);
        if (best.Cost > 0) {
            const TSumPicture top = SumsOf(p, p.ReferenceTopSums), bottom = SumsOf(p, p.ReferenceBottomSums);
            const uint16_t* cur = SumsOf(p, fieldSums).At(x / 4, y / 4);
            const auto coarseCost = [&](int32_t i, int32_t j) {
                return std::min(k.SseSums4x4(cur, top.At(i, j), p.SumPitch),
                                k.SseSums4x4(cur, bottom.At(i, j), p.SumPitch));
            };
            TSearchBest coarse{x / 4, y / 4, coarseCost(x / 4, y / 4)};
            SpiralScan(
                coarse, 1, p.FieldCoarseCount, x / 4, y / 4, [&](int32_t i, int32_t j) { return top.IsValid(i, j); },
                coarseCost, [](int32_t c) { return c <= kCoarseGoodEnough; });
            SpiralScan(best, 0, p.FieldFineCount, 4 * coarse.X, 4 * coarse.Y, valid, cost, exact);
        }
    }
    RefineFieldHalfSample(k, a, x, y, parity, best.X, best.Y, best.Cost, zeroCost, kFieldHalfSampleMargin, result);
}

} // namespace quillset
