#include "config/model/video_config.h"

#include <algorithm>

#include "config/model/mpeg_tables.h"
#include "config/persist/filer_errors.h"
#include "config/persist/property_info.h"
#include "config/persist/reader.h"
#include "encoder/video/mpeg2_profile_level.h"
#include "stream/large_stream.h"

namespace quillset {

namespace {

using V = TMPEGVideoConfig;

constexpr TPropertyInfo kVideoProperties[] = {
    EnumProperty<&V::StreamType>("StreamType", MPEGVideoEncoder_StreamType_Info, MPEGVideoEncoder_StreamType_MPEG1),
    BooleanProperty<&V::StreamType_ReadOnly>("StreamType_ReadOnly", false),
    IntegerProperty<&V::Width>("Width", 352),
    BooleanProperty<&V::Width_ReadOnly>("Width_ReadOnly", false),
    IntegerProperty<&V::Height>("Height", 240),
    BooleanProperty<&V::Height_ReadOnly>("Height_ReadOnly", false),
    IntegerProperty<&V::YUVFormat>("YUVFormat", 1),
    BooleanProperty<&V::YUVFormat_ReadOnly>("YUVFormat_ReadOnly", false),
    IntegerProperty<&V::DC_prec>("DC_prec", 0),
    BooleanProperty<&V::DC_prec_ReadOnly>("DC_prec_ReadOnly", false),
    EnumProperty<&V::VideoEncodeMode>("VideoEncodeMode", MPEGVideoEncoder_VideoEncodeMode_Info,
                                      MPEGVideoEncoder_VideoEncodeMode_Progressive),
    BooleanProperty<&V::VideoEncodeMode_ReadOnly>("VideoEncodeMode_ReadOnly", false),
    IntegerProperty<&V::FrameRate>("FrameRate", 4),
    BooleanProperty<&V::FrameRate_ReadOnly>("FrameRate_ReadOnly", false),
    IntegerProperty<&V::AspectRatio>("AspectRatio", 12),
    BooleanProperty<&V::AspectRatio_ReadOnly>("AspectRatio_ReadOnly", false),
    EnumProperty<&V::RateControlMode>("RateControlMode", MPEGVideoEncoder_RateControlMode_Info,
                                      MPEGVideoEncoder_RateControlMode_CBR),
    BooleanProperty<&V::RateControlMode_ReadOnly>("RateControlMode_ReadOnly", false),
    IntegerProperty<&V::MaxBitRate>("MaxBitRate", 0),
    BooleanProperty<&V::MaxBitRate_ReadOnly>("MaxBitRate_ReadOnly", false),
    IntegerProperty<&V::MinBitRate>("MinBitRate", 0),
    BooleanProperty<&V::MinBitRate_ReadOnly>("MinBitRate_ReadOnly", false),
    IntegerProperty<&V::MinAvgBitRate>("MinAvgBitRate", 0),
    BooleanProperty<&V::MinAvgBitRate_ReadOnly>("MinAvgBitRate_ReadOnly", false),
    IntegerProperty<&V::CBR_BitRate>("CBR_BitRate", 1150000),
    EnumProperty<&V::VBR_MultipassVBRAlgorithm>("VBR_MultipassVBRAlgorithm", MPEGVideoEncoder_MultipassVBRAlgorithm_Info,
                                                MPEGVideoEncoder_MultipassVBRAlgorithm_MultipassCQ),
    IntegerProperty<&V::VBR_AvgBitRate>("VBR_AvgBitRate", 1150000),
    IntegerProperty<&V::VBR_MaxBitRate>("VBR_MaxBitRate", 3000000),
    IntegerProperty<&V::VBR_MinBitRate>("VBR_MinBitRate", 300000),
    IntegerProperty<&V::VBR_MaxPassCount>("VBR_MaxPassCount", 2),
    FloatProperty<&V::VBR_Quality_P>("VBR_Quality_P", 0.0),
    FloatProperty<&V::VBR_Quality_B>("VBR_Quality_B", 20.0),
    BooleanProperty<&V::VBR_EnablePadding>("VBR_EnablePadding", false),
    IntegerProperty<&V::MVBR_MaxBitRate>("MVBR_MaxBitRate", 3000000),
    IntegerProperty<&V::MVBR_MinBitRate>("MVBR_MinBitRate", 0),
    FloatProperty<&V::MVBR_Quality_P>("MVBR_Quality_P", 0.0),
    FloatProperty<&V::MVBR_Quality_B>("MVBR_Quality_B", 20.0),
    BooleanProperty<&V::MVBR_EnablePadding>("MVBR_EnablePadding", false),
    FloatProperty<&V::AVBR_Quality>("AVBR_Quality", 50.0),
    IntegerProperty<&V::AVBR_MaxBitRate>("AVBR_MaxBitRate", 3000000),
    IntegerProperty<&V::AVBR_MinBitRate>("AVBR_MinBitRate", 0),
    BooleanProperty<&V::AVBR_EnablePadding>("AVBR_EnablePadding", false),
    FloatProperty<&V::CQ_Quality>("CQ_Quality", 50.0),
    FloatProperty<&V::CQ_Quality_P>("CQ_Quality_P", 0.0),
    FloatProperty<&V::CQ_Quality_B>("CQ_Quality_B", 20.0),
    IntegerProperty<&V::CQ_MaxBitRate>("CQ_MaxBitRate", 3000000),
    IntegerProperty<&V::CQ_MinBitRate>("CQ_MinBitRate", 0),
    BooleanProperty<&V::CQ_EnablePadding>("CQ_EnablePadding", false),
    IntegerProperty<&V::VBVBufferSize>("VBVBufferSize", 0),
    BooleanProperty<&V::VBVBufferSize_ReadOnly>("VBVBufferSize_ReadOnly", false),
    IntegerProperty<&V::GOP_SeqHeaderInterval>("GOP_SeqHeaderInterval", 0),
    BooleanProperty<&V::GOP_SeqHeaderInterval_ReadOnly>("GOP_SeqHeaderInterval_ReadOnly", false),
    IntegerProperty<&V::GOP_I_FrameCount>("GOP_I_FrameCount", 1),
    BooleanProperty<&V::GOP_I_FrameCount_ReadOnly>("GOP_I_FrameCount_ReadOnly", false),
    IntegerProperty<&V::GOP_P_FrameCount>("GOP_P_FrameCount", 5),
    BooleanProperty<&V::GOP_P_FrameCount_ReadOnly>("GOP_P_FrameCount_ReadOnly", false),
    IntegerProperty<&V::GOP_B_FrameCount>("GOP_B_FrameCount", 2),
    BooleanProperty<&V::GOP_B_FrameCount_ReadOnly>("GOP_B_FrameCount_ReadOnly", false),
    BooleanProperty<&V::GOP_BitStreamForEdit>("GOP_BitStreamForEdit", false),
    BooleanProperty<&V::GOP_BitStreamForEdit_ReadOnly>("GOP_BitStreamForEdit_ReadOnly", false),
    IntegerProperty<&V::GOP_MaxFrameCount>("GOP_MaxFrameCount", 0),
    BooleanProperty<&V::GOP_MaxFrameCount_ReadOnly>("GOP_MaxFrameCount_ReadOnly", false),
    BooleanProperty<&V::QuantizeMatrix_Intra_ReadOnly>("QuantizeMatrix_Intra_ReadOnly", false),
    BooleanProperty<&V::QuantizeMatrix_NonIntra_ReadOnly>("QuantizeMatrix_NonIntra_ReadOnly", false),
    IntegerProperty<&V::Profile>("Profile", 4),
    BooleanProperty<&V::Profile_ReadOnly>("Profile_ReadOnly", false),
    IntegerProperty<&V::Level>("Level", 8),
    BooleanProperty<&V::Level_ReadOnly>("Level_ReadOnly", false),
    IntegerProperty<&V::VideoFormat>("VideoFormat", 2),
    BooleanProperty<&V::VideoFormat_ReadOnly>("VideoFormat_ReadOnly", false),
    IntegerProperty<&V::DisplayWidth>("DisplayWidth", 0),
    BooleanProperty<&V::DisplayWidth_ReadOnly>("DisplayWidth_ReadOnly", false),
    IntegerProperty<&V::DisplayHeight>("DisplayHeight", 0),
    BooleanProperty<&V::DisplayHeight_ReadOnly>("DisplayHeight_ReadOnly", false),
    EnumProperty<&V::MotionSearchSpeed>("MotionSearchSpeed", MPEGVideoEncoder_MotionSearchSpeed_Info,
                                        MPEGVideoEncoder_MotionSearchSpeed_Normal),
    BooleanProperty<&V::MotionSearch_AlwaysHalfPel>("MotionSearch_AlwaysHalfPel", true),
    BooleanProperty<&V::UseFloatDCT>("UseFloatDCT", false),
    BooleanProperty<&V::QuantizeMode>("QuantizeMode", false),
    IntegerProperty<&V::QuantizeModeVal_Intra>("QuantizeModeVal_Intra", 35),
    IntegerProperty<&V::QuantizeModeVal_NonIntra>("QuantizeModeVal_NonIntra", 35),
    BooleanProperty<&V::YUVBasicYCbCr>("YUVBasicYCbCr", false),
};

constexpr std::array<double, 4> kModeDecisionWeights = {1.0, 1.0, 2.0, 2.0};

void ReadMatrix(TLargeStream& data, std::array<uint8_t, 64>& matrix) {
    if (data.GetSize() != 64)
        throw EPropertyError(SInvalidPropertyValue);
    data.ReadBuffer(matrix.data(), 64);
}

double QualityFactor(double percent) {
    return 1.0 / std::max(0.01, 1.0 + percent / 100.0);
}

} // namespace

TMPEGVideoConfig::TMPEGVideoConfig() {
    ResetDefaults();
}

const TClassInfo& TMPEGVideoConfig::StaticClassInfo() {
    static const TClassInfo info{"TMPEGVideoConfig", &TPersistent::StaticClassInfo(), kVideoProperties};
    return info;
}

void TMPEGVideoConfig::DefineProperties(TFiler& filer) {
    filer.DefineBinaryProperty(
        "QuantizeMatrix_Intra", [this](TLargeStream& data) { ReadMatrix(data, QuantizeMatrix_Intra); },
        [this](TLargeStream& data) { data.WriteBuffer(QuantizeMatrix_Intra.data(), 64); }, true);
    filer.DefineBinaryProperty(
        "QuantizeMatrix_NonIntra", [this](TLargeStream& data) { ReadMatrix(data, QuantizeMatrix_NonIntra); },
        [this](TLargeStream& data) { data.WriteBuffer(QuantizeMatrix_NonIntra.data(), 64); }, true);
    // Names of older streams; they follow the published properties there, so their effect wins.
    filer.DefineProperty(
        "Interlace",
        [this](TReader& reader) {
            VideoEncodeMode = reader.ReadBoolean() ? MPEGVideoEncoder_VideoEncodeMode_Interlace
                                                   : MPEGVideoEncoder_VideoEncodeMode_Progressive;
        },
        nullptr, false);
    filer.DefineProperty(
        "Interlace_ReadOnly", [this](TReader& reader) { VideoEncodeMode_ReadOnly = reader.ReadBoolean(); }, nullptr,
        false);
    filer.DefineProperty(
        "PullDown32",
        [this](TReader& reader) {
            if (reader.ReadBoolean())
                VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown;
        },
        nullptr, false);
    filer.DefineProperty(
        "PullDown32_ReadOnly",
        [this](TReader& reader) {
            if (reader.ReadBoolean())
                VideoEncodeMode_ReadOnly = true;
        },
        nullptr, false);
}

void TMPEGVideoConfig::AssignUnpublished(const TPersistent& source) {
    const auto& from = static_cast<const TMPEGVideoConfig&>(source);
    QuantizeMatrix_Intra = from.QuantizeMatrix_Intra;
    QuantizeMatrix_NonIntra = from.QuantizeMatrix_NonIntra;
    TuningFlags = from.TuningFlags;
    ModeDecisionWeights = from.ModeDecisionWeights;
}

void TMPEGVideoConfig::ResetUnpublished() {
    QuantizeMatrix_Intra = DefaultQuantizeMatrix_Intra;
    QuantizeMatrix_NonIntra = DefaultQuantizeMatrix_NonIntra;
    TuningFlags = {false, false, false};
    ModeDecisionWeights = kModeDecisionWeights;
}

bool TMPEGVideoConfig::EqualsUnpublished(const TPersistent& other) const {
    const auto& that = static_cast<const TMPEGVideoConfig&>(other);
    return QuantizeMatrix_Intra == that.QuantizeMatrix_Intra && QuantizeMatrix_NonIntra == that.QuantizeMatrix_NonIntra &&
           TuningFlags == that.TuningFlags && ModeDecisionWeights == that.ModeDecisionWeights;
}

const char* TMPEGVideoConfig::GetFileExtension() const {
    return StreamType == MPEGVideoEncoder_StreamType_MPEG2 ? "m2v" : "m1v";
}

TMPEGVideoConfig_BitRateLimits TMPEGVideoConfig::GetBitRateLimits(bool applyLevelLimit) const {
    TMPEGVideoConfig_BitRateLimits limits;
    limits.MaxRate = MaxBitRate;
    limits.MinRate = MinBitRate;
    const bool hasAverage = RateControlMode == MPEGVideoEncoder_RateControlMode_CBR ||
                            RateControlMode == MPEGVideoEncoder_RateControlMode_VBR_2PASS ||
                            RateControlMode == MPEGVideoEncoder_RateControlMode_Realtime_CBR;
    limits.MinAvgRate = hasAverage ? MinAvgBitRate : MinBitRate;
    if (limits.MaxRate == 0)
        limits.MaxRate = 100000000;
    if (applyLevelLimit && StreamType == MPEGVideoEncoder_StreamType_MPEG2) {
        if (const TMPEG2ProfileLevelLimits* level = FindMPEG2ProfileLevel(Profile, Level)) {
            limits.MaxRate = std::min(limits.MaxRate, level->MaxBitRate);
            limits.MinRate = std::min(limits.MinRate, level->MaxBitRate);
        }
    }
    limits.MinAvgRate = std::max(limits.MinAvgRate, limits.MinRate);
    return limits;
}

TMPEGVideoConfig_RateSettings TMPEGVideoConfig::GetRateSettings() const {
    TMPEGVideoConfig_RateSettings s;
    s.Algorithm = VBR_MultipassVBRAlgorithm;
    switch (RateControlMode) {
    case MPEGVideoEncoder_RateControlMode_VBR_2PASS:
        s = {VBR_MultipassVBRAlgorithm, false, VBR_AvgBitRate, VBR_MaxBitRate, VBR_MinBitRate, VBR_EnablePadding, 0.0,
             QualityFactor(VBR_Quality_P), QualityFactor(VBR_Quality_B), VBR_MaxPassCount};
        break;
    case MPEGVideoEncoder_RateControlMode_VBR_Manual:
        s = {VBR_MultipassVBRAlgorithm, false, -1, MVBR_MaxBitRate, MVBR_MinBitRate, MVBR_EnablePadding, 0.0,
             QualityFactor(MVBR_Quality_P), QualityFactor(MVBR_Quality_B), 0};
        break;
    case MPEGVideoEncoder_RateControlMode_VBR_Auto:
        s = {VBR_MultipassVBRAlgorithm, false, -1, AVBR_MaxBitRate, AVBR_MinBitRate, AVBR_EnablePadding, AVBR_Quality,
             0.0, 0.0, 0};
        break;
    case MPEGVideoEncoder_RateControlMode_CQ:
    case MPEGVideoEncoder_RateControlMode_Realtime_CQ:
        s = {VBR_MultipassVBRAlgorithm, false, -1, CQ_MaxBitRate, CQ_MinBitRate, CQ_EnablePadding, CQ_Quality,
             QualityFactor(CQ_Quality_P), QualityFactor(CQ_Quality_B), 0};
        break;
    default: // the two CBR modes
        s = {VBR_MultipassVBRAlgorithm, true, CBR_BitRate, CBR_BitRate, CBR_BitRate, true, 0.0, 0.0, 0.0, 0};
        break;
    }
    return s;
}

void TMPEGVideoConfig::SetBitRates(int32_t avg, int32_t max, int32_t min) {
    switch (RateControlMode) {
    case MPEGVideoEncoder_RateControlMode_VBR_2PASS:
        VBR_AvgBitRate = avg;
        VBR_MaxBitRate = max;
        VBR_MinBitRate = min;
        break;
    case MPEGVideoEncoder_RateControlMode_VBR_Manual:
        MVBR_MaxBitRate = max;
        MVBR_MinBitRate = min;
        break;
    case MPEGVideoEncoder_RateControlMode_VBR_Auto:
        AVBR_MaxBitRate = max;
        AVBR_MinBitRate = min;
        break;
    case MPEGVideoEncoder_RateControlMode_CQ:
    case MPEGVideoEncoder_RateControlMode_Realtime_CQ:
        CQ_MaxBitRate = max;
        CQ_MinBitRate = min;
        break;
    default:
        CBR_BitRate = avg;
        break;
    }
}

double GetShownFrameRate(const TMPEGVideoConfig& video) {
    const double rate = GetFrameRateValue(video.FrameRate);
    return video.VideoEncodeMode == MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown ? rate * 1.25 : rate;
}

} // namespace quillset
