// Reference conversions between packed 4:2:2 YUV (UYVY: U Y0 V Y1; YUY2: Y0 U Y1 V) and planar
// YUV. Packed rows hold width / 2 pixel pairs; an odd last column has no pair and is not
// converted. 4:2:0 rows are paired as in the RGB conversions (ChromaRowPair).
#include "encoder/kernels/reference/reference_kernels.h"

namespace quillset::reference {

namespace {

// Byte offsets of Y0, U, Y1, V within a pixel pair.
struct TUyvy {
    static constexpr int Y0 = 1, U = 0, Y1 = 3, V = 2;
};
struct TYuy2 {
    static constexpr int Y0 = 0, U = 1, Y1 = 2, V = 3;
};

template <typename L>
void ImportLuma(const uint8_t* row, int32_t pairs, uint8_t* y) {
    for (int32_t j = 0; j < pairs; ++j) {
        y[2 * j] = row[4 * j + L::Y0];
        y[2 * j + 1] = row[4 * j + L::Y1];
    }
}

template <typename L>
void PackedToYuv420(uint8_t* packed, int32_t width, int32_t height, bool fieldChroma, const TColorConversionTable*,
                    int32_t chromaPitch, int32_t lumaPitch, uint8_t* cr, uint8_t* cb, uint8_t* y,
                    int32_t packedPitch) {
    const int32_t pairs = width / 2, rows = ChromaRowCount(height, fieldChroma);
    for (int32_t i = 0; i < rows; ++i) {
        int32_t f, g;
        if (!ChromaRowPair(i, height, fieldChroma, &f, &g))
            continue;
        const uint8_t* rowF = packed + ptrdiff_t{f} * packedPitch;
        const uint8_t* rowG = packed + ptrdiff_t{g} * packedPitch;
        ImportLuma<L>(rowF, pairs, y + ptrdiff_t{f} * lumaPitch);
        ImportLuma<L>(rowG, pairs, y + ptrdiff_t{g} * lumaPitch);
        uint8_t* cbRow = cb + ptrdiff_t{i} * chromaPitch;
        uint8_t* crRow = cr + ptrdiff_t{i} * chromaPitch;
        for (int32_t j = 0; j < pairs; ++j) {
            cbRow[j] = static_cast<uint8_t>((rowF[4 * j + L::U] + rowG[4 * j + L::U]) >> 1);
            crRow[j] = static_cast<uint8_t>((rowF[4 * j + L::V] + rowG[4 * j + L::V]) >> 1);
        }
    }
}

template <typename L>
void PackedToYuv422(uint8_t* packed, int32_t width, int32_t height, bool, const TColorConversionTable*,
                    int32_t chromaPitch, int32_t lumaPitch, uint8_t* cr, uint8_t* cb, uint8_t* y,
                    int32_t packedPitch) {
    const int32_t pairs = width / 2;
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* row = packed + ptrdiff_t{r} * packedPitch;
        ImportLuma<L>(row, pairs, y + ptrdiff_t{r} * lumaPitch);
        for (int32_t j = 0; j < pairs; ++j) {
            cb[ptrdiff_t{r} * chromaPitch + j] = row[4 * j + L::U];
            cr[ptrdiff_t{r} * chromaPitch + j] = row[4 * j + L::V];
        }
    }
}

// Up-samples the chroma bytes at offset C of each pair of a row to one sample per pixel.
template <int C>
void UpsampleChromaRow(const uint8_t* row, int32_t pairs, uint8_t* out) {
    auto u = [row](int32_t j) { return int32_t{row[4 * j + C]}; };
    if (pairs <= 0)
        return;
    out[0] = out[1] = static_cast<uint8_t>(u(0));
    for (int32_t j = 1; j < pairs; ++j) {
        out[2 * j] = static_cast<uint8_t>((8 * u(j - 1) + 2 * u(j) + 5) / 10);
        out[2 * j + 1] = static_cast<uint8_t>(j + 1 < pairs ? (8 * u(j) + 2 * u(j + 1) + 5) / 10 : u(j));
    }
}

template <typename L>
void PackedToYuv444(uint8_t* packed, int32_t width, int32_t height, bool, const TColorConversionTable*,
                    int32_t chromaPitch, int32_t lumaPitch, uint8_t* cr, uint8_t* cb, uint8_t* y,
                    int32_t packedPitch) {
    const int32_t pairs = width / 2;
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* row = packed + ptrdiff_t{r} * packedPitch;
        ImportLuma<L>(row, pairs, y + ptrdiff_t{r} * lumaPitch);
        UpsampleChromaRow<L::U>(row, pairs, cb + ptrdiff_t{r} * chromaPitch);
        UpsampleChromaRow<L::V>(row, pairs, cr + ptrdiff_t{r} * chromaPitch);
    }
}

template <typename L>
void ExportRow(uint8_t* row, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int32_t pairs) {
    for (int32_t j = 0; j < pairs; ++j) {
        row[4 * j + L::Y0] = y[2 * j];
        row[4 * j + L::Y1] = y[2 * j + 1];
        row[4 * j + L::U] = cb[j];
        row[4 * j + L::V] = cr[j];
    }
}

template <typename L>
void Yuv420ToPacked(uint8_t* packed, int32_t width, int32_t height, bool fieldChroma, const TColorConversionTable*,
                    int32_t chromaPitch, int32_t lumaPitch, uint8_t* cr, uint8_t* cb, uint8_t* y,
                    int32_t packedPitch) {
    const int32_t pairs = width / 2, rows = ChromaRowCount(height, fieldChroma);
    for (int32_t i = 0; i < rows; ++i) {
        int32_t f, g;
        if (!ChromaRowPair(i, height, fieldChroma, &f, &g))
            continue;
        const uint8_t* cbRow = cb + ptrdiff_t{i} * chromaPitch;
        const uint8_t* crRow = cr + ptrdiff_t{i} * chromaPitch;
        ExportRow<L>(packed + ptrdiff_t{f} * packedPitch, y + ptrdiff_t{f} * lumaPitch, cbRow, crRow, pairs);
        ExportRow<L>(packed + ptrdiff_t{g} * packedPitch, y + ptrdiff_t{g} * lumaPitch, cbRow, crRow, pairs);
    }
}

template <typename L>
void Yuv422ToPacked(uint8_t* packed, int32_t width, int32_t height, bool, const TColorConversionTable*,
                    int32_t chromaPitch, int32_t lumaPitch, uint8_t* cr, uint8_t* cb, uint8_t* y,
                    int32_t packedPitch) {
    for (int32_t r = 0; r < height; ++r)
        ExportRow<L>(packed + ptrdiff_t{r} * packedPitch, y + ptrdiff_t{r} * lumaPitch,
                     cb + ptrdiff_t{r} * chromaPitch, cr + ptrdiff_t{r} * chromaPitch, width / 2);
}

} // namespace

void FillPackedYuvConversions(TKernelTable& t) {
    t.UyvyToYuv420 = PackedToYuv420<TUyvy>;
    t.UyvyToYuv422 = PackedToYuv422<TUyvy>;
    t.UyvyToYuv444 = PackedToYuv444<TUyvy>;
    t.Yuv420ToUyvy = Yuv420ToPacked<TUyvy>;
    t.Yuv422ToUyvy = Yuv422ToPacked<TUyvy>;
    t.Yuy2ToYuv420 = PackedToYuv420<TYuy2>;
    t.Yuy2ToYuv422 = PackedToYuv422<TYuy2>;
    t.Yuy2ToYuv444 = PackedToYuv444<TYuy2>;
    t.Yuv420ToYuy2 = Yuv420ToPacked<TYuy2>;
    t.Yuv422ToYuy2 = Yuv422ToPacked<TYuy2>;
}

} // namespace quillset::reference
