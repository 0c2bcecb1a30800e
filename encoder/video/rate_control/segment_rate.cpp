#include "encoder/video/rate_control/segment_rate.h"

#include <algorithm>

#include "encoder/video/encoder_image.h"
#include "encoder/video/video_encode_config.h"

namespace quillset {

TMPEGVideoEncoder_SegmentRate InitialSegmentRate(const TMPEGVideoEncoder_EncodeConfig& config) {
    TMPEGVideoEncoder_SegmentRate segment;
    segment.Mode = config.RateControlMode;
    if (config.RateControlMode == MPEGVideoEncoder_RateControlMode_VBR_2PASS)
        segment.Mode = SegmentMode_TargetBitRate;
    segment.MaxBitRate = config.MaxBitRate;
    segment.MinBitRate = config.MinBitRate;
    segment.TargetBitRate = config.AvgBitRate;
    segment.Quality = config.Quality;
    segment.FactorP = config.QualityFactorP;
    segment.FactorB = config.QualityFactorB;
    return segment;
}

TMPEGVideoEncoder_SegmentRate SegmentRateFromPicture(const TMPEGVideoEncoder_EncodeConfig& config,
                                                     const TMPEGVideoEncoder_Image& picture) {
    TMPEGVideoEncoder_SegmentRate segment = InitialSegmentRate(config);
    if (picture.SegmentMode == SegmentMode_ConstantQuality) {
        segment.Mode = SegmentMode_ConstantQuality;
        segment.Quality = std::clamp(picture.SegmentQuality, 0.0, 100.0);
        if (picture.SegmentHasFactors) {
            segment.FactorP = picture.SegmentFactorP;
            segment.FactorB = picture.SegmentFactorB;
        }
    } else {
        segment.Mode = SegmentMode_TargetBitRate;
        const double low = std::max(config.MinBitRate, 1024);
        const double high = std::max(config.MaxBitRate, 1024);
        segment.TargetBitRate = static_cast<int32_t>(std::clamp(picture.SegmentBitRate, low, std::max(low, high)));
    }
    if (picture.SegmentHasMinRate)
        segment.MinBitRate = std::clamp(picture.SegmentMinRate, config.MinBitRate, std::max(config.MinBitRate, config.MaxBitRate));
    return segment;
}

} // namespace quillset
