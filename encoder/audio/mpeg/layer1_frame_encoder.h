// Layer I frames: 384 samples per channel in 12 samples of each of 32 subbands, one scalefactor
// per subband, 4-bit allocations (ISO/IEC 11172-3, 2.4.1.5 and C.1.5.1).
#pragma once

#include "encoder/audio/mpeg/frame_encoder.h"

namespace quillset {

class TMPEGAudioFrameEncoder_Layer1 : public TMPEGAudioFrameEncoder {
public:
    static constexpr int32_t kSamplesPerFrame = 384;

    TMPEGAudioFrameEncoder_Layer1(const mpa::FrameSetup& setup, TLargeBitStreamWriter& writer,
                                  const int32_t* const* samples);

    void EncodeFrame(int32_t padding, int32_t frameBytes) override;

private:
    int32_t BuildUnits(int32_t bound) override;
    int32_t AllocationFieldBits(int32_t bound) const override;
    void WriteFrame(int32_t padding, int32_t frameBits, int32_t bound);

    int32_t SampleBits[mpa::kLayer1MaxAllocation + 1];
    float SNR[mpa::kLayer1MaxAllocation + 1];

    int32_t Scalefactor[3][mpa::kSubbands]; // L, R, mono
};

} // namespace quillset
