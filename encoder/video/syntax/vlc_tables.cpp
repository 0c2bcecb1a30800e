// Code tables of ISO/IEC 13818-2 Annex B, written as the standard prints them (bit strings with
// spaces for reading) and converted at compile time.
#include "encoder/video/syntax/vlc_tables.h"

namespace quillset {

namespace {

// "0000 0101 11" -> {0x017, 10}. Spaces are ignored.
constexpr TVlcCode Vlc(const char* bits) {
    TVlcCode code;
    for (const char* p = bits; *p != '\0'; ++p) {
        if (*p == ' ')
            continue;
        code.Code = static_cast<uint16_t>((code.Code << 1) | (*p == '1' ? 1 : 0));
        ++code.Length;
    }
    return code;
}

struct TDctRow {
    uint8_t Run;
    uint8_t Level;
    const char* Bits; // without the sign bit
};

constexpr TDctCoefficientCode FromRow(const TDctRow& row) {
    const TVlcCode code = Vlc(row.Bits);
    return {row.Run, row.Level, code.Code, code.Length};
}

// Macroblock type flags as table index.
constexpr int32_t kI = 1;  // intra
constexpr int32_t kC = 2;  // pattern (coded)
constexpr int32_t kBw = 4; // backward
constexpr int32_t kFw = 8; // forward
constexpr int32_t kQ = 16; // quant

struct TTypeRow {
    int32_t Flags;
    const char* Bits;
};

template <size_t N>
constexpr std::array<TVlcCode, 32> TypeTable(const TTypeRow (&rows)[N]) {
    std::array<TVlcCode, 32> table{};
    for (const TTypeRow& row : rows)
        table[static_cast<size_t>(row.Flags)] = Vlc(row.Bits);
    return table;
}

constexpr TTypeRow kTypeRowsI[] = {
    {kI, "1"},
    {kQ | kI, "01"},
};

constexpr TTypeRow kTypeRowsP[] = {
    {kFw | kC, "1"},
    {kC, "01"},
    {kFw, "001"},
    {kI, "0001 1"},
    {kQ | kFw | kC, "0001 0"},
    {kQ | kC, "0000 1"},
    {kQ | kI, "0000 01"},
};

constexpr TTypeRow kTypeRowsB[] = {
    {kFw | kBw, "10"},
    {kFw | kBw | kC, "11"},
    {kBw, "010"},
    {kBw | kC, "011"},
    {kFw, "0010"},
    {kFw | kC, "0011"},
    {kI, "0001 1"},
    {kQ | kFw | kBw | kC, "0001 0"},
    {kQ | kFw | kC, "0000 11"},
    {kQ | kBw | kC, "0000 10"},
    {kQ | kI, "0000 01"},
};

// Table B.9, coded_block_pattern_420 by value.
constexpr const char* kCbpBits[64] = {
    "0000 0000 1", "0101 1",     "0100 1",    "0011 01",   // 0..3
    "1101",        "0010 111",   "0010 011",  "0001 1111", // 4..7
    "1100",        "0010 110",   "0010 010",  "0001 1110", // 8..11
    "1001 1",      "0001 1011",  "0001 0111", "0001 0011", // 12..15
    "1011",        "0010 101",   "0010 001",  "0001 1101", // 16..19
    "1000 1",      "0001 1001",  "0001 0101", "0001 0001", // 20..23
    "0011 11",     "0000 1111",  "0000 1101", "0000 0001 1", // 24..27
    "0111 1",      "0000 1011",  "0000 0111", "0000 0011 1", // 28..31
    "1010",        "0010 100",   "0010 000",  "0001 1100", // 32..35
    "0011 10",     "0000 1110",  "0000 1100", "0000 0001 0", // 36..39
    "1000 0",      "0001 1000",  "0001 0100", "0001 0000", // 40..43
    "0111 0",      "0000 1010",  "0000 0110", "0000 0011 0", // 44..47
    "1001 0",      "0001 1010",  "0001 0110", "0001 0010", // 48..51
    "0110 1",      "0000 1001",  "0000 0101", "0000 0010 1", // 52..55
    "0110 0",      "0000 1000",  "0000 0100", "0000 0010 0", // 56..59
    "111",         "0101 0",     "0100 0",    "0011 00",   // 60..63
};

// Table B.1 by increment (index 0 unused).
constexpr const char* kIncrementBits[34] = {
    "",
    "1",            "011",          "010",          "0011",         "0010",         // 1..5
    "0001 1",       "0001 0",       "0000 111",     "0000 110",     "0000 1011",    // 6..10
    "0000 1010",    "0000 1001",    "0000 1000",    "0000 0111",    "0000 0110",    // 11..15
    "0000 0101 11", "0000 0101 10", "0000 0101 01", "0000 0101 00", "0000 0100 11", // 16..20
    "0000 0100 10", "0000 0100 011", "0000 0100 010", "0000 0100 001", "0000 0100 000", // 21..25
    "0000 0011 111", "0000 0011 110", "0000 0011 101", "0000 0011 100", "0000 0011 011", // 26..30
    "0000 0011 010", "0000 0011 001", "0000 0011 000", // 31..33
};

// Table B.10 by |motion_code|.
constexpr const char* kMotionBits[17] = {
    "1",           "01",          "001",         "0001",        "0000 11",     // 0..4
    "0000 101",    "0000 100",    "0000 011",    "0000 0101 1", "0000 0101 0", // 5..9
    "0000 0100 1", "0000 0100 01", "0000 0100 00", "0000 0011 11", "0000 0011 10", // 10..14
    "0000 0011 01", "0000 0011 00", // 15..16
};

constexpr const char* kDCLumaBits[12] = {
    "100", "00", "01", "101", "110", "1110", "1111 0", "1111 10", "1111 110", "1111 1110",
    "1111 1111 0", "1111 1111 1",
};

constexpr const char* kDCChromaBits[12] = {
    "00", "01", "10", "110", "1110", "1111 0", "1111 10", "1111 110", "1111 1110", "1111 1111 0",
    "1111 1111 10", "1111 1111 11",
};

template <size_t N>
constexpr std::array<TVlcCode, N> CodeTable(const char* const (&bits)[N]) {
    std::array<TVlcCode, N> table{};
    for (size_t i = 0; i < N; ++i)
        table[i] = Vlc(bits[i]);
    return table;
}

// The entries from "0000 0000 1011 0" on: Tables B.14 and B.15 give them the same codes, and both
// tables list them last in this order.
constexpr TDctRow kSharedTailRows[] = {
    {1, 6, "0000 0000 1011 0"},
    {1, 7, "0000 0000 1010 1"},
    {2, 5, "0000 0000 1010 0"},
    {3, 4, "0000 0000 1001 1"},
    {5, 3, "0000 0000 1001 0"},
    {9, 2, "0000 0000 1000 1"},
    {10, 2, "0000 0000 1000 0"},
    {22, 1, "0000 0000 1111 1"},
    {23, 1, "0000 0000 1111 0"},
    {24, 1, "0000 0000 1110 1"},
    {25, 1, "0000 0000 1110 0"},
    {26, 1, "0000 0000 1101 1"},
    {0, 16, "0000 0000 0111 11"},
    {0, 17, "0000 0000 0111 10"},
    {0, 18, "0000 0000 0111 01"},
    {0, 19, "0000 0000 0111 00"},
    {0, 20, "0000 0000 0110 11"},
    {0, 21, "0000 0000 0110 10"},
    {0, 22, "0000 0000 0110 01"},
    {0, 23, "0000 0000 0110 00"},
    {0, 24, "0000 0000 0101 11"},
    {0, 25, "0000 0000 0101 10"},
    {0, 26, "0000 0000 0101 01"},
    {0, 27, "0000 0000 0101 00"},
    {0, 28, "0000 0000 0100 11"},
    {0, 29, "0000 0000 0100 10"},
    {0, 30, "0000 0000 0100 01"},
    {0, 31, "0000 0000 0100 00"},
    {0, 32, "0000 0000 0011 000"},
    {0, 33, "0000 0000 0010 111"},
    {0, 34, "0000 0000 0010 110"},
    {0, 35, "0000 0000 0010 101"},
    {0, 36, "0000 0000 0010 100"},
    {0, 37, "0000 0000 0010 011"},
    {0, 38, "0000 0000 0010 010"},
    {0, 39, "0000 0000 0010 001"},
    {0, 40, "0000 0000 0010 000"},
    {1, 8, "0000 0000 0011 111"},
    {1, 9, "0000 0000 0011 110"},
    {1, 10, "0000 0000 0011 101"},
    {1, 11, "0000 0000 0011 100"},
    {1, 12, "0000 0000 0011 011"},
    {1, 13, "0000 0000 0011 010"},
    {1, 14, "0000 0000 0011 001"},
    {1, 15, "0000 0000 0001 0011"},
    {1, 16, "0000 0000 0001 0010"},
    {1, 17, "0000 0000 0001 0001"},
    {1, 18, "0000 0000 0001 0000"},
    {6, 3, "0000 0000 0001 0100"},
    {11, 2, "0000 0000 0001 1010"},
    {12, 2, "0000 0000 0001 1001"},
    {13, 2, "0000 0000 0001 1000"},
    {14, 2, "0000 0000 0001 0111"},
    {15, 2, "0000 0000 0001 0110"},
    {16, 2, "0000 0000 0001 0101"},
    {27, 1, "0000 0000 0001 1111"},
    {28, 1, "0000 0000 0001 1110"},
    {29, 1, "0000 0000 0001 1101"},
    {30, 1, "0000 0000 0001 1100"},
    {31, 1, "0000 0000 0001 1011"},
};

// Table B.14, every run/level entry (the "11s" form of run 0, level 1), kSharedTailRows last.
constexpr TDctRow kTableZeroRows[] = {
    {0, 1, "11"},
    {1, 1, "011"},
    {0, 2, "0100"},
    {2, 1, "0101"},
    {0, 3, "0010 1"},
    {3, 1, "0011 1"},
    {4, 1, "0011 0"},
    {1, 2, "0001 10"},
    {5, 1, "0001 11"},
    {6, 1, "0001 01"},
    {7, 1, "0001 00"},
    {0, 4, "0000 110"},
    {2, 2, "0000 100"},
    {8, 1, "0000 111"},
    {9, 1, "0000 101"},
    {0, 5, "0010 0110"},
    {0, 6, "0010 0001"},
    {1, 3, "0010 0101"},
    {3, 2, "0010 0100"},
    {10, 1, "0010 0111"},
    {11, 1, "0010 0011"},
    {12, 1, "0010 0010"},
    {13, 1, "0010 0000"},
    {0, 7, "0000 0010 10"},
    {1, 4, "0000 0011 00"},
    {2, 3, "0000 0010 11"},
    {4, 2, "0000 0011 11"},
    {5, 2, "0000 0010 01"},
    {14, 1, "0000 0011 10"},
    {15, 1, "0000 0011 01"},
    {16, 1, "0000 0010 00"},
    {0, 8, "0000 0001 1101"},
    {0, 9, "0000 0001 1000"},
    {0, 10, "0000 0001 0011"},
    {0, 11, "0000 0001 0000"},
    {1, 5, "0000 0001 1011"},
    {2, 4, "0000 0001 0100"},
    {3, 3, "0000 0001 1100"},
    {4, 3, "0000 0001 0010"},
    {6, 2, "0000 0001 1110"},
    {7, 2, "0000 0001 0101"},
    {8, 2, "0000 0001 0001"},
    {17, 1, "0000 0001 1111"},
    {18, 1, "0000 0001 1010"},
    {19, 1, "0000 0001 1001"},
    {20, 1, "0000 0001 0111"},
    {21, 1, "0000 0001 0110"},
    {0, 12, "0000 0000 1101 0"},
    {0, 13, "0000 0000 1100 1"},
    {0, 14, "0000 0000 1100 0"},
    {0, 15, "0000 0000 1011 1"},
};

// Table B.15: the entries whose codes differ from Table B.14 are listed first; from the 12-bit
// codes on, the tables agree except for run 0, levels 8 to 15, which B.15 codes with 7 and 8 bits.
constexpr TDctRow kTableOneRows[] = {
    {0, 1, "10"},
    {1, 1, "010"},
    {0, 2, "110"},
    {0, 3, "0111"},
    {2, 1, "0010 1"},
    {1, 2, "0011 0"},
    {3, 1, "0011 1"},
    {0, 4, "1110 0"},
    {0, 5, "1110 1"},
    {0, 7, "0001 00"},
    {0, 6, "0001 01"},
    {4, 1, "0001 10"},
    {5, 1, "0001 11"},
    {7, 1, "0000 100"},
    {8, 1, "0000 101"},
    {6, 1, "0000 110"},
    {2, 2, "0000 111"},
    {9, 1, "1111 000"},
    {1, 3, "1111 001"},
    {10, 1, "1111 010"},
    {0, 8, "1111 011"},
    {0, 9, "1111 100"},
    {1, 5, "0010 0000"},
    {11, 1, "0010 0001"},
    {0, 11, "0010 0010"},
    {0, 10, "0010 0011"},
    {13, 1, "0010 0100"},
    {12, 1, "0010 0101"},
    {3, 2, "0010 0110"},
    {1, 4, "0010 0111"},
    {0, 12, "1111 1010"},
    {0, 13, "1111 1011"},
    {2, 3, "1111 1100"},
    {4, 2, "1111 1101"},
    {0, 14, "1111 1110"},
    {0, 15, "1111 1111"},
    {5, 2, "0000 0010 0"},
    {14, 1, "0000 0010 1"},
    {15, 1, "0000 0011 1"},
    {2, 4, "0000 0011 00"},
    {16, 1, "0000 0011 01"},
    // From here as Table B.14.
    {4, 3, "0000 0001 0010"},
    {6, 2, "0000 0001 1110"},
    {7, 2, "0000 0001 0101"},
    {8, 2, "0000 0001 0001"},
    {3, 3, "0000 0001 1100"},
    {17, 1, "0000 0001 1111"},
    {18, 1, "0000 0001 1010"},
    {19, 1, "0000 0001 1001"},
    {20, 1, "0000 0001 0111"},
    {21, 1, "0000 0001 0110"},
};

// A table's own entries followed by kSharedTailRows.
template <size_t N>
constexpr auto DctTable(const TDctRow (&rows)[N]) {
    constexpr size_t kTail = std::size(kSharedTailRows);
    std::array<TDctCoefficientCode, N + kTail> table{};
    for (size_t i = 0; i < N; ++i)
        table[i] = FromRow(rows[i]);
    for (size_t i = 0; i < kTail; ++i)
        table[N + i] = FromRow(kSharedTailRows[i]);
    return table;
}

constexpr auto kTableZero = DctTable(kTableZeroRows);
constexpr auto kTableOne = DctTable(kTableOneRows);

template <size_t N>
constexpr TDctLookup BuildLookup(const std::array<TDctCoefficientCode, N>& table) {
    TDctLookup lookup{};
    for (const TDctCoefficientCode& entry : table)
        lookup.Codes[entry.Run][entry.Level] =
            TVlcCode{static_cast<uint16_t>(entry.Code << 1), static_cast<uint8_t>(entry.Length + 1)};
    return lookup;
}

constexpr TDctLookup kLookupZero = BuildLookup(kTableZero);
constexpr TDctLookup kLookupOne = BuildLookup(kTableOne);

} // namespace

const std::array<TVlcCode, 34> kMacroblockAddressIncrementCodes = CodeTable(kIncrementBits);
const std::array<TVlcCode, 32> kMacroblockTypeCodesI = TypeTable(kTypeRowsI);
const std::array<TVlcCode, 32> kMacroblockTypeCodesP = TypeTable(kTypeRowsP);
const std::array<TVlcCode, 32> kMacroblockTypeCodesB = TypeTable(kTypeRowsB);
const std::array<TVlcCode, 64> kCodedBlockPatternCodes = CodeTable(kCbpBits);
const std::array<TVlcCode, 17> kMotionCodeCodes = CodeTable(kMotionBits);
const std::array<TVlcCode, 12> kDCSizeLuminanceCodes = CodeTable(kDCLumaBits);
const std::array<TVlcCode, 12> kDCSizeChrominanceCodes = CodeTable(kDCChromaBits);

const std::array<TVlcCode, 32>& MacroblockTypeCodes(int32_t pictureCodingType) {
    switch (pictureCodingType) {
    case 1:
        return kMacroblockTypeCodesI;
    case 2:
        return kMacroblockTypeCodesP;
    default:
        return kMacroblockTypeCodesB;
    }
}

std::span<const TDctCoefficientCode> DctCoefficientTable(bool tableOne) {
    if (tableOne)
        return kTableOne;
    return kTableZero;
}

const TDctLookup& DctCoefficientLookup(bool tableOne) {
    return tableOne ? kLookupOne : kLookupZero;
}

} // namespace quillset
