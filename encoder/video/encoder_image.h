// The records the video encoder exchanges with its caller per picture: the pushed picture with
// its per-picture options (TMPEGVideoEncoder_Image) and the report of one coded picture
// (TMPEGVideoEncoder_PictureReport).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "encoder/framework/yuv_image.h"

namespace quillset {

struct TColorConversionTable;

// The tag that marks a pushed picture as a ready YUV image (Image.Tag).
inline constexpr uint32_t kMPEGVideoEncoder_YUVImageTag = 0xED15A798;

// One pushed picture. Either Tag is kMPEGVideoEncoder_YUVImageTag and YUVImage points to a ready
// picture in the encoder's format (the encoder takes a reference of its own with CreateShared; the
// caller keeps its image), or Picture describes an outside picture (packed RGB or YUV, or planar
// YUV) that is converted into a pool image with ColorConversion, or with the encoder's tables
// when ColorConversion is null.
struct TMPEGVideoEncoder_Image {
    uint32_t Tag = 0;
    TMPEGVideo_YUVImage* YUVImage = nullptr; // with the tag; null raises "Illegal picture"
    TMPEGVideo_PictureDesc Picture;          // without the tag
    const TColorConversionTable* ColorConversion = nullptr;

    // The rate at which the source delivers pictures; 0 = the coded picture rate. A slower
    // source yields repeated pictures, a faster one dropped pictures.
    long double SourceRate = 0;

    uint8_t ForcePictureType = 0;
    uint8_t PictureType = 0; // 0 = I, 1 = P, 2 = B
    // With a forced P or B: the picture repeats its reference and is coded with zero motion and
    // no residual.
    uint8_t IsRepeat = 0;
    double PictureWeight = 0.0; // bit weight of the picture; 0 or less = 1.0

    // Closes the current batch here and restarts the GOP counters.
    uint8_t SegmentStart = 0;
    // Variable bit rate with manual segments only: the segment settings below apply from here.
    uint8_t SegmentRateChange = 0;
    uint8_t SegmentMode = 0; // 0 = target bit rate, 4 = constant quality
    double SegmentBitRate = 0.0;
    double SegmentQuality = 0.0; // 0..100
    uint8_t SegmentHasFactors = 0;
    double SegmentFactorP = 0.0;
    double SegmentFactorB = 0.0;
    uint8_t SegmentHasMinRate = 0;
    int32_t SegmentMinRate = 0;

    // The two matrices (raster order) apply from this picture on.
    uint8_t HasMatrices = 0;
    std::array<uint8_t, 64> IntraMatrix{};
    std::array<uint8_t, 64> NonIntraMatrix{};
    uint8_t HasChromaMatrices = 0; // carried, not read
    std::array<uint8_t, 64> ChromaIntraMatrix{};
    std::array<uint8_t, 64> ChromaNonIntraMatrix{};

    // Sticky overrides of the motion-search class index and of its option (default 2).
    uint8_t HasMotionSearchMode = 0;
    uint8_t MotionSearchMode = 0;
    uint8_t HasMotionSearchOption = 0;
    uint8_t MotionSearchOption = 0;

    // Written as picture user data after this picture's header.
    std::vector<uint8_t> UserData;
};

// Reported to the picture hook after each coded picture.
struct TMPEGVideoEncoder_PictureReport {
    int64_t DisplayNumber = 0;
    int64_t CodedNumber = 0;
    long double Time = 0;     // seconds from the start of the stream
    int64_t FieldsBefore = 0;
    uint8_t PictureType = 0;  // 0 = I, 1 = P, 2 = B
    uint8_t ProgressiveFrame = 0;
    uint8_t TopFieldFirst = 0;
    uint8_t RepeatFirstField = 0;
    int32_t TargetBits = 0;
    int32_t PictureBits = 0;  // the picture data after the picture header
    int32_t TotalBits = 0;    // headers included
    int32_t VBVBufferSize = 0;
    int32_t VBVFullness = 0;  // bytes
};

} // namespace quillset
