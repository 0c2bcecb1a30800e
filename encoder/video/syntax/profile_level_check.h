// The MPEG-2 profile and level checks made when a video encoder is created (ISO/IEC 13818-2,
// 8.2 and 8.3).
#pragma once

#include <cstdint>

#include "encoder/video/video_encode_config.h"

namespace quillset {

// Checks an MPEG-2 configuration against the limits of its Profile and Level, in this order,
// raising EMPEGVideoEncoderError:
// - a profile/level pair without limits: 0xD0613020;
// - a YUVFormat other than 4:2:0 outside the High and 4:2:2 profiles: 0xD0613021;
// - DC_prec 3 (11 bits) outside the High and 4:2:2 profiles: 0xD0613022;
// - a nominal frame rate above 30 where the level allows at most 30: 0xD0613023;
// - Width or Height above the level's: 0xD0613024;
// - padded width x padded height x nominal frame rate above the level's luminance sample rate
//   (the height padded to 16 lines for a progressive sequence, else to 32): 0xD0613025;
// - MaxBitRate above the level's: 0xD0613026 (with the rate in kbit/s);
// - a VBV buffer above the level's: lowered to the level's size when vbvAutomatic (the size was
//   chosen by the encoder), else 0xD0613027.
// frameRateCode is the code as written; vbvBufferSize is in bytes.
void CheckMPEG2ProfileAndLevel(const TMPEGVideoEncoder_EncodeConfig& config, int32_t frameRateCode,
                               int32_t& vbvBufferSize, bool vbvAutomatic);

} // namespace quillset
