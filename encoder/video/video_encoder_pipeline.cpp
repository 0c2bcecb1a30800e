// The batch pipeline of the video encoder: the analysis stage and the encoding stage, run in the
// caller's thread or in the pipeline threads, and what is given back after a batch.
//
// Neighbouring batches share one picture: the last reference of a batch is the carried-in
// reference of the next. Once its own batch is analysed, that picture is cut off from its
// batch's display links, so the next batch's analysis sees it alike whether the batch before is
// still being coded or long gone; its motion-search buffers stay until the picture itself is
// freed, since the next batch's analysis may use them while the batch before is being coded.
#include "encoder/video/video_encoder.h"

#include "encoder/video/coding/picture_analysis.h"

namespace quillset {

namespace {

void DetachFromDisplayLinks(TMPEGVideoFrameInfo& info) {
    if (info.PrevInDisplayOwned && info.PrevInDisplay)
        info.PrevInDisplay->Release();
    info.PrevInDisplayOwned = 0;
    info.PrevInDisplay = nullptr;
    info.NextInDisplay = nullptr;
}

// After a batch was coded: the analysis buffers and links of its pictures go, except what the
// carried-out reference still lends to the next batch.
void ReleaseCodedBatch(TMPEGVideoFrameInfoList& batch) {
    for (int32_t i = 0; i < batch.Count(); ++i) {
        TMPEGVideoFrameInfo* info = batch[i];
        info->ForwardRef = nullptr;
        info->BackwardRef = nullptr;
        if (info->IsLastReference)
            continue;
        info->SearchBuffers.Release();
        DetachFromDisplayLinks(*info);
    }
    batch.Clear();
}

} // namespace

void TMPEGVideoEncoder::NotifyFromCaller() {
    if (std::this_thread::get_id() == CallerThread)
        Notify();
}

bool TMPEGVideoEncoder::IsRealtime() const {
    const uint8_t mode = Settings.Config.RateControlMode;
    return mode == MPEGVideoEncoder_RateControlMode_Realtime_CBR || mode == MPEGVideoEncoder_RateControlMode_Realtime_CQ;
}

void TMPEGVideoEncoder::StartPipeline() {
    CallerThread = std::this_thread::get_id();
    StopPipeline();
    // The realtime modes code each batch as soon as it is planned, in the caller's thread.
    if (IsRealtime())
        return;
    const auto notify = [this] { NotifyFromCaller(); };
    if (Settings.Config.UseEncodeThread)
        EncodeThread = std::make_unique<TMPEGVideoEncoder_EncodePipelineThread>(
            [this](TMPEGVideoFrameInfoList& batch) { RunEncodingStage(batch); }, notify);
    if (Settings.Config.AnalyzeThreadCount > 0)
        AnalyzeThread = std::make_unique<TMPEGVideoEncoder_AnalyzePipelineThread>(
            Settings.Config.AnalyzeThreadCount, [this](TMPEGVideoFrameInfoList& batch) { RunAnalysisStage(batch); },
            [this](TMPEGVideoFrameInfoList& batch) { DispatchToEncoding(batch); }, notify);
}

void TMPEGVideoEncoder::FinishPipeline() {
    if (AnalyzeThread)
        AnalyzeThread->WaitAll();
    if (EncodeThread)
        EncodeThread->Wait();
    StopPipeline();
}

void TMPEGVideoEncoder::StopPipeline() noexcept {
    // The analysis workers go first: one may be handing a batch to the encoding thread.
    AnalyzeThread.reset();
    EncodeThread.reset();
}

void TMPEGVideoEncoder::Dispatch(TMPEGVideoFrameInfoList& batch) {
    if (AnalyzeThread) {
        AnalyzeThread->Submit(batch);
        return;
    }
    RunAnalysisStage(batch);
    DispatchToEncoding(batch);
}

void TMPEGVideoEncoder::RunAnalysisStage(TMPEGVideoFrameInfoList& batch) {
    try {
        AnalyzeBatch(batch);
    } catch (...) {
        UnlinkBatch(batch);
        batch.Clear();
        throw;
    }
    for (int32_t i = 0; i < batch.Count(); ++i)
        if (batch[i]->IsLastReference)
            DetachFromDisplayLinks(*batch[i]);
}

void TMPEGVideoEncoder::LoadCachedMotion(TMPEGVideoFrameInfoList& batch) {
    for (int32_t i = 0; i < batch.Count(); ++i) {
        TMPEGVideoFrameInfo& picture = *batch[i];
        picture.RecordMotion = MotionCache.IsWritingPass() ? 1 : 0;
        picture.MotionLoaded = MotionCache.IsReadingPass() && MotionCache.Load(picture.MotionRecord) ? 1 : 0;
    }
}

void TMPEGVideoEncoder::StoreCachedMotion(TMPEGVideoFrameInfoList& batch) {
    for (int32_t i = 0; i < batch.Count(); ++i) {
        TMPEGVideoFrameInfo& picture = *batch[i];
        if (picture.RecordMotion)
            MotionCache.Store(picture.MotionRecord);
        if (picture.MotionLoaded)
            ++MotionCachePictures;
        picture.RecordMotion = 0;
        picture.MotionRecord = {};
    }
}

void TMPEGVideoEncoder::DispatchToEncoding(TMPEGVideoFrameInfoList& batch) {
    // Batches arrive here one at a time and in order, also from the analysis workers.
    StoreCachedMotion(batch);
    if (EncodeThread) {
        EncodeThread->Submit(batch);
        return;
    }
    RunEncodingStage(batch);
}

void TMPEGVideoEncoder::RunEncodingStage(TMPEGVideoFrameInfoList& batch) {
    try {
        EncodeBatch(batch);
    } catch (...) {
        UnlinkBatch(batch);
        batch.Clear();
        throw;
    }
    ReleaseCodedBatch(batch);
}

} // namespace quillset
