// The batch pipeline of the video encoder: coded order and marks, the analysis stage, and the
// encoding stage with its repeat pictures, reports, log lines and previews.
#include <algorithm>
#include <string>

#include "encoder/video/coding/picture_analysis.h"
#include "encoder/video/syntax/header_writer.h"
#include "encoder/video/video_encoder.h"
#include "stream/exceptions.h"

namespace quillset {

void TMPEGVideoEncoder::HandleBatch(TMPEGVideoFrameInfoList& planned) {
    TMPEGVideoFrameInfoList batch;
    batch.MoveFrom(planned);
    batch.PreviewInterval = GetPreviewInterval();
    // Previewing every picture in order would hold the pipeline threads back.
    if (batch.PreviewInterval == 1 && (EncodeThread || AnalyzeThread))
        batch.PreviewInterval = 10;
    batch.PreviewsPerBatch = GetPreviewsPerBatch();
    {
        std::lock_guard lock(CounterLock);
        ProcessedSnapshot = InputPictureCount;
        if (!AnalysisPass)
            StartedSnapshot = InputPictureCount;
    }
    const bool realtime = IsRealtime();
    ApplyPassSegment(batch);
    OrderBatchForCoding(batch);
    LoadCachedMotion(batch);
    MeasureStartChange(batch);
    // Two-pass analysis measures every picture against its reconstruction.
    const bool keepAll = AnalysisPass && IsMultipass() && !IsMultipassCQ();
    MarkReconstructions(batch, PreviewSelection, !AnalysisPass || PreviewAllPasses, keepAll, realtime);
    Dispatch(batch);
}

void TMPEGVideoEncoder::AnalyzeBatch(TMPEGVideoFrameInfoList& batch) {
    for (int32_t i = 0; i < batch.Count(); ++i) {
        AnalyzeMacroblocks(Settings, Kernels, *batch[i], batch);
        NotifyFromCaller();
    }
    PropagateReferences(Settings, batch);
    if (Controller->WantsActivityWeights())
        ComputeActivityWeights(batch);
    const double scale = Settings.Config.AnalysisScale > 0 ? Settings.Config.AnalysisScale : 1.0;
    Controller->PlanBatch(batch, scale);
}

void TMPEGVideoEncoder::AssignReconstruction(TMPEGVideoFrameInfo& picture) {
    // References alternate between two buffers, so the one the next pictures predict from stays
    // intact; everything else is reconstructed into the scratch buffer.
    if (picture.KeepReconstruction && picture.PictureType != PictureType_B) {
        picture.Reconstructed = ReferenceBuffers[NextReferenceBuffer].get();
        NextReferenceBuffer ^= 1;
    } else {
        picture.Reconstructed = ScratchBuffer.get();
    }
}

void TMPEGVideoEncoder::WriteRepeatPictures(uint8_t pictureType, int64_t repeatedDisplayNumber) {
    for (int32_t i = 1; i <= Settings.RepeatCount; ++i) {
        const int64_t start = Writer->GetBitPosition();
        const int32_t vbvDelay = State.VBV.PictureHeader(pictureType, false, start);
        WriteSkippedPicture(*Writer, State.Syntax, PictureCodingTypeOf(pictureType), repeatedDisplayNumber, i, vbvDelay);
        State.Allocation.AddUnallocatedBits(Writer->GetBitPosition() - start);
    }
}

void TMPEGVideoEncoder::ApplyPendingMatrices() {
    if (!HasPendingMatrices)
        return;
    HasPendingMatrices = false;
    if (PendingIntraMatrix == IntraMatrix && PendingNonIntraMatrix == NonIntraMatrix)
        return;
    IntraMatrix = PendingIntraMatrix;
    NonIntraMatrix = PendingNonIntraMatrix;
    RebuildQuantiserTables();
}

void TMPEGVideoEncoder::ReportPicture(const TMPEGVideoFrameInfo& picture, const TPictureCodingResult& result) {
    TMPEGVideoEncoder_PictureReport report;
    report.DisplayNumber = picture.DisplayNumber;
    report.CodedNumber = CodedPictures;
    report.Time = picture.Time;
    report.FieldsBefore = picture.FieldsBefore;
    report.PictureType = picture.PictureType;
    report.ProgressiveFrame = picture.ProgressiveFrame;
    report.TopFieldFirst = picture.TopFieldFirst;
    report.RepeatFirstField = picture.RepeatFirstField;
    report.TargetBits = static_cast<int32_t>(std::min<int64_t>(result.TargetBits, 0x7FFFFFFF));
    report.PictureBits = static_cast<int32_t>(std::min<int64_t>(result.DataBits, 0x7FFFFFFF));
    report.TotalBits = static_cast<int32_t>(std::min<int64_t>(result.TotalBits, 0x7FFFFFFF));
    report.VBVBufferSize = Settings.VBVBufferSize;
    report.VBVFullness = static_cast<int32_t>(State.VBV.GetFullness());
    PictureEncoded(&report);
    if (AnalysisPass)
        return;
    const int displayNumber = static_cast<int>(picture.DisplayNumber);
    const char* type = PictureTypeLetter(picture.PictureType);
    if (result.ConstantQuality)
        Log(FormatText("frame=%8d [%s] compressed size=%8d", displayNumber, type, report.TotalBits));
    else
        Log(FormatText("frame=%8d [%s] estimated compressed size=%8d compressed size=%8d overflow=%8d", displayNumber,
                       type, report.TargetBits, report.TotalBits, State.VBV.GetLastOverflow()));
}

TPictureCodingResult TMPEGVideoEncoder::EncodeBatchPicture(TMPEGVideoFrameInfo& picture,
                                                           TMPEGVideoEncoder_PreviewList& previews) {
    if (Settings.RepeatCount > 0 && picture.PictureType == PictureType_I && LastCodedDisplayNumber >= 0)
        WriteRepeatPictures(PictureType_P, LastCodedDisplayNumber);
    // New matrices reach the decoder with the next sequence header; they apply from there.
    if (picture.HasMatrices) {
        HasPendingMatrices = true;
        PendingIntraMatrix = picture.IntraMatrix;
        PendingNonIntraMatrix = picture.NonIntraMatrix;
    }
    if (picture.PictureType == PictureType_I && NeedsSequenceHeader(State.Syntax))
        ApplyPendingMatrices();
    AssignReconstruction(picture);
    State.Allocation.SetGOPStartsClosed(Settings.ClosedGOP || State.Syntax.GOPCount <= 1);
    const TPictureBudget budget = State.Allocation.PictureBudget(picture);
    const TPictureCodingContext context{Settings, Kernels, Tables, *Controller, IntraMatrix, NonIntraMatrix, !AnalysisPass};
    if (FirstPictureOfPass) {
        // A dry run warms the rate controller's complexity model up on the real picture.
        FirstPictureOfPass = false;
        TMPEGVideoEncoder_StreamState trial = State;
        trial.VBV.Silent = true;
        TLargeNullBitStreamWriter counter;
        counter.SetBitPosition(Writer->GetBitPosition());
        const std::vector<TMBInfo> analysed = picture.Macroblocks;
        CodePicture(context, trial, counter, picture, budget);
        picture.Macroblocks = analysed;
    }
    TPictureCodingResult result = CodePicture(context, State, *Writer, picture, budget);
    result.ConstantQuality = budget.ConstantQuality;
    ReportPicture(picture, result);
    ++CodedPictures;
    LastCodedDisplayNumber = picture.DisplayNumber;
    previews.Offer(&picture);
    if (Settings.RepeatCount > 0 && picture.PictureType == PictureType_P)
        WriteRepeatPictures(PictureType_B, picture.DisplayNumber - 1);
    return result;
}

void TMPEGVideoEncoder::EncodeBatch(TMPEGVideoFrameInfoList& batch) {
    State.Allocation.BeginBatch(batch, *Controller);
    const bool previewable = !AnalysisPass || PreviewAllPasses;
    TMPEGVideoEncoder_PreviewList previews(batch.PreviewInterval, [this, previewable](TMPEGVideo_YUVImage* image,
                                                                                       int64_t displayNumber) {
        if (previewable)
            Preview(image, displayNumber);
    });
    if (!State.Allocation.GetQualityLogLine().empty())
        Log(State.Allocation.GetQualityLogLine());
    const int64_t start = Writer->GetBitPosition();
    const int64_t gopCountBefore = State.Syntax.GOPCount;
    const bool measure = AnalysisPass && IsMultipass();
    MeasuredBits.clear();
    MeasuredTypes.clear();
    MeasuredDistortionSum = MeasuredDistortionMax = MeasuredActivity = 0.0;
    for (int32_t i = 0; i < batch.Count(); ++i) {
        const TPictureCodingResult result = EncodeBatchPicture(*batch[i], previews);
        if (measure)
            MeasurePicture(*batch[i], result);
    }
    previews.Finish();
    const int64_t bits = Writer->GetBitPosition() - start;
    State.Allocation.EndBatch(bits);
    if (measure)
        RecordBatchStatistics(batch, bits);
    const double duration = State.Allocation.GetBatchDuration();
    if (IsRealtime())
        LogRealtimeRate(gopCountBefore);
    else if (!AnalysisPass && duration > 0)
        Log(FormatText("Current bitrate = %.2f kbps", static_cast<double>(bits) / duration / 1000.0));
}

void TMPEGVideoEncoder::LogRealtimeRate(int64_t gopCountBefore) {
    if (AnalysisPass || State.Syntax.GOPCount == gopCountBefore)
        return;
    const int64_t position = Writer->GetBitPosition();
    const double seconds =
        static_cast<double>(State.Syntax.FieldCount - RateLineFields) / (2.0 * static_cast<double>(Settings.NominalRate));
    if (seconds > 0)
        Log(FormatText("Current bitrate = %.2f kbps", static_cast<double>(position - RateLineBits) / seconds / 1000.0));
    Log("");
    RateLineBits = position;
    RateLineFields = State.Syntax.FieldCount;
}

} // namespace quillset
