// The packetizers of compressed audio: MPEG audio (ISO/IEC 11172-3 / 13818-3) and AC-3 (ATSC
// A/52). Each frame is one access unit with a presentation time only, counted exactly from the
// samples before it. Bytes that are not a frame (damage, tags) stay with the frame before them.
#pragma once

#include <cstdint>

#include "encoder/mux/elementary_headers.h"
#include "encoder/mux/packetizer_stream.h"

namespace quillset {

// Searches at most this many bytes for the first frame.
constexpr int32_t kAudioSyncSearchLimit = 65536;

// The frame walk shared by the compressed audio kinds.
class TMPEGPacketizerStream_AudioFrames : public TMPEGPacketizerStream {
public:
    using TMPEGPacketizerStream::TMPEGPacketizerStream;

    void Reset() override;
    void Prescan() override;
    void ParseChunk(bool final) override;
    // A packet never ends inside the header of a frame that begins in it: the packet then ends
    // in front of that frame. Demultiplexers that find frames by their headers give a packet's
    // time stamp to the frame whose header they complete in it, so a split header would carry
    // the stamp over to the frame before.
    int32_t AdjustPayload(int32_t size) override;

    int32_t SamplingFrequency = 0;
    int64_t Samples = 0; // samples before the next frame

protected:
    struct TFrame {
        int32_t Size = 0;
        int32_t Samples = 0;
        int32_t SamplingFrequency = 0;
        int32_t BitRate = 0;
    };
    // Bytes a frame header needs.
    virtual int32_t HeaderSize() const = 0;
    // Decodes the header at data; false when it is not a frame header.
    virtual bool ReadFrame(const uint8_t* data, TFrame& frame) const = 0;
    // The error raised when no first frame is found.
    virtual uint32_t IllegalStreamCode() const = 0;
    // Whether a header found while resynchronising belongs to the same stream as the first.
    virtual bool Matches(const uint8_t* data) const;

    uint8_t FirstHeader[8] = {};

private:
    // The offset of the next frame header at or after `from` within [from, end), or -1.
    int64_t FindFrame(int64_t from, int64_t end) const;
    void AddFrame(int64_t position, const TFrame& frame);

    int64_t ParsePos = 0;
    bool FirstFound = false;
};

class TMPEGPacketizerStream_MPEGAudio : public TMPEGPacketizerStream_AudioFrames {
public:
    TMPEGPacketizerStream_MPEGAudio(TMultiplexEngine_MultiplexorBase& engine, const TMPEGSystemEncoder_StreamInfo& info);

    static void AllowedStreamIds(TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds);
    void GetAllowedStreamIds(TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds) const override {
        AllowedStreamIds(streamIds, substreamIds);
    }

protected:
    int32_t HeaderSize() const override { return 4; }
    bool ReadFrame(const uint8_t* data, TFrame& frame) const override;
    uint32_t IllegalStreamCode() const override;
    bool Matches(const uint8_t* data) const override;
};

class TMPEGPacketizerStream_DolbyAC3 : public TMPEGPacketizerStream_AudioFrames {
public:
    TMPEGPacketizerStream_DolbyAC3(TMultiplexEngine_MultiplexorBase& engine, const TMPEGSystemEncoder_StreamInfo& info);

    static void AllowedStreamIds(TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds);
    void GetAllowedStreamIds(TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds) const override {
        AllowedStreamIds(streamIds, substreamIds);
    }
    // Frame count and first access unit pointer (DVD-Video private stream 1 audio packets).
    int32_t GetSubstreamHeaderSize() const override { return 3; }
    void FillSubstreamHeader(int32_t payloadSize, uint8_t* header) override;

protected:
    int32_t HeaderSize() const override { return 7; }
    bool ReadFrame(const uint8_t* data, TFrame& frame) const override;
    uint32_t IllegalStreamCode() const override;
};

// The frames that begin within the next `payloadSize` unsent bytes of a packetizer: their count
// and the offset of the first one in that payload (-1 when none begins there).
void CountUnitStarts(TMPEGPacketizerStream& stream, int32_t payloadSize, int32_t& count, int32_t& firstOffset,
                     int64_t* firstSequence = nullptr);

} // namespace quillset
