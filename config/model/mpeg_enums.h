// The encoding enumerations of the system with their stream identifiers. The encoder-side ones
// are declared with the encoders' records; the ones only the configuration and the job use are
// declared here. Every enumeration is one byte in memory and its identifier in streams.
#pragma once

#include <cstdint>

#include "config/persist/persistent.h"
#include "encoder/framework/audio_types.h"
#include "encoder/mux/system_encode_config.h"
#include "encoder/video/video_encode_config.h"

namespace quillset {

enum TMPEGConfig_OutputStreamType : uint8_t {
    MPEG_OutputStreamType_VideoOnly = 0,
    MPEG_OutputStreamType_AudioOnly = 1,
    MPEG_OutputStreamType_VideoAudio = 2, // separate video and audio elementary streams
    MPEG_OutputStreamType_System_VideoOnly = 3,
    MPEG_OutputStreamType_System_AudioOnly = 4,
    MPEG_OutputStreamType_System_VideoAudio = 5,
};

enum TMPEGConfig_TargetMediaType : uint8_t {
    MPEGConfig_TargetMediaType_Unknown = 0,
    MPEGConfig_TargetMediaType_CD_650MB = 1,
    MPEGConfig_TargetMediaType_CD_700MB = 2,
    MPEGConfig_TargetMediaType_CD_800MB = 3,
    MPEGConfig_TargetMediaType_CD_74min = 4,
    MPEGConfig_TargetMediaType_CD_80min = 5,
    MPEGConfig_TargetMediaType_DVD_47GB = 6,
};
constexpr int kTargetMediaTypeCount = 7;

enum TMPEGEncodeJob_OutputFileType : uint8_t {
    MPEGEncodeJob_OutputFileType_SingleFile = 0,
    MPEGEncodeJob_OutputFileType_MultiFile = 1,
};

enum TMPEGEncodeJob_Source_ActiveAudioChannel : uint8_t {
    MPEGEncodeJob_Source_ActiveAudioChannel_All = 0,
    MPEGEncodeJob_Source_ActiveAudioChannel_Mono = 1,
    MPEGEncodeJob_Source_ActiveAudioChannel_LeftChannel = 2,
    MPEGEncodeJob_Source_ActiveAudioChannel_RightChannel = 3,
};

enum TMPEGEncodeJob_Source_Video_NoiseReduction_Power : uint8_t {
    MPEGEncodeJob_Source_Video_NoiseReduction_Power_None = 0,
    MPEGEncodeJob_Source_Video_NoiseReduction_Power_Low = 1,
    MPEGEncodeJob_Source_Video_NoiseReduction_Power_Middle = 2,
    MPEGEncodeJob_Source_Video_NoiseReduction_Power_High = 3,
};

enum TVideoFilter_DeinterlaceType : uint8_t {
    VideoFilter_Deinterlace_None = 0,
    VideoFilter_Deinterlace_TopField = 1,
    VideoFilter_Deinterlace_TopFieldEx = 2,
    VideoFilter_Deinterlace_TopFieldEx_Anime = 3,
    VideoFilter_Deinterlace_TopFieldEx_Anime2 = 4,
    VideoFilter_Deinterlace_BottomField = 5,
    VideoFilter_Deinterlace_BottomFieldEx = 6,
    VideoFilter_Deinterlace_BottomFieldEx_Anime = 7,
    VideoFilter_Deinterlace_BottomFieldEx_Anime2 = 8,
    VideoFilter_Deinterlace_Double = 9,
    VideoFilter_Deinterlace_DoubleEx = 10,
    VideoFilter_Deinterlace_Field_Double = 11,
    VideoFilter_Deinterlace_Field_DoubleEx = 12,
    VideoFilter_Deinterlace_Field_TopBottomField = 13,
    VideoFilter_Deinterlace_Field_TopBottomFieldEx = 14,
    VideoFilter_Deinterlace_Field_TopBottomFieldEx_Anime = 15,
    VideoFilter_Deinterlace_Field_TopBottomFieldEx_Anime2 = 16,
};

// Stream identifiers, by ordinal.
extern const TEnumTypeInfo MPEGVideoEncoder_StreamType_Info;
extern const TEnumTypeInfo MPEGVideoEncoder_VideoEncodeMode_Info;
extern const TEnumTypeInfo MPEGVideoEncoder_RateControlMode_Info;
extern const TEnumTypeInfo MPEGVideoEncoder_MultipassVBRAlgorithm_Info;
extern const TEnumTypeInfo MPEGVideoEncoder_MotionSearchSpeed_Info;
extern const TEnumTypeInfo MPEGAudioEncoder_StreamType_Info;
extern const TEnumTypeInfo MPEGSystemEncoder_StreamType_Info;
extern const TEnumTypeInfo MPEG_OutputStreamType_Info;
extern const TEnumTypeInfo MPEGConfig_TargetMediaType_Info;
extern const TEnumTypeInfo MPEGEncodeJob_OutputFileType_Info;
extern const TEnumTypeInfo MPEGEncodeJob_Source_ActiveAudioChannel_Info;
extern const TEnumTypeInfo MPEGEncodeJob_Source_Video_NoiseReduction_Power_Info;
extern const TEnumTypeInfo VideoFilter_DeinterlaceType_Info;

// True for the three output types that multiplex into one system stream.
constexpr bool IsSystemOutput(TMPEGConfig_OutputStreamType type) {
    return type >= MPEG_OutputStreamType_System_VideoOnly && type <= MPEG_OutputStreamType_System_VideoAudio;
}
constexpr bool OutputHasVideo(TMPEGConfig_OutputStreamType type) {
    return type == MPEG_OutputStreamType_VideoOnly || type == MPEG_OutputStreamType_VideoAudio ||
           type == MPEG_OutputStreamType_System_VideoOnly || type == MPEG_OutputStreamType_System_VideoAudio;
}
constexpr bool OutputHasAudio(TMPEGConfig_OutputStreamType type) {
    return type == MPEG_OutputStreamType_AudioOnly || type == MPEG_OutputStreamType_VideoAudio ||
           type == MPEG_OutputStreamType_System_AudioOnly || type == MPEG_OutputStreamType_System_VideoAudio;
}

} // namespace quillset
