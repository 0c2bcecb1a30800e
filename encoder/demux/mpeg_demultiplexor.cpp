#include "encoder/demux/mpeg_demultiplexor.h"

#include <algorithm>

#include "encoder/demux/lpcm_dvd_header.h"
#include "encoder/framework/mpeg_errors.h"
#include "stream/cache_filter_stream.h"

namespace quillset {

bool SplitPrivateStream1(const std::vector<uint8_t>& payload, bool firstOfSubstream, TMPEGDemultiplexor_Packet& packet,
                         std::vector<uint8_t>& buffer) {
    if (payload.size() < 4)
        return false;
    const uint8_t sub = payload[0];
    const int32_t pointer = payload[2] << 8 | payload[3];
    packet.SubstreamId = sub;
    if (sub >= 0x80 && sub <= 0x87) {
        packet.Kind = MPEGDemultiplexor_StreamKind_AC3;
        packet.Number = static_cast<uint8_t>(sub - 0x80);
        packet.FirstAccessUnit = pointer == 0 ? -1 : pointer - 1;
        buffer.assign(payload.begin() + 4, payload.end());
        packet.PayloadPosition += 4;
        return true;
    }
    if (sub >= 0xA0 && sub <= 0xA7) {
        if (payload.size() < 7)
            return false;
        packet.Kind = MPEGDemultiplexor_StreamKind_LinearPCM;
        packet.Number = static_cast<uint8_t>(sub - 0xA0);
        packet.FirstAccessUnit = pointer < 4 ? -1 : pointer - 4;
        if (firstOfSubstream) {
            const TLinearPCMHeader header = BuildLPCMHeaderFromDVD(payload.data() + 4);
            buffer.assign(header.begin(), header.end());
            buffer.insert(buffer.end(), payload.begin() + 7, payload.end());
            if (packet.FirstAccessUnit >= 0)
                packet.FirstAccessUnit += LPCMHeaderSize;
            packet.PayloadPosition = -1;
        } else {
            buffer.assign(payload.begin() + 7, payload.end());
            packet.PayloadPosition += 7;
        }
        return true;
    }
    return false;
}

TMPEGDemultiplexor::TMPEGDemultiplexor(TLargeStream& source) : Unwrapped(source) {
    Form = DetectMPEGFileForm(Unwrapped.Stream());
    Reader = &Unwrapped.Wrap(std::make_unique<TLargeCasheFilterStream>(Unwrapped.Stream()));
    Rewind();
}

TMPEGDemultiplexor::~TMPEGDemultiplexor() = default;

void TMPEGDemultiplexor::Rewind() {
    Reader->Seek(0, soFromBeginning);
    Packet = TMPEGDemultiplexor_Packet();
    switch (Form) {
    case MPEGFileForm_Video:
        Packet.Kind = MPEGDemultiplexor_StreamKind_Video;
        Packet.StreamId = 0xE0;
        break;
    case MPEGFileForm_Audio:
        Packet.Kind = MPEGDemultiplexor_StreamKind_Audio;
        Packet.StreamId = 0xC0;
        break;
    case MPEGFileForm_AC3:
        Packet.Kind = MPEGDemultiplexor_StreamKind_AC3;
        Packet.StreamId = 0xBD;
        Packet.SubstreamId = 0x80;
        break;
    case MPEGFileForm_LinearPCM:
        Packet.Kind = MPEGDemultiplexor_StreamKind_LinearPCM;
        Packet.StreamId = 0xBD;
        Packet.SubstreamId = 0xA0;
        break;
    default:
        Walker = std::make_unique<TMPEGPacketWalker>(*Reader);
        Walker->Restart(0, 0);
        return;
    }
    Packet.Skip = false;
}

bool TMPEGDemultiplexor::NextElementaryBlock() {
    Packet.Position = Reader->Seek(0, soFromCurrent);
    Buffer.resize(kElementaryBlock);
    int32_t got = 0;
    while (got < kElementaryBlock) {
        const int32_t n = Reader->Read(Buffer.data() + got, kElementaryBlock - got);
        if (n <= 0)
            break;
        got += n;
    }
    if (got <= 0) {
        Packet.End = true;
        return false;
    }
    Packet.PayloadPosition = Packet.Position;
    Packet.Payload = Buffer.data();
    Packet.PayloadSize = got;
    return true;
}

bool TMPEGDemultiplexor::NextPacket() {
    if (Packet.End)
        return false;
    if (!Walker)
        return NextElementaryBlock();
    for (;;) {
        const TMPEGPacketWalker::TEvent event = Walker->Next();
        if (event == TMPEGPacketWalker::Event_End) {
            Packet.End = true;
            Packet.Payload = nullptr;
            Packet.PayloadSize = 0;
            return false;
        }
        if (event != TMPEGPacketWalker::Event_Packet)
            continue;
        TMPEGDemultiplexor_Packet packet;
        packet.StreamId = Walker->StreamId;
        packet.Position = Walker->PacketPosition;
        packet.PayloadPosition = Walker->PayloadPosition;
        packet.PTS = Walker->PTS;
        packet.DTS = Walker->PTS >= 0 ? Walker->DTS : -1;
        packet.HasTimestamps = Walker->PTS >= 0;
        packet.Version = Walker->Version;
        const uint8_t id = Walker->StreamId;
        packet.Skip = false;
        if (id >= 0xE0 && id <= 0xEF) {
            packet.Kind = MPEGDemultiplexor_StreamKind_Video;
            packet.Number = static_cast<uint8_t>(id - 0xE0);
            Buffer.swap(Walker->Payload);
        } else if (id >= 0xC0 && id <= 0xDF) {
            packet.Kind = MPEGDemultiplexor_StreamKind_Audio;
            packet.Number = static_cast<uint8_t>(id - 0xC0);
            Buffer.swap(Walker->Payload);
        } else if (id == 0xBD) {
            const uint8_t sub = Walker->Payload.empty() ? 0 : Walker->Payload[0];
            bool first = false;
            if (sub >= 0xA0 && sub <= 0xA7) {
                auto [it, added] = FirstLinearPCMPacket.emplace(sub, packet.Position);
                first = it->second == packet.Position;
            }
            packet.Skip = !SplitPrivateStream1(Walker->Payload, first, packet, Buffer);
        } else {
            packet.Skip = true;
        }
        if (packet.Skip) {
            Buffer.swap(Walker->Payload);
        }
        packet.Payload = Buffer.data();
        packet.PayloadSize = static_cast<int32_t>(Buffer.size());
        Packet = packet;
        return true;
    }
}

int64_t TMPEGDemultiplexor::GetPosition() {
    return Reader->Seek(0, soFromCurrent);
}

int64_t TMPEGDemultiplexor::GetSize() {
    return Reader->GetSize();
}

void TMPEGDemultiplexor::Seek(int64_t position) {
    const TMPEGDemultiplexor_Packet kept = Packet;
    Packet = TMPEGDemultiplexor_Packet();
    Packet.Kind = kept.Kind;
    Packet.StreamId = kept.StreamId;
    Packet.SubstreamId = kept.SubstreamId;
    Packet.Skip = kept.Skip;
    if (Walker)
        Walker->Restart(std::max<int64_t>(0, position), Walker->Version);
    else
        Reader->Seek(std::max<int64_t>(0, position), soFromBeginning);
}

} // namespace quillset
