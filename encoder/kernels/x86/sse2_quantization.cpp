// SSE2 level bound, quantisation and inverse quantisation. Integer divisions go through an exact
// single-precision quotient and the floating-point variants run in double precision, so every
// result equals the reference's exactly.
#include "encoder/kernels/x86/sse2_common.h"
#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

inline __m128i LoadI16(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i LoadI32(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void StoreI16(int16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

inline __m128i WidenLo(__m128i v) { return _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16); }
inline __m128i WidenHi(__m128i v) { return _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16); }

// The lanes 0-1 and 2-3 of four floats as doubles.
inline __m128d PdLo(__m128 v) { return _mm_cvtps_pd(v); }
inline __m128d PdHi(__m128 v) { return _mm_cvtps_pd(_mm_movehl_ps(v, v)); }

// Truncation toward zero of values saturated to the 16-bit range; two doubles to two int32.
inline __m128i TruncSat(__m128d v) {
    return _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(v, _mm_set1_pd(-32768.0)), _mm_set1_pd(32767.0)));
}
inline __m128i Join(__m128i lo2, __m128i hi2) { return _mm_unpacklo_epi64(lo2, hi2); }

// trunc(n / d) for int32 n within 0 .. 2^23 and d within 1 .. 2^30, exactly, from one
// single-precision division. n converts exactly; so does d whenever d <= n, and a larger d gives a
// quotient of at most one half. The correctly rounded quotient then truncates to the true one:
// for a true quotient just below an integer k >= 2 to round up to k, it would have to lie within
// k * 2^-24 of k, while it lies at least 1 / d below it, which needs n >= k * d - d >= 2^24 - n,
// that is n > 2^23.
inline __m128i DivideU(__m128i n, __m128i d) {
    return _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(n), _mm_cvtepi32_ps(d)));
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

// The same in single precision where that gives the reference's levels: (x +- R) * F is formed
// as S, which is within |S| * 2^-22 of the reference's double-precision value, so the truncations
// agree unless a whole number lies that close to S. `trusted` loses its lanes (of non-zero x) for
// which the interval S -+ S * 2^-20, wide enough even as rounded, holds a whole number.
inline __m128i QuantizeSingle(__m128 x, __m128 r, __m128 f, __m128i nonZero, __m128i& trusted) {
    const __m128 signedR = _mm_xor_ps(r, _mm_and_ps(x, _mm_set1_ps(-0.0f)));
    const __m128 bound = _mm_set1_ps(32768.0f);
    const __m128 v = _mm_max_ps(_mm_min_ps(_mm_mul_ps(_mm_add_ps(x, signedR), f), bound),
                                _mm_sub_ps(_mm_setzero_ps(), bound));
    const __m128 margin = _mm_mul_ps(v, _mm_set1_ps(0x1p-20f));
    const __m128i low = _mm_cvttps_epi32(_mm_sub_ps(v, margin)), high = _mm_cvttps_epi32(_mm_add_ps(v, margin));
    const __m128i zero = _mm_xor_si128(nonZero, _mm_set1_epi32(-1));
    trusted = _mm_and_si128(trusted, _mm_or_si128(_mm_cmpeq_epi32(low, high), zero));
    return _mm_and_si128(low, nonZero);
}

// Eight levels of the floating-point quantisers from eight values given by `value(half)` (four
// floats each, exact) and their non-zero masks.
template <typename Values>
__m128i QuantizeEight(Values value, const float* r, const float* f) {
    __m128i levels[2], nonZero[2];
    __m128i trusted = _mm_set1_epi32(-1);
    for (int half = 0; half < 2; ++half) {
        const __m128 x = value(half);
        const __m128 zero = _mm_setzero_ps();
        nonZero[half] = _mm_castps_si128(_mm_or_ps(_mm_cmpgt_ps(x, zero), _mm_cmplt_ps(x, zero)));
        levels[half] =
            QuantizeSingle(x, _mm_loadu_ps(r + 4 * half), _mm_loadu_ps(f + 4 * half), nonZero[half], trusted);
    }
    if (_mm_movemask_epi8(trusted) != 0xFFFF)
        for (int half = 0; half < 2; ++half) {
            const __m128 x = value(half);
            levels[half] = QuantizePairs(PdLo(x), PdHi(x), _mm_loadu_ps(r + 4 * half), _mm_loadu_ps(f + 4 * half),
                                         nonZero[half]);
        }
    return _mm_packs_epi32(levels[0], levels[1]);
}

int32_t QuantizeBlockF_Sse2(int16_t* block, const float* factors, const float* offsets) {
    __m128i sum = _mm_setzero_si128();
    for (int k = 0; k < 64; k += 8) {
        const __m128i x = LoadI16(block + k);
        const __m128i stored = QuantizeEight(
            [x](int half) { return _mm_cvtepi32_ps(half == 0 ? WidenLo(x) : WidenHi(x)); }, offsets + k, factors + k);
        StoreI16(block + k, stored);
        sum = _mm_add_epi32(sum, AbsSum16(stored));
    }
    return HorizontalSum32(sum);
}

int32_t QuantizeFloatBlock_Sse2(int16_t* out, const float* block, const float* factors, const float* offsets) {
    __m128i sum = _mm_setzero_si128();
    for (int k = 0; k < 64; k += 8) {
        const auto values = [block, k](int half) { return _mm_loadu_ps(block + k + 4 * half); };
        const __m128i stored = QuantizeEight(values, offsets + k, factors + k);
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
