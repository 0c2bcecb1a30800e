// AVX2 single-precision forward transform: the reference's operations in the same order on
// eight rows (or columns) at once, so the results are identical. No fused multiply-add.
#include <immintrin.h>

#include <cstdint>

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

void Pass(__m256* m, const TConstants& c) {
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

inline void Transpose8x8(__m256* m) {
    const __m256 a0 = _mm256_unpacklo_ps(m[0], m[1]), a1 = _mm256_unpackhi_ps(m[0], m[1]);
    const __m256 a2 = _mm256_unpacklo_ps(m[2], m[3]), a3 = _mm256_unpackhi_ps(m[2], m[3]);
    const __m256 a4 = _mm256_unpacklo_ps(m[4], m[5]), a5 = _mm256_unpackhi_ps(m[4], m[5]);
    const __m256 a6 = _mm256_unpacklo_ps(m[6], m[7]), a7 = _mm256_unpackhi_ps(m[6], m[7]);
    const __m256 b0 = _mm256_shuffle_ps(a0, a2, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 b1 = _mm256_shuffle_ps(a0, a2, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 b2 = _mm256_shuffle_ps(a1, a3, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 b3 = _mm256_shuffle_ps(a1, a3, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 b4 = _mm256_shuffle_ps(a4, a6, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 b5 = _mm256_shuffle_ps(a4, a6, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 b6 = _mm256_shuffle_ps(a5, a7, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 b7 = _mm256_shuffle_ps(a5, a7, _MM_SHUFFLE(3, 2, 3, 2));
    m[0] = _mm256_permute2f128_ps(b0, b4, 0x20);
    m[1] = _mm256_permute2f128_ps(b1, b5, 0x20);
    m[2] = _mm256_permute2f128_ps(b2, b6, 0x20);
    m[3] = _mm256_permute2f128_ps(b3, b7, 0x20);
    m[4] = _mm256_permute2f128_ps(b0, b4, 0x31);
    m[5] = _mm256_permute2f128_ps(b1, b5, 0x31);
    m[6] = _mm256_permute2f128_ps(b2, b6, 0x31);
    m[7] = _mm256_permute2f128_ps(b3, b7, 0x31);
}

// m[j] = output row j (the transposed coefficient order) of the transform of `block`.
void Transform(const int16_t* block, __m256* m) {
    for (int r = 0; r < 8; ++r)
        m[r] = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * r))));
    Transpose8x8(m); // m[k] = input k of every row
    Pass(m, kRow);   // m[k] = output k of every row
    Transpose8x8(m); // m[r] = row r of the intermediate block
    Pass(m, kColumn);
    Transpose8x8(m); // m[j] = outputs of column j
}

void ForwardDctToFloat_Avx2(float* out, const int16_t* block) {
    __m256 m[8];
    Transform(block, m);
    for (int j = 0; j < 8; ++j)
        _mm256_storeu_ps(out + 8 * j, m[j]);
}

void ForwardDctF_Avx2(int16_t* block) {
    __m256 m[8];
    Transform(block, m);
    const __m256 low = _mm256_set1_ps(-32768.0f), high = _mm256_set1_ps(32767.0f);
    for (int j = 0; j < 8; ++j) {
        const __m256i v = _mm256_cvttps_epi32(_mm256_min_ps(_mm256_max_ps(m[j], low), high));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * j),
                         _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
    }
}

} // namespace

void FillAvx2FloatTransforms(TKernelTable& t) {
    t.ForwardDctF = ForwardDctF_Avx2;
    t.ForwardDctToFloat = ForwardDctToFloat_Avx2;
}

} // namespace quillset::x86
