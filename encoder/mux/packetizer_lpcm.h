// The packetizer of Linear PCM for DVD-Video program streams. Its input is the system's private
// Linear PCM stream (a 20-byte header, then 16-bit big-endian samples); the header stays behind
// and every packet carries the DVD-Video audio packet header instead: frame count, first access
// unit pointer, and the three bytes of emphasis / frame number, quantisation / sampling frequency /
// channels, and dynamic range control. One access unit is a frame of 1/600 second.
#pragma once

#include <cstdint>

#include "encoder/audio/lpcm/lpcm_header.h"
#include "encoder/mux/packetizer_stream.h"

namespace quillset {

class TMPEGPacketizerStream_LinearPCM : public TMPEGPacketizerStream {
public:
    TMPEGPacketizerStream_LinearPCM(TMultiplexEngine_MultiplexorBase& engine, const TMPEGSystemEncoder_StreamInfo& info);

    static void AllowedStreamIds(TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds);
    void GetAllowedStreamIds(TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds) const override {
        AllowedStreamIds(streamIds, substreamIds);
    }
    void Reset() override;
    // Rates from the header: frequency × channels × 16.
    void Prescan() override;
    // Checks the private header (EMPEGSystemEncoderError 0xD061303B unless it is valid, 16 bits,
    // 48 or 96 kHz) and cuts the samples into frames.
    void ParseChunk(bool final) override;
    // Whole sample times only.
    int32_t AdjustPayload(int32_t size) override;
    int32_t GetSubstreamHeaderSize() const override { return 6; }
    void FillSubstreamHeader(int32_t payloadSize, uint8_t* header) override;

    TLinearPCMHeaderInfo Header;
    int32_t FrameBytes = 0;

private:
    bool HeaderRead = false;
    int64_t ParsePos = 0;
    int64_t Frames = 0;
};

} // namespace quillset
