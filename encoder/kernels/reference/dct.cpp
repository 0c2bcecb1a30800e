// Reference 8x8 transforms on coefficient blocks in the transposed order (index u * 8 + v).
//
// Forward: the separable Loeffler-Ligtenberg-Moschytz flow graph with 13-bit constants, every
// division rounding toward zero, in integer and in single precision. Inverse: the Chen-Wang
// integer flow graph with 11-bit constants (ISO/IEC 13818-4 reference decoder accuracy, checked
// against IEEE 1180-1990).
#include <algorithm>
#include <cstdint>

#include "encoder/kernels/reference/reference_kernels.h"

namespace quillset::reference {

namespace {

int32_t DivTrunc(int32_t value, int32_t divisor) { return value / divisor; } // C++ truncates

// One forward pass over eight inputs; Last selects the scaling of the column pass.
template <bool Last>
void ForwardPass(const int32_t* x, int32_t* w) {
    const int32_t t0 = x[0] + x[7], t7 = x[0] - x[7];
    const int32_t t1 = x[1] + x[6], t6 = x[1] - x[6];
    const int32_t t2 = x[2] + x[5], t5 = x[2] - x[5];
    const int32_t t3 = x[3] + x[4], t4 = x[3] - x[4];
    const int32_t t10 = t0 + t3, t13 = t0 - t3, t11 = t1 + t2, t12 = t1 - t2;
    constexpr int32_t kDivisor = Last ? 131072 : 4096;
    if constexpr (Last) {
        w[0] = DivTrunc(t10 + t11, 16);
        w[4] = DivTrunc(t10 - t11, 16);
        w[2] = DivTrunc(4433 * (t12 + t13) + 6270 * t13, kDivisor);
        w[6] = DivTrunc(4433 * (t12 + t13) - 15137 * t12, kDivisor);
    } else {
        w[0] = 2 * (t10 + t11);
        w[4] = 2 * (t10 - t11);
        w[2] = DivTrunc(4433 * t12 + 10703 * t13, kDivisor);
        w[6] = DivTrunc(4433 * t13 - 10704 * t12, kDivisor);
    }
    const int32_t z5 = 9633 * (t4 + t6 + t5 + t7);
    const int32_t z1 = -7373 * (t4 + t7);
    const int32_t z2 = -20995 * (t5 + t6);
    const int32_t z3 = z5 - 16069 * (t4 + t6);
    const int32_t z4 = z5 - 3196 * (t5 + t7);
    w[7] = DivTrunc(2446 * t4 + z1 + z3, kDivisor);
    w[5] = DivTrunc(16819 * t5 + z2 + z4, kDivisor);
    w[3] = DivTrunc(25172 * t6 + z2 + z3, kDivisor);
    w[1] = DivTrunc(12299 * t7 + z1 + z4, kDivisor);
}

void ForwardDct(int16_t* block) {
    int16_t temp[64];
    int32_t x[8], w[8];
    for (int r = 0; r < 8; ++r) {
        for (int k = 0; k < 8; ++k)
            x[k] = block[r * 8 + k];
        ForwardPass<false>(x, w);
        for (int k = 0; k < 8; ++k)
            temp[r * 8 + k] = static_cast<int16_t>(w[k]);
    }
    for (int j = 0; j < 8; ++j) {
        for (int k = 0; k < 8; ++k)
            x[k] = temp[k * 8 + j];
        ForwardPass<true>(x, w);
        for (int k = 0; k < 8; ++k)
            block[j * 8 + k] = static_cast<int16_t>(w[k]);
    }
}

// The single-precision constants of the flow graph (rows) and the same divided by 8 (columns).
struct TFloatDctConstants {
    float c2446, cm3196, c4433, c6270, cm7373, c9633, c12299, cm15137, cm16069, c16819, cm20995, c25172;
    float dcScale;
};
constexpr TFloatDctConstants kRowConstants = {0.29863134f, -0.39018065f, 0.5411961f, 0.76536685f,
                                              -0.8999762f, 1.1758755f, 1.5013211f, -1.847759f,
                                              -1.9615705f, 2.0531199f, -2.5629156f, 3.0727110f, 1.0f};
constexpr TFloatDctConstants kColumnConstants = {0.037328918f, -0.048772581f, 0.067649513f, 0.095670857f,
                                                 -0.11249702f, 0.14698444f, 0.18766513f, -0.23096988f,
                                                 -0.24519631f, 0.25663999f, -0.32036445f, 0.38408887f, 0.125f};

// One single-precision pass. Every operation rounds to single precision in the order written;
// the processor-specific versions follow the same order and give identical results.
void ForwardPassF(const float* x, float* w, const TFloatDctConstants& c) {
    const float t0 = x[0] + x[7], t7 = x[0] - x[7];
    const float t1 = x[1] + x[6], t6 = x[1] - x[6];
    const float t2 = x[2] + x[5], t5 = x[2] - x[5];
    const float t3 = x[3] + x[4], t4 = x[3] - x[4];
    const float t10 = t0 + t3, t13 = t0 - t3, t11 = t1 + t2, t12 = t1 - t2;
    w[0] = (t10 + t11) * c.dcScale;
    w[4] = (t10 - t11) * c.dcScale;
    const float e = (t12 + t13) * c.c4433;
    w[2] = e + c.c6270 * t13;
    w[6] = e + c.cm15137 * t12;
    const float s46 = t4 + t6, s57 = t5 + t7;
    const float z5 = (s46 + s57) * c.c9633;
    const float z1 = (t4 + t7) * c.cm7373;
    const float z2 = (t5 + t6) * c.cm20995;
    const float z3 = z5 + c.cm16069 * s46;
    const float z4 = z5 + c.cm3196 * s57;
    w[7] = (c.c2446 * t4 + z1) + z3;
    w[5] = (c.c16819 * t5 + z2) + z4;
    w[3] = (c.c25172 * t6 + z2) + z3;
    w[1] = (c.c12299 * t7 + z1) + z4;
}

// The transform into 64 floats in the transposed order.
void ForwardDctToFloat(float* out, const int16_t* block) {
    float temp[64], x[8], w[8];
    for (int r = 0; r < 8; ++r) {
        for (int k = 0; k < 8; ++k)
            x[k] = block[r * 8 + k];
        ForwardPassF(x, temp + r * 8, kRowConstants);
    }
    for (int j = 0; j < 8; ++j) {
        for (int k = 0; k < 8; ++k)
            x[k] = temp[k * 8 + j];
        ForwardPassF(x, w, kColumnConstants);
        for (int k = 0; k < 8; ++k)
            out[j * 8 + k] = w[k];
    }
}

void ForwardDctF(int16_t* block) {
    float out[64];
    ForwardDctToFloat(out, block);
    for (int i = 0; i < 64; ++i)
        block[i] = static_cast<int16_t>(std::clamp(out[i], -32768.0f, 32767.0f)); // truncates
}

constexpr int32_t W1 = 2841, W2 = 2676, W3 = 2408, W5 = 1609, W6 = 1108, W7 = 565;

// (181 * s + 128) >> 8 formed without overflow for any 32-bit s: 181 / 256 approximates 1 / sqrt 2.
int32_t Rotate181(int32_t s) { return static_cast<int32_t>((int64_t{181} * s + 128) >> 8); }

// One inverse pass over b[0..7]; Second selects the column pass with its rounding and shifts.
template <bool Second>
void InversePass(const int32_t* b, int32_t* out) {
    constexpr int32_t kRound = Second ? 4 : 0;
    constexpr int kShift = Second ? 3 : 0;
    int32_t x0 = Second ? b[0] * 256 + 8192 : b[0] * 2048 + 128;
    int32_t x1 = Second ? b[4] * 256 : b[4] * 2048;
    int32_t x2 = b[6], x3 = b[2], x4 = b[1], x5 = b[7], x6 = b[5], x7 = b[3];
    int32_t x8 = W7 * (x4 + x5) + kRound;
    x4 = (x8 + (W1 - W7) * x4) >> kShift;
    x5 = (x8 - (W1 + W7) * x5) >> kShift;
    x8 = W3 * (x6 + x7) + kRound;
    x6 = (x8 - (W3 - W5) * x6) >> kShift;
    x7 = (x8 - (W3 + W5) * x7) >> kShift;
    x8 = x0 + x1;
    x0 -= x1;
    x1 = W6 * (x3 + x2) + kRound;
    x2 = (x1 - (W2 + W6) * x2) >> kShift;
    x3 = (x1 + (W2 - W6) * x3) >> kShift;
    x1 = x4 + x6;
    x4 -= x6;
    x6 = x5 + x7;
    x5 -= x7;
    x7 = x8 + x3;
    x8 -= x3;
    x3 = x0 + x2;
    x0 -= x2;
    x2 = Rotate181(x4 + x5);
    x4 = Rotate181(x4 - x5);
    constexpr int kOut = Second ? 14 : 8;
    out[0] = (x7 + x1) >> kOut;
    out[1] = (x3 + x2) >> kOut;
    out[2] = (x0 + x4) >> kOut;
    out[3] = (x8 + x6) >> kOut;
    out[4] = (x8 - x6) >> kOut;
    out[5] = (x0 - x4) >> kOut;
    out[6] = (x3 - x2) >> kOut;
    out[7] = (x7 - x1) >> kOut;
}

bool OnlyFirstNonZero(const int32_t* b) {
    return (b[1] | b[2] | b[3] | b[4] | b[5] | b[6] | b[7]) == 0;
}

// Values are stored to 16 bits by two's-complement wrap-around, in both passes.
void InverseDct(int16_t* block) {
    int16_t temp[64];
    int32_t b[8], out[8];
    for (int r = 0; r < 8; ++r) {
        for (int k = 0; k < 8; ++k)
            b[k] = block[r * 8 + k];
        if (OnlyFirstNonZero(b))
            std::fill(out, out + 8, b[0] * 8);
        else
            InversePass<false>(b, out);
        for (int k = 0; k < 8; ++k)
            temp[r * 8 + k] = static_cast<int16_t>(out[k]);
    }
    for (int j = 0; j < 8; ++j) {
        for (int k = 0; k < 8; ++k)
            b[k] = temp[k * 8 + j];
        if (OnlyFirstNonZero(b))
            std::fill(out, out + 8, (b[0] + 32) >> 6);
        else
            InversePass<true>(b, out);
        for (int k = 0; k < 8; ++k)
            block[j * 8 + k] = static_cast<int16_t>(out[k]);
    }
}

int32_t InverseDctDcValue(int32_t dc) { return (dc * 8 + 32) >> 6; }

} // namespace

void FillTransforms(TKernelTable& t) {
    t.ForwardDct = ForwardDct;
    t.ForwardDctF = ForwardDctF;
    t.ForwardDctToFloat = ForwardDctToFloat;
    t.InverseDct = InverseDct;
    t.InverseDctDcValue = InverseDctDcValue;
}

} // namespace quillset::reference
