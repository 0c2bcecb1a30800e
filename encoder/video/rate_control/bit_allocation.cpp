#include "encoder/video/rate_control/bit_allocation.h"

#include <algorithm>
#include <cmath>

#include "encoder/video/rate_control/quality_model.h"

namespace quillset {

int64_t RoundHalfEven(double value) { return static_cast<int64_t>(std::nearbyint(value)); }

TMPEGVideoEncoder_BitAllocation::TMPEGVideoEncoder_BitAllocation(const TMPEGVideoEncoder_Settings& settings) {
    const uint8_t mode = settings.Config.RateControlMode;
    ConstantRateMode = mode == MPEGVideoEncoder_RateControlMode_CBR || mode == MPEGVideoEncoder_RateControlMode_Realtime_CBR;
    DebtNeverNegative = mode == MPEGVideoEncoder_RateControlMode_VBR_Manual ||
                        mode == MPEGVideoEncoder_RateControlMode_VBR_Auto || mode == MPEGVideoEncoder_RateControlMode_CQ ||
                        mode == MPEGVideoEncoder_RateControlMode_Realtime_CQ;
    FrameTimeRate = static_cast<double>(settings.FrameTimeRate);
}

void TMPEGVideoEncoder_BitAllocation::Reset() { Debt = 0; }

void TMPEGVideoEncoder_BitAllocation::BeginBatch(const TMPEGVideoFrameInfoList& batch,
                                                 TMPEGVideoEncoder_RateController& controller) {
    Segment = batch.SegmentRate;
    BatchDuration = static_cast<double>(batch.FrameTotal()) / FrameTimeRate;
    BatchWeight = 0.0;
    for (int32_t i = 0; i < batch.Count(); ++i)
        BatchWeight += batch[i]->SumBitWeight;
    const double d = BatchDuration;
    if (Segment.IsConstantQuality()) {
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

TPictureBudget TMPEGVideoEncoder_BitAllocation::PictureBudget(const TMPEGVideoFrameInfo& picture) const {
    TPictureBudget budget;
    const double share = BatchWeight > 0.0 ? picture.SumBitWeight / BatchWeight : 0.0;
    const double debt = static_cast<double>(Debt);
    if (!Segment.IsConstantQuality()) {
        const double a = std::max<double>(256, static_cast<double>(RoundHalfEven(share * BatchBudget)));
        budget.Allocation = static_cast<int64_t>(a);
        budget.Target = RoundHalfEven(std::min(1.5 * a, std::max(0.7 * a, a - 0.5 * debt)));
        return budget;
    }
    const auto bounded = [&](double a) {
        return std::min(RoundHalfEven(1.5 * a),
                        std::max(RoundHalfEven(0.7 * a), static_cast<int64_t>(a - std::min(0.0, debt))));
    };
    const double a = std::max<double>(256, static_cast<double>(RoundHalfEven(share * BatchMaximum)));
    budget.Allocation = static_cast<int64_t>(a);
    budget.Target = bounded(a);
    if (BatchMinimum > 0) {
        const double m = std::max<double>(256, static_cast<double>(RoundHalfEven(share * BatchMinimum)));
        budget.Minimum = std::min(bounded(m), budget.Target);
    }
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
    return budget;
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
