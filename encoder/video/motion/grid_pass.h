// The grid pass: a 3x3 pattern of candidates around a centre, shrinking its step pass by pass.
#pragma once

#include <cstdint>
#include <limits>

namespace quillset {

// The running best of a search: a candidate position and its cost. "Better" is always strictly
// smaller, so among equal costs the candidate found first stays.
struct TSearchBest {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Cost = std::numeric_limits<int32_t>::max();

    bool Offer(int32_t x, int32_t y, int32_t cost) {
        if (cost >= Cost)
            return false;
        X = x;
        Y = y;
        Cost = cost;
        return true;
    }
};

// The step after a pass with step s: 0 after 1, else (s + 1) div 2 (4 -> 2 -> 1 -> 0).
constexpr int32_t NextGridStep(int32_t s) { return s == 1 ? 0 : (s + 1) / 2; }

// Grid passes from `step` down to 1 around `best`'s position. Each pass visits the rows
// cy - s, cy, cy + s and in each row the columns cx - s, cx, cx + s, row by row; an end below 0
// or beyond the limit (maxX, maxY) is replaced by the centre, so the pattern shrinks at the
// edges. After each pass the centre moves to the best position.
//
// A position visited twice gives the same cost, which can never be strictly better than itself,
// so repeats are not measured again; for the same reason the centre is measured only when
// `measureCentre` is set (a fresh best whose centre has no cost yet), and only in the first
// pass: later centres are positions already measured.
template <typename CostAt>
void GridPasses(TSearchBest& best, int32_t step, int32_t maxX, int32_t maxY, bool measureCentre, CostAt&& costAt) {
    for (int32_t s = step; s > 0; s = NextGridStep(s)) {
        const int32_t cx = best.X;
        const int32_t cy = best.Y;
        const int32_t rows[3] = {cy - s < 0 ? cy : cy - s, cy, cy + s > maxY ? cy : cy + s};
        const int32_t cols[3] = {cx - s < 0 ? cx : cx - s, cx, cx + s > maxX ? cx : cx + s};
        for (int32_t r = 0; r < 3; ++r) {
            if (r != 1 && rows[r] == cy)
                continue;
            for (int32_t c = 0; c < 3; ++c) {
                if (c != 1 && cols[c] == cx)
                    continue;
                if (r == 1 && c == 1 && !measureCentre)
                    continue;
                best.Offer(cols[c], rows[r], costAt(cols[c], rows[r]));
            }
        }
        measureCentre = false;
    }
}

} // namespace quillset
