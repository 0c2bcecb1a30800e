// The reference level bound, quantisers and dequantisers: rounding, oddification, saturation and
// mismatch control, and the agreement of the integer and floating-point forms.
#include <gtest/gtest.h>

#include <random>

#include "encoder/kernels/kernel_sets.h"

namespace quillset::testing {
namespace {

class QuantizationTest : public ::testing::Test {
protected:
    QuantizationTest() { MPEGEncoder_FuncSet_Normal(k); }
    TKernelTable k;
    std::mt19937 rng{1180};

    static void Fill(int32_t* values, int32_t v) { std::fill(values, values + 64, v); }
    static void Fill(float* values, float v) { std::fill(values, values + 64, v); }
};

TEST_F(QuantizationTest, LevelBoundIsTheLargestCeilingOverPositionsAndBlocks) {
    int16_t blocks[128] = {};
    int32_t weights[64];
    Fill(weights, 16);
    EXPECT_EQ(k.MaxLevelBound(blocks, weights, 2), 0);
    blocks[5] = 3;          // ceil(48 / 16) = 3
    blocks[64 + 9] = -1;    // ceil(16 / 17) = 1
    weights[9] = 17;
    EXPECT_EQ(k.MaxLevelBound(blocks, weights, 2), 3);
    blocks[64 + 5] = -7;    // the larger magnitude of position 5 is in the second block
    EXPECT_EQ(k.MaxLevelBound(blocks, weights, 2), 7);
    EXPECT_EQ(k.MaxLevelBound(blocks, weights, 1), 3);

    float factors[64];
    Fill(factors, 0.5f);
    factors[5] = 2.0f;
    EXPECT_EQ(k.MaxLevelBoundF(blocks, factors, 2), 14.0f);
    float floatBlocks[64] = {};
    floatBlocks[3] = -9.5f;
    EXPECT_EQ(k.MaxLevelBoundFloatBlocks(floatBlocks, factors, 1), 4.75f);
}

struct TQuantCase {
    int16_t X;
    int32_t Divisor, Offset;
    int16_t Level;
};

// level = (128 |x| + R) div D with the sign of x.
TEST_F(QuantizationTest, QuantizerRoundsMagnitudesTowardZero) {
    const TQuantCase cases[] = {
        {0, 256, 255, 0},       {3, 256, 0, 1},       {-3, 256, 0, -1},   {3, 256, 128, 2},
        {-3, 256, 128, -2},     {2047, 8, 4, 32752},  {-2048, 8, 0, -32768}, {1, 129, 0, 0}, {-1, 129, 1, -1},
    };
    for (const TQuantCase& c : cases) {
        int16_t block[64] = {};
        block[10] = c.X;
        int32_t divisors[64], offsets[64];
        Fill(divisors, c.Divisor);
        Fill(offsets, c.Offset);
        EXPECT_EQ(k.QuantizeBlock(block, divisors, offsets), std::abs(c.Level)) << "x " << c.X;
        EXPECT_EQ(block[10], c.Level) << "x " << c.X;
    }
}

TEST_F(QuantizationTest, ZeroBlockAndDcOnlyBlock) {
    int16_t block[64] = {};
    int32_t divisors[64], offsets[64];
    Fill(divisors, 64);
    Fill(offsets, 63);
    EXPECT_EQ(k.QuantizeBlock(block, divisors, offsets), 0);
    for (int16_t v : block)
        EXPECT_EQ(v, 0);
    block[0] = -100; // (12800 + 63) div 64 = 200
    EXPECT_EQ(k.QuantizeBlock(block, divisors, offsets), 200);
    EXPECT_EQ(block[0], -200);
}

// With factors 128 / D and offsets R / 128 the floating-point quantiser gives the integer one's
// levels whenever D is a power of two (all values exact).
TEST_F(QuantizationTest, FloatQuantizerAgreesWithIntegerOneOnExactFactors) {
    std::uniform_int_distribution<int> coefficient(-2048, 2047), shift(3, 12);
    for (int trial = 0; trial < 500; ++trial) {
        int16_t a[64], b[64];
        int32_t divisors[64], offsets[64];
        float factors[64], floatOffsets[64], floats[64];
        for (int i = 0; i < 64; ++i) {
            a[i] = b[i] = static_cast<int16_t>(coefficient(rng));
            floats[i] = a[i];
            divisors[i] = 1 << shift(rng);
            offsets[i] = std::uniform_int_distribution<int>(0, divisors[i] / 2)(rng);
            factors[i] = 128.0f / static_cast<float>(divisors[i]);
            floatOffsets[i] = static_cast<float>(offsets[i]) / 128.0f;
        }
        int16_t c[64];
        const int32_t sum = k.QuantizeBlock(a, divisors, offsets);
        ASSERT_EQ(k.QuantizeBlockF(b, factors, floatOffsets), sum);
        ASSERT_EQ(k.QuantizeFloatBlock(c, floats, factors, floatOffsets), sum);
        for (int i = 0; i < 64; ++i) {
            ASSERT_EQ(a[i], b[i]) << "trial " << trial << " index " << i;
            ASSERT_EQ(a[i], c[i]) << "trial " << trial << " index " << i;
        }
    }
}

struct TDequantCase {
    const char* Name;
    int16_t Level;
    int32_t Multiplier;
    int16_t IntraMpeg1, InterMpeg1, IntraMpeg2, InterMpeg2;
};

// ISO/IEC 11172-2, 2.4.4 and ISO/IEC 13818-2, 7.4.2 (mismatch control is tested separately).
TEST_F(QuantizationTest, DequantizersReconstructAsTheStandardsSay) {
    const TDequantCase cases[] = {
        // name            q      M      intra1  inter1  intra2  inter2
        {"zero", 0, 100, 0, 0, 0, 0},
        {"unit", 1, 16, 1, 1, 1, 1},              // inter: (3 * 16) div 32 = 1
        {"even to odd", 2, 16, 1, 1, 2, 2},       // MPEG-1 moves 2 toward zero; inter: 80 div 32 = 2
        {"negative even", -2, 16, -1, -1, -2, -2},
        {"small product", 1, 4, 0, 0, 0, 0},     // nothing reconstructs below one unit
        {"small negative", -1, 4, 0, 0, 0, 0},
        {"positive saturation", 2047, 255, 2047, 2047, 2047, 2047},
        {"negative saturation", -2047, 255, -2048, -2048, -2048, -2048},
    };
    for (const TDequantCase& c : cases) {
        int32_t m[64];
        Fill(m, c.Multiplier);
        const auto run = [&](TDequantKernel kernel) {
            int16_t block[64] = {};
            block[0] = 1; // keeps the block sum odd where the level is even
            block[20] = c.Level;
            kernel(block, m);
            return block[20];
        };
        EXPECT_EQ(run(k.DequantIntraMpeg1), c.IntraMpeg1) << c.Name;
        EXPECT_EQ(run(k.DequantInterMpeg1), c.InterMpeg1) << c.Name;
        EXPECT_EQ(run(k.DequantIntraMpeg2), c.IntraMpeg2) << c.Name;
        EXPECT_EQ(k.DequantInterCoefMpeg1(c.Level, c.Multiplier), c.InterMpeg1) << c.Name;
        EXPECT_EQ(k.DequantInterCoefMpeg2(c.Level, c.Multiplier), c.InterMpeg2) << c.Name;
    }
}

TEST_F(QuantizationTest, IntraDequantizersLeaveTheDcAlone) {
    int32_t m[64];
    Fill(m, 1000);
    for (TDequantKernel kernel : {k.DequantIntraMpeg1, k.DequantIntraMpeg2}) {
        int16_t block[64] = {};
        block[0] = 77;
        block[1] = 3;
        kernel(block, m);
        EXPECT_EQ(block[0], 77);
        EXPECT_NE(block[1], 3);
    }
}

// ISO/IEC 13818-2, 7.4.4: an even block sum toggles the lowest bit of coefficient 63.
TEST_F(QuantizationTest, Mpeg2MismatchControlTogglesCoefficient63OnEvenSums) {
    struct TCase {
        int16_t Dc, Level63;
        int32_t Multiplier;
        int16_t Expected63;
    } const cases[] = {
        {8, 0, 32, 1}, // only an even DC: 63 goes from 0 to 1
        {7, 0, 32, 0}, // odd sum: nothing changes
        {6, 1, 32, 3}, // 63 reconstructs to 2, sum 8: it becomes 3
        {7, 1, 32, 2}, // sum 9: stays 2
        {5, 3, 16, 2}, // 63 reconstructs to 3, sum 8: an odd value decreases by one
    };
    for (const TCase& c : cases) {
        int32_t m[64];
        Fill(m, c.Multiplier);
        int16_t block[64] = {};
        block[0] = c.Dc;
        block[63] = c.Level63;
        k.DequantIntraMpeg2(block, m);
        EXPECT_EQ(block[63], c.Expected63) << "dc " << c.Dc << " level " << c.Level63;
        EXPECT_EQ(block[0], c.Dc);
    }
    // Inter blocks include position 0 like every other.
    int32_t m[64];
    Fill(m, 32);
    int16_t block[64] = {};
    block[63] = 1; // (3 * 32) div 32 = 3
    block[1] = 1;  // 3: the sum 6 is even
    k.DequantInterMpeg2(block, m);
    EXPECT_EQ(block[1], 3);
    EXPECT_EQ(block[63], 2);
}

// Factors M / 16 (intra) and M / 32 (inter) make the floating-point dequantisers exact copies of
// the integer ones.
TEST_F(QuantizationTest, FloatDequantizersAgreeWithIntegerOnesOnExactFactors) {
    std::uniform_int_distribution<int> level(-2047, 2047), multiplier(1, 112 * 255), sparse(0, 3);
    const std::pair<TDequantKernel, TDequantFKernel> pairs[] = {{k.DequantIntraMpeg1, k.DequantIntraMpeg1F},
                                                                {k.DequantIntraMpeg2, k.DequantIntraMpeg2F},
                                                                {k.DequantInterMpeg1, k.DequantInterMpeg1F},
                                                                {k.DequantInterMpeg2, k.DequantInterMpeg2F}};
    for (int p = 0; p < 4; ++p)
        for (int trial = 0; trial < 300; ++trial) {
            int16_t a[64], b[64];
            int32_t m[64];
            float f[64];
            for (int i = 0; i < 64; ++i) {
                a[i] = b[i] = static_cast<int16_t>(sparse(rng) == 0 ? level(rng) : 0);
                m[i] = multiplier(rng);
                f[i] = static_cast<float>(m[i]) / (p < 2 ? 16.0f : 32.0f);
            }
            pairs[p].first(a, m);
            pairs[p].second(b, f);
            for (int i = 0; i < 64; ++i)
                ASSERT_EQ(a[i], b[i]) << "pair " << p << " trial " << trial << " index " << i;
        }
}

} // namespace
} // namespace quillset::testing
