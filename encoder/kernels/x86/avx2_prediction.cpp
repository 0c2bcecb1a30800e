// AVX2 motion-compensated HV prediction of 16-wide blocks, two rows per register: the upper and
// lower halves of the block go through the two halves of the registers (see
// TSplitRowPredictor), so each source row is read once and no shuffles are needed. Results equal
// the reference's.
#include "encoder/kernels/x86/avx2_common.h"
#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

// The HV prediction of one row, for the odd last row of a prediction (as AverageOfFour).
inline __m128i PredictRowHV(const uint8_t* ref, ptrdiff_t pitch) {
    const __m128i one = _mm_set1_epi8(1);
    const __m128i a = Load16(ref), b = Load16(ref + 1), c = Load16(ref + pitch), d = Load16(ref + pitch + 1);
    const __m128i p = _mm_and_si128(_mm_xor_si128(a, b), one), q = _mm_and_si128(_mm_xor_si128(c, d), one);
    return _mm_avg_epu8(_mm_sub_epi8(_mm_avg_epu8(a, b), _mm_andnot_si128(q, p)), _mm_sub_epi8(_mm_avg_epu8(c, d), q));
}

template <bool Average>
void PredictHV16_Avx2(uint8_t* dst, const uint8_t* ref, int32_t pitch, int32_t rows) {
    const int span = rows / 2;
    if (span > 0) {
        TSplitRowPredictor<THalfMode::HV> pred(ref, pitch, span);
        const ptrdiff_t lower = ptrdiff_t{span} * pitch;
        uint8_t* row = dst;
#pragma GCC unroll 4
        for (int r = 0; r < span; ++r, row += pitch) {
            __m256i p = pred.Next();
            if constexpr (Average)
                p = _mm256_avg_epu8(LoadRows(row, lower), p);
            StoreRows(row, lower, p);
        }
    }
    if (rows & 1) {
        const ptrdiff_t last = ptrdiff_t{rows - 1} * pitch;
        __m128i p = PredictRowHV(ref + last, pitch);
        if constexpr (Average)
            p = _mm_avg_epu8(Load16(dst + last), p);
        Store16(dst + last, p);
    }
}

template <int Rows, int DstPitch>
void FetchHV_Avx2(uint8_t* dst, const uint8_t* ref, int32_t pitch) {
    constexpr int kSpan = Rows / 2;
    TSplitRowPredictor<THalfMode::HV> pred(ref, pitch, kSpan);
    for (int r = 0; r < kSpan; ++r, dst += DstPitch)
        StoreRows(dst, kSpan * DstPitch, pred.Next());
}

} // namespace

// Only the HV variants gain from the wider registers: the others (and the packed average) are
// bound by loads and stores, which the SSE2 kernels issue with fewer operations.
void FillAvx2Prediction(TKernelTable& t) {
    t.Predict16HV = PredictHV16_Avx2<false>;
    t.PredictAvg16HV = PredictHV16_Avx2<true>;
    t.FetchPacked16x16HV = FetchHV_Avx2<16, 16>;
    t.FetchField16x8HV = FetchHV_Avx2<8, 32>;
}

} // namespace quillset::x86
