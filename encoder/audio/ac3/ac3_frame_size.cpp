#include "encoder/audio/ac3/ac3_frame_size.h"

namespace quillset {

namespace {

// Words by frmsizecod / 2: 48 kHz is twice the bit rate in kbit/s, 32 kHz three times; 44.1 kHz
// frames of even frmsizecod are these, odd ones one word longer.
constexpr int16_t kBitRates[19] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640};
constexpr int16_t kWords44[19] = {69, 87, 104, 121, 139, 174, 208, 243, 278, 348,
                                  417, 487, 557, 696, 835, 975, 1114, 1253, 1393};

} // namespace

int32_t AC3FrameWords(int32_t fscod, int32_t frmsizecod) {
    if (frmsizecod < 0 || frmsizecod > 37)
        return 0;
    const int32_t rate = frmsizecod >> 1;
    switch (fscod) {
    case 0: return 2 * kBitRates[rate];
    case 1: return kWords44[rate] + (frmsizecod & 1);
    case 2: return 3 * kBitRates[rate];
    default: return 0;
    }
}

int32_t AC3FrameBytes(const uint8_t* header) {
    if (header[0] != AC3SyncByte0 || header[1] != AC3SyncByte1)
        return 0;
    return 2 * AC3FrameWords(header[4] >> 6, header[4] & 0x3f);
}

} // namespace quillset
