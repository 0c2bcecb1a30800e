// Fixed tables of the configuration model: target media, colour-conversion sets, frame rates,
// default quantiser matrices and the audio bit-rate lists.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "config/model/mpeg_enums.h"
#include "encoder/kernels/color_conversion.h"

namespace quillset {

struct TMPEGConfig_TargetMediaTypeInfo {
    const char* Name;        // display name
    int64_t Capacity;        // bytes
    int64_t GaugeRange;      // scale range of the size gauge, bytes
    int32_t MinorTick;       // bytes between short ticks (0: none)
    int32_t LabelTick;       // bytes between labelled ticks (0: none)
    const char* LabelFormat; // "%dMB"
    int32_t LabelUnit;       // bytes per label unit
    const char* MediaWord;   // short word used in template texts
};

// The row of a medium; types outside the table give the Unknown row.
const TMPEGConfig_TargetMediaTypeInfo& GetTargetMediaTypeInfo(int type);

// RGB to YCbCr sets chosen by YUVBasicYCbCr: Basic is full range (ITU-R BT.601 without head- and
// footroom), Standard the studio range 16..235 / 16..240. They are the kernels' coefficient records.
using TColorConversionSet = TColorConversionCoefficients;
extern const TColorConversionSet& ColorConversion_Basic;
extern const TColorConversionSet& ColorConversion_Standard;

// Frames per second of a FrameRate value: frame_rate_code 1..8 (ISO/IEC 13818-2, Table 6-4),
// or from 65536 on the code in the low 16 bits divided further by the high 16 bits. Any other
// value reads as code 4 (30000/1001).
double GetFrameRateValue(int32_t frameRate);

// Default matrices in raster order: the intra matrix of ISO/IEC 13818-2, 6.3.11 (the video
// syntax's kDefaultIntraQuantiserMatrix itself), and the non-intra matrix that the templates use
// (16 rising to 33 toward high frequencies).
extern const std::array<uint8_t, 64>& DefaultQuantizeMatrix_Intra;
extern const std::array<uint8_t, 64> DefaultQuantizeMatrix_NonIntra;

// Bit rates in bits per second. Linear PCM: one entry, channels x frequency x 16; the other
// types: 16 entries by the header's bit-rate index, 0 where an index is not offered.
using TMPEGAudioEncoder_StreamTypeInfo_BitRateList = std::vector<int32_t>;
TMPEGAudioEncoder_StreamTypeInfo_BitRateList GetAudioBitRateList(uint8_t streamType, int32_t channelMode,
                                                                 int32_t samplingFrequency);

} // namespace quillset
