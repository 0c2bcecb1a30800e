#include "encoder/video/syntax/sequence_syntax.h"

#include <algorithm>
#include <cmath>

#include "encoder/video/mpeg2_profile_level.h"

namespace quillset {

double NominalFrameRate(int32_t frameRateCode) {
    switch (frameRateCode) {
    case 1:
        return 24000.0 / 1001.0;
    case 2:
        return 24.0;
    case 3:
        return 25.0;
    case 4:
        return 30000.0 / 1001.0;
    case 5:
        return 30.0;
    case 6:
        return 50.0;
    case 7:
        return 60000.0 / 1001.0;
    case 8:
        return 60.0;
    default:
        return 0.0;
    }
}

int32_t TimeCodeFrameRate(int32_t frameRateCode) {
    return static_cast<int32_t>(NominalFrameRate(frameRateCode) + 0.5);
}

namespace {

bool IsConstrained(const TMPEGVideoSequenceSyntax& sequence, double pictureRate) {
    const int64_t macroblocks = sequence.MacroblockCount();
    const bool cbr = sequence.RateControlMode == MPEGVideoEncoder_RateControlMode_CBR ||
                     sequence.RateControlMode == MPEGVideoEncoder_RateControlMode_Realtime_CBR;
    return sequence.Width <= 768 && sequence.Height <= 576 && macroblocks <= 396 &&
           static_cast<double>(macroblocks) * pictureRate <= 9900.0 && pictureRate <= 30.0 && cbr &&
           sequence.VBVBufferSize <= 40960 && sequence.AvgBitRate <= 1856000;
}

int32_t ProfileAndLevel(int32_t profile, int32_t level) {
    if (const TMPEG2ProfileLevelLimits* limits = FindMPEG2ProfileLevel(profile, level))
        return limits->ProfileAndLevelIndication;
    return ((profile & 0x7) << 4) | (level & 0xF);
}

} // namespace

TMPEGVideoSequenceSyntax MakeSequenceSyntax(const TMPEGVideoEncoder_EncodeConfig& config, int32_t vbvBufferSize) {
    TMPEGVideoSequenceSyntax s;
    s.IsMPEG2 = config.StreamType == MPEGVideoEncoder_StreamType_MPEG2;
    s.Width = config.Width;
    s.Height = config.Height;
    const uint8_t mode = config.VideoEncodeMode;
    s.ProgressiveSequence = mode == MPEGVideoEncoder_VideoEncodeMode_Progressive;
    s.InterlacedCoding = IsInterlacedCodingMode(mode);
    s.MBWidth = (config.Width + 15) / 16;
    s.MBHeight = s.ProgressiveSequence ? (config.Height + 15) / 16 : 2 * ((config.Height + 31) / 32);
    s.ChromaFormat = config.YUVFormat == 2 ? 2 : 1;
    s.BlocksPerMacroblock = s.ChromaFormat == 2 ? 8 : 6;
    s.AspectRatio = config.AspectRatio;

    const int32_t code = config.FrameRate & 0xFFFF;
    const int32_t divisor = (config.FrameRate >> 16) & 0xFFFF;
    s.FrameRateCode = code;
    if (mode == MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown)
        s.FrameRateCode = code == 1 ? 4 : 5;
    s.RepeatCount = divisor > 1 ? divisor - 1 : 0;

    s.RateControlMode = config.RateControlMode;
    s.MaxBitRate = config.MaxBitRate;
    s.AvgBitRate = config.AvgBitRate;
    s.VBVBufferSize = vbvBufferSize;
    s.ProfileAndLevelIndication = ProfileAndLevel(config.Profile, config.Level);
    s.TopFieldFirst = config.TopFieldFirst != 0;
    s.VideoFormat = config.VideoFormat;
    s.DisplayWidth = config.DisplayWidth > 0 ? config.DisplayWidth : config.Width;
    s.DisplayHeight = config.DisplayHeight > 0 ? config.DisplayHeight : config.Height;
    s.DCPrecision = config.DC_prec;
    s.CommentText = config.CommentText;
    s.SuperVideoCD = config.SuperVideoCD != 0;
    s.SeqHeaderInterval = config.GOP_SeqHeaderInterval;

    const double pictureRate = NominalFrameRate(code) / std::max(divisor, 1);
    s.ConstrainedParameters = !s.IsMPEG2 && IsConstrained(s, pictureRate);
    return s;
}

int32_t BitRateValue(const TMPEGVideoSequenceSyntax& sequence) {
    const bool cbr = sequence.RateControlMode == MPEGVideoEncoder_RateControlMode_CBR ||
                     sequence.RateControlMode == MPEGVideoEncoder_RateControlMode_Realtime_CBR;
    if (!sequence.IsMPEG2 && !cbr)
        return 0x3FFFF;
    const int64_t value = (static_cast<int64_t>(sequence.MaxBitRate) + 399) / 400;
    const int64_t limit = sequence.IsMPEG2 ? (int64_t{1} << 30) - 1 : 0x3FFFF;
    return static_cast<int32_t>(std::clamp<int64_t>(value, 1, limit));
}

} // namespace quillset
