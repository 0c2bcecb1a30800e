// AVX2 single-precision forward transform: the reference's operations in the same order on
// eight rows (or columns) at once, so the results are identical. No fused multiply-add.
#include <immintrin.h>

#include <cstdint>

#include "encoder/kernels/x86/avx2_transform_common.h"
#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

struct TConstants {
    float c2446, cm3196, c4433, c6270, cm7373, c9633, c12299, cm15137, cm16069, c16819, cm20995, c25172, dcScale;
};
constexpr TConstants kRow = {0.29863134f, -0.39018065f, 0.5411961f, 0.76536685f, -0.8999762f, 1.1758755f,
                             1.5013211f, -1.847759f, -1.9615705f, 2.0531199f, -2.5629156f, 3.0727110f, 1.0f};
constexpr TConstants kColumn = {0.037328918f, -0.048772581f, 0.067649513f, 0.095670857f, -0.11249702f,
                                0.14698444f, 0.18766513f, -0.23096988f, -0.24519631f, 0.25663999f,
                                -0.32036445f, 0.38408887f, 0.125f};

inline __m256 Mul(float c, __m256 v) { return _mm256_mul_ps(_mm256_set1_ps(c), v); }

// The helpers below are forced inline: called out of line, they would pass the matrix through
// memory.
[[gnu::always_inline]] inline void Pass(__m256* m, const TConstants& c) {
    const __m256 t0 = _mm256_add_ps(m[0], m[7]), t7 = _mm256_sub_ps(m[0], m[7]);
    const __m256 t1 = _mm256_add_ps(m[1], m[6]), t6 = _mm256_sub_ps(m[1], m[6]);
    const __m256 t2 = _mm256_add_ps(m[2], m[5]), t5 = _mm256_sub_ps(m[2], m[5]);
    const __m256 t3 = _mm256_add_ps(m[3], m[4]), t4 = _mm256_sub_ps(m[3], m[4]);
    const __m256 t10 = _mm256_add_ps(t0, t3), t13 = _mm256_sub_ps(t0, t3);
    const __m256 t11 = _mm256_add_ps(t1, t2), t12 = _mm256_sub_ps(t1, t2);
    m[0] = _mm256_mul_ps(_mm256_add_ps(t10, t11), _mm256_set1_ps(c.dcScale));
    m[4] = _mm256_mul_ps(_mm256_sub_ps(t10, t11), _mm256_set1_ps(c.dcScale));
    const __m256 e = _mm256_mul_ps(_mm256_add_ps(t12, t13), _mm256_set1_ps(c.c4433));
    m[2] = _mm256_add_ps(e, Mul(c.c6270, t13));
    m[6] = _mm256_add_ps(e, Mul(c.cm15137, t12));
    const __m256 s46 = _mm256_add_ps(t4, t6), s57 = _mm256_add_ps(t5, t7);
    const __m256 z5 = _mm256_mul_ps(_mm256_add_ps(s46, s57), _mm256_set1_ps(c.c9633));
    const __m256 z1 = _mm256_mul_ps(_mm256_add_ps(t4, t7), _mm256_set1_ps(c.cm7373));
    const __m256 z2 = _mm256_mul_ps(_mm256_add_ps(t5, t6), _mm256_set1_ps(c.cm20995));
    const __m256 z3 = _mm256_add_ps(z5, Mul(c.cm16069, s46));
    const __m256 z4 = _mm256_add_ps(z5, Mul(c.cm3196, s57));
    m[7] = _mm256_add_ps(_mm256_add_ps(Mul(c.c2446, t4), z1), z3);
    m[5] = _mm256_add_ps(_mm256_add_ps(Mul(c.c16819, t5), z2), z4);
    m[3] = _mm256_add_ps(_mm256_add_ps(Mul(c.c25172, t6), z2), z3);
    m[1] = _mm256_add_ps(_mm256_add_ps(Mul(c.c12299, t7), z1), z4);
}

// Transposes eight vectors of eight floats in place. The in-half steps use the integer unpacks,
// which more execution ports take than the floating-point ones; only the last step crosses halves.
// The in-half steps of an 8x8 float transpose: afterwards the halves of b[i] and b[i + 4] are the
// halves of rows i and i + 4 (low halves: row i, high halves: row i + 4). They use the integer
// unpacks, which more execution ports take than the floating-point ones.
[[gnu::always_inline]] inline void TransposeHalves(const __m256* m, __m256i* b) {
    __m256i v[8];
    for (int i = 0; i < 8; ++i)
        v[i] = _mm256_castps_si256(m[i]);
    const __m256i a0 = _mm256_unpacklo_epi32(v[0], v[1]), a1 = _mm256_unpackhi_epi32(v[0], v[1]);
    const __m256i a2 = _mm256_unpacklo_epi32(v[2], v[3]), a3 = _mm256_unpackhi_epi32(v[2], v[3]);
    const __m256i a4 = _mm256_unpacklo_epi32(v[4], v[5]), a5 = _mm256_unpackhi_epi32(v[4], v[5]);
    const __m256i a6 = _mm256_unpacklo_epi32(v[6], v[7]), a7 = _mm256_unpackhi_epi32(v[6], v[7]);
    b[0] = _mm256_unpacklo_epi64(a0, a2);
    b[1] = _mm256_unpackhi_epi64(a0, a2);
    b[2] = _mm256_unpacklo_epi64(a1, a3);
    b[3] = _mm256_unpackhi_epi64(a1, a3);
    b[4] = _mm256_unpacklo_epi64(a4, a6);
    b[5] = _mm256_unpackhi_epi64(a4, a6);
    b[6] = _mm256_unpacklo_epi64(a5, a7);
    b[7] = _mm256_unpackhi_epi64(a5, a7);
}

// Transposes eight vectors of eight floats in place.
[[gnu::always_inline]] inline void Transpose8x8(__m256* m) {
    __m256i b[8];
    TransposeHalves(m, b);
    for (int i = 0; i < 4; ++i) {
        m[i] = _mm256_castsi256_ps(_mm256_permute2x128_si256(b[i], b[i + 4], 0x20));
        m[i + 4] = _mm256_castsi256_ps(_mm256_permute2x128_si256(b[i], b[i + 4], 0x31));
    }
}

// m[j] = outputs of column j of the transform of `block`, lanes = output rows: the stored
// (transposed) order needs one more transpose. The input is transposed while still 16-bit.
[[gnu::always_inline]] inline void TransformColumns(const int16_t* block, __m256* m) {
    __m128i v[8];
    for (int r = 0; r < 8; ++r)
        v[r] = LoadRow(block + 8 * r);
    Transpose8x8(v); // v[k] = input k of every row
    for (int k = 0; k < 8; ++k)
        m[k] = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(v[k]));
    Pass(m, kRow);   // m[k] = output k of every row
    Transpose8x8(m); // m[r] = row r of the intermediate block
    Pass(m, kColumn);
}

void ForwardDctToFloat_Avx2(float* out, const int16_t* block) {
    __m256 m[8];
    TransformColumns(block, m);
    __m256i b[8];
    TransposeHalves(m, b); // the last step of the transpose is done by the stores
    for (int i = 0; i < 4; ++i) {
        _mm_storeu_ps(out + 8 * i, _mm256_castps256_ps128(_mm256_castsi256_ps(b[i])));
        _mm_storeu_ps(out + 8 * i + 4, _mm256_castps256_ps128(_mm256_castsi256_ps(b[i + 4])));
        _mm_storeu_ps(out + 8 * (i + 4), _mm256_extractf128_ps(_mm256_castsi256_ps(b[i]), 1));
        _mm_storeu_ps(out + 8 * (i + 4) + 4, _mm256_extractf128_ps(_mm256_castsi256_ps(b[i + 4]), 1));
    }
}

// The truncated outputs are transposed as 16-bit values.
void ForwardDctF_Avx2(int16_t* block) {
    __m256 m[8];
    TransformColumns(block, m);
    const __m256 low = _mm256_set1_ps(-32768.0f), high = _mm256_set1_ps(32767.0f);
    __m256i t[8];
    for (int k = 0; k < 8; ++k)
        t[k] = _mm256_cvttps_epi32(_mm256_min_ps(_mm256_max_ps(m[k], low), high));
    __m256i rows[4];
    ColumnsToRows(_mm256_packs_epi32(t[0], t[4]), _mm256_packs_epi32(t[1], t[5]), _mm256_packs_epi32(t[2], t[6]),
                  _mm256_packs_epi32(t[3], t[7]), rows);
    for (int j = 0; j < 4; ++j) {
        StoreRow(block + 8 * j, _mm256_castsi256_si128(rows[j]));
        StoreRow(block + 8 * (j + 4), _mm256_extracti128_si256(rows[j], 1));
    }
}

} // namespace

void FillAvx2FloatTransforms(TKernelTable& t) {
    t.ForwardDctF = ForwardDctF_Avx2;
    t.ForwardDctToFloat = ForwardDctToFloat_Avx2;
}

} // namespace quillset::x86
