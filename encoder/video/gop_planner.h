// The GOP planner: decides the type of every picture in display order and groups the pictures
// into batches that end in a reference picture.
//
// Pictures enter with AddPicture in display order. The planner keeps the GOP counters (I periods,
// P pictures and B pictures left), honours forced types and segment starts, keeps every GOP
// within the maximum length, and hands each finished batch to the emit callback in display
// order. A handed-over batch never ends in a B picture; its last picture is its last reference,
// which the planner carries into the next batch. The callback owns the batch's contents after
// the call (it may move them out).
#pragma once

#include <cstdint>
#include <functional>

#include "encoder/video/encoder_image.h"
#include "encoder/video/encoder_settings.h"
#include "encoder/video/frame_info.h"

namespace quillset {

class TMPEGVideoEncoder_GOPPlanner {
public:
    using TEmitBatch = std::function<void(TMPEGVideoFrameInfoList& batch)>;

    TMPEGVideoEncoder_GOPPlanner(const TMPEGVideoEncoder_Settings& settings, TEmitBatch emit);

    // Pass start: counters, segment, carried reference and GOP length back to their start.
    void Reset();

    // Plans one picture. `request` holds the picture's forcing and segment settings (already
    // cleared on repeated copies of a converted picture).
    void AddPicture(TMPEGVideoFrameInfo* info, const TMPEGVideoEncoder_Image& request);

    // End of the stream: the pending pictures go out as the end-of-stream batch.
    void Flush();

    const TMPEGVideoEncoder_SegmentRate& GetSegmentRate() const { return Segment; }
    int64_t GetBatchCount() const { return NextSequence; }

private:
    struct TGOPLength {
        int64_t G = 0; // fields of the current GOP from its I up to its last reference
        int64_t T = 0; // fields of trailing B pictures not yet followed by a reference
    };

    bool IsRealtime() const;
    // The GOP length at the end of `batch`, continuing from the emitted batches.
    TGOPLength Measure(const TMPEGVideoFrameInfoList& batch) const;
    bool IsLongEnough(const TMPEGVideoFrameInfoList& batch) const;
    void SetCounters(int32_t i, int32_t p, int32_t b);
    void ChooseType(TMPEGVideoFrameInfo* info, bool forced, uint8_t forcedType, bool repeat);
    void LimitGOPLength(TMPEGVideoFrameInfo* info);
    void CutOverlongBatch(const TMPEGVideoFrameInfo* info);
    // Takes the B pictures after the last non-B picture of `batch` out of it when that picture's
    // index is at least half the batch length; they go to `aside`.
    static void SetTrailingBAside(TMPEGVideoFrameInfoList& batch, TMPEGVideoFrameInfoList& aside);
    // Emits the pending batch when its field total reaches 2 (L - B - 1) - 1; true when emitted.
    bool EmitPendingIfLongEnough();
    void Emit(TMPEGVideoFrameInfoList& batch, bool endOfStream);
    void FixTrailingB(TMPEGVideoFrameInfoList& batch);

    const TMPEGVideoEncoder_Settings& Settings;
    TEmitBatch EmitBatch;

    int32_t RemainingI = 0;
    int32_t RemainingP = 0;
    int32_t RemainingB = 0;
    int64_t PlannedCount = 0;    // pictures planned in this pass
    int64_t CarriedGOPFields = 0; // fields of the open GOP in batches already emitted
    bool NextStartsGOP = true;
    int64_t NextSequence = 0;
    TMPEGVideoEncoder_SegmentRate Segment;
    TFrameInfoRef CarriedReference;
    TMPEGVideoFrameInfoList Pending; // display order
};

} // namespace quillset
