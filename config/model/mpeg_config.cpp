#include "config/model/mpeg_config.h"

#include "config/model/mpeg_tables.h"
#include "config/persist/property_info.h"

namespace quillset {

namespace {

using C = TMPEGConfig;

constexpr TPropertyInfo kConfigProperties[] = {
    StringProperty<&C::Text>("Text"),
    StringProperty<&C::WizardCategoryName>("WizardCategoryName"),
    StringProperty<&C::WizardSubFormatName>("WizardSubFormatName"),
    StringProperty<&C::WizardCaption>("WizardCaption"),
    StringProperty<&C::WizardDescription>("WizardDescription"),
    EnumProperty<&C::WizardTargetMedia>("WizardTargetMedia", MPEGConfig_TargetMediaType_Info,
                                        MPEGConfig_TargetMediaType_Unknown),
    BooleanProperty<&C::WizardAutoCalcVideoBitRate>("WizardAutoCalcVideoBitRate", false),
    ObjectProperty<&C::WizardAutoChooseList>("WizardAutoChooseList"),
    EnumProperty<&C::OutputStreamType>("OutputStreamType", MPEG_OutputStreamType_Info,
                                       MPEG_OutputStreamType_System_VideoAudio),
    BooleanProperty<&C::OutputStreamType_ReadOnly>("OutputStreamType_ReadOnly", false),
    ObjectProperty<&C::Video>("Video"),
    ObjectProperty<&C::Audio>("Audio"),
    ObjectProperty<&C::System>("System"),
};

} // namespace

TMPEGConfig::TMPEGConfig() {
    ResetDefaults();
}

const TClassInfo& TMPEGConfig::StaticClassInfo() {
    static const TClassInfo info{"TMPEGConfig", &TPersistent::StaticClassInfo(), kConfigProperties};
    return info;
}

std::string TMPEGConfig::GetOutputFileExtension() const {
    switch (OutputStreamType) {
    case MPEG_OutputStreamType_VideoOnly:
        return Video.GetFileExtension();
    case MPEG_OutputStreamType_AudioOnly:
        return Audio.GetFileExtension();
    case MPEG_OutputStreamType_VideoAudio:
        return std::string("[") + Video.GetFileExtension() + "+" + Audio.GetFileExtension() + "]";
    default:
        return System.StreamType == MPEGSystemEncoder_StreamType_ElementaryStream ? "" : "mpg";
    }
}

TMPEGVideoEncoder_EncodeConfig TMPEGConfig::GetVideoEncodeConfig() const {
    TMPEGVideoEncoder_EncodeConfig c;
    if (System.EnableCommentText)
        c.CommentText = System.CommentText;
    c.StreamType = Video.StreamType;
    c.Width = Video.Width;
    c.Height = Video.Height;
    c.YUVFormat = Video.YUVFormat;
    c.DC_prec = Video.DC_prec;
    c.VideoEncodeMode = Video.VideoEncodeMode;
    if (Video.StreamType == MPEGVideoEncoder_StreamType_MPEG1) {
        c.YUVFormat = 1;
        c.DC_prec = 0;
        c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive;
    }
    c.FrameRate = Video.FrameRate;
    c.AspectRatio = Video.AspectRatio;

    const TMPEGVideoConfig_RateSettings rates = Video.GetRateSettings();
    c.RateControlMode = Video.RateControlMode;
    c.RateControlAlgorithm = 0;
    c.MultipassVBRAlgorithm = rates.Algorithm;
    c.AvgBitRate = rates.AvgBitRate;
    c.MaxBitRate = rates.MaxBitRate;
    c.MinBitRate = rates.MinBitRate;
    c.EnablePadding = rates.EnablePadding;
    c.Quality = rates.Quality;
    c.QualityFactorP = rates.QualityFactorP;
    c.QualityFactorB = rates.QualityFactorB;
    c.MaxPassCount = rates.MaxPassCount;

    c.VBVBufferSize = Video.VBVBufferSize;
    c.AnalysisScale = 1.0;
    c.GOP_SeqHeaderInterval = Video.GOP_SeqHeaderInterval;
    c.GOP_I_FrameCount = Video.GOP_I_FrameCount;
    c.GOP_P_FrameCount = Video.GOP_P_FrameCount;
    c.GOP_B_FrameCount = Video.GOP_B_FrameCount;
    c.GOP_BitStreamForEdit = Video.GOP_BitStreamForEdit;
    c.GOP_MaxFrameCount = Video.GOP_MaxFrameCount;
    c.QuantizeMatrix_Intra = Video.QuantizeMatrix_Intra;
    c.QuantizeMatrix_NonIntra = Video.QuantizeMatrix_NonIntra;
    if (Video.QuantizeMode) {
        c.QuantizeModeVal_Intra = Video.QuantizeModeVal_Intra / 100.0;
        c.QuantizeModeVal_NonIntra = Video.QuantizeModeVal_NonIntra / 100.0;
    }
    c.ColorConversion = Video.YUVBasicYCbCr ? ColorConversion_Basic : ColorConversion_Standard;

    c.Profile = Video.Profile;
    c.Level = Video.Level;
    c.VideoFormat = Video.VideoFormat;
    c.DisplayWidth = Video.DisplayWidth;
    c.DisplayHeight = Video.DisplayHeight;
    c.SuperVideoCD = System.StreamType == MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR;
    c.UseFloatDCT = Video.UseFloatDCT;
    c.MotionSearchSpeed = Video.MotionSearchSpeed;
    c.MotionSearch_AlwaysHalfPel = Video.MotionSearch_AlwaysHalfPel;
    c.ModeDecisionWeights = Video.ModeDecisionWeights;
    c.TuningFlags = {0, 0};
    c.TuningValues = {50.0, 1.0, 1.0};
    return c;
}

TMPEGAudioEncoder_EncodeConfig TMPEGConfig::GetAudioEncodeConfig() const {
    TMPEGAudioEncoder_EncodeConfig c;
    c.StreamType = Audio.StreamType;
    c.SamplingFrequency = Audio.SamplingFrequency;
    c.ChannelMode = Audio.ChannelMode;
    c.BitRate = Audio.BitRate;
    c.CalcCRC = Audio.CalcCRC;
    c.OriginalFlag = Audio.OriginalFlag;
    c.CopyrightFlag = Audio.CopyrightFlag;
    c.PrivateFlag = Audio.PrivateFlag;
    c.EmphasisType = Audio.EmphasisType;
    return c;
}

TMPEGSystemEncoder_EncodeConfig TMPEGConfig::GetSystemEncodeConfig() const {
    TMPEGSystemEncoder_EncodeConfig c;
    c.StreamType = IsSystemOutput(OutputStreamType) ? System.StreamType : MPEGSystemEncoder_StreamType_ElementaryStream;
    return c;
}

} // namespace quillset
