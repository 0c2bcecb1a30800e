#include "encoder/demux/lpcm_dvd_header.h"

namespace quillset {

void BuildDVDLinearPCMHeader(const TLinearPCMHeaderInfo& info, int32_t frameNumber, uint8_t out[3]) {
    const uint32_t quantisation = info.BitsPerSample == 24 ? 2 : info.BitsPerSample == 20 ? 1 : 0;
    const uint32_t frequency = info.SamplingFrequency == 96000 ? 1 : 0;
    out[0] = static_cast<uint8_t>((info.Emphasis != 0 ? 0x80 : 0) | (frameNumber & 0x1F));
    out[1] = static_cast<uint8_t>(quantisation << 6 | frequency << 4 | (static_cast<uint32_t>(info.Channels - 1) & 7));
    out[2] = info.DynamicRangeControl;
}

TLinearPCMHeader BuildLPCMHeaderFromDVD(const uint8_t dvd[3]) {
    static constexpr int32_t kBits[4] = {16, 20, 24, 0};
    static constexpr int32_t kFrequencies[4] = {48000, 96000, 0, 0};
    TLinearPCMHeaderInfo info;
    info.HeaderSize = LPCMHeaderSize;
    info.BitsPerSample = kBits[dvd[1] >> 6];
    info.SamplingFrequency = kFrequencies[dvd[1] >> 4 & 3];
    info.Channels = (dvd[1] & 7) + 1;
    info.Emphasis = static_cast<uint8_t>(dvd[0] >> 7);
    info.DynamicRangeControl = dvd[2];
    return BuildLPCMHeader(info);
}

} // namespace quillset
