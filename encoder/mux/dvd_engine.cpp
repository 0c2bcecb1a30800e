#include "encoder/mux/dvd_engine.h"

#include <algorithm>

namespace quillset {

namespace {

constexpr int32_t kPackHeaderSize = 14;

void PutBE32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value >> 24);
    p[1] = static_cast<uint8_t>(value >> 16);
    p[2] = static_cast<uint8_t>(value >> 8);
    p[3] = static_cast<uint8_t>(value);
}

// Appends a private stream 2 packet of `size` bytes, zero but for the first, the substream
// number; returns the packet's body, valid until the pack grows again.
uint8_t* PutNavigationPacket(TPackBuilder& pack, int32_t size, uint8_t substream) {
    pack.PutStartCode(MPEGStreamId_PrivateStream2);
    pack.Put16(static_cast<uint32_t>(size));
    const int32_t at = pack.Size();
    pack.PutFill(0, size);
    uint8_t* body = pack.MutableData() + at;
    body[0] = substream;
    return body;
}

} // namespace

TMultiplexEngine_MPEG2_DVDVideo::TMultiplexEngine_MPEG2_DVDVideo(TMPEGSystemEncoder* systemEncoder, TLargeStream* output)
    : TMultiplexEngine_MPEG2_Program(systemEncoder, output) {
    FixedMuxRate = kMuxRate;
    FixedClockRate = kMuxRate;
}

bool TMultiplexEngine_MPEG2_DVDVideo::AcceptsKind(uint8_t kind) const {
    return TMultiplexEngine_MPEG2_Program::AcceptsKind(kind) || kind == MPEGSystemEncoder_StreamKind_LinearPCM;
}

void TMultiplexEngine_MPEG2_DVDVideo::ComputeRates() {
    TMultiplexEngine_MPEG2_Program::ComputeRates();
    for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams) {
        switch (stream->Kind) {
        case MPEGSystemEncoder_StreamKind_MPEGVideo:
            stream->BufferSize = kVideoBufferSize;
            SetBufferBound(*stream);
            break;
        case MPEGSystemEncoder_StreamKind_MPEGAudio:
            stream->BufferSize = 4096;
            SetBufferBound(*stream);
            break;
        default:
            // Scheduled against a small buffer so that the audio stays near its pictures; the
            // headers announce the buffer DVD-Video gives private stream 1.
            stream->BufferSize = stream->Kind == MPEGSystemEncoder_StreamKind_LinearPCM ? 8192 : 4096;
            stream->BufferScale = 1;
            stream->BufferBound = kPrivateBufferBound;
            break;
        }
    }
}

TSystemHeaderContent TMultiplexEngine_MPEG2_DVDVideo::BuildSystemHeader(const std::vector<TMPEGPacketizerStream*>&) const {
    // The fixed layout of a DVD-Video navigation pack: one entry each for all video, all audio,
    // private stream 1 and private stream 2.
    TSystemHeaderContent header = TMultiplexEngine_MPEG2_Program::BuildSystemHeader({});
    header.Entries = {{0xB9, 1, kVideoBufferSize / 1024},
                      {0xB8, 0, 4096 / 128},
                      {MPEGStreamId_PrivateStream1, 1, kPrivateBufferBound},
                      {MPEGStreamId_PrivateStream2, 1, 2}};
    header.Fields.VideoBound = std::max(header.Fields.VideoBound, 1);
    header.Fields.Fixed = false;
    return header;
}

TMPEGPacketizerStream* TMultiplexEngine_MPEG2_DVDVideo::UnitStream() const {
    for (TMPEGPacketizerStream* stream : SortedStreams)
        if (stream->Kind == MPEGSystemEncoder_StreamKind_MPEGVideo)
            return stream;
    return nullptr;
}

TMPEGPacketizerStream* TMultiplexEngine_MPEG2_DVDVideo::ChooseStream(int64_t now) {
    TMPEGPacketizerStream* video = UnitStream();
    // A DVD-Video object begins with a navigation pack, and that with the first picture group.
    if (video != nullptr && NavigationPacks == 0)
        return video->SendableBytes() > 0 ? video : nullptr;
    return TMultiplexEngine_MPEG2_Program::ChooseStream(now);
}

int32_t TMultiplexEngine_MPEG2_DVDVideo::AdjustPayload(TMPEGPacketizerStream& stream, int32_t size) {
    size = TMultiplexEngine_MPEG2_Program::AdjustPayload(stream, size);
    if (&stream != UnitStream())
        return size;
    // A packet never runs into the next unit: that unit's first pack follows its navigation pack.
    return StopBeforeEntryPoint(stream, size, false);
}

bool TMultiplexEngine_MPEG2_DVDVideo::OpensUnit(TMPEGPacketizerStream& stream) {
    if (&stream != UnitStream())
        return false;
    const TMPEGPacketizer_AccessUnit* unit = stream.CurrentAccessUnit();
    return unit != nullptr && unit->GroupStart && unit->Start == stream.TakenBytes() && unit->Start != LastUnitStart;
}

void TMultiplexEngine_MPEG2_DVDVideo::WriteNavigationPack(int64_t firstPTS) {
    const uint32_t block = static_cast<uint32_t>(BytesOut / PackSize);
    const int64_t scr = NextSCR();
    Pack.Clear();
    Pack.PutMPEG2PackHeader(scr, MuxRate);
    PutSystemHeader({});
    // Presentation control information (substream 0x00).
    uint8_t* p = PutNavigationPacket(Pack, kPCISize, 0x00);
    PutBE32(p + 1, block);                                       // nv_pck_lbn
    PutBE32(p + 1 + 12, static_cast<uint32_t>(firstPTS));        // vobu_s_ptm
    // Data search information (substream 0x01).
    uint8_t* d = PutNavigationPacket(Pack, kDSISize, 0x01);
    PutBE32(d + 1, static_cast<uint32_t>(scr / 300));             // nv_pck_scr
    PutBE32(d + 1 + 4, block);                                    // nv_pck_lbn
    EmitPack();
    ++NavigationPacks;
}

void TMultiplexEngine_MPEG2_DVDVideo::WriteStart() {
    // Nothing: the first pack is the first unit's navigation pack.
}

int32_t TMultiplexEngine_MPEG2_DVDVideo::WritePacket(TMPEGPacketizerStream& stream, int32_t timestampKind, int64_t dts,
                                                    int64_t pts, int64_t scr) {
    if (OpensUnit(stream)) {
        const TMPEGPacketizer_AccessUnit* unit = stream.CurrentAccessUnit();
        LastUnitStart = unit->Start;
        WriteNavigationPack(timestampKind != 0 ? pts : unit->PTS + stream.TimeOffset);
        scr = NextSCR();
    }
    return TMultiplexEngine_MPEG2_Program::WritePacket(stream, timestampKind, dts, pts, scr);
}

void TMultiplexEngine_MPEG2_DVDVideo::WriteEnd() {
    // The program end code closes the last sector, so that the file stays whole sectors.
    Pack.Clear();
    Pack.PutMPEG2PackHeader(NextSCR(), MuxRate);
    Pack.PutPaddingPacket(PackSize - kPackHeaderSize - 4, 2);
    Pack.PutStartCode(MPEGStartCode_End);
    EmitPack();
}

void TMultiplexEngine_MPEG2_DVDVideo::ResetForSecondPass() {
    TMultiplexEngine_MPEG2_Program::ResetForSecondPass();
    NavigationPacks = 0;
    LastUnitStart = -1;
}

} // namespace quillset
