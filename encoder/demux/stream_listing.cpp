#include "encoder/demux/stream_listing.h"

#include <algorithm>
#include <map>

#include "encoder/demux/mpeg_demultiplexor.h"
#include "stream/exceptions.h"

namespace quillset {

namespace {

// Bytes of each stream kept for the stream information.
constexpr size_t kInfoBytes = 65536;

std::string FormatTime(int64_t ticks) {
    if (ticks < 0)
        return "none";
    return FormatText("%.6f s", static_cast<double>(ticks) / 90000.0);
}

std::string DescribeInfo(const TMPEGStreamListEntry& entry) {
    const TMPEGElementaryStreamInfo& info = entry.Info;
    if (!info.Valid)
        return "";
    switch (entry.Kind) {
    case MPEGDemultiplexor_StreamKind_Video:
        return FormatText(", %dx%d %.3f fps %s", info.Video.Width, info.Video.Height,
                          GetMPEGFrameRate(info.Video.FrameRateCode), info.VideoMPEG2 ? "MPEG-2" : "MPEG-1");
    case MPEGDemultiplexor_StreamKind_Audio:
        return FormatText(", layer %d %d Hz %d kbit/s %s", info.Audio.Layer, info.Audio.SamplingFrequency,
                          info.Audio.BitRate / 1000, info.Audio.ChannelMode == 3 ? "mono" : "stereo");
    case MPEGDemultiplexor_StreamKind_AC3:
        return FormatText(", %d Hz %d kbit/s %d channels", info.AC3.SamplingFrequency, info.AC3.BitRate / 1000,
                          info.AC3.Channels);
    default:
        return FormatText(", %d Hz %d bits %d channels", info.LinearPCM.SamplingFrequency,
                          info.LinearPCM.BitsPerSample, info.LinearPCM.Channels);
    }
}

const char* FormName(const TMPEGStreamList& list) {
    switch (list.Form) {
    case MPEGFileForm_Packets: return list.Version == 2 ? "MPEG-2 program stream" : "MPEG-1 system stream";
    case MPEGFileForm_Video: return "MPEG video elementary stream";
    case MPEGFileForm_Audio: return "MPEG audio elementary stream";
    case MPEGFileForm_AC3: return "AC-3 elementary stream";
    default: return "Linear PCM stream";
    }
}

const char* WrapperName(TMPEGFileWrapper wrapper) {
    switch (wrapper) {
    case MPEGFileWrapper_CDXA: return " in RIFF CDXA";
    case MPEGFileWrapper_RMP3: return " in RIFF RMP3";
    case MPEGFileWrapper_Wave: return " from a WAVE file";
    case MPEGFileWrapper_LeadingZeros: return " after leading zero bytes";
    default: return "";
    }
}

} // namespace

std::string GetDemultiplexorKindName(uint8_t kind) {
    switch (kind) {
    case MPEGDemultiplexor_StreamKind_Video: return "MPEG video";
    case MPEGDemultiplexor_StreamKind_Audio: return "MPEG audio";
    case MPEGDemultiplexor_StreamKind_AC3: return "AC-3";
    case MPEGDemultiplexor_StreamKind_LinearPCM: return "Linear PCM";
    default: return "unknown";
    }
}

TMPEGStreamList ListMPEGStreams(TLargeStream& source) {
    TMPEGDemultiplexor demultiplexor(source);
    TMPEGStreamList list;
    list.Form = demultiplexor.GetForm();
    list.Wrapper = demultiplexor.GetWrapper();
    std::map<uint16_t, TMPEGStreamListEntry> entries;
    std::map<uint16_t, std::vector<uint8_t>> heads;
    while (demultiplexor.NextPacket()) {
        const TMPEGDemultiplexor_Packet& packet = demultiplexor.GetPacket();
        ++list.Packs;
        list.Version = std::max(list.Version, packet.Version);
        if (packet.Skip)
            continue;
        const uint16_t key = static_cast<uint16_t>(packet.Kind << 8 | packet.Number);
        TMPEGStreamListEntry& entry = entries[key];
        if (entry.Packets == 0) {
            entry.Kind = packet.Kind;
            entry.Number = packet.Number;
            entry.StreamId = packet.StreamId;
            entry.SubstreamId = packet.StreamId == 0xBD ? packet.SubstreamId : 0;
        }
        ++entry.Packets;
        entry.Bytes += packet.PayloadSize;
        if (entry.FirstPTS < 0 && packet.PTS >= 0) {
            entry.FirstPTS = packet.PTS;
            entry.FirstDTS = packet.DTS >= 0 ? packet.DTS : packet.PTS;
        }
        std::vector<uint8_t>& head = heads[key];
        if (head.size() < kInfoBytes)
            head.insert(head.end(), packet.Payload,
                        packet.Payload + std::min<size_t>(static_cast<size_t>(packet.PayloadSize), kInfoBytes - head.size()));
    }
    list.Damaged = demultiplexor.Failed();
    for (auto& [key, entry] : entries) {
        const std::vector<uint8_t>& head = heads[key];
        entry.Info = AnalyseElementaryStream(entry.Kind, head.data(), static_cast<int32_t>(head.size()));
        list.Streams.push_back(entry);
    }
    return list;
}

std::vector<std::string> FormatMPEGStreamList(const TMPEGStreamList& list) {
    std::vector<std::string> lines;
    lines.push_back(FormatText("%s%s, %lld packets%s", FormName(list), WrapperName(list.Wrapper),
                               static_cast<long long>(list.Packs), list.Damaged ? ", damaged (read up to the damage)" : ""));
    for (const TMPEGStreamListEntry& entry : list.Streams) {
        std::string ids = FormatText("0x%02X", entry.StreamId);
        if (entry.SubstreamId != 0)
            ids += FormatText("/0x%02X", entry.SubstreamId);
        lines.push_back(FormatText("stream %s %s #%d: %lld bytes, %lld packets, first PTS %s, first DTS %s%s", ids.c_str(),
                                   GetDemultiplexorKindName(entry.Kind).c_str(), entry.Number,
                                   static_cast<long long>(entry.Bytes), static_cast<long long>(entry.Packets),
                                   FormatTime(entry.FirstPTS).c_str(), FormatTime(entry.FirstDTS).c_str(),
                                   DescribeInfo(entry).c_str()));
    }
    return lines;
}

} // namespace quillset
