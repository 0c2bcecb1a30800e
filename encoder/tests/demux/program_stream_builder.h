// Hand-made system and program streams for the demultiplexer tests: pack headers, system headers
// and packets of ISO/IEC 11172-1 and ISO/IEC 13818-1 with chosen time stamps and payloads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoder/mux/pack_headers.h"

namespace quillset::demuxtest {

inline std::string Bytes(const TPackBuilder& builder) {
    return std::string(reinterpret_cast<const char*>(builder.Data()), static_cast<size_t>(builder.Size()));
}

inline std::string MPEG1Pack(int64_t scr = 0) {
    TPackBuilder b;
    b.PutMPEG1PackHeader(scr, 3528);
    return Bytes(b);
}

inline std::string MPEG2Pack(int64_t scr = 0) {
    TPackBuilder b;
    b.PutMPEG2PackHeader(scr * 300, 25200);
    return Bytes(b);
}

// A system header listing the ids (buffer 46 kB each).
inline std::string SystemHeader(const std::vector<uint8_t>& ids) {
    TPackBuilder b;
    std::vector<TPackBuilder::TSystemHeaderEntry> entries;
    for (uint8_t id : ids)
        entries.push_back({id, 1, 46});
    TPackBuilder::TSystemHeaderFields fields;
    fields.RateBound = 3528;
    b.PutSystemHeader(fields, entries);
    return Bytes(b);
}

// An ISO/IEC 11172-1 packet: stuffing, the STD buffer field, PTS (and DTS) or 0x0F.
inline std::string MPEG1Packet(uint8_t id, const std::string& payload, int64_t pts = -1, int64_t dts = -1,
                               int32_t stuffing = 0) {
    TPackBuilder b;
    b.PutFill(0xFF, stuffing);
    b.PutByte(0x60);
    b.PutByte(0x2E);
    if (pts >= 0 && dts >= 0) {
        b.PutTimestamp(0x3, pts);
        b.PutTimestamp(0x1, dts);
    } else if (pts >= 0) {
        b.PutTimestamp(0x2, pts);
    } else {
        b.PutByte(0x0F);
    }
    const std::string header = Bytes(b);
    TPackBuilder p;
    p.PutStartCode(id);
    p.Put16(static_cast<uint32_t>(header.size() + payload.size()));
    return Bytes(p) + header + payload;
}

// An ISO/IEC 13818-1 PES packet with optional PTS / DTS.
inline std::string MPEG2Packet(uint8_t id, const std::string& payload, int64_t pts = -1, int64_t dts = -1) {
    TPackBuilder b;
    b.PutByte(0x80);
    const int32_t count = pts < 0 ? 0 : dts < 0 ? 5 : 10;
    b.PutByte(count == 10 ? 0xC0 : count == 5 ? 0x80 : 0x00);
    b.PutByte(static_cast<uint32_t>(count));
    if (count == 10) {
        b.PutTimestamp(0x3, pts);
        b.PutTimestamp(0x1, dts);
    } else if (count == 5) {
        b.PutTimestamp(0x2, pts);
    }
    const std::string header = Bytes(b);
    TPackBuilder p;
    p.PutStartCode(id);
    p.Put16(static_cast<uint32_t>(header.size() + payload.size()));
    return Bytes(p) + header + payload;
}

// Private stream 1 payload: substream id, frame count, first access unit pointer, data.
inline std::string PrivatePayload(uint8_t substream, uint8_t frames, uint16_t pointer, const std::string& data) {
    std::string s;
    s += static_cast<char>(substream);
    s += static_cast<char>(frames);
    s += static_cast<char>(pointer >> 8);
    s += static_cast<char>(pointer);
    return s + data;
}

inline std::string EndCode() {
    return std::string("\0\0\1\xB9", 4);
}

} // namespace quillset::demuxtest
