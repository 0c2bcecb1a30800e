#include "encoder/mux/packetizer_stream.h"

#include <algorithm>
#include <cstring>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/mux/multiplexor_base.h"
#include "stream/temp_file.h"

namespace quillset {

namespace {
// Running short of queued data: an internal fault of the engine's bookkeeping.
constexpr uint32_t kPayloadShortCode = 0x8000FFFF;
// The sent bytes in front of the queue are dropped once they pass this size.
constexpr size_t kCompactThreshold = 1 << 20;
} // namespace

TMPEGPacketizerStream::TMPEGPacketizerStream(TMultiplexEngine_MultiplexorBase& engine,
                                             const TMPEGSystemEncoder_StreamInfo& info)
    : Engine(engine), Kind(info.Kind), StreamId(info.StreamId), SubstreamId(info.SubstreamId) {}

TMPEGPacketizerStream::~TMPEGPacketizerStream() = default;

void TMPEGPacketizerStream::Start(bool spillToFile, TLargeStream* source) {
    Source = source;
    Reset();
    if (spillToFile)
        BeginSpilling();
    if (Source != nullptr) {
        Source->Seek(0, soFromBeginning);
        BytesIn = -1;
        if (!Spilling)
            ReadSourceChunk();
    }
}

void TMPEGPacketizerStream::OpenSpill() {
    if (!Spill) {
        const std::string name = MakeTempFileName(Engine.GetTempDirectory(), "mplx", "dat");
        Spill = CreateTemporaryFileStream(GetLargeFileStreamClass(), name);
    }
    Spilling = true;
}

int64_t TMPEGPacketizerStream::GetSize() {
    std::lock_guard lock(Engine.Lock);
    if (Source != nullptr && BytesIn < 0)
        return Source->GetSize();
    return BytesIn;
}

int32_t TMPEGPacketizerStream::Write(const void* buffer, int32_t count) {
    std::lock_guard lock(Engine.Lock);
    if (count <= 0 || EndOfData)
        return 0;
    BytesIn += count;
    if (Spilling) {
        Spill->WriteBuffer(buffer, count);
        return count;
    }
    Append(static_cast<const uint8_t*>(buffer), count);
    PendingBytes += count;
    if (PendingBytes >= kChunkSize) {
        PendingBytes = 0;
        ParseChunk(false);
        Pump();
    }
    return count;
}

void TMPEGPacketizerStream::EndOfStream() {
    std::lock_guard lock(Engine.Lock);
    if (EndOfData)
        return;
    EndOfData = true;
    if (Spilling)
        return;
    PendingBytes = 0;
    ParseChunk(true);
    if (!AccessUnits.empty()) {
        AccessUnits.back().EndOfStream = true;
        if (!AccessUnits.back().Closed) {
            AccessUnits.back().Size = QueuedEnd() - AccessUnits.back().Start;
            AccessUnits.back().Closed = true;
        }
    }
    for (TMPEGPacketizer_AccessUnit& unit : AccessUnits) {
        unit.Closed = true;
        unit.Timed = true;
    }
    UpdateComplete();
}

void TMPEGPacketizerStream::GetAllowedStreamIds(TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds) const {
    GetAllowedStreamIdsOfKind(Kind, streamIds, substreamIds);
}

void TMPEGPacketizerStream::Clear() {
    Data.clear();
    Data.shrink_to_fit();
    DataBase = 0;
    DataHead = 0;
    PendingBytes = 0;
    AccessUnits.clear();
    BufferLog.clear();
    BufferFullness = 0;
}

void TMPEGPacketizerStream::Reset() {
    Clear();
    NextSequence = 0;
    Clock = 0;
    EndOfData = false;
    TimeOffset = 0;
    Started = false;
    StdWritten = false;
    EndCodeWritten = false;
}

void TMPEGPacketizerStream::Append(const uint8_t* data, int32_t count) {
    Compact();
    Data.insert(Data.end(), data, data + count);
}

void TMPEGPacketizerStream::Compact() {
    if (DataHead >= kCompactThreshold && DataHead * 2 >= Data.size()) {
        Data.erase(Data.begin(), Data.begin() + static_cast<std::ptrdiff_t>(DataHead));
        DataBase += static_cast<int64_t>(DataHead);
        DataHead = 0;
    }
}

void TMPEGPacketizerStream::Discard(int32_t count) {
    DataHead += static_cast<size_t>(std::clamp<int64_t>(count, 0, QueuedEnd() - TakenBytes()));
}

void TMPEGPacketizerStream::Insert(int64_t offset, const uint8_t* data, int32_t count) {
    const auto at = Data.begin() + static_cast<std::ptrdiff_t>(offset - DataBase);
    Data.insert(at, data, data + count);
}

bool TMPEGPacketizerStream::Peek(int64_t offset, uint8_t* out, int32_t count) const {
    if (offset < TakenBytes() || offset + count > QueuedEnd())
        return false;
    std::memcpy(out, At(offset), static_cast<size_t>(count));
    return true;
}

void TMPEGPacketizerStream::Poke(int64_t offset, const uint8_t* data, int32_t count) {
    if (offset < TakenBytes() || offset + count > QueuedEnd())
        return;
    std::memcpy(Data.data() + (offset - DataBase), data, static_cast<size_t>(count));
}

TMPEGPacketizer_AccessUnit& TMPEGPacketizerStream::NewAccessUnit(int64_t start) {
    TMPEGPacketizer_AccessUnit unit;
    unit.Sequence = NextSequence++;
    unit.Start = start;
    AccessUnits.push_back(unit);
    return AccessUnits.back();
}

void TMPEGPacketizerStream::UpdateComplete() {
    for (TMPEGPacketizer_AccessUnit& unit : AccessUnits)
        unit.Complete = unit.Closed && unit.Timed;
}

void TMPEGPacketizerStream::TakePayload(void* buffer, int32_t count) {
    if (count < 0 || TakenBytes() + count > QueuedEnd())
        throw EMPEGSystemEncoderError(kPayloadShortCode);
    std::memcpy(buffer, Data.data() + DataHead, static_cast<size_t>(count));
    DataHead += static_cast<size_t>(count);
}

int64_t TMPEGPacketizerStream::SendableBytes() const {
    if (EndOfData && !Spilling)
        return QueuedEnd() - TakenBytes();
    int64_t end = TakenBytes();
    for (const TMPEGPacketizer_AccessUnit& unit : AccessUnits) {
        if (!unit.Complete)
            break;
        end = std::max(end, unit.Start + unit.Size);
    }
    return std::min(end, QueuedEnd()) - TakenBytes();
}

bool TMPEGPacketizerStream::HasEnoughData() const {
    if (Spilling)
        return false;
    int64_t sum = 0;
    for (const TMPEGPacketizer_AccessUnit& unit : AccessUnits) {
        if (!unit.Complete)
            break;
        sum += unit.Unsent();
        if (sum >= MinimumPayload && sum > 0)
            return true;
        if (unit.EndOfStream && sum > 0)
            return true;
    }
    return EndOfData && QueuedEnd() > TakenBytes();
}

TMPEGPacketizer_AccessUnit* TMPEGPacketizerStream::CurrentAccessUnit() {
    for (TMPEGPacketizer_AccessUnit& unit : AccessUnits)
        if (unit.Unsent() > 0)
            return &unit;
    return nullptr;
}

TMPEGPacketizer_AccessUnit* TMPEGPacketizerStream::FindStampUnit(int64_t range) {
    const int64_t from = TakenBytes();
    for (TMPEGPacketizer_AccessUnit& unit : AccessUnits) {
        if (unit.Start >= from + range)
            break;
        if (unit.Start >= from && !unit.Stamped && unit.Size > 0)
            return &unit;
    }
    return nullptr;
}

void TMPEGPacketizerStream::BookPayload(int64_t bytes, int64_t headerBytes) {
    for (TMPEGPacketizer_AccessUnit& unit : AccessUnits) {
        if (bytes <= 0)
            break;
        const int64_t part = std::min(bytes, unit.Unsent());
        if (part <= 0)
            continue;
        AddToBuffer(part + headerBytes, unit.DTS + TimeOffset);
        headerBytes = 0;
        unit.Sent += part;
        bytes -= part;
    }
    Started = true;
}

void TMPEGPacketizerStream::ReleaseSentUnits() {
    while (!AccessUnits.empty() && AccessUnits.front().Closed && AccessUnits.front().Unsent() <= 0 &&
           AccessUnits.front().Start + AccessUnits.front().Size <= TakenBytes())
        AccessUnits.pop_front();
}

bool TMPEGPacketizerStream::ReadSourceChunk() {
    if (Source == nullptr || EndOfData || Spilling)
        return false;
    uint8_t buffer[kChunkSize];
    int32_t got = 0;
    while (got < kChunkSize) {
        const int32_t n = Source->Read(buffer + got, kChunkSize - got);
        if (n <= 0)
            break;
        got += n;
    }
    if (got > 0) {
        Append(buffer, got);
        ParseChunk(false);
    }
    if (got < kChunkSize)
        EndOfStream();
    return got > 0;
}

void TMPEGPacketizerStream::BeginSpilling() {
    if (Spilling)
        return;
    if (Source != nullptr) {
        // A Source is read again in the second pass: nothing to keep.
        Spilling = true;
        Clear();
        return;
    }
    OpenSpill();
    const int64_t queued = QueuedEnd() - TakenBytes();
    if (queued > 0)
        Spill->WriteBuffer(Data.data() + DataHead, static_cast<int32_t>(queued));
    Clear();
}

void TMPEGPacketizerStream::BeginSecondPass() {
    if (!Spilling)
        return;
    if (Source == nullptr)
        Source = Spill.get();
    Spilling = false;
    Reset();
    Source->Seek(0, soFromBeginning);
}

void TMPEGPacketizerStream::AddToBuffer(int64_t bytes, int64_t removalTime) {
    if (!BufferLog.empty() && BufferLog.back().second == removalTime)
        BufferLog.back().first += bytes;
    else
        BufferLog.emplace_back(bytes, removalTime);
    BufferFullness += static_cast<int32_t>(bytes);
}

void TMPEGPacketizerStream::RemoveFromBuffer(int64_t now) {
    while (!BufferLog.empty() && BufferLog.front().second <= now) {
        BufferFullness -= static_cast<int32_t>(BufferLog.front().first);
        BufferLog.pop_front();
    }
}

void TMPEGPacketizerStream::NotifyProgress() {
    Engine.NotifySystemEncoder();
}

void TMPEGPacketizerStream::Pump() {
    if (HasEnoughData())
        Engine.MultiplexStep();
}

} // namespace quillset
