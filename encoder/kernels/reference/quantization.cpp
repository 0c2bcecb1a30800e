// Reference level bound, quantisation and inverse quantisation (ISO/IEC 11172-2, 2.4.4;
// ISO/IEC 13818-2, 7.4). Coefficient blocks are in the transposed order; only positions matter
// here, except that index 0 is the DC and index 63 the mismatch-control coefficient in either
// order.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "encoder/kernels/reference/reference_kernels.h"

namespace quillset::reference {

namespace {

int16_t SaturateToInt16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, -32768, 32767)); }

// Truncation toward zero of a value saturated to the 16-bit range first, so that no input can
// make the conversion overflow; every caller narrows to 16 bits or less afterwards.
int32_t TruncateSaturated(double v) { return static_cast<int32_t>(std::clamp(v, -32768.0, 32767.0)); }

int32_t MaxLevelBound(const int16_t* blocks, const int32_t* weights, int32_t count) {
    int32_t result = 0;
    for (int i = 0; i < 64; ++i) {
        int32_t m = 0;
        for (int b = 0; b < count; ++b) {
            const int32_t v = blocks[b * 64 + i];
            m = std::max(m, v < 0 ? -v : v);
        }
        result = std::max(result, (16 * m + weights[i] - 1) / weights[i]);
    }
    return result;
}

float MaxLevelBoundF(const int16_t* blocks, const float* factors, int32_t count) {
    float result = 0.0f;
    for (int i = 0; i < 64; ++i) {
        int32_t m = 0;
        for (int b = 0; b < count; ++b) {
            const int32_t v = blocks[b * 64 + i];
            m = std::max(m, v < 0 ? -v : v);
        }
        result = std::max(result, static_cast<float>(m) * factors[i]);
    }
    return result;
}

float MaxLevelBoundFloatBlocks(const float* blocks, const float* factors, int32_t count) {
    float result = 0.0f;
    for (int i = 0; i < 64; ++i) {
        float m = 0.0f;
        for (int b = 0; b < count; ++b)
            m = std::max(m, std::fabs(blocks[b * 64 + i]));
        result = std::max(result, m * factors[i]);
    }
    return result;
}

int32_t QuantizeBlock(int16_t* block, const int32_t* divisors, const int32_t* offsets) {
    int32_t sum = 0;
    for (int i = 0; i < 64; ++i) {
        const int32_t x = block[i];
        int32_t level = 0;
        if (x > 0)
            level = (128 * x + offsets[i]) / divisors[i];
        else if (x < 0)
            level = -((128 * -x + offsets[i]) / divisors[i]);
        block[i] = SaturateToInt16(level);
        sum += std::abs(static_cast<int32_t>(block[i]));
    }
    return sum;
}

// The level of one coefficient from single-precision factor and offset, formed in double
// precision and truncated toward zero.
int32_t QuantizeValueF(double x, float factor, float offset) {
    if (x > 0)
        return TruncateSaturated((x + offset) * factor);
    if (x < 0)
        return TruncateSaturated((x - offset) * factor);
    return 0;
}

int32_t QuantizeBlockF(int16_t* block, const float* factors, const float* offsets) {
    int32_t sum = 0;
    for (int i = 0; i < 64; ++i) {
        block[i] = SaturateToInt16(QuantizeValueF(block[i], factors[i], offsets[i]));
        sum += std::abs(static_cast<int32_t>(block[i]));
    }
    return sum;
}

int32_t QuantizeFloatBlock(int16_t* out, const float* block, const float* factors, const float* offsets) {
    int32_t sum = 0;
    for (int i = 0; i < 64; ++i) {
        out[i] = SaturateToInt16(QuantizeValueF(block[i], factors[i], offsets[i]));
        sum += std::abs(static_cast<int32_t>(out[i]));
    }
    return sum;
}

// MPEG-1 oddification of a reconstructed value: an even non-zero value moves one step toward
// zero, then the value saturates to -2048..2047.
int32_t OddifyMpeg1(int32_t v) {
    if ((v & 1) == 0 && v != 0)
        v += v > 0 ? -1 : 1;
    return std::clamp(v, -2048, 2047);
}

// ISO/IEC 13818-2, 7.4.4: when the sum of the block is even, the lowest bit of coefficient 63
// is inverted.
void MismatchControl(int16_t* block) {
    int32_t sum = 0;
    for (int i = 0; i < 64; ++i)
        sum += block[i];
    if ((sum & 1) == 0)
        block[63] = static_cast<int16_t>(block[63] ^ 1);
}

int32_t Saturate2048(int32_t v) { return std::clamp(v, -2048, 2047); }

int32_t InterValueMpeg1(int32_t q, int32_t m) {
    return q == 0 ? 0 : OddifyMpeg1((2 * q + (q > 0 ? 1 : -1)) * m / 32);
}

int32_t InterValueMpeg2(int32_t q, int32_t m) {
    return q == 0 ? 0 : Saturate2048((2 * q + (q > 0 ? 1 : -1)) * m / 32);
}

void DequantIntraMpeg1(int16_t* block, const int32_t* m) {
    for (int i = 1; i < 64; ++i)
        if (block[i] != 0)
            block[i] = static_cast<int16_t>(OddifyMpeg1(block[i] * m[i] / 16));
}

void DequantIntraMpeg1F(int16_t* block, const float* f) {
    for (int i = 1; i < 64; ++i)
        if (block[i] != 0)
            block[i] = static_cast<int16_t>(OddifyMpeg1(TruncateSaturated(double(block[i]) * f[i])));
}

void DequantIntraMpeg2(int16_t* block, const int32_t* m) {
    for (int i = 1; i < 64; ++i)
        if (block[i] != 0)
            block[i] = static_cast<int16_t>(Saturate2048(block[i] * m[i] / 16));
    MismatchControl(block);
}

void DequantIntraMpeg2F(int16_t* block, const float* f) {
    for (int i = 1; i < 64; ++i)
        if (block[i] != 0)
            block[i] = static_cast<int16_t>(Saturate2048(TruncateSaturated(double(block[i]) * f[i])));
    MismatchControl(block);
}

void DequantInterMpeg1(int16_t* block, const int32_t* m) {
    for (int i = 0; i < 64; ++i)
        block[i] = static_cast<int16_t>(InterValueMpeg1(block[i], m[i]));
}

void DequantInterMpeg1F(int16_t* block, const float* f) {
    for (int i = 0; i < 64; ++i) {
        const int32_t q = block[i];
        if (q != 0)
            block[i] = static_cast<int16_t>(OddifyMpeg1(TruncateSaturated(double(2 * q + (q > 0 ? 1 : -1)) * f[i])));
    }
}

void DequantInterMpeg2(int16_t* block, const int32_t* m) {
    for (int i = 0; i < 64; ++i)
        block[i] = static_cast<int16_t>(InterValueMpeg2(block[i], m[i]));
    MismatchControl(block);
}

void DequantInterMpeg2F(int16_t* block, const float* f) {
    for (int i = 0; i < 64; ++i) {
        const int32_t q = block[i];
        if (q != 0)
            block[i] = static_cast<int16_t>(Saturate2048(TruncateSaturated(double(2 * q + (q > 0 ? 1 : -1)) * f[i])));
    }
    MismatchControl(block);
}

} // namespace

void FillQuantization(TKernelTable& t) {
    t.MaxLevelBound = MaxLevelBound;
    t.MaxLevelBoundF = MaxLevelBoundF;
    t.MaxLevelBoundFloatBlocks = MaxLevelBoundFloatBlocks;
    t.QuantizeBlock = QuantizeBlock;
    t.QuantizeBlockF = QuantizeBlockF;
    t.QuantizeFloatBlock = QuantizeFloatBlock;
    t.DequantIntraMpeg1 = DequantIntraMpeg1;
    t.DequantIntraMpeg1F = DequantIntraMpeg1F;
    t.DequantIntraMpeg2 = DequantIntraMpeg2;
    t.DequantIntraMpeg2F = DequantIntraMpeg2F;
    t.DequantInterMpeg1 = DequantInterMpeg1;
    t.DequantInterMpeg1F = DequantInterMpeg1F;
    t.DequantInterMpeg2 = DequantInterMpeg2;
    t.DequantInterMpeg2F = DequantInterMpeg2F;
    t.DequantInterCoefMpeg1 = InterValueMpeg1;
    t.DequantInterCoefMpeg2 = InterValueMpeg2;
}

} // namespace quillset::reference
