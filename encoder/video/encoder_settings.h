// The checked and derived settings of a video encoder: its configuration record after
// validation and clamping, and every value derived from it once at creation (picture rates,
// coding structure, macroblock grid, GOP shape, VBV size).
#pragma once

#include <cstdint>

#include "encoder/video/video_encode_config.h"

namespace quillset {

// The picture rate of frame_rate_code 1..8 (ISO/IEC 13818-2, Table 6-4); 0 for other codes.
long double FrameRateOfCode(int32_t code);

struct TMPEGVideoEncoder_Settings {
    // The effective configuration: defaults filled in, counts and rates clamped and prepared.
    TMPEGVideoEncoder_EncodeConfig Config;

    bool MPEG2 = false;
    int32_t ChromaDivisorX = 2; // horizontal chroma subsampling
    int32_t ChromaDivisorY = 2; // vertical: 2 for 4:2:0, 1 for 4:2:2

    // Frame rate: the code as configured, the code written in the sequence header (the
    // pulled-down rate for Progressive_32Pulldown), the divisor m and its repeat count m - 1.
    int32_t SourceFrameRateCode = 0;
    int32_t FrameRateCode = 0;
    int32_t FrameRateDivisor = 1;
    int32_t RepeatCount = 0;
    long double PictureRate = 0;  // pictures coded per second (source rate for 3:2 pulldown)
    long double NominalRate = 0;  // the rate of FrameRateCode
    // Frames per second of display time: NominalRate / divisor. Durations in frames (field
    // totals / 2) are converted to seconds with it, which also holds with 3:2 pulldown.
    long double FrameTimeRate = 0;

    // GOP shape after the length rules: I periods per GOP, P pictures per period, B pictures
    // between references, the maximum length in frames and the GOP length in pictures.
    int32_t GOPICount = 1;
    int32_t GOPPCount = 0;
    int32_t GOPBCount = 0;
    int32_t MaxGOPLength = 1020;
    int32_t GOPLength = 7;
    bool ClosedGOP = false;

    bool InterlacedCoding = false;    // Interlace or Auto_Inv32Pulldown
    bool ProgressiveSequence = false; // Progressive
    bool ConstrainedParameters = false;

    // Macroblock grid and padded picture size.
    int32_t MBWidth = 0;
    int32_t MBHeight = 0;
    int32_t MacroblockCount = 0;
    int32_t PaddedWidth = 0;
    int32_t PaddedHeight = 0;
    int32_t BlocksPerMacroblock = 6;

    int32_t VBVBufferSize = 0;      // bytes
    bool VBVSizeAutomatic = false;  // chosen by the encoder (may be lowered to a level's limit)
    double InitialQuality = 0.0;    // multipass constant-quality estimate
};

// Runs the configuration checks in their fixed order and derives the settings; raises
// EMPEGVideoEncoderError with the code of the first failing check.
TMPEGVideoEncoder_Settings ValidateVideoEncodeConfig(const TMPEGVideoEncoder_EncodeConfig& config);

} // namespace quillset
