// Reference motion-compensated prediction: copies and averages with half-sample interpolation,
// and the fetches into packed 16 and field 32 buffers.
#include "encoder/kernels/reference/half_sample.h"
#include "encoder/kernels/reference/reference_kernels.h"

namespace quillset::reference {

namespace {

template <int Width, THalf Mode>
void Predict(uint8_t* dst, const uint8_t* ref, int32_t pitch, int32_t rows) {
    for (int r = 0; r < rows; ++r, dst += pitch, ref += pitch)
        for (int x = 0; x < Width; ++x)
            dst[x] = static_cast<uint8_t>(PredictPixel<Mode>(ref, pitch, x));
}

template <int Width, THalf Mode>
void PredictAvg(uint8_t* dst, const uint8_t* ref, int32_t pitch, int32_t rows) {
    for (int r = 0; r < rows; ++r, dst += pitch, ref += pitch)
        for (int x = 0; x < Width; ++x)
            dst[x] = static_cast<uint8_t>((dst[x] + PredictPixel<Mode>(ref, pitch, x) + 1) >> 1);
}

// Rows rows of 16 predicted pixels into a buffer whose rows are DstPitch bytes apart.
template <int Rows, int DstPitch, THalf Mode>
void Fetch(uint8_t* dst, const uint8_t* ref, int32_t pitch) {
    for (int r = 0; r < Rows; ++r, dst += DstPitch, ref += pitch)
        for (int x = 0; x < 16; ++x)
            dst[x] = static_cast<uint8_t>(PredictPixel<Mode>(ref, pitch, x));
}

void AveragePacked16x16(uint8_t* dst, const uint8_t* a, const uint8_t* b) {
    for (int i = 0; i < 256; ++i)
        dst[i] = static_cast<uint8_t>((a[i] + b[i] + 1) >> 1);
}


} // namespace

void FillPrediction(TKernelTable& t) {
    t.Predict16 = Predict<16, THalf::Full>;
    t.Predict16V = Predict<16, THalf::V>;
    t.Predict16H = Predict<16, THalf::H>;
    t.Predict16HV = Predict<16, THalf::HV>;
    t.Predict8 = Predict<8, THalf::Full>;
    t.Predict8V = Predict<8, THalf::V>;
    t.Predict8H = Predict<8, THalf::H>;
    t.Predict8HV = Predict<8, THalf::HV>;
    t.PredictAvg16 = PredictAvg<16, THalf::Full>;
    t.PredictAvg16V = PredictAvg<16, THalf::V>;
    t.PredictAvg16H = PredictAvg<16, THalf::H>;
    t.PredictAvg16HV = PredictAvg<16, THalf::HV>;
    t.PredictAvg8 = PredictAvg<8, THalf::Full>;
    t.PredictAvg8V = PredictAvg<8, THalf::V>;
    t.PredictAvg8H = PredictAvg<8, THalf::H>;
    t.PredictAvg8HV = PredictAvg<8, THalf::HV>;
    t.FetchPacked16x16 = Fetch<16, 16, THalf::Full>;
    t.FetchPacked16x16V = Fetch<16, 16, THalf::V>;
    t.FetchPacked16x16H = Fetch<16, 16, THalf::H>;
    t.FetchPacked16x16HV = Fetch<16, 16, THalf::HV>;
    t.FetchField16x8 = Fetch<8, 32, THalf::Full>;
    t.FetchField16x8V = Fetch<8, 32, THalf::V>;
    t.FetchField16x8H = Fetch<8, 32, THalf::H>;
    t.FetchField16x8HV = Fetch<8, 32, THalf::HV>;
    t.AveragePacked16x16 = AveragePacked16x16;
}

} // namespace quillset::reference
