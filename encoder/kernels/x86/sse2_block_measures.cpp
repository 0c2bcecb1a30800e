// SSE2 block measures: SAD and SSE with exact half-sample prediction, the sum-picture measures
// and the 4x4 block sums.
#include "encoder/kernels/x86/sse2_common.h"
#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

template <int Rows, THalfMode Mode>
int32_t Sad16_Sse2(const uint8_t* cur, const uint8_t* ref, int32_t pitch) {
    TRowPredictor<Mode, true> pred(ref, pitch);
    __m128i acc = _mm_setzero_si128();
    for (int r = 0; r < Rows; ++r, cur += pitch)
        acc = _mm_add_epi64(acc, _mm_sad_epu8(Load16(cur), pred.Next()));
    return SadSum(acc);
}

template <int Rows, THalfMode Mode>
int32_t Sse16_Sse2(const uint8_t* cur, const uint8_t* ref, int32_t pitch) {
    TRowPredictor<Mode, true> pred(ref, pitch);
    __m128i acc = _mm_setzero_si128();
    for (int r = 0; r < Rows; ++r, cur += pitch)
        acc = _mm_add_epi32(acc, SquaredDiffs(Load16(cur), pred.Next()));
    return HorizontalSum32(acc);
}

int32_t SadRgb16x16_Sse2(const uint8_t* cur, const uint8_t* ref, int32_t pitch) {
    __m128i acc = _mm_setzero_si128();
    for (int r = 0; r < 16; ++r, cur += pitch, ref += pitch) {
        acc = _mm_add_epi64(acc, _mm_sad_epu8(Load16(cur), Load16(ref)));
        acc = _mm_add_epi64(acc, _mm_sad_epu8(Load16(cur + 16), Load16(ref + 16)));
        acc = _mm_add_epi64(acc, _mm_sad_epu8(Load16(cur + 32), Load16(ref + 32)));
    }
    return SadSum(acc);
}

int32_t Sad16x16Packed_Sse2(const uint8_t* cur, const uint8_t* packed, int32_t pitch) {
    __m128i acc = _mm_setzero_si128();
    for (int r = 0; r < 16; ++r, cur += pitch, packed += 16)
        acc = _mm_add_epi64(acc, _mm_sad_epu8(Load16(cur), Load16(packed)));
    return SadSum(acc);
}

int32_t Sse16x16Packed_Sse2(const uint8_t* cur, const uint8_t* packed, int32_t pitch) {
    __m128i acc = _mm_setzero_si128();
    for (int r = 0; r < 16; ++r, cur += pitch, packed += 16)
        acc = _mm_add_epi32(acc, SquaredDiffs(Load16(cur), Load16(packed)));
    return HorizontalSum32(acc);
}

// Sum pictures hold values below 4096, so differences fit 16 bits and pmaddwd squares them.
inline __m128i SumsRow4(const uint16_t* p, ptrdiff_t offset) {
    return Load8(reinterpret_cast<const uint8_t*>(p) + offset);
}

int32_t SseSums4x4_Sse2(const uint16_t* cur, const uint16_t* ref, int32_t pitch) {
    __m128i acc = _mm_setzero_si128();
    for (int r = 0; r < 4; r += 2) {
        const ptrdiff_t o0 = ptrdiff_t{r} * pitch, o1 = o0 + pitch;
        const __m128i c = _mm_unpacklo_epi64(SumsRow4(cur, o0), SumsRow4(cur, o1));
        const __m128i f = _mm_unpacklo_epi64(SumsRow4(ref, o0), SumsRow4(ref, o1));
        const __m128i d = _mm_sub_epi16(c, f);
        acc = _mm_add_epi32(acc, _mm_madd_epi16(d, d));
    }
    return HorizontalSum32(acc);
}

int32_t SseSums4x4Best_Sse2(const uint16_t* cur, const uint16_t* refA, int32_t pitch, const uint16_t* refB) {
    const int32_t a = SseSums4x4_Sse2(cur, refA, pitch);
    const int32_t b = SseSums4x4_Sse2(cur, refB, pitch);
    return a < b ? a : b;
}

// 12 values per row: 16 bytes and 8 bytes, read exactly.
int32_t SseRgbSums4x4_Sse2(const uint16_t* cur, const uint16_t* ref, int32_t pitch) {
    const auto* c = reinterpret_cast<const uint8_t*>(cur);
    const auto* f = reinterpret_cast<const uint8_t*>(ref);
    __m128i acc = _mm_setzero_si128();
    for (int r = 0; r < 4; ++r, c += pitch, f += pitch) {
        const __m128i d0 = _mm_sub_epi16(Load16(c), Load16(f));
        const __m128i d1 = _mm_sub_epi16(Load8(c + 16), Load8(f + 16));
        acc = _mm_add_epi32(acc, _mm_add_epi32(_mm_madd_epi16(d0, d0), _mm_madd_epi16(d1, d1)));
    }
    return HorizontalSum32(acc);
}

int32_t Sum4x4_Sse2(const uint8_t* src, int32_t pitch) {
    const __m128i r01 = _mm_unpacklo_epi32(Load4(src), Load4(src + pitch));
    const __m128i r23 = _mm_unpacklo_epi32(Load4(src + 2 * ptrdiff_t{pitch}), Load4(src + 3 * ptrdiff_t{pitch}));
    return SadSum(_mm_sad_epu8(_mm_unpacklo_epi64(r01, r23), _mm_setzero_si128()));
}

int32_t Sum4x2_Sse2(const uint8_t* src, int32_t pitch) {
    const __m128i rows = _mm_unpacklo_epi32(Load4(src), Load4(src + pitch));
    return _mm_cvtsi128_si32(_mm_sad_epu8(rows, _mm_setzero_si128()));
}

// Rows of four B, G, R pixels: the rows are added in 16-bit lanes, then the four pixels of each
// component.
void SumRgb4x4_Sse2(const uint8_t* src, int32_t pitch, uint16_t* out) {
    const __m128i zero = _mm_setzero_si128();
    __m128i lo = zero, hi = zero;
    for (int r = 0; r < 4; ++r, src += pitch) {
        lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(Load8(src), zero));
        hi = _mm_add_epi16(hi, _mm_unpacklo_epi8(Load4(src + 8), zero));
    }
    alignas(16) uint16_t s[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(s), lo);
    _mm_store_si128(reinterpret_cast<__m128i*>(s + 8), hi);
    out[0] = static_cast<uint16_t>(s[2] + s[5] + s[8] + s[11]);
    out[1] = static_cast<uint16_t>(s[1] + s[4] + s[7] + s[10]);
    out[2] = static_cast<uint16_t>(s[0] + s[3] + s[6] + s[9]);
}

} // namespace

void FillSse2BlockMeasures(TKernelTable& t) {
    t.Sad16x16 = Sad16_Sse2<16, THalfMode::Full>;
    t.Sad16x16V = Sad16_Sse2<16, THalfMode::V>;
    t.Sad16x16H = Sad16_Sse2<16, THalfMode::H>;
    t.Sad16x16HV = Sad16_Sse2<16, THalfMode::HV>;
    t.Sad16x8 = Sad16_Sse2<8, THalfMode::Full>;
    t.Sad16x8V = Sad16_Sse2<8, THalfMode::V>;
    t.Sad16x8H = Sad16_Sse2<8, THalfMode::H>;
    t.Sad16x8HV = Sad16_Sse2<8, THalfMode::HV>;
    t.SadRgb16x16 = SadRgb16x16_Sse2;
    t.Sad16x16Packed = Sad16x16Packed_Sse2;
    t.Sse16x16 = Sse16_Sse2<16, THalfMode::Full>;
    t.Sse16x16V = Sse16_Sse2<16, THalfMode::V>;
    t.Sse16x16H = Sse16_Sse2<16, THalfMode::H>;
    t.Sse16x16HV = Sse16_Sse2<16, THalfMode::HV>;
    t.Sse16x8 = Sse16_Sse2<8, THalfMode::Full>;
    t.Sse16x8V = Sse16_Sse2<8, THalfMode::V>;
    t.Sse16x8H = Sse16_Sse2<8, THalfMode::H>;
    t.Sse16x8HV = Sse16_Sse2<8, THalfMode::HV>;
    t.Sse16x16Packed = Sse16x16Packed_Sse2;
    t.SseSums4x4 = SseSums4x4_Sse2;
    t.SseSums4x4Best = SseSums4x4Best_Sse2;
    t.SseRgbSums4x4 = SseRgbSums4x4_Sse2;
    t.Sum4x4 = Sum4x4_Sse2;
    t.Sum4x2 = Sum4x2_Sse2;
    t.SumRgb4x4 = SumRgb4x4_Sse2;
}

} // namespace quillset::x86
