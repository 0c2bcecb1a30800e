// Colour-conversion tables for the RGB <-> YUV kernels: per-component products in 16.16 fixed
// point, built from a record of 15 coefficients.
#pragma once

#include <array>
#include <cstdint>

namespace quillset {

// Index 0: Y offset; 1-3: Y from R, G, B; 4-6: Cb from R, G, B; 7-9: Cr from R, G, B;
// 10: RGB from (Y - offset); 11: R from (Cr - 128); 12: G from (Cb - 128); 13: G from (Cr - 128);
// 14: B from (Cb - 128).
using TColorConversionCoefficients = std::array<double, 15>;

// ITU-R BT.601 with full-range (0..255) YUV.
extern const TColorConversionCoefficients FullRangeCoefficients;
// ITU-R BT.601 with studio-range YUV (Y 16..235, chroma 16..240).
extern const TColorConversionCoefficients StudioRangeCoefficients;
// Analog YUV (the PAL/NTSC U and V scaling) as some capture formats deliver it.
extern const TColorConversionCoefficients AnalogYUVCoefficients;

// The table the conversion kernels index with component bytes. The forward tables include the
// rounding terms and offsets so that Y = (YfromR[R] + YfromG[G] + YfromB[B]) >> 16 and
// Cb = (CbfromR[r] + CbfromG[g] + CbfromB[b]) / 65536; the inverse tables give
// R = (RfromCr[Cr] + RGBfromY[Y]) / 65536 and likewise for G and B (then clamped to 0..255).
struct TColorConversionTable {
    TColorConversionCoefficients Coefficients{};
    int32_t YfromR[256];
    int32_t YfromG[256];
    int32_t YfromB[256];
    int32_t CbfromR[256];
    int32_t CbfromG[256];
    int32_t CbfromB[256];
    int32_t CrfromR[256];
    int32_t CrfromG[256];
    int32_t CrfromB[256];
    int32_t RGBfromY[256];
    int32_t RfromCr[256];
    int32_t GfromCb[256];
    int32_t GfromCr[256];
    int32_t BfromCb[256];
};

// Fills `table` from `coefficients`; every product is formed in extended precision and
// truncated toward zero.
void BuildColorConversionTable(const TColorConversionCoefficients& coefficients, TColorConversionTable& table);

// The two system-wide tables (full range for the RGB motion search, studio range for preview
// pictures), built on first use and read-only afterwards.
const TColorConversionTable& FullRangeConversionTable();
const TColorConversionTable& StudioRangeConversionTable();

} // namespace quillset
