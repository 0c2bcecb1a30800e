// Allocation by mask-to-noise ratio on small, readable sets of units.
#include "encoder/audio/mpeg/bit_allocation.h"

#include <gtest/gtest.h>

namespace quillset::mpa {
namespace {

// Sample bits and SNR of a 4-value ladder: 3, 5 and 7 steps' worth of a 12-sample subband.
constexpr int32_t kBits[] = {0, 24, 36, 48};
constexpr float kSNR[] = {0.0f, 7.0f, 11.0f, 16.0f};

AllocationUnit Unit(float smr, int32_t sideBits = 6) {
    return {kBits, kSNR, 3, sideBits, smr, 0};
}

TEST(BitAllocationTest, SmallestMaskToNoiseRatioGoesFirst) {
    AllocationUnit units[] = {Unit(10.0f), Unit(2.0f), Unit(-5.0f)};
    // 30 bits: the first step of unit 0 (24 + 6) and nothing else.
    EXPECT_EQ(AllocateBits(units, 3, 30), 30);
    EXPECT_EQ(units[0].Value, 1);
    EXPECT_EQ(units[1].Value, 0);
    EXPECT_EQ(units[2].Value, 0);
}

TEST(BitAllocationTest, AUnitThatCannotStepFinishesAndOthersGoOn) {
    // Unit 0 wants most but its first step costs 100 side bits; unit 1 still gets its steps.
    AllocationUnit units[] = {Unit(40.0f, 100), Unit(0.0f)};
    const int32_t spent = AllocateBits(units, 2, 60);
    EXPECT_EQ(units[0].Value, 0);
    EXPECT_EQ(units[1].Value, 3);
    EXPECT_EQ(spent, 48 + 6);
}

TEST(BitAllocationTest, PlentyOfBitsFillsEveryUnitToItsTop) {
    AllocationUnit units[] = {Unit(10.0f), Unit(2.0f), Unit(-50.0f)};
    EXPECT_EQ(AllocateBits(units, 3, 10000), 3 * (48 + 6));
    for (const AllocationUnit& u : units)
        EXPECT_EQ(u.Value, 3);
}

TEST(BitAllocationTest, NeverSpendsMoreThanAvailable) {
    for (int32_t available = 0; available < 200; ++available) {
        AllocationUnit units[] = {Unit(12.0f), Unit(3.0f), Unit(8.0f), Unit(20.0f, 12)};
        EXPECT_LE(AllocateBits(units, 4, available), available) << available;
    }
}

TEST(BitAllocationTest, UnitsWithoutValuesAreSkipped) {
    AllocationUnit units[] = {{kBits, kSNR, 0, 6, 50.0f, 0}, Unit(1.0f)};
    AllocateBits(units, 2, 1000);
    EXPECT_EQ(units[0].Value, 0);
    EXPECT_EQ(units[1].Value, 3);
}

TEST(BitAllocationTest, BitsForMaskingCountsTheSmallestSufficientValue) {
    AllocationUnit units[] = {Unit(-1.0f), Unit(7.0f), Unit(9.0f), Unit(30.0f)};
    // none; value 1 (24 + 6); value 2 (36 + 6); beyond the ladder: its top (48 + 6).
    EXPECT_EQ(BitsForMasking(units, 4), 30 + 42 + 54);
}

} // namespace
} // namespace quillset::mpa
