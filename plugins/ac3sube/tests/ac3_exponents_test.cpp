#include "plugins/ac3sube/ac3_exponents.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace quillset::ac3sube {
namespace {

TEST(AC3ExponentsTest, ExponentOfCoefficients) {
    struct Case {
        double value;
        int exponent;
    } cases[] = {{0.5, 0}, {0.999, 0}, {-0.75, 0}, {1.5, 0}, {0.4999, 1}, {-0.3, 1}, {0.25, 1}, {0.2499, 2},
                 {1.0 / (1 << 23), 22}, {1.0 / (1 << 24), 23}, {0.99 / (1 << 24), 24}, {1e-9, 24}, {0.0, 24}};
    for (const Case& c : cases)
        EXPECT_EQ(ExponentOf(c.value), c.exponent) << c.value;
}

// nchgrps of A/52 7.1.3 for the narrowest and the widest bandwidth.
TEST(AC3ExponentsTest, GroupCounts) {
    struct Case {
        TExponentStrategy strategy;
        int end, groups;
    } cases[] = {{ExponentStrategy_D15, 253, 84}, {ExponentStrategy_D25, 253, 42}, {ExponentStrategy_D45, 253, 21},
                 {ExponentStrategy_D15, 73, 24},  {ExponentStrategy_D25, 73, 12},  {ExponentStrategy_D45, 73, 6},
                 {ExponentStrategy_D25, 76, 13}};
    for (const Case& c : cases)
        EXPECT_EQ(ExponentGroupCount(c.strategy, c.end), c.groups) << int(c.strategy) << " " << c.end;
}

// What a decoder makes of a set (A/52 7.1.3): the absolute exponent, then three differences per
// 7-bit code, each applied to a group of 1, 2 or 4 bins.
std::vector<int> Decode(const TExponentSet& set, TExponentStrategy strategy, int end) {
    const int size = strategy == ExponentStrategy_D15 ? 1 : (strategy == ExponentStrategy_D25 ? 2 : 4);
    std::vector<int> exps(1, set.Absolute);
    int current = set.Absolute;
    for (int g = 0; g < set.GroupCount; ++g) {
        const int code = set.Groups[g];
        EXPECT_LT(code, 125);
        for (int d : {code / 25, (code % 25) / 5, code % 5}) {
            current += d - 2;
            for (int i = 0; i < size; ++i)
                exps.push_back(current);
        }
    }
    exps.resize(end);
    return exps;
}

class AC3ExponentCodingTest : public ::testing::TestWithParam<TExponentStrategy> {};

TEST_P(AC3ExponentCodingTest, DecodedSetNeverExceedsWhatIsWanted) {
    const TExponentStrategy strategy = GetParam();
    std::mt19937 random(11);
    for (int end : {73, 76, 139, 253}) {
        for (int trial = 0; trial < 20; ++trial) {
            std::vector<uint8_t> wanted(end);
            // Smooth spectra with cliffs and empty (24) stretches.
            int level = static_cast<int>(random() % 25);
            for (int bin = 0; bin < end; ++bin) {
                if (random() % 16 == 0)
                    level = static_cast<int>(random() % 25);
                wanted[bin] = static_cast<uint8_t>(std::clamp(level + static_cast<int>(random() % 3) - 1, 0, 24));
            }
            TExponentSet set;
            CodeExponents(wanted.data(), end, strategy, set);
            const std::vector<int> decoded = Decode(set, strategy, end);
            for (int bin = 0; bin < end; ++bin) {
                ASSERT_EQ(decoded[bin], set.Exponents[bin]) << "bin " << bin;
                ASSERT_LE(decoded[bin], wanted[bin]) << "bin " << bin;
                ASSERT_GE(decoded[bin], 0) << "bin " << bin;
            }
            EXPECT_LE(set.Absolute, 15);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Strategies, AC3ExponentCodingTest,
                         ::testing::Values(ExponentStrategy_D15, ExponentStrategy_D25, ExponentStrategy_D45));

// A step from loud to silent can fall by only 2 per group; the exponents climb as fast as the
// strategy allows and never exceed the wanted ones.
TEST(AC3ExponentsTest, CliffsAreClimbedTwoAtATime) {
    std::vector<uint8_t> wanted(73, 24);
    wanted[0] = 20; // bin 0 needs at most 15 (4 bits)
    wanted[1] = 2;
    TExponentSet set;
    CodeExponents(wanted.data(), 73, ExponentStrategy_D15, set);
    EXPECT_EQ(set.Absolute, 4);
    const int expected[] = {4, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 24};
    for (int bin = 0; bin < 14; ++bin)
        EXPECT_EQ(set.Exponents[bin], expected[bin]) << bin;
}

} // namespace
} // namespace quillset::ac3sube
