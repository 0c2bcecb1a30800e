#include "encoder/mux/mpeg2_engines.h"

#include <algorithm>
#include <memory>

#include "encoder/demux/mpeg_demultiplexor_stream.h"
#include "encoder/mux/system_encoder.h"

namespace quillset {

namespace {

constexpr int32_t kPackHeaderSize = 14;
// PES header bytes before the time stamps: start code, length, two flag bytes, header length.
constexpr int32_t kPESFixedHeader = 9;
// The extension flags byte and the P-STD buffer field.
constexpr int32_t kPESExtension = 3;
// Super Video CD: 150 sectors of 2352 bytes per second.
constexpr int32_t kSuperVideoCDClockRate = 7056;
// Presentation-time distances of the far scan targets: more than 5 and at most 10 seconds.
constexpr int64_t kScanFarMinimum = 449999;
constexpr int64_t kScanFarMaximum = 900000;

int32_t TimestampBytes(int32_t kind) {
    return kind == 2 ? 10 : kind == 1 ? 5 : 0;
}

int32_t SubstreamBytes(const TMPEGPacketizerStream& stream) {
    return stream.StreamId == MPEGStreamId_PrivateStream1 ? 1 + stream.GetSubstreamHeaderSize() : 0;
}

uint8_t ToBCD(int64_t value) {
    return static_cast<uint8_t>(value / 10 << 4 | value % 10);
}

void PutScanOffset(int64_t distance, uint8_t* out) {
    const int64_t d = distance < 0 ? -distance : distance;
    out[0] = ToBCD(d / 4500 % 100);
    out[1] = static_cast<uint8_t>(ToBCD(d / 75 % 60) | 0x80);
    out[2] = static_cast<uint8_t>(ToBCD(d % 75) | 0x80);
}

} // namespace

TMultiplexEngine_MPEG2_Program::TMultiplexEngine_MPEG2_Program(TMPEGSystemEncoder* systemEncoder, TLargeStream* output)
    : TMultiplexEngine_MPEGSystemBase(systemEncoder, output) {
    MPEGVersion = 2;
    ForceVariable = true;
}

bool TMultiplexEngine_MPEG2_Program::AcceptsKind(uint8_t kind) const {
    return kind == MPEGSystemEncoder_StreamKind_MPEGVideo || kind == MPEGSystemEncoder_StreamKind_MPEGAudio ||
           kind == MPEGSystemEncoder_StreamKind_DolbyAC3;
}

int32_t TMultiplexEngine_MPEG2_Program::GetPayloadSize(TMPEGPacketizerStream& stream, int32_t timestampKind) {
    return PackSize - kPackHeaderSize - (kPESFixedHeader + TimestampBytes(timestampKind) + kPESExtension) -
           SubstreamBytes(stream);
}

int32_t TMultiplexEngine_MPEG2_Program::PacketPayload(TMPEGPacketizerStream& stream, int32_t timestampKind) {
    const int64_t sendable = stream.SendableBytes();
    const int32_t capacity = GetPayloadSize(stream, timestampKind);
    int32_t payload = static_cast<int32_t>(std::min<int64_t>(sendable, capacity));
    const int32_t reserve = EndCodeReserve(stream);
    // The pack that empties the stream keeps room for the end code.
    if (reserve > 0 && stream.EndOfData && payload >= sendable && capacity - payload < reserve)
        payload = capacity - reserve;
    return AdjustPayload(stream, payload);
}

int32_t TMultiplexEngine_MPEG2_Program::PutPESPacket(TMPEGPacketizerStream& stream, int32_t timestampKind, int64_t dts,
                                                     int64_t pts, int32_t room) {
    const int32_t payload = PacketPayload(stream, timestampKind);
    const int32_t substream = SubstreamBytes(stream);
    const int32_t timestamps = TimestampBytes(timestampKind);
    int32_t used = kPESFixedHeader + timestamps + kPESExtension + substream + payload;
    int32_t remainder = room - used;
    int32_t stuffing = 0;
    int32_t padding = 0;
    if (remainder >= 8)
        padding = remainder;
    else if (remainder > 0)
        stuffing = remainder;
    const int32_t headerData = timestamps + kPESExtension + stuffing;
    Pack.PutStartCode(stream.StreamId);
    Pack.Put16(static_cast<uint32_t>(3 + headerData + substream + payload));
    Pack.PutByte(0x80);
    Pack.PutByte((timestampKind == 2 ? 0xC0u : timestampKind == 1 ? 0x80u : 0u) | 0x01u);
    Pack.PutByte(static_cast<uint32_t>(headerData));
    if (timestampKind == 2) {
        Pack.PutTimestamp(0x3, pts);
        Pack.PutTimestamp(0x1, dts);
    } else if (timestampKind == 1) {
        Pack.PutTimestamp(0x2, pts);
    }
    Pack.PutByte(0x1E); // P-STD buffer field only
    Pack.PutByte(0x40 | (stream.BufferScale ? 0x20u : 0u) | (static_cast<uint32_t>(stream.BufferBound) >> 8 & 0x1F));
    Pack.PutByte(static_cast<uint32_t>(stream.BufferBound));
    Pack.PutFill(0xFF, stuffing);
    if (substream > 0) {
        Pack.PutByte(stream.SubstreamId);
        uint8_t header[16] = {};
        stream.FillSubstreamHeader(payload, header);
        Pack.PutBytes(header, substream - 1);
    }
    const int32_t at = Pack.Size();
    Pack.PutFill(0, payload);
    stream.TakePayload(Pack.MutableData() + at, payload);
    stream.StdWritten = true;
    if (padding > 0)
        Pack.PutPaddingPacket(padding, 2);
    return payload;
}

int32_t TMultiplexEngine_MPEG2_Program::WritePacket(TMPEGPacketizerStream& stream, int32_t timestampKind, int64_t dts,
                                                   int64_t pts, int64_t scr) {
    const int32_t reserve = EndCodeReserve(stream);
    Pack.Clear();
    Pack.PutMPEG2PackHeader(scr, MuxRate);
    const bool endCode = reserve > 0 && stream.EndOfData && !stream.EndCodeWritten &&
                         PacketPayload(stream, timestampKind) >= stream.SendableBytes();
    const int32_t payload =
        PutPESPacket(stream, timestampKind, dts, pts, PackSize - kPackHeaderSize - (endCode ? reserve : 0));
    if (endCode) {
        Pack.PutFill(0, PackSize - reserve - Pack.Size());
        Pack.PutStartCode(MPEGStartCode_End);
        stream.EndCodeWritten = true;
    }
    Pack.PutFill(0, PackSize - Pack.Size());
    LastPackEndCode = endCode;
    EmitPack();
    return payload;
}

void TMultiplexEngine_MPEG2_Program::WritePaddingPack(uint8_t, int32_t size, int64_t scr) {
    Pack.Clear();
    Pack.PutMPEG2PackHeader(scr, MuxRate);
    Pack.PutPaddingPacket(size - kPackHeaderSize, 2);
    LastPackEndCode = false;
    EmitPack();
}

void TMultiplexEngine_MPEG2_Program::WriteStart() {
    Pack.Clear();
    Pack.PutMPEG2PackHeader(NextSCR(), MuxRate);
    PutSystemHeader({});
    Pack.PutPaddingPacket(PackSize - Pack.Size(), 2);
    EmitPack();
}

void TMultiplexEngine_MPEG2_Program::WriteEnd() {
    EmitEndCode();
}

TMultiplexEngine_MPEG2_SuperVideoCD::TMultiplexEngine_MPEG2_SuperVideoCD(TMPEGSystemEncoder* systemEncoder,
                                                                         TLargeStream* output)
    : TMultiplexEngine_MPEG2_Program(systemEncoder, output) {
    PackSize = 2324;
    SectorSize = 2352;
    FixedClockRate = kSuperVideoCDClockRate;
}

TMultiplexEngine_MPEG2_SuperVideoCD::~TMultiplexEngine_MPEG2_SuperVideoCD() = default;

bool TMultiplexEngine_MPEG2_SuperVideoCD::AcceptsKind(uint8_t kind) const {
    return TMultiplexEngine_MPEG2_Program::AcceptsKind(kind);
}

void TMultiplexEngine_MPEG2_SuperVideoCD::ComputeRates() {
    TMultiplexEngine_MPEG2_Program::ComputeRates();
    for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams) {
        stream->BufferSize = stream->Kind == MPEGSystemEncoder_StreamKind_MPEGVideo ? kVideoBufferSize : 4096;
        SetBufferBound(*stream);
    }
}

int32_t TMultiplexEngine_MPEG2_SuperVideoCD::EndCodeReserve(const TMPEGPacketizerStream&) const {
    return 4;
}

void TMultiplexEngine_MPEG2_SuperVideoCD::PacketWritten(TMPEGPacketizerStream& stream,
                                                        const TMPEGPacketizer_AccessUnit* stamped) {
    if (stamped == nullptr || stream.Kind != MPEGSystemEncoder_StreamKind_MPEGVideo || stamped->PictureType != 1 ||
        stamped->PrivateOffset < 0)
        return;
    if (ScanRecords.empty())
        VideoStreamNumber = static_cast<uint8_t>(stream.StreamId - MPEGStreamId_FirstVideo);
    else if (stream.StreamId - MPEGStreamId_FirstVideo != VideoStreamNumber)
        return; // scan information belongs to the first video stream
        // Sectors on the disc: packs written (the clock also counts the packs it skipped).
    const int64_t pack = BytesOut / PackSize - 1;
    ScanRecords.push_back({stamped->PTS + stream.TimeOffset, pack, BytesOut - PackSize, stamped->PrivateOffset});
}

int32_t TMultiplexEngine_MPEG2_SuperVideoCD::AdjustPayload(TMPEGPacketizerStream& stream, int32_t size) {
    return StopBeforeEntryPoint(stream, TMultiplexEngine_MPEG2_Program::AdjustPayload(stream, size), true);
}

void TMultiplexEngine_MPEG2_SuperVideoCD::WriteEnd() {
    // The last pack of the last stream already ends with the end code.
    if (!LastPackEndCode)
        TMultiplexEngine_MPEG2_Program::WriteEnd();
}

void TMultiplexEngine_MPEG2_SuperVideoCD::ResetForSecondPass() {
    TMultiplexEngine_MPEG2_Program::ResetForSecondPass();
    ScanRecords.clear();
}

void TMultiplexEngine_MPEG2_SuperVideoCD::FinishMultiplex() {
    TMultiplexEngine_MPEG2_Program::FinishMultiplex();
    if (!ScanRecords.empty() && Output != nullptr)
        WriteScanInformation();
}

void TMultiplexEngine_MPEG2_SuperVideoCD::GetProgress(int64_t& position, int64_t& total) {
    std::lock_guard lock(Lock);
    if (SystemEncoder != nullptr && SystemEncoder->GetProgressPhase() == MPEGSystemEncoder_ProgressPhase_ScanInformation) {
        position = ScanDone;
        total = static_cast<int64_t>(ScanRecords.size());
        return;
    }
    TMultiplexEngine_MPEG2_Program::GetProgress(position, total);
}

void BuildScanInformation(const std::vector<TMultiplexEngine_MPEG2_SuperVideoCD::TScanRecord>& records, size_t index,
                          uint8_t out[12]) {
    std::fill(out, out + 12, 0xFF);
    const TMultiplexEngine_MPEG2_SuperVideoCD::TScanRecord& self = records[index];
    if (index > 0)
        PutScanOffset(self.Pack - records[index - 1].Pack, out);
    if (index + 1 < records.size())
        PutScanOffset(records[index + 1].Pack - self.Pack, out + 3);
    for (size_t j = index; j-- > 0;) {
        const int64_t distance = self.PTS - records[j].PTS;
        if (distance > kScanFarMaximum)
            break;
        if (distance > kScanFarMinimum) {
            PutScanOffset(self.Pack - records[j].Pack, out + 6);
            break;
        }
    }
    for (size_t j = index + 1; j < records.size(); ++j) {
        const int64_t distance = records[j].PTS - self.PTS;
        if (distance > kScanFarMaximum)
            break;
        if (distance > kScanFarMinimum) {
            PutScanOffset(records[j].Pack - self.Pack, out + 9);
            break;
        }
    }
}

void TMultiplexEngine_MPEG2_SuperVideoCD::WriteScanInformation() {
    SetProgressPhase(MPEGSystemEncoder_ProgressPhase_ScanInformation);
    Output->Seek(0, soFromBeginning);
    {
        TMPEGDemultiplexorStream video(*Output, false, 0, VideoStreamNumber);
        for (size_t i = 0; i < ScanRecords.size(); ++i) {
            uint8_t bytes[12];
            BuildScanInformation(ScanRecords, i, bytes);
            video.Seek(ScanRecords[i].ScanOffset, soFromBeginning);
            video.WriteBuffer(bytes, 12);
            ScanDone = static_cast<int64_t>(i) + 1;
            if (ScanDone % 50 == 0)
                NotifySystemEncoder();
        }
    }
    Output->Seek(0, soFromEnd);
}

} // namespace quillset
