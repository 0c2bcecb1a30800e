#include "encoder/video/motion/motion_estimate_core.h"

#include <algorithm>
#include <cstdlib>

#include "encoder/video/motion/half_sample_refinement.h"
#include "encoder/video/motion/search_area.h"
#include "encoder/video/motion/search_scan.h"

namespace quillset {

namespace {

constexpr int32_t kFirstStepCount = 64;
constexpr int32_t kLaterStepCount = 32;
constexpr int32_t kFineCount = 64;
constexpr int32_t kFieldModeFrameThreshold = 256;

// Follows the coarse block at (cx, cy) from the current picture to the reference one picture
// at a time; `cost(handle, i, j)` measures the block against position (i, j) of a visited
// picture. Returns the position found in the reference.
template <typename Cost>
TSearchBest Walk(const TMotionEstimatePackageParams& p, int32_t cx, int32_t cy, Cost&& cost) {
    const int32_t left = std::max(cx - p.Radius, 0), right = std::min(cx + p.Radius, p.SumMaxX);
    const int32_t topRow = std::max(cy - p.Radius, 0), bottomRow = std::min(cy + p.Radius, p.SumMaxY);
    const auto inWindow = [&](int32_t i, int32_t j) { return i >= left && i <= right && j >= topRow && j <= bottomRow; };
    const auto goodEnough = [](int32_t c) { return c <= kCoarseGoodEnough; };

    TMotionSearchBufferHandle* const target = p.ReferenceHandle;
    const bool forward = target->DisplayNumber > p.CurrentHandle->DisplayNumber;
    int32_t steps = std::abs(target->DisplayNumber - p.CurrentHandle->DisplayNumber);
    TMotionSearchBufferHandle* visited = p.CurrentHandle;
    TSearchBest found{cx, cy, kLargestCost};
    int32_t motion = 0, motionY = 0, previousMotion = 0, previousMotionY = 0;
    for (int32_t k = 0; visited != target; ++k) {
        TMotionSearchBufferHandle* next = nullptr;
        if (--steps > 0)
            next = forward ? visited->GetNextBuffer(visited) : visited->GetPrevBuffer(visited);
        // The reference ends the walk, also when the pictures in between are not linked.
        visited = next != nullptr ? next : target;
        if (k == 0) {
            found = {cx, cy, kLargestCost};
            SpiralScan(
                found, 0, kFirstStepCount, cx, cy, inWindow, [&](int32_t i, int32_t j) { return cost(visited, i, j); },
                goodEnough);
        } else {
            // p_1 = b_0 + D_0; p_k = b_(k-1) + (D_(k-1) + D_(k-2)) div 2.
            const int32_t px = found.X + (k == 1 ? motion : (motion + previousMotion) / 2);
            const int32_t py = found.Y + (k == 1 ? motionY : (motionY + previousMotionY) / 2);
            found = {cx, cy, cost(visited, cx, cy)};
            SpiralScan(
                found, 0, kLaterStepCount, px, py, inWindow, [&](int32_t i, int32_t j) { return cost(visited, i, j); },
                goodEnough);
        }
        previousMotion = motion;
        previousMotionY = motionY;
        motion = found.X - cx;
        motionY = found.Y - cy;
    }
    return found;
}

} // namespace

void MotionEstimateFrame(const TKernelTable& k, const TMotionEstimatePackageParams& p, bool fieldModeClass, int32_t x,
                         int32_t y, TMotionSearchResult& result) {
    const TSearchArea a = SearchAreaOf(p);
    const int32_t zeroCost = FrameCandidateCost(k, a, x, y, x, y);
    TSearchBest best{x, y, zeroCost};
    if (zeroCost > (fieldModeClass ? kFieldModeFrameThreshold : 0)) {
        const TSumPicture sums{p.CurrentSums, p.SumPitch, p.SumMaxX, p.SumMaxY, 1};
        const uint16_t* cur = sums.At(x / 4, y / 4);
        const TSearchBest coarse = Walk(p, x / 4, y / 4, [&](TMotionSearchBufferHandle* h, int32_t i, int32_t j) {
            return k.SseSums4x4(cur, sums.With(h->FrameSums).At(i, j), p.SumPitch);
        });
        const int32_t stopAt = fieldModeClass ? kFieldModeFrameThreshold : 0;
        SpiralScan(
            best, 0, kFineCount, 4 * coarse.X, 4 * coarse.Y, [&](int32_t u, int32_t v) { return a.IsValidCandidate(u, v); },
            [&](int32_t u, int32_t v) { return FrameCandidateCost(k, a, x, y, u, v); },
            [&](int32_t c) { return c <= stopAt; });
    }
    RefineFrameHalfSampleWithMargin(k, a, x, y, best.X, best.Y, best.Cost, zeroCost,
                                    fieldModeClass ? kFieldHalfSampleMargin : kFrameHalfSampleMargin, result);
}

void MotionEstimateField(const TKernelTable& k, const TMotionEstimatePackageParams& p, const uint16_t* fieldSums,
                         int32_t x, int32_t y, int32_t parity, TMotionSearchResult& result) {
    const TSearchArea a = SearchAreaOf(p);
    const int32_t top = FieldCandidateCost(k, a, x, y, parity, x, y);
    const int32_t bottom = k.Sad16x8(a.CurrentAt(x, y + parity), a.ReferenceAt(x, y + 1), a.FieldPitch());
    TSearchBest best = bottom <= top ? TSearchBest{x, y + 1, bottom} : TSearchBest{x, y, top};
    const int32_t zeroCost = best.Cost;
    if (zeroCost > 0) {
        const TSumPicture sums{fieldSums, p.SumPitch, p.SumMaxX, p.SumMaxY, 1};
        const uint16_t* cur = sums.At(x / 4, y / 4);
        const TSearchBest coarse = Walk(p, x / 4, y / 4, [&](TMotionSearchBufferHandle* h, int32_t i, int32_t j) {
            return k.SseSums4x4(cur, sums.With(h->TopFieldSums).At(i, j), p.SumPitch) +
                   k.SseSums4x4(cur, sums.With(h->BottomFieldSums).At(i, j), p.SumPitch);
        });
        SpiralScan(
            best, 0, kFineCount, 4 * coarse.X, 4 * coarse.Y, [&](int32_t u, int32_t v) { return a.IsValidCandidate(u, v); },
            [&](int32_t u, int32_t v) { return FieldCandidateCost(k, a, x, y, parity, u, v); },
            [](int32_t c) { return c == 0; });
    }
    RefineFieldHalfSample(k, a, x, y, parity, best.X, best.Y, best.Cost, zeroCost, kFieldHalfSampleMargin, result);
}

} // namespace quillset
