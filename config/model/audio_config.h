// The audio part of an encoding configuration.
#pragma once

#include <cstdint>

#include "config/model/mpeg_enums.h"
#include "config/persist/persistent.h"

namespace quillset {

// Average, maximum and minimum bit rate of an audio stream, bits per second.
struct TMPEGAudioConfig_BitRates {
    int32_t Avg = 0;
    int32_t Max = 0;
    int32_t Min = 0;
};

// Flag of GetBitRates (and of the rate summary): count audio as uncompressed 16-bit PCM.
constexpr int MPEGRateFlag_PCMAudio = 4;

class TMPEGAudioConfig : public TPersistent {
public:
    TMPEGAudioConfig();

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }

    // "mpa" (layers I and II), "mp3", "ac3" or "wav".
    const char* GetFileExtension() const;
    // All three are BitRate; with MPEGRateFlag_PCMAudio in flags, channels x frequency x 16.
    TMPEGAudioConfig_BitRates GetBitRates(int flags) const;

    TMPEGAudioEncoder_StreamType StreamType{};
    bool StreamType_ReadOnly = false;
    int32_t SamplingFrequency = 0; // Hz
    bool SamplingFrequency_ReadOnly = false;
    int32_t ChannelMode = 0; // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    bool ChannelMode_ReadOnly = false;
    bool CantUseMono = false; // the wizard must not offer mono
    int32_t BitRate = 0;      // bits per second
    bool BitRate_ReadOnly = false;
    bool CalcCRC = false;
    bool CalcCRC_ReadOnly = false;
    bool OriginalFlag = false;
    bool OriginalFlag_ReadOnly = false;
    bool CopyrightFlag = false;
    bool CopyrightFlag_ReadOnly = false;
    bool PrivateFlag = false;
    bool PrivateFlag_ReadOnly = false;
    int32_t EmphasisType = 0;
    bool EmphasisType_ReadOnly = false;
};

} // namespace quillset
