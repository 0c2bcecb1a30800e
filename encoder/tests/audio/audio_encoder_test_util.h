// What the audio encoder tests (Linear PCM, MPEG audio, AC-3) share: configurations, sample
// blocks handed to PutSamples, and the bytes an encoder wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoder/framework/audio_types.h"
#include "stream/memory_stream.h"

namespace quillset::testing {

// A configuration of the stream type; bitRate in bit/s.
inline TMPEGAudioEncoder_EncodeConfig EncodeConfig(uint8_t streamType, int32_t frequency, int32_t channelMode,
                                                   int32_t bitRate) {
    TMPEGAudioEncoder_EncodeConfig config;
    config.StreamType = streamType;
    config.SamplingFrequency = frequency;
    config.ChannelMode = channelMode;
    config.BitRate = bitRate;
    return config;
}

// A block of interleaved 16-bit samples; `data` must outlive it.
inline TMPEGAudioEncoder_Samples Block16(const std::vector<int16_t>& data, int32_t channels, int32_t frequency = 48000) {
    TMPEGAudioEncoder_Samples samples;
    samples.SampleFormat = AudioSampleFormat_16Bit;
    samples.SamplingFrequency = frequency;
    samples.Channels = channels;
    samples.Data = data.data();
    samples.Count = static_cast<int32_t>(data.size()) / channels;
    return samples;
}

inline std::string ContentsOf(TLargeMemoryStream& stream) {
    return std::string(reinterpret_cast<const char*>(stream.GetMemory()), static_cast<size_t>(stream.GetSize()));
}

} // namespace quillset::testing
