// The multiplexing core shared by the MPEG-1 system, Video CD, MPEG-2 program, Super Video CD and
// DVD-Video engines: rates, start offsets, the decoder-buffer driven choice of the next packet on a
// byte clock, padding, the end, and the rewrite of a mux rate known only at the end.
//
// The clock: every pack advances ClockBytes by SectorSize; the system clock reference of a pack is
// (ClockBytes + ClockOffset) × 90000 / ClockRateBytes ticks (ISO/IEC 11172-1, 2.4.2).
#pragma once

#include <cstdint>
#include <vector>

#include "encoder/mux/multiplexor_base.h"
#include "encoder/mux/pack_headers.h"

namespace quillset {

// The content of a system header.
struct TSystemHeaderContent {
    TPackBuilder::TSystemHeaderFields Fields;
    std::vector<TPackBuilder::TSystemHeaderEntry> Entries;
};

class TMultiplexEngine_MPEGSystemBase : public TMultiplexEngine_MultiplexorBase {
public:
    TMultiplexEngine_MPEGSystemBase(TMPEGSystemEncoder* systemEncoder, TLargeStream* output);

    TMPEGSystemEncoder_ElementaryStream* AddStream(const TMPEGSystemEncoder_StreamInfo& info,
                                                   TLargeStream* source) override;
    int64_t GetBytesWritten() override;
    int32_t GetUnderflowCount() override;
    void GetProgress(int64_t& position, int64_t& total) override;
    void MultiplexStep() override;
    void FinishMultiplex() override;
    void ResetForSecondPass() override;

    // Rates of the streams, buffer sizes and header flags.
    virtual void ComputeRates();
    // The stream to send next, or null for an idle pack.
    virtual TMPEGPacketizerStream* ChooseStream(int64_t now);
    // The payload of a packet of the stream with time stamps of the kind (0 none, 1 PTS, 2 PTS
    // and DTS), for a stream that is not ending.
    virtual int32_t GetPayloadSize(TMPEGPacketizerStream& stream, int32_t timestampKind) = 0;
    virtual void SetPayloadSizes(TMPEGPacketizerStream& stream);
    virtual int32_t AdjustPayload(TMPEGPacketizerStream& stream, int32_t size);
    // Exactly the payload WritePacket writes for the stream with time stamps of the kind.
    virtual int32_t PacketPayload(TMPEGPacketizerStream& stream, int32_t timestampKind);
    virtual void WriteStart() = 0;
    virtual bool BeforePacket() { return false; }
    // Writes one pack with a packet of the stream; returns the payload bytes written.
    virtual int32_t WritePacket(TMPEGPacketizerStream& stream, int32_t timestampKind, int64_t dts, int64_t pts,
                                int64_t scr) = 0;
    virtual void WritePaddingPack(uint8_t headerStreamId, int32_t size, int64_t scr) = 0;
    virtual void WriteEnd() = 0;
    // Patches the mux rate of every pack header and the rate bound of every system header.
    virtual void RewriteMuxRate();
    // Called after a packet is written for the stream with the unit whose stamp it carries.
    virtual void PacketWritten(TMPEGPacketizerStream& stream, const TMPEGPacketizer_AccessUnit* stamped) {}

    // Bytes per pack on the clock, bytes per pack in the file.
    int32_t SectorSize = 2048;
    int32_t PackSize = 2048;
    int32_t ClockOffset = 9;
    int64_t BytesOut = 0;
    int64_t ClockBytes = 0;
    int32_t PackCount = 0;
    int32_t UnderflowCount = 0;
    int32_t MuxRate = 0;        // units of 50 bytes/s, written into the headers
    int32_t MuxRateBytes = 0;
    int32_t ClockRate = 0;      // units of 50 bytes/s, the pace of the clock
    int32_t ClockRateBytes = 0;
    int32_t FixedMuxRate = 0;   // > 0: the header rate is fixed
    int32_t FixedClockRate = 0; // > 0: the clock rate is fixed
    bool VariableRate = false;  // no padding packs; the clock skips idle packs
    bool ForceVariable = false;
    bool FirstStreamFirst = true;
    bool PatchMuxRate = false;
    bool FixedFlag = false;
    bool CSPSFlag = false;
    bool AudioLock = true;
    bool VideoLock = true;
    int MPEGVersion = 1;
    TPackBuilder Pack;

protected:
    // 90 kHz time of the clock now.
    int64_t ClockTicks() const;
    // SCR of the next pack: 90 kHz for MPEG-1, 27 MHz for MPEG-2.
    int64_t NextSCR() const;
    // Writes the assembled pack and advances the clock by one pack.
    void EmitPack();
    // Moves the clock one pack on without writing.
    void SkipPack();
    // Writes a bare end code (0x000001B9) after the last pack; the clock does not move.
    void EmitEndCode();
    // The system header fields and entries for the given streams (all when empty).
    virtual TSystemHeaderContent BuildSystemHeader(const std::vector<TMPEGPacketizerStream*>& streams) const;
    void PutSystemHeader(const std::vector<TMPEGPacketizerStream*>& streams);
    // The buffer size the engine gives a stream before the form's own rules.
    int32_t DefaultBufferSize(const TMPEGPacketizerStream& stream) const;
    void SetBufferBound(TMPEGPacketizerStream& stream) const;
    bool Begun() const { return Multiplexing; }
    // A video packet ends where the next unit that opens a group of pictures (or, with
    // `anyIntraPicture`, any I picture) begins, so that its time stamps open a packet.
    int32_t StopBeforeEntryPoint(TMPEGPacketizerStream& stream, int32_t size, bool anyIntraPicture) const;
    // Sends one packet of the stream.
    void SendPacket(TMPEGPacketizerStream& stream, int64_t now);

    bool AverageKnown = true;
    bool MaximumKnown = true;

private:
    bool PullSources();
    bool AllStreamsReady() const;
    bool AllStreamsFinished() const;
    void BeginMultiplex();
    void SetTimeOffsets();

    bool Multiplexing = false;
    int64_t RewritePosition = 0;
    int64_t RewriteTotal = 0;
};

} // namespace quillset
