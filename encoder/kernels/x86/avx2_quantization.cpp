// AVX2 level bound, quantisation and inverse quantisation. Integer divisions go through an exact
// single-precision quotient, the floating-point forms run in double precision on four lanes, so
// every result equals the reference's; the sign of a level is applied to its quantised magnitude
// (truncation toward zero is odd).
#include <immintrin.h>

#include <cstdint>

#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

// Eight int16 at p widened to int32.
inline __m256i Load8x16(const int16_t* p) {
    return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
inline __m256i Load8x32(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline __m128i Low(__m256i v) { return _mm256_castsi256_si128(v); }
inline __m128i High(__m256i v) { return _mm256_extracti128_si256(v, 1); }
inline __m256i Join(__m128i low, __m128i high) { return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1); }

// Eight int32 to eight int16 with signed saturation.
inline __m128i Saturate16(__m256i v) { return _mm_packs_epi32(Low(v), High(v)); }
inline void Store8x16(int16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

inline int32_t HorizontalSum(__m256i v) {
    __m128i s = _mm_add_epi32(Low(v), High(v));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(s);
}

inline int32_t HorizontalMax(__m256i v) {
    __m128i s = _mm_max_epi32(Low(v), High(v));
    s = _mm_max_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
    s = _mm_max_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(s);
}

// max(p, acc) keeps acc on ties and NaN, as the reference's running maximum does.
inline float HorizontalMax(__m256 v) {
    __m128 s = _mm_max_ps(_mm256_extractf128_ps(v, 1), _mm256_castps256_ps128(v));
    s = _mm_max_ps(_mm_movehl_ps(s, s), s);
    s = _mm_max_ss(_mm_shuffle_ps(s, s, _MM_SHUFFLE(1, 1, 1, 1)), s);
    return _mm_cvtss_f32(s);
}

// trunc(n / d) for int32 n within 0 .. 2^23 and d within 1 .. 2^30, exactly, from one
// single-precision division. n converts exactly; so does d whenever d <= n, and a larger d gives a
// quotient of at most one half. The correctly rounded quotient then truncates to the true one:
// for a true quotient just below an integer k >= 2 to round up to k, it would have to lie within
// k * 2^-24 of k, while it lies at least 1 / d below it, which needs n >= k * d - d >= 2^24 - n,
// that is n > 2^23.
inline __m256i DivideU(__m256i n, __m256i d) {
    return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(n), _mm256_cvtepi32_ps(d)));
}

// The largest |coefficient| of each of the 64 positions over `count` blocks, eight per vector.
void PositionMaxima(const int16_t* blocks, int32_t count, __m256i* maxima) {
    for (int k = 0; k < 8; ++k)
        maxima[k] = _mm256_setzero_si256();
    for (int32_t b = 0; b < count; ++b)
        for (int k = 0; k < 8; ++k)
            maxima[k] = _mm256_max_epi32(maxima[k], _mm256_abs_epi32(Load8x16(blocks + 64 * b + 8 * k)));
}

int32_t MaxLevelBound_Avx2(const int16_t* blocks, const int32_t* weights, int32_t count) {
    __m256i maxima[8];
    PositionMaxima(blocks, count, maxima);
    const __m256i one = _mm256_set1_epi32(1);
    __m256i result = _mm256_setzero_si256();
    for (int k = 0; k < 8; ++k) {
        const __m256i w = Load8x32(weights + 8 * k);
        const __m256i n = _mm256_add_epi32(_mm256_slli_epi32(maxima[k], 4), _mm256_sub_epi32(w, one));
        result = _mm256_max_epi32(result, DivideU(n, w));
    }
    return HorizontalMax(result);
}

float MaxLevelBoundF_Avx2(const int16_t* blocks, const float* factors, int32_t count) {
    __m256i maxima[8];
    PositionMaxima(blocks, count, maxima);
    __m256 result = _mm256_setzero_ps();
    for (int k = 0; k < 8; ++k)
        result = _mm256_max_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(maxima[k]), _mm256_loadu_ps(factors + 8 * k)), result);
    return HorizontalMax(result);
}

float MaxLevelBoundFloatBlocks_Avx2(const float* blocks, const float* factors, int32_t count) {
    const __m256 absMask = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    __m256 maxima[8];
    for (int k = 0; k < 8; ++k)
        maxima[k] = _mm256_setzero_ps();
    for (int32_t b = 0; b < count; ++b)
        for (int k = 0; k < 8; ++k)
            maxima[k] = _mm256_max_ps(_mm256_and_ps(_mm256_loadu_ps(blocks + 64 * b + 8 * k), absMask), maxima[k]);
    __m256 result = _mm256_setzero_ps();
    for (int k = 0; k < 8; ++k)
        result = _mm256_max_ps(_mm256_mul_ps(maxima[k], _mm256_loadu_ps(factors + 8 * k)), result);
    return HorizontalMax(result);
}

// |level| summed over eight stored 16-bit levels (|-32768| counted as 32768).
inline __m256i AbsLevels(__m128i stored) { return _mm256_cvtepu16_epi32(_mm_abs_epi16(stored)); }

// Applies the sign of x to the magnitudes m, zero where x is zero, and stores with saturation.
inline __m256i StoreLevels(int16_t* out, __m256i x, __m256i m) {
    const __m256i signedLevel = _mm256_sign_epi32(m, x); // m * sign(x), 0 for x = 0
    const __m128i stored = Saturate16(signedLevel);
    Store8x16(out, stored);
    return AbsLevels(stored);
}

int32_t QuantizeBlock_Avx2(int16_t* block, const int32_t* divisors, const int32_t* offsets) {
    __m256i sum = _mm256_setzero_si256();
    for (int k = 0; k < 64; k += 8) {
        const __m256i x = Load8x16(block + k);
        const __m256i n = _mm256_add_epi32(_mm256_slli_epi32(_mm256_abs_epi32(x), 7), Load8x32(offsets + k));
        sum = _mm256_add_epi32(sum, StoreLevels(block + k, x, DivideU(n, Load8x32(divisors + k))));
    }
    return HorizontalSum(sum);
}

// trunc(min((m + R) * F, 32768)) for four magnitudes (as doubles) and single R, F.
inline __m128i QuantizeMagnitudes(__m256d m, const float* r, const float* f) {
    const __m256d v = _mm256_mul_pd(_mm256_add_pd(m, _mm256_cvtps_pd(_mm_loadu_ps(r))), _mm256_cvtps_pd(_mm_loadu_ps(f)));
    return _mm256_cvttpd_epi32(_mm256_min_pd(v, _mm256_set1_pd(32768.0)));
}

// The same for eight magnitudes, which must convert to single precision exactly, from a single-
// precision value S where that can be trusted. The reference forms (m + R) * F in double
// precision, so its value D is within D * 2^-51 of the exact one, and S is within S * 2^-23 of it
// (two roundings): trunc(S) = trunc(D) unless a whole number lies within S * 2^-21 of S. The lanes
// are checked with the interval S -+ S * 2^-20, wide enough to cover that even as rounded; if a
// whole number falls into it anywhere but in lanes with m = 0, whose levels are zero anyway (a lane
// at the saturation bound counts too, being merely rare), the eight lanes are formed in double
// precision.
inline __m256i QuantizeMagnitudes(__m256 m, const float* r, const float* f) {
    const __m256 v = _mm256_min_ps(_mm256_mul_ps(_mm256_add_ps(m, _mm256_loadu_ps(r)), _mm256_loadu_ps(f)),
                                   _mm256_set1_ps(32768.0f));
    const __m256 margin = _mm256_mul_ps(v, _mm256_set1_ps(0x1p-20f));
    const __m256i low = _mm256_cvttps_epi32(_mm256_sub_ps(v, margin));
    const __m256i high = _mm256_cvttps_epi32(_mm256_add_ps(v, margin));
    const __m256i trusted = _mm256_or_si256(_mm256_cmpeq_epi32(low, high),
                                            _mm256_castps_si256(_mm256_cmp_ps(m, _mm256_setzero_ps(), _CMP_EQ_OQ)));
    if (_mm256_movemask_epi8(trusted) == -1)
        return low;
    return Join(QuantizeMagnitudes(_mm256_cvtps_pd(_mm256_castps256_ps128(m)), r, f),
                QuantizeMagnitudes(_mm256_cvtps_pd(_mm256_extractf128_ps(m, 1)), r + 4, f + 4));
}

int32_t QuantizeBlockF_Avx2(int16_t* block, const float* factors, const float* offsets) {
    __m256i sum = _mm256_setzero_si256();
    for (int k = 0; k < 64; k += 8) {
        const __m256i x = Load8x16(block + k);
        const __m256 a = _mm256_cvtepi32_ps(_mm256_abs_epi32(x)); // exact: at most 32768
        sum = _mm256_add_epi32(sum, StoreLevels(block + k, x, QuantizeMagnitudes(a, offsets + k, factors + k)));
    }
    return HorizontalSum(sum);
}

int32_t QuantizeFloatBlock_Avx2(int16_t* out, const float* block, const float* factors, const float* offsets) {
    const __m256 absMask = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF)), zero = _mm256_setzero_ps();
    __m256i sum = _mm256_setzero_si256();
    for (int k = 0; k < 64; k += 8) {
        const __m256 x = _mm256_loadu_ps(block + k);
        const __m256 a = _mm256_and_ps(x, absMask);
        // The sign as -1, 0 or 1 (0 for zeros of either sign and for NaN, as the reference).
        const __m256i positive = _mm256_castps_si256(_mm256_cmp_ps(x, zero, _CMP_GT_OQ));
        const __m256i negative = _mm256_castps_si256(_mm256_cmp_ps(x, zero, _CMP_LT_OQ));
        const __m256i sign = _mm256_sub_epi32(negative, positive);
        sum = _mm256_add_epi32(sum, StoreLevels(out + k, sign, QuantizeMagnitudes(a, offsets + k, factors + k)));
    }
    return HorizontalSum(sum);
}

} // namespace

void FillAvx2Quantization(TKernelTable& t) {
    t.MaxLevelBound = MaxLevelBound_Avx2;
    t.MaxLevelBoundF = MaxLevelBoundF_Avx2;
    t.MaxLevelBoundFloatBlocks = MaxLevelBoundFloatBlocks_Avx2;
    t.QuantizeBlock = QuantizeBlock_Avx2;
    t.QuantizeBlockF = QuantizeBlockF_Avx2;
    t.QuantizeFloatBlock = QuantizeFloatBlock_Avx2;
    FillAvx2Dequantization(t);
}

} // namespace quillset::x86
