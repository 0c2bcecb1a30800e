// The engines of ISO/IEC 11172-1 system streams: plain MPEG-1 (constant or variable rate), and the
// Video CD forms (IEC 62107 / the Video CD 2.0 layout: 2324-byte packs on a clock of 2352-byte CD
// sectors at 75 sectors per second).
#pragma once

#include <cstdint>

#include "encoder/mux/mpeg_system_base.h"

namespace quillset {

class TMultiplexEngine_MPEG1 : public TMultiplexEngine_MPEGSystemBase {
public:
    TMultiplexEngine_MPEG1(TMPEGSystemEncoder* systemEncoder, TLargeStream* output);

    bool AcceptsKind(uint8_t kind) const override;
    int32_t GetPayloadSize(TMPEGPacketizerStream& stream, int32_t timestampKind) override;
    void WriteStart() override;
    int32_t WritePacket(TMPEGPacketizerStream& stream, int32_t timestampKind, int64_t dts, int64_t pts,
                        int64_t scr) override;
    void WritePaddingPack(uint8_t headerStreamId, int32_t size, int64_t scr) override;
    void WriteEnd() override;

protected:
    // Bytes of a pack carrying the stream before any trailing zero bytes.
    virtual int32_t PacketPackSize(const TMPEGPacketizerStream& stream) const { return PackSize; }
    // Whether the next packet of the stream carries the STD buffer field.
    virtual bool WritesStdField(const TMPEGPacketizerStream& stream) const { return true; }
    // Whether the pack that empties a stream ends with an end code.
    virtual bool EndCodePerStream() const { return false; }
    // The packet header's largest size, with the stream's time stamps.
    int32_t MaximumHeaderSize(const TMPEGPacketizerStream& stream) const;
    // A pack of `packBytes` (then zero bytes to PackSize) holding a system header for `streams`
    // and padding, optionally ending with an end code.
    void WriteHeaderPaddingPack(const std::vector<TMPEGPacketizerStream*>& streams, int32_t packBytes, bool endCode);
};

class TMultiplexEngine_MPEG1_ForceVBR : public TMultiplexEngine_MPEG1 {
public:
    TMultiplexEngine_MPEG1_ForceVBR(TMPEGSystemEncoder* systemEncoder, TLargeStream* output);
};

class TMultiplexEngine_MPEG1_VideoCD : public TMultiplexEngine_MPEG1 {
public:
    static constexpr int32_t kAudioPackBytes = 2304;
    static constexpr int32_t kVideoBufferSize = 47104;

    TMultiplexEngine_MPEG1_VideoCD(TMPEGSystemEncoder* systemEncoder, TLargeStream* output);

    void ComputeRates() override;
    void WriteStart() override;
    void WriteEnd() override;

protected:
    int32_t PacketPackSize(const TMPEGPacketizerStream& stream) const override;
    bool WritesStdField(const TMPEGPacketizerStream& stream) const override;
    bool EndCodePerStream() const override { return true; }
};

class TMultiplexEngine_MPEG1_VideoCD_Illegal : public TMultiplexEngine_MPEG1_VideoCD {
public:
    TMultiplexEngine_MPEG1_VideoCD_Illegal(TMPEGSystemEncoder* systemEncoder, TLargeStream* output);

    void ComputeRates() override;
};

// Video CD still pictures (stream 0xE1 normal, 0xE2 high resolution): one stream at a time.
class TMultiplexEngine_MPEG1_VideoCD_StillPicture : public TMultiplexEngine_MPEG1_VideoCD {
public:
    TMultiplexEngine_MPEG1_VideoCD_StillPicture(TMPEGSystemEncoder* systemEncoder, TLargeStream* output);

    bool AcceptsKind(uint8_t kind) const override;
    void ComputeRates() override;
    TMPEGPacketizerStream* ChooseStream(int64_t now) override;
    void WriteStart() override;
    void WriteEnd() override;

protected:
    bool EndCodePerStream() const override { return false; }
};

} // namespace quillset
