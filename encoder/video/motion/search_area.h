// The luma planes one search compares and the measures of its full-sample candidates.
//
// Both planes have the same size W x H (multiples of 16) and the pitch W. A frame candidate
// (u, v) is the 16x16 reference block at column u, row v; a field candidate (u, v) is the 16x8
// block of reference rows v, v + 2, ..., v + 14 (the field of parity v mod 2), compared with
// one field of the current macroblock at pitch 2W. Candidates are valid for 0 <= u <= W - 16 and
// 0 <= v <= H - 16; callers measure valid candidates only.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>

#include "encoder/kernels/kernel_table.h"

namespace quillset {

struct TSearchArea {
    const uint8_t* Current = nullptr;
    const uint8_t* Reference = nullptr;
    int32_t Width = 0;  // W, also the pitch of both planes
    int32_t Height = 0; // H
    bool HalfPel = false;
    bool AlwaysHalfPel = false;

    int32_t MaxX() const { return Width - 16; }
    int32_t MaxY() const { return Height - 16; }
    int32_t MaxHalfX() const { return 2 * Width - 32; }
    int32_t MaxHalfY() const { return 2 * Height - 32; }
    int32_t FieldPitch() const { return 2 * Width; }

    const uint8_t* CurrentAt(int32_t x, int32_t y) const {
        return Current + static_cast<ptrdiff_t>(y) * Width + x;
    }
    const uint8_t* ReferenceAt(int32_t x, int32_t y) const {
        return Reference + static_cast<ptrdiff_t>(y) * Width + x;
    }
    bool IsValidCandidate(int32_t u, int32_t v) const { return u >= 0 && u <= MaxX() && v >= 0 && v <= MaxY(); }
};

// The area a package's parameter block describes: every block carries CurrentY, ReferenceY,
// Width, HeightMinus16 and the HalfPel / AlwaysHalfPel flags.
template <typename Params>
TSearchArea SearchAreaOf(const Params& p) {
    TSearchArea a;
    a.Current = p.CurrentY;
    a.Reference = p.ReferenceY;
    a.Width = p.Width;
    a.Height = p.HeightMinus16 + 16;
    a.HalfPel = p.HalfPel != 0;
    a.AlwaysHalfPel = p.AlwaysHalfPel != 0;
    return a;
}

// Sad16x16 of the current macroblock at (x, y) against the frame candidate (u, v).
inline int32_t FrameCandidateCost(const TKernelTable& k, const TSearchArea& a, int32_t x, int32_t y, int32_t u,
                                  int32_t v) {
    assert(a.IsValidCandidate(u, v));
    return k.Sad16x16(a.CurrentAt(x, y), a.ReferenceAt(u, v), a.Width);
}

// Sad16x8 of the current macroblock's field `parity` (lines y + parity, y + parity + 2, ...)
// against the field candidate (u, v).
inline int32_t FieldCandidateCost(const TKernelTable& k, const TSearchArea& a, int32_t x, int32_t y, int32_t parity,
                                  int32_t u, int32_t v) {
    assert(a.IsValidCandidate(u, v));
    return k.Sad16x8(a.CurrentAt(x, y + parity), a.ReferenceAt(u, v), a.FieldPitch());
}

} // namespace quillset
