// Preparing the bit rates and the VBV buffer size of a video encoder at creation.
#pragma once

#include <cstdint>

#include "encoder/video/video_encode_config.h"

namespace quillset {

// Rounds the three rates up to multiples of 400 bit/s (average and maximum at least 400), limits
// Quality to 0..100 and applies the rules of the rate-control mode: constant rate modes get
// maximum = minimum = average and padding; multipass VBR keeps min <= average <= max; the other
// modes take the maximum as their average. Raises EMPEGVideoEncoderError 0xD061301D when the
// maximum is below the minimum and 0xD061301C when a rate does not fit the sequence header
// (18 bits of 400 bit/s for MPEG-1, 30 bits for MPEG-2, and always below 2^31 bit/s).
// `initialQuality` receives the quality estimate of multipass constant-quality coding (0 for the
// other modes).
void PrepareBitRates(TMPEGVideoEncoder_EncodeConfig& config, bool mpeg2, long double pictureRate, double& initialQuality);

// The VBV buffer sizes (bytes) that fit a maximum rate and picture rate.
struct TVBVSizeFigures {
    int32_t Minimum = 0;     // one picture at the maximum rate, in 2048-byte units
    int32_t Maximum = 0;     // what arrives in 65535/90000 s, within the syntax's limit
    int32_t Recommended = 0; // eight times the minimum, at most the maximum
};

TVBVSizeFigures ComputeVBVSizeFigures(int64_t maxBitRate, long double pictureRate, bool mpeg2, bool fullnessHigh);

// The VBV size to use: the recommended one for VBVBufferSize <= 0 (then `automatic` is set),
// otherwise VBVBufferSize, which must be a multiple of 2048 and, with CheckVBVRange, lie within
// the figures; else EMPEGVideoEncoderError 0xD061301E.
int32_t ChooseVBVBufferSize(const TMPEGVideoEncoder_EncodeConfig& config, bool mpeg2, long double pictureRate,
                            bool& automatic);

} // namespace quillset
