// Per-difference lookup tables shared by the reference kernels. They are constant-initialised
// (built by the compiler), so they are ready before any start-up code runs and cost nothing.
#pragma once

#include <array>
#include <cstdint>

namespace quillset {

inline constexpr int kLookupCenter = 4096;
inline constexpr int kClampCenter = 2048;

// Entry i holds |i - 4096|; index with a difference d as AbsTable[d + 4096], |d| <= 4096.
extern const std::array<int32_t, 2 * kLookupCenter + 1> AbsTable;
// Entry i holds (i - 4096)^2.
extern const std::array<int32_t, 2 * kLookupCenter + 1> SquareTable;
// Entry i holds i - 2048 clamped to 0..255; for values within -2048..2048.
extern const std::array<uint8_t, 2 * kClampCenter + 1> ClampTable;

// 0 for negative values, 255 for values above 255, else the value.
constexpr int32_t ClampToByte(int32_t value) {
    return value < 0 ? 0 : (value > 255 ? 255 : value);
}

} // namespace quillset
