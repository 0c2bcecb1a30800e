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

// Eight int32 results (two vectors) to int16: saturated to 16 bits, which keeps every final
// value, then oddified for MPEG-1 (an even non-zero value moves one step toward zero), then
// saturated to -2048..2047.
template <bool Mpeg1>
inline __m128i Finish(__m128i lo, __m128i hi) {
    __m128i v = _mm_packs_epi32(lo, hi);
    if constexpr (Mpeg1) {
        const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi16(1);
        const __m128i even = _mm_cmpeq_epi16(_mm_and_si128(v, one), zero);
        const __m128i evenNonZero = _mm_andnot_si128(_mm_cmpeq_epi16(v, zero), even);
        v = _mm_sub_epi16(v, _mm_and_si128(evenNonZero, _mm_or_si128(_mm_srai_epi16(v, 15), one)));
    }
    return _mm_max_epi16(_mm_min_epi16(v, _mm_set1_epi16(2047)), _mm_set1_epi16(-2048));
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
inline __m128i Divided(__m128i product) {
    return IsIntra(Rule) ? DivPow2<4>(product) : DivPow2<5>(product);
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
        return Finish<IsMpeg1(Rule)>(Divided<Rule>(lo), Divided<Rule>(hi));
    });
}

inline __m128i TruncSat(__m128d v) {
    return _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(v, _mm_set1_pd(-32768.0)), _mm_set1_pd(32767.0)));
}

// trunc(a * F) for four int32 a and four single factors, in double precision: exact for any factor.
inline __m128i ScaleTruncDouble(__m128i a, __m128 f) {
    const __m128d a0 = _mm_cvtepi32_pd(a), a1 = _mm_cvtepi32_pd(_mm_shuffle_epi32(a, _MM_SHUFFLE(1, 0, 3, 2)));
    const __m128d f0 = _mm_cvtps_pd(f), f1 = _mm_cvtps_pd(_mm_movehl_ps(f, f));
    return _mm_unpacklo_epi64(TruncSat(_mm_mul_pd(a0, f0)), TruncSat(_mm_mul_pd(a1, f1)));
}

// The same in single precision, for factors on the 2^-12 grid (see FactorsOnGrid), saturated at
// the top to stay convertible (the bottom converts to INT32_MIN, which saturates alike).
inline __m128i ScaleTruncSingle(__m128i a, __m128 f) {
    return _mm_cvttps_epi32(_mm_min_ps(_mm_mul_ps(_mm_cvtepi32_ps(a), f), _mm_set1_ps(32768.0f)));
}

// The reference multiplies in double precision, where a scaled level (at most 17 bits) times a
// single factor is exact. When every factor is a whole multiple of 2^-12, as the encoder's are
// (multipliers over 16 or 32), single precision gives the same truncated values: a product below
// 4096 in magnitude is then a multiple of 2^-12 that single precision holds exactly, and a larger
// one rounds to a value that saturates alike.
inline bool FactorsOnGrid(const float* factors) {
    const __m128 scale = _mm_set1_ps(4096.0f);
    __m128 whole = _mm_castsi128_ps(_mm_set1_epi32(-1));
    for (int k = 0; k < 64; k += 4) {
        const __m128 g = _mm_mul_ps(_mm_loadu_ps(factors + k), scale); // exact
        whole = _mm_and_ps(whole, _mm_cmpeq_ps(_mm_cvtepi32_ps(_mm_cvttps_epi32(g)), g));
    }
    return _mm_movemask_ps(whole) == 0xF;
}

template <TRule Rule, bool Single>
void DequantF(int16_t* block, const float* factors) {
    DequantBlock<Rule>(block, [factors](__m128i q, int k) {
        __m128i lo = WidenLo(q), hi = WidenHi(q);
        if constexpr (!IsIntra(Rule)) { // 2q + sign(q)
            const __m128i one = _mm_set1_epi32(1);
            lo = _mm_add_epi32(_mm_add_epi32(lo, lo), SignedMultiplier(lo, one));
            hi = _mm_add_epi32(_mm_add_epi32(hi, hi), SignedMultiplier(hi, one));
        }
        const auto scale = [](__m128i a, __m128 f) {
            if constexpr (Single)
                return ScaleTruncSingle(a, f);
            else
                return ScaleTruncDouble(a, f);
        };
        return Finish<IsMpeg1(Rule)>(scale(lo, _mm_loadu_ps(factors + k)), scale(hi, _mm_loadu_ps(factors + k + 4)));
    });
}

template <TRule Rule>
void DequantF_Sse2(int16_t* block, const float* factors) {
    if (FactorsOnGrid(factors))
        DequantF<Rule, true>(block, factors);
    else
        DequantF<Rule, false>(block, factors);
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
