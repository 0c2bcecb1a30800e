// AVX2 inverse quantisation (ISO/IEC 11172-2, 2.4.4; ISO/IEC 13818-2, 7.4): 32-bit products of
// the levels and multipliers, double-precision products with the single factors; results equal
// the reference's.
#include <immintrin.h>

#include <cstdint>

#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

inline __m256i Load8x16(const int16_t* p) {
    return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
inline __m256i Load8x32(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

template <int Shift>
inline __m256i DivPow2(__m256i p) {
    const __m256i bias = _mm256_and_si256(_mm256_srai_epi32(p, 31), _mm256_set1_epi32((1 << Shift) - 1));
    return _mm256_srai_epi32(_mm256_add_epi32(p, bias), Shift);
}

// MPEG-1: an even non-zero value moves one step toward zero.
inline __m256i Oddify(__m256i v) {
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i even = _mm256_cmpeq_epi32(_mm256_and_si256(v, one), _mm256_setzero_si256());
    return _mm256_sub_epi32(v, _mm256_sign_epi32(_mm256_and_si256(even, one), v)); // sign(v), 0 for v = 0
}

inline __m128i Saturate2048(__m256i v) {
    const __m128i packed = _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    return _mm_max_epi16(_mm_min_epi16(packed, _mm_set1_epi16(2047)), _mm_set1_epi16(-2048));
}

enum class TRule { IntraMpeg1, IntraMpeg2, InterMpeg1, InterMpeg2 };
constexpr bool IsIntra(TRule r) { return r == TRule::IntraMpeg1 || r == TRule::IntraMpeg2; }
constexpr bool IsMpeg1(TRule r) { return r == TRule::IntraMpeg1 || r == TRule::InterMpeg1; }

// The scaled level: q for intra, 2q + sign(q) for inter.
template <TRule Rule>
inline __m256i Scaled(__m256i q) {
    if constexpr (IsIntra(Rule))
        return q;
    else
        return _mm256_add_epi32(_mm256_add_epi32(q, q), _mm256_sign_epi32(_mm256_set1_epi32(1), q));
}

// ISO/IEC 13818-2, 7.4.4: when the sum of the block is even, invert the lowest bit of
// coefficient 63. `parity` holds the exclusive or of all output vectors.
inline void MismatchControl(int16_t* block, __m128i parity) {
    parity = _mm_xor_si128(parity, _mm_srli_si128(parity, 8));
    parity = _mm_xor_si128(parity, _mm_srli_si128(parity, 4));
    parity = _mm_xor_si128(parity, _mm_srli_si128(parity, 2));
    if ((_mm_cvtsi128_si32(parity) & 1) == 0)
        block[63] = static_cast<int16_t>(block[63] ^ 1);
}

template <TRule Rule, typename Values>
void DequantBlock(int16_t* block, Values values) {
    const int16_t dc = block[0];
    __m128i parity = _mm_setzero_si128();
    for (int k = 0; k < 64; k += 8) {
        __m256i v = values(Scaled<Rule>(Load8x16(block + k)), k);
        if constexpr (IsMpeg1(Rule))
            v = Oddify(v);
        __m128i out = Saturate2048(v);
        if (IsIntra(Rule) && k == 0)
            out = _mm_insert_epi16(out, dc, 0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + k), out);
        parity = _mm_xor_si128(parity, out);
    }
    if constexpr (!IsMpeg1(Rule))
        MismatchControl(block, parity);
}

template <TRule Rule>
void Dequant_Avx2(int16_t* block, const int32_t* multipliers) {
    DequantBlock<Rule>(block, [multipliers](__m256i scaled, int k) {
        const __m256i product = _mm256_mullo_epi32(scaled, Load8x32(multipliers + k));
        return IsIntra(Rule) ? DivPow2<4>(product) : DivPow2<5>(product);
    });
}

inline __m128i TruncSat(__m256d v) {
    return _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(v, _mm256_set1_pd(-32768.0)), _mm256_set1_pd(32767.0)));
}

template <TRule Rule>
void DequantF_Avx2(int16_t* block, const float* factors) {
    DequantBlock<Rule>(block, [factors](__m256i scaled, int k) {
        const __m256d low = _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(scaled)),
                                          _mm256_cvtps_pd(_mm_loadu_ps(factors + k)));
        const __m256d high = _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(scaled, 1)),
                                           _mm256_cvtps_pd(_mm_loadu_ps(factors + k + 4)));
        return _mm256_inserti128_si256(_mm256_castsi128_si256(TruncSat(low)), TruncSat(high), 1);
    });
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
