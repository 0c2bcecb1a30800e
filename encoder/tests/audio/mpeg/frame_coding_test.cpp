// The pieces a frame is made of: the CRC, sample quantisation and the scalefactor selection
// patterns of Layer II.
#include "encoder/audio/mpeg/frame_encoder.h"

#include <gtest/gtest.h>

namespace quillset::mpa {
namespace {

TEST(FrameCRCTest, MatchesTheCheckValueOfTheMPEGPolynomial) {
    // CRC-16 with polynomial 0x8005, initial 0xFFFF, no reflection and no final xor: the check
    // value over "123456789" is 0xAEE7.
    FrameCRC crc;
    for (char c : std::string("123456789"))
        crc.Add(static_cast<uint8_t>(c), 8);
    EXPECT_EQ(crc.Get(), 0xAEE7);
}

TEST(FrameCRCTest, FieldsOfAnyWidthEqualTheirBits) {
    FrameCRC wide, narrow;
    wide.Add(0xB5A3, 16);
    wide.Add(0x5, 3);
    for (uint32_t bit : {1u, 0u, 1u, 1u, 0u, 1u, 0u, 1u, 1u, 0u, 1u, 0u, 0u, 0u, 1u, 1u, 1u, 0u, 1u})
        narrow.Add(bit, 1);
    EXPECT_EQ(wide.Get(), narrow.Get());
}

TEST(QuantizeSampleTest, MidTreadCodesWithinRange) {
    for (const QuantClass& q : kQuantClasses) {
        EXPECT_EQ(QuantizeSample(-1.0f, q), 0u) << q.Steps;
        EXPECT_EQ(QuantizeSample(0.0f, q), static_cast<uint32_t>(q.Steps / 2)) << q.Steps;
        // A sample at the scalefactor itself would reach code `steps`: it stays on the top code.
        EXPECT_EQ(QuantizeSample(1.0f, q), static_cast<uint32_t>(q.Steps - 1)) << q.Steps;
        EXPECT_EQ(QuantizeSample(1.5f, q), static_cast<uint32_t>(q.Steps - 1)) << q.Steps;
        EXPECT_EQ(QuantizeSample(-1.5f, q), 0u) << q.Steps;
    }
    // Three steps: decisions at -1/3 and +1/3.
    const QuantClass& three = *FindQuantClass(3);
    EXPECT_EQ(QuantizeSample(-0.34f, three), 0u);
    EXPECT_EQ(QuantizeSample(-0.32f, three), 1u);
    EXPECT_EQ(QuantizeSample(0.32f, three), 1u);
    EXPECT_EQ(QuantizeSample(0.34f, three), 2u);
}

TEST(QuantizeSampleTest, ReconstructionErrorIsWithinHalfAStep) {
    for (const QuantClass& q : kQuantClasses) {
        const float step = 2.0f / static_cast<float>(q.Steps);
        for (float x = -0.999f; x < 1.0f; x += 0.0173f) {
            const uint32_t code = QuantizeSample(x, q);
            const float level = (static_cast<float>(code) - static_cast<float>(q.Steps - 1) / 2.0f) * step;
            EXPECT_LE(std::abs(level - x), step / 2.0f + 1e-5f) << q.Steps << " x " << x;
        }
    }
}

struct SelectionCase {
    int32_t scf[3];
    int32_t selection;
    int32_t used[3];
};

class ScalefactorSelectionTest : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(ScalefactorSelectionTest, FollowsTheTransmissionPatterns) {
    const SelectionCase& c = GetParam();
    int32_t used[3] = {-1, -1, -1};
    EXPECT_EQ(SelectScalefactors(c.scf, used), c.selection);
    for (int32_t part = 0; part < 3; ++part) {
        EXPECT_EQ(used[part], c.used[part]) << "part " << part;
        // Never a smaller scalefactor (larger index) than the part's own: no clipping.
        EXPECT_LE(used[part], c.scf[part]) << "part " << part;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, ScalefactorSelectionTest,
    ::testing::Values(SelectionCase{{10, 10, 10}, 2, {10, 10, 10}},  // 111
                      SelectionCase{{10, 20, 30}, 0, {10, 20, 30}},  // far apart: 123
                      SelectionCase{{10, 11, 11}, 2, {10, 10, 10}},  // 111
                      SelectionCase{{12, 11, 10}, 2, {10, 10, 10}},  // 333
                      SelectionCase{{12, 11, 20}, 2, {11, 11, 11}},  // 222
                      SelectionCase{{10, 11, 9}, 2, {9, 9, 9}},      // 444: the largest scalefactor
                      SelectionCase{{10, 20, 20}, 3, {10, 20, 20}},  // 122
                      SelectionCase{{10, 21, 20}, 3, {10, 20, 20}},  // 133
                      SelectionCase{{10, 11, 20}, 1, {10, 10, 20}},  // 113
                      SelectionCase{{20, 10, 11}, 3, {20, 10, 10}},  // 122 from class 5
                      SelectionCase{{62, 62, 62}, 2, {62, 62, 62}}));

} // namespace
} // namespace quillset::mpa
