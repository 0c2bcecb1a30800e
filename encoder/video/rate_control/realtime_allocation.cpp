#include "encoder/video/rate_control/realtime_allocation.h"

#include <algorithm>
#include <cmath>

#include "encoder/video/frame_info.h"

namespace quillset {

TRealtimeGOPCounts RealtimeGOPCounts(const TMPEGVideoEncoder_Settings& settings, bool gopStartsClosed) {
    const int64_t cI = settings.GOPICount, cP = settings.GOPPCount, cB = settings.GOPBCount;
    TRealtimeGOPCounts n;
    n.I = cI;
    n.P = cI * cP;
    n.B = cI * cP * cB;
    if (cP > 0 && !settings.ClosedGOP)
        n.B += (cI - 1) * cB;
    if (!gopStartsClosed)
        n.B += cB;
    return n;
}

TRealtimeTargets RealtimeTargets(const TMPEGVideoEncoder_Settings& settings, const TMPEGVideoEncoder_SegmentRate& segment,
                                 uint8_t pictureType, bool repeatFirstField, bool gopStartsClosed) {
    const TRealtimeGOPCounts n = RealtimeGOPCounts(settings, gopStartsClosed);
    const double rate = static_cast<double>(settings.PictureRate);
    const double pictures = static_cast<double>(n.Total());
    const bool cbr = segment.Mode == SegmentMode_RealtimeCBR;
    double weightI = 8.0;
    if (cbr && segment.TargetBitRate > 0) {
        const double density = segment.TargetBitRate / (pictures / rate) / settings.PaddedWidth / settings.PaddedHeight;
        weightI *= std::min(2.0, std::max(0.7, std::sqrt(26.0 / density)));
    }
    if (settings.GOPBCount < 2)
        weightI *= std::min(2.0, std::max(1.0, std::sqrt(2.0 - settings.GOPBCount)));
    constexpr double weightP = 2.75, weightB = 0.85;
    const double total = n.I * weightI + n.P * weightP + n.B * weightB;
    const double weight = pictureType == PictureType_I ? weightI : (pictureType == PictureType_P ? weightP : weightB);
    const double share = total > 0.0 ? weight / total : 1.0;

    const auto portion = [&](double bitRate) {
        int64_t bits = static_cast<int64_t>(static_cast<double>(static_cast<int64_t>(bitRate * pictures / rate)) * share);
        if (repeatFirstField)
            bits += static_cast<int64_t>(bitRate * 0.5 / rate);
        return bits;
    };
    TRealtimeTargets targets;
    targets.Allocation = portion(cbr ? segment.TargetBitRate : segment.MaxBitRate);
    if (!cbr && segment.MinBitRate >= 1)
        targets.Minimum = portion(segment.MinBitRate);
    return targets;
}

} // namespace quillset
