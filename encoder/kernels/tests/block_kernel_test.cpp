// The reference block kernels: half-sample rounding and the group order of the variants, the
// buffer layouts (packed 16, field 32, RGB), and the clamping of reconstruction.
#include <gtest/gtest.h>

#include <vector>

#include "encoder/kernels/kernel_sets.h"

namespace quillset::testing {
namespace {

class BlockKernelTest : public ::testing::Test {
protected:
    BlockKernelTest() { MPEGEncoder_FuncSet_Normal(k); }
    TKernelTable k;
};

struct THalfCase {
    uint8_t A, B, C, D; // the pixel, its right neighbour, the two below
    uint8_t Full, V, H, HV;
};

// A reference whose even columns hold A (row 0) / C (row 1) and odd columns B / D, so every
// predicted pixel at an even column sees exactly A, B, C, D.
std::vector<uint8_t> Pattern(const THalfCase& c, int pitch, int rows) {
    std::vector<uint8_t> ref(static_cast<size_t>(pitch * (rows + 1)));
    for (int y = 0; y <= rows; ++y)
        for (int x = 0; x < pitch; ++x)
            ref[static_cast<size_t>(y * pitch + x)] = y % 2 == 0 ? (x % 2 == 0 ? c.A : c.B) : (x % 2 == 0 ? c.C : c.D);
    return ref;
}

// (p1 + p2 + 1) >> 1 and (p1 + p2 + p3 + p4 + 2) >> 2, reached as base + 2 * h + v.
TEST_F(BlockKernelTest, HalfSampleVariantsRoundUpAndComeInTableOrder) {
    const THalfCase cases[] = {
        {0, 1, 0, 0, 0, 0, 1, 0},         {1, 1, 1, 0, 1, 1, 1, 1},     {0, 0, 0, 1, 0, 0, 0, 0},
        {1, 2, 3, 4, 1, 2, 2, 3},         {255, 255, 255, 255, 255, 255, 255, 255}, {0, 255, 255, 0, 0, 128, 128, 128},
        {254, 255, 255, 255, 254, 255, 255, 255},
    };
    const int pitch = 40;
    for (const THalfCase& c : cases) {
        const std::vector<uint8_t> ref = Pattern(c, pitch, 16);
        const uint8_t expected[4] = {c.Full, c.V, c.H, c.HV};
        const TPredictKernel* predict16 = &k.Predict16;
        const TFetchKernel* fetch = &k.FetchPacked16x16;
        const TBlockMeasureKernel* sad = &k.Sad16x16;
        for (int variant = 0; variant < 4; ++variant) {
            std::vector<uint8_t> dst(static_cast<size_t>(pitch * 16), 0), packed(256, 0), zero(static_cast<size_t>(pitch * 16), 0);
            predict16[variant](dst.data(), ref.data(), pitch, 16);
            fetch[variant](packed.data(), ref.data(), pitch);
            EXPECT_EQ(dst[0], expected[variant]) << "variant " << variant << " case " << int(c.A);
            EXPECT_EQ(packed[0], expected[variant]) << "variant " << variant << " case " << int(c.A);
            // Against an all-zero current block the SAD is the sum of the predicted pixels.
            int32_t predictedSum = 0;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    predictedSum += dst[static_cast<size_t>(y * pitch + x)];
            EXPECT_EQ(sad[variant](zero.data(), ref.data(), pitch), predictedSum) << "variant " << variant;
        }
    }
}

TEST_F(BlockKernelTest, AveragingPredictionRoundsUpWithTheExistingPrediction) {
    const int pitch = 24;
    std::vector<uint8_t> ref(static_cast<size_t>(pitch * 9), 10), dst(static_cast<size_t>(pitch * 8), 13);
    k.PredictAvg8(dst.data(), ref.data(), pitch, 8);
    EXPECT_EQ(dst[0], 12); // (13 + 10 + 1) >> 1
    EXPECT_EQ(dst[7], 12);
    EXPECT_EQ(dst[8], 13); // beyond the 8 columns
    std::vector<uint8_t> a(256, 3), b(256, 6), out(256);
    k.AveragePacked16x16(out.data(), a.data(), b.data());
    EXPECT_EQ(out[255], 5);
}

TEST_F(BlockKernelTest, MeasuresReachTheirLargestValues) {
    const int pitch = 64;
    std::vector<uint8_t> white(static_cast<size_t>(pitch * 17), 255), black(white.size(), 0);
    EXPECT_EQ(k.Sad16x16(white.data(), black.data(), pitch), 256 * 255);
    EXPECT_EQ(k.Sad16x8HV(black.data(), white.data(), pitch), 128 * 255);
    EXPECT_EQ(k.Sse16x16(white.data(), black.data(), pitch), 256 * 255 * 255);
    EXPECT_EQ(k.SadRgb16x16(white.data(), black.data(), pitch), 48 * 16 * 255);
}

// Packed 16 buffers have rows 16 bytes apart, field 32 buffers 32 bytes apart; the rows of the
// other field are never touched.
TEST_F(BlockKernelTest, PackedAndFieldBuffersUseTheirOwnRowDistance) {
    const int pitch = 50;
    std::vector<uint8_t> cur(static_cast<size_t>(pitch * 16)), packed(256);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            cur[static_cast<size_t>(y * pitch + x)] = static_cast<uint8_t>((y * 16 + x) / 2);
            packed[static_cast<size_t>(y * 16 + x)] = static_cast<uint8_t>((y * 16 + x) / 2 + 1);
        }
    EXPECT_EQ(k.Sad16x16Packed(cur.data(), packed.data(), pitch), 256);
    EXPECT_EQ(k.Sse16x16Packed(cur.data(), packed.data(), pitch), 256);

    std::vector<uint8_t> field(256, 0xEE);
    k.FetchField16x8(field.data(), cur.data(), pitch);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint8_t v = field[static_cast<size_t>(y * 16 + x)];
            if (y % 2 == 0)
                EXPECT_EQ(v, cur[static_cast<size_t>(y / 2 * pitch + x)]) << "row " << y;
            else
                EXPECT_EQ(v, 0xEE) << "row " << y;
        }

    int32_t out[2];
    k.DiffSadEnergy8x8Field(cur.data(), field.data(), pitch, out);
    EXPECT_EQ(out[0], 0); // field row k at 32 * k holds cur row k
    k.DiffSadEnergy8x8Packed(cur.data(), packed.data(), pitch, out);
    EXPECT_EQ(out[0], 8 * 8 * 1);
    EXPECT_EQ(out[1], 8 * 8 * 1);
}

TEST_F(BlockKernelTest, SumPictureMeasuresUseBytePitches) {
    // Two rows of sums 12 bytes apart (6 values per row).
    const uint16_t cur[24] = {1, 2, 3, 4, 99, 99, 5, 6, 7, 8, 99, 99, 9, 10, 11, 12, 99, 99, 13, 14, 15, 16, 99, 99};
    uint16_t ref[24] = {};
    EXPECT_EQ(k.SseSums4x4(cur, ref, 12), 1496); // sum of squares 1..16
    ref[0] = 1;
    const uint16_t other[24] = {};
    EXPECT_EQ(k.SseSums4x4Best(cur, other, 12, ref), 1495);
    EXPECT_EQ(k.SumSums2x2(cur, 12), 1 + 2 + 5 + 6);
}

TEST_F(BlockKernelTest, BlockSumsAndRgbSums) {
    const int pitch = 13;
    std::vector<uint8_t> bytes(static_cast<size_t>(pitch * 4));
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(k.Sum4x2(bytes.data(), pitch), 0 + 1 + 2 + 3 + 13 + 14 + 15 + 16);
    EXPECT_EQ(k.Sum4x4(bytes.data(), pitch), 6 + 58 + 110 + 162);
    std::vector<uint8_t> bgr(static_cast<size_t>(pitch * 4));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            bgr[static_cast<size_t>(y * pitch + 3 * x)] = 1;     // B
            bgr[static_cast<size_t>(y * pitch + 3 * x + 1)] = 2; // G
            bgr[static_cast<size_t>(y * pitch + 3 * x + 2)] = 3; // R
        }
    uint16_t sums[3];
    k.SumRgb4x4(bgr.data(), pitch, sums);
    EXPECT_EQ(sums[0], 48); // R first
    EXPECT_EQ(sums[1], 32);
    EXPECT_EQ(sums[2], 16);
}

TEST_F(BlockKernelTest, ReconstructionClampsToBytes) {
    const int pitch = 11;
    int16_t block[64];
    for (int i = 0; i < 64; ++i)
        block[i] = static_cast<int16_t>(i % 4 == 0 ? -32768 : (i % 4 == 1 ? 32767 : (i % 4 == 2 ? -7 : 300)));
    std::vector<uint8_t> dst(static_cast<size_t>(pitch * 8), 100);
    k.StoreBlock8x8(dst.data(), block, pitch);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(dst[1], 255);
    EXPECT_EQ(dst[2], 0);
    EXPECT_EQ(dst[3], 255);
    EXPECT_EQ(dst[8], 100); // outside the block
    std::fill(dst.begin(), dst.end(), 100);
    k.AddBlock8x8(dst.data(), block, pitch);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(dst[1], 255);
    EXPECT_EQ(dst[2], 93);
    EXPECT_EQ(dst[3], 255);
    for (int32_t value : {INT32_MIN, -101, 156, INT32_MAX}) {
        std::fill(dst.begin(), dst.end(), 100);
        k.AddDc8x8(dst.data(), value, pitch);
        EXPECT_EQ(dst[7 * pitch + 7], value < -100 ? 0 : (value >= 155 ? 255 : 100 + value)) << value;
    }
    std::vector<uint8_t> cur(static_cast<size_t>(pitch * 8), 0), pred(cur.size(), 255);
    int16_t diff[64];
    k.DiffBlock8x8(diff, cur.data(), pred.data(), pitch);
    EXPECT_EQ(diff[63], -255);
}

} // namespace
} // namespace quillset::testing
