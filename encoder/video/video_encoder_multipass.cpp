// Multipass variable bit rate in the video encoder: the segment of each batch in the analysis
// and final passes, the measures of the analysis pass, the statistics records and the pass
// finishers.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "encoder/video/rate_control/multipass_finisher.h"
#include "encoder/video/rate_control/quality_model.h"
#include "encoder/video/video_encoder.h"
#include "stream/exceptions.h"

namespace quillset {

bool TMPEGVideoEncoder::IsMultipass() const {
    return Settings.Config.RateControlMode == MPEGVideoEncoder_RateControlMode_VBR_2PASS;
}

bool TMPEGVideoEncoder::IsMultipassCQ() const {
    return Settings.Config.MultipassVBRAlgorithm == MPEGVideoEncoder_MultipassVBRAlgorithm_MultipassCQ;
}

bool TMPEGVideoEncoder::NeedsAnalysisPass() { return IsMultipass() && !AnalysisConsumed; }

void TMPEGVideoEncoder::OpenStatistics() {
    if (StatsFile)
        StatsFile->Rewind();
    else
        StatsFile = std::make_unique<TMPEGVideoEncoder_MultipassStatsFile>(GetTempDirectory());
}

void TMPEGVideoEncoder::ApplyPassSegment(TMPEGVideoFrameInfoList& batch) {
    if (!IsMultipass())
        return;
    const TMPEGVideoEncoder_EncodeConfig& c = Settings.Config;
    TMPEGVideoEncoder_SegmentRate& segment = batch.SegmentRate;
    segment.MaxBitRate = c.MaxBitRate;
    segment.MinBitRate = c.MinBitRate;
    if (AnalysisPass) {
        if (IsMultipassCQ()) {
            // The whole pass at the initial quality estimate, with room for any picture.
            segment.Mode = SegmentMode_ConstantQuality;
            segment.MaxBitRate = static_cast<int32_t>(std::min<int64_t>(3LL * c.MaxBitRate, std::numeric_limits<int32_t>::max()));
            segment.MinBitRate = 0;
            segment.ActivityAdjust = 1;
            segment.RecordQualityStats = 1;
        } else {
            segment.Mode = SegmentMode_TargetBitRate;
            segment.TargetBitRate = static_cast<int32_t>(0.8 * c.AvgBitRate);
        }
        return;
    }
    if (!StatsFile || batch.Sequence >= StatsFile->Count())
        return; // no analysis made: the configured average
    const TMPEGVideoEncoder_MultipassStats record = StatsFile->Read(batch.Sequence);
    if (IsMultipassCQ()) {
        segment.Mode = SegmentMode_ConstantQuality;
        segment.Quality = record.FinalQuality;
        segment.RequiredBitRate = static_cast<int32_t>(std::min(record.TargetRate, 2147483647.0));
        segment.LogQuality = 1;
        segment.ActivityAdjust = 1;
        segment.CorrectQuality = 1;
    } else {
        segment.Mode = SegmentMode_TargetBitRate;
        segment.TargetBitRate = static_cast<int32_t>(std::min(record.TargetRate, 2147483647.0));
    }
}

void TMPEGVideoEncoder::MeasureStartChange(TMPEGVideoFrameInfoList& batch) {
    if (!AnalysisPass || !IsMultipass() || !IsMultipassCQ())
        return;
    TMPEGVideoFrameInfo* first = nullptr;
    for (int32_t i = 0; i < batch.Count(); ++i)
        if (batch[i]->BatchIndex == 0)
            first = batch[i];
    if (!first)
        return;
    first->StartChange = -1.0;
    const TMPEGVideoFrameInfo* before = first->PrevInDisplay;
    if (!before || !before->Source || !Kernels.ExcessDiffEnergy)
        return;
    const TMPEGVideo_YUVImage& a = *first->Source;
    const TMPEGVideo_YUVImage& b = *before->Source;
    double sum = 0.0;
    for (int32_t y = 0; y < Settings.PaddedHeight; ++y)
        sum += Kernels.ExcessDiffEnergy(a.Y + static_cast<ptrdiff_t>(y) * a.LumaStride,
                                        b.Y + static_cast<ptrdiff_t>(y) * b.LumaStride, Settings.PaddedWidth, 8);
    Kernels.ClearKernelState();
    first->StartChange = sum / (static_cast<double>(Settings.PaddedWidth) * Settings.PaddedHeight);
}

void TMPEGVideoEncoder::MeasurePicture(const TMPEGVideoFrameInfo& picture, const TPictureCodingResult& result) {
    MeasuredBits.push_back(result.TotalBits);
    MeasuredTypes.push_back(picture.PictureType);
    MeasuredActivity += std::sqrt(picture.SumMeanVar1 / Settings.MacroblockCount) / 10.0 + 1.0;
    if (IsMultipassCQ() || !picture.Reconstructed || !Kernels.PictureChangeMeasure)
        return;
    const double change = Kernels.PictureChangeMeasure(Settings.PaddedWidth, Settings.PaddedHeight, picture.Source->Y,
                                                       picture.Reconstructed->Y);
    Kernels.ClearKernelState();
    const double figure = std::sqrt(std::sqrt(std::max(0.0, change)));
    MeasuredDistortionSum += figure;
    MeasuredDistortionMax = std::max(MeasuredDistortionMax, figure);
}

void TMPEGVideoEncoder::RecordBatchStatistics(const TMPEGVideoFrameInfoList& batch, int64_t bits) {
    TMPEGVideoEncoder_MultipassStats record;
    const double frames = static_cast<double>(batch.FrameTotal());
    const double duration = frames / static_cast<double>(Settings.FrameTimeRate);
    const double quality = State.Allocation.GetBatchQuality();
    record.Duration = static_cast<float>(duration);
    record.Frames = static_cast<float>(frames);
    record.BitRate = duration > 0.0 ? static_cast<double>(bits) / duration : 0.0;
    record.Quality = quality;
    record.BaseQuality = quality;
    record.Distortion = 1.0 + MeasuredDistortionSum;
    record.Complexity = std::max(1.0, MeasuredDistortionMax) * frames;
    record.Activity = frames > 0.0 ? MeasuredActivity / frames : 0.0;
    int64_t firstDisplayed = std::numeric_limits<int64_t>::max();
    const TMPEGVideoFrameInfo* first = nullptr;
    for (int32_t i = 0; i < batch.Count(); ++i)
        if (batch[i]->DisplayNumber < firstDisplayed) {
            firstDisplayed = batch[i]->DisplayNumber;
            first = batch[i];
        }
    if (IsMultipassCQ()) {
        record.StartChange = first ? first->StartChange : -1.0;
        record.Motion = BatchMotionMeasure(MeasuredBits, MeasuredTypes, static_cast<double>(Settings.PictureRate),
                                           Settings.Config.Width, Settings.Config.Height, quality);
    }
    StatsFile->Append(record);
    Log(FormatText("frame=%8d (%5.1f)  Bitrate:%5.0f kbps  Motion:%6.2f  MotionScale:%6.2f  CQ: %3.2f",
                   static_cast<int>(first ? firstDisplayed : 0), frames, record.BitRate / 1000.0, record.Motion, 0.0,
                   quality));
}

void TMPEGVideoEncoder::FinishAnalysis() {
    if (!StatsFile)
        return;
    std::vector<TMPEGVideoEncoder_MultipassStats> records;
    for (int64_t i = 0; i < StatsFile->Count(); ++i)
        records.push_back(StatsFile->Read(i));
    const auto rewrite = [&] {
        for (size_t i = 0; i < records.size(); ++i)
            StatsFile->Write(static_cast<int64_t>(i), records[i]);
    };
    const TMultipassRates rates{static_cast<double>(Settings.Config.AvgBitRate),
                                static_cast<double>(Settings.Config.MaxBitRate),
                                static_cast<double>(Settings.Config.MinBitRate)};
    if (IsMultipassCQ()) {
        FinishMultipassCQ(records, rates, [this](const std::string& line) { Log(line); });
        rewrite();
    } else {
        FinishTwoPass(records, rates, rewrite);
    }
    AnalysisConsumed = true;
}

} // namespace quillset
