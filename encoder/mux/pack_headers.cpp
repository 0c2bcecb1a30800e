#include "encoder/mux/pack_headers.h"

namespace quillset {

void TPackBuilder::PutTimestamp(uint32_t prefix, int64_t ts) {
    const uint64_t t = static_cast<uint64_t>(ts) & 0x1FFFFFFFFull;
    PutByte(prefix << 4 | static_cast<uint32_t>(t >> 29 & 0x0E) | 1);
    PutByte(static_cast<uint32_t>(t >> 22));
    PutByte(static_cast<uint32_t>(t >> 14 & 0xFE) | 1);
    PutByte(static_cast<uint32_t>(t >> 7));
    PutByte(static_cast<uint32_t>(t << 1 & 0xFE) | 1);
}

void TPackBuilder::PutMPEG1PackHeader(int64_t scr, int32_t muxRate) {
    PutStartCode(0xBA);
    PutTimestamp(0x2, scr);
    const uint32_t rate = static_cast<uint32_t>(muxRate) & 0x3FFFFF;
    PutByte(0x80 | rate >> 15);
    PutByte(rate >> 7);
    PutByte((rate << 1 & 0xFE) | 1);
}

void TPackBuilder::PutMPEG2PackHeader(int64_t scr27, int32_t muxRate) {
    const uint64_t base = static_cast<uint64_t>(scr27 / 300) & 0x1FFFFFFFFull;
    const uint32_t extension = static_cast<uint32_t>(scr27 % 300);
    PutStartCode(0xBA);
    // '01', base[32..30], marker, base[29..15], marker, base[14..0], marker, extension, marker.
    PutByte(0x44 | static_cast<uint32_t>(base >> 27 & 0x38) | static_cast<uint32_t>(base >> 28 & 0x03));
    PutByte(static_cast<uint32_t>(base >> 20));
    PutByte(static_cast<uint32_t>(base >> 12 & 0xF8) | 0x04 | static_cast<uint32_t>(base >> 13 & 0x03));
    PutByte(static_cast<uint32_t>(base >> 5));
    PutByte(static_cast<uint32_t>(base << 3 & 0xF8) | 0x04 | (extension >> 7));
    PutByte((extension << 1 & 0xFE) | 1);
    const uint32_t rate = static_cast<uint32_t>(muxRate) & 0x3FFFFF;
    PutByte(rate >> 14);
    PutByte(rate >> 6);
    PutByte((rate << 2 & 0xFC) | 0x03);
    PutByte(0xF8); // reserved, pack_stuffing_length 0
}

void TPackBuilder::PutSystemHeader(const TSystemHeaderFields& fields,
                                   const std::vector<TSystemHeaderEntry>& entries) {
    PutStartCode(0xBB);
    Put16(6 + 3 * static_cast<uint32_t>(entries.size()));
    const uint32_t rate = static_cast<uint32_t>(fields.RateBound) & 0x3FFFFF;
    PutByte(0x80 | rate >> 15);
    PutByte(rate >> 7);
    PutByte((rate << 1 & 0xFE) | 1);
    PutByte(static_cast<uint32_t>(fields.AudioBound & 0x3F) << 2 | (fields.Fixed ? 2u : 0u) | (fields.CSPS ? 1u : 0u));
    PutByte((fields.AudioLock ? 0x80u : 0u) | (fields.VideoLock ? 0x40u : 0u) | 0x20u |
            static_cast<uint32_t>(fields.VideoBound & 0x1F));
    PutByte(fields.LastByte);
    for (const TSystemHeaderEntry& entry : entries) {
        PutByte(entry.StreamId);
        const uint32_t bound = static_cast<uint32_t>(entry.BufferBound) & 0x1FFF;
        PutByte(0xC0 | (entry.BufferScale ? 0x20u : 0u) | bound >> 8);
        PutByte(bound);
    }
}

void TPackBuilder::PutPaddingPacket(int32_t size, int mpegVersion) {
    PutStartCode(0xBE);
    Put16(static_cast<uint32_t>(size - 6));
    if (mpegVersion == 1 && size > 6) {
        PutByte(0x0F);
        PutFill(0xFF, size - 7);
    } else {
        PutFill(0xFF, size - 6);
    }
}

int64_t ReadTimestamp(const uint8_t* p) {
    return static_cast<int64_t>(p[0] >> 1 & 0x07) << 30 | static_cast<int64_t>(p[1]) << 22 |
           static_cast<int64_t>(p[2] >> 1) << 15 | static_cast<int64_t>(p[3]) << 7 | static_cast<int64_t>(p[4] >> 1);
}

} // namespace quillset
