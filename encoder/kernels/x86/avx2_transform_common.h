// Helpers shared by the AVX2 transforms, on top of the 8x8 row helpers of the SSE2 ones (which
// these files build with AVX2 encodings). Internal linkage only (see avx2_common.h).
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "encoder/kernels/x86/sse2_common.h"

namespace quillset::x86 {
namespace {

// The rows of eight 16-bit columns from four registers L(a, b) holding values a and b of each
// column as [a c0-3, b c0-3 | a c4-7, b c4-7], given L(0,4), L(1,5), L(2,6), L(3,7): row[k] has
// the eight values of column k in the low half and of column k + 4 in the high half.
inline void ColumnsToRows(__m256i l04, __m256i l15, __m256i l26, __m256i l37, __m256i* row) {
    const __m256i u1 = _mm256_unpacklo_epi16(l04, l15), u2 = _mm256_unpackhi_epi16(l04, l15);
    const __m256i u3 = _mm256_unpacklo_epi16(l26, l37), u4 = _mm256_unpackhi_epi16(l26, l37);
    const __m256i v1 = _mm256_unpacklo_epi32(u1, u3), v2 = _mm256_unpackhi_epi32(u1, u3);
    const __m256i v3 = _mm256_unpacklo_epi32(u2, u4), v4 = _mm256_unpackhi_epi32(u2, u4);
    row[0] = _mm256_unpacklo_epi64(v1, v3);
    row[1] = _mm256_unpackhi_epi64(v1, v3);
    row[2] = _mm256_unpacklo_epi64(v2, v4);
    row[3] = _mm256_unpackhi_epi64(v2, v4);
}

} // namespace
} // namespace quillset::x86
