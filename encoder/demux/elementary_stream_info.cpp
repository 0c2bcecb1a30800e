#include "encoder/demux/elementary_stream_info.h"

#include "encoder/demux/mpeg_demultiplexor.h"

namespace quillset {

namespace {

void AnalyseVideo(const uint8_t* data, int32_t size, TMPEGElementaryStreamInfo& info) {
    for (int32_t i = 0; i + 12 <= size; ++i) {
        if (!(data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == 0xB3))
            continue;
        ParseMPEGVideoSequenceHeader(data + i + 4, info.Video);
        info.Valid = GetMPEGFrameRate(info.Video.FrameRateCode) > 0;
        // A sequence extension marks MPEG-2 (ISO/IEC 13818-2, 6.1.1.6).
        for (int32_t j = i + 12; j + 5 <= size && j < i + 12 + 256; ++j)
            if (data[j] == 0 && data[j + 1] == 0 && data[j + 2] == 1) {
                info.VideoMPEG2 = data[j + 3] == 0xB5 && (data[j + 4] >> 4) == 1;
                break;
            }
        return;
    }
}

} // namespace

TMPEGElementaryStreamInfo AnalyseElementaryStream(uint8_t kind, const uint8_t* data, int32_t size) {
    TMPEGElementaryStreamInfo info;
    info.Kind = kind;
    switch (kind) {
    case MPEGDemultiplexor_StreamKind_Video:
        AnalyseVideo(data, size, info);
        break;
    case MPEGDemultiplexor_StreamKind_Audio:
        for (int32_t i = 0; i + 4 <= size && !info.Valid; ++i)
            info.Valid = ParseMPEGAudioFrameHeader(data + i, info.Audio);
        break;
    case MPEGDemultiplexor_StreamKind_AC3:
        for (int32_t i = 0; i + 7 <= size && !info.Valid; ++i)
            info.Valid = ParseAC3SyncInfo(data + i, info.AC3);
        break;
    case MPEGDemultiplexor_StreamKind_LinearPCM:
        if (IsValidLPCMHeader(data, size)) {
            info.LinearPCM = ReadLPCMHeader(data);
            info.Valid = true;
        }
        break;
    default:
        break;
    }
    return info;
}

} // namespace quillset
