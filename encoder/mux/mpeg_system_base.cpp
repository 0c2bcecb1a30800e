#include "encoder/mux/mpeg_system_base.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/mux/packetizer_video.h"
#include "encoder/mux/system_encoder.h"
#include "stream/cache_filter_stream.h"

namespace quillset {

namespace {

// Leading access units looked at for a stream's earliest presentation time.
constexpr size_t kLeadingUnits = 64;

int64_t RoundedRate(int32_t sectorSize, int32_t payloadSize, int32_t rate) {
    return std::llround(static_cast<double>(sectorSize) / payloadSize * rate);
}

int32_t RateUnits(int64_t bitsPerSecond) {
    const int64_t units = (bitsPerSecond + 399) / 400; // ceiling(bits / 8 / 50)
    return static_cast<int32_t>(std::clamp<int64_t>(units, 1, 0x3FFFFF));
}

} // namespace

TMultiplexEngine_MPEGSystemBase::TMultiplexEngine_MPEGSystemBase(TMPEGSystemEncoder* systemEncoder, TLargeStream* output)
    : TMultiplexEngine_MultiplexorBase(systemEncoder, output) {}

TMPEGSystemEncoder_ElementaryStream* TMultiplexEngine_MPEGSystemBase::AddStream(const TMPEGSystemEncoder_StreamInfo& info,
                                                                               TLargeStream* source) {
    std::lock_guard lock(Lock);
    TMPEGSystemEncoder_ElementaryStream* stream = TMultiplexEngine_MultiplexorBase::AddStream(info, source);
    SetPayloadSizes(*Streams.back());
    return stream;
}

int64_t TMultiplexEngine_MPEGSystemBase::GetBytesWritten() {
    std::lock_guard lock(Lock);
    return BytesOut;
}

int32_t TMultiplexEngine_MPEGSystemBase::GetUnderflowCount() {
    std::lock_guard lock(Lock);
    return UnderflowCount;
}

void TMultiplexEngine_MPEGSystemBase::GetProgress(int64_t& position, int64_t& total) {
    std::lock_guard lock(Lock);
    if (SystemEncoder != nullptr && SystemEncoder->GetProgressPhase() == MPEGSystemEncoder_ProgressPhase_RewritingMuxRate) {
        position = RewritePosition;
        total = RewriteTotal;
        return;
    }
    position = 0;
    total = 0;
    for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams) {
        position += stream->TakenBytes();
        total += std::max(stream->QueuedEnd(), stream->GetSize());
    }
}

int64_t TMultiplexEngine_MPEGSystemBase::ClockTicks() const {
    return (ClockBytes + ClockOffset) * 90000 / std::max(1, ClockRateBytes);
}

int64_t TMultiplexEngine_MPEGSystemBase::NextSCR() const {
    const int64_t bytes = ClockBytes + ClockOffset;
    const int64_t rate = std::max(1, ClockRateBytes);
    if (MPEGVersion == 1)
        return bytes * 90000 / rate;
    // 27 MHz without overflow for outputs of many gigabytes.
    return bytes / rate * 27000000 + bytes % rate * 27000000 / rate;
}

void TMultiplexEngine_MPEGSystemBase::EmitPack() {
    if (Output != nullptr && Pack.Size() > 0)
        Output->WriteBuffer(Pack.Data(), Pack.Size());
    BytesOut += Pack.Size();
    Pack.Clear();
    ClockBytes += SectorSize;
    ++PackCount;
    if (Finishing && PackCount % 100 == 0)
        NotifySystemEncoder();
}

void TMultiplexEngine_MPEGSystemBase::SkipPack() {
    ClockBytes += SectorSize;
    ++PackCount;
}

void TMultiplexEngine_MPEGSystemBase::EmitEndCode() {
    const uint8_t end[4] = {0, 0, 1, MPEGStartCode_End};
    if (Output != nullptr)
        Output->WriteBuffer(end, 4);
    BytesOut += 4;
}

int32_t TMultiplexEngine_MPEGSystemBase::DefaultBufferSize(const TMPEGPacketizerStream& stream) const {
    if (stream.Kind == MPEGSystemEncoder_StreamKind_MPEGVideo) {
        const auto& video = static_cast<const TMPEGPacketizerStream_MPEGVideo&>(stream);
        const int64_t vbv = video.VBVSize > 0 ? video.VBVSize : 229376;
        return static_cast<int32_t>(static_cast<int64_t>(std::ceil(vbv * 1.15 / 1024)) * 1024);
    }
    return 4096;
}

void TMultiplexEngine_MPEGSystemBase::SetBufferBound(TMPEGPacketizerStream& stream) const {
    if (stream.Kind == MPEGSystemEncoder_StreamKind_MPEGAudio) {
        stream.BufferScale = 0;
        stream.BufferBound = stream.BufferSize / 128;
    } else {
        stream.BufferScale = 1;
        stream.BufferBound = stream.BufferSize / 1024;
    }
}

void TMultiplexEngine_MPEGSystemBase::SetPayloadSizes(TMPEGPacketizerStream& stream) {
    stream.PayloadSize = std::max(1, GetPayloadSize(stream, stream.TimestampMode));
    stream.MinimumPayload = std::max(1, GetPayloadSize(stream, 0));
}

int32_t TMultiplexEngine_MPEGSystemBase::AdjustPayload(TMPEGPacketizerStream& stream, int32_t size) {
    return stream.AdjustPayload(size);
}

int32_t TMultiplexEngine_MPEGSystemBase::StopBeforeEntryPoint(TMPEGPacketizerStream& stream, int32_t size,
                                                             bool anyIntraPicture) const {
    if (stream.Kind != MPEGSystemEncoder_StreamKind_MPEGVideo)
        return size;
    const int64_t from = stream.TakenBytes();
    for (const TMPEGPacketizer_AccessUnit& unit : stream.GetAccessUnits()) {
        if (unit.Start >= from + size)
            break;
        if (unit.Start > from && (unit.GroupStart || (anyIntraPicture && unit.PictureType == 1)))
            return static_cast<int32_t>(unit.Start - from);
    }
    return size;
}

int32_t TMultiplexEngine_MPEGSystemBase::PacketPayload(TMPEGPacketizerStream& stream, int32_t timestampKind) {
    const int64_t sendable = stream.SendableBytes();
    const int32_t capacity = GetPayloadSize(stream, timestampKind);
    return AdjustPayload(stream, static_cast<int32_t>(std::min<int64_t>(sendable, capacity)));
}

void TMultiplexEngine_MPEGSystemBase::ComputeRates() {
    int64_t averageSum = 0;
    int64_t maximumSum = 0;
    AverageKnown = MaximumKnown = true;
    VariableRate = ForceVariable;
    for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams) {
        if (stream->IsFinished() && stream->GetAccessUnits().empty())
            continue; // an empty input
        if (stream->AverageRate > 0)
            averageSum += RoundedRate(SectorSize, stream->PayloadSize, stream->AverageRate);
        else
            AverageKnown = false;
        if (stream->MaximumRate > 0)
            maximumSum += RoundedRate(SectorSize, stream->PayloadSize, stream->MaximumRate);
        else
            MaximumKnown = false;
        if (stream->VariableRate)
            VariableRate = true;
        stream->BufferSize = DefaultBufferSize(*stream);
        SetBufferBound(*stream);
    }
    MuxRate = RateUnits(averageSum);
    ClockRate = RateUnits(maximumSum);
    if (FixedMuxRate > 0) {
        MuxRate = FixedMuxRate;
        AverageKnown = true;
    }
    if (FixedClockRate > 0) {
        ClockRate = FixedClockRate;
        MaximumKnown = true;
    }
    MuxRateBytes = 50 * MuxRate;
    ClockRateBytes = 50 * ClockRate;
    FixedFlag = !VariableRate;
    CSPSFlag = false;
    AudioLock = VideoLock = true;
}

TSystemHeaderContent TMultiplexEngine_MPEGSystemBase::BuildSystemHeader(
    const std::vector<TMPEGPacketizerStream*>& streams) const {
    TSystemHeaderContent header;
    header.Fields.RateBound = MuxRate;
    header.Fields.Fixed = FixedFlag;
    header.Fields.CSPS = CSPSFlag;
    header.Fields.AudioLock = AudioLock;
    header.Fields.VideoLock = VideoLock;
    header.Fields.LastByte = MPEGVersion == 1 ? 0xFF : 0x7F;
    const std::vector<TMPEGPacketizerStream*>& list = streams.empty() ? SortedStreams : streams;
    uint8_t lastId = 0;
    for (const TMPEGPacketizerStream* stream : list) {
        if (stream->Kind == MPEGSystemEncoder_StreamKind_MPEGAudio)
            ++header.Fields.AudioBound;
        else if (stream->Kind == MPEGSystemEncoder_StreamKind_MPEGVideo)
            ++header.Fields.VideoBound;
        else if (stream->StreamId == MPEGStreamId_PrivateStream1)
            ++header.Fields.AudioBound;
        // Substreams share one entry of private stream 1 (ISO/IEC 13818-1, 2.5.3.6).
        if (stream->StreamId == MPEGStreamId_PrivateStream1 && lastId == MPEGStreamId_PrivateStream1)
            continue;
        lastId = stream->StreamId;
        header.Entries.push_back({stream->StreamId, stream->BufferScale, stream->BufferBound});
    }
    return header;
}

void TMultiplexEngine_MPEGSystemBase::PutSystemHeader(const std::vector<TMPEGPacketizerStream*>& streams) {
    const TSystemHeaderContent header = BuildSystemHeader(streams);
    Pack.PutSystemHeader(header.Fields, header.Entries);
}

bool TMultiplexEngine_MPEGSystemBase::PullSources() {
    bool any = false;
    for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams)
        while (stream->HasSourceData() && !stream->HasEnoughData())
            any = stream->ReadSourceChunk() || any;
    return any;
}

bool TMultiplexEngine_MPEGSystemBase::AllStreamsReady() const {
    for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams)
        if (!stream->HasEnoughData() && !stream->IsFinished())
            return false;
    return true;
}

bool TMultiplexEngine_MPEGSystemBase::AllStreamsFinished() const {
    for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams)
        if (!stream->IsFinished())
            return false;
    return true;
}

void TMultiplexEngine_MPEGSystemBase::SetTimeOffsets() {
    // Every stream's earliest presentation lines up with the others', and no decoding time falls
    // before the start.
    std::vector<int64_t> earliest(Streams.size(), 0);
    int64_t lead = INT64_MIN;
    int64_t bufferPackets = 0;
    for (size_t i = 0; i < Streams.size(); ++i) {
        TMPEGPacketizerStream& stream = *Streams[i];
        const std::deque<TMPEGPacketizer_AccessUnit>& units = stream.GetAccessUnits();
        if (units.empty())
            continue;
        int64_t smallest = INT64_MAX;
        for (size_t u = 0; u < units.size() && u < kLeadingUnits; ++u)
            if (units[u].Complete)
                smallest = std::min(smallest, units[u].PTS);
        if (smallest == INT64_MAX)
            smallest = units.front().PTS;
        earliest[i] = smallest;
        lead = std::max(lead, smallest - units.front().DTS);
        bufferPackets += std::llround(static_cast<double>(stream.BufferSize) / std::max(1, stream.PayloadSize));
    }
    if (lead == INT64_MIN)
        lead = 0;
    const int64_t delay = (bufferPackets * SectorSize + ClockOffset) * 90000 / std::max(1, ClockRateBytes);
    for (size_t i = 0; i < Streams.size(); ++i)
        Streams[i]->TimeOffset = lead - earliest[i] + delay;
}

void TMultiplexEngine_MPEGSystemBase::BeginMultiplex() {
    for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams)
        SetPayloadSizes(*stream);
    ComputeRates();
    if (!MaximumKnown) {
        // Streams read from a Source can be measured now.
        bool measured = false;
        for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams)
            if (stream->Source != nullptr && (stream->AverageRate <= 0 || stream->MaximumRate <= 0)) {
                stream->Prescan();
                measured = true;
            }
        if (measured)
            ComputeRates();
    }
    if (!MaximumKnown && !SecondPass) {
        TwoPass = true;
        for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams)
            stream->BeginSpilling();
        return;
    }
    if (!AverageKnown) {
        MuxRate = 0;
        MuxRateBytes = 0;
        PatchMuxRate = true;
    }
    SetTimeOffsets();
    Multiplexing = true;
    First = false;
    WriteStart();
    SetProgressPhase(MPEGSystemEncoder_ProgressPhase_Multiplexing);
}

TMPEGPacketizerStream* TMultiplexEngine_MPEGSystemBase::ChooseStream(int64_t now) {
    TMPEGPacketizerStream* best = nullptr;
    int64_t bestSlack = 0;
    bool bestFresh = false;
    for (TMPEGPacketizerStream* stream : SortedStreams) {
        if (stream->SendableBytes() <= 0)
            continue;
        const TMPEGPacketizer_AccessUnit* unit = stream->CurrentAccessUnit();
        if (unit == nullptr)
            continue;
        const int64_t packets = std::max<int64_t>(1, (unit->Unsent() + stream->PayloadSize - 1) / stream->PayloadSize);
        const int64_t done = (packets * SectorSize + ClockBytes + ClockOffset) * 90000 / std::max(1, ClockRateBytes);
        const int64_t slack = unit->DTS + stream->TimeOffset - done;
        int32_t need = stream->MinimumPayload;
        if (stream->StreamId == MPEGStreamId_PrivateStream1)
            need += 1 + stream->GetSubstreamHeaderSize();
        if (stream->GetFreeBufferSpace() < need && slack >= 0)
            continue;
        const bool fresh = FirstStreamFirst && !stream->Started;
        if (best == nullptr || (fresh && !bestFresh) || (fresh == bestFresh && slack < bestSlack)) {
            best = stream;
            bestSlack = slack;
            bestFresh = fresh;
        }
    }
    return best;
}

void TMultiplexEngine_MPEGSystemBase::SendPacket(TMPEGPacketizerStream& stream, int64_t now) {
    if (const TMPEGPacketizer_AccessUnit* current = stream.CurrentAccessUnit())
        if (current->DTS + stream.TimeOffset < now)
            ++UnderflowCount;
    const int32_t range = PacketPayload(stream, stream.TimestampMode);
    TMPEGPacketizer_AccessUnit* unit = stream.FindStampUnit(range);
    int32_t kind = 0;
    int64_t pts = 0;
    int64_t dts = 0;
    if (unit != nullptr) {
        kind = std::min<int32_t>(unit->TimestampKind, stream.TimestampMode);
        pts = unit->PTS + stream.TimeOffset;
        dts = unit->DTS + stream.TimeOffset;
    }
    const int64_t before = stream.TakenBytes();
    const int32_t written = WritePacket(stream, kind, dts, pts, NextSCR());
    const bool stamped = unit != nullptr && unit->Start < before + written;
    if (stamped)
        unit->Stamped = true;
    int32_t header = 0;
    if (stream.StreamId == MPEGStreamId_PrivateStream1)
        header = 1 + stream.GetSubstreamHeaderSize();
    stream.BookPayload(written, header);
    PacketWritten(stream, stamped ? unit : nullptr);
}

void TMultiplexEngine_MPEGSystemBase::MultiplexStep() {
    std::lock_guard lock(Lock);
    if (TwoPass)
        return;
    for (;;) {
        PullSources();
        if (!AllStreamsReady() || AllStreamsFinished())
            return;
        if (!Multiplexing) {
            BeginMultiplex();
            if (TwoPass)
                return;
        }
        for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams)
            stream->ReleaseSentUnits();
        const int64_t now = ClockTicks();
        for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams)
            stream->RemoveFromBuffer(now);
        TMPEGPacketizerStream* stream = ChooseStream(now);
        if (stream == nullptr || PacketPayload(*stream, 0) <= 0) {
            if (VariableRate)
                SkipPack();
            else
                WritePaddingPack(MPEGStreamId_Padding, PackSize, NextSCR());
            continue;
        }
        SendPacket(*stream, now);
    }
}

void TMultiplexEngine_MPEGSystemBase::ResetForSecondPass() {
    Multiplexing = false;
    BytesOut = 0;
    ClockBytes = 0;
    PackCount = 0;
    UnderflowCount = 0;
    PatchMuxRate = false;
}

void TMultiplexEngine_MPEGSystemBase::FinishMultiplex() {
    if (BytesOut > 0)
        WriteEnd();
    if (PatchMuxRate && BytesOut > 0) {
        long double bitsPerSecond = 0;
        for (const std::unique_ptr<TMPEGPacketizerStream>& stream : Streams)
            if (stream->Clock > 0)
                bitsPerSecond += static_cast<long double>(stream->TakenBytes()) * 8 / stream->Clock;
        MuxRate = static_cast<int32_t>(std::max<long long>(1, std::llround(bitsPerSecond / 8 / 50)));
        MuxRateBytes = 50 * MuxRate;
        RewriteMuxRate();
    }
    if (UnderflowCount > 0)
        LogSystemEncoder(FormatErrorText("Multiplex buffer underflow!! packet: %d", {int64_t{UnderflowCount}}));
}

void TMultiplexEngine_MPEGSystemBase::RewriteMuxRate() {
    if (Output == nullptr)
        return;
    SetProgressPhase(MPEGSystemEncoder_ProgressPhase_RewritingMuxRate);
    const uint32_t rate = static_cast<uint32_t>(MuxRate) & 0x3FFFFF;
    const uint8_t mpeg1Rate[3] = {static_cast<uint8_t>(0x80 | rate >> 15), static_cast<uint8_t>(rate >> 7),
                                  static_cast<uint8_t>((rate << 1 & 0xFE) | 1)};
    const uint8_t mpeg2Rate[3] = {static_cast<uint8_t>(rate >> 14), static_cast<uint8_t>(rate >> 6),
                                  static_cast<uint8_t>((rate << 2 & 0xFC) | 3)};
    RewriteTotal = Output->GetSize();
    TLargeCasheFilterStream cache(*Output);
    uint32_t window = 0xFFFFFFFF;
    int64_t packs = 0;
    uint8_t byte = 0;
    while (cache.Read(&byte, 1) == 1) {
        window = window << 8 | byte;
        if ((window & 0xFFFFFF00) != 0x00000100)
            continue;
        const uint8_t code = static_cast<uint8_t>(window);
        window = 0xFFFFFFFF;
        const int64_t at = cache.Seek(0, soFromCurrent); // just after the start code
        uint8_t head[10] = {};
        if (code == MPEGStartCode_Pack) {
            if (cache.Read(head, 8) != 8)
                break;
            const bool mpeg2 = (head[0] & 0xC0) == 0x40;
            cache.Seek(at + (mpeg2 ? 6 : 5), soFromBeginning);
            cache.WriteBuffer(mpeg2 ? mpeg2Rate : mpeg1Rate, 3);
            if (mpeg2) {
                uint8_t stuffing = 0;
                cache.Read(&stuffing, 1);
                cache.Seek(stuffing & 7, soFromCurrent);
            }
            if (++packs % 50 == 0) {
                RewritePosition = at;
                NotifySystemEncoder();
            }
        } else if (code == MPEGStartCode_SystemHeader) {
            if (cache.Read(head, 2) != 2)
                break;
            const int32_t length = head[0] << 8 | head[1];
            cache.WriteBuffer(mpeg1Rate, 3);
            cache.Seek(at + 2 + length, soFromBeginning);
        } else if (code == MPEGStartCode_End) {
            continue; // a Video CD ends each stream; later packs follow
        } else if (code < 0xBC) {
            throw EMPEGVideoEncoderError(MPEGError_IllegalSystemStream);
        } else {
            if (cache.Read(head, 2) != 2)
                break;
            cache.Seek(at + 2 + (head[0] << 8 | head[1]), soFromBeginning);
        }
    }
    cache.Flush();
    Output->Seek(0, soFromEnd);
}

} // namespace quillset
