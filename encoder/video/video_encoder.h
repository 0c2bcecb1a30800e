// The MPEG-1 / MPEG-2 video encoder: turns pushed pictures into a video elementary stream
// (ISO/IEC 11172-2, ISO/IEC 13818-2).
//
// Calling order: create over the output stream with the configuration (validated at once,
// raising EMPEGVideoEncoderError); set the events and preview settings; BeginEncode;
// EncodePicture for every picture in display order; EndEncode; destroy. Multipass variable bit
// rate (NeedsAnalysisPass) runs BeginAnalysisPass, AnalyzePicture for every picture and
// EndAnalysisPass first. The encoder plans GOPs and batches, analyses each batch (motion search,
// mode decisions, bit weights) and codes it under rate control: in the caller's thread, or with
// AnalyzeThreadCount / UseEncodeThread in pipeline threads, in which case the event hooks (log,
// preview, picture report) are called from those threads, Notify only from the caller's. The
// output is the same either way. The output stream is not owned.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "encoder/framework/base_encoder.h"
#include "encoder/kernels/color_conversion.h"
#include "encoder/kernels/kernel_table.h"
#include "encoder/video/batch_order.h"
#include "encoder/video/coding/picture_coder.h"
#include "encoder/video/coding/quantiser_tables.h"
#include "encoder/video/encoder_image.h"
#include "encoder/video/encoder_settings.h"
#include "encoder/video/frame_info.h"
#include "encoder/video/gop_planner.h"
#include "encoder/video/input/inverse_pulldown.h"
#include "encoder/video/input/scene_change_detector.h"
#include "encoder/video/motion_cache.h"
#include "encoder/video/motion/motion_search_buffer_pool.h"
#include "encoder/video/pipeline_threads.h"
#include "encoder/video/preview_list.h"
#include "encoder/video/rate_control/multipass_stats.h"
#include "encoder/video/rate_control/rate_controller.h"
#include "stream/bit_stream_writer.h"
#include "stream/large_stream.h"

namespace quillset {

class TMPEGVideoEncoder : public TMPEGBaseVideoEncoder {
public:
    // Validates the configuration and fills the kernel table for this processor (which may
    // raise EMPEGError when an outside library cannot be loaded).
    TMPEGVideoEncoder(TLargeStream* output, const TMPEGVideoEncoder_EncodeConfig& config);
    // The same with a given kernel table (tests, and callers that fill tables themselves).
    TMPEGVideoEncoder(TLargeStream* output, const TMPEGVideoEncoder_EncodeConfig& config, const TKernelTable& kernels);
    ~TMPEGVideoEncoder() override;

    void BeginEncode() override;
    void EndEncode() override;
    void GetEncodeConfig(TMPEGVideoEncoder_EncodeConfig& config) override;
    int32_t GetStartedPictureCount() override;
    long double GetPictureRate() override;
    int32_t GetProcessedPictureCount() override;
    bool NeedsAnalysisPass() override;
    int32_t GetAnalysisPassCount() override { return 1; }
    void GetImageFormat(TMPEGVideo_YUVImageFormat& format) override;
    const TColorConversionTable* GetColorConversion() override { return &ColorTable; }
    int32_t GetImagePoolSize() override { return 2 * Settings.GOPLength; }
    void BeginAnalysisPass() override;
    void AnalyzePicture(const TMPEGVideoEncoder_Image& image) override;
    void EndAnalysisPass() override;
    void EncodePicture(const TMPEGVideoEncoder_Image& image) override;

    // Hands over a caller-owned stream for the multipass motion cache; taken only if none is
    // set yet. Without one, a MotionCacheLimit above 0 makes the encoder keep the cache in
    // temporary files of its own.
    void SetMotionCacheStream(TLargeStream* stream);
    // Pictures of the last pass whose motion came from the cache instead of a search.
    int64_t GetMotionCachePictureCount() const { return MotionCachePictures; }

    const TMPEGVideoEncoder_Settings& GetSettings() const { return Settings; }

private:
    void BeginPass(bool analysis);
    void EndPass();
    void LogPassNotes();
    void PushPicture(const TMPEGVideoEncoder_Image& image);
    std::unique_ptr<TMPEGVideo_YUVImage> ConvertPicture(const TMPEGVideoEncoder_Image& record);
    void AddPicture(const TMPEGVideoEncoder_Image& record, const TMPEGVideo_YUVImage& image);
    // The picture-input filters: inverse 3:2 pulldown (mode Auto_Inv32Pulldown) and scene change
    // detection (DetectSceneChange), set up per pass and drained at its end.
    void ResetInputFilters();
    void FlushInputFilters();
    void AddCodedPicture(TMPEGVideoEncoder_Image record, const TMPEGVideo_YUVImage& image,
                         const TMPEGVideoEncoder_PictureFlags* flags);
    void SetFieldFlags(TMPEGVideoFrameInfo& info) const;

    // The batch pipeline.
    void HandleBatch(TMPEGVideoFrameInfoList& planned);
    void AnalyzeBatch(TMPEGVideoFrameInfoList& batch);
    void EncodeBatch(TMPEGVideoFrameInfoList& batch);
    TPictureCodingResult EncodeBatchPicture(TMPEGVideoFrameInfo& picture, TMPEGVideoEncoder_PreviewList& previews);

    // The pipeline stages and their threads (video_encoder_pipeline.cpp).
    void StartPipeline();
    // Waits for the threads to hand every batch on, then frees them.
    void FinishPipeline();
    // Frees the threads without waiting for their work (destruction, failed passes).
    void StopPipeline() noexcept;
    void Dispatch(TMPEGVideoFrameInfoList& batch);
    void RunAnalysisStage(TMPEGVideoFrameInfoList& batch);
    void DispatchToEncoding(TMPEGVideoFrameInfoList& batch);
    // The motion cache: records read into a batch's pictures before its analysis, or the
    // pictures' records stored after it (in batch order).
    void LoadCachedMotion(TMPEGVideoFrameInfoList& batch);
    void StoreCachedMotion(TMPEGVideoFrameInfoList& batch);
    void RunEncodingStage(TMPEGVideoFrameInfoList& batch);
    // Notify, from the caller's thread only (the hook belongs to the host's thread).
    void NotifyFromCaller();
    bool IsRealtime() const;
    // Realtime modes: the rate of the stream since the last line, after a batch that started a GOP.
    void LogRealtimeRate(int64_t gopCountBefore);

    // Multipass variable bit rate (video_encoder_multipass.cpp).
    bool IsMultipass() const;
    bool IsMultipassCQ() const;
    void OpenStatistics();
    // The segment a batch is coded with in this pass (analysis settings or the finisher's).
    void ApplyPassSegment(TMPEGVideoFrameInfoList& batch);
    // The change of the batch's first displayed picture against the picture before it.
    void MeasureStartChange(TMPEGVideoFrameInfoList& batch);
    void MeasurePicture(const TMPEGVideoFrameInfo& picture, const TPictureCodingResult& result);
    void RecordBatchStatistics(const TMPEGVideoFrameInfoList& batch, int64_t bits);
    void FinishAnalysis();
    void AssignReconstruction(TMPEGVideoFrameInfo& picture);
    void WriteRepeatPictures(uint8_t pictureType, int64_t repeatedDisplayNumber);
    void ReportPicture(const TMPEGVideoFrameInfo& picture, const TPictureCodingResult& result);
    void ApplyPendingMatrices();
    void RebuildQuantiserTables();
    void WriteSummary();

    TLargeStream* Output;
    TMPEGVideoEncoder_Settings Settings;
    TKernelTable Kernels;
    TColorConversionTable ColorTable;
    TQuantiserTables Tables;
    TQuantMatrix IntraMatrix{};
    TQuantMatrix NonIntraMatrix{};
    bool HasPendingMatrices = false;
    TQuantMatrix PendingIntraMatrix{};
    TQuantMatrix PendingNonIntraMatrix{};

    std::unique_ptr<TMPEGVideoEncoder_RateController> Controller;
    TMotionSearchBufferPool SearchBufferPool;
    std::unique_ptr<TMPEGVideoEncoder_InversePulldown_32Pulldown> Pulldown;
    std::unique_ptr<TMPEGVideoEncoder_DetectSceneChange> SceneDetector;
    TMPEGVideoEncoder_GOPPlanner Planner;
    TMPEGVideoEncoder_StreamState State;
    std::unique_ptr<TLargeBitStreamWriter> Writer;
    TMPEGVideoEncoder_MotionCache MotionCache;
    int64_t MotionCachePictures = 0;

    // Pass state.
    bool PassActive = false;
    bool AnalysisPass = false;
    int32_t PassCount = 0;
    bool FirstPictureOfPass = true;
    long double RateAccumulator = 0;
    int64_t PictureCounter = 0;
    int64_t FieldCounter = 0;
    uint8_t CurrentSearchMode = 0;
    uint8_t CurrentSearchOption = 2;
    int64_t CodedPictures = 0;
    int64_t LastCodedDisplayNumber = -1;
    TPreviewSelection PreviewSelection;
    std::unique_ptr<TMPEGVideo_YUVImage> ReferenceBuffers[2];
    std::unique_ptr<TMPEGVideo_YUVImage> ScratchBuffer;
    int32_t NextReferenceBuffer = 0;

    // Multipass statistics; the measures of the batch being coded in an analysis pass.
    std::unique_ptr<TMPEGVideoEncoder_MultipassStatsFile> StatsFile;
    bool AnalysisConsumed = false;
    std::vector<int64_t> MeasuredBits;   // coded order
    std::vector<uint8_t> MeasuredTypes;
    double MeasuredDistortionSum = 0.0;
    double MeasuredDistortionMax = 0.0;
    double MeasuredActivity = 0.0;
    int64_t RateLineBits = 0;   // realtime modes: stream position and fields at the last rate line
    int64_t RateLineFields = 0;

    // Guarded by CounterLock.
    std::mutex CounterLock;
    int64_t InputPictureCount = 0;
    int64_t StartedSnapshot = 0;
    int64_t ProcessedSnapshot = 0;

    // The pipeline threads of the current pass (none without the multi-thread settings).
    std::thread::id CallerThread;
    std::unique_ptr<TMPEGVideoEncoder_EncodePipelineThread> EncodeThread;
    std::unique_ptr<TMPEGVideoEncoder_AnalyzePipelineThread> AnalyzeThread;
};

} // namespace quillset
