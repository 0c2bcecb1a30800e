// The stream face of the demultiplexer: the payload bytes of one chosen elementary stream of an MPEG
// file as one continuous stream that can be sized, read, positioned and rewritten in place (the
// multiplexed file keeps its layout). Readers of "mux://" sources and the Super Video CD scan
// information writer use it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "encoder/demux/demux_source.h"
#include "encoder/demux/elementary_stream_info.h"
#include "encoder/demux/packet_walker.h"
#include "stream/file_stream.h"
#include "stream/large_stream.h"

namespace quillset {

class TMPEGDemultiplexorStream : public TLargeRandomStream {
public:
    // Modes of the file.
    static constexpr uint8_t kModeUnknown = 0;
    static constexpr uint8_t kModeElementary = 1;
    static constexpr uint8_t kModeMPEG1 = 2;
    static constexpr uint8_t kModeMPEG2 = 3;

    // The stream of `kind` (0 video, 1 MPEG audio, 2 AC-3, 3 Linear PCM) and `number` in the source
    // (not owned; read from its start). A source that is itself a demultiplexer stream is read
    // through a cache only with forceCache. Raises EMPEGSystemEncoderError: 0xD061300D for a file
    // of no accepted form or an unknown kind; for an elementary-stream file of another kind
    // 0xD061300E (video), 0xD061300F (MPEG audio), 0xD0613010 (AC-3), 0xD061303B (Linear PCM).
    TMPEGDemultiplexorStream(TLargeStream& source, bool forceCache, uint8_t kind, uint8_t number);
    // Opens the file for reading (others may not write it meanwhile) and owns it.
    TMPEGDemultiplexorStream(const std::string& path, uint8_t kind, uint8_t number);
    ~TMPEGDemultiplexorStream() override;

    // Payload bytes of the stream; the first call in a multiplexed file walks the whole file.
    int64_t GetSize() override;
    int32_t Read(void* buffer, int32_t count) override;
    // Overwrites payload bytes in place (never for Linear PCM in a multiplexed file, which
    // returns 0).
    int32_t Write(const void* buffer, int32_t count) override;
    // Payload positions; a negative result becomes 0.
    int64_t Seek(int64_t offset, uint16_t origin) override;
    // Continues with the packet at (or after) a file position of the unwrapped file.
    void SeekToFilePosition(int64_t filePosition);

    // The first header of the stream (Valid is false when there is none).
    const TMPEGElementaryStreamInfo& GetStreamInfo();
    uint8_t GetMode() const { return Mode; }
    // 0 not decided, 1 a system header was seen, 2 covered by an all-audio / all-video entry,
    // 3 listed or found.
    uint8_t GetPresence() const { return Presence; }

private:
    struct TCheckpoint {
        int64_t Logical;
        int64_t FilePosition;
        int32_t Version;
    };

    void Open(TLargeStream& source, bool forceCache);
    void CheckKind(TMPEGFileForm form) const;
    // The next packet of the stream into Payload; false at the end of the stream.
    bool FetchPacket();
    bool IsMine(uint8_t id, const std::vector<uint8_t>& payload) const;
    void HandleSystemHeader(const std::vector<uint8_t>& header);
    // Back to the last checkpoint at or before a logical position (the start without one).
    void RestartBefore(int64_t logical);
    void RestartAt(const TCheckpoint* checkpoint);
    bool PayloadHolds(int64_t logical) const {
        return logical >= PayloadStart && logical < PayloadStart + static_cast<int64_t>(Payload.size());
    }

    uint8_t Kind;
    uint8_t Number;
    uint8_t TargetId = 0;
    uint8_t TargetSubstream = 0;
    std::unique_ptr<TLargeFileStream> File;
    std::unique_ptr<TMPEGUnwrappedSource> Unwrapped;
    TLargeStream* Reader = nullptr;
    uint8_t Mode = kModeUnknown;
    std::unique_ptr<TMPEGPacketWalker> Walker;
    std::vector<uint8_t> Payload;
    size_t PayloadIndex = 0;
    int64_t PayloadFilePosition = -1;
    int64_t PayloadStart = 0;  // logical position of Payload[0]
    int64_t NextLogical = 0;   // logical position of the next packet's payload
    int64_t Position = 0;
    int64_t Size = -1;
    uint8_t Presence = 0;
    int32_t OtherPackets = 0;
    int64_t PacketsOfStream = 0;
    bool Ended = false;
    int64_t FirstLinearPCMPosition = -1;
    std::vector<TCheckpoint> Checkpoints;
    TMPEGElementaryStreamInfo Info;
    bool InfoRead = false;
};

} // namespace quillset
