// The polyphase analysis filterbank of MPEG-1 audio (ISO/IEC 11172-3, C.1.3): every 32 input
// samples give one sample in each of 32 subbands.
#pragma once

#include <cstdint>
#include <vector>

#include "encoder/audio/mpeg/mpeg_audio_tables.h"

namespace quillset::mpa {

class SubbandAnalysisFilter {
public:
    // Input samples are on the 16-bit scale (full scale 32768); subband samples come out on the
    // scale of the scalefactors (full scale 1).
    SubbandAnalysisFilter();

    // Takes blocks x 32 new samples in time order and writes blocks x 32 subband samples,
    // out[b * 32 + k] for block b and subband k. The filter's history carries from call to call
    // (it starts as silence).
    void Process(const float* samples, int32_t blocks, float* out);

private:
    void FilterBlock(const float* window, float* out) const;

    std::vector<float> Buffer;       // the history of 480 samples, then the samples of one call
    float Coefficients[512];         // the window, reversed in time and scaled by 2^-15
    float Matrix[kSubbands][32];     // cos((2k + 1) n pi / 64), n = 0 .. 31
};

} // namespace quillset::mpa
