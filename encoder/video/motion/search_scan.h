// The scan patterns shared by the sum-picture searches: views of sum pictures, spiral scans
// and grid passes that offer several candidates per grid point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "encoder/video/motion/grid_pass.h"
#include "encoder/video/motion/motion_search_tables.h"

namespace quillset {

inline constexpr int32_t kLargestCost = std::numeric_limits<int32_t>::max();

// A coarse search stops once it has taken a sum-of-squares count of at most this.
inline constexpr int32_t kCoarseGoodEnough = 8192;

// A sum picture: unsigned 16-bit entries, rows Pitch bytes apart; a coarse position (i, j)
// denotes the 4x4 block of entries starting there and is valid for 0 <= i <= MaxX,
// 0 <= j <= MaxY (w4 - 4, h4 - 4). RGB sum pictures hold three entries per position.
struct TSumPicture {
    const uint16_t* Data = nullptr;
    int32_t Pitch = 0;
    int32_t MaxX = 0;
    int32_t MaxY = 0;
    int32_t EntriesPerPosition = 1;

    const uint16_t* At(int32_t i, int32_t j) const {
        return reinterpret_cast<const uint16_t*>(reinterpret_cast<const uint8_t*>(Data) +
                                                 static_cast<ptrdiff_t>(j) * Pitch) +
               static_cast<ptrdiff_t>(i) * EntriesPerPosition;
    }
    bool IsValid(int32_t i, int32_t j) const { return i >= 0 && i <= MaxX && j >= 0 && j <= MaxY; }
    TSumPicture With(const uint16_t* data) const {
        TSumPicture s = *this;
        s.Data = data;
        return s;
    }
};

// Scans SpiralOrder entries [first, last) around (cx, cy): each position accepted by `valid`
// is measured with `cost` and taken when strictly better; the scan ends after a taken cost for
// which `stop` holds.
template <typename Valid, typename Cost, typename Stop>
void SpiralScan(TSearchBest& best, int32_t first, int32_t last, int32_t cx, int32_t cy, Valid&& valid, Cost&& cost,
                Stop&& stop) {
    const auto& order = SpiralOrder();
    if (last > kSpiralOrderCount)
        last = kSpiralOrderCount;
    for (int32_t n = first; n < last; ++n) {
        const int32_t u = cx + order[static_cast<size_t>(n)].X;
        const int32_t v = cy + order[static_cast<size_t>(n)].Y;
        if (!valid(u, v))
            continue;
        if (best.Offer(u, v, cost(u, v)) && stop(best.Cost))
            return;
    }
}

// Grid passes (see GridPasses) from `step` down to 1 that call visit(u, v) at every point of
// every pass, centre and repeats included; visit offers its own candidates to `best`, and the
// next pass centres on best's position.
template <typename Visit>
void GridPassesVisitAll(TSearchBest& best, int32_t step, int32_t maxX, int32_t maxY, Visit&& visit) {
    for (int32_t s = step; s > 0; s = NextGridStep(s)) {
        const int32_t cx = best.X;
        const int32_t cy = best.Y;
        const int32_t rows[3] = {cy - s < 0 ? cy : cy - s, cy, cy + s > maxY ? cy : cy + s};
        const int32_t cols[3] = {cx - s < 0 ? cx : cx - s, cx, cx + s > maxX ? cx : cx + s};
        for (int32_t r : rows)
            for (int32_t c : cols)
                visit(c, r);
    }
}

} // namespace quillset
