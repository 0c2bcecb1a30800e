// The macroblock layer at bit level: address escapes, both coefficient escapes, the 4:2:2
// pattern, the "No MC" form, skipping and quantiser changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoder/tests/video/syntax/syntax_test_support.h"
#include "encoder/video/syntax/header_writer.h"
#include "encoder/video/syntax/macroblock_writer.h"

namespace quillset {
namespace {

using syntax_test::B;
using syntax_test::TBitCapture;

struct Fixture {
    TMPEGVideoSyntaxState state;
    TBitCapture capture;

    Fixture(TMPEGVideoSequenceSyntax sequence, int32_t codingType, TMPEGVideoFCodes fCode = {{{1, 1}, {1, 1}}})
        : state(std::move(sequence)) {
        TMPEGVideoPictureHeader header;
        header.PictureCodingType = codingType;
        header.FCode = fCode;
        WritePictureHeader(capture.W(), state, header);
    }

    // Writes a macroblock; returns its bits (without the slice header that precedes a slice's
    // first macroblock) and whether it was skipped.
    std::string Write(int32_t x, int32_t y, TMBInfo& mb, const std::vector<int16_t>& blocks, bool* skipped = nullptr) {
        const bool startsSlice = state.Sequence.IsMPEG2 ? x == 0 : x == 0 && y == 0;
        int64_t start = capture.Position();
        if (startsSlice)
            start = (start + 7) / 8 * 8 + 32 + 5 + 1; // aligned start code, quantiser, extra bit
        const bool s = WriteMacroblock(capture.W(), state, x, y, mb, blocks.data());
        EXPECT_EQ(s, mb.Skipped != 0);
        if (skipped)
            *skipped = s;
        return capture.Bits(start, capture.Position());
    }
    std::string Write(int32_t x, int32_t y, TMBInfo&& mb, const std::vector<int16_t>& blocks, bool* skipped = nullptr) {
        return Write(x, y, mb, blocks, skipped);
    }
};

std::vector<int16_t> NoLevels(int32_t blocks = 6) {
    return std::vector<int16_t>(static_cast<size_t>(64 * blocks), 0);
}

TMBInfo Intra(int32_t quantiser = 8) {
    TMBInfo mb;
    mb.Flags = MBInfoFlag_Intra;
    mb.QuantiserCode = static_cast<uint8_t>(quantiser);
    return mb;
}

TMBInfo Forward(int32_t dx, int32_t dy, int32_t quantiser = 8) {
    TMBInfo mb;
    mb.Flags = MBInfoFlag_Forward;
    mb.MotionType = MBMotionType_Frame;
    mb.Forward[0].MvX = dx;
    mb.Forward[0].MvY = dy;
    mb.QuantiserCode = static_cast<uint8_t>(quantiser);
    return mb;
}

TEST(MacroblockWriter, AddressIncrementOf44IsAnEscapePlus11) {
    Fixture f(syntax_test::TestSequence(true, 45, 1), kPictureCodingTypeP);
    std::string last;
    for (int32_t x = 0; x < 45; ++x) {
        bool skipped = false;
        const std::string bits = f.Write(x, 0, Forward(0, 0), NoLevels(), &skipped);
        EXPECT_EQ(skipped, x != 0 && x != 44) << x;
        if (x == 44)
            last = bits;
    }
    // escape, increment 11, "MC not coded", vector (0, 0) against reset predictors.
    EXPECT_EQ(last, B("0000 0001 000" "0000 1010" "001" "1" "1"));
}

TEST(MacroblockWriter, EscapedLevelsInBothStandards) {
    struct Case {
        bool mpeg2;
        int32_t level;
        const char* levelBits;
    };
    const Case cases[] = {
        {false, -128, "1000 0000 1000 0000"},
        {false, 128, "0000 0000 1000 0000"},
        {false, 255, "0000 0000 1111 1111"},
        {false, -255, "1000 0000 0000 0001"},
        {false, 127, "0111 1111"},
        {false, -127, "1000 0001"},
        {false, 41, "0010 1001"},
        {true, 41, "0000 0010 1001"},
        {true, -2047, "1000 0000 0001"},
        {true, 2047, "0111 1111 1111"},
        // Outside the escape's range: limited rather than wrapped.
        {true, 3000, "0111 1111 1111"},
        {false, -300, "1000 0000 0000 0001"},
    };
    for (const Case& c : cases) {
        Fixture f(syntax_test::TestSequence(c.mpeg2, 1, 1), kPictureCodingTypeI);
        std::vector<int16_t> blocks = NoLevels();
        blocks[8] = static_cast<int16_t>(c.level); // zigzag position 1: run 0
        const std::string bits = f.Write(0, 0, Intra(), blocks);
        const std::string eob = c.mpeg2 ? "0110" : "10";
        const std::string expected = B("1" "1" "100" "0000 01" "000000") + B(c.levelBits) + eob + // block 0
                                     ("100" + eob) + ("100" + eob) + ("100" + eob) +         // blocks 1..3
                                     ("00" + eob) + ("00" + eob);                               // Cb, Cr
        EXPECT_EQ(bits, expected) << (c.mpeg2 ? "MPEG-2 " : "MPEG-1 ") << c.level;
    }
}

TEST(MacroblockWriter, Pattern422WithOnlyTheLastCrBlock) {
    Fixture f(syntax_test::TestSequence(true, 1, 1, 2), kPictureCodingTypeP);
    std::vector<int16_t> blocks = NoLevels(8);
    blocks[64 * 7] = 1;
    TMBInfo mb = Forward(2, 0);
    const std::string bits = f.Write(0, 0, mb, blocks);
    // increment, "MC coded", vector (+2: "001" + sign, 0: "1"), pattern 0 + "01", block 7
    // ("1s" first coefficient, end of block).
    EXPECT_EQ(bits, B("1" "1" "0010" "1" "0000 0000 1" "01" "10" "10"));
}

TEST(MacroblockWriter, CodedZeroVectorPMacroblockIsNoMCAndResetsPredictors) {
    Fixture f(syntax_test::TestSequence(true, 3, 1), kPictureCodingTypeP);
    std::vector<int16_t> blocks = NoLevels();
    blocks[0] = 1;
    f.Write(0, 0, Forward(4, 0), blocks); // predictor becomes (4, 0)
    // Zero vector with a coded block: "No MC, coded", no vectors, predictors reset.
    EXPECT_EQ(f.Write(1, 0, Forward(0, 0), blocks), B("1" "01" "1010" "10" "10"));
    // (4, 0) again: coded against 0, not against the earlier (4, 0).
    EXPECT_EQ(f.Write(2, 0, Forward(4, 0), NoLevels()), B("1" "001" "0000 110" "1"));
}

TEST(MacroblockWriter, SkippingRulesInBPictures) {
    struct Step {
        TMBInfo mb;
        bool skipped;
    };
    TMBInfo bidirectional;
    bidirectional.Flags = MBInfoFlag_Forward | MBInfoFlag_Backward;
    bidirectional.MotionType = MBMotionType_Frame;
    bidirectional.Forward[0].MvX = 2;
    bidirectional.Backward[0].MvY = -2;
    TMBInfo otherVector = bidirectional;
    otherVector.Backward[0].MvY = -4;
    TMBInfo forwardOnly = Forward(2, 0);
    const std::vector<Step> steps = {
        {bidirectional, false}, // first of the slice
        {bidirectional, true},  // same directions, vectors equal the predictors
        {bidirectional, true},
        {otherVector, false},   // vector differs
        {otherVector, true},
        {forwardOnly, false},   // directions differ
        {Intra(), false},
        {forwardOnly, false},   // nothing to repeat after an intra macroblock
        {forwardOnly, true},
        {forwardOnly, false},   // last of the slice
    };
    Fixture f(syntax_test::TestSequence(true, static_cast<int32_t>(steps.size()), 1), kPictureCodingTypeB);
    for (size_t i = 0; i < steps.size(); ++i) {
        bool skipped = false;
        TMBInfo mb = steps[i].mb;
        f.Write(static_cast<int32_t>(i), 0, mb, NoLevels(), &skipped);
        EXPECT_EQ(skipped, steps[i].skipped) << "macroblock " << i;
    }
}

TEST(MacroblockWriter, FieldPredictedMacroblocksAreNeverSkipped) {
    Fixture f(syntax_test::TestSequence(true, 4, 1, 1, true), kPictureCodingTypeP);
    TMBInfo field;
    field.Flags = MBInfoFlag_Forward;
    field.MotionType = MBMotionType_Field;
    field.Forward[1].FieldSelect = 1;
    for (int32_t x = 0; x < 4; ++x) {
        bool skipped = true;
        const std::string bits = f.Write(x, 0, field, NoLevels(), &skipped);
        EXPECT_FALSE(skipped) << x;
        if (x == 1) { // "MC not coded", field motion, select 0, (0, 0), select 1, (0, 0)
            EXPECT_EQ(bits, B("1" "001" "01" "0" "1" "1" "1" "1" "1"));
        }
    }
}

TEST(MacroblockWriter, QuantiserIsWrittenOnlyWhenItMatters) {
    Fixture f(syntax_test::TestSequence(true, 4, 1), kPictureCodingTypeI);
    std::vector<int16_t> dcOnly = NoLevels();
    std::vector<int16_t> withAC = NoLevels();
    withAC[8] = 1;
    f.Write(0, 0, Intra(8), dcOnly);
    EXPECT_EQ(f.state.CurrentQuantiser, 8);
    // DC-only: the new quantiser does not change any value, so it is not sent.
    EXPECT_EQ(f.Write(1, 0, Intra(12), dcOnly).substr(0, 2), "11");
    EXPECT_EQ(f.state.CurrentQuantiser, 8);
    // With AC levels: "Intra, quant" and the 5-bit code.
    EXPECT_EQ(f.Write(2, 0, Intra(12), withAC).substr(0, 8), "1" "01" "01100");
    EXPECT_EQ(f.state.CurrentQuantiser, 12);
}

TEST(MacroblockWriter, NoResidualMacroblockIgnoresItsLevels) {
    Fixture f(syntax_test::TestSequence(true, 3, 1), kPictureCodingTypeP);
    std::vector<int16_t> garbage(6 * 64, 5);
    TMBInfo mb = Forward(0, 0);
    mb.Flags |= MBInfoFlag_NoResidual;
    f.Write(0, 0, mb, garbage);
    bool skipped = false;
    f.Write(1, 0, mb, garbage, &skipped);
    EXPECT_TRUE(skipped);
    EXPECT_EQ(mb.CodedBlockPattern, 0);
}

} // namespace
} // namespace quillset
