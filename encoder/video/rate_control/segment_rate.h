// The rate-control settings of a segment of pictures: how a batch's bits are allocated (to a
// target bit rate, by a quality budget, or at constant quality) and within which limits.
#pragma once

#include <cstdint>

namespace quillset {

// TMPEGVideoEncoder_SegmentRate::Mode.
enum : int32_t {
    SegmentMode_CBR = 0,
    SegmentMode_TargetBitRate = 2,
    SegmentMode_QualityBudget = 3,
    SegmentMode_ConstantQuality = 4,
    SegmentMode_RealtimeCBR = 5,
    SegmentMode_RealtimeCQ = 6,
};

// The segment record a batch carries (48 bytes, also the layout of the multipass statistics).
struct TMPEGVideoEncoder_SegmentRate {
    int32_t Mode = 0;           // SegmentMode_*
    int32_t MaxBitRate = 0;     // bits per second
    int32_t MinBitRate = 0;
    int32_t TargetBitRate = 0;
    double Quality = 0.0;       // 0..100
    double FactorP = 1.0;       // quality factor of P pictures: 1 / (1 + Quality_P / 100)
    double FactorB = 1.0;
    uint8_t LogQuality = 0;         // log the constant-quality correction of each batch
    uint8_t ActivityAdjust = 0;     // constant quality adapts to macroblock activity
    uint8_t RecordQualityStats = 0; // multipass analysis: code at the initial quality estimate
    uint8_t CorrectQuality = 0;     // multipass final pass: steer the quality toward RequiredBitRate
    int32_t RequiredBitRate = 0;

    // True for the modes whose batches are coded at constant quality.
    bool IsConstantQuality() const {
        return Mode == SegmentMode_ConstantQuality || Mode == SegmentMode_RealtimeCQ;
    }
};

static_assert(sizeof(TMPEGVideoEncoder_SegmentRate) == 48);

struct TMPEGVideoEncoder_EncodeConfig;
struct TMPEGVideoEncoder_Image;

// The segment a pass starts with: the configured mode, rates (target = average), quality and
// factors, no flags. Multipass VBR, which has no analysis pass yet, is coded to its average rate.
TMPEGVideoEncoder_SegmentRate InitialSegmentRate(const TMPEGVideoEncoder_EncodeConfig& config);

// The segment that a picture's segment settings start (manual VBR segments): a target bit rate
// within [max(minimum, 1024), max(maximum, 1024)] or a constant quality 0..100 with the picture's
// or the configured P/B factors; the configured maximum and minimum, or the picture's minimum
// limited to the configured range.
TMPEGVideoEncoder_SegmentRate SegmentRateFromPicture(const TMPEGVideoEncoder_EncodeConfig& config,
                                                     const TMPEGVideoEncoder_Image& picture);

} // namespace quillset
