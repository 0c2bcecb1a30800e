// The records through which audio reaches the audio encoders.
#pragma once

#include <cstdint>

namespace quillset {

// TMPEGAudioEncoder_StreamType.
enum TMPEGAudioEncoder_StreamType : uint8_t {
    MPEGAudioEncoder_StreamType_MPEG1_Layer1 = 0,
    MPEGAudioEncoder_StreamType_MPEG1_Layer2 = 1,
    MPEGAudioEncoder_StreamType_MPEG1_Layer3 = 2,
    MPEGAudioEncoder_StreamType_Dolby_AC3 = 3,
    MPEGAudioEncoder_StreamType_LinearPCM = 4,
};

// Channel modes: 0 stereo, 1 joint stereo, 2 dual channel (two channels each), 3 mono.
constexpr int32_t MPEGAudio_ChannelMode_Stereo = 0;
constexpr int32_t MPEGAudio_ChannelMode_JointStereo = 1;
constexpr int32_t MPEGAudio_ChannelMode_DualChannel = 2;
constexpr int32_t MPEGAudio_ChannelMode_Mono = 3;

inline int32_t ChannelsOfMode(int32_t channelMode) { return channelMode > 2 ? 1 : 2; }

struct TMPEGAudioEncoder_EncodeConfig {
    uint8_t StreamType = MPEGAudioEncoder_StreamType_MPEG1_Layer2;
    int32_t SamplingFrequency = 0; // Hz
    int32_t ChannelMode = 0;
    int32_t BitRate = 0;           // bits per second
    uint8_t CalcCRC = 0;
    uint8_t OriginalFlag = 0;
    uint8_t CopyrightFlag = 0;
    uint8_t PrivateFlag = 0;
    int32_t EmphasisType = 0;
};

// Sample formats of a sample block.
constexpr int32_t AudioSampleFormat_None = 0;  // Count samples of silence
constexpr int32_t AudioSampleFormat_8Bit = 1;  // unsigned, 128 is zero
constexpr int32_t AudioSampleFormat_16Bit = 2; // signed little-endian

// One block of interleaved samples handed to an audio encoder.
struct TMPEGAudioEncoder_Samples {
    int32_t SampleFormat = AudioSampleFormat_None;
    int32_t SamplingFrequency = 0;
    int32_t Channels = 0;
    const void* Data = nullptr;
    int32_t Count = 0; // samples per channel
};

// The rows of the audio stream-type table that encoders check their configuration against.
struct TMPEGAudioEncoder_StreamTypeInfo {
    const int32_t* Frequencies;   // allowed sampling frequencies, in code order
    int32_t FrequencyCount;
    const int32_t* ChannelModes;  // allowed channel modes
    int32_t ChannelModeCount;
};

const TMPEGAudioEncoder_StreamTypeInfo& GetAudioStreamTypeInfo(uint8_t streamType);
bool IsAllowedFrequency(uint8_t streamType, int32_t frequency);
bool IsAllowedChannelMode(uint8_t streamType, int32_t channelMode);

// The bit rates (bits per second) a stream type offers for a channel count. Linear PCM offers
// one, frequency × channels × 16; the compressed types the 16 entries of their header's
// bit-rate index, 0 where an index is not offered.
int32_t GetAudioBitRateListCount(uint8_t streamType);
int32_t GetAudioBitRate(uint8_t streamType, int32_t channels, int32_t index, int32_t samplingFrequency);

} // namespace quillset
