#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>

#include "encoder/video/motion/motion_search_tables.h"

namespace quillset {
namespace {

int32_t Ring(const TSearchOffset& o) { return std::max(std::abs(o.X), std::abs(o.Y)); }

TEST(SpiralOrderTest, StartsAtTheCentreThenTheTopLeftOfRingOne) {
    const auto& order = SpiralOrder();
    ASSERT_EQ(order.size(), 3969u);
    EXPECT_EQ(order[0], (TSearchOffset{0, 0}));
    EXPECT_EQ(order[1], (TSearchOffset{-1, -1}));
    EXPECT_EQ(order.back(), (TSearchOffset{31, 31}));
}

// Every offset of the 63 x 63 square appears once, rings never interleave, so that the first
// (2k + 1)^2 entries are exactly the square of radius k, which the searches rely on.
TEST(SpiralOrderTest, CoversTheSquareOnceRingByRing) {
    const auto& order = SpiralOrder();
    std::set<std::pair<int32_t, int32_t>> seen;
    for (size_t i = 0; i < order.size(); ++i) {
        ASSERT_LE(Ring(order[i]), 31) << i;
        ASSERT_TRUE(seen.insert({order[i].X, order[i].Y}).second) << "repeated at " << i;
        if (i > 0) {
            ASSERT_GE(Ring(order[i]), Ring(order[i - 1])) << i;
        }
    }
    for (int32_t k = 0; k <= 31; ++k)
        EXPECT_EQ(Ring(order[static_cast<size_t>((2 * k + 1) * (2 * k + 1) - 1)]), k);
}

// Within a ring: the top row left to right, then the sides row by row (left before right),
// then the bottom row left to right.
TEST(SpiralOrderTest, RingTwoIsInRowOrder) {
    const auto& order = SpiralOrder();
    const TSearchOffset ring2[16] = {{-2, -2}, {-1, -2}, {0, -2}, {1, -2}, {2, -2}, {-2, -1}, {2, -1}, {-2, 0},
                                     {2, 0},   {-2, 1},  {2, 1},  {-2, 2}, {-1, 2}, {0, 2},   {1, 2},  {2, 2}};
    for (int32_t i = 0; i < 16; ++i)
        EXPECT_EQ(order[static_cast<size_t>(9 + i)], ring2[i]) << i;
}

} // namespace
} // namespace quillset
