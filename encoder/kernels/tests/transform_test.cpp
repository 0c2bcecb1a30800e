// The reference transforms: scaling, the transposed coefficient order, truncation toward zero,
// and accuracy against an exact DCT.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "encoder/kernels/kernel_sets.h"
#include "encoder/kernels/tests/dct_reference_math.h"

namespace quillset::testing {
namespace {

class TransformTest : public ::testing::Test {
protected:
    TransformTest() { MPEGEncoder_FuncSet_Normal(k); }
    TKernelTable k;
    std::mt19937 rng{20240611};

    void RandomPixels(int16_t* block, int low, int high) {
        std::uniform_int_distribution<int> d(low, high);
        for (int i = 0; i < 64; ++i)
            block[i] = static_cast<int16_t>(d(rng));
    }
};

TEST_F(TransformTest, ConstantBlockGivesOnlyTheDcInBothForwardTransforms) {
    for (int v : {-255, -1, 0, 1, 7, 128, 255}) {
        int16_t a[64], b[64], pixels[64];
        float f[64];
        std::fill(pixels, pixels + 64, static_cast<int16_t>(v));
        std::copy(pixels, pixels + 64, a);
        std::copy(pixels, pixels + 64, b);
        k.ForwardDct(a);
        k.ForwardDctF(b);
        k.ForwardDctToFloat(f, pixels);
        EXPECT_EQ(a[0], 8 * v);
        EXPECT_EQ(b[0], 8 * v);
        EXPECT_EQ(f[0], 8.0f * v);
        for (int i = 1; i < 64; ++i) {
            EXPECT_EQ(a[i], 0) << "v " << v << " index " << i;
            EXPECT_EQ(b[i], 0) << "v " << v << " index " << i;
            EXPECT_EQ(f[i], 0.0f) << "v " << v << " index " << i;
        }
    }
}

// Pixels varying only along a row (horizontal frequencies, u > 0, v = 0) land at indexes u * 8;
// pixels varying only down a column at indexes 1..7.
TEST_F(TransformTest, CoefficientsAreStoredTransposed) {
    int16_t horizontal[64], vertical[64];
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            horizontal[y * 8 + x] = static_cast<int16_t>(x * 30);
            vertical[y * 8 + x] = static_cast<int16_t>(y * 30);
        }
    k.ForwardDct(horizontal);
    k.ForwardDct(vertical);
    for (int i = 0; i < 64; ++i) {
        const int u = i / 8, v = i % 8;
        if (v != 0) {
            EXPECT_EQ(horizontal[i], 0) << "index " << i;
        }
        if (u != 0) {
            EXPECT_EQ(vertical[i], 0) << "index " << i;
        }
    }
    EXPECT_NE(horizontal[8], 0);
    EXPECT_NE(vertical[1], 0);

    // And back: a lone (u = 1, v = 0) coefficient varies along each row, not down the columns.
    int16_t coefficient[64] = {};
    coefficient[8] = 400;
    k.InverseDct(coefficient);
    for (int y = 1; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(coefficient[y * 8 + x], coefficient[x]) << "row " << y;
    EXPECT_GT(coefficient[0], coefficient[7]);
}

TEST_F(TransformTest, TruncationTowardZeroMakesTheForwardTransformsOdd) {
    for (int trial = 0; trial < 200; ++trial) {
        int16_t a[64], b[64];
        RandomPixels(a, -255, 255);
        for (int i = 0; i < 64; ++i)
            b[i] = static_cast<int16_t>(-a[i]);
        int16_t af[64], bf[64];
        std::copy(a, a + 64, af);
        std::copy(b, b + 64, bf);
        k.ForwardDct(a);
        k.ForwardDct(b);
        k.ForwardDctF(af);
        k.ForwardDctF(bf);
        for (int i = 0; i < 64; ++i) {
            ASSERT_EQ(b[i], -a[i]) << "trial " << trial << " index " << i;
            ASSERT_EQ(bf[i], -af[i]) << "trial " << trial << " index " << i;
        }
    }
}

TEST_F(TransformTest, ForwardTransformsFollowTheExactDct) {
    TExactDct exact;
    for (int trial = 0; trial < 500; ++trial) {
        int16_t pixels[64], integer[64], single[64];
        float floats[64];
        RandomPixels(pixels, trial % 2 == 0 ? 0 : -255, 255);
        double input[64], expected[64];
        for (int i = 0; i < 64; ++i)
            input[i] = pixels[i];
        exact.Forward(input, expected);
        std::copy(pixels, pixels + 64, integer);
        std::copy(pixels, pixels + 64, single);
        k.ForwardDct(integer);
        k.ForwardDctF(single);
        k.ForwardDctToFloat(floats, pixels);
        for (int i = 0; i < 64; ++i) {
            // Two truncating passes lose less than two units; single precision loses almost nothing.
            ASSERT_LT(std::fabs(integer[i] - expected[i]), 2.0) << "trial " << trial << " index " << i;
            ASSERT_NEAR(floats[i], expected[i], 1e-3) << "trial " << trial << " index " << i;
            ASSERT_EQ(single[i], static_cast<int16_t>(std::trunc(floats[i]))) << "trial " << trial << " index " << i;
        }
    }
}

TEST_F(TransformTest, DcOnlyInverseGivesTheDcValueEverywhere) {
    for (int d : {-2048, -100, -5, -4, -3, -1, 0, 1, 3, 4, 5, 100, 2047}) {
        int16_t block[64] = {};
        block[0] = static_cast<int16_t>(d);
        k.InverseDct(block);
        const int32_t expected = (d + 4) >> 3;
        EXPECT_EQ(k.InverseDctDcValue(d), expected) << "dc " << d;
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ(block[i], expected) << "dc " << d << " index " << i;
    }
}

// The forward transform truncates twice, so a round trip is close but not exact.
TEST_F(TransformTest, InverseUndoesForwardClosely) {
    int32_t peak = 0;
    int64_t total = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        int16_t pixels[64], block[64];
        RandomPixels(pixels, -255, 255);
        std::copy(pixels, pixels + 64, block);
        k.ForwardDct(block);
        k.InverseDct(block);
        for (int i = 0; i < 64; ++i) {
            peak = std::max(peak, std::abs(block[i] - pixels[i]));
            total += std::abs(block[i] - pixels[i]);
        }
    }
    EXPECT_LE(peak, 2);
    EXPECT_LT(static_cast<double>(total) / (2000 * 64), 0.5);
}

} // namespace
} // namespace quillset::testing
