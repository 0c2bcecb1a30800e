#include "plugins/ac3sube/ac3_bit_allocation.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "plugins/ac3sube/ac3_mantissas.h"

namespace quillset::ac3sube {
namespace {

std::vector<uint8_t> RandomSpectrum(int end, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> exps(end);
    int level = 3;
    for (int bin = 0; bin < end; ++bin) {
        level = std::clamp(level + static_cast<int>(random() % 5) - 2, 0, 24);
        exps[bin] = static_cast<uint8_t>(level);
    }
    return exps;
}

int Bits(const TMaskCurve& curve, int combined) {
    uint8_t bap[kCoefficients];
    ComputeBap(curve, SnrOffsetOf(combined), TBitAllocationCodes{}, bap);
    TMantissaBitCounter counter;
    counter.Add(bap, curve.End);
    return counter.Bits();
}

TEST(AC3BitAllocationTest, SnrOffsetCodes) {
    EXPECT_EQ(SnrOffsetOf(0), -960);           // csnroffst 0, fsnroffst 0
    EXPECT_EQ(SnrOffsetOf(15 * 16), 0);        // csnroffst 15
    EXPECT_EQ(SnrOffsetOf(63 * 16 + 15), 3132); // the largest
}

// Raising the SNR offset lowers the mask: no bap may fall, and the mantissa bits grow but for the
// rounding of grouped mantissas (a bin leaving a group of bap 1, 2 or 4 can free a code word),
// which the encoder's search for the offset that fills a frame relies on.
TEST(AC3BitAllocationTest, BapsGrowWithTheSnrOffset) {
    for (int fscod = 0; fscod < 3; ++fscod) {
        const std::vector<uint8_t> exps = RandomSpectrum(253, 40u + fscod);
        TMaskCurve curve;
        ComputeMaskCurve(exps.data(), 253, fscod, TBitAllocationCodes{}, curve);
        uint8_t previous[kCoefficients] = {};
        int previousBits = 0;
        for (int combined = 1; combined < 1024; combined += 7) {
            uint8_t bap[kCoefficients];
            ComputeBap(curve, SnrOffsetOf(combined), TBitAllocationCodes{}, bap);
            for (int bin = 0; bin < 253; ++bin)
                ASSERT_GE(bap[bin], previous[bin]) << "bin " << bin << " offset " << combined;
            std::copy(bap, bap + 253, previous);
            const int bits = Bits(curve, combined);
            ASSERT_GE(bits, previousBits - (5 + 7 + 7)) << "offset " << combined;
            previousBits = bits;
        }
        EXPECT_GT(previousBits, 253 * 10); // the top offsets spend many bits per mantissa
    }
}

// csnroffst = fsnroffst = 0 allocates nothing at all, however loud the spectrum.
TEST(AC3BitAllocationTest, ZeroOffsetsAllocateNothing) {
    std::vector<uint8_t> loud(253, 0);
    loud[40] = 24;
    TMaskCurve curve;
    ComputeMaskCurve(loud.data(), 253, 0, TBitAllocationCodes{}, curve);
    EXPECT_EQ(Bits(curve, 0), 0);
    EXPECT_GT(Bits(curve, 15 * 16), 253 * 3);
}

// Silence (exponent 24 everywhere) lies below the threshold of hearing: no bits at usual offsets.
TEST(AC3BitAllocationTest, SilenceIsBelowTheHearingThreshold) {
    const std::vector<uint8_t> silent(253, 24);
    TMaskCurve curve;
    ComputeMaskCurve(silent.data(), 253, 0, TBitAllocationCodes{}, curve);
    EXPECT_EQ(Bits(curve, 15 * 16), 0);
    for (int band = 0; band < kBands; ++band)
        EXPECT_EQ(curve.Mask[band], kHearingThreshold[0][band]) << band;
}

// One loud bin masks its quieter neighbours: they get fewer bits than the same bins alone
// would, and the loud bin itself gets the most.
TEST(AC3BitAllocationTest, LoudBinMasksItsNeighbours) {
    std::vector<uint8_t> exps(253, 12);
    TMaskCurve quiet;
    ComputeMaskCurve(exps.data(), 253, 0, TBitAllocationCodes{}, quiet);
    exps[100] = 1;
    TMaskCurve masked;
    ComputeMaskCurve(exps.data(), 253, 0, TBitAllocationCodes{}, masked);
    uint8_t quietBap[kCoefficients], maskedBap[kCoefficients];
    ComputeBap(quiet, 0, TBitAllocationCodes{}, quietBap);
    ComputeBap(masked, 0, TBitAllocationCodes{}, maskedBap);
    EXPECT_GT(maskedBap[100], quietBap[100]);
    EXPECT_LT(maskedBap[103], quietBap[103]);
    for (int bin = 0; bin < 253; ++bin)
        EXPECT_LE(maskedBap[bin], maskedBap[100]) << bin;
}

} // namespace
} // namespace quillset::ac3sube
