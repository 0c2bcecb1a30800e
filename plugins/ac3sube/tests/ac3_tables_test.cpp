#include "plugins/ac3sube/ac3_tables.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quillset::ac3sube {
namespace {

// A/52 Table 5.18: words are 2 × kbit/s at 48 kHz, 3 × at 32 kHz, and at 44.1 kHz the bits of
// 1536 samples rounded down (odd codes one word more).
TEST(AC3TablesTest, FrameSizesFollowTheBitRates) {
    for (int32_t code = 0; code < 38; ++code) {
        const int32_t kbps = kBitRates[code >> 1];
        SCOPED_TRACE(code);
        EXPECT_EQ(FrameSizeWords(0, code), 2 * kbps);
        EXPECT_EQ(FrameSizeWords(2, code), 3 * kbps);
        EXPECT_EQ(FrameSizeWords(1, code), kbps * 96000 / 44100 + (code & 1));
    }
}

TEST(AC3TablesTest, FrameSizesOfKnownFramesAndReservedCodes) {
    struct Case {
        int32_t fscod, frmsizecod, words;
    } cases[] = {{0, 0, 64}, {1, 0, 69}, {1, 1, 70}, {2, 0, 96}, {0, 30, 896}, {1, 37, 1394}, {2, 37, 1920},
                 {0, 38, 0}, {3, 0, 0},  {0, -1, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(FrameSizeWords(c.fscod, c.frmsizecod), c.words) << c.fscod << " " << c.frmsizecod;
}

// A/52 Table 7.13 (masktab) at the edges of the wider bands.
TEST(AC3TablesTest, BinsMapToTheirBands) {
    struct Case {
        int32_t bin, band;
    } cases[] = {{0, 0}, {27, 27}, {28, 28}, {30, 28}, {31, 29}, {49, 35}, {54, 35}, {55, 36},
                 {84, 40}, {85, 41}, {96, 41}, {97, 42}, {228, 48}, {229, 49}, {252, 49}};
    for (const Case& c : cases)
        EXPECT_EQ(BandOfBin(c.bin), c.band) << c.bin;
}

TEST(AC3TablesTest, KnownBitAllocationValues) {
    EXPECT_EQ(kLogAdd[0], 0x40);
    EXPECT_EQ(kLogAdd[13], 0x34);
    EXPECT_EQ(kLogAdd[209], 0x01);
    EXPECT_EQ(kLogAdd[210], 0x00);
    EXPECT_EQ(kHearingThreshold[0][0], 0x4d0);
    EXPECT_EQ(kHearingThreshold[1][47], 0x630);
    EXPECT_EQ(kHearingThreshold[2][49], 0x4e0);
    EXPECT_EQ(kBapOfAddress[5], 1);
    EXPECT_EQ(kBapOfAddress[54], 14);
    EXPECT_EQ(kBapOfAddress[55], 15);
    EXPECT_EQ(kFloor[7], -2048);
}

// A/52 Table 7.33 prints the window to five decimals.
TEST(AC3TablesTest, WindowMatchesThePrintedValues) {
    const double* w = TransformWindow();
    struct Case {
        int n;
        double value;
    } cases[] = {{0, 0.00014}, {1, 0.00024}, {2, 0.00037}, {20, 0.00785}, {35, 0.02863}};
    for (const Case& c : cases)
        EXPECT_NEAR(w[c.n], c.value, 0.000006) << c.n;
    EXPECT_NEAR(w[255], 1.0, 0.00001);
}

// Princen-Bradley: the rising half and the mirrored falling half add up to unit power, which the
// overlap-add of the inverse transform needs.
TEST(AC3TablesTest, WindowHalvesAddUpToUnitPower) {
    const double* w = TransformWindow();
    for (int n = 0; n < kBlockSize; ++n)
        EXPECT_NEAR(w[n] * w[n] + w[kBlockSize - 1 - n] * w[kBlockSize - 1 - n], 1.0, 1e-12) << n;
}

} // namespace
} // namespace quillset::ac3sube
