// Deriving the sequence values of the syntax writers from the validated configuration, and the
// frame rates of ISO/IEC 13818-2 Table 6-4.
#pragma once

#include <cstdint>

#include "encoder/video/syntax/syntax_state.h"
#include "encoder/video/video_encode_config.h"

namespace quillset {

// The nominal rate of a frame_rate_code 1..8 (24000/1001, 24, 25, 30000/1001, 30, 50,
// 60000/1001, 60); 0 for other codes.
double NominalFrameRate(int32_t frameRateCode);
// Whole pictures per second of the time code: the nominal rate rounded (24, 25, 30, 50, 60).
int32_t TimeCodeFrameRate(int32_t frameRateCode);

// The sequence values for a configuration that passed validation, with the VBV buffer size in
// bytes as the rate control chose it (after any profile/level reduction). Derived here:
// - the macroblock grid: (Width + 15) / 16 by (Height + 15) / 16, or 2 x ((Height + 31) / 32)
//   when the sequence is not progressive;
// - frame_rate_code: the low 16 bits of FrameRate, 1 -> 4 and 2 -> 5 for
//   Progressive_32Pulldown; the repeat count from the divisor in the high 16 bits;
// - interlaced coding for Interlace and Auto_Inv32Pulldown, a progressive sequence for
//   Progressive;
// - the MPEG-2 profile_and_level_indication of Profile and Level;
// - display size (0 or less: the picture size);
// - the MPEG-1 constrained_parameters_flag: width <= 768, height <= 576, at most 396
//   macroblocks per picture and 9900 per second, a picture rate <= 30, CBR or Realtime_CBR,
//   a VBV buffer <= 40960 bytes and an average rate <= 1856000.
TMPEGVideoSequenceSyntax MakeSequenceSyntax(const TMPEGVideoEncoder_EncodeConfig& config, int32_t vbvBufferSize);

// bit_rate_value as a whole (the header takes its low 18 bits, the MPEG-2 sequence extension
// the rest): ceil(MaxBitRate / 400) for MPEG-2 and for CBR and Realtime_CBR; 0x3FFFF (the
// variable-rate marker of ISO/IEC 11172-2) for MPEG-1 in the other modes. MPEG-1 values are
// kept within 1..0x3FFFF, MPEG-2 values within 1..2^30 - 1.
int32_t BitRateValue(const TMPEGVideoSequenceSyntax& sequence);

} // namespace quillset
