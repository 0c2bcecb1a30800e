#include "config/model/mpeg_enums.h"

namespace quillset {

namespace {

constexpr const char* kVideoStreamTypes[] = {"MPEGVideoEncoder_StreamType_MPEG1", "MPEGVideoEncoder_StreamType_MPEG2"};
constexpr const char* kVideoEncodeModes[] = {
    "MPEGVideoEncoder_VideoEncodeMode_Progressive", "MPEGVideoEncoder_VideoEncodeMode_Interlace",
    "MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown", "MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown"};
constexpr const char* kRateControlModes[] = {
    "MPEGVideoEncoder_RateControlMode_CBR",        "MPEGVideoEncoder_RateControlMode_VBR_2PASS",
    "MPEGVideoEncoder_RateControlMode_VBR_Manual", "MPEGVideoEncoder_RateControlMode_VBR_Auto",
    "MPEGVideoEncoder_RateControlMode_CQ",         "MPEGVideoEncoder_RateControlMode_Realtime_CBR",
    "MPEGVideoEncoder_RateControlMode_Realtime_CQ"};
constexpr const char* kMultipassAlgorithms[] = {"MPEGVideoEncoder_MultipassVBRAlgorithm_2PASS",
                                                "MPEGVideoEncoder_MultipassVBRAlgorithm_MultipassCQ"};
constexpr const char* kMotionSearchSpeeds[] = {
    "MPEGVideoEncoder_MotionSearchSpeed_Fast",           "MPEGVideoEncoder_MotionSearchSpeed_FastWide",
    "MPEGVideoEncoder_MotionSearchSpeed_Normal",         "MPEGVideoEncoder_MotionSearchSpeed_Slow",
    "MPEGVideoEncoder_MotionSearchSpeed_HighCQ",         "MPEGVideoEncoder_MotionSearchSpeed_MotionEstimate",
    "MPEGVideoEncoder_MotionSearchSpeed_TelescopicSearch", "MPEGVideoEncoder_MotionSearchSpeed_MultiLayerSearch"};
constexpr const char* kAudioStreamTypes[] = {
    "MPEGAudioEncoder_StreamType_MPEG1_Layer1", "MPEGAudioEncoder_StreamType_MPEG1_Layer2",
    "MPEGAudioEncoder_StreamType_MPEG1_Layer3", "MPEGAudioEncoder_StreamType_Dolby_AC3",
    "MPEGAudioEncoder_StreamType_LinearPCM"};
constexpr const char* kSystemStreamTypes[] = {
    "MPEGSystemEncoder_StreamType_ElementaryStream",       "MPEGSystemEncoder_StreamType_MPEG1",
    "MPEGSystemEncoder_StreamType_MPEG1_VBR",              "MPEGSystemEncoder_StreamType_MPEG1_VideoCD",
    "MPEGSystemEncoder_StreamType_MPEG1_VideoCD_Illegal",  "MPEGSystemEncoder_StreamType_MPEG2_Program",
    "MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR", "MPEGSystemEncoder_StreamType_MPEG2_DVD_VOB",
    "MPEGSystemEncoder_StreamType_MPEG1_VideoCD_StillPicture"};
constexpr const char* kOutputStreamTypes[] = {
    "MPEG_OutputStreamType_VideoOnly",        "MPEG_OutputStreamType_AudioOnly",
    "MPEG_OutputStreamType_VideoAudio",       "MPEG_OutputStreamType_System_VideoOnly",
    "MPEG_OutputStreamType_System_AudioOnly", "MPEG_OutputStreamType_System_VideoAudio"};
constexpr const char* kTargetMediaTypes[] = {
    "MPEGConfig_TargetMediaType_Unknown",  "MPEGConfig_TargetMediaType_CD_650MB", "MPEGConfig_TargetMediaType_CD_700MB",
    "MPEGConfig_TargetMediaType_CD_800MB", "MPEGConfig_TargetMediaType_CD_74min", "MPEGConfig_TargetMediaType_CD_80min",
    "MPEGConfig_TargetMediaType_DVD_47GB"};
constexpr const char* kOutputFileTypes[] = {"MPEGEncodeJob_OutputFileType_SingleFile",
                                            "MPEGEncodeJob_OutputFileType_MultiFile"};
constexpr const char* kActiveAudioChannels[] = {
    "MPEGEncodeJob_Source_ActiveAudioChannel_All", "MPEGEncodeJob_Source_ActiveAudioChannel_Mono",
    "MPEGEncodeJob_Source_ActiveAudioChannel_LeftChannel", "MPEGEncodeJob_Source_ActiveAudioChannel_RightChannel"};
constexpr const char* kNoiseReductionPowers[] = {
    "MPEGEncodeJob_Source_Video_NoiseReduction_Power_None", "MPEGEncodeJob_Source_Video_NoiseReduction_Power_Low",
    "MPEGEncodeJob_Source_Video_NoiseReduction_Power_Middle", "MPEGEncodeJob_Source_Video_NoiseReduction_Power_High"};
constexpr const char* kDeinterlaceTypes[] = {
    "VideoFilter_Deinterlace_None",
    "VideoFilter_Deinterlace_TopField",
    "VideoFilter_Deinterlace_TopFieldEx",
    "VideoFilter_Deinterlace_TopFieldEx_Anime",
    "VideoFilter_Deinterlace_TopFieldEx_Anime2",
    "VideoFilter_Deinterlace_BottomField",
    "VideoFilter_Deinterlace_BottomFieldEx",
    "VideoFilter_Deinterlace_BottomFieldEx_Anime",
    "VideoFilter_Deinterlace_BottomFieldEx_Anime2",
    "VideoFilter_Deinterlace_Double",
    "VideoFilter_Deinterlace_DoubleEx",
    "VideoFilter_Deinterlace_Field_Double",
    "VideoFilter_Deinterlace_Field_DoubleEx",
    "VideoFilter_Deinterlace_Field_TopBottomField",
    "VideoFilter_Deinterlace_Field_TopBottomFieldEx",
    "VideoFilter_Deinterlace_Field_TopBottomFieldEx_Anime",
    "VideoFilter_Deinterlace_Field_TopBottomFieldEx_Anime2"};

} // namespace

const TEnumTypeInfo MPEGVideoEncoder_StreamType_Info{"TMPEGVideoEncoder_StreamType", kVideoStreamTypes};
const TEnumTypeInfo MPEGVideoEncoder_VideoEncodeMode_Info{"TMPEGVideoEncoder_VideoEncodeMode", kVideoEncodeModes};
const TEnumTypeInfo MPEGVideoEncoder_RateControlMode_Info{"TMPEGVideoEncoder_RateControlMode", kRateControlModes};
const TEnumTypeInfo MPEGVideoEncoder_MultipassVBRAlgorithm_Info{"TMPEGVideoEncoder_MultipassVBRAlgorithm",
                                                                kMultipassAlgorithms};
const TEnumTypeInfo MPEGVideoEncoder_MotionSearchSpeed_Info{"TMPEGVideoEncoder_MotionSearchSpeed", kMotionSearchSpeeds};
const TEnumTypeInfo MPEGAudioEncoder_StreamType_Info{"TMPEGAudioEncoder_StreamType", kAudioStreamTypes};
const TEnumTypeInfo MPEGSystemEncoder_StreamType_Info{"TMPEGSystemEncoder_StreamType", kSystemStreamTypes};
const TEnumTypeInfo MPEG_OutputStreamType_Info{"TMPEGConfig_OutputStreamType", kOutputStreamTypes};
const TEnumTypeInfo MPEGConfig_TargetMediaType_Info{"TMPEGConfig_TargetMediaType", kTargetMediaTypes};
const TEnumTypeInfo MPEGEncodeJob_OutputFileType_Info{"TMPEGEncodeJob_OutputFileType", kOutputFileTypes};
const TEnumTypeInfo MPEGEncodeJob_Source_ActiveAudioChannel_Info{"TMPEGEncodeJob_Source_ActiveAudioChannel",
                                                                 kActiveAudioChannels};
const TEnumTypeInfo MPEGEncodeJob_Source_Video_NoiseReduction_Power_Info{
    "TMPEGEncodeJob_Source_Video_NoiseReduction_Power", kNoiseReductionPowers};
const TEnumTypeInfo VideoFilter_DeinterlaceType_Info{"TVideoFilter_DeinterlaceType", kDeinterlaceTypes};

} // namespace quillset
