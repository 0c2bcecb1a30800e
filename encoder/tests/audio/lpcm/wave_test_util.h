// Small builders for WAVE files and private LPCM streams in the Linear PCM tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "encoder/framework/audio_types.h"
#include "encoder/tests/audio/audio_encoder_test_util.h"
#include "stream/memory_stream.h"

namespace quillset::testing {

inline std::string LE16(uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8)};
}
inline std::string LE32(uint32_t v) {
    return LE16(v) + LE16(v >> 16);
}

// 16-bit samples as little-endian / big-endian bytes.
inline std::string SamplesLE(std::initializer_list<int> samples) {
    std::string out;
    for (int s : samples)
        out += LE16(static_cast<uint32_t>(s));
    return out;
}
inline std::string SamplesLE(const std::vector<int16_t>& samples) {
    std::string out;
    for (int s : samples)
        out += LE16(static_cast<uint32_t>(s));
    return out;
}
inline std::string SamplesBE(const std::vector<int16_t>& samples) {
    std::string out;
    for (int s : samples)
        out += {static_cast<char>(s >> 8), static_cast<char>(s)};
    return out;
}
inline std::vector<int16_t> ReadSamplesBE(const std::string& bytes, size_t from = 0) {
    std::vector<int16_t> out;
    for (size_t i = from; i + 1 < bytes.size(); i += 2)
        out.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) << 8 | static_cast<uint8_t>(bytes[i + 1])));
    return out;
}

// A chunk with its pad byte when the body is odd; `size` overrides the size field.
inline std::string Chunk(const std::string& id, const std::string& body, int64_t size = -1) {
    std::string out = id + LE32(static_cast<uint32_t>(size < 0 ? body.size() : size)) + body;
    if (body.size() % 2 != 0)
        out += '\0';
    return out;
}

// The RIFF envelope with a correct size.
inline std::string Riff(const std::string& chunks) {
    return "RIFF" + LE32(4 + chunks.size()) + "WAVE" + chunks;
}

// A PCM format body: 16 bytes (WAVEFORMAT + bits) or 18 (with cbSize).
inline std::string PCMFormatBody(int channels, uint32_t frequency, int bits, int tag = 1, bool withExtraSize = false) {
    const uint32_t align = static_cast<uint32_t>(channels * (bits / 8));
    std::string body =
        LE16(tag) + LE16(channels) + LE32(frequency) + LE32(align * frequency) + LE16(align) + LE16(bits);
    return withExtraSize ? body + LE16(0) : body;
}

// A plain WAVE file of the given sample bytes.
inline std::string WaveFile(const std::string& data, int channels = 2, uint32_t frequency = 48000, int bits = 16) {
    return Riff(Chunk("fmt ", PCMFormatBody(channels, frequency, bits)) + Chunk("data", data));
}

inline std::unique_ptr<TLargeMemoryStream> MemoryStreamOf(const std::string& bytes) {
    auto stream = std::make_unique<TLargeMemoryStream>();
    if (!bytes.empty())
        stream->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream->SetPosition(0);
    return stream;
}

// The configuration of a Linear PCM encoder at 48 kHz: stereo or mono with its bit rate.
inline TMPEGAudioEncoder_EncodeConfig LPCMConfig(int32_t channelMode = MPEGAudio_ChannelMode_Stereo) {
    TMPEGAudioEncoder_EncodeConfig config;
    config.StreamType = MPEGAudioEncoder_StreamType_LinearPCM;
    config.SamplingFrequency = 48000;
    config.ChannelMode = channelMode;
    config.BitRate = 48000 * ChannelsOfMode(channelMode) * 16;
    return config;
}

} // namespace quillset::testing
