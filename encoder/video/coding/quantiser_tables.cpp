#include "encoder/video/coding/quantiser_tables.h"

#include <algorithm>

#include "encoder/video/syntax/scan_tables.h"

namespace quillset {

namespace {

constexpr double kHalf = 0.4999999;
constexpr int32_t kUnlimitedWeight = 1 << 22;

// The weight of transposed position t (8 x horizontal + vertical frequency) in a raster matrix.
int32_t WeightAt(const TQuantMatrix& matrix, int32_t t) {
    const int32_t raster = (t % 8) * 8 + t / 8;
    const int32_t w = matrix[static_cast<size_t>(raster)];
    return w == 0 ? 255 : w;
}

} // namespace

void BuildQuantiserTables(TQuantiserTables& tables, const TQuantMatrix& intraMatrix, const TQuantMatrix& nonIntraMatrix,
                          bool mpeg2, int32_t dcPrecision, double quantModeIntra, double quantModeNonIntra) {
    const double a = std::clamp(quantModeIntra, 0.0, 1.0);
    const double b = std::clamp(quantModeNonIntra, 0.0, 1.0);
    const int32_t levelLimit = mpeg2 ? 2047 : 255;
    tables.MPEG2 = mpeg2;
    tables.DCPrecision = dcPrecision;
    tables.IntraDCMultiplier = 8 >> dcPrecision;
    tables.LargestScale = QuantiserScale(31, mpeg2);

    TQuantiserKindTables& in = tables.Intra;
    TQuantiserKindTables& non = tables.NonIntra;
    for (int32_t t = 0; t < 64; ++t) {
        const int32_t w = t == 0 ? 8 : WeightAt(intraMatrix, t);
        const int32_t v = WeightAt(nonIntraMatrix, t);
        in.LimitWeight[t] = t == 0 ? kUnlimitedWeight : levelLimit * w;
        in.LimitFactor[t] = t == 0 ? 0.0f : static_cast<float>(16.0 / in.LimitWeight[t]);
        non.LimitWeight[t] = levelLimit * v;
        non.LimitFactor[t] = static_cast<float>(16.0 / non.LimitWeight[t]);
        for (int32_t code = 1; code <= 31; ++code) {
            const int32_t s = QuantiserScale(code, mpeg2);
            if (t == 0) {
                const int32_t step = tables.IntraDCMultiplier * 128;
                in.Divisor[code][t] = step;
                in.Offset[code][t] = static_cast<int32_t>(kHalf * step);
                in.Multiplier[code][t] = 0;
                in.DequantFactor[code][t] = 0.0f;
            } else {
                const int32_t step = 8 * s * w;
                in.Divisor[code][t] = step;
                in.Offset[code][t] = static_cast<int32_t>((1.0 - a) * kHalf * step);
                in.Multiplier[code][t] = s * w;
                in.DequantFactor[code][t] = static_cast<float>(s * w / 16.0);
            }
            in.Factor[code][t] = static_cast<float>(128.0 / in.Divisor[code][t]);
            in.FloatOffset[code][t] = static_cast<float>(in.Offset[code][t] / 128.0);

            non.Divisor[code][t] = 8 * s * v;
            non.Offset[code][t] = static_cast<int32_t>((1.0 - b) * kHalf * 4 * v);
            non.Multiplier[code][t] = s * v;
            non.DequantFactor[code][t] = static_cast<float>(s * v / 32.0);
            non.Factor[code][t] = static_cast<float>(128.0 / non.Divisor[code][t]);
            non.FloatOffset[code][t] = static_cast<float>(non.Offset[code][t] / 128.0);
        }
    }
}

} // namespace quillset
