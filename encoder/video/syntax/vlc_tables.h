// The variable-length code tables of ISO/IEC 13818-2 Annex B (the same codes serve
// ISO/IEC 11172-2, which differs only in its escape for DCT coefficients). Codes are stored as
// their value in the low `Length` bits, most significant bit first as written. Sign bits are not
// part of the stored codes: where a table has one ("s"), the writer appends it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace quillset {

struct TVlcCode {
    uint16_t Code = 0;
    uint8_t Length = 0; // 0: no code (the value cannot be coded with this table)
};

// Table B.1, macroblock_address_increment 1..33 (index 0 unused).
extern const std::array<TVlcCode, 34> kMacroblockAddressIncrementCodes;
inline constexpr TVlcCode kMacroblockEscapeCode{0x008, 11}; // 0000 0001 000, adds 33

// Tables B.2 (I), B.3 (P), B.4 (B): macroblock_type indexed by its flags as a 5-bit value:
// intra 1, pattern 2, backward 4, forward 8, quant 16 (the low bits of TMBInfoFlag).
// Combinations a picture type does not allow have Length 0.
extern const std::array<TVlcCode, 32> kMacroblockTypeCodesI;
extern const std::array<TVlcCode, 32> kMacroblockTypeCodesP;
extern const std::array<TVlcCode, 32> kMacroblockTypeCodesB;
// The table of a picture_coding_type 1 (I), 2 (P) or 3 (B).
const std::array<TVlcCode, 32>& MacroblockTypeCodes(int32_t pictureCodingType);

// Table B.9, coded_block_pattern_420 0..63 (0 only in 4:2:2 and 4:4:4 streams).
extern const std::array<TVlcCode, 64> kCodedBlockPatternCodes;

// Table B.10, |motion_code| 0..16; a sign bit (1 = negative) follows every code but that of 0.
extern const std::array<TVlcCode, 17> kMotionCodeCodes;

// Tables B.12 (luminance) and B.13 (chrominance), dct_dc_size 0..11.
extern const std::array<TVlcCode, 12> kDCSizeLuminanceCodes;
extern const std::array<TVlcCode, 12> kDCSizeChrominanceCodes;

// One run/level entry of Table B.14 or B.15 (level > 0; the sign bit follows the code).
struct TDctCoefficientCode {
    uint8_t Run;
    uint8_t Level;
    uint16_t Code;
    uint8_t Length;
};

// Table B.14 (DCT coefficients table zero) and B.15 (table one): every run/level entry. The
// first coefficient of a non-intra block codes run 0, level 1 as "1s" instead of "11s" (B.14).
std::span<const TDctCoefficientCode> DctCoefficientTable(bool tableOne);
inline constexpr TVlcCode kEndOfBlockCodeTable0{0x2, 2}; // 10
inline constexpr TVlcCode kEndOfBlockCodeTable1{0x6, 4}; // 0110
inline constexpr TVlcCode kDctEscapeCode{0x01, 6};       // 0000 01
inline constexpr TVlcCode kFirstCoefficientOneCode{0x1, 1}; // "1" + sign: run 0, |level| 1

// Run/level look-up for the writer: the code with the sign bit's place appended (sign 0), and
// its length including that bit; Length 0 where the pair needs an escape.
inline constexpr int32_t kDctLookupMaxRun = 31;
inline constexpr int32_t kDctLookupMaxLevel = 40;
struct TDctLookup {
    // [run][level], level 1..40.
    TVlcCode Codes[kDctLookupMaxRun + 1][kDctLookupMaxLevel + 1];
};
const TDctLookup& DctCoefficientLookup(bool tableOne);

} // namespace quillset
