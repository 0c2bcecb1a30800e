// SSE2 level bound, quantisation and inverse quantisation. Divisions and the floating-point
// variants run in double precision, where every result equals the reference's exactly.
#include "encoder/kernels/x86/sse2_common.h"
#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

inline __m128i LoadI16(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i LoadI32(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void StoreI16(int16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

inline __m128i WidenLo(__m128i v) { return _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16); }
inline __m128i WidenHi(__m128i v) { return _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16); }

// The lanes 0-1 and 2-3 of four int32 or four floats as doubles.
inline __m128d PdLo(__m128i v) { return _mm_cvtepi32_pd(v); }
inline __m128d PdHi(__m128i v) { return _mm_cvtepi32_pd(_mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2))); }
inline __m128d PdLo(__m128 v) { return _mm_cvtps_pd(v); }
inline __m128d PdHi(__m128 v) { return _mm_cvtps_pd(_mm_movehl_ps(v, v)); }

// Truncation toward zero of values saturated to the 16-bit range; two doubles to two int32.
inline __m128i TruncSat(__m128d v) {
    return _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(v, _mm_set1_pd(-32768.0)), _mm_set1_pd(32767.0)));
}
inline __m128i Join(__m128i lo2, __m128i hi2) { return _mm_unpacklo_epi64(lo2, hi2); }

// Truncating division of four non-negative int32 by four positive int32 (both below 2^30).
inline __m128i DivideU(__m128i n, __m128i d) {
    return Join(_mm_cvttpd_epi32(_mm_div_pd(PdLo(n), PdLo(d))), _mm_cvttpd_epi32(_mm_div_pd(PdHi(n), PdHi(d))));
}

inline __m128i Abs32(__m128i v) {
    const __m128i s = _mm_srai_epi32(v, 31);
    return _mm_sub_epi32(_mm_xor_si128(v, s), s);
}

inline __m128i Max32(__m128i a, __m128i b) {
    const __m128i gt = _mm_cmpgt_epi32(a, b);
    return _mm_or_si128(_mm_and_si128(gt, a), _mm_andnot_si128(gt, b));
}

inline int32_t HorizontalMax32(__m128i v) {
    v = Max32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = Max32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(v);
}

// The largest |coefficient| per position over `count` blocks, as unsigned 16-bit values
// (|-32768| is 32768), for the eight positions 8k .. 8k + 7 in out[k].
void PositionMaxima(const int16_t* blocks, int32_t count, __m128i* out) {
    const __m128i bias = _mm_set1_epi16(static_cast<int16_t>(0x8000));
    for (int k = 0; k < 8; ++k)
        out[k] = bias; // biased 0
    for (int32_t b = 0; b < count; ++b)
        for (int k = 0; k < 8; ++k) {
            const __m128i v = LoadI16(blocks + 64 * b + 8 * k);
            const __m128i s = _mm_srai_epi16(v, 15);
            const __m128i absolute = _mm_sub_epi16(_mm_xor_si128(v, s), s);
            out[k] = _mm_max_epi16(out[k], _mm_xor_si128(absolute, bias)); // unsigned max through the bias
        }
    for (int k = 0; k < 8; ++k)
        out[k] = _mm_xor_si128(out[k], bias);
}

int32_t MaxLevelBound_Sse2(const int16_t* blocks, const int32_t* weights, int32_t count) {
    __m128i maxima[8];
    PositionMaxima(blocks, count, maxima);
    const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi32(1);
    __m128i result = zero;
    for (int k = 0; k < 8; ++k)
        for (int half = 0; half < 2; ++half) {
            const __m128i m = half == 0 ? _mm_unpacklo_epi16(maxima[k], zero) : _mm_unpackhi_epi16(maxima[k], zero);
            const __m128i w = LoadI32(weights + 8 * k + 4 * half);
            const __m128i n = _mm_add_epi32(_mm_slli_epi32(m, 4), _mm_sub_epi32(w, one));
            result = Max32(result, DivideU(n, w));
        }
    return HorizontalMax32(result);
}

// max(p, acc) keeps acc on ties and NaN, as the reference's running maximum does.
inline float HorizontalMaxPs(__m128 v) {
    v = _mm_max_ps(_mm_movehl_ps(v, v), v);
    v = _mm_max_ss(_mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1)), v);
    return _mm_cvtss_f32(v);
}

float MaxLevelBoundF_Sse2(const int16_t* blocks, const float* factors, int32_t count) {
    __m128i maxima[8];
    PositionMaxima(blocks, count, maxima);
    const __m128i zero = _mm_setzero_si128();
    __m128 result = _mm_setzero_ps();
    for (int k = 0; k < 8; ++k) {
        const __m128 lo = _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(maxima[k], zero)), _mm_loadu_ps(factors + 8 * k));
        const __m128 hi = _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(maxima[k], zero)), _mm_loadu_ps(factors + 8 * k + 4));
        result = _mm_max_ps(lo, result);
        result = _mm_max_ps(hi, result);
    }
    return HorizontalMaxPs(result);
}

float MaxLevelBoundFloatBlocks_Sse2(const float* blocks, const float* factors, int32_t count) {
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    __m128 result = _mm_setzero_ps();
    for (int k = 0; k < 16; ++k) {
        __m128 m = _mm_setzero_ps();
        for (int32_t b = 0; b < count; ++b)
            m = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(blocks + 64 * b + 4 * k), absMask), m);
        result = _mm_max_ps(_mm_mul_ps(m, _mm_loadu_ps(factors + 4 * k)), result);
    }
    return HorizontalMaxPs(result);
}

// Sum of |v| over eight int16 lanes (|-32768| counted as 32768).
inline __m128i AbsSum16(__m128i v) { return _mm_add_epi32(Abs32(WidenLo(v)), Abs32(WidenHi(v))); }

int32_t QuantizeBlock_Sse2(int16_t* block, const int32_t* divisors, const int32_t* offsets) {
    __m128i sum = _mm_setzero_si128();
    for (int k = 0; k < 64; k += 8) {
        const __m128i x = LoadI16(block + k);
        __m128i levels[2];
        for (int half = 0; half < 2; ++half) {
            const __m128i x32 = half == 0 ? WidenLo(x) : WidenHi(x);
            const __m128i n = _mm_add_epi32(_mm_slli_epi32(Abs32(x32), 7), LoadI32(offsets + k + 4 * half));
            const __m128i q = DivideU(n, LoadI32(divisors + k + 4 * half));
            const __m128i neg = _mm_srai_epi32(x32, 31);
            const __m128i signedQ = _mm_sub_epi32(_mm_xor_si128(q, neg), neg);
            levels[half] = _mm_andnot_si128(_mm_cmpeq_epi32(x32, _mm_setzero_si128()), signedQ);
        }
        const __m128i stored = _mm_packs_epi32(levels[0], levels[1]);
        StoreI16(block + k, stored);
        sum = _mm_add_epi32(sum, AbsSum16(stored));
    }
    return HorizontalSum32(sum);
}

// Levels from four values already in double precision pairs: trunc((x +- R) * F), 0 for x = 0.
inline __m128i QuantizePairs(__m128d x0, __m128d x1, __m128 r, __m128 f, __m128i nonZero) {
    const __m128d sign = _mm_set1_pd(-0.0);
    const __m128d r0 = _mm_xor_pd(PdLo(r), _mm_and_pd(x0, sign)), r1 = _mm_xor_pd(PdHi(r), _mm_and_pd(x1, sign));
    const __m128i l0 = TruncSat(_mm_mul_pd(_mm_add_pd(x0, r0), PdLo(f)));
    const __m128i l1 = TruncSat(_mm_mul_pd(_mm_add_pd(x1, r1), PdHi(f)));
    return _mm_and_si128(Join(l0, l1), nonZero);
}

int32_t QuantizeBlockF_Sse2(int16_t* block, const float* factors, const float* offsets) {
    __m128i sum = _mm_setzero_si128();
    for (int k = 0; k < 64; k += 8) {
        const __m128i x = LoadI16(block + k);
        __m128i levels[2];
        for (int half = 0; half < 2; ++half) {
            const __m128i x32 = half == 0 ? WidenLo(x) : WidenHi(x);
            const __m128i nonZero = _mm_xor_si128(_mm_cmpeq_epi32(x32, _mm_setzero_si128()), _mm_set1_epi32(-1));
            levels[half] = QuantizePairs(PdLo(x32), PdHi(x32), _mm_loadu_ps(offsets + k + 4 * half),
                                         _mm_loadu_ps(factors + k + 4 * half), nonZero);
        }
        const __m128i stored = _mm_packs_epi32(levels[0], levels[1]);
        StoreI16(block + k, stored);
        sum = _mm_add_epi32(sum, AbsSum16(stored));
    }
    return HorizontalSum32(sum);
}

int32_t QuantizeFloatBlock_Sse2(int16_t* out, const float* block, const float* factors, const float* offsets) {
    __m128i sum = _mm_setzero_si128();
    const __m128 zero = _mm_setzero_ps();
    for (int k = 0; k < 64; k += 8) {
        __m128i levels[2];
        for (int half = 0; half < 2; ++half) {
            const __m128 x = _mm_loadu_ps(block + k + 4 * half);
            const __m128i nonZero = _mm_castps_si128(_mm_or_ps(_mm_cmpgt_ps(x, zero), _mm_cmplt_ps(x, zero)));
            levels[half] = QuantizePairs(PdLo(x), PdHi(x), _mm_loadu_ps(offsets + k + 4 * half),
                                         _mm_loadu_ps(factors + k + 4 * half), nonZero);
        }
        const __m128i stored = _mm_packs_epi32(levels[0], levels[1]);
        StoreI16(out + k, stored);
        sum = _mm_add_epi32(sum, AbsSum16(stored));
    }
    return HorizontalSum32(sum);
}

} // namespace

void FillSse2Quantization(TKernelTable& t) {
    t.MaxLevelBound = MaxLevelBound_Sse2;
    t.MaxLevelBoundF = MaxLevelBoundF_Sse2;
    t.MaxLevelBoundFloatBlocks = MaxLevelBoundFloatBlocks_Sse2;
    t.QuantizeBlock = QuantizeBlock_Sse2;
    t.QuantizeBlockF = QuantizeBlockF_Sse2;
    t.QuantizeFloatBlock = QuantizeFloatBlock_Sse2;
    FillSse2Dequantization(t);
}

} // namespace quillset::x86
