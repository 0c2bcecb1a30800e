#include "encoder/video/motion/half_sample_refinement.h"

#include "encoder/video/motion/motion_search_tables.h"

namespace quillset {

namespace {

bool ShouldRefine(const TSearchArea& a, int32_t cost, int32_t zeroCost, int32_t margin) {
    return cost > 0 && a.HalfPel && (cost < zeroCost - margin || a.AlwaysHalfPel);
}

} // namespace

void RefineFrameHalfSample(const TKernelTable& k, const TSearchArea& a, int32_t x, int32_t y, int32_t bx, int32_t by,
                           int32_t cost, int32_t zeroCost, TMotionSearchResult& result) {
    RefineFrameHalfSampleWithMargin(k, a, x, y, bx, by, cost, zeroCost, kFrameHalfSampleMargin, result);
}

void RefineFrameHalfSampleWithMargin(const TKernelTable& k, const TSearchArea& a, int32_t x, int32_t y, int32_t bx,
                                     int32_t by, int32_t cost, int32_t zeroCost, int32_t margin,
                                     TMotionSearchResult& result) {
    int32_t bestHx = 2 * bx;
    int32_t bestHy = 2 * by;
    if (ShouldRefine(a, cost, zeroCost, margin)) {
        // Variant index 2 * horizontal half + vertical half: full, V, H, HV.
        const TBlockMeasureKernel variants[4] = {k.Sad16x16, k.Sad16x16V, k.Sad16x16H, k.Sad16x16HV};
        const uint8_t* cur = a.CurrentAt(x, y);
        for (const TSearchOffset& n : HalfPelNeighbours) {
            const int32_t hx = 2 * bx + n.X;
            const int32_t hy = 2 * by + n.Y;
            if (hx < 0 || hx > a.MaxHalfX() || hy < 0 || hy > a.MaxHalfY())
                continue;
            const int32_t c = variants[2 * (hx & 1) + (hy & 1)](cur, a.ReferenceAt(hx >> 1, hy >> 1), a.Width);
            if (c < cost) {
                cost = c;
                bestHx = hx;
                bestHy = hy;
            }
        }
    }
    result.FieldSelect = 0;
    result.MvX = bestHx - 2 * x;
    result.MvY = bestHy - 2 * y;
    result.BestX = bx;
    result.BestY = by;
    result.Cost = cost;
}

void RefineFieldHalfSample(const TKernelTable& k, const TSearchArea& a, int32_t x, int32_t y, int32_t parity,
                           int32_t bx, int32_t by, int32_t cost, int32_t zeroCost, int32_t margin,
                           TMotionSearchResult& result) {
    const int32_t fieldSelect = by & 1;
    const int32_t f = 2 * (by >> 1);
    int32_t bestHx = 2 * bx;
    int32_t bestG = f;
    if (ShouldRefine(a, cost, zeroCost, margin)) {
        const TBlockMeasureKernel variants[4] = {k.Sad16x8, k.Sad16x8V, k.Sad16x8H, k.Sad16x8HV};
        const uint8_t* cur = a.CurrentAt(x, y + parity);
        for (const TSearchOffset& n : HalfPelNeighbours) {
            const int32_t hx = 2 * bx + n.X;
            const int32_t g = f + n.Y;
            if (hx < 0 || hx > a.MaxHalfX() || g < 0 || 2 * ((g >> 1) + (g & 1)) + fieldSelect > a.MaxY())
                continue;
            // Field row g div 2 of reference field `fieldSelect` is frame row 2 * (g div 2) + fieldSelect.
            const uint8_t* ref = a.ReferenceAt(hx >> 1, 2 * (g >> 1) + fieldSelect);
            const int32_t c = variants[2 * (hx & 1) + (g & 1)](cur, ref, a.FieldPitch());
            if (c < cost) {
                cost = c;
                bestHx = hx;
                bestG = g;
            }
        }
    }
    result.FieldSelect = fieldSelect;
    result.MvX = bestHx - 2 * x;
    result.MvY = bestG - y;
    result.BestX = bx;
    result.BestY = by;
    result.Cost = cost;
}

} // namespace quillset
