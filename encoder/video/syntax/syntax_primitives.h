// Small writing steps shared by the header and macroblock writers.
#pragma once

#include <cassert>
#include <cstdint>

#include "encoder/video/syntax/vlc_tables.h"
#include "stream/bit_stream_writer.h"

namespace quillset::syntax_detail {

inline void PutStartCode(TLargeBitStreamWriter& writer, uint32_t code) {
    writer.ByteAlign();
    writer.PutBits(code, 32);
}

inline void PutVlc(TLargeBitStreamWriter& writer, TVlcCode code) {
    assert(code.Length > 0);
    writer.PutBits(code.Code, code.Length);
}

// macroblock_address_increment >= 1, with a macroblock_escape for every 33 beyond 33.
inline void PutAddressIncrement(TLargeBitStreamWriter& writer, int32_t increment) {
    assert(increment >= 1);
    while (increment > 33) {
        PutVlc(writer, kMacroblockEscapeCode);
        increment -= 33;
    }
    PutVlc(writer, kMacroblockAddressIncrementCodes[static_cast<size_t>(increment)]);
}

// motion_code -16..16 (Table B.10) with its sign bit.
inline void PutMotionCode(TLargeBitStreamWriter& writer, int32_t motionCode) {
    assert(motionCode >= -16 && motionCode <= 16);
    if (motionCode == 0) {
        PutVlc(writer, kMotionCodeCodes[0]);
        return;
    }
    const int32_t magnitude = motionCode < 0 ? -motionCode : motionCode;
    const TVlcCode code = kMotionCodeCodes[static_cast<size_t>(magnitude)];
    writer.PutBits((static_cast<uint32_t>(code.Code) << 1) | (motionCode < 0 ? 1u : 0u), code.Length + 1);
}

} // namespace quillset::syntax_detail
