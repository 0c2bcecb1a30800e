#include "encoder/video/encoder_settings.h"

#include <algorithm>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/video/quant_matrix.h"
#include "encoder/video/rate_control/bit_rate_setup.h"
#include "encoder/video/syntax/profile_level_check.h"

namespace quillset {

long double FrameRateOfCode(int32_t code) {
    switch (code) {
    case 1:
        return 24000.0L / 1001.0L;
    case 2:
        return 24.0L;
    case 3:
        return 25.0L;
    case 4:
        return 30000.0L / 1001.0L;
    case 5:
        return 30.0L;
    case 6:
        return 50.0L;
    case 7:
        return 60000.0L / 1001.0L;
    case 8:
        return 60.0L;
    default:
        return 0.0L;
    }
}

namespace {

void Fail(uint32_t code) { throw EMPEGVideoEncoderError(code); }

bool IsMultipleOf8InRange(int32_t value) { return value >= 8 && value <= 4088 && value % 8 == 0; }

void CheckFeatureSwitches(const TMPEGVideoEncoder_EncodeConfig& c) {
    if (c.HalfPelOptimization)
        Fail(MPEGError_NoHalfPelOptimization);
    if (c.ChromaLowPass)
        Fail(MPEGError_NoChromaLowPass);
}

void CheckPictureFormat(TMPEGVideoEncoder_Settings& s) {
    TMPEGVideoEncoder_EncodeConfig& c = s.Config;
    s.MPEG2 = c.StreamType == MPEGVideoEncoder_StreamType_MPEG2;
    if ((c.YUVFormat != 1 && c.YUVFormat != 2) || (!s.MPEG2 && c.YUVFormat != 1))
        Fail(MPEGError_YUVFormatMPEG1);
    s.ChromaDivisorX = 2;
    s.ChromaDivisorY = c.YUVFormat == 1 ? 2 : 1;
    if (c.UseChromaMatrices)
        Fail(MPEGError_NoChromaQuantMatrix);
    if (!IsMultipleOf8InRange(c.Width) || !IsMultipleOf8InRange(c.Height))
        Fail(MPEGError_IllegalResolution);
    if (c.DisplayWidth <= 0)
        c.DisplayWidth = c.Width;
    if (c.DisplayHeight <= 0)
        c.DisplayHeight = c.Height;
    if (c.AspectRatio < 1 || c.AspectRatio > 14 || (s.MPEG2 && c.AspectRatio > 4))
        Fail(MPEGError_InvalidAspectRatio);
    if (s.MPEG2 && (c.VideoFormat < 0 || c.VideoFormat > 5))
        Fail(MPEGError_IllegalVideoFormat);
    if (!s.MPEG2 && c.ExtendedDCPrecision)
        c.DC_prec = 3;
    if (c.DC_prec < 0 || c.DC_prec > 3 || (!s.MPEG2 && c.DC_prec != 0 && !c.ExtendedDCPrecision))
        Fail(MPEGError_InvalidDCPrecision);
}

void DeriveFrameRate(TMPEGVideoEncoder_Settings& s) {
    const int32_t value = s.Config.FrameRate;
    const int32_t code = value & 0xFFFF;
    int32_t divisor = 1;
    if (value < 1 || code < 1 || code > 8 || (value > 8 && value < 0x10000))
        Fail(MPEGError_InvalidFrameRate);
    if (value >= 0x10000)
        divisor = std::max(value >> 16, 1);
    s.SourceFrameRateCode = code;
    s.FrameRateCode = code;
    s.FrameRateDivisor = divisor;
    s.RepeatCount = divisor - 1;
    s.PictureRate = FrameRateOfCode(code) / divisor;
}

void DeriveGOPShape(TMPEGVideoEncoder_Settings& s) {
    const TMPEGVideoEncoder_EncodeConfig& c = s.Config;
    int32_t i = std::max(c.GOP_I_FrameCount, 1);
    int32_t p = std::max(c.GOP_P_FrameCount, 0);
    int32_t b = std::max(c.GOP_B_FrameCount, 0);
    if (p == 0 || s.RepeatCount > 0)
        b = 0;
    s.ClosedGOP = c.GOP_BitStreamForEdit != 0;
    int32_t maxLength = std::min(std::max(c.GOP_MaxFrameCount, 0), 1020);
    if (maxLength == 0)
        maxLength = 1020;
    // One I period with the B pictures an open GOP shows before its I must fit the maximum.
    const auto periodLength = [&] {
        return int64_t{p} * (b + 1) + 1 + (!s.ClosedGOP && b > 0 ? b : 0);
    };
    while (periodLength() > maxLength) {
        if (p > 1)
            --p;
        else if (b > 0)
            --b;
        else
            p = b = 0;
    }
    s.GOPICount = i;
    s.GOPPCount = p;
    s.GOPBCount = b;
    s.MaxGOPLength = maxLength;
    int64_t length = (int64_t{p} * (b + 1) + 1) * i;
    if (!s.ClosedGOP && b > 0)
        length += int64_t{b} * i;
    s.GOPLength = static_cast<int32_t>(std::clamp<int64_t>(length, 7, 0x3FFFFFFF));
}

void DeriveCodingStructure(TMPEGVideoEncoder_Settings& s) {
    const uint8_t mode = s.Config.VideoEncodeMode;
    if (!s.MPEG2 && mode != MPEGVideoEncoder_VideoEncodeMode_Progressive)
        Fail(MPEGError_InterlaceMPEG1);
    if (mode > MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown)
        Fail(MPEGError_IllegalVideoFormat);
    s.InterlacedCoding = IsInterlacedCodingMode(mode);
    s.ProgressiveSequence = mode == MPEGVideoEncoder_VideoEncodeMode_Progressive;
    if (mode == MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown) {
        if (s.SourceFrameRateCode != 1 && s.SourceFrameRateCode != 2)
            Fail(MPEGError_PulldownFrameRate);
        s.FrameRateCode = s.SourceFrameRateCode + 3; // 23.976 -> 29.97, 24 -> 30
    }
    if (mode == MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown && s.SourceFrameRateCode != 4 &&
        s.SourceFrameRateCode != 5)
        Fail(MPEGError_InversePulldownFrameRate);
    s.NominalRate = FrameRateOfCode(s.FrameRateCode);
    s.FrameTimeRate = s.NominalRate / s.FrameRateDivisor;
}

void DeriveGrid(TMPEGVideoEncoder_Settings& s) {
    const TMPEGVideoEncoder_EncodeConfig& c = s.Config;
    s.MBWidth = (c.Width + 15) / 16;
    s.MBHeight = s.ProgressiveSequence ? (c.Height + 15) / 16 : 2 * ((c.Height + 31) / 32);
    s.MacroblockCount = s.MBWidth * s.MBHeight;
    s.PaddedWidth = 16 * s.MBWidth;
    s.PaddedHeight = 16 * s.MBHeight;
    s.BlocksPerMacroblock = 4 + 8 / (s.ChromaDivisorX * s.ChromaDivisorY);
}

// ISO/IEC 11172-2, 2.4.3.2: the bounds of constrained-parameter streams.
bool MeetsConstrainedParameters(const TMPEGVideoEncoder_Settings& s) {
    const TMPEGVideoEncoder_EncodeConfig& c = s.Config;
    const int64_t macroblocks = int64_t{(c.Width + 15) / 16} * ((c.Height + 15) / 16);
    const bool constantRate = c.RateControlMode == MPEGVideoEncoder_RateControlMode_CBR ||
                              c.RateControlMode == MPEGVideoEncoder_RateControlMode_Realtime_CBR;
    return c.Width <= 768 && c.Height <= 576 && macroblocks <= 396 &&
           static_cast<long double>(macroblocks) * s.PictureRate <= 9900 && s.PictureRate <= 30 && constantRate &&
           s.VBVBufferSize <= 40960 && c.AvgBitRate <= 1856000;
}

} // namespace

TMPEGVideoEncoder_Settings ValidateVideoEncodeConfig(const TMPEGVideoEncoder_EncodeConfig& config) {
    TMPEGVideoEncoder_Settings s;
    s.Config = config;
    CheckFeatureSwitches(s.Config);
    CheckPictureFormat(s);
    DeriveFrameRate(s);
    DeriveGOPShape(s);
    DeriveCodingStructure(s);

    PrepareBitRates(s.Config, s.MPEG2, s.PictureRate, s.InitialQuality);
    s.VBVBufferSize = ChooseVBVBufferSize(s.Config, s.MPEG2, s.PictureRate, s.VBVSizeAutomatic);
    DeriveGrid(s);
    if (s.MPEG2)
        CheckMPEG2ProfileAndLevel(s.Config, s.FrameRateCode, s.VBVBufferSize, s.VBVSizeAutomatic);
    s.Config.VBVBufferSize = s.VBVBufferSize;

    s.ConstrainedParameters = !s.MPEG2 && MeetsConstrainedParameters(s);
    s.Config.AnalyzeThreadCount = std::clamp(s.Config.AnalyzeThreadCount, 0, 2);
    // Multipass variable bit rate makes exactly one analysis pass before the encoding pass.
    if (s.Config.RateControlMode == MPEGVideoEncoder_RateControlMode_VBR_2PASS)
        s.Config.MaxPassCount = 2;
    if (s.Config.RateControlAlgorithm != 0)
        Fail(MPEGError_InvalidRateControl);

    NormalizeQuantMatrix(s.Config.QuantizeMatrix_Intra, true);
    NormalizeQuantMatrix(s.Config.QuantizeMatrix_NonIntra, false);
    return s;
}

} // namespace quillset
