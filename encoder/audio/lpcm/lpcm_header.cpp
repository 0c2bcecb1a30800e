#include "encoder/audio/lpcm/lpcm_header.h"

#include <cstring>

#include "encoder/audio/lpcm/byte_order.h"

namespace quillset {

using lpcm::ReadLE16;
using lpcm::ReadLE32;
using lpcm::WriteLE16;
using lpcm::WriteLE32;

namespace {

constexpr char kTagVDMS[4] = {'V', 'D', 'M', 'S'};
constexpr char kTagLPCM[4] = {'L', 'P', 'C', 'M'};

} // namespace

TLinearPCMHeader BuildLPCMHeader(const TLinearPCMHeaderInfo& info) {
    TLinearPCMHeader header{};
    std::memcpy(header.data(), kTagVDMS, 4);
    std::memcpy(header.data() + 4, kTagLPCM, 4);
    WriteLE16(header.data() + 8, LPCMHeaderVersion);
    WriteLE16(header.data() + 10, static_cast<uint32_t>(info.HeaderSize));
    header[12] = static_cast<uint8_t>(info.BitsPerSample);
    WriteLE32(header.data() + 13, static_cast<uint32_t>(info.SamplingFrequency));
    header[17] = static_cast<uint8_t>(info.Channels);
    header[18] = info.Emphasis;
    header[19] = info.DynamicRangeControl;
    return header;
}

TLinearPCMHeaderInfo ReadLPCMHeader(const void* data) {
    const auto* p = static_cast<const uint8_t*>(data);
    TLinearPCMHeaderInfo info;
    info.HeaderSize = static_cast<int32_t>(ReadLE16(p + 10));
    info.BitsPerSample = p[12];
    info.SamplingFrequency = static_cast<int32_t>(ReadLE32(p + 13));
    info.Channels = p[17];
    info.Emphasis = p[18];
    info.DynamicRangeControl = p[19];
    return info;
}

bool IsValidLPCMHeader(const void* data, int32_t count) {
    if (data == nullptr || count < LPCMHeaderSize)
        return false;
    const auto* p = static_cast<const uint8_t*>(data);
    if (std::memcmp(p, kTagVDMS, 4) != 0 || std::memcmp(p + 4, kTagLPCM, 4) != 0)
        return false;
    if (ReadLE16(p + 8) != LPCMHeaderVersion)
        return false;
    const TLinearPCMHeaderInfo info = ReadLPCMHeader(p);
    const bool bitsValid = info.BitsPerSample == 16 || info.BitsPerSample == 20 || info.BitsPerSample == 24;
    const bool frequencyValid = info.SamplingFrequency == 48000 || info.SamplingFrequency == 96000;
    return info.HeaderSize >= LPCMHeaderSize && bitsValid && frequencyValid && info.Channels >= 1 && info.Channels <= 8;
}

} // namespace quillset
