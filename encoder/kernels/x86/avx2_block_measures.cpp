// AVX2 block measures: SAD and SSE of 16-wide blocks two rows per register, with the exact
// half-sample predictions of the SSE2 kernels, and the SADs of packed and RGB blocks.
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

// Sums of squares of the byte differences, as eight 32-bit lanes: the bytes of a and b
// interleaved, pmaddubsw against (1, -1) gives the differences as 16-bit values.
inline __m256i SquaredDiffs(__m256i a, __m256i b) {
    const __m256i plusMinus = _mm256_set1_epi16(static_cast<int16_t>(0xFF01));
    const __m256i lo = _mm256_maddubs_epi16(_mm256_unpacklo_epi8(a, b), plusMinus);
    const __m256i hi = _mm256_maddubs_epi16(_mm256_unpackhi_epi8(a, b), plusMinus);
    return _mm256_add_epi32(_mm256_madd_epi16(lo, lo), _mm256_madd_epi16(hi, hi));
}

// The upper and lower halves of the block go through the two halves of the registers.
template <int Rows, THalfMode Mode>
int32_t Sad16_Avx2(const uint8_t* cur, const uint8_t* ref, int32_t pitch) {
    constexpr int kSpan = Rows / 2;
    TSplitRowPredictor<Mode> pred(ref, pitch, kSpan);
    const ptrdiff_t span = ptrdiff_t{kSpan} * pitch;
    __m256i acc = _mm256_setzero_si256();
    for (int r = 0; r < kSpan; ++r, cur += pitch)
        acc = _mm256_add_epi64(acc, _mm256_sad_epu8(LoadRows(cur, span), pred.Next()));
    return SadSum(acc);
}

template <int Rows, THalfMode Mode>
int32_t Sse16_Avx2(const uint8_t* cur, const uint8_t* ref, int32_t pitch) {
    constexpr int kSpan = Rows / 2;
    TSplitRowPredictor<Mode> pred(ref, pitch, kSpan);
    const ptrdiff_t span = ptrdiff_t{kSpan} * pitch;
    __m256i acc = _mm256_setzero_si256();
    for (int r = 0; r < kSpan; ++r, cur += pitch)
        acc = _mm256_add_epi32(acc, SquaredDiffs(LoadRows(cur, span), pred.Next()));
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

// The other SADs stay with SSE2: they are bound by loads and psadbw either way.
void FillAvx2BlockMeasures(TKernelTable& t) {
    t.Sad16x16HV = Sad16_Avx2<16, THalfMode::HV>;
    t.Sad16x8HV = Sad16_Avx2<8, THalfMode::HV>;
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
