#include "encoder/mux/mpeg1_engines.h"

#include <algorithm>
#include <cmath>

#include "encoder/mux/packetizer_video.h"

namespace quillset {

namespace {

constexpr int32_t kPackHeaderSize = 12;
// ISO/IEC 11172-1, 2.4.3.3: at most 16 stuffing bytes in a packet header.
constexpr int32_t kMaximumStuffing = 16;
constexpr int32_t kVideoCDMuxRate = 3528; // 75 sectors of 2352 bytes per second

int32_t TimestampBytes(int32_t kind) {
    return kind == 2 ? 10 : kind == 1 ? 5 : 1;
}

} // namespace

TMultiplexEngine_MPEG1::TMultiplexEngine_MPEG1(TMPEGSystemEncoder* systemEncoder, TLargeStream* output)
    : TMultiplexEngine_MPEGSystemBase(systemEncoder, output) {
    MPEGVersion = 1;
}

bool TMultiplexEngine_MPEG1::AcceptsKind(uint8_t kind) const {
    return kind == MPEGSystemEncoder_StreamKind_MPEGVideo || kind == MPEGSystemEncoder_StreamKind_MPEGAudio;
}

int32_t TMultiplexEngine_MPEG1::MaximumHeaderSize(const TMPEGPacketizerStream& stream) const {
    return 6 + (WritesStdField(stream) ? 2 : 0) + TimestampBytes(stream.TimestampMode);
}

int32_t TMultiplexEngine_MPEG1::GetPayloadSize(TMPEGPacketizerStream& stream, int32_t) {
    // The header is always stuffed to its largest size, so the payload does not depend on the
    // time stamps a packet carries.
    return PacketPackSize(stream) - kPackHeaderSize - MaximumHeaderSize(stream);
}

int32_t TMultiplexEngine_MPEG1::WritePacket(TMPEGPacketizerStream& stream, int32_t timestampKind, int64_t dts,
                                           int64_t pts, int64_t scr) {
    const int32_t packBytes = PacketPackSize(stream);
    const bool stdField = WritesStdField(stream);
    const int32_t maximumHeader = MaximumHeaderSize(stream);
    const int32_t payload = PacketPayload(stream, timestampKind);
    const int32_t timestampBytes = TimestampBytes(timestampKind);
    int32_t stuffing = maximumHeader - (6 + (stdField ? 2 : 0) + timestampBytes);
    int32_t remainder = packBytes - kPackHeaderSize - maximumHeader - payload;
    const bool emptiesStream = stream.EndOfData && payload >= stream.SendableBytes();
    const bool endCode = EndCodePerStream() && emptiesStream && !stream.EndCodeWritten && remainder >= 4;
    if (endCode)
        remainder -= 4;
    int32_t padding = 0;
    if (remainder > 0) {
        if (stuffing + remainder <= kMaximumStuffing)
            stuffing += remainder;
        else
            padding = remainder; // at least 7 bytes: a padding packet fits
    }
    Pack.Clear();
    Pack.PutMPEG1PackHeader(scr, MuxRate);
    Pack.PutStartCode(stream.StreamId);
    Pack.Put16(static_cast<uint32_t>(stuffing + (stdField ? 2 : 0) + timestampBytes + payload));
    Pack.PutFill(0xFF, stuffing);
    if (stdField) {
        Pack.PutByte(0x40 | (stream.BufferScale ? 0x20u : 0u) | (static_cast<uint32_t>(stream.BufferBound) >> 8 & 0x1F));
        Pack.PutByte(static_cast<uint32_t>(stream.BufferBound));
        stream.StdWritten = true;
    }
    if (timestampKind == 2) {
        Pack.PutTimestamp(0x3, pts);
        Pack.PutTimestamp(0x1, dts);
    } else if (timestampKind == 1) {
        Pack.PutTimestamp(0x2, pts);
    } else {
        Pack.PutByte(0x0F);
    }
    const int32_t at = Pack.Size();
    Pack.PutFill(0, payload);
    stream.TakePayload(Pack.MutableData() + at, payload);
    if (padding > 0)
        Pack.PutPaddingPacket(padding, 1);
    if (endCode) {
        Pack.PutStartCode(MPEGStartCode_End);
        stream.EndCodeWritten = true;
    }
    Pack.PutFill(0, PackSize - Pack.Size());
    EmitPack();
    return payload;
}

void TMultiplexEngine_MPEG1::WritePaddingPack(uint8_t, int32_t size, int64_t scr) {
    Pack.Clear();
    Pack.PutMPEG1PackHeader(scr, MuxRate);
    Pack.PutPaddingPacket(size - kPackHeaderSize, 1);
    EmitPack();
}

void TMultiplexEngine_MPEG1::WriteHeaderPaddingPack(const std::vector<TMPEGPacketizerStream*>& streams,
                                                    int32_t packBytes, bool endCode) {
    Pack.Clear();
    Pack.PutMPEG1PackHeader(NextSCR(), MuxRate);
    PutSystemHeader(streams);
    const int32_t room = packBytes - Pack.Size() - (endCode ? 4 : 0);
    if (room >= 7)
        Pack.PutPaddingPacket(room, 1);
    else
        Pack.PutFill(0, room);
    if (endCode)
        Pack.PutStartCode(MPEGStartCode_End);
    Pack.PutFill(0, PackSize - Pack.Size());
    EmitPack();
}

void TMultiplexEngine_MPEG1::WriteStart() {
    WriteHeaderPaddingPack({}, PackSize, false);
}

void TMultiplexEngine_MPEG1::WriteEnd() {
    EmitEndCode();
}

TMultiplexEngine_MPEG1_ForceVBR::TMultiplexEngine_MPEG1_ForceVBR(TMPEGSystemEncoder* systemEncoder, TLargeStream* output)
    : TMultiplexEngine_MPEG1(systemEncoder, output) {
    ForceVariable = true;
}

TMultiplexEngine_MPEG1_VideoCD::TMultiplexEngine_MPEG1_VideoCD(TMPEGSystemEncoder* systemEncoder, TLargeStream* output)
    : TMultiplexEngine_MPEG1(systemEncoder, output) {
    PackSize = 2324;
    SectorSize = 2352;
    FixedMuxRate = kVideoCDMuxRate;
    FixedClockRate = kVideoCDMuxRate;
}

void TMultiplexEngine_MPEG1_VideoCD::ComputeRates() {
    TMultiplexEngine_MPEG1::ComputeRates();
    VariableRate = false;
    FixedFlag = true;
    CSPSFlag = true;
    for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams) {
        stream->BufferSize = stream->Kind == MPEGSystemEncoder_StreamKind_MPEGVideo ? kVideoBufferSize : 4096;
        SetBufferBound(*stream);
    }
}

int32_t TMultiplexEngine_MPEG1_VideoCD::PacketPackSize(const TMPEGPacketizerStream& stream) const {
    return stream.Kind == MPEGSystemEncoder_StreamKind_MPEGAudio ? kAudioPackBytes : PackSize;
}

bool TMultiplexEngine_MPEG1_VideoCD::WritesStdField(const TMPEGPacketizerStream& stream) const {
    return stream.Kind == MPEGSystemEncoder_StreamKind_MPEGAudio || !stream.StdWritten;
}

void TMultiplexEngine_MPEG1_VideoCD::WriteStart() {
    for (TMPEGPacketizerStream* stream : SortedStreams)
        WriteHeaderPaddingPack({stream}, PacketPackSize(*stream), false);
}

void TMultiplexEngine_MPEG1_VideoCD::WriteEnd() {
    for (TMPEGPacketizerStream* stream : SortedStreams)
        if (!stream->EndCodeWritten) {
            WriteHeaderPaddingPack({stream}, PacketPackSize(*stream), true);
            stream->EndCodeWritten = true;
        }
}

TMultiplexEngine_MPEG1_VideoCD_Illegal::TMultiplexEngine_MPEG1_VideoCD_Illegal(TMPEGSystemEncoder* systemEncoder,
                                                                               TLargeStream* output)
    : TMultiplexEngine_MPEG1_VideoCD(systemEncoder, output) {
    FixedMuxRate = 0;
    FixedClockRate = 0;
    ForceVariable = true;
}

void TMultiplexEngine_MPEG1_VideoCD_Illegal::ComputeRates() {
    TMultiplexEngine_MPEG1::ComputeRates();
    VariableRate = true;
    FixedFlag = false;
    for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams) {
        const int32_t videoCD = stream->Kind == MPEGSystemEncoder_StreamKind_MPEGVideo ? kVideoBufferSize : 4096;
        stream->BufferSize = std::max(videoCD, DefaultBufferSize(*stream));
        SetBufferBound(*stream);
    }
}

TMultiplexEngine_MPEG1_VideoCD_StillPicture::TMultiplexEngine_MPEG1_VideoCD_StillPicture(
    TMPEGSystemEncoder* systemEncoder, TLargeStream* output)
    : TMultiplexEngine_MPEG1_VideoCD(systemEncoder, output) {
    ForceVariable = true;
}

bool TMultiplexEngine_MPEG1_VideoCD_StillPicture::AcceptsKind(uint8_t kind) const {
    return kind == MPEGSystemEncoder_StreamKind_MPEGVideo;
}

void TMultiplexEngine_MPEG1_VideoCD_StillPicture::ComputeRates() {
    TMultiplexEngine_MPEG1::ComputeRates();
    VariableRate = true;
    FixedFlag = false;
    for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams) {
        int32_t size = kVideoBufferSize;
        if (stream->StreamId == 0xE1) {
            const auto& video = static_cast<const TMPEGPacketizerStream_MPEGVideo&>(*stream);
            int64_t largest = video.LargestPicture;
            for (const TMPEGPacketizer_AccessUnit& unit : stream->GetAccessUnits())
                largest = std::max(largest, unit.Size);
            size = static_cast<int32_t>(std::min<int64_t>((largest + 1023) / 1024 * 1024, kVideoBufferSize));
            size = std::max(size, 1024);
        }
        stream->BufferSize = size;
        SetBufferBound(*stream);
    }
}

TMPEGPacketizerStream* TMultiplexEngine_MPEG1_VideoCD_StillPicture::ChooseStream(int64_t) {
    TMPEGPacketizerStream* best = nullptr;
    for (TMPEGPacketizerStream* stream : SortedStreams)
        if (stream->SendableBytes() > 0 && (best == nullptr || stream->StreamId < best->StreamId))
            best = stream;
    return best;
}

void TMultiplexEngine_MPEG1_VideoCD_StillPicture::WriteStart() {
    WriteHeaderPaddingPack({}, PackSize, false);
}

void TMultiplexEngine_MPEG1_VideoCD_StillPicture::WriteEnd() {
    WriteHeaderPaddingPack({}, PackSize, true);
}

} // namespace quillset
