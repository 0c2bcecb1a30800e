// Coefficient scans on the transposed storage and the quantiser scale of Table 7-6.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "encoder/video/syntax/scan_tables.h"

namespace quillset {
namespace {

// The zigzag path over raster positions, walked diagonal by diagonal: odd diagonals (u + v)
// downwards-left, even ones upwards-right.
std::array<uint8_t, 64> WalkZigzag() {
    std::array<uint8_t, 64> scan{};
    int32_t n = 0;
    for (int32_t d = 0; d < 15; ++d) {
        for (int32_t i = 0; i <= d; ++i) {
            const int32_t v = d % 2 == 1 ? i : d - i;
            const int32_t u = d - v;
            if (u < 8 && v < 8)
                scan[static_cast<size_t>(n++)] = static_cast<uint8_t>(8 * v + u);
        }
    }
    return scan;
}

bool IsPermutation(const std::array<uint8_t, 64>& scan) {
    std::array<uint8_t, 64> sorted = scan;
    std::sort(sorted.begin(), sorted.end());
    for (int32_t i = 0; i < 64; ++i)
        if (sorted[static_cast<size_t>(i)] != i)
            return false;
    return true;
}

uint8_t Transpose(uint8_t raster) {
    return static_cast<uint8_t>(8 * (raster & 7) + (raster >> 3));
}

TEST(ScanTables, ZigzagIsTheDiagonalWalk) {
    EXPECT_EQ(kZigzagScanRaster, WalkZigzag());
}

TEST(ScanTables, ScansOnTransposedStorage) {
    EXPECT_TRUE(IsPermutation(kZigzagScan));
    EXPECT_TRUE(IsPermutation(kAlternateScan));
    EXPECT_TRUE(IsPermutation(kAlternateScanRaster));
    for (size_t i = 0; i < 64; ++i) {
        EXPECT_EQ(kZigzagScan[i], Transpose(kZigzagScanRaster[i])) << i;
        EXPECT_EQ(kAlternateScan[i], Transpose(kAlternateScanRaster[i])) << i;
    }
    const std::vector<uint8_t> zigzag(kZigzagScan.begin(), kZigzagScan.begin() + 8);
    const std::vector<uint8_t> alternate(kAlternateScan.begin(), kAlternateScan.begin() + 8);
    EXPECT_EQ(zigzag, (std::vector<uint8_t>{0, 8, 1, 2, 9, 16, 24, 17}));
    EXPECT_EQ(alternate, (std::vector<uint8_t>{0, 1, 2, 3, 8, 9, 16, 17}));
    // The alternate scan runs down the first column first in raster terms (vertical
    // frequencies of interlaced material).
    EXPECT_EQ(kAlternateScanRaster[1], 8);
    EXPECT_EQ(kAlternateScanRaster[63], 63);
}

TEST(QuantiserScale, Table76AndCodeMapping) {
    EXPECT_EQ(QuantiserScale(1, true), 1);
    EXPECT_EQ(QuantiserScale(8, true), 8);
    EXPECT_EQ(QuantiserScale(9, true), 10);
    EXPECT_EQ(QuantiserScale(17, true), 28);
    EXPECT_EQ(QuantiserScale(25, true), 64);
    EXPECT_EQ(QuantiserScale(31, true), 112);
    EXPECT_EQ(QuantiserScale(31, false), 62);
    for (int32_t code = 2; code <= 31; ++code)
        EXPECT_GT(QuantiserScale(code, true), QuantiserScale(code - 1, true)) << code;

    struct Case {
        int32_t scale;
        bool mpeg2;
        int32_t code;
    };
    const Case cases[] = {
        {0, true, 1},   {1, true, 1},    {9, true, 9},    {10, true, 9},  {11, true, 10},
        {57, true, 25}, {112, true, 31}, {113, true, 31}, {1, false, 1},  {2, false, 1},
        {3, false, 2},  {62, false, 31}, {63, false, 31}, {500, false, 31},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QuantiserCodeForScale(c.scale, c.mpeg2), c.code) << c.scale << (c.mpeg2 ? " MPEG-2" : " MPEG-1");
}

} // namespace
} // namespace quillset
