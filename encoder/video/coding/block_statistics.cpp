#include "encoder/video/coding/block_statistics.h"

#include <algorithm>
#include <cstddef>

namespace quillset {

namespace {

struct TBlockFigure {
    double Variance;
    double Energy;
};

TBlockFigure Figure(const int32_t out[2]) {
    const double mean = out[0] / 64.0;
    return {out[1] / 64.0 - mean * mean, static_cast<double>(out[1])};
}

// Per field (two blocks): sum, larger and smaller variance, energy.
struct TFieldFigure {
    double Sum, Larger, Smaller, Energy;
};

TFieldFigure FieldFigure(const TBlockFigure& left, const TBlockFigure& right) {
    return {left.Variance + right.Variance, std::max(left.Variance, right.Variance),
            std::min(left.Variance, right.Variance), left.Energy + right.Energy};
}

TBlockStats FromFour(const TBlockFigure f[4]) {
    TBlockStats s;
    s.Max = f[0].Variance;
    s.Min = f[0].Variance;
    for (int i = 0; i < 4; ++i) {
        s.Total += f[i].Variance;
        s.Max = std::max(s.Max, f[i].Variance);
        s.Min = std::min(s.Min, f[i].Variance);
        s.QSum += f[i].Energy;
    }
    return s;
}

} // namespace

TBlockStats SourceFrameStats(const TKernelTable& k, const uint8_t* src, int32_t pitch) {
    TBlockFigure f[4];
    for (int b = 0; b < 4; ++b) {
        int32_t out[2];
        k.SumAndEnergy8x8(src + static_cast<ptrdiff_t>(8 * (b >> 1)) * pitch + 8 * (b & 1), pitch, out);
        f[b] = Figure(out);
    }
    return FromFour(f);
}

TBlockStats SourceFieldStats(const TKernelTable& k, const uint8_t* src, int32_t pitch) {
    TFieldFigure fields[2];
    for (int parity = 0; parity < 2; ++parity) {
        TBlockFigure f[2];
        for (int side = 0; side < 2; ++side) {
            int32_t out[2];
            k.SumAndEnergy8x8(src + static_cast<ptrdiff_t>(parity) * pitch + 8 * side, 2 * pitch, out);
            f[side] = Figure(out);
        }
        fields[parity] = FieldFigure(f[0], f[1]);
    }
    TBlockStats s;
    s.Total = fields[0].Sum + fields[1].Sum;
    s.Max = fields[0].Larger + fields[1].Larger;
    s.Min = fields[0].Smaller + fields[1].Smaller;
    s.QSum = fields[0].Energy + fields[1].Energy;
    return s;
}

TBlockStats ResidualFrameStats(const TKernelTable& k, const uint8_t* src, int32_t pitch, const uint8_t* packed) {
    TBlockFigure f[4];
    for (int b = 0; b < 4; ++b) {
        int32_t out[2];
        k.DiffSadEnergy8x8Packed(src + static_cast<ptrdiff_t>(8 * (b >> 1)) * pitch + 8 * (b & 1),
                                 packed + 128 * (b >> 1) + 8 * (b & 1), pitch, out);
        f[b] = Figure(out);
    }
    return FromFour(f);
}

TBlockStats ResidualFieldStats(const TKernelTable& k, const uint8_t* src, int32_t pitch, const uint8_t* packed) {
    TFieldFigure fields[2];
    for (int parity = 0; parity < 2; ++parity) {
        TBlockFigure f[2];
        for (int side = 0; side < 2; ++side) {
            int32_t out[2];
            k.DiffSadEnergy8x8Field(src + static_cast<ptrdiff_t>(parity) * pitch + 8 * side,
                                    packed + 16 * parity + 8 * side, 2 * pitch, out);
            f[side] = Figure(out);
        }
        fields[parity] = FieldFigure(f[0], f[1]);
    }
    TBlockStats s;
    s.Total = 2 * std::max(fields[0].Sum, fields[1].Sum);
    s.Max = 2 * std::max(fields[0].Larger, fields[1].Larger);
    s.Min = 2 * std::max(fields[0].Smaller, fields[1].Smaller);
    s.QSum = 2 * std::max(fields[0].Energy, fields[1].Energy);
    return s;
}

} // namespace quillset
