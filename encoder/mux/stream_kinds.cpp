#include "encoder/mux/stream_kinds.h"

#include "encoder/framework/audio_types.h"

namespace quillset {

std::string GetStreamKindName(uint8_t kind) {
    switch (kind) {
    case MPEGSystemEncoder_StreamKind_MPEGVideo: return "MPEG-Video";
    case MPEGSystemEncoder_StreamKind_MPEGAudio: return "MPEG-Audio";
    case MPEGSystemEncoder_StreamKind_DolbyAC3: return "Dolby Digital (AC-3)";
    case MPEGSystemEncoder_StreamKind_LinearPCM: return "Linear PCM";
    case MPEGSystemEncoder_StreamKind_SubPicture: return "Sub-picture";
    default: return "";
    }
}

uint8_t GetStreamKindOfAudioType(uint8_t audioStreamType) {
    switch (audioStreamType) {
    case MPEGAudioEncoder_StreamType_MPEG1_Layer1:
    case MPEGAudioEncoder_StreamType_MPEG1_Layer2:
    case MPEGAudioEncoder_StreamType_MPEG1_Layer3:
        return MPEGSystemEncoder_StreamKind_MPEGAudio;
    case MPEGAudioEncoder_StreamType_Dolby_AC3:
        return MPEGSystemEncoder_StreamKind_DolbyAC3;
    case MPEGAudioEncoder_StreamType_LinearPCM:
        return MPEGSystemEncoder_StreamKind_LinearPCM;
    default:
        return 0xFF;
    }
}

void GetAllowedStreamIdsOfKind(uint8_t kind, TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds) {
    streamIds.reset();
    substreamIds.reset();
    auto setRange = [](TMPEGStreamIdSet& set, int first, int last) {
        for (int id = first; id <= last; ++id)
            set.set(static_cast<size_t>(id));
    };
    switch (kind) {
    case MPEGSystemEncoder_StreamKind_MPEGVideo:
        setRange(streamIds, 0xE0, 0xEF);
        break;
    case MPEGSystemEncoder_StreamKind_MPEGAudio:
        setRange(streamIds, 0xC0, 0xCF);
        break;
    case MPEGSystemEncoder_StreamKind_DolbyAC3:
        streamIds.set(MPEGStreamId_PrivateStream1);
        setRange(substreamIds, 0x80, 0x87);
        break;
    case MPEGSystemEncoder_StreamKind_LinearPCM:
        streamIds.set(MPEGStreamId_PrivateStream1);
        setRange(substreamIds, 0xA0, 0xA7);
        break;
    default:
        break;
    }
}

} // namespace quillset
