#include "encoder/demux/mpeg_demultiplexor_stream.h"

#include <algorithm>
#include <cstring>

#include "encoder/demux/mpeg_demultiplexor.h"
#include "encoder/framework/mpeg_errors.h"
#include "stream/cache_filter_stream.h"

namespace quillset {

namespace {

// Packets of other streams after which a stream never seen counts as absent.
constexpr int32_t kOtherPacketLimit = 1000;
// A checkpoint for seeking every this many packets of the stream.
constexpr int64_t kCheckpointInterval = 16;
// Bytes analysed for the stream information.
constexpr int32_t kInfoBytes = 65536;

bool IsListedAudioOrVideo(uint8_t id) {
    return (id >= 0xC0 && id <= 0xCF) || (id >= 0xE0 && id <= 0xEF);
}

} // namespace

TMPEGDemultiplexorStream::TMPEGDemultiplexorStream(TLargeStream& source, bool forceCache, uint8_t kind, uint8_t number)
    : Kind(kind), Number(number) {
    Open(source, forceCache);
}

TMPEGDemultiplexorStream::TMPEGDemultiplexorStream(const std::string& path, uint8_t kind, uint8_t number)
    : Kind(kind), Number(number) {
    File = std::make_unique<TLargeFileStream>(path, FILE_ATTRIBUTE_NORMAL, fmOpenRead | fmShareDenyWrite);
    Open(*File, false);
}

TMPEGDemultiplexorStream::~TMPEGDemultiplexorStream() {
    Walker.reset();
    Unwrapped.reset(); // writes pending in the cache go back to the file here
    File.reset();
}

void TMPEGDemultiplexorStream::CheckKind(TMPEGFileForm form) const {
    static constexpr TMPEGFileForm kForms[4] = {MPEGFileForm_Video, MPEGFileForm_Audio, MPEGFileForm_AC3,
                                                MPEGFileForm_LinearPCM};
    static constexpr uint32_t kCodes[4] = {MPEGError_IllegalVideoStream, MPEGError_IllegalAudioStream,
                                           MPEGError_IllegalAC3Stream, MPEGError_IllegalLinearPCMStream};
    if (Kind > MPEGDemultiplexor_StreamKind_LinearPCM)
        throw EMPEGSystemEncoderError(MPEGError_IllegalSystemStream);
    if (form != MPEGFileForm_Packets && form != kForms[Kind])
        throw EMPEGSystemEncoderError(kCodes[Kind]);
}

void TMPEGDemultiplexorStream::Open(TLargeStream& source, bool forceCache) {
    Unwrapped = std::make_unique<TMPEGUnwrappedSource>(source);
    const TMPEGFileForm form = DetectMPEGFileForm(Unwrapped->Stream());
    CheckKind(form);
    const bool cached = forceCache || dynamic_cast<TMPEGDemultiplexorStream*>(&Unwrapped->Stream()) == nullptr;
    Reader = cached ? &Unwrapped->Wrap(std::make_unique<TLargeCasheFilterStream>(Unwrapped->Stream()))
                    : &Unwrapped->Stream();
    Reader->Seek(0, soFromBeginning);
    switch (Kind) {
    case MPEGDemultiplexor_StreamKind_Video: TargetId = static_cast<uint8_t>(0xE0 + Number); break;
    case MPEGDemultiplexor_StreamKind_Audio: TargetId = static_cast<uint8_t>(0xC0 + Number); break;
    case MPEGDemultiplexor_StreamKind_AC3:
        TargetId = 0xBD;
        TargetSubstream = static_cast<uint8_t>(0x80 + Number);
        break;
    default:
        TargetId = 0xBD;
        TargetSubstream = static_cast<uint8_t>(0xA0 + Number);
        break;
    }
    if (form != MPEGFileForm_Packets) {
        Mode = kModeElementary;
        return;
    }
    Walker = std::make_unique<TMPEGPacketWalker>(*Reader);
    RestartAt(nullptr);
}

void TMPEGDemultiplexorStream::RestartAt(const TCheckpoint* checkpoint) {
    Payload.clear();
    PayloadIndex = 0;
    PayloadFilePosition = -1;
    Ended = false;
    OtherPackets = 0;
    if (checkpoint == nullptr) {
        Walker->Restart(0, 0);
        NextLogical = 0;
        PayloadStart = 0;
        Presence = 0;
        PacketsOfStream = 0;
        return;
    }
    Walker->Restart(checkpoint->FilePosition, checkpoint->Version);
    NextLogical = checkpoint->Logical;
    PayloadStart = checkpoint->Logical;
    Presence = 3;
    PacketsOfStream = (checkpoint - Checkpoints.data()) * kCheckpointInterval;
}

void TMPEGDemultiplexorStream::RestartBefore(int64_t logical) {
    const TCheckpoint* best = nullptr;
    for (const TCheckpoint& checkpoint : Checkpoints) {
        if (checkpoint.Logical > logical)
            break;
        best = &checkpoint;
    }
    RestartAt(best);
}

bool TMPEGDemultiplexorStream::IsMine(uint8_t id, const std::vector<uint8_t>& payload) const {
    if (id != TargetId)
        return false;
    return TargetSubstream == 0 || (!payload.empty() && payload[0] == TargetSubstream);
}

void TMPEGDemultiplexorStream::HandleSystemHeader(const std::vector<uint8_t>& header) {
    if (!IsListedAudioOrVideo(TargetId) || Presence == 3)
        return;
    if (Presence == 0)
        Presence = 1;
    const bool audio = TargetId >= 0xC0 && TargetId <= 0xCF;
    // Six fixed bytes, then entries of three bytes.
    for (size_t at = 6; at < header.size() && header.size() - at > 2; at += 3) {
        const uint8_t id = header[at];
        if ((id & 0x80) == 0)
            break;
        // 0xB8 stands for every audio stream and 0xB9 for every video stream (ISO/IEC 13818-1,
        // 2.5.3.6).
        if ((id == 0xB8 && audio) || (id == 0xB9 && !audio))
            Presence = 2;
        if (id == TargetId) {
            Presence = 3;
            break;
        }
    }
}

bool TMPEGDemultiplexorStream::FetchPacket() {
    while (!Ended) {
        const TMPEGPacketWalker::TEvent event = Walker->Next();
        if (event == TMPEGPacketWalker::Event_End) {
            Ended = true;
            break;
        }
        if (Mode == kModeUnknown && Walker->Version != 0)
            Mode = Walker->Version == 2 ? kModeMPEG2 : kModeMPEG1;
        if (event == TMPEGPacketWalker::Event_SystemHeader) {
            HandleSystemHeader(Walker->SystemHeader);
            continue;
        }
        const uint8_t id = Walker->StreamId;
        if (!IsMine(id, Walker->Payload)) {
            if (IsListedAudioOrVideo(id) && Presence == 1) {
                Ended = true; // the system header did not list the stream
                break;
            }
            if (Presence != 3 && ++OtherPackets > kOtherPacketLimit) {
                Ended = true;
                break;
            }
            continue;
        }
        Presence = 3;
        const int64_t packetPosition = Walker->PacketPosition;
        if (TargetSubstream != 0) {
            bool first = false;
            if (Kind == MPEGDemultiplexor_StreamKind_LinearPCM) {
                if (FirstLinearPCMPosition < 0)
                    FirstLinearPCMPosition = packetPosition;
                first = FirstLinearPCMPosition == packetPosition;
            }
            TMPEGDemultiplexor_Packet packet;
            packet.PayloadPosition = Walker->PayloadPosition;
            if (!SplitPrivateStream1(Walker->Payload, first, packet, Payload))
                continue;
            PayloadFilePosition = packet.PayloadPosition;
        } else {
            Payload.swap(Walker->Payload);
            PayloadFilePosition = Walker->PayloadPosition;
        }
        if (PacketsOfStream % kCheckpointInterval == 0 &&
            (Checkpoints.empty() || Checkpoints.back().FilePosition < packetPosition))
            Checkpoints.push_back({NextLogical, packetPosition, Walker->Version});
        ++PacketsOfStream;
        PayloadStart = NextLogical;
        NextLogical += static_cast<int64_t>(Payload.size());
        PayloadIndex = 0;
        if (!Payload.empty())
            return true;
    }
    Payload.clear();
    PayloadIndex = 0;
    PayloadStart = NextLogical;
    return false;
}

int64_t TMPEGDemultiplexorStream::GetSize() {
    if (Mode == kModeElementary)
        return Reader->GetSize();
    if (Size < 0) {
        const int64_t saved = Position;
        RestartAt(nullptr);
        while (FetchPacket()) {
        }
        Size = NextLogical;
        Seek(saved, soFromBeginning);
    }
    return Size;
}

int32_t TMPEGDemultiplexorStream::Read(void* buffer, int32_t count) {
    if (Mode == kModeElementary) {
        const int32_t got = Reader->Read(buffer, count);
        Position = Reader->Seek(0, soFromCurrent);
        return got;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    int32_t total = 0;
    while (count > 0) {
        if (PayloadIndex >= Payload.size() && !FetchPacket())
            break;
        const int32_t n = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(count), Payload.size() - PayloadIndex));
        std::memcpy(out + total, Payload.data() + PayloadIndex, static_cast<size_t>(n));
        PayloadIndex += static_cast<size_t>(n);
        Position += n;
        total += n;
        count -= n;
    }
    return total;
}

int32_t TMPEGDemultiplexorStream::Write(const void* buffer, int32_t count) {
    if (Mode == kModeElementary) {
        const int32_t written = Reader->Write(buffer, count);
        Position = Reader->Seek(0, soFromCurrent);
        return written;
    }
    if (Kind == MPEGDemultiplexor_StreamKind_LinearPCM)
        return 0;
    const auto* in = static_cast<const uint8_t*>(buffer);
    int32_t total = 0;
    while (count > 0) {
        if (PayloadIndex >= Payload.size() && !FetchPacket())
            break;
        const int32_t n = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(count), Payload.size() - PayloadIndex));
        std::memcpy(Payload.data() + PayloadIndex, in + total, static_cast<size_t>(n));
        if (PayloadFilePosition >= 0) {
            const int64_t resume = Reader->Seek(0, soFromCurrent);
            Reader->Seek(PayloadFilePosition + static_cast<int64_t>(PayloadIndex), soFromBeginning);
            const int32_t written = Reader->Write(in + total, n);
            Reader->Seek(resume, soFromBeginning);
            if (written != n)
                break;
        }
        PayloadIndex += static_cast<size_t>(n);
        Position += n;
        total += n;
        count -= n;
    }
    return total;
}

int64_t TMPEGDemultiplexorStream::Seek(int64_t offset, uint16_t origin) {
    if (Mode == kModeElementary) {
        int64_t target = SeekTarget(offset, origin, Reader->Seek(0, soFromCurrent), Reader->GetSize());
        Position = Reader->Seek(std::max<int64_t>(0, target), soFromBeginning);
        return Position;
    }
    if (origin == soFromCurrent && offset == 0)
        return Position;
    const int64_t size = origin == soFromEnd ? GetSize() : 0;
    const int64_t target = std::max<int64_t>(0, SeekTarget(offset, origin, Position, size));
    if (PayloadHolds(target)) {
        PayloadIndex = static_cast<size_t>(target - PayloadStart);
        Position = target;
        return Position;
    }
    if (target < PayloadStart || (Ended && target < NextLogical))
        RestartBefore(target);
    while (!PayloadHolds(target) && FetchPacket()) {
    }
    if (PayloadHolds(target))
        PayloadIndex = static_cast<size_t>(target - PayloadStart);
    else
        PayloadIndex = Payload.size();
    Position = target;
    return Position;
}

void TMPEGDemultiplexorStream::SeekToFilePosition(int64_t filePosition) {
    if (Mode == kModeElementary) {
        Seek(filePosition, soFromBeginning);
        return;
    }
    const TCheckpoint* best = nullptr;
    for (const TCheckpoint& checkpoint : Checkpoints) {
        if (checkpoint.FilePosition > filePosition)
            break;
        best = &checkpoint;
    }
    RestartAt(best);
    while (FetchPacket())
        if (Walker->PacketPosition >= filePosition)
            break;
    Position = PayloadStart + static_cast<int64_t>(PayloadIndex);
}

const TMPEGElementaryStreamInfo& TMPEGDemultiplexorStream::GetStreamInfo() {
    if (!InfoRead) {
        InfoRead = true;
        const int64_t saved = Position;
        Seek(0, soFromBeginning);
        std::vector<uint8_t> bytes(kInfoBytes);
        int32_t got = 0;
        while (got < kInfoBytes) {
            const int32_t n = Read(bytes.data() + got, kInfoBytes - got);
            if (n <= 0)
                break;
            got += n;
        }
        Info = AnalyseElementaryStream(Kind, bytes.data(), got);
        Seek(saved, soFromBeginning);
    }
    return Info;
}

} // namespace quillset
