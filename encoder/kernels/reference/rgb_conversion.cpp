// Reference conversions between packed RGB (24 or 32 bits per pixel, bytes B, G, R) and planar
// YUV through a TColorConversionTable.
//
// Odd sizes: every pixel of the picture is converted. A chroma sample whose pixel pair or row
// pair is incomplete at the right or bottom edge is taken from the pixels that exist (the
// missing partner is replaced by its neighbour), so chroma planes must hold (width + 1) / 2
// columns and ChromaRowCount rows; the rounded planes of a picture always do.
#include "encoder/kernels/color_conversion.h"
#include "encoder/kernels/lookup_tables.h"
#include "encoder/kernels/reference/reference_kernels.h"

namespace quillset::reference {

namespace {

struct TRgb {
    int32_t r, g, b;
};

template <int Bpp>
TRgb ReadRgb(const uint8_t* row, int32_t x) {
    const uint8_t* p = row + Bpp * x;
    return {p[2], p[1], p[0]};
}

uint8_t Luma(const TColorConversionTable& t, TRgb c) {
    return static_cast<uint8_t>(ClampToByte((t.YfromR[c.r] + t.YfromG[c.g] + t.YfromB[c.b]) >> 16));
}

// Arithmetic shift then clamp equals truncating division then clamp: both give 0 for any
// negative sum.
void Chroma(const TColorConversionTable& t, TRgb c, uint8_t* cb, uint8_t* cr) {
    *cb = static_cast<uint8_t>(ClampToByte((t.CbfromR[c.r] + t.CbfromG[c.g] + t.CbfromB[c.b]) >> 16));
    *cr = static_cast<uint8_t>(ClampToByte((t.CrfromR[c.r] + t.CrfromG[c.g] + t.CrfromB[c.b]) >> 16));
}

template <int Bpp>
void WriteRgb(const TColorConversionTable& t, uint8_t* row, int32_t x, uint8_t y, uint8_t cb, uint8_t cr) {
    const int32_t luma = t.RGBfromY[y];
    uint8_t* p = row + Bpp * x;
    p[0] = static_cast<uint8_t>(ClampToByte((t.BfromCb[cb] + luma) >> 16));
    p[1] = static_cast<uint8_t>(ClampToByte((t.GfromCb[cb] + t.GfromCr[cr] + luma) >> 16));
    p[2] = static_cast<uint8_t>(ClampToByte((t.RfromCr[cr] + luma) >> 16));
}

// Rows f and g of an import into 4:2:0 (g == f for an incomplete pair); also the rows of 4:2:2
// with f == g, where the four-pixel average is the two-pixel one.
template <int Bpp>
void ImportRowPair(const TColorConversionTable& t, const uint8_t* rowF, const uint8_t* rowG, int32_t width,
                   uint8_t* yF, uint8_t* yG, uint8_t* cb, uint8_t* cr, bool pairOfRows, int32_t firstPair = 0) {
    for (int32_t j = firstPair; 2 * j < width; ++j) {
        const int32_t x0 = 2 * j, x1 = x0 + 1 < width ? x0 + 1 : x0;
        const TRgb a = ReadRgb<Bpp>(rowF, x0), b = ReadRgb<Bpp>(rowF, x1);
        const TRgb c = ReadRgb<Bpp>(rowG, x0), d = ReadRgb<Bpp>(rowG, x1);
        yF[x0] = Luma(t, a);
        yF[x1] = Luma(t, b);
        TRgb mean;
        if (pairOfRows) {
            yG[x0] = Luma(t, c);
            yG[x1] = Luma(t, d);
            mean = {(a.r + b.r + c.r + d.r) >> 2, (a.g + b.g + c.g + d.g) >> 2, (a.b + b.b + c.b + d.b) >> 2};
        } else {
            mean = {(a.r + b.r) >> 1, (a.g + b.g) >> 1, (a.b + b.b) >> 1};
        }
        Chroma(t, mean, cb + j, cr + j);
    }
}

template <int Bpp>
void RgbToYuv420(uint8_t* packed, int32_t width, int32_t height, bool fieldChroma,
                 const TColorConversionTable* table, int32_t chromaPitch, int32_t lumaPitch, uint8_t* cr,
                 uint8_t* cb, uint8_t* y, int32_t packedPitch) {
    const int32_t rows = ChromaRowCount(height, fieldChroma);
    for (int32_t i = 0; i < rows; ++i) {
        int32_t f, g;
        if (!ChromaRowPair(i, height, fieldChroma, &f, &g))
            continue;
        ImportRowPair<Bpp>(*table, packed + ptrdiff_t{f} * packedPitch, packed + ptrdiff_t{g} * packedPitch,
                           width, y + ptrdiff_t{f} * lumaPitch, y + ptrdiff_t{g} * lumaPitch,
                           cb + ptrdiff_t{i} * chromaPitch, cr + ptrdiff_t{i} * chromaPitch, true);
    }
}

template <int Bpp>
void RgbToYuv422(uint8_t* packed, int32_t width, int32_t height, bool, const TColorConversionTable* table,
                 int32_t chromaPitch, int32_t lumaPitch, uint8_t* cr, uint8_t* cb, uint8_t* y,
                 int32_t packedPitch) {
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* row = packed + ptrdiff_t{r} * packedPitch;
        uint8_t* yRow = y + ptrdiff_t{r} * lumaPitch;
        ImportRowPair<Bpp>(*table, row, row, width, yRow, yRow, cb + ptrdiff_t{r} * chromaPitch,
                           cr + ptrdiff_t{r} * chromaPitch, false);
    }
}

template <int Bpp>
void RgbToYuv444(uint8_t* packed, int32_t width, int32_t height, bool, const TColorConversionTable* table,
                 int32_t chromaPitch, int32_t lumaPitch, uint8_t* cr, uint8_t* cb, uint8_t* y,
                 int32_t packedPitch) {
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* row = packed + ptrdiff_t{r} * packedPitch;
        for (int32_t x = 0; x < width; ++x) {
            const TRgb c = ReadRgb<Bpp>(row, x);
            y[ptrdiff_t{r} * lumaPitch + x] = Luma(*table, c);
            Chroma(*table, c, cb + ptrdiff_t{r} * chromaPitch + x, cr + ptrdiff_t{r} * chromaPitch + x);
        }
    }
}

template <int Bpp>
void ExportRow(const TColorConversionTable& t, uint8_t* row, const uint8_t* yRow, const uint8_t* cb,
               const uint8_t* cr, int32_t width) {
    for (int32_t x = 0; x < width; ++x)
        WriteRgb<Bpp>(t, row, x, yRow[x], cb[x >> 1], cr[x >> 1]);
}

template <int Bpp>
void Yuv420ToRgb(uint8_t* packed, int32_t width, int32_t height, bool fieldChroma,
                 const TColorConversionTable* table, int32_t chromaPitch, int32_t lumaPitch, uint8_t* cr,
                 uint8_t* cb, uint8_t* y, int32_t packedPitch) {
    const int32_t rows = ChromaRowCount(height, fieldChroma);
    for (int32_t i = 0; i < rows; ++i) {
        int32_t f, g;
        if (!ChromaRowPair(i, height, fieldChroma, &f, &g))
            continue;
        const uint8_t* cbRow = cb + ptrdiff_t{i} * chromaPitch;
        const uint8_t* crRow = cr + ptrdiff_t{i} * chromaPitch;
        ExportRow<Bpp>(*table, packed + ptrdiff_t{f} * packedPitch, y + ptrdiff_t{f} * lumaPitch, cbRow, crRow, width);
        if (g != f)
            ExportRow<Bpp>(*table, packed + ptrdiff_t{g} * packedPitch, y + ptrdiff_t{g} * lumaPitch, cbRow, crRow,
                           width);
    }
}

template <int Bpp>
void Yuv422ToRgb(uint8_t* packed, int32_t width, int32_t height, bool, const TColorConversionTable* table,
                 int32_t chromaPitch, int32_t lumaPitch, uint8_t* cr, uint8_t* cb, uint8_t* y,
                 int32_t packedPitch) {
    for (int32_t r = 0; r < height; ++r)
        ExportRow<Bpp>(*table, packed + ptrdiff_t{r} * packedPitch, y + ptrdiff_t{r} * lumaPitch,
                       cb + ptrdiff_t{r} * chromaPitch, cr + ptrdiff_t{r} * chromaPitch, width);
}

void Rgb24ToRgb32Row(uint8_t* dst, const uint8_t* src, int32_t count) {
    for (int32_t i = 0; i < count; ++i, dst += 4, src += 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

} // namespace

void ImportRgbRowPair(int32_t bytesPerPixel, const TColorConversionTable& table, const uint8_t* rowF,
                      const uint8_t* rowG, int32_t width, int32_t firstPair, uint8_t* yF, uint8_t* yG, uint8_t* cb,
                      uint8_t* cr, bool pairOfRows) {
    if (bytesPerPixel == 3)
        ImportRowPair<3>(table, rowF, rowG, width, yF, yG, cb, cr, pairOfRows, firstPair);
    else
        ImportRowPair<4>(table, rowF, rowG, width, yF, yG, cb, cr, pairOfRows, firstPair);
}

int32_t ChromaRowCount(int32_t height, bool fieldChroma) {
    if (height <= 0)
        return 0;
    return fieldChroma ? 2 * ((height + 3) / 4) : (height + 1) / 2;
}

bool ChromaRowPair(int32_t i, int32_t height, bool fieldChroma, int32_t* f, int32_t* g) {
    *f = fieldChroma ? (i / 2) * 4 + (i % 2) : 2 * i;
    *g = *f + (fieldChroma ? 2 : 1);
    if (*g >= height)
        *g = *f;
    return *f < height;
}

void FillRgbConversions(TKernelTable& t) {
    t.Rgb24ToYuv420 = RgbToYuv420<3>;
    t.Rgb24ToYuv422 = RgbToYuv422<3>;
    t.Rgb24ToYuv444 = RgbToYuv444<3>;
    t.Yuv420ToRgb24 = Yuv420ToRgb<3>;
    t.Yuv422ToRgb24 = Yuv422ToRgb<3>;
    t.Rgb32ToYuv420 = RgbToYuv420<4>;
    t.Rgb32ToYuv422 = RgbToYuv422<4>;
    t.Rgb32ToYuv444 = RgbToYuv444<4>;
    t.Yuv420ToRgb32 = Yuv420ToRgb<4>;
    t.Yuv422ToRgb32 = Yuv422ToRgb<4>;
    t.Rgb24ToRgb32Row = Rgb24ToRgb32Row;
}

} // namespace quillset::reference
