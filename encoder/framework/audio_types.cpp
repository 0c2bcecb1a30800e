#include "encoder/framework/audio_types.h"

#include <cstddef>
#include <cstdint>

namespace quillset {

namespace {

constexpr int32_t kMPEGFrequencies[] = {44100, 48000, 32000};
constexpr int32_t kAC3Frequencies[] = {48000, 32000};
constexpr int32_t kLPCMFrequencies[] = {48000};
constexpr int32_t kAllChannelModes[] = {0, 1, 2, 3};
constexpr int32_t kAC3ChannelModes[] = {0, 2, 3};
constexpr int32_t kLPCMChannelModes[] = {0, 3};

template <std::size_t N, std::size_t M>
constexpr TMPEGAudioEncoder_StreamTypeInfo Row(const int32_t (&frequencies)[N], const int32_t (&modes)[M]) {
    return {frequencies, static_cast<int32_t>(N), modes, static_cast<int32_t>(M)};
}

constexpr TMPEGAudioEncoder_StreamTypeInfo kStreamTypes[] = {
    Row(kMPEGFrequencies, kAllChannelModes), // Layer I
    Row(kMPEGFrequencies, kAllChannelModes), // Layer II
    Row(kMPEGFrequencies, kAllChannelModes), // Layer III
    Row(kAC3Frequencies, kAC3ChannelModes),  // AC-3
    Row(kLPCMFrequencies, kLPCMChannelModes) // Linear PCM
};

// kbit/s by bit-rate index, for one channel and for two (ISO/IEC 11172-3, ATSC A/52 as offered).
constexpr int16_t kBitRates[4][2][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 0, 0, 0, 0, 0, 0, 0, 0, 0},
     {0, 0, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 0, 0, 0, 0, 0},
     {0, 0, 0, 0, 64, 0, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0}},
    {{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 0, 0, 0, 0, 0},
     {0, 0, 0, 0, 0, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 0, 0, 0, 64, 80, 96, 112, 128, 160, 192, 224, 256, 0, 0, 0},
     {0, 0, 0, 0, 0, 0, 0, 0, 128, 160, 192, 224, 256, 320, 384, 448}},
};

} // namespace

const TMPEGAudioEncoder_StreamTypeInfo& GetAudioStreamTypeInfo(uint8_t streamType) {
    // Unknown types are handled like Layer II, as the encoder factory does.
    const unsigned row = streamType <= MPEGAudioEncoder_StreamType_LinearPCM ? streamType : 1u;
    return kStreamTypes[row];
}

bool IsAllowedFrequency(uint8_t streamType, int32_t frequency) {
    const auto& info = GetAudioStreamTypeInfo(streamType);
    for (int32_t i = 0; i < info.FrequencyCount; ++i)
        if (frequency > 0 && info.Frequencies[i] == frequency)
            return true;
    return false;
}

bool IsAllowedChannelMode(uint8_t streamType, int32_t channelMode) {
    const auto& info = GetAudioStreamTypeInfo(streamType);
    for (int32_t i = 0; i < info.ChannelModeCount; ++i)
        if (channelMode >= 0 && info.ChannelModes[i] == channelMode)
            return true;
    return false;
}

int32_t GetAudioBitRateListCount(uint8_t streamType) {
    return streamType == MPEGAudioEncoder_StreamType_LinearPCM ? 1 : 16;
}

int32_t GetAudioBitRate(uint8_t streamType, int32_t channels, int32_t index, int32_t samplingFrequency) {
    if (streamType == MPEGAudioEncoder_StreamType_LinearPCM) {
        // Computed wide so that absurd frequencies give an absurd rate, never a wrapped one.
        const int64_t rate = int64_t{samplingFrequency} * channels * 16;
        return index == 0 && rate > 0 && rate <= INT32_MAX ? static_cast<int32_t>(rate) : 0;
    }
    if (streamType > MPEGAudioEncoder_StreamType_Dolby_AC3 || index < 0 || index > 15)
        return 0;
    return kBitRates[streamType][channels > 1 ? 1 : 0][index] * 1000;
}

} // namespace quillset
