// The reference chroma filters, picture measures and excess-difference energies.
#include <gtest/gtest.h>

#include <vector>

#include "encoder/kernels/kernel_sets.h"

namespace quillset::testing {
namespace {

class PictureFilterTest : public ::testing::Test {
protected:
    PictureFilterTest() { MPEGEncoder_FuncSet_Normal(k); }
    TKernelTable k;
};

// The taps sum to 512, so constant input stays constant up to the clamped edges.
TEST_F(PictureFilterTest, ConstantPlanesStayConstant) {
    for (int width : {1, 2, 3, 7, 12, 33})
        for (bool mode : {false, true})
            for (uint8_t value : {0, 1, 128, 254, 255}) {
                const int rows = 6;
                const std::vector<uint8_t> src(static_cast<size_t>(width * rows), value);
                std::vector<uint8_t> halfWidth(static_cast<size_t>(width / 2 * rows) + 1, 0xEE);
                k.HalveChromaWidth(halfWidth.data(), src.data(), width, mode, rows);
                for (size_t i = 0; i + 1 < halfWidth.size(); ++i)
                    ASSERT_EQ(halfWidth[i], value) << "width " << width << (mode ? " cosited" : "");
                EXPECT_EQ(halfWidth.back(), 0xEE) << "written beyond the rows";
                for (int height : {2, 3, 4, 6, 10, 12}) {
                    const std::vector<uint8_t> plane(static_cast<size_t>(width * height), value);
                    std::vector<uint8_t> halfHeight(static_cast<size_t>(width * (height / 2)) + 1, 0xEE);
                    k.HalveChromaHeight(halfHeight.data(), plane.data(), width, mode, height);
                    for (size_t i = 0; i + 1 < halfHeight.size(); ++i)
                        ASSERT_EQ(halfHeight[i], value) << "height " << height << (mode ? " interlaced" : "");
                    EXPECT_EQ(halfHeight.back(), 0xEE) << "written beyond the rows";
                }
            }
}

// A step from 0 to 255 overshoots on both sides; the clamp keeps the bytes in range.
TEST_F(PictureFilterTest, HalveChromaWidthWeighsTheStepAsTheTapsSay) {
    std::vector<uint8_t> src(16, 0);
    std::fill(src.begin() + 8, src.end(), 255);
    std::vector<uint8_t> cosited(8), midpoint(8);
    k.HalveChromaWidth(cosited.data(), src.data(), 16, true, 1);
    k.HalveChromaWidth(midpoint.data(), src.data(), 16, false, 1);
    // Cosited output 4 sits on the first 255: S = 255 * (256 + 159 - 52 + 21) = 97920.
    EXPECT_EQ(cosited[4], (97920 + 256) >> 9);
    // Output 3 sits on sample 6 and sees 255 only at samples 9 and 11: S = 255 * (-52 + 21) < 0.
    EXPECT_EQ(cosited[3], 0);
    // Midpoint output 3 (samples 1..12) has 255 at the weights 70, -37, -21, 11, 5; output 2 only
    // at -21, 11, 5, a negative sum.
    EXPECT_EQ(midpoint[3], (255 * (70 - 37 - 21 + 11 + 5) + 256) >> 9);
    EXPECT_EQ(midpoint[2], 0);
    EXPECT_EQ(midpoint[0], 0);
    EXPECT_EQ(midpoint[7], 255);
}

// Interlaced: each field is filtered by itself, so a picture whose fields differ keeps them apart.
TEST_F(PictureFilterTest, InterlacedHeightFilterKeepsFieldsApart) {
    const int width = 4;
    for (int height : {8, 10, 16}) {
        std::vector<uint8_t> src(static_cast<size_t>(width * height));
        for (int y = 0; y < height; ++y)
            std::fill(src.begin() + y * width, src.begin() + (y + 1) * width, y % 2 == 0 ? 40 : 200);
        std::vector<uint8_t> interlaced(static_cast<size_t>(width * (height / 2))), progressive(interlaced);
        k.HalveChromaHeight(interlaced.data(), src.data(), width, true, height);
        k.HalveChromaHeight(progressive.data(), src.data(), width, false, height);
        for (int d = 0; d < height / 2; ++d) {
            // A row of an odd count of field rows comes from the top field.
            const bool top = d % 2 == 0;
            EXPECT_EQ(interlaced[static_cast<size_t>(d * width)], top ? 40 : 200) << "height " << height << " row " << d;
            // Away from the edges both fields weigh 256 each: (256 * 40 + 256 * 200 + 256) >> 9.
            const uint8_t mixed = progressive[static_cast<size_t>(d * width)];
            if (2 * d - 5 >= 0 && 2 * d + 6 < height)
                EXPECT_EQ(mixed, 120) << "height " << height << " row " << d;
            else
                EXPECT_TRUE(mixed > 40 && mixed < 200) << "height " << height << " row " << d;
        }
    }
}

TEST_F(PictureFilterTest, PictureMeasuresOfIdenticalPictures) {
    const int width = 20, height = 17; // 2 x 2 whole blocks; the rest is ignored
    std::vector<uint8_t> a(static_cast<size_t>(width * height));
    for (size_t i = 0; i < a.size(); ++i)
        a[i] = static_cast<uint8_t>(i % 13);
    float expected = 0.0f;
    for (int by = 0; by < 2; ++by)
        for (int bx = 0; bx < 2; ++bx) {
            int32_t energy = 0;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) {
                    const int v = a[static_cast<size_t>((by * 8 + y) * width + bx * 8 + x)];
                    energy += v * v;
                }
            expected += 1.0f / static_cast<float>(energy + 2);
        }
    EXPECT_FLOAT_EQ(k.PictureChangeMeasure(width, height, a.data(), a.data()), expected);
    EXPECT_EQ(k.PictureChangeMeasureNormalized(width, height, a.data(), a.data()), 0.0f);
    EXPECT_EQ(k.PictureChangeMeasure(7, height, a.data(), a.data()), 0.0f);
    EXPECT_EQ(k.PictureChangeMeasure(width, 7, a.data(), a.data()), 0.0f);
}

TEST_F(PictureFilterTest, PictureMeasuresOfOneChangedBlock) {
    std::vector<uint8_t> a(64, 10), b(64, 10);
    b[5] = 74; // |a - b| sums to 64 in the block
    // (64 + 1)^2 / (1 + 64 * 100 + 1) and (64 / 64)^2 / (variance 0 + 1).
    EXPECT_FLOAT_EQ(k.PictureChangeMeasure(8, 8, a.data(), b.data()), 65.0f * 65.0f / 6402.0f);
    EXPECT_FLOAT_EQ(k.PictureChangeMeasureNormalized(8, 8, a.data(), b.data()), 1.0f);
}

TEST_F(PictureFilterTest, ExcessDiffEnergies) {
    const uint8_t a[4] = {0, 10, 200, 255}, b[4] = {255, 20, 190, 0};
    // |a - b| = 255, 10, 10, 255; over threshold 8: 247, 2, 2, 247.
    EXPECT_EQ(k.ExcessDiffEnergy(a, b, 4, 8), 2 * 247 * 247 + 2 * 2 * 2);
    EXPECT_EQ(k.ExcessDiffEnergy(a, b, 4, 255), 0);
    EXPECT_EQ(k.ExcessDiffEnergy(a, b, 0, 0), 0);
    // x stands out from y and z: |x - y| + |x - z| clamps to 255 before |y - z| and the threshold.
    const uint8_t x[3] = {255, 100, 50}, y[3] = {0, 90, 0}, z[3] = {0, 110, 100};
    // 255: 255 - 0 - 16 = 239; 100: 20 - 20 - 16 < 0; 50: 100 - 100 - 16 < 0.
    EXPECT_EQ(k.ExcessDiffEnergy3(x, y, z, 16, 3), 239 * 239);
}

} // namespace
} // namespace quillset::testing
