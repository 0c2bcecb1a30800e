// The walk over the packets of an ISO/IEC 11172-1 system stream or ISO/IEC 13818-1 program stream:
// pack headers, system headers and packets with their time stamps and payload. A format error or a
// short read ends the walk (Failed tells which), so a damaged file is read up to the damage.
#pragma once

#include <cstdint>
#include <vector>

#include "stream/large_stream.h"

namespace quillset {

class TMPEGPacketWalker {
public:
    enum TEvent { Event_Packet, Event_SystemHeader, Event_End };

    // Reads `stream` (not owned) from its current position.
    explicit TMPEGPacketWalker(TLargeStream& stream) : Stream(stream) {}

    // Continues at a file position where a start code begins; version is the MPEG version of the
    // packs there (0 = not known yet).
    void Restart(int64_t position, int32_t version);

    // The next packet with payload, or the next system header, or the end.
    TEvent Next();

    // The current packet.
    uint8_t StreamId = 0;
    int64_t PacketPosition = 0;   // file position of its start code
    int64_t PayloadPosition = 0;  // file position of its first payload byte
    int64_t PTS = -1;             // -1: none
    int64_t DTS = -1;
    std::vector<uint8_t> Payload;
    // The current system header's bytes after its length field.
    std::vector<uint8_t> SystemHeader;
    // 1 or 2 after the first pack header, 0 before.
    int32_t Version = 0;
    // The walk met a format error or a short read.
    bool Failed = false;
    bool Ended = false;

private:
    // Reads the next start code; false at the end of the data.
    bool NextStartCode(uint8_t& code);
    bool ReadBytes(uint8_t* data, int32_t count);
    bool Skip(int64_t count);
    // After an end code: more packs follow directly (a Video CD ends each stream with one).
    bool PacksFollow();
    // Parses the packet header; false on a format error. `left` counts the packet's bytes.
    bool ReadMPEG1Header(int32_t& left);
    bool ReadMPEG2Header(int32_t& left);
    bool Fail();

    TLargeStream& Stream;
    int64_t Position = 0;
    bool PositionKnown = false;
};

} // namespace quillset
