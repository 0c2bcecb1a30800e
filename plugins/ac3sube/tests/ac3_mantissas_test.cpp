#include "plugins/ac3sube/ac3_mantissas.h"

#include <gtest/gtest.h>

#include <cmath>

#include "plugins/ac3sube/ac3_tables.h"

namespace quillset::ac3sube {
namespace {

// A/52 Tables 7.19 to 7.23: the symmetric quantisers' levels.
TEST(AC3MantissasTest, SymmetricLevels) {
    EXPECT_DOUBLE_EQ(MantissaValue(0, 1), -2.0 / 3);
    EXPECT_DOUBLE_EQ(MantissaValue(1, 1), 0.0);
    EXPECT_DOUBLE_EQ(MantissaValue(2, 1), 2.0 / 3);
    EXPECT_DOUBLE_EQ(MantissaValue(0, 2), -4.0 / 5);
    EXPECT_DOUBLE_EQ(MantissaValue(6, 3), 6.0 / 7);
    EXPECT_DOUBLE_EQ(MantissaValue(5, 4), 0.0);
    EXPECT_DOUBLE_EQ(MantissaValue(14, 5), 14.0 / 15);
}

// Every quantiser returns a code within its range whose value lies within half a step of the
// mantissa, over the whole range -1 .. 1 (the ends clamp to the outermost level).
TEST(AC3MantissasTest, QuantisersStayWithinHalfAStep) {
    for (int bap = 1; bap <= 15; ++bap) {
        const int levels = kQuantizerLevels[bap];
        const double step = levels != 0 ? 2.0 / levels : 2.0 / (1 << kMantissaBits[bap]);
        const int codes = levels != 0 ? levels : 1 << kMantissaBits[bap];
        for (int i = -1000; i <= 1000; ++i) {
            const double m = i / 1000.0 * 0.999999;
            const int code = QuantizeMantissa(m, bap);
            ASSERT_GE(code, 0) << "bap " << bap;
            ASSERT_LT(code, codes) << "bap " << bap;
            const double value = MantissaValue(code, bap);
            const double allowed = m >= 1.0 - step ? step : step / 2 + 1e-12; // the clamped top
            ASSERT_LE(std::fabs(value - m), allowed) << "bap " << bap << " m " << m;
        }
    }
}

TEST(AC3MantissasTest, TwosComplementWords) {
    EXPECT_EQ(QuantizeMantissa(-1.0, 6), 0x10);   // 5 bits, -16/16
    EXPECT_EQ(QuantizeMantissa(-0.0625, 6), 0x1f); // -1/16
    EXPECT_EQ(QuantizeMantissa(0.9999, 6), 0x0f);  // clamped to 15/16
    EXPECT_EQ(QuantizeMantissa(0.5, 15), 0x4000);  // 16 bits
    EXPECT_DOUBLE_EQ(MantissaValue(0x8000, 15), -1.0);
}

// Grouped codes: three bap-1 or bap-2 mantissas per 5- or 7-bit word, two bap-4 per 7-bit word;
// a started group costs the whole word.
TEST(AC3MantissasTest, BitCounterGroups) {
    struct Case {
        std::vector<uint8_t> baps;
        int bits;
    } cases[] = {{{1}, 5},          {{1, 1, 1}, 5},       {{1, 1, 1, 1}, 10}, {{2, 2}, 7},
                 {{2, 2, 2, 2}, 14}, {{4}, 7},             {{4, 4, 4}, 14},    {{3, 5, 6}, 3 + 4 + 5},
                 {{13, 14, 15}, 12 + 14 + 16}, {{0, 0}, 0}, {{1, 2, 4, 1}, 5 + 7 + 7}};
    for (const Case& c : cases) {
        TMantissaBitCounter counter;
        counter.Add(c.baps.data(), static_cast<int32_t>(c.baps.size()));
        EXPECT_EQ(counter.Bits(), c.bits);
    }
}

} // namespace
} // namespace quillset::ac3sube
