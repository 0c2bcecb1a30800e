#include "encoder/video/rate_control/rate_controller.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "encoder/video/rate_control/quality_model.h"
#include "encoder/video/syntax/scan_tables.h"

namespace quillset {

namespace {

// The weight of a macroblock before the picture-weight and batch-level scaling.
double MacroblockWeight(const TMBInfo& mb, uint8_t pictureType, double intraWeight, double meanMaxVar) {
    double w;
    if (mb.IsIntra()) {
        w = pictureType == PictureType_I ? intraWeight : (pictureType == PictureType_P ? 0.875 : 0.8) * intraWeight;
        if (mb.MaxVar1 < 3.0f)
            w *= 0.2;
        if (meanMaxVar > 0.0)
            w *= std::max(1.0, (mb.MaxVar1 / meanMaxVar - 1.0) / 30.0 + 1.0);
    } else {
        const bool isB = pictureType == PictureType_B;
        w = isB ? 0.85 : 2.75;
        if (!(mb.Flags & MBInfoFlag_LargeMotion) && mb.ResidualEnergy < 64)
            w *= 0.4;
        const double residual = mb.ResidualEnergy / (isB ? 16384.0 : 14336.0);
        if (residual > 1.0)
            w *= std::min(3.0, residual);
    }
    return w;
}

// The largest quantiser_scale_code whose scale does not exceed `scale` (1 below the first).
int32_t QuantiserCodeAtMost(double scale, bool nonLinear) {
    int32_t code = 1;
    for (int32_t c = 2; c <= 31; ++c)
        if (QuantiserScale(c, nonLinear) <= scale)
            code = c;
    return code;
}

} // namespace

TMPEGVideoEncoder_RateController_type1::TMPEGVideoEncoder_RateController_type1(const TMPEGVideoEncoder_Settings& settings,
                                                                           const TKernelTable& kernels)
    : Settings(settings), Kernels(kernels), BatchDurationRate(static_cast<double>(settings.FrameTimeRate)) {}

void TMPEGVideoEncoder_RateController_type1::Reset() {
    Complexity = kInitialComplexity;
    Picture = nullptr;
    ErrorAccumulator = 0.0;
}

void TMPEGVideoEncoder_RateController_type1::PlanBatch(TMPEGVideoFrameInfoList& batch, double scale) {
    const int32_t pictures = batch.Count();
    if (pictures == 0)
        return;
    const double frames = static_cast<double>(batch.FrameTotal());
    double g = 8.0 * scale;
    if (!batch.SegmentRate.IsConstantQuality()) {
        const double duration = frames / BatchDurationRate;
        const double density =
            batch.SegmentRate.TargetBitRate / duration / Settings.PaddedWidth / Settings.PaddedHeight;
        const double h = density > 0.0 ? std::sqrt(26.0 / density) : 2.0;
        g *= std::clamp(h, 0.7, 2.0);
    }
    int32_t pCount = 0;
    double maxVarSum = 0.0;
    int64_t macroblocks = 0;
    for (int32_t i = 0; i < pictures; ++i) {
        const TMPEGVideoFrameInfo* info = batch[i];
        pCount += info->PictureType == PictureType_P;
        for (const TMBInfo& mb : info->Macroblocks)
            maxVarSum += mb.MaxVar1;
        macroblocks += static_cast<int64_t>(info->Macroblocks.size());
    }
    if (pCount > 0 && pictures > 1)
        g *= std::min(2.0, std::sqrt(3.2 / (static_cast<double>(pictures - 1) / pCount)));
    const double meanMaxVar = macroblocks > 0 ? maxVarSum / static_cast<double>(macroblocks) : 0.0;

    double total = 0.0;
    for (int32_t i = 0; i < pictures; ++i) {
        TMPEGVideoFrameInfo* info = batch[i];
        double sum = 0.0;
        for (TMBInfo& mb : info->Macroblocks) {
            double w = MacroblockWeight(mb, info->PictureType, g, meanMaxVar);
            if (mb.Flags & MBInfoFlag_NoResidual)
                w *= 0.01;
            else if (info->PictureWeight > 0.0)
                w *= info->PictureWeight;
            mb.BitWeight = static_cast<float>(w);
            sum += w;
        }
        info->SumBitWeight = sum;
        total += sum;
    }
    // Keep every picture between a quarter and six times the mean picture weight.
    const double mean = total / pictures;
    for (int32_t i = 0; i < pictures; ++i) {
        TMPEGVideoFrameInfo* info = batch[i];
        const double sum = info->SumBitWeight;
        const double bound = sum < 0.25 * mean ? 0.25 * mean : (sum > 6.0 * mean ? 6.0 * mean : sum);
        if (bound == sum || sum <= 0.0)
            continue;
        const double factor = bound / sum;
        double scaled = 0.0;
        for (TMBInfo& mb : info->Macroblocks) {
            mb.BitWeight = static_cast<float>(mb.BitWeight * factor);
            scaled += mb.BitWeight;
        }
        info->SumBitWeight = scaled;
    }
}

int32_t TMPEGVideoEncoder_RateController_type1::QualityBudget(const TMPEGVideoFrameInfoList& batch, double quality) {
    const double duration = static_cast<double>(batch.FrameTotal()) / BatchDurationRate;
    if (duration <= 0.0)
        return 0;
    double weights = 0.0;
    for (int32_t i = 0; i < batch.Count(); ++i)
        weights += batch[i]->SumBitWeight;
    const double rate = weights * quality * 2.0 / duration;
    return static_cast<int32_t>(std::min(rate, static_cast<double>(std::numeric_limits<int32_t>::max())));
}

double TMPEGVideoEncoder_RateController_type1::ActivityFactor() const { return std::sqrt((MeanActivity - 1.0) / 50.0 + 1.0); }

void TMPEGVideoEncoder_RateController_type1::BeginPicture(const TMPEGVideoFrameInfo& picture,
                                                          const TRateControlPictureParams& params) {
    Picture = &picture;
    Params = params;
    const double count = std::max(1, Settings.MacroblockCount);
    MeanActivity = std::max(1.0, picture.SumMeanVar1 / count);
    const double base = ActivityFactor() * Complexity;
    BaseTarget = params.TargetBits > 0 ? std::clamp(base / std::sqrt(params.TargetBits), 0.1, 10.0) : 10.0;
    BaseMinimum = params.MinimumBits > 0 ? std::clamp(base / std::sqrt(params.MinimumBits), 0.1, 10.0) : 0.0;
    MeanMinVar = picture.SumMinVar1 / count;
    WeightSum = picture.SumBitWeight;
    MeanWeight = WeightSum / count;
    WeightsUsed = 0.0;
    BaseQuantisersUsed = 0.0;
    MacroblocksUsed = 0;
    ErrorAccumulator = 0.0;
    FeedbackTarget = 0.8;
    FeedbackMinimum = 0.8;
}

int32_t TMPEGVideoEncoder_RateController_type1::MacroblockQuantiser(int32_t index, const TMBInfo& mb, int64_t bitsSoFar) {
    const double w = mb.BitWeight;
    const double v = mb.MinVar1;
    double d = w > 0.0 ? (MeanWeight / w - 1.0) / 10.0 + 1.0 : 1.0;
    d = std::max(d, 0.01);
    if (v < MeanMinVar) {
        const double t = mb.IsIntra() ? 1.5 : 1.4;
        d *= (MeanMinVar + v * t) / (v + MeanMinVar * t);
    }
    if (index > 0 && WeightSum > 0.0) {
        const double share = WeightsUsed / WeightSum;
        const double count = std::max(1, Settings.MacroblockCount);
        const double tt = Params.TargetBits;
        const double gt = std::max(5120.0, 16.0 * tt / count);
        FeedbackTarget = 0.9 * FeedbackTarget + 0.1 * std::max(0.3, (bitsSoFar - share * tt) / gt + 1.0);
        if (Params.MinimumBits > 0) {
            const double tm = Params.MinimumBits;
            const double gm = std::max(5120.0, 16.0 * tm / count);
            FeedbackMinimum = 0.9 * FeedbackMinimum + 0.1 * std::max(0.3, (bitsSoFar - share * tm) / gm + 1.0);
        }
    }
    const double target = BaseTarget * FeedbackTarget * 6.2 * d;
    const double limit = Params.MinimumBits >= 1 ? BaseMinimum * FeedbackMinimum * 6.2 * d
                                                 : std::numeric_limits<double>::infinity();
    double scale;
    if (!Params.ConstantQuality) {
        scale = std::floor(target);
    } else {
        double h = mb.IsIntra() ? Params.IntraScale : Params.InterScale;
        if (Params.ActivityAdjust) {
            const double m = std::max<double>(mb.IsIntra() ? mb.MinVar1 : mb.IntraMinVar1, 1e-6);
            const double x = std::max(1.0, 20.0 / m);
            h /= CompressRatio(0.15, CompressRatio(0.03, x * x));
        }
        if (target > h) {
            scale = std::floor(target);
        } else if (h <= limit) {
            scale = std::floor(h);
            ErrorAccumulator += h - scale;
            if (ErrorAccumulator >= 1.0) {
                scale += 1.0;
                ErrorAccumulator -= 1.0;
            }
        } else {
            scale = std::floor(limit);
        }
    }
    const int32_t code = QuantiserCodeAtMost(scale, Params.NonLinearScale);
    WeightsUsed += w;
    BaseQuantisersUsed += QuantiserScale(code, Params.NonLinearScale) / (6.2 * d);
    ++MacroblocksUsed;
    return code;
}

void TMPEGVideoEncoder_RateController_type1::EndPicture(int64_t bits) {
    if (MacroblocksUsed == 0 || bits < 0)
        return;
    const double meanBase = BaseQuantisersUsed / MacroblocksUsed;
    Complexity = std::sqrt(static_cast<double>(bits)) * meanBase / ActivityFactor();
}

} // namespace quillset
