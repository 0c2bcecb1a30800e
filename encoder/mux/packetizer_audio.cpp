#include "encoder/mux/packetizer_audio.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/mux/multiplexor_base.h"

namespace quillset {

void TMPEGPacketizerStream_AudioFrames::Reset() {
    TMPEGPacketizerStream::Reset();
    ParsePos = 0;
    FirstFound = false;
    Samples = 0;
}

bool TMPEGPacketizerStream_AudioFrames::Matches(const uint8_t* data) const {
    TFrame frame;
    return ReadFrame(data, frame) && frame.SamplingFrequency == SamplingFrequency;
}

int64_t TMPEGPacketizerStream_AudioFrames::FindFrame(int64_t from, int64_t end) const {
    const int32_t need = HeaderSize();
    for (int64_t i = from; i + need <= end; ++i) {
        const uint8_t* p = At(i);
        TFrame frame;
        if (FirstFound ? Matches(p) : ReadFrame(p, frame))
            return i;
    }
    return -1;
}

void TMPEGPacketizerStream_AudioFrames::AddFrame(int64_t position, const TFrame& frame) {
    std::deque<TMPEGPacketizer_AccessUnit>& units = GetAccessUnits();
    if (!units.empty() && !units.back().Closed) {
        units.back().Size = position - units.back().Start;
        units.back().Closed = true;
    }
    // Bytes in front of the first frame belong to it.
    TMPEGPacketizer_AccessUnit& unit = NewAccessUnit(Samples == 0 ? 0 : position);
    const long double seconds = static_cast<long double>(Samples) / frame.SamplingFrequency;
    unit.PTS = std::llround(seconds * 90000 + 0.1L);
    unit.DTS = unit.PTS;
    unit.TimestampKind = 1;
    unit.Timed = true;
    Samples += frame.Samples;
    Clock = static_cast<long double>(Samples) / frame.SamplingFrequency;
}

int32_t TMPEGPacketizerStream_AudioFrames::AdjustPayload(int32_t size) {
    const int64_t from = TakenBytes();
    const int64_t end = from + size;
    for (const TMPEGPacketizer_AccessUnit& unit : GetAccessUnits()) {
        if (unit.Start >= end)
            break;
        if (unit.Start > from && unit.Start + HeaderSize() > end)
            return static_cast<int32_t>(unit.Start - from);
    }
    return size;
}

void TMPEGPacketizerStream_AudioFrames::ParseChunk(bool final) {
    const int64_t end = QueuedEnd();
    const int32_t need = HeaderSize();
    for (;;) {
        if (!FirstFound) {
            const int64_t found = FindFrame(ParsePos, end);
            if (found < 0) {
                ParsePos = std::max(ParsePos, end - need + 1);
                if (end >= kAudioSyncSearchLimit || (final && end > 0))
                    throw EMPEGSystemEncoderError(IllegalStreamCode());
                break;
            }
            if (found >= kAudioSyncSearchLimit)
                throw EMPEGSystemEncoderError(IllegalStreamCode());
            TFrame frame;
            ReadFrame(At(found), frame);
            std::copy(At(found), At(found) + need, FirstHeader);
            FirstFound = true;
            SamplingFrequency = frame.SamplingFrequency;
            if (AverageRate == 0 && MaximumRate == 0)
                AverageRate = MaximumRate = frame.BitRate;
            ParsePos = found;
        }
        if (ParsePos + need > end)
            break;
        TFrame frame;
        if (!Matches(At(ParsePos)) || !ReadFrame(At(ParsePos), frame)) {
            // Not a frame where one should begin: the bytes up to the next frame stay with the
            // frame before.
            const int64_t next = FindFrame(ParsePos + 1, end);
            if (next < 0) {
                ParsePos = std::max(ParsePos, end - need + 1);
                break;
            }
            ParsePos = next;
            continue;
        }
        AddFrame(ParsePos, frame);
        ParsePos += frame.Size;
    }
    UpdateComplete();
}

void TMPEGPacketizerStream_AudioFrames::Prescan() {
    if (Source == nullptr)
        return;
    const int64_t saved = Source->Seek(0, soFromCurrent);
    Source->Seek(0, soFromBeginning);
    std::vector<uint8_t> buffer(kAudioSyncSearchLimit + 16);
    int32_t got = 0;
    while (got < static_cast<int32_t>(buffer.size())) {
        const int32_t n = Source->Read(buffer.data() + got, static_cast<int32_t>(buffer.size()) - got);
        if (n <= 0)
            break;
        got += n;
    }
    Source->Seek(saved, soFromBeginning);
    const int32_t need = HeaderSize();
    for (int32_t i = 0; i + need <= got && i < kAudioSyncSearchLimit; ++i) {
        TFrame frame;
        if (ReadFrame(buffer.data() + i, frame)) {
            AverageRate = MaximumRate = frame.BitRate;
            return;
        }
    }
    throw EMPEGSystemEncoderError(IllegalStreamCode());
}

TMPEGPacketizerStream_MPEGAudio::TMPEGPacketizerStream_MPEGAudio(TMultiplexEngine_MultiplexorBase& engine,
                                                                 const TMPEGSystemEncoder_StreamInfo& info)
    : TMPEGPacketizerStream_AudioFrames(engine, info) {
    TimestampMode = 1;
    BufferScale = 0;
}

void TMPEGPacketizerStream_MPEGAudio::AllowedStreamIds(TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds) {
    GetAllowedStreamIdsOfKind(MPEGSystemEncoder_StreamKind_MPEGAudio, streamIds, substreamIds);
}

bool TMPEGPacketizerStream_MPEGAudio::ReadFrame(const uint8_t* data, TFrame& frame) const {
    TMPEGAudioFrameHeader header;
    if (!ParseMPEGAudioFrameHeader(data, header))
        return false;
    frame.Size = header.FrameSize;
    frame.Samples = header.SamplesPerFrame;
    frame.SamplingFrequency = header.SamplingFrequency;
    frame.BitRate = header.BitRate;
    return frame.Size > 0;
}

uint32_t TMPEGPacketizerStream_MPEGAudio::IllegalStreamCode() const {
    return MPEGError_IllegalAudioStream;
}

bool TMPEGPacketizerStream_MPEGAudio::Matches(const uint8_t* data) const {
    // Same version, layer and sampling frequency as the first frame.
    TFrame frame;
    return ReadFrame(data, frame) && (data[1] & 0xFE) == (FirstHeader[1] & 0xFE) &&
           (data[2] & 0x0C) == (FirstHeader[2] & 0x0C);
}

TMPEGPacketizerStream_DolbyAC3::TMPEGPacketizerStream_DolbyAC3(TMultiplexEngine_MultiplexorBase& engine,
                                                               const TMPEGSystemEncoder_StreamInfo& info)
    : TMPEGPacketizerStream_AudioFrames(engine, info) {
    TimestampMode = 1;
    BufferScale = 1;
}

void TMPEGPacketizerStream_DolbyAC3::AllowedStreamIds(TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds) {
    GetAllowedStreamIdsOfKind(MPEGSystemEncoder_StreamKind_DolbyAC3, streamIds, substreamIds);
}

bool TMPEGPacketizerStream_DolbyAC3::ReadFrame(const uint8_t* data, TFrame& frame) const {
    TAC3SyncInfo info;
    if (!ParseAC3SyncInfo(data, info))
        return false;
    frame.Size = info.FrameSize;
    frame.Samples = TAC3SyncInfo::SamplesPerFrame;
    frame.SamplingFrequency = info.SamplingFrequency;
    frame.BitRate = info.BitRate;
    return true;
}

uint32_t TMPEGPacketizerStream_DolbyAC3::IllegalStreamCode() const {
    return MPEGError_IllegalAC3Stream;
}

void TMPEGPacketizerStream_DolbyAC3::FillSubstreamHeader(int32_t payloadSize, uint8_t* header) {
    int32_t count = 0;
    int32_t first = -1;
    CountUnitStarts(*this, payloadSize, count, first);
    header[0] = static_cast<uint8_t>(count);
    const int32_t pointer = first >= 0 ? first + 1 : 0;
    header[1] = static_cast<uint8_t>(pointer >> 8);
    header[2] = static_cast<uint8_t>(pointer);
}

void CountUnitStarts(TMPEGPacketizerStream& stream, int32_t payloadSize, int32_t& count, int32_t& firstOffset,
                     int64_t* firstSequence) {
    count = 0;
    firstOffset = -1;
    const int64_t from = stream.TakenBytes();
    for (const TMPEGPacketizer_AccessUnit& unit : stream.GetAccessUnits()) {
        if (unit.Start >= from + payloadSize)
            break;
        if (unit.Start < from || unit.Size <= 0)
            continue;
        if (count == 0) {
            firstOffset = static_cast<int32_t>(unit.Start - from);
            if (firstSequence != nullptr)
                *firstSequence = unit.Sequence;
        }
        ++count;
    }
}

} // namespace quillset
