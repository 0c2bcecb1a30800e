// AVX2 import of packed RGB (24 or 32 bits per pixel, bytes B, G, R) into planar 4:2:0 and
// 4:2:2. The colour tables may hold any values, so their entries are fetched with gathers; the
// component extraction, pair averaging, clamping and stores are vector operations. Eight pixels
// (four chroma pairs) at a time; the rest of a row goes through the reference code.
#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "encoder/kernels/reference/reference_kernels.h"
#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

// Eight pixels as 32-bit lanes B | G << 8 | R << 16 (the top byte is not used). RGB 24 reads
// exactly the 24 bytes of the pixels.
template <int Bpp>
inline __m256i LoadPixels(const uint8_t* p) {
    if constexpr (Bpp == 4) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    } else {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));      // pixels 0-3 at 0..11
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8)); // pixels 4-7 at 4..15
        const __m256i both = _mm256_inserti128_si256(_mm256_castsi128_si256(first), second, 1);
        const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,   //
                                                4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
        return _mm256_shuffle_epi8(both, spread);
    }
}

struct TComponents {
    __m256i r, g, b;
};

inline TComponents Split(__m256i pixels) {
    const __m256i byte = _mm256_set1_epi32(0xFF);
    return {_mm256_and_si256(_mm256_srli_epi32(pixels, 16), byte), _mm256_and_si256(_mm256_srli_epi32(pixels, 8), byte),
            _mm256_and_si256(pixels, byte)};
}

// Eight 32-bit values clamped to bytes, stored as eight bytes.
inline void StoreBytes8(uint8_t* p, __m256i v) {
    const __m128i words = _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(words, words));
}

// Y of eight pixels: the three tables YfromR, YfromG, YfromB follow each other in the table.
inline void StoreLuma(const TColorConversionTable& t, const TComponents& c, uint8_t* y) {
    const int* base = reinterpret_cast<const int*>(t.YfromR);
    const __m256i sum = _mm256_add_epi32(
        _mm256_add_epi32(_mm256_i32gather_epi32(base, c.r, 4),
                         _mm256_i32gather_epi32(base, _mm256_add_epi32(c.g, _mm256_set1_epi32(256)), 4)),
        _mm256_i32gather_epi32(base, _mm256_add_epi32(c.b, _mm256_set1_epi32(512)), 4));
    StoreBytes8(y, _mm256_srai_epi32(sum, 16));
}

// Four chroma samples from the component sums of eight pixel columns: pairs are added, divided by
// `shift` (1 for one row, 2 for two), and looked up in the R, G, B tables that start at `base`.
inline __m256i ChromaSums(const int* base, __m256i rg, __m256i b) {
    const __m256i rgValues = _mm256_i32gather_epi32(base, rg, 4); // R01 R23 G01 G23 | R45 R67 G45 G67
    const __m256i bValues = _mm256_i32gather_epi32(base, b, 4);   // B01 B23 .. .. | B45 B67 .. ..
    return _mm256_add_epi32(_mm256_add_epi32(rgValues, _mm256_shuffle_epi32(rgValues, 0x4E)), bValues);
}

template <int Shift>
inline void StoreChroma(const TColorConversionTable& t, const TComponents& sums, uint8_t* cb, uint8_t* cr) {
    const __m256i rg = _mm256_add_epi32(_mm256_srli_epi32(_mm256_hadd_epi32(sums.r, sums.g), Shift),
                                        _mm256_setr_epi32(0, 0, 256, 256, 0, 0, 256, 256));
    const __m256i b = _mm256_add_epi32(_mm256_srli_epi32(_mm256_hadd_epi32(sums.b, sums.b), Shift), _mm256_set1_epi32(512));
    const __m256i cbSums = ChromaSums(reinterpret_cast<const int*>(t.CbfromR), rg, b);
    const __m256i crSums = ChromaSums(reinterpret_cast<const int*>(t.CrfromR), rg, b);
    // cb01 cb23 cr01 cr23 | cb45 cb67 cr45 cr67, shifted and clamped to bytes.
    const __m256i both = _mm256_srai_epi32(_mm256_unpacklo_epi64(cbSums, crSums), 16);
    const __m128i words = _mm_packs_epi32(_mm256_castsi256_si128(both), _mm256_extracti128_si256(both, 1));
    const __m128i bytes = _mm_shuffle_epi8(_mm_packus_epi16(words, words),
                                           _mm_setr_epi8(0, 1, 4, 5, 2, 3, 6, 7, -1, -1, -1, -1, -1, -1, -1, -1));
    const uint64_t packed = static_cast<uint64_t>(_mm_cvtsi128_si64(bytes));
    std::memcpy(cb, &packed, 4);
    std::memcpy(cr, reinterpret_cast<const uint8_t*>(&packed) + 4, 4);
}

// Full groups of eight pixels of one row pair (4:2:0) or one row (4:2:2); returns the pairs done.
template <int Bpp, bool TwoRows>
int32_t ImportGroups(const TColorConversionTable& t, const uint8_t* rowF, const uint8_t* rowG, int32_t width,
                     uint8_t* yF, uint8_t* yG, uint8_t* cb, uint8_t* cr) {
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const TComponents f = Split(LoadPixels<Bpp>(rowF + Bpp * x));
        StoreLuma(t, f, yF + x);
        if constexpr (TwoRows) {
            const TComponents g = Split(LoadPixels<Bpp>(rowG + Bpp * x));
            StoreLuma(t, g, yG + x);
            const TComponents sums = {_mm256_add_epi32(f.r, g.r), _mm256_add_epi32(f.g, g.g), _mm256_add_epi32(f.b, g.b)};
            StoreChroma<2>(t, sums, cb + x / 2, cr + x / 2);
        } else {
            StoreChroma<1>(t, f, cb + x / 2, cr + x / 2);
        }
    }
    return x / 2;
}

template <int Bpp>
void RgbToYuv420_Avx2(uint8_t* packed, int32_t width, int32_t height, bool fieldChroma,
                      const TColorConversionTable* table, int32_t chromaPitch, int32_t lumaPitch, uint8_t* cr,
                      uint8_t* cb, uint8_t* y, int32_t packedPitch) {
    const int32_t rows = reference::ChromaRowCount(height, fieldChroma);
    for (int32_t i = 0; i < rows; ++i) {
        int32_t f, g;
        if (!reference::ChromaRowPair(i, height, fieldChroma, &f, &g))
            continue;
        const uint8_t* rowF = packed + ptrdiff_t{f} * packedPitch;
        const uint8_t* rowG = packed + ptrdiff_t{g} * packedPitch;
        uint8_t* yF = y + ptrdiff_t{f} * lumaPitch;
        uint8_t* yG = y + ptrdiff_t{g} * lumaPitch;
        uint8_t* cbRow = cb + ptrdiff_t{i} * chromaPitch;
        uint8_t* crRow = cr + ptrdiff_t{i} * chromaPitch;
        const int32_t done = ImportGroups<Bpp, true>(*table, rowF, rowG, width, yF, yG, cbRow, crRow);
        reference::ImportRgbRowPair(Bpp, *table, rowF, rowG, width, done, yF, yG, cbRow, crRow, true);
    }
}

template <int Bpp>
void RgbToYuv422_Avx2(uint8_t* packed, int32_t width, int32_t height, bool, const TColorConversionTable* table,
                      int32_t chromaPitch, int32_t lumaPitch, uint8_t* cr, uint8_t* cb, uint8_t* y,
                      int32_t packedPitch) {
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* row = packed + ptrdiff_t{r} * packedPitch;
        uint8_t* yRow = y + ptrdiff_t{r} * lumaPitch;
        uint8_t* cbRow = cb + ptrdiff_t{r} * chromaPitch;
        uint8_t* crRow = cr + ptrdiff_t{r} * chromaPitch;
        const int32_t done = ImportGroups<Bpp, false>(*table, row, row, width, yRow, yRow, cbRow, crRow);
        reference::ImportRgbRowPair(Bpp, *table, row, row, width, done, yRow, yRow, cbRow, crRow, false);
    }
}

} // namespace

void FillAvx2RgbConversions(TKernelTable& t) {
    t.Rgb24ToYuv420 = RgbToYuv420_Avx2<3>;
    t.Rgb24ToYuv422 = RgbToYuv422_Avx2<3>;
    t.Rgb32ToYuv420 = RgbToYuv420_Avx2<4>;
    t.Rgb32ToYuv422 = RgbToYuv422_Avx2<4>;
}

} // namespace quillset::x86
