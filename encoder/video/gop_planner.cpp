#include "encoder/video/gop_planner.h"

#include <algorithm>
#include <utility>

#include "encoder/video/rate_control/segment_rate.h"

namespace quillset {

namespace {

int64_t FieldsOf(const TMPEGVideoFrameInfo* info) { return 2 + info->RepeatFirstField; }

bool IsB(const TMPEGVideoFrameInfo* info) { return info && info->PictureType == PictureType_B; }

// Moves the items from `start` on to the end of `to`, keeping their order and references.
void MoveTail(TMPEGVideoFrameInfoList& from, int32_t start, TMPEGVideoFrameInfoList& to) {
    while (from.Count() > start) {
        TMPEGVideoFrameInfo* info = from.TakeOut(start);
        to.Add(info);
        info->Release();
    }
}

int32_t LastIndexWhere(const TMPEGVideoFrameInfoList& list, bool (*match)(const TMPEGVideoFrameInfo*)) {
    for (int32_t i = list.Count() - 1; i >= 0; --i)
        if (match(list[i]))
            return i;
    return -1;
}

} // namespace

TMPEGVideoEncoder_GOPPlanner::TMPEGVideoEncoder_GOPPlanner(const TMPEGVideoEncoder_Settings& settings, TEmitBatch emit)
    : Settings(settings), EmitBatch(std::move(emit)) {
    Reset();
}

void TMPEGVideoEncoder_GOPPlanner::Reset() {
    Pending.Clear();
    CarriedReference.Reset();
    SetCounters(Settings.GOPICount, 0, 0);
    PlannedCount = 0;
    CarriedGOPFields = 0;
    NextStartsGOP = true;
    NextSequence = 0;
    Segment = InitialSegmentRate(Settings.Config);
}

bool TMPEGVideoEncoder_GOPPlanner::IsRealtime() const {
    const uint8_t mode = Settings.Config.RateControlMode;
    return mode == MPEGVideoEncoder_RateControlMode_Realtime_CBR || mode == MPEGVideoEncoder_RateControlMode_Realtime_CQ;
}

void TMPEGVideoEncoder_GOPPlanner::SetCounters(int32_t i, int32_t p, int32_t b) {
    RemainingI = i;
    RemainingP = p;
    RemainingB = b;
}

TMPEGVideoEncoder_GOPPlanner::TGOPLength TMPEGVideoEncoder_GOPPlanner::Measure(const TMPEGVideoFrameInfoList& batch) const {
    TGOPLength length{CarriedGOPFields, 0};
    for (int32_t i = 0; i < batch.Count(); ++i) {
        const TMPEGVideoFrameInfo* info = batch[i];
        const int64_t f = FieldsOf(info);
        if (info->PictureType == PictureType_I) {
            // B pictures shown before the I of an open GOP belong to that GOP.
            length.G = (Settings.ClosedGOP ? 0 : length.T) + f;
            length.T = 0;
        } else if (info->PictureType == PictureType_P) {
            length.G += length.T + f;
            length.T = 0;
        } else {
            length.T += f;
        }
    }
    return length;
}

bool TMPEGVideoEncoder_GOPPlanner::IsLongEnough(const TMPEGVideoFrameInfoList& batch) const {
    return batch.FieldTotal() >= 2 * (int64_t{Settings.GOPLength} - Settings.GOPBCount - 1) - 1;
}

void TMPEGVideoEncoder_GOPPlanner::ChooseType(TMPEGVideoFrameInfo* info, bool forced, uint8_t forcedType, bool repeat) {
    if (forced) {
        info->TypeForced = 1;
        info->PictureType = forcedType;
        info->IsRepeat = forcedType != PictureType_I && repeat;
        if (forcedType == PictureType_I)
            SetCounters(0, Settings.GOPPCount, Settings.GOPBCount);
        else if (forcedType == PictureType_P)
            RemainingB = Settings.GOPBCount;
        return;
    }
    if (RemainingB > 0) {
        info->PictureType = PictureType_B;
        --RemainingB;
    } else if (RemainingP > 0) {
        info->PictureType = PictureType_P;
        --RemainingP;
        if (RemainingP > 0 || (!Settings.ClosedGOP && RemainingI > 0))
            RemainingB = Settings.GOPBCount;
    } else {
        info->PictureType = PictureType_I;
        if (RemainingI > 0)
            SetCounters(RemainingI - 1, Settings.GOPPCount, Settings.GOPBCount);
    }
}

void TMPEGVideoEncoder_GOPPlanner::AddPicture(TMPEGVideoFrameInfo* info, const TMPEGVideoEncoder_Image& request) {
    bool forced = request.ForcePictureType && !IsRealtime() && request.PictureType <= PictureType_B;
    if (forced && request.PictureType == PictureType_B && Settings.RepeatCount > 0)
        forced = false;
    info->TypeForced = 0;
    info->IsRepeat = 0;

    const bool segmentChange =
        request.SegmentRateChange && Settings.Config.RateControlMode == MPEGVideoEncoder_RateControlMode_VBR_Manual;
    if (request.SegmentStart || segmentChange) {
        Emit(Pending, false);
        SetCounters(Settings.GOPICount, 0, 0);
        forced = false;
        if (segmentChange)
            Segment = SegmentRateFromPicture(Settings.Config, request);
    }

    ChooseType(info, forced, request.PictureType, request.IsRepeat != 0);
    bool forcedI = forced && info->PictureType == PictureType_I;
    if (info->DisplayNumber == 0 && info->PictureType != PictureType_I) {
        // A stream starts with an I picture whatever was asked; it starts a whole GOP.
        info->PictureType = PictureType_I;
        info->IsRepeat = 0;
        SetCounters(0, Settings.GOPPCount, Settings.GOPBCount);
        forcedI = true;
    }
    ++PlannedCount;

    TMPEGVideoFrameInfo* last = Pending.Last();
    if (forcedI && IsB(last) && !last->TypeForced) {
        const TGOPLength length = Measure(Pending);
        if (length.G + length.T <= 2 * int64_t{Settings.MaxGOPLength})
            last->PictureType = PictureType_P;
    }
    if (Settings.ClosedGOP && info->PictureType == PictureType_I && IsB(last))
        last->PictureType = PictureType_P;

    LimitGOPLength(info);
    if (forcedI && EmitPendingIfLongEnough()) // a forced I starts the next batch
        NextStartsGOP = Settings.ClosedGOP;

    Pending.Add(info);
    if (!Settings.ClosedGOP)
        CutOverlongBatch(info);

    if (!forced && RemainingI == 0 && RemainingP == 0 && RemainingB == 0) {
        EmitPendingIfLongEnough();
        SetCounters(Settings.GOPICount, 0, Settings.ClosedGOP ? 0 : Settings.GOPBCount);
        NextStartsGOP = Settings.ClosedGOP;
    }
    if (IsRealtime() && info->PictureType != PictureType_B)
        Emit(Pending, false);
}

void TMPEGVideoEncoder_GOPPlanner::LimitGOPLength(TMPEGVideoFrameInfo* info) {
    const int64_t limit = 2 * int64_t{Settings.MaxGOPLength};
    const int64_t f = FieldsOf(info);
    const TGOPLength length = Measure(Pending);
    const uint8_t type = info->PictureType;
    TMPEGVideoFrameInfo* last = Pending.Last();

    if (Settings.ClosedGOP) {
        // An I starts a GOP of its own, so only P and B pictures can make one too long.
        const int64_t g = type == PictureType_I ? 0 : length.G;
        if (g + length.T + f <= limit)
            return;
        if (IsB(last))
            last->PictureType = PictureType_P;
        info->PictureType = PictureType_I;
        info->IsRepeat = 0;
        SetCounters(0, Settings.GOPPCount, Settings.GOPBCount);
        if (EmitPendingIfLongEnough())
            NextStartsGOP = true;
        return;
    }

    bool exceeded;
    if (type == PictureType_I)
        exceeded = length.T + f > limit;
    else if (type == PictureType_P)
        exceeded = length.G + length.T + f > limit;
    else
        exceeded = length.T + f > limit;
    if (!exceeded)
        return;
    if (type == PictureType_B && IsB(last)) {
        last->PictureType = PictureType_I;
        last->IsRepeat = 0;
        SetCounters(0, Settings.GOPPCount, std::max(Settings.GOPBCount - 1, 0));
    } else {
        info->PictureType = PictureType_I;
        info->IsRepeat = 0;
        SetCounters(0, Settings.GOPPCount, Settings.GOPBCount);
    }
    TMPEGVideoFrameInfoList aside;
    SetTrailingBAside(Pending, aside);
    EmitPendingIfLongEnough();
    MoveTail(aside, 0, Pending);
}

void TMPEGVideoEncoder_GOPPlanner::SetTrailingBAside(TMPEGVideoFrameInfoList& batch, TMPEGVideoFrameInfoList& aside) {
    const int32_t lastNonB = LastIndexWhere(batch, [](const TMPEGVideoFrameInfo* p) { return !IsB(p); });
    if (lastNonB >= 0 && 2 * lastNonB >= batch.Count())
        MoveTail(batch, lastNonB + 1, aside);
}

void TMPEGVideoEncoder_GOPPlanner::CutOverlongBatch(const TMPEGVideoFrameInfo* info) {
    const int64_t fields = Pending.FieldTotal();
    const int64_t length = Settings.GOPLength;
    const bool isB = IsB(info);
    if (!((fields > 4 * length && !isB) || (fields > 6 * length && isB && !info->IsRepeat)))
        return;
    const int32_t lastI =
        LastIndexWhere(Pending, [](const TMPEGVideoFrameInfo* p) { return p->PictureType == PictureType_I; });
    const int32_t count = Pending.Count();
    if (lastI < 0 || 10 * int64_t{count - lastI} > 3 * int64_t{count})
        return;
    TMPEGVideoFrameInfoList tail;
    MoveTail(Pending, lastI, tail);
    TMPEGVideoFrameInfoList aside;
    SetTrailingBAside(Pending, aside);
    Emit(Pending, false);
    MoveTail(aside, 0, Pending);
    MoveTail(tail, 0, Pending);
}

bool TMPEGVideoEncoder_GOPPlanner::EmitPendingIfLongEnough() {
    if (Pending.Count() == 0 || !IsLongEnough(Pending))
        return false;
    Emit(Pending, false);
    return true;
}

void TMPEGVideoEncoder_GOPPlanner::Flush() { Emit(Pending, true); }

void TMPEGVideoEncoder_GOPPlanner::FixTrailingB(TMPEGVideoFrameInfoList& batch) {
    TMPEGVideoFrameInfo* last = batch.Last();
    if (!IsB(last))
        return;
    const TGOPLength length = Measure(batch);
    if (length.G + length.T > 2 * int64_t{Settings.MaxGOPLength}) {
        last->PictureType = PictureType_I;
        last->IsRepeat = 0;
        const int32_t n = batch.Count();
        if (Settings.ClosedGOP && n >= 2 && IsB(batch[n - 2]))
            batch[n - 2]->PictureType = PictureType_P;
    } else {
        last->PictureType = PictureType_P;
    }
}

void TMPEGVideoEncoder_GOPPlanner::Emit(TMPEGVideoFrameInfoList& batch, bool endOfStream) {
    if (batch.Count() == 0)
        return;
    FixTrailingB(batch);
    // The GOP length carried into the next batch: the emitted batch ends in a reference.
    const TGOPLength length = Measure(batch);
    CarriedGOPFields = length.G;

    batch.SetCarriedReference(CarriedReference.Get());
    batch.SegmentRate = Segment;
    batch.Sequence = NextSequence++;
    batch.EndOfStream = endOfStream;
    batch.StartsGOP = NextStartsGOP;
    NextStartsGOP = false;
    TMPEGVideoFrameInfo* lastReference = batch.Last();
    lastReference->IsLastReference = 1;
    CarriedReference = TFrameInfoRef(lastReference);
    EmitBatch(batch);
    batch.Clear();
}

} // namespace quillset
