// A plain per-pixel statement of the temporal noise reduction filter, in integers up to the final
// multiplication by the reciprocal estimate, for comparing the library with.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "plugins/nr2d/tests/plugin_loader.h"
#include "plugins/nr2d/tests/reciprocal.h"

namespace quillset::testing {

// `previous` and `next` may be null: the library then uses the current picture in their place.
inline TPicture ReferenceTemporalFilter(const TPicture& current, const TPicture* previous, const TPicture* next,
                                        int32_t strength, bool fieldMode) {
    const int32_t s = 10 * std::clamp(strength, 0, 100);
    if (s == 0)
        return current;
    const TPicture& p = previous != nullptr ? *previous : current;
    const TPicture& n = next != nullptr ? *next : current;
    const int32_t width = current.Width, height = current.Height, step = fieldMode ? 2 : 1;
    auto distances = [&](const TPicture& other) {
        std::vector<int32_t> d(static_cast<size_t>(width) * height);
        for (int32_t row = 0; row < height; ++row)
            for (int32_t column = 0; column < width; ++column)
                for (int32_t c = 0; c < 3; ++c) {
                    const int32_t diff = current.At(row, column, c) - other.At(row, column, c);
                    d[static_cast<size_t>(row) * width + column] += diff * diff;
                }
        return d;
    };
    const std::vector<int32_t> dp = distances(p), dn = distances(n);
    auto windowMaximum = [&](const std::vector<int32_t>& d, int32_t row, int32_t column) {
        int32_t m = 0;
        for (int32_t k = -2; k <= 2; ++k)
            for (int32_t dx = -2; dx <= 2; ++dx) {
                const int32_t r = row + step * k, x = column + dx;
                if (r >= 0 && r < height && x >= 0 && x < width)
                    m = std::max(m, d[static_cast<size_t>(r) * width + x]);
            }
        return m;
    };
    TPicture out(width, height);
    for (int32_t row = 0; row < height; ++row)
        for (int32_t column = 0; column < width; ++column) {
            const int32_t wp = std::max(0, s - windowMaximum(dp, row, column));
            const int32_t wn = std::max(0, s - windowMaximum(dn, row, column));
            const float r = TestReciprocalEstimate(static_cast<float>(s + wp + wn));
            for (int32_t c = 0; c < 3; ++c) {
                const int32_t sum =
                    s * current.At(row, column, c) + wp * p.At(row, column, c) + wn * n.At(row, column, c);
                out.At(row, column, c) =
                    static_cast<uint8_t>(std::min(255, static_cast<int32_t>(static_cast<float>(sum) * r)));
            }
        }
    return out;
}

} // namespace quillset::testing
