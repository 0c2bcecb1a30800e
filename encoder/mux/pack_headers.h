// Byte layouts of the pack layer: pack headers, system headers, packet headers and time stamps of
// ISO/IEC 11172-1 (2.4.3) and ISO/IEC 13818-1 (2.5.3, program streams), written into a byte
// buffer that grows as a pack is assembled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillset {

class TPackBuilder {
public:
    void Clear() { Bytes.clear(); }
    int32_t Size() const { return static_cast<int32_t>(Bytes.size()); }
    const uint8_t* Data() const { return Bytes.data(); }
    uint8_t* MutableData() { return Bytes.data(); }

    void PutByte(uint32_t value) { Bytes.push_back(static_cast<uint8_t>(value)); }
    void Put16(uint32_t value) {
        PutByte(value >> 8);
        PutByte(value);
    }
    void PutFill(uint8_t value, int32_t count) {
        if (count > 0)
            Bytes.insert(Bytes.end(), static_cast<size_t>(count), value);
    }
    void PutBytes(const uint8_t* data, int32_t count) {
        if (count > 0)
            Bytes.insert(Bytes.end(), data, data + count);
    }
    void PutStartCode(uint8_t code) {
        PutByte(0);
        PutByte(0);
        PutByte(1);
        PutByte(code);
    }
    // A 33-bit time stamp in the five-byte form: prefix (4 bits), ts[32..30], marker,
    // ts[29..15], marker, ts[14..0], marker.
    void PutTimestamp(uint32_t prefix, int64_t ts);

    // ISO/IEC 11172-1 pack header (12 bytes): SCR (90 kHz) and mux_rate (units of 50 bytes/s).
    void PutMPEG1PackHeader(int64_t scr, int32_t muxRate);
    // ISO/IEC 13818-1 pack header (14 bytes, no stuffing): SCR in 27 MHz units.
    void PutMPEG2PackHeader(int64_t scr27, int32_t muxRate);

    struct TSystemHeaderEntry {
        uint8_t StreamId;
        uint8_t BufferScale;
        int32_t BufferBound;
    };
    struct TSystemHeaderFields {
        int32_t RateBound = 0;
        int32_t AudioBound = 0;
        int32_t VideoBound = 0;
        bool Fixed = false;
        bool CSPS = false;
        bool AudioLock = true;
        bool VideoLock = true;
        uint8_t LastByte = 0xFF; // reserved byte (MPEG-1) or packet_rate_restriction + reserved
    };
    // System header: 00 00 01 BB, length 6 + 3 × entries, the fields and the entries.
    void PutSystemHeader(const TSystemHeaderFields& fields, const std::vector<TSystemHeaderEntry>& entries);

    // A padding packet of exactly `size` bytes (at least 6): 00 00 01 BE, length, then for
    // MPEG-1 the byte 0x0F and 0xFF bytes, for MPEG-2 0xFF bytes only.
    void PutPaddingPacket(int32_t size, int mpegVersion);

    // Overwrites the 16-bit big-endian value at a byte offset.
    void Patch16(int32_t offset, uint32_t value) {
        Bytes[static_cast<size_t>(offset)] = static_cast<uint8_t>(value >> 8);
        Bytes[static_cast<size_t>(offset) + 1] = static_cast<uint8_t>(value);
    }

private:
    std::vector<uint8_t> Bytes;
};

// Reads a five-byte time stamp (the prefix bits are ignored).
int64_t ReadTimestamp(const uint8_t* p);

} // namespace quillset
