// A plain per-pixel statement of the spatial noise reduction filter, for comparing the library
// with: every neighbour visited directly, in the order the library documents for its float sums.
#pragma once

#include <algorithm>
#include <cstdint>

#include "plugins/nr2d/tests/plugin_loader.h"
#include "plugins/nr2d/tests/reciprocal.h"

namespace quillset::testing {

inline TPicture ReferenceSpatialFilter(const TPicture& in, int32_t strength, int32_t radius, bool fieldMode) {
    const int32_t s = 10 * std::clamp(strength, 0, 1000);
    const int32_t e = std::clamp(radius, 1, 100);
    const int32_t step = fieldMode ? 2 : 1;
    if (s == 0)
        return in;
    TPicture out(in.Width, in.Height);
    for (int32_t p = 0; p < in.Height; ++p) {
        for (int32_t x = 0; x < in.Width; ++x) {
            float sums[3];
            for (int32_t c = 0; c < 3; ++c)
                sums[c] = static_cast<float>(2 * s) * static_cast<float>(in.At(p, x, c));
            float weights = static_cast<float>(2 * s);
            auto add = [&](int32_t row, int32_t column) {
                if (row < 0 || row >= in.Height || column < 0 || column >= in.Width)
                    return;
                int32_t distance = 0;
                for (int32_t c = 0; c < 3; ++c) {
                    const int32_t d = in.At(p, x, c) - in.At(row, column, c);
                    distance += d * d;
                }
                const float w = static_cast<float>(std::max(0, s - distance));
                for (int32_t c = 0; c < 3; ++c)
                    sums[c] += w * static_cast<float>(in.At(row, column, c));
                weights += w;
            };
            for (int32_t k = e; k >= 1; --k)
                for (int32_t column = x - e; column <= x + e; ++column)
                    add(p - step * k, column);
            for (int32_t k = 1; k <= e; ++k) {
                add(p, x - k);
                add(p, x + k);
            }
            for (int32_t k = 1; k <= e; ++k)
                for (int32_t column = x + e; column >= x - e; --column)
                    add(p + step * k, column);
            const float r = TestReciprocalEstimate(weights);
            for (int32_t c = 0; c < 3; ++c)
                out.At(p, x, c) = static_cast<uint8_t>(std::min(255, static_cast<int32_t>(sums[c] * r)));
        }
    }
    return out;
}

} // namespace quillset::testing
