// AVX2 block measures: SSE of 16-wide blocks two rows per register, with the exact half-sample
// predictions of the SSE2 kernels, and the SADs of packed and RGB blocks.
#include "encoder/kernels/x86/avx2_common.h"
#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

inline int32_t SadSum(__m256i v) {
    const __m128i s = _mm_add_epi64(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    return _mm_cvtsi128_si32(_mm_add_epi64(s, _mm_srli_si128(s, 8)));
}

inline int32_t HorizontalSum32(__m256i v) {
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(s);
}

// Sums of squares of the byte differences, as eight 32-bit lanes.
inline __m256i SquaredDiffs(__m256i a, __m256i b) {
    const __m256i d = _mm256_or_si256(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo = _mm256_unpacklo_epi8(d, zero), hi = _mm256_unpackhi_epi8(d, zero);
    return _mm256_add_epi32(_mm256_madd_epi16(lo, lo), _mm256_madd_epi16(hi, hi));
}

template <int Rows, THalfMode Mode>
int32_t Sse16_Avx2(const uint8_t* cur, const uint8_t* ref, int32_t pitch) {
    TRowPairPredictor<Mode> pred(ref, pitch);
    __m256i acc = _mm256_setzero_si256();
    for (int r = 0; r < Rows; r += 2, cur += 2 * ptrdiff_t{pitch})
        acc = _mm256_add_epi32(acc, SquaredDiffs(LoadRows(cur, pitch), pred.Next()));
    return HorizontalSum32(acc);
}

inline __m256i Load32(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

int32_t Sad16x16Packed_Avx2(const uint8_t* cur, const uint8_t* packed, int32_t pitch) {
    __m256i acc = _mm256_setzero_si256();
    for (int r = 0; r < 16; r += 2, cur += 2 * ptrdiff_t{pitch}, packed += 32)
        acc = _mm256_add_epi64(acc, _mm256_sad_epu8(LoadRows(cur, pitch), Load32(packed)));
    return SadSum(acc);
}

int32_t Sse16x16Packed_Avx2(const uint8_t* cur, const uint8_t* packed, int32_t pitch) {
    __m256i acc = _mm256_setzero_si256();
    for (int r = 0; r < 16; r += 2, cur += 2 * ptrdiff_t{pitch}, packed += 32)
        acc = _mm256_add_epi32(acc, SquaredDiffs(LoadRows(cur, pitch), Load32(packed)));
    return HorizontalSum32(acc);
}

// 48 bytes per row: 32 + 16.
int32_t SadRgb16x16_Avx2(const uint8_t* cur, const uint8_t* ref, int32_t pitch) {
    __m256i acc = _mm256_setzero_si256();
    __m128i tail = _mm_setzero_si128();
    for (int r = 0; r < 16; ++r, cur += pitch, ref += pitch) {
        acc = _mm256_add_epi64(acc, _mm256_sad_epu8(Load32(cur), Load32(ref)));
        tail = _mm_add_epi64(tail, _mm_sad_epu8(Load16(cur + 32), Load16(ref + 32)));
    }
    return SadSum(_mm256_add_epi64(acc, _mm256_castsi128_si256(tail)));
}

} // namespace

// The 16-wide SADs stay with SSE2: they are bound by loads and psadbw either way.
void FillAvx2BlockMeasures(TKernelTable& t) {
    t.SadRgb16x16 = SadRgb16x16_Avx2;
    t.Sad16x16Packed = Sad16x16Packed_Avx2;
    t.Sse16x16 = Sse16_Avx2<16, THalfMode::Full>;
    t.Sse16x16V = Sse16_Avx2<16, THalfMode::V>;
    t.Sse16x16H = Sse16_Avx2<16, THalfMode::H>;
    t.Sse16x16HV = Sse16_Avx2<16, THalfMode::HV>;
    t.Sse16x8 = Sse16_Avx2<8, THalfMode::Full>;
    t.Sse16x8V = Sse16_Avx2<8, THalfMode::V>;
    t.Sse16x8H = Sse16_Avx2<8, THalfMode::H>;
    t.Sse16x8HV = Sse16_Avx2<8, THalfMode::HV>;
    t.Sse16x16Packed = Sse16x16Packed_Avx2;
}

} // namespace quillset::x86
