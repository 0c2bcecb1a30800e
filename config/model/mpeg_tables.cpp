#include "config/model/mpeg_tables.h"

#include "encoder/video/syntax/scan_tables.h"

namespace quillset {

namespace {

constexpr int32_t kMiB = 1048576;

constexpr TMPEGConfig_TargetMediaTypeInfo kTargetMedia[kTargetMediaTypeCount] = {
    {"Unknown media", 0, 0, 0, 0, "%dMB", kMiB, ""},
    {"CD-R 650MB (ISO)", 676331520, 838860800, 52428800, 104857600, "%dMB", kMiB, "650MB"},
    {"CD-R 700MB (ISO)", 728760320, 943718400, 52428800, 104857600, "%dMB", kMiB, "700MB"},
    {"CD-R 800MB (ISO)", 833617920, 1048576000, 52428800, 209715200, "%dMB", kMiB, "800MB"},
    {"CD-R 74min (VCD/SVCD)", 763363328, 941220000, 52428800, 104857600, "%dMB", kMiB, "650MB"},
    {"CD-R 80min (VCD/SVCD)", 825229312, 1045800000, 52428800, 104857600, "%dMB", kMiB, "700MB"},
    {"DVD-R 4.7GB (UDF)", 4404019200, 5242880000, 262144000, 524288000, "%dMB", kMiB, "4.7GB"},
};

// ISO/IEC 13818-2, Table 6-4.
constexpr double kFrameRates[9] = {0.0, 24000.0 / 1001.0, 24.0, 25.0, 30000.0 / 1001.0, 30.0, 50.0, 60000.0 / 1001.0,
                                   60.0};

} // namespace

const TMPEGConfig_TargetMediaTypeInfo& GetTargetMediaTypeInfo(int type) {
    return kTargetMedia[(type >= 0 && type < kTargetMediaTypeCount) ? type : 0];
}

const TColorConversionSet& ColorConversion_Basic = FullRangeCoefficients;
const TColorConversionSet& ColorConversion_Standard = StudioRangeCoefficients;

double GetFrameRateValue(int32_t frameRate) {
    const int32_t code = frameRate & 0xFFFF;
    if (frameRate >= 1 && frameRate <= 8)
        return kFrameRates[frameRate];
    if (frameRate >= 65536 && code >= 1 && code <= 8)
        return kFrameRates[code] / static_cast<double>(static_cast<uint32_t>(frameRate) >> 16);
    return kFrameRates[4];
}

// Bound to an object of static storage: constant-initialised, usable during static initialisation.
const std::array<uint8_t, 64>& DefaultQuantizeMatrix_Intra = kDefaultIntraQuantiserMatrix;

const std::array<uint8_t, 64> DefaultQuantizeMatrix_NonIntra = {
    16, 17, 18, 19, 20, 21, 22, 23, //
    17, 18, 19, 20, 21, 22, 23, 24, //
    18, 19, 20, 21, 22, 23, 24, 25, //
    19, 20, 21, 22, 23, 24, 26, 27, //
    20, 21, 22, 23, 25, 26, 27, 28, //
    21, 22, 23, 24, 26, 27, 28, 30, //
    22, 23, 24, 26, 27, 28, 30, 31, //
    23, 24, 25, 27, 28, 30, 31, 33, //
};

TMPEGAudioEncoder_StreamTypeInfo_BitRateList GetAudioBitRateList(uint8_t streamType, int32_t channelMode,
                                                                 int32_t samplingFrequency) {
    const int32_t channels = ChannelsOfMode(channelMode);
    TMPEGAudioEncoder_StreamTypeInfo_BitRateList list;
    const int32_t count = GetAudioBitRateListCount(streamType);
    for (int32_t index = 0; index < count; ++index)
        list.push_back(GetAudioBitRate(streamType, channels, index, samplingFrequency));
    return list;
}

} // namespace quillset
