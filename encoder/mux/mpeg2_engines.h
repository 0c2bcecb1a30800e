// The engines of ISO/IEC 13818-1 program streams: the plain program stream in 2048-byte packs and
// the Super Video CD form (IEC 62107: 2324-byte packs on a clock of 2352-byte CD sectors at twice
// the Video CD speed, with scan information in every I picture).
#pragma once

#include <cstdint>
#include <vector>

#include "encoder/mux/mpeg_system_base.h"

namespace quillset {

class TMultiplexEngine_MPEG2_Program : public TMultiplexEngine_MPEGSystemBase {
public:
    TMultiplexEngine_MPEG2_Program(TMPEGSystemEncoder* systemEncoder, TLargeStream* output);

    bool AcceptsKind(uint8_t kind) const override;
    int32_t GetPayloadSize(TMPEGPacketizerStream& stream, int32_t timestampKind) override;
    void WriteStart() override;
    int32_t WritePacket(TMPEGPacketizerStream& stream, int32_t timestampKind, int64_t dts, int64_t pts,
                        int64_t scr) override;
    void WritePaddingPack(uint8_t headerStreamId, int32_t size, int64_t scr) override;
    void WriteEnd() override;

protected:
    // The bytes a pack that empties a stream keeps for its end code (0: none).
    virtual int32_t EndCodeReserve(const TMPEGPacketizerStream& stream) const { return 0; }
    int32_t PacketPayload(TMPEGPacketizerStream& stream, int32_t timestampKind) override;
    // Appends one PES packet (ISO/IEC 13818-1, 2.4.3.6) with the payload to Pack, followed by a
    // padding packet or stuffing up to `room` bytes; returns the payload written.
    int32_t PutPESPacket(TMPEGPacketizerStream& stream, int32_t timestampKind, int64_t dts, int64_t pts, int32_t room);
    bool LastPackEndCode = false;
};

class TMultiplexEngine_MPEG2_SuperVideoCD : public TMultiplexEngine_MPEG2_Program {
public:
    static constexpr int32_t kVideoBufferSize = 235520;

    TMultiplexEngine_MPEG2_SuperVideoCD(TMPEGSystemEncoder* systemEncoder, TLargeStream* output);
    ~TMultiplexEngine_MPEG2_SuperVideoCD() override;

    bool AcceptsKind(uint8_t kind) const override;
    void ComputeRates() override;
    bool NeedsScanInformation() const override { return true; }
    void PacketWritten(TMPEGPacketizerStream& stream, const TMPEGPacketizer_AccessUnit* stamped) override;
    // Every I picture opens a packet, so that its time stamp and its sector are known.
    int32_t AdjustPayload(TMPEGPacketizerStream& stream, int32_t size) override;
    void WriteEnd() override;
    void FinishMultiplex() override;
    void ResetForSecondPass() override;
    void GetProgress(int64_t& position, int64_t& total) override;

    // One I picture whose time stamp was written: its presentation time, the pack that carries
    // its start, the bytes written before that pack and the offset of its 12 scan-information
    // bytes in the video stream.
    struct TScanRecord {
        int64_t PTS;
        int64_t Pack;
        int64_t BytesWritten;
        int64_t ScanOffset;
    };
    const std::vector<TScanRecord>& GetScanRecords() const { return ScanRecords; }

protected:
    int32_t EndCodeReserve(const TMPEGPacketizerStream& stream) const override;

private:
    // Fills the scan information of every recorded I picture in the finished output.
    void WriteScanInformation();

    std::vector<TScanRecord> ScanRecords;
    uint8_t VideoStreamNumber = 0;
    int64_t ScanDone = 0;
};

// The 12 scan-information bytes of record `index`: the sector distances to the previous and the
// next I picture, and to the nearest I picture 5 to 10 seconds before and after, each written as
// minutes, seconds and sectors of the distance d in sectors (75 per second) in binary-coded decimal
// as CD times are written (IEC 62107 scan information): d div 4500 mod 100, then d div 75 mod 60
// and d mod 75 each with the top bit set; FF FF FF where there is no such picture.
void BuildScanInformation(const std::vector<TMultiplexEngine_MPEG2_SuperVideoCD::TScanRecord>& records, size_t index,
                          uint8_t out[12]);

} // namespace quillset
