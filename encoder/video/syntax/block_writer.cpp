#include "encoder/video/syntax/block_writer.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

#include "encoder/video/syntax/scan_tables.h"
#include "encoder/video/syntax/vlc_tables.h"

namespace quillset {

namespace {

// OR of the 16-bit levels [from, 64) of a block, read in 64-bit words where possible.
uint64_t OrOfLevels(const int16_t* block, int32_t from) {
    uint64_t bits = 0;
    int32_t i = from;
    for (; (i & 3) != 0; ++i)
        bits |= static_cast<uint16_t>(block[i]);
    for (; i < 64; i += 4) {
        uint64_t word;
        std::memcpy(&word, block + i, sizeof(word));
        bits |= word;
    }
    return bits;
}

// The number of non-zero levels of a block, element 0 left out when skipDC. A plain count over
// the storage order that compilers vectorise; it lets the scan stop at the last level instead
// of walking the trailing zeros.
int32_t CountLevels(const int16_t* block, bool skipDC) {
    int32_t count = 0;
    for (int32_t i = 0; i < 64; ++i)
        count += block[i] != 0 ? 1 : 0;
    return count - (skipDC && block[0] != 0 ? 1 : 0);
}

// The escape: 0000 01, run (6 bits), then the level in 12 bits (ISO/IEC 13818-2) or in the
// 8- and 16-bit forms of ISO/IEC 11172-2.
void PutEscape(TLargeBitStreamWriter& writer, int32_t run, int32_t level, bool mpeg2) {
    writer.PutBits((static_cast<uint32_t>(kDctEscapeCode.Code) << 6) | static_cast<uint32_t>(run), 12);
    if (mpeg2) {
        level = std::clamp(level, -2047, 2047);
        writer.PutBits(static_cast<uint32_t>(level) & 0xFFF, 12);
        return;
    }
    level = std::clamp(level, -255, 255);
    if (level >= -127 && level <= 127)
        writer.PutBits(static_cast<uint32_t>(level) & 0xFF, 8);
    else
        writer.PutBits((level > 0 ? 0x0000u : 0x8000u) | (static_cast<uint32_t>(level) & 0xFF), 16);
}

// Run/level pairs from scan position `start`, then the end of block. With firstSpecial the
// first pair, when it is run 0 and level +-1, takes the short "1s" code.
void PutLevels(TLargeBitStreamWriter& writer, const TMPEGVideoSyntaxState& state, const int16_t* block, int32_t start,
               bool tableOne, bool firstSpecial) {
    const uint8_t* scan = CoefficientScan(state.Picture.AlternateScan).data();
    const TDctLookup& lookup = DctCoefficientLookup(tableOne);
    const bool mpeg2 = state.Sequence.IsMPEG2;
    int32_t run = 0;
    int32_t remaining = CountLevels(block, start > 0);
    for (int32_t i = start; remaining > 0; ++i) {
        const int32_t level = block[scan[i]];
        if (level == 0) {
            ++run;
            continue;
        }
        --remaining;
        const uint32_t sign = level < 0 ? 1u : 0u;
        const int32_t magnitude = level < 0 ? -level : level;
        if (firstSpecial && run == 0 && magnitude == 1) {
            writer.PutBits((kFirstCoefficientOneCode.Code << 1) | sign, 2);
        } else if (magnitude <= kDctLookupMaxLevel && run <= kDctLookupMaxRun &&
                   lookup.Codes[run][magnitude].Length != 0) {
            const TVlcCode code = lookup.Codes[run][magnitude];
            writer.PutBits(code.Code | sign, code.Length);
        } else {
            PutEscape(writer, run, level, mpeg2);
        }
        firstSpecial = false;
        run = 0;
    }
    const TVlcCode eob = tableOne ? kEndOfBlockCodeTable1 : kEndOfBlockCodeTable0;
    writer.PutBits(eob.Code, eob.Length);
}

} // namespace

uint32_t CodedBlockPatternOf(const int16_t* blocks, int32_t count) {
    uint32_t pattern = 0;
    for (int32_t b = 0; b < count; ++b)
        pattern = (pattern << 1) | (OrOfLevels(blocks + 64 * b, 0) != 0 ? 1u : 0u);
    return pattern;
}

bool HasACLevels(const int16_t* blocks, int32_t count) {
    for (int32_t b = 0; b < count; ++b)
        if (OrOfLevels(blocks + 64 * b, 1) != 0)
            return true;
    return false;
}

void PutIntraBlock(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, const int16_t* block, int32_t index) {
    const int32_t component = index < 4 ? 0 : 1 + (index & 1);
    const int32_t dc = block[0];
    const int32_t diff = dc - state.DCPredictor[static_cast<size_t>(component)];
    state.DCPredictor[static_cast<size_t>(component)] = dc;
    const uint32_t magnitude = static_cast<uint32_t>(diff < 0 ? -diff : diff);
    const int32_t size = std::min(static_cast<int32_t>(std::bit_width(magnitude)), 11);
    const TVlcCode code = component == 0 ? kDCSizeLuminanceCodes[static_cast<size_t>(size)]
                                         : kDCSizeChrominanceCodes[static_cast<size_t>(size)];
    writer.PutBits(code.Code, code.Length);
    if (size > 0) {
        // dct_dc_differential: negative values as diff + 2^size - 1 (ISO/IEC 13818-2, 7.2.1).
        const int32_t bits = diff > 0 ? diff : diff + (1 << size) - 1;
        writer.PutBits(static_cast<uint32_t>(bits), size);
    }
    PutLevels(writer, state, block, 1, state.Picture.IntraVlcFormat, false);
}

void PutNonIntraBlock(TLargeBitStreamWriter& writer, const TMPEGVideoSyntaxState& state, const int16_t* block) {
    assert(OrOfLevels(block, 0) != 0);
    PutLevels(writer, state, block, 0, false, true);
}

} // namespace quillset
