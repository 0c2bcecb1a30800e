// SSE2 single-precision forward transform: the reference's operations in the same order, four
// rows (or columns) per vector, so the results are identical.
#include <xmmintrin.h>

#include "encoder/kernels/x86/sse2_common.h"
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

inline __m128 Mul(float c, __m128 v) { return _mm_mul_ps(_mm_set1_ps(c), v); }

// The helpers below are forced inline: called out of line, they would pass the matrix through
// memory.
//
// One pass over four independent transforms: x[k] holds input k of each.
[[gnu::always_inline]] inline void Pass(const __m128* x, __m128* w, const TConstants& c) {
    const __m128 t0 = _mm_add_ps(x[0], x[7]), t7 = _mm_sub_ps(x[0], x[7]);
    const __m128 t1 = _mm_add_ps(x[1], x[6]), t6 = _mm_sub_ps(x[1], x[6]);
    const __m128 t2 = _mm_add_ps(x[2], x[5]), t5 = _mm_sub_ps(x[2], x[5]);
    const __m128 t3 = _mm_add_ps(x[3], x[4]), t4 = _mm_sub_ps(x[3], x[4]);
    const __m128 t10 = _mm_add_ps(t0, t3), t13 = _mm_sub_ps(t0, t3);
    const __m128 t11 = _mm_add_ps(t1, t2), t12 = _mm_sub_ps(t1, t2);
    w[0] = _mm_mul_ps(_mm_add_ps(t10, t11), _mm_set1_ps(c.dcScale));
    w[4] = _mm_mul_ps(_mm_sub_ps(t10, t11), _mm_set1_ps(c.dcScale));
    const __m128 e = _mm_mul_ps(_mm_add_ps(t12, t13), _mm_set1_ps(c.c4433));
    w[2] = _mm_add_ps(e, Mul(c.c6270, t13));
    w[6] = _mm_add_ps(e, Mul(c.cm15137, t12));
    const __m128 s46 = _mm_add_ps(t4, t6), s57 = _mm_add_ps(t5, t7);
    const __m128 z5 = _mm_mul_ps(_mm_add_ps(s46, s57), _mm_set1_ps(c.c9633));
    const __m128 z1 = _mm_mul_ps(_mm_add_ps(t4, t7), _mm_set1_ps(c.cm7373));
    const __m128 z2 = _mm_mul_ps(_mm_add_ps(t5, t6), _mm_set1_ps(c.cm20995));
    const __m128 z3 = _mm_add_ps(z5, Mul(c.cm16069, s46));
    const __m128 z4 = _mm_add_ps(z5, Mul(c.cm3196, s57));
    w[7] = _mm_add_ps(_mm_add_ps(Mul(c.c2446, t4), z1), z3);
    w[5] = _mm_add_ps(_mm_add_ps(Mul(c.c16819, t5), z2), z4);
    w[3] = _mm_add_ps(_mm_add_ps(Mul(c.c25172, t6), z2), z3);
    w[1] = _mm_add_ps(_mm_add_ps(Mul(c.c12299, t7), z1), z4);
}

// An 8x8 float matrix as m[row][half], each __m128 holding four consecutive columns.
using TMatrix = __m128[8][2];

[[gnu::always_inline]] inline void Transpose(TMatrix& m) {
    for (int i = 0; i < 8; i += 4) {
        _MM_TRANSPOSE4_PS(m[i][0], m[i + 1][0], m[i + 2][0], m[i + 3][0]);
        _MM_TRANSPOSE4_PS(m[i][1], m[i + 1][1], m[i + 2][1], m[i + 3][1]);
    }
    // Swap the off-diagonal 4x4 blocks.
    for (int i = 0; i < 4; ++i) {
        const __m128 t = m[i][1];
        m[i][1] = m[i + 4][0];
        m[i + 4][0] = t;
    }
}

// Transforms the columns of m (m[k][h] = input k of columns 4h .. 4h + 3) in place.
[[gnu::always_inline]] inline void PassColumns(TMatrix& m, const TConstants& c) {
    for (int h = 0; h < 2; ++h) {
        __m128 x[8], w[8];
        for (int k = 0; k < 8; ++k)
            x[k] = m[k][h];
        Pass(x, w, c);
        for (int k = 0; k < 8; ++k)
            m[k][h] = w[k];
    }
}

// The transform of `block` with m[j] = output row j (the transposed coefficient order).
[[gnu::always_inline]] inline void Transform(const int16_t* block, TMatrix& m) {
    for (int r = 0; r < 8; ++r) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * r));
        m[r][0] = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16));
        m[r][1] = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16));
    }
    Transpose(m);         // m[k] = input k of every row
    PassColumns(m, kRow); // m[k] = output k of every row
    Transpose(m);         // m[r] = row r of the intermediate block; columns are the lanes
    PassColumns(m, kColumn);
    Transpose(m);         // m[j] = outputs of column j
}

void ForwardDctToFloat_Sse2(float* out, const int16_t* block) {
    TMatrix m;
    Transform(block, m);
    for (int j = 0; j < 8; ++j) {
        _mm_storeu_ps(out + 8 * j, m[j][0]);
        _mm_storeu_ps(out + 8 * j + 4, m[j][1]);
    }
}

void ForwardDctF_Sse2(int16_t* block) {
    TMatrix m;
    Transform(block, m);
    const __m128 low = _mm_set1_ps(-32768.0f), high = _mm_set1_ps(32767.0f);
    for (int j = 0; j < 8; ++j) {
        const __m128i a = _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(m[j][0], low), high));
        const __m128i b = _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(m[j][1], low), high));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * j), _mm_packs_epi32(a, b));
    }
}

} // namespace

void FillSse2FloatTransforms(TKernelTable& t) {
    t.ForwardDctF = ForwardDctF_Sse2;
    t.ForwardDctToFloat = ForwardDctToFloat_Sse2;
}

} // namespace quillset::x86
