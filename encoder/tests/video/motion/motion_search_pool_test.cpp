// The two recycling pools: which blocks they keep, which they hand out, and what a reused
// macroblock array looks like.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "encoder/video/motion/mb_info_list_pool.h"
#include "encoder/video/motion/motion_search_buffer_pool.h"

namespace quillset {
namespace {

struct TKeepCase {
    int32_t Maximum;
    size_t Kept; // of three returned blocks
};

class BufferPoolKeepTest : public ::testing::TestWithParam<TKeepCase> {};

// Blocks beyond the maximum are freed (the leak checker sees any that are lost); the most
// recently returned block of the asked size comes back first.
TEST_P(BufferPoolKeepTest, KeepsUpToTheMaximumAndReusesTheLatest) {
    const TKeepCase tc = GetParam();
    TMotionSearchBufferPool pool(tc.Maximum);
    void* blocks[3];
    for (void*& b : blocks) {
        b = pool.Acquire(1000);
        ASSERT_EQ(reinterpret_cast<uintptr_t>(b) % 32, 0u);
        static_cast<uint8_t*>(b)[999] = 1; // the whole size is usable
    }
    for (void* b : blocks)
        pool.Release(b, 1000);
    EXPECT_EQ(pool.GetFreeCount(), tc.Kept);
    pool.Release(nullptr, 1000);
    EXPECT_EQ(pool.GetFreeCount(), tc.Kept);

    void* other = pool.Acquire(2000);
    EXPECT_EQ(pool.GetFreeCount(), tc.Kept);
    void* again = pool.Acquire(1000);
    EXPECT_EQ(again, blocks[tc.Kept - 1]);
    EXPECT_EQ(pool.GetFreeCount(), tc.Kept - 1);
    pool.Release(other, 2000);
    pool.Release(again, 1000);
}

INSTANTIATE_TEST_SUITE_P(Maximums, BufferPoolKeepTest,
                         ::testing::Values(TKeepCase{0, 3}, TKeepCase{2, 2}, TKeepCase{1, 1}));

// A reused macroblock array starts as a fresh one: nothing of the previous picture shows through.
TEST(MBInfoListPoolTest, ReusedArraysAreReset) {
    TMBInfoListPool pool(45, 1);
    TMBInfo* list = pool.Acquire();
    list[44].Flags = MBInfoFlag_Intra;
    list[44].Forward[1].Cost = 77;
    list[0].DependentCostMin = 5;
    pool.Release(list);
    EXPECT_EQ(pool.GetFreeCount(), 1u);
    TMBInfo* again = pool.Acquire();
    EXPECT_EQ(again, list);
    EXPECT_EQ(again[44].Flags, 0);
    EXPECT_EQ(again[44].Forward[1].Cost, 0);
    EXPECT_EQ(again[0].DependentCostMin, TMBInfo{}.DependentCostMin);
    TMBInfo* second = pool.Acquire();
    EXPECT_NE(second, again);
    pool.Release(again);
    pool.Release(second); // beyond the maximum of one: freed
    EXPECT_EQ(pool.GetFreeCount(), 1u);
    pool.Release(nullptr);
    EXPECT_EQ(pool.GetMacroblockCount(), 45);
}

} // namespace
} // namespace quillset
