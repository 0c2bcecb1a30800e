// The one-pass allocation of the realtime modes: every picture gets its share of the bits of one
// GOP by the GOP structure alone (weights per picture type), without looking ahead.
#pragma once

#include <cstdint>

#include "encoder/video/encoder_settings.h"
#include "encoder/video/rate_control/segment_rate.h"

namespace quillset {

// The allocation of one picture: `Allocation` from the segment's target rate (realtime CBR) or
// maximum rate (realtime CQ), `Minimum` from the minimum rate (realtime CQ; 0 = none).
struct TRealtimeTargets {
    int64_t Allocation = 0;
    int64_t Minimum = 0;
};

// The pictures of one GOP by type: cI I pictures, cI x cP P pictures and the B pictures between
// the references, including the leading B pictures of open GOPs (not in a GOP that starts closed).
struct TRealtimeGOPCounts {
    int64_t I = 0, P = 0, B = 0;
    int64_t Total() const { return I + P + B; }
};
TRealtimeGOPCounts RealtimeGOPCounts(const TMPEGVideoEncoder_Settings& settings, bool gopStartsClosed);

// The bits of a picture of `pictureType` (repeat_first_field adds half a picture period's bits).
TRealtimeTargets RealtimeTargets(const TMPEGVideoEncoder_Settings& settings, const TMPEGVideoEncoder_SegmentRate& segment,
                                 uint8_t pictureType, bool repeatFirstField, bool gopStartsClosed);

} // namespace quillset
