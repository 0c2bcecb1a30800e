#include "encoder/video/syntax/f_code.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace quillset {

int32_t FCodeForExtent(int32_t maxAbs, bool mpeg2) {
    const uint32_t m = static_cast<uint32_t>(std::max(maxAbs, 0)) + 1;
    const int32_t fCode = 1 + static_cast<int32_t>(std::bit_width(m >> 4));
    return std::min(fCode, mpeg2 ? 15 : 7);
}

TMPEGVideoVectorExtent MeasureVectorExtent(std::span<const TMBInfo> macroblocks) {
    TMPEGVideoVectorExtent extent{};
    for (const TMBInfo& mb : macroblocks) {
        if (mb.IsIntra())
            continue;
        const int32_t vectors = mb.IsFieldPrediction() ? 2 : 1;
        const int32_t verticalScale = mb.IsFieldPrediction() ? 2 : 1;
        for (int32_t s = 0; s < 2; ++s) {
            if (!(s == 0 ? mb.HasForward() : mb.HasBackward()))
                continue;
            const TMBVectorPair& pair = s == 0 ? mb.Forward : mb.Backward;
            for (int32_t r = 0; r < vectors; ++r) {
                extent[s][0] = std::max(extent[s][0], std::abs(pair[r].MvX));
                extent[s][1] = std::max(extent[s][1], verticalScale * std::abs(pair[r].MvY));
            }
        }
    }
    return extent;
}

TMPEGVideoFCodes ComputePictureFCodes(int32_t pictureCodingType, bool mpeg2, const TMPEGVideoVectorExtent& extent) {
    const int32_t unused = mpeg2 ? 15 : 1;
    TMPEGVideoFCodes fCode{{{unused, unused}, {unused, unused}}};
    const int32_t directions = pictureCodingType == kPictureCodingTypeB ? 2
                               : pictureCodingType == kPictureCodingTypeP ? 1
                                                                          : 0;
    for (int32_t s = 0; s < directions; ++s) {
        const int32_t horizontal = FCodeForExtent(extent[s][0], mpeg2);
        const int32_t vertical = FCodeForExtent(extent[s][1], mpeg2);
        if (mpeg2) {
            fCode[s] = {horizontal, vertical};
        } else {
            const int32_t both = std::max(horizontal, vertical);
            fCode[s] = {both, both};
        }
    }
    return fCode;
}

} // namespace quillset
