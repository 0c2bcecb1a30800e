#include "encoder/video/rate_control/bit_allocation.h"

#include <algorithm>
#include <cmath>

#include "encoder/video/rate_control/quality_model.h"
#include "encoder/video/rate_control/realtime_allocation.h"
#include "stream/exceptions.h"

namespace quillset {

int64_t RoundHalfEven(double value) { return static_cast<int64_t>(std::nearbyint(value)); }

TMPEGVideoEncoder_BitAllocation::TMPEGVideoEncoder_BitAllocation(const TMPEGVideoEncoder_Settings& settings) {
    const uint8_t mode = settings.Config.RateControlMode;
    ConstantRateMode = mode == MPEGVideoEncoder_RateControlMode_CBR || mode == MPEGVideoEncoder_RateControlMode_Realtime_CBR;
    DebtNeverNegative = mode == MPEGVideoEncoder_RateControlMode_VBR_Manual ||
                        mode == MPEGVideoEncoder_RateControlMode_VBR_Auto || mode == MPEGVideoEncoder_RateControlMode_CQ ||
                        mode == MPEGVideoEncoder_RateControlMode_Realtime_CQ;
    FrameTimeRate = static_cast<double>(settings.FrameTimeRate);
    InitialQuality = settings.InitialQuality;
    Settings = &settings;
}

void TMPEGVideoEncoder_BitAllocation::Reset() {
    Debt = 0;
    QualityCorrection = 1.0;
    QualityOverrun = 0;
}

void TMPEGVideoEncoder_BitAllocation::CorrectSegmentQuality() {
    const double d = BatchDuration;
    const double required = std::floor(d * Segment.RequiredBitRate);
    const double q = Segment.Quality;
    if (!Segment.CorrectQuality || required <= 0.0) {
        if (Segment.LogQuality)
            QualityLogLine = FormatText("Required bitrate=%5.2f kbps  Required quality = %3.2f",
                                        Segment.RequiredBitRate / 1000.0, q);
        return;
    }
    // The bits this batch should take so that the earlier overrun is paid back by a quarter,
    // within half and twice the requirement.
    const double wanted = std::min(std::max({std::ceil(required - 0.25 * static_cast<double>(QualityOverrun)), 256.0,
                                             std::ceil(0.5 * required)}),
                                   std::ceil(2.0 * required));
    const double ratio = wanted / required;
    QualityCorrection = 0.7 * QualityCorrection + 0.3 * ratio;
    const double corrected = 110.0 - std::sqrt((110.0 - q) * (110.0 - q) / std::pow(QualityCorrection, 1.5));
    Segment.Quality = std::min(100.0, std::max(0.0, std::min(10.0 * q, corrected)));
    if (Segment.LogQuality)
        QualityLogLine = FormatText("Req bitrate=%5.2f kbps  Org Req CQ = %3.2f  Req CQ = %3.2f  CQ correct = %5.2f (org %5.2f)",
                                    Segment.RequiredBitRate / 1000.0, q, Segment.Quality, QualityCorrection, ratio);
}

void TMPEGVideoEncoder_BitAllocation::EndBatch(int64_t batchBits) {
    if (Segment.IsConstantQuality() && Segment.CorrectQuality)
        QualityOverrun += batchBits - static_cast<int64_t>(static_cast<double>(Segment.RequiredBitRate) * BatchDuration);
}

void TMPEGVideoEncoder_BitAllocation::BeginBatch(const TMPEGVideoFrameInfoList& batch,
                                                 TMPEGVideoEncoder_RateController& controller) {
    Segment = batch.SegmentRate;
    BatchDuration = static_cast<double>(batch.FrameTotal()) / FrameTimeRate;
    BatchWeight = 0.0;
    for (int32_t i = 0; i < batch.Count(); ++i)
        BatchWeight += batch[i]->SumBitWeight;
    const double d = BatchDuration;
    QualityLogLine.clear();
    if (Segment.IsConstantQuality()) {
        if (Segment.RecordQualityStats)
            Segment.Quality = InitialQuality;
        CorrectSegmentQuality();
        BatchMaximum = std::max<int64_t>(256, RoundHalfEven(d * Segment.MaxBitRate));
        BatchMinimum = RoundHalfEven(d * Segment.MinBitRate);
        return;
    }
    if (Segment.Mode == SegmentMode_QualityBudget) {
        const double rate = controller.QualityBudget(batch, Segment.Quality);
        BatchBudget = std::min(static_cast<int64_t>(d * Segment.MaxBitRate),
                               std::max(static_cast<int64_t>(d * Segment.MinBitRate), static_cast<int64_t>(d * rate)));
    } else {
        BatchBudget = std::max<int64_t>(256, RoundHalfEven(d * Segment.TargetBitRate));
    }
}

int64_t TMPEGVideoEncoder_BitAllocation::BoundedShare(double a) const {
    return std::min(RoundHalfEven(1.5 * a),
                    std::max(RoundHalfEven(0.7 * a), static_cast<int64_t>(a - std::min(0.0, static_cast<double>(Debt)))));
}

TPictureBudget TMPEGVideoEncoder_BitAllocation::PictureBudget(const TMPEGVideoFrameInfo& picture) const {
    TPictureBudget budget;
    const double share = BatchWeight > 0.0 ? picture.SumBitWeight / BatchWeight : 0.0;
    const double debt = static_cast<double>(Debt);
    if ((Segment.Mode == SegmentMode_RealtimeCBR || Segment.Mode == SegmentMode_RealtimeCQ) && Settings) {
        const TRealtimeTargets t =
            RealtimeTargets(*Settings, Segment, picture.PictureType, picture.RepeatFirstField != 0, GOPStartsClosed);
        const double a = static_cast<double>(t.Allocation);
        budget.Allocation = t.Allocation;
        if (Segment.Mode == SegmentMode_RealtimeCBR) {
            budget.Target = RoundHalfEven(std::min(1.5 * a, std::max(0.7 * a, a - 0.5 * debt)));
            return budget;
        }
        budget.Target = BoundedShare(a);
        if (t.Minimum > 0)
            budget.Minimum = std::min(BoundedShare(static_cast<double>(t.Minimum)), budget.Target);
        SetQualityScales(picture, budget);
        return budget;
    }
    if (!Segment.IsConstantQuality()) {
        const double a = std::max<double>(256, static_cast<double>(RoundHalfEven(share * BatchBudget)));
        budget.Allocation = static_cast<int64_t>(a);
        budget.Target = RoundHalfEven(std::min(1.5 * a, std::max(0.7 * a, a - 0.5 * debt)));
        return budget;
    }
    const double a = std::max<double>(256, static_cast<double>(RoundHalfEven(share * BatchMaximum)));
    budget.Allocation = static_cast<int64_t>(a);
    budget.Target = BoundedShare(a);
    if (BatchMinimum > 0) {
        const double m = std::max<double>(256, static_cast<double>(RoundHalfEven(share * BatchMinimum)));
        budget.Minimum = std::min(BoundedShare(m), budget.Target);
    }
    SetQualityScales(picture, budget);
    return budget;
}

void TMPEGVideoEncoder_BitAllocation::SetQualityScales(const TMPEGVideoFrameInfo& picture, TPictureBudget& budget) const {
    budget.ConstantQuality = true;
    budget.ActivityAdjust = Segment.ActivityAdjust != 0;
    double base = QualityBase(Segment.Quality);
    double interBase = base;
    if (picture.PictureType == PictureType_P && Segment.FactorP > 0.0)
        interBase = base / Segment.FactorP;
    else if (picture.PictureType == PictureType_B && Segment.FactorB > 0.0)
        interBase = base / Segment.FactorB;
    if (picture.PictureWeight > 0.0) {
        base /= picture.PictureWeight;
        interBase /= picture.PictureWeight;
    }
    budget.IntraScale = QuantiserScaleOfBase(base);
    budget.InterScale = QuantiserScaleOfBase(interBase);
}

void TMPEGVideoEncoder_BitAllocation::EndPicture(const TPictureBudget& budget, int64_t bits) {
    Debt += bits - budget.Allocation;
    if (DebtNeverNegative || budget.ConstantQuality)
        Debt = std::max<int64_t>(Debt, 0);
}

int64_t TMPEGVideoEncoder_BitAllocation::EndStuffingBits() const {
    if (!ConstantRateMode || -Debt <= 1024)
        return 0;
    return -Debt - 1024;
}

} // namespace quillset
