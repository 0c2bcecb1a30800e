// AVX2 inverse quantisation (ISO/IEC 11172-2, 2.4.4; ISO/IEC 13818-2, 7.4): 32-bit products of
// the levels and multipliers, exact single- or double-precision products with the single factors;
// results equal the reference's. Sixteen levels per step: their 32-bit results are packed to 16
// bits with saturation (which keeps every final value) and finished sixteen at a time.
#include <immintrin.h>

#include <cstdint>

#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

enum class TRule { IntraMpeg1, IntraMpeg2, InterMpeg1, InterMpeg2 };
constexpr bool IsIntra(TRule r) { return r == TRule::IntraMpeg1 || r == TRule::IntraMpeg2; }
constexpr bool IsMpeg1(TRule r) { return r == TRule::IntraMpeg1 || r == TRule::InterMpeg1; }

// Eight levels at p as int32.
inline __m256i LoadLevels(const int16_t* p) {
    return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// The scaled level: q for intra, 2q + sign(q) for inter.
template <TRule Rule>
inline __m256i Scaled(__m256i q) {
    if constexpr (IsIntra(Rule))
        return q;
    else
        return _mm256_add_epi32(_mm256_add_epi32(q, q), _mm256_sign_epi32(_mm256_set1_epi32(1), q));
}

// MPEG-1 oddification of 16-bit values: an even non-zero value moves one step toward zero.
inline __m256i Oddify16(__m256i v) {
    const __m256i one = _mm256_set1_epi16(1);
    const __m256i even = _mm256_cmpeq_epi16(_mm256_and_si256(v, one), _mm256_setzero_si256());
    return _mm256_sub_epi16(v, _mm256_sign_epi16(_mm256_and_si256(even, one), v));
}

// Sixteen results from the int32 results of levels k..k+7 (a) and k+8..k+15 (b): saturated to 16
// bits, oddified for MPEG-1, saturated to -2048..2047, in order.
template <TRule Rule>
inline __m256i Finish16(__m256i a, __m256i b) {
    __m256i v = _mm256_packs_epi32(a, b); // a0-3 b0-3 | a4-7 b4-7
    if constexpr (IsMpeg1(Rule))
        v = Oddify16(v);
    v = _mm256_max_epi16(_mm256_min_epi16(v, _mm256_set1_epi16(2047)), _mm256_set1_epi16(-2048));
    return _mm256_permute4x64_epi64(v, _MM_SHUFFLE(3, 1, 2, 0));
}

// ISO/IEC 13818-2, 7.4.4: when the sum of the block is even, invert the lowest bit of
// coefficient 63. `parity` holds the exclusive or of all output vectors.
inline void MismatchControl(int16_t* block, __m256i parity) {
    __m128i p = _mm_xor_si128(_mm256_castsi256_si128(parity), _mm256_extracti128_si256(parity, 1));
    p = _mm_xor_si128(p, _mm_srli_si128(p, 8));
    p = _mm_xor_si128(p, _mm_srli_si128(p, 4));
    p = _mm_xor_si128(p, _mm_srli_si128(p, 2));
    if ((_mm_cvtsi128_si32(p) & 1) == 0)
        block[63] = static_cast<int16_t>(block[63] ^ 1);
}

// Stores the four result vectors; intra forms keep position 0, MPEG-2 forms apply mismatch control.
template <TRule Rule>
void StoreResults(int16_t* block, __m256i* v) {
    if constexpr (IsIntra(Rule))
        v[0] = _mm256_insert_epi16(v[0], block[0], 0);
    for (int i = 0; i < 4; ++i)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + 16 * i), v[i]);
    if constexpr (!IsMpeg1(Rule))
        MismatchControl(block, _mm256_xor_si256(_mm256_xor_si256(v[0], v[1]), _mm256_xor_si256(v[2], v[3])));
}

template <int Shift>
inline __m256i DivPow2(__m256i p) {
    const __m256i bias = _mm256_and_si256(_mm256_srai_epi32(p, 31), _mm256_set1_epi32((1 << Shift) - 1));
    return _mm256_srai_epi32(_mm256_add_epi32(p, bias), Shift);
}

// trunc(scaled level * M / 16) for intra, / 32 for inter; the products fit 32 bits.
template <TRule Rule>
inline __m256i IntegerResults(const int16_t* q, const int32_t* m) {
    const __m256i product = _mm256_mullo_epi32(Scaled<Rule>(LoadLevels(q)),
                                               _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m)));
    return IsIntra(Rule) ? DivPow2<4>(product) : DivPow2<5>(product);
}

template <TRule Rule>
void Dequant_Avx2(int16_t* block, const int32_t* multipliers) {
    __m256i v[4];
    for (int i = 0; i < 4; ++i) {
        const int k = 16 * i;
        v[i] = Finish16<Rule>(IntegerResults<Rule>(block + k, multipliers + k),
                              IntegerResults<Rule>(block + k + 8, multipliers + k + 8));
    }
    StoreResults<Rule>(block, v);
}

// trunc(scaled level * F) of eight levels in double precision, exact for any single factor,
// saturated to stay convertible.
template <TRule Rule>
inline __m256i DoubleResults(const int16_t* q, const float* f) {
    const __m256i s = Scaled<Rule>(LoadLevels(q));
    const auto half = [](__m128i levels, const float* factors) {
        const __m256d p = _mm256_mul_pd(_mm256_cvtepi32_pd(levels), _mm256_cvtps_pd(_mm_loadu_ps(factors)));
        return _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(p, _mm256_set1_pd(-32768.0)), _mm256_set1_pd(32767.0)));
    };
    return _mm256_inserti128_si256(_mm256_castsi128_si256(half(_mm256_castsi256_si128(s), f)),
                                   half(_mm256_extracti128_si256(s, 1), f + 4), 1);
}

// The reference multiplies in double precision, where a scaled level (at most 17 bits) times a
// single factor is exact. When every factor is a whole multiple of 2^-12, as the encoder's are
// (multipliers over 16 or 32), single precision gives the same truncated values: a product below
// 4096 in magnitude is then a multiple of 2^-12 that single precision holds exactly, and a larger
// one rounds to a value that saturates alike. Lanes of factors on that grid:
inline __m256 OnGrid(__m256 factors) {
    const __m256 g = _mm256_mul_ps(factors, _mm256_set1_ps(4096.0f)); // exact
    return _mm256_cmp_ps(_mm256_cvtepi32_ps(_mm256_cvttps_epi32(g)), g, _CMP_EQ_OQ);
}

// trunc(scaled level * F) of eight levels in single precision, saturated at the top to stay
// convertible (the bottom converts to INT32_MIN, which saturates alike).
template <TRule Rule>
inline __m256i SingleResults(const int16_t* q, __m256 f) {
    const __m256 p = _mm256_mul_ps(_mm256_cvtepi32_ps(Scaled<Rule>(LoadLevels(q))), f);
    return _mm256_cvttps_epi32(_mm256_min_ps(p, _mm256_set1_ps(32768.0f)));
}

// Results in single precision, kept in registers until the factors are known to be on the grid;
// otherwise the block goes the double-precision way.
template <TRule Rule>
void DequantF_Avx2(int16_t* block, const float* factors) {
    __m256 onGrid = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
    __m256i v[4];
    for (int i = 0; i < 4; ++i) {
        const int k = 16 * i;
        const __m256 fa = _mm256_loadu_ps(factors + k), fb = _mm256_loadu_ps(factors + k + 8);
        onGrid = _mm256_and_ps(onGrid, _mm256_and_ps(OnGrid(fa), OnGrid(fb)));
        v[i] = Finish16<Rule>(SingleResults<Rule>(block + k, fa), SingleResults<Rule>(block + k + 8, fb));
    }
    if (_mm256_movemask_ps(onGrid) != 0xFF)
        for (int i = 0; i < 4; ++i) {
            const int k = 16 * i;
            v[i] = Finish16<Rule>(DoubleResults<Rule>(block + k, factors + k),
                                  DoubleResults<Rule>(block + k + 8, factors + k + 8));
        }
    StoreResults<Rule>(block, v);
}

} // namespace

void FillAvx2Dequantization(TKernelTable& t) {
    t.DequantIntraMpeg1 = Dequant_Avx2<TRule::IntraMpeg1>;
    t.DequantIntraMpeg2 = Dequant_Avx2<TRule::IntraMpeg2>;
    t.DequantInterMpeg1 = Dequant_Avx2<TRule::InterMpeg1>;
    t.DequantInterMpeg2 = Dequant_Avx2<TRule::InterMpeg2>;
    t.DequantIntraMpeg1F = DequantF_Avx2<TRule::IntraMpeg1>;
    t.DequantIntraMpeg2F = DequantF_Avx2<TRule::IntraMpeg2>;
    t.DequantInterMpeg1F = DequantF_Avx2<TRule::InterMpeg1>;
    t.DequantInterMpeg2F = DequantF_Avx2<TRule::InterMpeg2>;
}

} // namespace quillset::x86
