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

template <bool Wide, THalfMode Mode>
void Predict_Sse2(uint8_t* dst, const uint8_t* ref, int32_t pitch, int32_t rows) {
    TRowPredictor<Mode, Wide> pred(ref, pitch);
    for (int r = 0; r < rows; ++r, dst += pitch)
        StoreRow<Wide>(dst, pred.Next());
}

// (dst + pred + 1) >> 1 is exactly pavgb.
template <bool Wide, THalfMode Mode>
void PredictAvg_Sse2(uint8_t* dst, const uint8_t* ref, int32_t pitch, int32_t rows) {
    TRowPredictor<Mode, Wide> pred(ref, pitch);
    for (int r = 0; r < rows; ++r, dst += pitch)
        StoreRow<Wide>(dst, _mm_avg_epu8(LoadRow<Wide>(dst), pred.Next()));
}

// Rows r and r + 1 of 8 bytes in the low and high halves.
inline __m128i LoadTwo8(const uint8_t* p, ptrdiff_t pitch) { return _mm_unpacklo_epi64(Load8(p), Load8(p + pitch)); }

// Two predicted 8-wide rows (r, r + 1) in one register.
template <THalfMode Mode>
inline __m128i PredictTwo8(const uint8_t* ref, ptrdiff_t pitch) {
    if constexpr (Mode == THalfMode::Full) {
        return LoadTwo8(ref, pitch);
    } else if constexpr (Mode == THalfMode::V) {
        return _mm_avg_epu8(LoadTwo8(ref, pitch), LoadTwo8(ref + pitch, pitch));
    } else if constexpr (Mode == THalfMode::H) {
        return _mm_avg_epu8(LoadTwo8(ref, pitch), LoadTwo8(ref + 1, pitch));
    } else {
        const __m128i a = LoadTwo8(ref, pitch), b = LoadTwo8(ref + 1, pitch);
        const __m128i c = LoadTwo8(ref + pitch, pitch), d = LoadTwo8(ref + pitch + 1, pitch);
        return AverageOfFour({_mm_avg_epu8(a, b), _mm_xor_si128(a, b)}, {_mm_avg_epu8(c, d), _mm_xor_si128(c, d)});
    }
}

// 8-wide rows two at a time; an odd last row alone.
template <THalfMode Mode, bool Average>
void Predict8_Sse2(uint8_t* dst, const uint8_t* ref, int32_t pitch, int32_t rows) {
    int r = 0;
    for (; r + 2 <= rows; r += 2, dst += 2 * ptrdiff_t{pitch}, ref += 2 * ptrdiff_t{pitch}) {
        __m128i pred = PredictTwo8<Mode>(ref, pitch);
        if constexpr (Average)
            pred = _mm_avg_epu8(LoadTwo8(dst, pitch), pred);
        Store8(dst, pred);
        Store8(dst + pitch, _mm_unpackhi_epi64(pred, pred));
    }
    if (r < rows) {
        TRowPredictor<Mode, false> last(ref, pitch);
        const __m128i pred = last.Next();
        Store8(dst, Average ? _mm_avg_epu8(Load8(dst), pred) : pred);
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
    t.Predict16 = Predict_Sse2<true, THalfMode::Full>;
    t.Predict16V = Predict_Sse2<true, THalfMode::V>;
    t.Predict16H = Predict_Sse2<true, THalfMode::H>;
    t.Predict16HV = Predict_Sse2<true, THalfMode::HV>;
    t.Predict8 = Predict8_Sse2<THalfMode::Full, false>;
    t.Predict8V = Predict8_Sse2<THalfMode::V, false>;
    t.Predict8H = Predict8_Sse2<THalfMode::H, false>;
    t.Predict8HV = Predict8_Sse2<THalfMode::HV, false>;
    t.PredictAvg16 = PredictAvg_Sse2<true, THalfMode::Full>;
    t.PredictAvg16V = PredictAvg_Sse2<true, THalfMode::V>;
    t.PredictAvg16H = PredictAvg_Sse2<true, THalfMode::H>;
    t.PredictAvg16HV = PredictAvg_Sse2<true, THalfMode::HV>;
    t.PredictAvg8 = Predict8_Sse2<THalfMode::Full, true>;
    t.PredictAvg8V = Predict8_Sse2<THalfMode::V, true>;
    t.PredictAvg8H = Predict8_Sse2<THalfMode::H, true>;
    t.PredictAvg8HV = Predict8_Sse2<THalfMode::HV, true>;
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
