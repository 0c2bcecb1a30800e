#include "encoder/mux/packetizer_lpcm.h"

#include <algorithm>
#include <vector>

#include "encoder/demux/lpcm_dvd_header.h"
#include "encoder/framework/mpeg_errors.h"
#include "encoder/mux/packetizer_audio.h"

namespace quillset {

namespace {

// 90 kHz ticks of a 1/600 second frame.
constexpr int64_t kFrameTicks = 90000 / LPCMFramesPerSecond;

void CheckHeader(const TLinearPCMHeaderInfo& info) {
    if (info.BitsPerSample != 16 || (info.SamplingFrequency != 48000 && info.SamplingFrequency != 96000) ||
        info.Channels < 1 || info.Channels > 8)
        throw EMPEGSystemEncoderError(MPEGError_IllegalLinearPCMStream);
}

} // namespace

TMPEGPacketizerStream_LinearPCM::TMPEGPacketizerStream_LinearPCM(TMultiplexEngine_MultiplexorBase& engine,
                                                                 const TMPEGSystemEncoder_StreamInfo& info)
    : TMPEGPacketizerStream(engine, info) {
    TimestampMode = 1;
    BufferScale = 1;
}

void TMPEGPacketizerStream_LinearPCM::AllowedStreamIds(TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds) {
    GetAllowedStreamIdsOfKind(MPEGSystemEncoder_StreamKind_LinearPCM, streamIds, substreamIds);
}

void TMPEGPacketizerStream_LinearPCM::Reset() {
    TMPEGPacketizerStream::Reset();
    HeaderRead = false;
    ParsePos = 0;
    Frames = 0;
}

void TMPEGPacketizerStream_LinearPCM::Prescan() {
    if (Source == nullptr)
        return;
    const int64_t saved = Source->Seek(0, soFromCurrent);
    Source->Seek(0, soFromBeginning);
    uint8_t bytes[LPCMHeaderSize] = {};
    const int32_t got = Source->Read(bytes, LPCMHeaderSize);
    Source->Seek(saved, soFromBeginning);
    if (got < LPCMHeaderSize || !IsValidLPCMHeader(bytes, got))
        throw EMPEGSystemEncoderError(MPEGError_IllegalLinearPCMStream);
    const TLinearPCMHeaderInfo info = ReadLPCMHeader(bytes);
    CheckHeader(info);
    AverageRate = MaximumRate = info.SamplingFrequency * info.Channels * 16;
}

void TMPEGPacketizerStream_LinearPCM::ParseChunk(bool final) {
    const int64_t end = QueuedEnd();
    if (!HeaderRead) {
        if (end < LPCMHeaderSize) {
            if (final && end > 0)
                throw EMPEGSystemEncoderError(MPEGError_IllegalLinearPCMStream);
            return;
        }
        uint8_t bytes[LPCMHeaderSize];
        Peek(0, bytes, LPCMHeaderSize);
        if (!IsValidLPCMHeader(bytes, LPCMHeaderSize))
            throw EMPEGSystemEncoderError(MPEGError_IllegalLinearPCMStream);
        Header = ReadLPCMHeader(bytes);
        CheckHeader(Header);
        if (end < Header.HeaderSize && !final)
            return;
        HeaderRead = true;
        FrameBytes = Header.SamplingFrequency / LPCMFramesPerSecond * Header.Channels * 2;
        AverageRate = MaximumRate = Header.SamplingFrequency * Header.Channels * 16;
        // The private header does not travel: each packet carries the DVD header instead.
        const int32_t skip = static_cast<int32_t>(std::min<int64_t>(Header.HeaderSize, end));
        Discard(skip);
        ParsePos = skip;
    }
    while (ParsePos < end && (ParsePos + FrameBytes <= end || final)) {
        TMPEGPacketizer_AccessUnit& unit = NewAccessUnit(ParsePos);
        unit.Size = std::min<int64_t>(FrameBytes, end - ParsePos);
        unit.Closed = true;
        unit.PTS = unit.DTS = Frames * kFrameTicks;
        unit.TimestampKind = 1;
        unit.Timed = true;
        ++Frames;
        Clock = static_cast<long double>(Frames) / LPCMFramesPerSecond;
        ParsePos += unit.Size;
    }
    UpdateComplete();
}

int32_t TMPEGPacketizerStream_LinearPCM::AdjustPayload(int32_t size) {
    const int32_t sampleTime = std::max(1, Header.Channels * 2);
    const int64_t left = QueuedEnd() - TakenBytes();
    if (size >= left)
        return size; // the stream's last bytes
    return size / sampleTime * sampleTime;
}

void TMPEGPacketizerStream_LinearPCM::FillSubstreamHeader(int32_t payloadSize, uint8_t* header) {
    int32_t count = 0;
    int32_t first = -1;
    int64_t firstSequence = 0;
    CountUnitStarts(*this, payloadSize, count, first, &firstSequence);
    header[0] = static_cast<uint8_t>(count);
    // The pointer counts from the pointer's last byte; the three header bytes come first.
    const int32_t pointer = first >= 0 ? first + 4 : 0;
    header[1] = static_cast<uint8_t>(pointer >> 8);
    header[2] = static_cast<uint8_t>(pointer);
    BuildDVDLinearPCMHeader(Header, static_cast<int32_t>(count > 0 ? firstSequence % 20 : 0), header + 3);
}

} // namespace quillset
