// Layer II frames: 1152 samples per channel in 36 samples of each of 32 subbands, scalefactors
// per third of a frame with their selection information, grouped quantisation
// (ISO/IEC 11172-3, 2.4.1.6 and C.1.5.2).
#pragma once

#include "encoder/audio/mpeg/frame_encoder.h"

namespace quillset {

class TMPEGAudioFrameEncoder_Layer2 : public TMPEGAudioFrameEncoder {
public:
    static constexpr int32_t kSamplesPerFrame = 1152;

    TMPEGAudioFrameEncoder_Layer2(const mpa::FrameSetup& setup, TLargeBitStreamWriter& writer,
                                  const int32_t* const* samples);

    void EncodeFrame(int32_t padding, int32_t frameBytes) override;

    // The allocation table of the stream (by frequency and bit rate per channel).
    const mpa::AllocationTable& GetAllocationTable() const { return Table; }

private:
    static constexpr int32_t kParts = 3;       // scalefactor parts of 12 samples
    static constexpr int32_t kGranules = 12;   // triples of samples

    int32_t BuildUnits(int32_t bound) override;
    int32_t AllocationFieldBits(int32_t bound) const override;
    void ComputeScalefactors();
    void ComputeSMR();
    void WriteFrame(int32_t padding, int32_t frameBits, int32_t bound);
    void WriteSamples(int32_t bound);

    const mpa::AllocationTable& Table;
    int32_t SBLimit;

    // By subband and allocation value: sample bits of a whole frame and SNR.
    int32_t RowSampleBits[mpa::kSubbands][mpa::kMaxAllocationEntries];
    float RowSNR[mpa::kSubbands][mpa::kMaxAllocationEntries];

    // State of one frame. Channel index 2 is the mono signal of joint stereo.
    int32_t Scalefactor[3][mpa::kSubbands][kParts]; // as computed (L, R, mono)
    int32_t Used[2][mpa::kSubbands][kParts];        // as the decoder will apply them
    int32_t Selection[2][mpa::kSubbands];
};

} // namespace quillset
