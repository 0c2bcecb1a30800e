// SSE2 inverse quantisation (ISO/IEC 11172-2, 2.4.4; ISO/IEC 13818-2, 7.4) with MPEG-1
// oddification and MPEG-2 mismatch control. Multipliers must lie within 1..32767, where every
// product of a 16-bit level fits 32 bits; results equal the reference's.
#include "encoder/kernels/x86/sse2_common.h"
#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

inline __m128i LoadI16(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i LoadI32(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void StoreI16(int16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i WidenLo(__m128i v) { return _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16); }
inline __m128i WidenHi(__m128i v) { return _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16); }

// Truncating division by 2^Shift of signed int32 lanes.
template <int Shift>
inline __m128i DivPow2(__m128i p) {
    const __m128i bias = _mm_and_si128(_mm_srai_epi32(p, 31), _mm_set1_epi32((1 << Shift) - 1));
    return _mm_srai_epi32(_mm_add_epi32(p, bias), Shift);
}

// MPEG-1: an even non-zero value moves one step toward zero.
inline __m128i Oddify(__m128i v) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i even = _mm_cmpeq_epi32(_mm_and_si128(v, _mm_set1_epi32(1)), zero);
    const __m128i nonZero = _mm_xor_si128(_mm_cmpeq_epi32(v, zero), _mm_set1_epi32(-1));
    const __m128i sign = _mm_or_si128(_mm_srai_epi32(v, 31), _mm_set1_epi32(1));
    return _mm_sub_epi32(v, _mm_and_si128(_mm_and_si128(even, nonZero), sign));
}

// Eight int32 values (two vectors) to int16, saturated to -2048..2047.
inline __m128i Saturate2048(__m128i lo, __m128i hi) {
    const __m128i packed = _mm_packs_epi32(lo, hi);
    return _mm_max_epi16(_mm_min_epi16(packed, _mm_set1_epi16(2047)), _mm_set1_epi16(-2048));
}

// sign(q) * m for int32 lanes (0 where q is 0).
inline __m128i SignedMultiplier(__m128i q, __m128i m) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i neg = _mm_srai_epi32(q, 31);
    const __m128i masked = _mm_andnot_si128(_mm_cmpeq_epi32(q, zero), m);
    return _mm_sub_epi32(_mm_xor_si128(masked, neg), neg);
}

enum class TRule { IntraMpeg1, IntraMpeg2, InterMpeg1, InterMpeg2 };

constexpr bool IsIntra(TRule r) { return r == TRule::IntraMpeg1 || r == TRule::IntraMpeg2; }
constexpr bool IsMpeg1(TRule r) { return r == TRule::IntraMpeg1 || r == TRule::InterMpeg1; }

// Reconstructed int32 values from the scaled products (q * M for intra, (2q + sign) * M for
// inter) of four lanes.
template <TRule Rule>
inline __m128i FinishInteger(__m128i product) {
    const __m128i v = IsIntra(Rule) ? DivPow2<4>(product) : DivPow2<5>(product);
    return IsMpeg1(Rule) ? Oddify(v) : v;
}

template <TRule Rule>
inline __m128i FinishFloat(__m128i truncated) {
    return IsMpeg1(Rule) ? Oddify(truncated) : truncated;
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

// The block loop shared by every rule: `lanes` turns eight levels (and their first position)
// into eight output values.
template <TRule Rule, typename Lanes>
void DequantBlock(int16_t* block, Lanes lanes) {
    const int16_t dc = block[0];
    __m128i parity = _mm_setzero_si128();
    for (int k = 0; k < 64; k += 8) {
        __m128i out = lanes(LoadI16(block + k), k);
        if (IsIntra(Rule) && k == 0)
            out = _mm_insert_epi16(out, dc, 0);
        StoreI16(block + k, out);
        parity = _mm_xor_si128(parity, out);
    }
    if constexpr (!IsMpeg1(Rule))
        MismatchControl(block, parity);
}

template <TRule Rule>
void Dequant_Sse2(int16_t* block, const int32_t* multipliers) {
    DequantBlock<Rule>(block, [multipliers](__m128i q, int k) {
        const __m128i m = _mm_packs_epi32(LoadI32(multipliers + k), LoadI32(multipliers + k + 4));
        const __m128i pl = _mm_mullo_epi16(q, m), ph = _mm_mulhi_epi16(q, m);
        __m128i lo = _mm_unpacklo_epi16(pl, ph), hi = _mm_unpackhi_epi16(pl, ph); // q * M
        if constexpr (!IsIntra(Rule)) {
            lo = _mm_add_epi32(_mm_add_epi32(lo, lo), SignedMultiplier(WidenLo(q), LoadI32(multipliers + k)));
            hi = _mm_add_epi32(_mm_add_epi32(hi, hi), SignedMultiplier(WidenHi(q), LoadI32(multipliers + k + 4)));
        }
        return Saturate2048(FinishInteger<Rule>(lo), FinishInteger<Rule>(hi));
    });
}

inline __m128i TruncSat(__m128d v) {
    return _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(v, _mm_set1_pd(-32768.0)), _mm_set1_pd(32767.0)));
}

// trunc(a * F) for four int32 a and four single factors, in double precision.
inline __m128i ScaleTrunc(__m128i a, __m128 f) {
    const __m128d a0 = _mm_cvtepi32_pd(a), a1 = _mm_cvtepi32_pd(_mm_shuffle_epi32(a, _MM_SHUFFLE(1, 0, 3, 2)));
    const __m128d f0 = _mm_cvtps_pd(f), f1 = _mm_cvtps_pd(_mm_movehl_ps(f, f));
    return _mm_unpacklo_epi64(TruncSat(_mm_mul_pd(a0, f0)), TruncSat(_mm_mul_pd(a1, f1)));
}

template <TRule Rule>
void DequantF_Sse2(int16_t* block, const float* factors) {
    DequantBlock<Rule>(block, [factors](__m128i q, int k) {
        __m128i lo = WidenLo(q), hi = WidenHi(q);
        if constexpr (!IsIntra(Rule)) { // 2q + sign(q)
            const __m128i one = _mm_set1_epi32(1);
            lo = _mm_add_epi32(_mm_add_epi32(lo, lo), SignedMultiplier(lo, one));
            hi = _mm_add_epi32(_mm_add_epi32(hi, hi), SignedMultiplier(hi, one));
        }
        const __m128i vlo = FinishFloat<Rule>(ScaleTrunc(lo, _mm_loadu_ps(factors + k)));
        const __m128i vhi = FinishFloat<Rule>(ScaleTrunc(hi, _mm_loadu_ps(factors + k + 4)));
        return Saturate2048(vlo, vhi);
    });
}

} // namespace

void FillSse2Dequantization(TKernelTable& t) {
    t.DequantIntraMpeg1 = Dequant_Sse2<TRule::IntraMpeg1>;
    t.DequantIntraMpeg2 = Dequant_Sse2<TRule::IntraMpeg2>;
    t.DequantInterMpeg1 = Dequant_Sse2<TRule::InterMpeg1>;
    t.DequantInterMpeg2 = Dequant_Sse2<TRule::InterMpeg2>;
    t.DequantIntraMpeg1F = DequantF_Sse2<TRule::IntraMpeg1>;
    t.DequantIntraMpeg2F = DequantF_Sse2<TRule::IntraMpeg2>;
    t.DequantInterMpeg1F = DequantF_Sse2<TRule::InterMpeg1>;
    t.DequantInterMpeg2F = DequantF_Sse2<TRule::InterMpeg2>;
}

} // namespace quillset::x86
