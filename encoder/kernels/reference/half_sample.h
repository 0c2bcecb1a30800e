// Half-sample prediction of one pixel, shared by the reference kernels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillset::reference {

// The four variants in table order: full sample, vertical half, horizontal half, both.
enum class THalf { Full, V, H, HV };

// The predicted pixel at ref[x] of a row, with `pitch` to the row below.
template <THalf Mode>
inline int32_t PredictPixel(const uint8_t* ref, ptrdiff_t pitch, int x) {
    if constexpr (Mode == THalf::Full) {
        return ref[x];
    } else if constexpr (Mode == THalf::V) {
        return (ref[x] + ref[x + pitch] + 1) >> 1;
    } else if constexpr (Mode == THalf::H) {
        return (ref[x] + ref[x + 1] + 1) >> 1;
    } else {
        return (ref[x] + ref[x + 1] + ref[x + pitch] + ref[x + pitch + 1] + 2) >> 2;
    }
}

// Reads the unsigned 16-bit value at column x of row `row` of a sum picture whose pitch is in
// bytes.
inline uint16_t SumAt(const uint16_t* base, ptrdiff_t pitch, int row, int x) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(base) + row * pitch;
    return reinterpret_cast<const uint16_t*>(bytes)[x];
}

} // namespace quillset::reference
