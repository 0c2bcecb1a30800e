// SSE2 motion-compensated prediction: copies and averages with exact half-sample interpolation,
// and the fetches into packed 16 and field 32 buffers.
#include "encoder/kernels/x86/sse2_common.h"
#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

namespace {

template <bool Wide>
inline void StoreRow(uint8_t* p, __m128i v) {
    if constexpr (Wide)
        Store16(p, v);
    else
        Store8(p, v);
}

template <bool Wide>
inline __m128i LoadRow(const uint8_t* p) {
    if constexpr (Wide)
        return Load16(p);
    else
        return Load8(p);
}

// Rows one at a time, from the top; (dst + pred + 1) >> 1 is exactly pavgb. Unrolled: the loop
// overhead is a good part of the work of a row.
template <bool Wide, THalfMode Mode, bool Average>
void PredictRows_Sse2(uint8_t* dst, const uint8_t* ref, int32_t pitch, int32_t rows) {
    TRowPredictor<Mode, Wide> pred(ref, pitch);
#pragma GCC unroll 4
    for (int r = 0; r < rows; ++r, dst += pitch) {
        __m128i p = pred.Next();
        if constexpr (Average)
            p = _mm_avg_epu8(LoadRow<Wide>(dst), p);
        StoreRow<Wide>(dst, p);
    }
}

// 8-byte rows p and p + span in the low and high halves.
// (movhps: no alignment, no shuffle for the store.)
inline __m128i LoadSplit8(const uint8_t* p, ptrdiff_t span) {
    return _mm_castps_si128(_mm_loadh_pi(_mm_castsi128_ps(Load8(p)), reinterpret_cast<const __m64*>(p + span)));
}

inline void StoreSplit8(uint8_t* p, ptrdiff_t span, __m128i v) {
    Store8(p, v);
    _mm_storeh_pi(reinterpret_cast<__m64*>(p + span), _mm_castsi128_ps(v));
}

// HV predictions of 8-wide rows two at a time: the upper and lower halves of the block in the two
// halves of one register, which halves the arithmetic (the other variants are bound by loads and
// stores, which one row at a time needs fewer of). Each source row pair is read once; an odd last
// row goes alone.
template <bool Average>
void PredictHV8_Sse2(uint8_t* dst, const uint8_t* ref, int32_t pitch, int32_t rows) {
    const int span = rows / 2;
    if (span > 0) {
        const ptrdiff_t lower = ptrdiff_t{span} * pitch;
        const auto pair = [lower](const uint8_t* p) {
            return MakePair(LoadSplit8(p, lower), LoadSplit8(p + 1, lower));
        };
        TPairAverage top = pair(ref);
        uint8_t* row = dst;
        for (int r = 0; r < span; ++r, row += pitch) {
            const TPairAverage bottom = pair(ref + (r + 1) * ptrdiff_t{pitch});
            __m128i p = AverageOfFour(top, bottom);
            top = bottom;
            if constexpr (Average)
                p = _mm_avg_epu8(LoadSplit8(row, lower), p);
            StoreSplit8(row, lower, p);
        }
    }
    if (rows & 1) {
        const ptrdiff_t last = ptrdiff_t{rows - 1} * pitch;
        PredictRows_Sse2<false, THalfMode::HV, Average>(dst + last, ref + last, pitch, 1);
    }
}

template <int Rows, int DstPitch, THalfMode Mode>
void Fetch_Sse2(uint8_t* dst, const uint8_t* ref, int32_t pitch) {
    TRowPredictor<Mode, true> pred(ref, pitch);
    for (int r = 0; r < Rows; ++r, dst += DstPitch)
        Store16(dst, pred.Next());
}

void AveragePacked16x16_Sse2(uint8_t* dst, const uint8_t* a, const uint8_t* b) {
    for (int i = 0; i < 256; i += 16)
        Store16(dst + i, _mm_avg_epu8(Load16(a + i), Load16(b + i)));
}

} // namespace

void FillSse2Prediction(TKernelTable& t) {
    t.Predict16 = PredictRows_Sse2<true, THalfMode::Full, false>;
    t.Predict16V = PredictRows_Sse2<true, THalfMode::V, false>;
    t.Predict16H = PredictRows_Sse2<true, THalfMode::H, false>;
    t.Predict16HV = PredictRows_Sse2<true, THalfMode::HV, false>;
    t.Predict8 = PredictRows_Sse2<false, THalfMode::Full, false>;
    t.Predict8V = PredictRows_Sse2<false, THalfMode::V, false>;
    t.Predict8H = PredictRows_Sse2<false, THalfMode::H, false>;
    t.Predict8HV = PredictHV8_Sse2<false>;
    t.PredictAvg16 = PredictRows_Sse2<true, THalfMode::Full, true>;
    t.PredictAvg16V = PredictRows_Sse2<true, THalfMode::V, true>;
    t.PredictAvg16H = PredictRows_Sse2<true, THalfMode::H, true>;
    t.PredictAvg16HV = PredictRows_Sse2<true, THalfMode::HV, true>;
    t.PredictAvg8 = PredictRows_Sse2<false, THalfMode::Full, true>;
    t.PredictAvg8V = PredictRows_Sse2<false, THalfMode::V, true>;
    t.PredictAvg8H = PredictRows_Sse2<false, THalfMode::H, true>;
    t.PredictAvg8HV = PredictHV8_Sse2<true>;
    t.FetchPacked16x16 = Fetch_Sse2<16, 16, THalfMode::Full>;
    t.FetchPacked16x16V = Fetch_Sse2<16, 16, THalfMode::V>;
    t.FetchPacked16x16H = Fetch_Sse2<16, 16, THalfMode::H>;
    t.FetchPacked16x16HV = Fetch_Sse2<16, 16, THalfMode::HV>;
    t.FetchField16x8 = Fetch_Sse2<8, 32, THalfMode::Full>;
    t.FetchField16x8V = Fetch_Sse2<8, 32, THalfMode::V>;
    t.FetchField16x8H = Fetch_Sse2<8, 32, THalfMode::H>;
    t.FetchField16x8HV = Fetch_Sse2<8, 32, THalfMode::HV>;
    t.AveragePacked16x16 = AveragePacked16x16_Sse2;
}

} // namespace quillset::x86
