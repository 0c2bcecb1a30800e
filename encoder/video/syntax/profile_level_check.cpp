#include "encoder/video/syntax/profile_level_check.h"

#include "encoder/framework/mpeg_errors.h"
#include "encoder/video/mpeg2_profile_level.h"
#include "encoder/video/syntax/sequence_syntax.h"

namespace quillset {

namespace {

// The profiles that allow 4:2:2 sampling and 11-bit intra DC precision.
bool IsHighOr422(int32_t profile) {
    return profile == MPEG2Profile_High || profile == MPEG2Profile_422;
}

} // namespace

void CheckMPEG2ProfileAndLevel(const TMPEGVideoEncoder_EncodeConfig& config, int32_t frameRateCode,
                               int32_t& vbvBufferSize, bool vbvAutomatic) {
    const TMPEG2ProfileLevelLimits* limits = FindMPEG2ProfileLevel(config.Profile, config.Level);
    if (limits == nullptr)
        throw EMPEGVideoEncoderError(MPEGError_ProfileLevelNotSupported);
    if (config.YUVFormat != 1 && !IsHighOr422(config.Profile))
        throw EMPEGVideoEncoderError(MPEGError_ProfileNeeds420);
    if (config.DC_prec == 3 && !IsHighOr422(config.Profile))
        throw EMPEGVideoEncoderError(MPEGError_DCPrecision11NeedsHigh);
    const double rate = NominalFrameRate(frameRateCode);
    if (rate > 30.0 && NominalFrameRate(limits->MaxFrameRateCode) <= 30.0)
        throw EMPEGVideoEncoderError(MPEGError_LevelFrameRate);
    if (config.Width > limits->MaxWidth || config.Height > limits->MaxHeight)
        throw EMPEGVideoEncoderError(MPEGError_LevelWindowSize);
    const bool progressive = config.VideoEncodeMode == MPEGVideoEncoder_VideoEncodeMode_Progressive;
    const int64_t paddedWidth = (config.Width + 15) / 16 * 16;
    const int64_t paddedHeight = progressive ? (config.Height + 15) / 16 * 16 : (config.Height + 31) / 32 * 32;
    if (static_cast<double>(paddedWidth * paddedHeight) * rate > static_cast<double>(limits->MaxSampleRate))
        throw EMPEGVideoEncoderError(MPEGError_LevelSamplingRate);
    if (config.MaxBitRate > limits->MaxBitRate)
        throw EMPEGVideoEncoderError(MPEGError_LevelBitrate, config.MaxBitRate / 1000);
    if (vbvBufferSize > limits->VBVBufferSize) {
        if (!vbvAutomatic)
            throw EMPEGVideoEncoderError(MPEGError_LevelVBVBufferSize);
        vbvBufferSize = limits->VBVBufferSize;
    }
}

} // namespace quillset
