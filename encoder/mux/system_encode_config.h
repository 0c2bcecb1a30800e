// The system encoder's stream types and the 24-byte record it is created with.
#pragma once

#include <array>
#include <cstdint>

namespace quillset {

enum TMPEGSystemEncoder_StreamType : uint8_t {
    MPEGSystemEncoder_StreamType_ElementaryStream = 0,
    MPEGSystemEncoder_StreamType_MPEG1 = 1,            // ISO/IEC 11172-1 system stream
    MPEGSystemEncoder_StreamType_MPEG1_VBR = 2,
    MPEGSystemEncoder_StreamType_MPEG1_VideoCD = 3,
    MPEGSystemEncoder_StreamType_MPEG1_VideoCD_Illegal = 4,
    MPEGSystemEncoder_StreamType_MPEG2_Program = 5,    // ISO/IEC 13818-1 program stream
    MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR = 6,
    MPEGSystemEncoder_StreamType_MPEG2_DVD_VOB = 7,
    MPEGSystemEncoder_StreamType_MPEG1_VideoCD_StillPicture = 8,
};

// Byte layout: 0 two-pass multiplex flag, 1 stream type, 2 rewrite the MPEG-2 display size,
// 4..7 and 8..11 the display width and height for that rewrite, the rest zero.
struct TMPEGSystemEncoder_EncodeConfig {
    uint8_t TwoPassMultiplex = 0;
    uint8_t StreamType = MPEGSystemEncoder_StreamType_ElementaryStream; // TMPEGSystemEncoder_StreamType
    uint8_t RewriteDisplaySize = 0;
    uint8_t Reserved0 = 0;
    int32_t DisplayWidth = 0;
    int32_t DisplayHeight = 0;
    std::array<uint8_t, 12> Reserved{};
};
static_assert(sizeof(TMPEGSystemEncoder_EncodeConfig) == 24, "the system record is 24 bytes");

} // namespace quillset
