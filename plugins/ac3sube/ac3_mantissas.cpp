#include "plugins/ac3sube/ac3_mantissas.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "plugins/ac3sube/ac3_tables.h"

namespace quillset::ac3sube {

int32_t QuantizeMantissa(double m, int32_t bap) {
    assert(bap >= 1 && bap <= 15);
    const int32_t levels = kQuantizerLevels[bap];
    if (levels != 0) {
        // Levels (2q - (levels - 1)) / levels: the nearest is floor((m + 1) × levels / 2).
        const auto q = static_cast<int32_t>(std::floor((m + 1.0) * levels * 0.5));
        return std::clamp(q, 0, levels - 1);
    }
    const int32_t bits = kMantissaBits[bap];
    const int32_t half = 1 << (bits - 1);
    const auto q = static_cast<int32_t>(std::lround(m * half));
    return std::clamp(q, -half, half - 1) & ((1 << bits) - 1);
}

double MantissaValue(int32_t code, int32_t bap) {
    assert(bap >= 1 && bap <= 15);
    const int32_t levels = kQuantizerLevels[bap];
    if (levels != 0)
        return double(2 * code - (levels - 1)) / levels;
    const int32_t bits = kMantissaBits[bap];
    const int32_t half = 1 << (bits - 1);
    const int32_t value = code >= half ? code - 2 * half : code;
    return double(value) / half;
}

} // namespace quillset::ac3sube
