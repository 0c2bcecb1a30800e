// Bit-rate and recording-time arithmetic on a configuration.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "config/model/mpeg_config.h"
#include "config/model/mpeg_tables.h"

namespace quillset {

namespace {

// ceil(rate x factor) with the product in extended precision.
int64_t CeilProduct(int64_t rate, double factor) {
    return static_cast<int64_t>(std::ceil(static_cast<long double>(rate) * static_cast<long double>(factor)));
}

// Sums of rates are kept in 64 bits and stored saturated, so that absurd settings cannot wrap.
int32_t Saturate(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

} // namespace

TMPEGConfig_RateSummary TMPEGConfig::GetRateSummary(int flags) const {
    TMPEGConfig_RateSummary s;
    const bool noOverhead = (flags & MPEGRateFlag_NoOverhead) != 0 ||
                            (!IsSystemOutput(OutputStreamType) && (flags & MPEGRateFlag_ElementaryOverhead) == 0);
    const double overhead = noOverhead ? 1.0 : kMPEGSystemOverhead;
    s.VideoOverhead = overhead;
    s.AudioOverhead = overhead;
    int64_t totalAvg = 0, totalMax = 0, totalMin = 0, minLimit = 0, maxLimit = 0, minAvgLimit = 0;

    if (OutputHasVideo(OutputStreamType) && (flags & MPEGRateFlag_NoVideo) == 0) {
        s.Video = Video.GetRateSettings();
        s.IsConstant = s.Video.IsCBR;
        totalAvg = s.Video.AvgBitRate >= 0 ? CeilProduct(s.Video.AvgBitRate, overhead) : -1;
        totalMax += CeilProduct(s.Video.MaxBitRate, overhead);
        totalMin += CeilProduct(s.Video.MinBitRate, overhead);
        const TMPEGVideoConfig_BitRateLimits limits = Video.GetBitRateLimits(true);
        maxLimit += CeilProduct(limits.MaxRate, overhead);
        minLimit += CeilProduct(limits.MinRate, overhead);
        minAvgLimit = CeilProduct(s.Video.AvgBitRate < 0 ? limits.MinRate : limits.MinAvgRate, overhead);
    }
    if (OutputHasAudio(OutputStreamType) && (flags & MPEGRateFlag_NoAudio) == 0) {
        const TMPEGAudioConfig_BitRates audio = Audio.GetBitRates(flags);
        s.AudioAvgBitRate = audio.Avg;
        s.AudioMaxBitRate = audio.Max;
        s.AudioMinBitRate = audio.Min;
        totalAvg = (totalAvg == -1 || s.Video.AvgBitRate < 0) ? -1 : totalAvg + CeilProduct(audio.Avg, overhead);
        totalMax += CeilProduct(audio.Max, overhead);
        maxLimit += CeilProduct(audio.Max, overhead);
        totalMin += CeilProduct(audio.Min, overhead);
        minLimit += CeilProduct(audio.Min, overhead);
        minAvgLimit += CeilProduct(audio.Min, overhead);
    }
    s.TotalAvgBitRate = Saturate(totalAvg);
    s.TotalMaxBitRate = Saturate(totalMax);
    s.TotalMinBitRate = Saturate(totalMin);
    s.TotalMinLimit = Saturate(minLimit);
    s.TotalMaxLimit = Saturate(maxLimit);
    s.TotalMinAvgLimit = Saturate(minAvgLimit);
    return s;
}

int64_t TMPEGConfig::GetRecordTime(TMPEGConfig_TargetMediaType media, bool pcmAudio, bool longest) const {
    const int flags = (OutputStreamType == MPEG_OutputStreamType_VideoAudio ? MPEGRateFlag_ElementaryOverhead : 0) |
                      (pcmAudio ? MPEGRateFlag_PCMAudio : 0);
    const TMPEGConfig_RateSummary s = GetRateSummary(flags);
    int64_t rate;
    if (longest)
        rate = Video.RateControlMode_ReadOnly ? s.TotalMinBitRate : std::max(s.TotalMinAvgLimit, s.TotalMinLimit);
    else
        rate = (s.IsConstant || s.TotalAvgBitRate >= 0) ? s.TotalAvgBitRate : s.TotalMaxBitRate;
    const long double capacity = static_cast<long double>(GetTargetMediaTypeInfo(media).Capacity);
    const long double bytesPerSecond = static_cast<long double>(std::max<int64_t>(1000, rate)) / 8;
    return static_cast<int64_t>(capacity * 0.98L / bytesPerSecond);
}

int32_t RecordTimeMinutes(int64_t seconds) {
    const int64_t minutes = seconds / 60;
    return static_cast<int32_t>(minutes / 5 * 5);
}

bool TMPEGConfig::AutoChooseByBitRate() {
    const TMPEGVideoConfig_RateSettings rates = Video.GetRateSettings();
    const int64_t rate = (!rates.IsCBR && rates.AvgBitRate < 0) ? rates.MaxBitRate : rates.AvgBitRate;
    bool changed = false;
    auto set = [&changed](auto& field, auto value) {
        if (field != value) {
            field = value;
            changed = true;
        }
    };
    const auto& sizes = WizardAutoChooseList.VideoSize;
    if (WizardAutoChooseList.EnableVideoSize && sizes.Count() > 0) {
        std::vector<int32_t> thresholds;
        for (int i = 0; i < sizes.Count(); ++i)
            thresholds.push_back(sizes[i].MinVideoBitRate);
        const auto& item = sizes[ChooseByThreshold(thresholds.data(), sizes.Count(), rate)];
        set(Video.Width, item.Width);
        set(Video.Height, item.Height);
        set(Video.VideoEncodeMode, item.VideoEncodeMode);
        set(Video.FrameRate, item.FrameRate);
        set(Video.AspectRatio, item.AspectRatio);
    }
    const auto& gops = WizardAutoChooseList.VideoGOP;
    if (WizardAutoChooseList.EnableVideoGOP && gops.Count() > 0) {
        std::vector<int32_t> thresholds;
        for (int i = 0; i < gops.Count(); ++i)
            thresholds.push_back(gops[i].MinVideoBitRate);
        const auto& item = gops[ChooseByThreshold(thresholds.data(), gops.Count(), rate)];
        set(Video.GOP_I_FrameCount, item.GOP_I_FrameCount);
        set(Video.GOP_P_FrameCount, item.GOP_P_FrameCount);
        set(Video.GOP_B_FrameCount, item.GOP_B_FrameCount);
    }
    return changed;
}

} // namespace quillset
