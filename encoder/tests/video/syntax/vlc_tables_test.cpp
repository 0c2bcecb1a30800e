// The code tables of ISO/IEC 13818-2 Annex B: each decodable (prefix-free), complete where the
// standard's table is complete, with the code lengths and codes the standard prints.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "encoder/tests/video/syntax/syntax_test_support.h"
#include "encoder/video/macroblock_info.h"
#include "encoder/video/syntax/vlc_tables.h"

namespace quillset {
namespace {

using syntax_test::B;

std::string BitsOf(TVlcCode code) {
    std::string out;
    for (int32_t i = code.Length - 1; i >= 0; --i)
        out += ((code.Code >> i) & 1) ? '1' : '0';
    return out;
}

// No code is a prefix of another (codes of Length 0 are left out).
bool PrefixFree(const std::vector<TVlcCode>& codes, std::string* clash) {
    std::vector<std::string> bits;
    for (TVlcCode c : codes)
        if (c.Length != 0)
            bits.push_back(BitsOf(c));
    for (size_t i = 0; i < bits.size(); ++i)
        for (size_t j = 0; j < bits.size(); ++j)
            if (i != j && bits[j].compare(0, bits[i].size(), bits[i]) == 0) {
                *clash = bits[i] + " / " + bits[j];
                return false;
            }
    return true;
}

// Sum of 2^-length: 1 for a complete code. `signed` codes stand for two codes one bit longer.
double Kraft(const std::vector<TVlcCode>& codes) {
    double sum = 0;
    for (TVlcCode c : codes)
        if (c.Length != 0)
            sum += 1.0 / static_cast<double>(1u << c.Length);
    return sum;
}

template <size_t N>
std::vector<TVlcCode> ToVector(const std::array<TVlcCode, N>& table) {
    return std::vector<TVlcCode>(table.begin(), table.end());
}

std::vector<TVlcCode> DctContext(bool tableOne) {
    std::vector<TVlcCode> codes;
    for (const TDctCoefficientCode& e : DctCoefficientTable(tableOne))
        codes.push_back({e.Code, e.Length});
    codes.push_back(tableOne ? kEndOfBlockCodeTable1 : kEndOfBlockCodeTable0);
    codes.push_back(kDctEscapeCode);
    return codes;
}

struct TableCase {
    const char* name;
    std::vector<TVlcCode> codes;
    int32_t entries;  // codes present
    bool complete;    // the standard's table fills the whole code space
};

std::vector<TableCase> AllTables() {
    std::vector<TVlcCode> increments = ToVector(kMacroblockAddressIncrementCodes);
    increments.push_back(kMacroblockEscapeCode);
    return {
        {"B.1 address increment + escape", increments, 34, false},
        {"B.2 I types", ToVector(kMacroblockTypeCodesI), 2, false},
        {"B.3 P types", ToVector(kMacroblockTypeCodesP), 7, false},
        {"B.4 B types", ToVector(kMacroblockTypeCodesB), 11, false},
        {"B.9 coded_block_pattern", ToVector(kCodedBlockPatternCodes), 64, false},
        {"B.10 motion_code magnitudes", ToVector(kMotionCodeCodes), 17, false},
        {"B.12 dc size luminance", ToVector(kDCSizeLuminanceCodes), 12, true},
        {"B.13 dc size chrominance", ToVector(kDCSizeChrominanceCodes), 12, true},
        {"B.14 next coefficients", DctContext(false), 113, false},
        {"B.15 next coefficients", DctContext(true), 113, false},
    };
}

TEST(VlcTables, EveryTableIsPrefixFreeAndCompleteWhereTheStandardIs) {
    for (const TableCase& table : AllTables()) {
        SCOPED_TRACE(table.name);
        std::string clash;
        EXPECT_TRUE(PrefixFree(table.codes, &clash)) << clash;
        const auto present = std::count_if(table.codes.begin(), table.codes.end(),
                                           [](TVlcCode c) { return c.Length != 0; });
        EXPECT_EQ(present, table.entries);
        if (table.complete)
            EXPECT_DOUBLE_EQ(Kraft(table.codes), 1.0);
        else
            EXPECT_LE(Kraft(table.codes), 1.0);
    }
}

TEST(VlcTables, FirstCoefficientContextOfTableZeroIsPrefixFree) {
    // dct_coef_first: "1s" replaces "11s" and there is no end of block.
    std::vector<TVlcCode> codes;
    for (const TDctCoefficientCode& e : DctCoefficientTable(false))
        if (!(e.Run == 0 && e.Level == 1))
            codes.push_back({e.Code, e.Length});
    codes.push_back(kFirstCoefficientOneCode);
    codes.push_back(kDctEscapeCode);
    std::string clash;
    EXPECT_TRUE(PrefixFree(codes, &clash)) << clash;
}

TEST(VlcTables, CodeLengthsAreThoseOfTheStandard) {
    const std::vector<int> incrementLengths = {1, 3, 3, 4, 4, 5, 5, 7, 7, 8, 8, 8, 8, 8, 8, 10, 10,
                                               10, 10, 10, 10, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11};
    for (int i = 1; i <= 33; ++i)
        EXPECT_EQ(kMacroblockAddressIncrementCodes[static_cast<size_t>(i)].Length, incrementLengths[static_cast<size_t>(i - 1)])
            << "increment " << i;
    const std::vector<int> motionLengths = {1, 2, 3, 4, 6, 7, 7, 7, 9, 9, 9, 10, 10, 10, 10, 10, 10};
    for (int i = 0; i <= 16; ++i)
        EXPECT_EQ(kMotionCodeCodes[static_cast<size_t>(i)].Length, motionLengths[static_cast<size_t>(i)]) << "motion_code " << i;
    const std::vector<int> lumaLengths = {3, 2, 2, 3, 3, 4, 5, 6, 7, 8, 9, 9};
    const std::vector<int> chromaLengths = {2, 2, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(kDCSizeLuminanceCodes[static_cast<size_t>(i)].Length, lumaLengths[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(kDCSizeChrominanceCodes[static_cast<size_t>(i)].Length, chromaLengths[static_cast<size_t>(i)]) << i;
    }
    // Code lengths of coded_block_pattern by value: 3 bits for 60, 9 bits for 0, 27, 31, 39,
    // 47, 55, 59.
    EXPECT_EQ(kCodedBlockPatternCodes[60].Length, 3);
    for (int value : {0, 27, 31, 39, 47, 55, 59})
        EXPECT_EQ(kCodedBlockPatternCodes[static_cast<size_t>(value)].Length, 9) << value;
}

TEST(VlcTables, KnownCodes) {
    struct Case {
        const char* name;
        TVlcCode code;
        const char* bits;
    };
    const Case cases[] = {
        {"increment 1", kMacroblockAddressIncrementCodes[1], "1"},
        {"increment 11", kMacroblockAddressIncrementCodes[11], "0000 1010"},
        {"increment 33", kMacroblockAddressIncrementCodes[33], "0000 0011 000"},
        {"macroblock escape", kMacroblockEscapeCode, "0000 0001 000"},
        {"P MC coded", kMacroblockTypeCodesP[MBInfoFlag_Forward | MBInfoFlag_Pattern], "1"},
        {"P no MC coded", kMacroblockTypeCodesP[MBInfoFlag_Pattern], "01"},
        {"P MC not coded", kMacroblockTypeCodesP[MBInfoFlag_Forward], "001"},
        {"P intra quant", kMacroblockTypeCodesP[MBInfoFlag_Intra | MBInfoFlag_Quant], "0000 01"},
        {"B forward not coded", kMacroblockTypeCodesB[MBInfoFlag_Forward], "0010"},
        {"B interpolated coded quant",
         kMacroblockTypeCodesB[MBInfoFlag_Forward | MBInfoFlag_Backward | MBInfoFlag_Pattern | MBInfoFlag_Quant], "0001 0"},
        {"B backward coded quant", kMacroblockTypeCodesB[MBInfoFlag_Backward | MBInfoFlag_Pattern | MBInfoFlag_Quant],
         "0000 10"},
        {"cbp 0", kCodedBlockPatternCodes[0], "0000 0000 1"},
        {"cbp 60", kCodedBlockPatternCodes[60], "111"},
        {"cbp 63", kCodedBlockPatternCodes[63], "0011 00"},
        {"cbp 1", kCodedBlockPatternCodes[1], "0101 1"},
        {"motion_code 16", kMotionCodeCodes[16], "0000 0011 00"},
        {"motion_code 4", kMotionCodeCodes[4], "0000 11"},
        {"dc size luma 0", kDCSizeLuminanceCodes[0], "100"},
        {"dc size chroma 11", kDCSizeChrominanceCodes[11], "1111 1111 11"},
        {"end of block table zero", kEndOfBlockCodeTable0, "10"},
        {"end of block table one", kEndOfBlockCodeTable1, "0110"},
        {"escape", kDctEscapeCode, "0000 01"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BitsOf(c.code), B(c.bits)) << c.name;
}

std::string DctBits(bool tableOne, int run, int level) {
    for (const TDctCoefficientCode& e : DctCoefficientTable(tableOne))
        if (e.Run == run && e.Level == level)
            return BitsOf({e.Code, e.Length});
    return "none";
}

TEST(VlcTables, KnownDctCodes) {
    struct Case {
        bool tableOne;
        int run, level;
        const char* bits; // without sign
    };
    const Case cases[] = {
        {false, 0, 1, "11"},
        {false, 1, 1, "011"},
        {false, 0, 40, "0000 0000 0010 000"},
        {false, 31, 1, "0000 0000 0001 1011"},
        {false, 1, 18, "0000 0000 0001 0000"},
        {false, 6, 3, "0000 0000 0001 0100"},
        {true, 0, 1, "10"},
        {true, 0, 2, "110"},
        {true, 0, 4, "1110 0"},
        {true, 0, 15, "1111 1111"},
        {true, 2, 4, "0000 0011 00"},
        {true, 5, 2, "0000 0010 0"},
        {true, 0, 40, "0000 0000 0010 000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DctBits(c.tableOne, c.run, c.level), B(c.bits))
            << (c.tableOne ? "B.15" : "B.14") << " run " << c.run << " level " << c.level;
}

TEST(VlcTables, BothDctTablesHoldTheSameRunLevelPairs) {
    std::set<std::pair<int, int>> zero;
    std::set<std::pair<int, int>> one;
    for (const TDctCoefficientCode& e : DctCoefficientTable(false))
        zero.insert({e.Run, e.Level});
    for (const TDctCoefficientCode& e : DctCoefficientTable(true))
        one.insert({e.Run, e.Level});
    EXPECT_EQ(zero.size(), 111u);
    EXPECT_EQ(zero, one);
    // Runs per level as the standard lists them: level 1 runs 0..31, level 2 runs 0..16, ...
    for (int run = 0; run <= 31; ++run)
        EXPECT_TRUE(zero.count({run, 1})) << run;
    for (int level = 1; level <= 40; ++level)
        EXPECT_TRUE(zero.count({0, level})) << level;
    for (int level = 1; level <= 18; ++level)
        EXPECT_TRUE(zero.count({1, level})) << level;
}

TEST(VlcTables, WriterLookupMatchesTheTables) {
    for (bool tableOne : {false, true}) {
        const TDctLookup& lookup = DctCoefficientLookup(tableOne);
        std::set<std::pair<int, int>> listed;
        for (const TDctCoefficientCode& e : DctCoefficientTable(tableOne)) {
            listed.insert({e.Run, e.Level});
            const TVlcCode c = lookup.Codes[e.Run][e.Level];
            EXPECT_EQ(c.Length, e.Length + 1);
            EXPECT_EQ(c.Code, e.Code << 1);
        }
        for (int run = 0; run <= kDctLookupMaxRun; ++run)
            for (int level = 1; level <= kDctLookupMaxLevel; ++level)
                if (!listed.count({run, level})) {
                    EXPECT_EQ(lookup.Codes[run][level].Length, 0) << run << "/" << level;
                }
    }
}

} // namespace
} // namespace quillset
