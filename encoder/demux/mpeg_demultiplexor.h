// The packet-by-packet face of the demultiplexer: walks a whole MPEG file and reports for each
// packet the elementary stream it belongs to, its time stamps and its payload. Elementary-stream
// files are delivered as blocks of up to 4096 bytes of their one stream.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "encoder/demux/demux_source.h"
#include "encoder/demux/packet_walker.h"
#include "stream/large_stream.h"

namespace quillset {

// Elementary stream kinds of the demultiplexer.
enum TMPEGDemultiplexor_StreamKind : uint8_t {
    MPEGDemultiplexor_StreamKind_Video = 0,
    MPEGDemultiplexor_StreamKind_Audio = 1,
    MPEGDemultiplexor_StreamKind_AC3 = 2,
    MPEGDemultiplexor_StreamKind_LinearPCM = 3,
};

struct TMPEGDemultiplexor_Packet {
    uint8_t Kind = 0;
    uint8_t Number = 0;
    bool Skip = true;            // not one of the four kinds
    uint8_t StreamId = 0;
    uint8_t SubstreamId = 0;
    bool HasTimestamps = false;
    int64_t PTS = -1;
    int64_t DTS = -1;            // -1 when absent
    int64_t Position = 0;        // file position of the packet's start code (of the block)
    int64_t PayloadPosition = 0; // file position of the first byte delivered (-1: synthesised)
    const uint8_t* Payload = nullptr;
    int32_t PayloadSize = 0;
    int32_t FirstAccessUnit = -1; // AC-3 and Linear PCM: offset of the first frame, -1: none
    int32_t Version = 0;         // MPEG version of the last pack header
    bool End = false;
};

// Splits the payload of a private stream 1 packet (ISO/IEC 13818-1 private_stream_1 as DVD-Video
// uses it) into the packet record: AC-3 (substreams 0x80-0x87) and Linear PCM (0xA0-0xA7) lose
// their substream header; the first Linear PCM packet of its substream gets the private 20-byte
// header in place of its three DVD header bytes. `buffer` receives the payload. False when the
// packet is to be skipped.
bool SplitPrivateStream1(const std::vector<uint8_t>& payload, bool firstOfSubstream, TMPEGDemultiplexor_Packet& packet,
                         std::vector<uint8_t>& buffer);

class TMPEGDemultiplexor {
public:
    static constexpr int32_t kElementaryBlock = 4096;

    // Unwraps and detects the source (not owned; read from its start). Raises
    // EMPEGSystemEncoderError 0xD061300D when the file is none of the accepted kinds.
    explicit TMPEGDemultiplexor(TLargeStream& source);
    ~TMPEGDemultiplexor();

    void Rewind();
    // The next packet of any stream; false at the end (End is then set).
    bool NextPacket();
    const TMPEGDemultiplexor_Packet& GetPacket() const { return Packet; }
    // The walk ended at damage rather than at the end of the data.
    bool Failed() const { return Walker && Walker->Failed; }

    int64_t GetPosition();
    int64_t GetSize();
    void Seek(int64_t position);

    TMPEGFileForm GetForm() const { return Form; }
    TMPEGFileWrapper GetWrapper() const { return Unwrapped.GetWrapper(); }

private:
    bool NextElementaryBlock();

    TMPEGUnwrappedSource Unwrapped;
    TLargeStream* Reader = nullptr;
    TMPEGFileForm Form;
    std::unique_ptr<TMPEGPacketWalker> Walker;
    TMPEGDemultiplexor_Packet Packet;
    std::vector<uint8_t> Buffer;
    std::map<uint8_t, int64_t> FirstLinearPCMPacket; // substream -> file position of its first packet
};

} // namespace quillset
