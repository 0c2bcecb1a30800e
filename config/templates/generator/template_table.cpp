// The source table of the built-in templates: one row per template, and the rules by family
// (DVD, DVD for film, Super Video-CD, Video-CD) that turn a row into a configuration.
#include "config/templates/generator/template_table.h"

#include <string>

#include "config/model/config_list.h"
#include "config/model/mpeg_config.h"

namespace quillset {

namespace {

enum class TFamily { DVD, DVDFilm, SVCD, VCD };
enum class TTVSystem { NTSC, NTSCFilm, PAL };
enum class TAspect { Normal, Wide }; // 4:3, 16:9
enum class TRate { CBR, VBR };
enum class TAudio { AC3, LPCM, MPA };

struct TTemplateRow {
    const char* FileName;
    TFamily Family;
    TTVSystem TV;
    TAspect Aspect;
    TRate Rate;
    TAudio Audio;
};

using F = TFamily;
using T = TTVSystem;
using A = TAspect;
using R = TRate;
using Au = TAudio;

// In list order.
constexpr TTemplateRow kTemplates[] = {
    {"DVD (NTSC 16_9) - MPEG2 720x480 CBR 4Mbps AC3.mcf", F::DVD, T::NTSC, A::Wide, R::CBR, Au::AC3},
    {"DVD (NTSC 16_9) - MPEG2 720x480 CBR 4Mbps LPCM.mcf", F::DVD, T::NTSC, A::Wide, R::CBR, Au::LPCM},
    {"DVD (NTSC 16_9) - MPEG2 720x480 CBR 4Mbps MPA.mcf", F::DVD, T::NTSC, A::Wide, R::CBR, Au::MPA},
    {"DVD (NTSC 16_9) - MPEG2 720x480 VBR 4Mbps AC3.mcf", F::DVD, T::NTSC, A::Wide, R::VBR, Au::AC3},
    {"DVD (NTSC 16_9) - MPEG2 720x480 VBR 4Mbps LPCM.mcf", F::DVD, T::NTSC, A::Wide, R::VBR, Au::LPCM},
    {"DVD (NTSC 16_9) - MPEG2 720x480 VBR 4Mbps MPA.mcf", F::DVD, T::NTSC, A::Wide, R::VBR, Au::MPA},
    {"DVD (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps AC3.mcf", F::DVD, T::NTSC, A::Normal, R::CBR, Au::AC3},
    {"DVD (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps LPCM.mcf", F::DVD, T::NTSC, A::Normal, R::CBR, Au::LPCM},
    {"DVD (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps MPA.mcf", F::DVD, T::NTSC, A::Normal, R::CBR, Au::MPA},
    {"DVD (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps AC3.mcf", F::DVD, T::NTSC, A::Normal, R::VBR, Au::AC3},
    {"DVD (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps LPCM.mcf", F::DVD, T::NTSC, A::Normal, R::VBR, Au::LPCM},
    {"DVD (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps MPA.mcf", F::DVD, T::NTSC, A::Normal, R::VBR, Au::MPA},
    {"DVD (PAL 16_9) - MPEG2 720x576 CBR 4Mbps AC3.mcf", F::DVD, T::PAL, A::Wide, R::CBR, Au::AC3},
    {"DVD (PAL 16_9) - MPEG2 720x576 CBR 4Mbps LPCM.mcf", F::DVD, T::PAL, A::Wide, R::CBR, Au::LPCM},
    {"DVD (PAL 16_9) - MPEG2 720x576 CBR 4Mbps MPA.mcf", F::DVD, T::PAL, A::Wide, R::CBR, Au::MPA},
    {"DVD (PAL 16_9) - MPEG2 720x576 VBR 4Mbps AC3.mcf", F::DVD, T::PAL, A::Wide, R::VBR, Au::AC3},
    {"DVD (PAL 16_9) - MPEG2 720x576 VBR 4Mbps LPCM.mcf", F::DVD, T::PAL, A::Wide, R::VBR, Au::LPCM},
    {"DVD (PAL 16_9) - MPEG2 720x576 VBR 4Mbps MPA.mcf", F::DVD, T::PAL, A::Wide, R::VBR, Au::MPA},
    {"DVD (PAL 4_3) - MPEG2 720x576 CBR 4Mbps AC3.mcf", F::DVD, T::PAL, A::Normal, R::CBR, Au::AC3},
    {"DVD (PAL 4_3) - MPEG2 720x576 CBR 4Mbps LPCM.mcf", F::DVD, T::PAL, A::Normal, R::CBR, Au::LPCM},
    {"DVD (PAL 4_3) - MPEG2 720x576 CBR 4Mbps MPA.mcf", F::DVD, T::PAL, A::Normal, R::CBR, Au::MPA},
    {"DVD (PAL 4_3) - MPEG2 720x576 VBR 4Mbps AC3.mcf", F::DVD, T::PAL, A::Normal, R::VBR, Au::AC3},
    {"DVD (PAL 4_3) - MPEG2 720x576 VBR 4Mbps LPCM.mcf", F::DVD, T::PAL, A::Normal, R::VBR, Au::LPCM},
    {"DVD (PAL 4_3) - MPEG2 720x576 VBR 4Mbps MPA.mcf", F::DVD, T::PAL, A::Normal, R::VBR, Au::MPA},
    {"DVD Film (NTSC 16_9) - MPEG2 720x480 CBR 4Mbps AC3.mcf", F::DVDFilm, T::NTSC, A::Wide, R::CBR, Au::AC3},
    {"DVD Film (NTSC 16_9) - MPEG2 720x480 CBR 4Mbps LPCM.mcf", F::DVDFilm, T::NTSC, A::Wide, R::CBR, Au::LPCM},
    {"DVD Film (NTSC 16_9) - MPEG2 720x480 CBR 4Mbps MPA.mcf", F::DVDFilm, T::NTSC, A::Wide, R::CBR, Au::MPA},
    {"DVD Film (NTSC 16_9) - MPEG2 720x480 VBR 4Mbps AC3.mcf", F::DVDFilm, T::NTSC, A::Wide, R::VBR, Au::AC3},
    {"DVD Film (NTSC 16_9) - MPEG2 720x480 VBR 4Mbps LPCM.mcf", F::DVDFilm, T::NTSC, A::Wide, R::VBR, Au::LPCM},
    {"DVD Film (NTSC 16_9) - MPEG2 720x480 VBR 4Mbps MPA.mcf", F::DVDFilm, T::NTSC, A::Wide, R::VBR, Au::MPA},
    {"DVD Film (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps AC3.mcf", F::DVDFilm, T::NTSC, A::Normal, R::CBR, Au::AC3},
    {"DVD Film (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps LPCM.mcf", F::DVDFilm, T::NTSC, A::Normal, R::CBR, Au::LPCM},
    {"DVD Film (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps MPA.mcf", F::DVDFilm, T::NTSC, A::Normal, R::CBR, Au::MPA},
    {"DVD Film (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps AC3.mcf", F::DVDFilm, T::NTSC, A::Normal, R::VBR, Au::AC3},
    {"DVD Film (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps LPCM.mcf", F::DVDFilm, T::NTSC, A::Normal, R::VBR, Au::LPCM},
    {"DVD Film (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps MPA.mcf", F::DVDFilm, T::NTSC, A::Normal, R::VBR, Au::MPA},
    {"SuperVideoCD (NTSC) - MPEG2 480x480 CBR.mcf", F::SVCD, T::NTSC, A::Normal, R::CBR, Au::MPA},
    {"SuperVideoCD (NTSC) - MPEG2 480x480 VBR.mcf", F::SVCD, T::NTSC, A::Normal, R::VBR, Au::MPA},
    {"SuperVideoCD (NTSCFilm) - MPEG2 480x480 CBR.mcf", F::SVCD, T::NTSCFilm, A::Normal, R::CBR, Au::MPA},
    {"SuperVideoCD (NTSCFilm) - MPEG2 480x480 VBR.mcf", F::SVCD, T::NTSCFilm, A::Normal, R::VBR, Au::MPA},
    {"SuperVideoCD (PAL) - MPEG2 480x576 CBR.mcf", F::SVCD, T::PAL, A::Normal, R::CBR, Au::MPA},
    {"SuperVideoCD (PAL) - MPEG2 480x576 VBR.mcf", F::SVCD, T::PAL, A::Normal, R::VBR, Au::MPA},
    {"VideoCD (NTSC) - MPEG1 352x240 CBR 1150kbps.mcf", F::VCD, T::NTSC, A::Normal, R::CBR, Au::MPA},
    {"VideoCD (NTSCFilm) - MPEG1 352x240 CBR 1150kbps.mcf", F::VCD, T::NTSCFilm, A::Normal, R::CBR, Au::MPA},
    {"VideoCD (PAL) - MPEG1 352x288 CBR 1150kbps.mcf", F::VCD, T::PAL, A::Normal, R::CBR, Au::MPA},
};

// The one template whose Linear PCM channel mode may be changed.
constexpr const char* kFreeChannelModeTemplate = "DVD (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps LPCM.mcf";

bool IsDVD(const TTemplateRow& row) { return row.Family == F::DVD || row.Family == F::DVDFilm; }
bool IsNTSC(const TTemplateRow& row) { return row.TV != T::PAL; }

const char* TVName(const TTemplateRow& row) {
    return row.TV == T::NTSC ? "NTSC" : row.TV == T::NTSCFilm ? "NTSCFilm" : "PAL";
}

void SetTexts(const TTemplateRow& row, TMPEGConfig& c) {
    const std::string tv = TVName(row);
    const std::string wide = row.Aspect == A::Wide ? "_16_9" : "";
    const std::string rate = row.Rate == R::CBR ? "CBR   " : "VBR   ";
    const char* audio = row.Audio == Au::AC3    ? "$$WS_Audio_DolbyDigital"
                        : row.Audio == Au::LPCM ? "$$WS_Audio_LinearPCM"
                                                : "$$WS_Audio_MPEG1LayerII";
    std::string header, fileInfo, recordTime, tvPart;
    switch (row.Family) {
    case F::DVD:
    case F::DVDFilm:
        c.Text = "$$DVD_" + tv;
        c.WizardCategoryName = (row.Family == F::DVD ? "$$DVD\\$$" : "$$DVD_ForFilm\\$$") + tv + wide;
        c.WizardCaption = "$$WC_DVD_" + tv + (row.Aspect == A::Wide ? "_16_9" : "_4_3");
        header = "$$WD_Header_DVD";
        fileInfo = "$$WD_FileInfo_DVD";
        recordTime = row.Audio == Au::AC3    ? "$$WD_RecTime_DVD_AC3_max"
                     : row.Audio == Au::LPCM ? "$$WD_RecTime_DVD_LPCM_max"
                                             : "$$WD_RecTime_DVD_MPA_max";
        break;
    case F::SVCD:
        c.Text = "$$SVCD_" + tv;
        c.WizardCategoryName = "$$SVCD\\$$" + tv;
        c.WizardCaption = "$$WC_SVCD_" + tv;
        header = "$$WD_Header_SVCD";
        fileInfo = "$$WD_FileInfo_SVCD";
        recordTime = "$$WD_RecTime_SVCD_max";
        break;
    case F::VCD:
        c.Text = "$$VCD_" + tv;
        c.WizardCategoryName = "$$VCD\\$$" + tv;
        c.WizardCaption = "$$WC_VCD_" + tv;
        header = "$$WD_Header_VCD";
        fileInfo = "$$WD_FileInfo_VCD";
        recordTime = "$$WD_RecTime_VCD_74min";
        break;
    }
    c.WizardSubFormatName = rate + audio;
    if (row.Family == F::DVDFilm)
        tvPart = "$$WD_Inv32Pulldown\r\n";
    else if (row.Family == F::SVCD && row.TV == T::NTSCFilm)
        tvPart = "$$WD_Filmmode\r\n";
    tvPart += IsNTSC(row) ? "$$WD_TVSystem_NTSC" : "$$WD_TVSystem_PAL";
    std::string description = header + "\r\n\r\n" + fileInfo + "\r\n\r\n" + tvPart + "\r\n\r\n" + recordTime;
    if (row.Rate == R::VBR)
        description += "\r\n\r\n$$WD_2passVBR";
    if (!IsDVD(row))
        description += "\r\n\r\n$$WD_DVDWarningVCD";
    c.WizardDescription = description;
}

void SetCommon(TMPEGConfig& c) {
    TMPEGVideoConfig& v = c.Video;
    v.YUVFormat = 1;
    v.GOP_SeqHeaderInterval = 1;
    v.GOP_I_FrameCount = 1;
    v.GOP_B_FrameCount = 2;
    v.GOP_BitStreamForEdit = false;
    v.VBR_MultipassVBRAlgorithm = MPEGVideoEncoder_MultipassVBRAlgorithm_MultipassCQ;
    v.VBR_MaxPassCount = 2;
    v.VBR_Quality_B = v.MVBR_Quality_B = v.CQ_Quality_B = 20.0;
    v.VBR_Quality_P = v.MVBR_Quality_P = v.CQ_Quality_P = 0.0;
    v.AVBR_Quality = 50.0;
    v.Profile = 4;
    v.Level = 8;
    v.DisplayWidth = v.DisplayHeight = 0;
    v.MotionSearch_AlwaysHalfPel = false;
    v.UseFloatDCT = false;
    v.QuantizeMode = false;
    v.QuantizeModeVal_Intra = v.QuantizeModeVal_NonIntra = 35;
    v.YUVBasicYCbCr = false;
    v.StreamType_ReadOnly = v.Width_ReadOnly = v.Height_ReadOnly = v.YUVFormat_ReadOnly = true;
    v.FrameRate_ReadOnly = v.AspectRatio_ReadOnly = v.VBVBufferSize_ReadOnly = v.GOP_SeqHeaderInterval_ReadOnly = true;
    c.Audio.ChannelMode = MPEGAudio_ChannelMode_Stereo;
    c.Audio.CantUseMono = true;
    c.Audio.StreamType_ReadOnly = c.Audio.SamplingFrequency_ReadOnly = true;
    c.System.EnableCommentText = false;
    c.System.StreamType_ReadOnly = true;
}

void SetPicture(const TTemplateRow& row, TMPEGVideoConfig& v) {
    const bool ntsc = IsNTSC(row);
    switch (row.Family) {
    case F::DVD:
    case F::DVDFilm:
        v.StreamType = MPEGVideoEncoder_StreamType_MPEG2;
        v.Width = 720;
        v.Height = ntsc ? 480 : 576;
        v.AspectRatio = row.Aspect == A::Wide ? 3 : 2;
        v.VideoEncodeMode = row.Family == F::DVD ? MPEGVideoEncoder_VideoEncodeMode_Interlace
                                                 : MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown;
        break;
    case F::SVCD:
        v.StreamType = MPEGVideoEncoder_StreamType_MPEG2;
        v.Width = 480;
        v.Height = ntsc ? 480 : 576;
        v.AspectRatio = 2;
        v.VideoEncodeMode = row.TV == T::NTSCFilm ? MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown
                                                  : MPEGVideoEncoder_VideoEncodeMode_Interlace;
        v.VideoEncodeMode_ReadOnly = row.TV == T::NTSCFilm;
        break;
    case F::VCD:
        v.StreamType = MPEGVideoEncoder_StreamType_MPEG1;
        v.Width = 352;
        v.Height = ntsc ? 240 : 288;
        v.AspectRatio = ntsc ? 12 : 8;
        v.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive;
        break;
    }
    v.FrameRate = row.TV == T::PAL ? 3 : row.TV == T::NTSCFilm ? 1 : 4;
    v.VideoFormat = ntsc ? 2 : 1;
    v.DC_prec = IsDVD(row) ? 1 : 0;
    v.DC_prec_ReadOnly = !IsDVD(row);
    v.Profile_ReadOnly = v.Level_ReadOnly = v.VideoFormat_ReadOnly = row.Family != F::VCD;
    v.DisplayWidth_ReadOnly = v.DisplayHeight_ReadOnly = row.Family == F::SVCD;
}

struct TRates {
    int32_t Average, Maximum, VBRMinimum, Minimum, MinAverage, BlockMinimum;
};

TRates RatesOf(const TTemplateRow& row) {
    const bool ntsc = IsNTSC(row), wide = row.Aspect == A::Wide, cbr = row.Rate == R::CBR;
    switch (row.Family) {
    case F::DVD:
    case F::DVDFilm: {
        const int32_t maximum = row.Audio == Au::AC3 ? 9100000 : 8000000;
        const int32_t vbrMinimum = (ntsc && cbr && row.Audio != Au::AC3) ? 1000000 : 0;
        const int32_t minimum = (row.Family == F::DVD && !ntsc && wide) ? 1000000 : 0;
        int32_t minAverage = 3000000;
        if (!wide && row.Family == F::DVDFilm)
            minAverage = 2000000;
        else if (!wide)
            minAverage = row.Audio == Au::LPCM ? 1800000 : 750000;
        return {4000000, maximum, vbrMinimum, minimum, minAverage, 1000000};
    }
    case F::SVCD:
        return {cbr ? 2520000 : 1600000, 2520000, 300000, 300000, 1600000, 300000};
    case F::VCD:
        break;
    }
    return {1150000, 3000000, 0, 0, 0, 0};
}

void SetRates(const TTemplateRow& row, TMPEGVideoConfig& v) {
    const TRates r = RatesOf(row);
    const bool vcd = row.Family == F::VCD;
    v.RateControlMode = row.Rate == R::CBR ? MPEGVideoEncoder_RateControlMode_CBR : MPEGVideoEncoder_RateControlMode_VBR_2PASS;
    v.RateControlMode_ReadOnly = vcd;
    v.CBR_BitRate = v.VBR_AvgBitRate = r.Average;
    v.VBR_MaxBitRate = vcd ? 1150000 : r.Maximum;
    v.MaxBitRate = vcd ? 0 : r.Maximum;
    v.MVBR_MaxBitRate = v.AVBR_MaxBitRate = v.CQ_MaxBitRate = r.Maximum;
    v.VBR_MinBitRate = r.VBRMinimum;
    v.MinBitRate = r.Minimum;
    v.MinAvgBitRate = r.MinAverage;
    v.MVBR_MinBitRate = v.AVBR_MinBitRate = v.CQ_MinBitRate = r.BlockMinimum;
    v.CQ_Quality = vcd ? 50.0 : 65.0;
    v.VBR_EnablePadding = v.MVBR_EnablePadding = v.AVBR_EnablePadding = v.CQ_EnablePadding = !vcd;
    v.MotionSearchSpeed = (IsDVD(row) || (row.Family == F::SVCD && row.Rate == R::CBR))
                              ? MPEGVideoEncoder_MotionSearchSpeed_MotionEstimate
                              : MPEGVideoEncoder_MotionSearchSpeed_Normal;
}

void SetGOP(const TTemplateRow& row, TMPEGVideoConfig& v) {
    switch (row.Family) {
    case F::DVD:
    case F::DVDFilm:
        v.VBVBufferSize = 229376;
        v.GOP_P_FrameCount = IsNTSC(row) ? 5 : 4;
        v.GOP_MaxFrameCount = IsNTSC(row) ? 18 : 15;
        break;
    case F::SVCD:
        v.VBVBufferSize = 114688;
        v.GOP_P_FrameCount = row.Rate == R::CBR ? 5 : 10;
        v.GOP_MaxFrameCount = 0;
        break;
    case F::VCD:
        v.VBVBufferSize = 40960;
        v.GOP_P_FrameCount = 5;
        v.GOP_MaxFrameCount = 0;
        break;
    }
    v.GOP_I_FrameCount_ReadOnly = v.GOP_P_FrameCount_ReadOnly = v.GOP_B_FrameCount_ReadOnly = IsDVD(row);
    v.GOP_MaxFrameCount_ReadOnly = IsDVD(row);
}

void SetAudioAndOutput(const TTemplateRow& row, TMPEGConfig& c) {
    TMPEGAudioConfig& a = c.Audio;
    if (IsDVD(row)) {
        a.SamplingFrequency = 48000;
        a.StreamType = row.Audio == Au::AC3    ? MPEGAudioEncoder_StreamType_Dolby_AC3
                       : row.Audio == Au::LPCM ? MPEGAudioEncoder_StreamType_LinearPCM
                                               : MPEGAudioEncoder_StreamType_MPEG1_Layer2;
        a.BitRate = row.Audio == Au::AC3 ? 128000 : row.Audio == Au::LPCM ? 1536000 : 384000;
        a.BitRate_ReadOnly = row.Audio == Au::LPCM;
        a.ChannelMode_ReadOnly = row.Audio == Au::LPCM && std::string(row.FileName) != kFreeChannelModeTemplate;
        a.CalcCRC = a.CalcCRC_ReadOnly = true;
        c.OutputStreamType = row.Audio == Au::MPA ? MPEG_OutputStreamType_System_VideoAudio : MPEG_OutputStreamType_VideoAudio;
        c.OutputStreamType_ReadOnly = row.Audio != Au::MPA;
        c.System.StreamType = MPEGSystemEncoder_StreamType_MPEG2_Program;
        c.WizardTargetMedia = MPEGConfig_TargetMediaType_DVD_47GB;
    } else {
        a.StreamType = MPEGAudioEncoder_StreamType_MPEG1_Layer2;
        a.SamplingFrequency = 44100;
        a.BitRate = 224000;
        a.BitRate_ReadOnly = true;
        a.CalcCRC = a.CalcCRC_ReadOnly = row.Family == F::SVCD;
        c.OutputStreamType = MPEG_OutputStreamType_System_VideoAudio;
        c.OutputStreamType_ReadOnly = true;
        c.System.StreamType = row.Family == F::SVCD ? MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR
                                                    : MPEGSystemEncoder_StreamType_MPEG1_VideoCD;
        c.WizardTargetMedia = MPEGConfig_TargetMediaType_CD_74min;
    }
    c.WizardAutoCalcVideoBitRate = row.Family != F::VCD;
}

void AddSize(TMPEGConfig& c, int32_t threshold, int32_t width, int32_t height, TMPEGVideoEncoder_VideoEncodeMode mode,
             int32_t frameRate) {
    auto& item = c.WizardAutoChooseList.VideoSize.Add();
    item.MinVideoBitRate = threshold;
    item.Width = width;
    item.Height = height;
    item.VideoEncodeMode = mode;
    item.FrameRate = frameRate;
    item.AspectRatio = 2;
}

void SetAutoChoices(const TTemplateRow& row, TMPEGConfig& c) {
    auto& choices = c.WizardAutoChooseList;
    if (row.Family == F::DVD && row.Aspect == A::Normal) {
        const bool ntsc = IsNTSC(row);
        const int32_t rate = ntsc ? 4 : 3;
        AddSize(c, 0, 352, ntsc ? 240 : 288, MPEGVideoEncoder_VideoEncodeMode_Progressive, rate);
        AddSize(c, 2000000, 352, ntsc ? 480 : 576, MPEGVideoEncoder_VideoEncodeMode_Interlace, rate);
        AddSize(c, 4000000, 720, ntsc ? 480 : 576, MPEGVideoEncoder_VideoEncodeMode_Interlace, rate);
        choices.EnableVideoSize = true;
    } else if (row.Family == F::DVDFilm && row.Aspect == A::Normal) {
        AddSize(c, 0, 352, 480, MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown, 4);
        AddSize(c, 4000000, 720, 480, MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown, 4);
        choices.EnableVideoSize = true;
    } else if (row.Family == F::SVCD) {
        constexpr int32_t kGOPs[][2] = {{0, 10}, {2000000, 9}, {2100000, 8}, {2200000, 7}, {2300000, 6}, {2400000, 5}};
        for (const auto& gop : kGOPs) {
            auto& item = choices.VideoGOP.Add();
            item.MinVideoBitRate = gop[0];
            item.GOP_I_FrameCount = 1;
            item.GOP_P_FrameCount = gop[1];
            item.GOP_B_FrameCount = 2;
        }
        choices.EnableVideoGOP = true;
    }
}

} // namespace

void BuildWizardTemplates(TMPEGConfigList& list, bool withAC3) {
    list.Clear();
    for (const TTemplateRow& row : kTemplates) {
        if (row.Audio == Au::AC3 && !withAC3)
            continue;
        TMPEGConfigListItem& item = list.Add();
        item.FileName = row.FileName;
        TMPEGConfig& c = item.MPEGConfig;
        SetCommon(c);
        SetTexts(row, c);
        SetPicture(row, c.Video);
        SetRates(row, c.Video);
        SetGOP(row, c.Video);
        SetAudioAndOutput(row, c);
        SetAutoChoices(row, c);
    }
}

} // namespace quillset
