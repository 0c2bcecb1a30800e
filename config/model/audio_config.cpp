#include "config/model/audio_config.h"

#include <algorithm>
#include <limits>

#include "config/persist/property_info.h"

namespace quillset {

namespace {

using A = TMPEGAudioConfig;

constexpr TPropertyInfo kAudioProperties[] = {
    EnumProperty<&A::StreamType>("StreamType", MPEGAudioEncoder_StreamType_Info, MPEGAudioEncoder_StreamType_MPEG1_Layer2),
    BooleanProperty<&A::StreamType_ReadOnly>("StreamType_ReadOnly", false),
    IntegerProperty<&A::SamplingFrequency>("SamplingFrequency", 44100),
    BooleanProperty<&A::SamplingFrequency_ReadOnly>("SamplingFrequency_ReadOnly", false),
    IntegerProperty<&A::ChannelMode>("ChannelMode", 0),
    BooleanProperty<&A::ChannelMode_ReadOnly>("ChannelMode_ReadOnly", false),
    BooleanProperty<&A::CantUseMono>("CantUseMono", false),
    IntegerProperty<&A::BitRate>("BitRate", 192000),
    BooleanProperty<&A::BitRate_ReadOnly>("BitRate_ReadOnly", false),
    BooleanProperty<&A::CalcCRC>("CalcCRC", false),
    BooleanProperty<&A::CalcCRC_ReadOnly>("CalcCRC_ReadOnly", false),
    BooleanProperty<&A::OriginalFlag>("OriginalFlag", false),
    BooleanProperty<&A::OriginalFlag_ReadOnly>("OriginalFlag_ReadOnly", false),
    BooleanProperty<&A::CopyrightFlag>("CopyrightFlag", false),
    BooleanProperty<&A::CopyrightFlag_ReadOnly>("CopyrightFlag_ReadOnly", false),
    BooleanProperty<&A::PrivateFlag>("PrivateFlag", false),
    BooleanProperty<&A::PrivateFlag_ReadOnly>("PrivateFlag_ReadOnly", false),
    IntegerProperty<&A::EmphasisType>("EmphasisType", 0),
    BooleanProperty<&A::EmphasisType_ReadOnly>("EmphasisType_ReadOnly", false),
};

} // namespace

TMPEGAudioConfig::TMPEGAudioConfig() {
    ResetDefaults();
}

const TClassInfo& TMPEGAudioConfig::StaticClassInfo() {
    static const TClassInfo info{"TMPEGAudioConfig", &TPersistent::StaticClassInfo(), kAudioProperties};
    return info;
}

const char* TMPEGAudioConfig::GetFileExtension() const {
    switch (StreamType) {
    case MPEGAudioEncoder_StreamType_MPEG1_Layer3:
        return "mp3";
    case MPEGAudioEncoder_StreamType_Dolby_AC3:
        return "ac3";
    case MPEGAudioEncoder_StreamType_LinearPCM:
        return "wav";
    default:
        return "mpa";
    }
}

TMPEGAudioConfig_BitRates TMPEGAudioConfig::GetBitRates(int flags) const {
    int32_t rate = BitRate;
    if ((flags & MPEGRateFlag_PCMAudio) != 0) {
        // 64-bit: a hand-made configuration may hold any frequency.
        const int64_t pcm = int64_t{ChannelsOfMode(ChannelMode)} * SamplingFrequency * 16;
        rate = static_cast<int32_t>(std::clamp<int64_t>(pcm, std::numeric_limits<int32_t>::min(),
                                                        std::numeric_limits<int32_t>::max()));
    }
    return {rate, rate, rate};
}

} // namespace quillset
