// Small vectors of single floats for the filter kernels: one lane (any processor), four (SSE2)
// or eight (AVX2). The kernels are templates over these types, so every code path performs the
// same IEEE operations in the same order and gives the same bytes.
//
// Internal linkage on purpose: the kernel files are compiled with their own instruction-set flags,
// and a shared out-of-line copy could end up running on an older processor.
#pragma once

#include <algorithm>
#include <cstdint>

#include "plugins/nr2d/reciprocal_estimate.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#ifdef __AVX2__
#include <immintrin.h>
#endif

namespace quillset::noise_reduction {
namespace {

struct TVecScalar {
    using T = float;
    static constexpr int32_t Lanes = 1;
    static T Load(const float* p) { return *p; }
    static void Store(float* p, T v) { *p = v; }
    static T Set(float v) { return v; }
    static T Add(T a, T b) { return a + b; }
    static T Sub(T a, T b) { return a - b; }
    static T Mul(T a, T b) { return a * b; }
    // Never sees NaN; for equal values either operand is returned.
    static T Max(T a, T b) { return a > b ? a : b; }
    static T Min(T a, T b) { return a < b ? a : b; }
    static T Reciprocal(T d) { return ReciprocalEstimate(d); }
};

#ifdef __SSE2__
struct TVecSse2 {
    using T = __m128;
    static constexpr int32_t Lanes = 4;
    static T Load(const float* p) { return _mm_loadu_ps(p); }
    static void Store(float* p, T v) { _mm_storeu_ps(p, v); }
    static T Set(float v) { return _mm_set1_ps(v); }
    static T Add(T a, T b) { return _mm_add_ps(a, b); }
    static T Sub(T a, T b) { return _mm_sub_ps(a, b); }
    static T Mul(T a, T b) { return _mm_mul_ps(a, b); }
    static T Max(T a, T b) { return _mm_max_ps(a, b); }
    static T Min(T a, T b) { return _mm_min_ps(a, b); }
    static T Reciprocal(T d) { return _mm_rcp_ps(d); }
};
#endif

#ifdef __AVX2__
struct TVecAvx2 {
    using T = __m256;
    static constexpr int32_t Lanes = 8;
    static T Load(const float* p) { return _mm256_loadu_ps(p); }
    static void Store(float* p, T v) { _mm256_storeu_ps(p, v); }
    static T Set(float v) { return _mm256_set1_ps(v); }
    static T Add(T a, T b) { return _mm256_add_ps(a, b); }
    static T Sub(T a, T b) { return _mm256_sub_ps(a, b); }
    static T Mul(T a, T b) { return _mm256_mul_ps(a, b); }
    static T Max(T a, T b) { return _mm256_max_ps(a, b); }
    static T Min(T a, T b) { return _mm256_min_ps(a, b); }
    // The 128-bit estimate on both halves, so the result matches the other code paths bit for bit.
    static T Reciprocal(T d) {
        const __m128 low = _mm_rcp_ps(_mm256_castps256_ps128(d));
        const __m128 high = _mm_rcp_ps(_mm256_extractf128_ps(d, 1));
        return _mm256_insertf128_ps(_mm256_castps128_ps256(low), high, 1);
    }
};
#endif

} // namespace
} // namespace quillset::noise_reduction
