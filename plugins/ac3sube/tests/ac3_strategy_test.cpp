#include "plugins/ac3sube/ac3_strategy.h"

#include <gtest/gtest.h>

#include <random>

namespace quillset::ac3sube {
namespace {

using Spectra = uint8_t[kBlocksPerFrame][kCoefficients];

void Fill(Spectra& wanted, int block, unsigned seed, int level) {
    std::mt19937 random(seed);
    for (int bin = 0; bin < kCoefficients; ++bin)
        wanted[block][bin] = static_cast<uint8_t>(std::clamp(level + bin / 20 + static_cast<int>(random() % 3), 0, 24));
}

// A steady spectrum is sent once and reused; a block whose spectrum changes completely gets a
// set of its own; block 0 always sends one.
TEST(AC3StrategyTest, NewExponentsWhereTheSpectrumChanges) {
    Spectra wanted;
    for (int block = 0; block < kBlocksPerFrame; ++block)
        Fill(wanted, block, 1, 2);
    TExponentStrategy strategies[kBlocksPerFrame];
    ChooseExponentStrategies(wanted, 253, 0.75, strategies);
    EXPECT_NE(strategies[0], ExponentStrategy_Reuse);
    for (int block = 1; block < kBlocksPerFrame; ++block)
        EXPECT_EQ(strategies[block], ExponentStrategy_Reuse) << block;

    for (int block = 3; block < kBlocksPerFrame; ++block)
        Fill(wanted, block, 1, 12); // 12 steps quieter from block 3 on
    ChooseExponentStrategies(wanted, 253, 0.75, strategies);
    const bool newSet[kBlocksPerFrame] = {true, false, false, true, false, false};
    for (int block = 0; block < kBlocksPerFrame; ++block)
        EXPECT_EQ(strategies[block] != ExponentStrategy_Reuse, newSet[block]) << block;
}

// Costlier mantissas (more bits per exponent step) make finer and more frequent sets worth it.
TEST(AC3StrategyTest, FinerSetsWhenStepsCostMore) {
    Spectra wanted;
    for (int block = 0; block < kBlocksPerFrame; ++block)
        Fill(wanted, block, 10u + block, 4);
    auto setBits = [&](double bitsPerStep) {
        TExponentStrategy strategies[kBlocksPerFrame];
        ChooseExponentStrategies(wanted, 253, bitsPerStep, strategies);
        int bits = 0;
        for (TExponentStrategy s : strategies)
            bits += s == ExponentStrategy_Reuse ? 0 : ExponentSetBits(s, 253);
        return bits;
    };
    EXPECT_EQ(setBits(0.0), ExponentSetBits(ExponentStrategy_D45, 253)); // free steps: one coarse set
    int previous = 0;
    for (double bitsPerStep : {0.0, 0.5, 1.0, 2.0, 4.0}) {
        EXPECT_GE(setBits(bitsPerStep), previous) << bitsPerStep;
        previous = setBits(bitsPerStep);
    }
    EXPECT_GT(previous, 3 * ExponentSetBits(ExponentStrategy_D45, 253));
}

TEST(AC3StrategyTest, BandwidthGrowsWithTheBitRate) {
    for (int fscod : {0, 1, 2}) {
        int previous = -1;
        for (int kbps = 32; kbps <= 640; kbps += 16) {
            const int code = ChooseBandwidthCode(fscod, kbps * 1000);
            EXPECT_GE(code, previous) << fscod << " " << kbps;
            EXPECT_GE(code, 0);
            EXPECT_LE(code, 60);
            previous = code;
        }
    }
    EXPECT_EQ(ChooseBandwidthCode(0, 224000), 60); // 448 kbit/s stereo: the full band
    // 96 kbit/s per channel at 48 kHz: about 15.8 kHz (end = 73 + 3 × code bins of 93.75 Hz).
    EXPECT_NEAR((73 + 3 * ChooseBandwidthCode(0, 96000)) * 48000.0 / 512, 15800, 200);
}

} // namespace
} // namespace quillset::ac3sube
