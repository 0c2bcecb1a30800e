// Reference block measures: SAD and SSE with half-sample prediction, the sum-picture measures
// and the block sums of the motion-search pyramids.
#include "encoder/kernels/lookup_tables.h"
#include "encoder/kernels/reference/half_sample.h"
#include "encoder/kernels/reference/reference_kernels.h"

namespace quillset::reference {

namespace {

template <int Rows, THalf Mode>
int32_t Sad(const uint8_t* cur, const uint8_t* ref, int32_t pitch) {
    int32_t sum = 0;
    for (int r = 0; r < Rows; ++r, cur += pitch, ref += pitch)
        for (int x = 0; x < 16; ++x)
            sum += AbsTable[cur[x] - PredictPixel<Mode>(ref, pitch, x) + kLookupCenter];
    return sum;
}

template <int Rows, THalf Mode>
int32_t Sse(const uint8_t* cur, const uint8_t* ref, int32_t pitch) {
    int32_t sum = 0;
    for (int r = 0; r < Rows; ++r, cur += pitch, ref += pitch)
        for (int x = 0; x < 16; ++x)
            sum += SquareTable[cur[x] - PredictPixel<Mode>(ref, pitch, x) + kLookupCenter];
    return sum;
}

int32_t SadRgb16x16(const uint8_t* cur, const uint8_t* ref, int32_t pitch) {
    int32_t sum = 0;
    for (int r = 0; r < 16; ++r, cur += pitch, ref += pitch)
        for (int x = 0; x < 48; ++x)
            sum += AbsTable[cur[x] - ref[x] + kLookupCenter];
    return sum;
}

int32_t Sad16x16Packed(const uint8_t* cur, const uint8_t* packed, int32_t pitch) {
    int32_t sum = 0;
    for (int r = 0; r < 16; ++r, cur += pitch, packed += 16)
        for (int x = 0; x < 16; ++x)
            sum += AbsTable[cur[x] - packed[x] + kLookupCenter];
    return sum;
}

int32_t Sse16x16Packed(const uint8_t* cur, const uint8_t* packed, int32_t pitch) {
    int32_t sum = 0;
    for (int r = 0; r < 16; ++r, cur += pitch, packed += 16)
        for (int x = 0; x < 16; ++x)
            sum += SquareTable[cur[x] - packed[x] + kLookupCenter];
    return sum;
}

// Squared differences of Width x 4 sum-picture values (at most 4095 each).
template <int Width>
int32_t SseSums(const uint16_t* cur, const uint16_t* ref, int32_t pitch) {
    int32_t sum = 0;
    for (int r = 0; r < 4; ++r)
        for (int x = 0; x < Width; ++x) {
            const int32_t d = SumAt(cur, pitch, r, x) - SumAt(ref, pitch, r, x);
            sum += d * d;
        }
    return sum;
}

int32_t SseSums4x4Best(const uint16_t* cur, const uint16_t* refA, int32_t pitch, const uint16_t* refB) {
    const int32_t a = SseSums<4>(cur, refA, pitch);
    const int32_t b = SseSums<4>(cur, refB, pitch);
    return a < b ? a : b;
}

template <int Rows>
int32_t Sum4xN(const uint8_t* src, int32_t pitch) {
    int32_t sum = 0;
    for (int r = 0; r < Rows; ++r, src += pitch)
        sum += src[0] + src[1] + src[2] + src[3];
    return sum;
}

int32_t SumSums2x2(const uint16_t* src, int32_t pitch) {
    return SumAt(src, pitch, 0, 0) + SumAt(src, pitch, 0, 1) + SumAt(src, pitch, 1, 0) + SumAt(src, pitch, 1, 1);
}

// Pixels are B, G, R in memory; the sums come out as R, G, B.
void SumRgb4x4(const uint8_t* src, int32_t pitch, uint16_t* out) {
    int32_t b = 0, g = 0, r = 0;
    for (int row = 0; row < 4; ++row, src += pitch)
        for (int x = 0; x < 4; ++x) {
            b += src[3 * x];
            g += src[3 * x + 1];
            r += src[3 * x + 2];
        }
    out[0] = static_cast<uint16_t>(r);
    out[1] = static_cast<uint16_t>(g);
    out[2] = static_cast<uint16_t>(b);
}

} // namespace

void FillBlockMeasures(TKernelTable& t) {
    t.Sad16x16 = Sad<16, THalf::Full>;
    t.Sad16x16V = Sad<16, THalf::V>;
    t.Sad16x16H = Sad<16, THalf::H>;
    t.Sad16x16HV = Sad<16, THalf::HV>;
    t.Sad16x8 = Sad<8, THalf::Full>;
    t.Sad16x8V = Sad<8, THalf::V>;
    t.Sad16x8H = Sad<8, THalf::H>;
    t.Sad16x8HV = Sad<8, THalf::HV>;
    t.SadRgb16x16 = SadRgb16x16;
    t.Sad16x16Packed = Sad16x16Packed;
    t.Sse16x16 = Sse<16, THalf::Full>;
    t.Sse16x16V = Sse<16, THalf::V>;
    t.Sse16x16H = Sse<16, THalf::H>;
    t.Sse16x16HV = Sse<16, THalf::HV>;
    t.Sse16x8 = Sse<8, THalf::Full>;
    t.Sse16x8V = Sse<8, THalf::V>;
    t.Sse16x8H = Sse<8, THalf::H>;
    t.Sse16x8HV = Sse<8, THalf::HV>;
    t.Sse16x16Packed = Sse16x16Packed;
    t.SseSums4x4 = SseSums<4>;
    t.SseSums4x4Best = SseSums4x4Best;
    t.SseRgbSums4x4 = SseSums<12>;
    t.Sum4x4 = Sum4xN<4>;
    t.Sum4x2 = Sum4xN<2>;
    t.SumSums2x2 = SumSums2x2;
    t.SumRgb4x4 = SumRgb4x4;
}

} // namespace quillset::reference
