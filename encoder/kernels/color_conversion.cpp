#include "encoder/kernels/color_conversion.h"

#include <cmath>

namespace quillset {

const TColorConversionCoefficients FullRangeCoefficients = {
    0, 0.299, 0.587, 0.114, -0.168736, -0.331264, 0.5, 0.5, -0.418688, -0.081312,
    1.0, 1.4022, -0.34414, -0.71414, 1.772};

const TColorConversionCoefficients StudioRangeCoefficients = {
    16, 0.255785, 0.50216, 0.097523, -0.147644, -0.289856, 0.4375, 0.4375, -0.366352, -0.071148,
    1.16895, 1.602514, -0.393303, -0.81616, 2.025143};

const TColorConversionCoefficients AnalogYUVCoefficients = {
    0, 0.299, 0.587, 0.114, -0.147, -0.289, 0.436, 0.615, -0.515, -0.1,
    1.0, 1.14, -0.396, -0.581, 2.029};

namespace {

using Extended = long double;

int32_t Truncated(Extended value) { return static_cast<int32_t>(std::trunc(value)); }

// Forward products for one component group (Y, Cb or Cr): the blue table carries the constant.
void FillForward(const TColorConversionCoefficients& c, int first, Extended constant, int32_t* fromR,
                 int32_t* fromG, int32_t* fromB) {
    for (int i = 0; i < 256; ++i) {
        const Extended v = i;
        fromR[i] = Truncated(v * c[first] * 65536);
        fromG[i] = Truncated(v * c[first + 1] * 65536);
        fromB[i] = Truncated(v * c[first + 2] * 65536 + constant);
    }
}

} // namespace

void BuildColorConversionTable(const TColorConversionCoefficients& c, TColorConversionTable& table) {
    table.Coefficients = c;
    const Extended yOffset = c[0];
    FillForward(c, 1, yOffset * 65536 + 32767, table.YfromR, table.YfromG, table.YfromB);
    FillForward(c, 4, Extended(8388608 + 32767), table.CbfromR, table.CbfromG, table.CbfromB);
    FillForward(c, 7, Extended(8388608 + 32767), table.CrfromR, table.CrfromG, table.CrfromB);
    for (int i = 0; i < 256; ++i) {
        const Extended centered = Extended(i) - 128;
        table.RGBfromY[i] = Truncated((Extended(i) - yOffset) * c[10] * 65536);
        table.RfromCr[i] = Truncated(centered * c[11] * 65536 + 32768);
        table.GfromCb[i] = Truncated(centered * c[12] * 65536);
        table.GfromCr[i] = Truncated(centered * c[13] * 65536 + 32768);
        table.BfromCb[i] = Truncated(centered * c[14] * 65536 + 32768);
    }
}

namespace {
TColorConversionTable BuiltTable(const TColorConversionCoefficients& c) {
    TColorConversionTable table;
    BuildColorConversionTable(c, table);
    return table;
}
} // namespace

const TColorConversionTable& FullRangeConversionTable() {
    static const TColorConversionTable table = BuiltTable(FullRangeCoefficients);
    return table;
}

const TColorConversionTable& StudioRangeConversionTable() {
    static const TColorConversionTable table = BuiltTable(StudioRangeCoefficients);
    return table;
}

} // namespace quillset
