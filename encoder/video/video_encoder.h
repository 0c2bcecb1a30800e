// The MPEG-1 / MPEG-2 video encoder: turns pushed pictures into a video elementary stream
// (ISO/IEC 11172-2, ISO/IEC 13818-2).
//
// Calling order: create over the output stream with the configuration (validated at once,
// raising EMPEGVideoEncoderError); set the events and preview settings; BeginEncode;
// EncodePicture for every picture in display order; EndEncode; destroy. The encoder plans GOPs
// and batches, analyses each batch (motion search, mode decisions, bit weights) and codes it
// under rate control in the caller's thread. The output stream is not owned.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
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
#include "encoder/video/motion/motion_search_buffer_pool.h"
#include "encoder/video/preview_list.h"
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
    // set yet.
    void SetMotionCacheStream(TLargeStream* stream);

    const TMPEGVideoEncoder_Settings& GetSettings() const { return Settings; }

private:
    void BeginPass(bool analysis);
    void EndPass();
    void LogPassNotes();
    void PushPicture(const TMPEGVideoEncoder_Image& image);
    std::unique_ptr<TMPEGVideo_YUVImage> ConvertPicture(const TMPEGVideoEncoder_Image& record);
    void AddPicture(const TMPEGVideoEncoder_Image& record, const TMPEGVideo_YUVImage& image);
    void SetFieldFlags(TMPEGVideoFrameInfo& info) const;

    // The batch pipeline.
    void HandleBatch(TMPEGVideoFrameInfoList& planned);
    void AnalyzeBatch(TMPEGVideoFrameInfoList& batch);
    void EncodeBatch(TMPEGVideoFrameInfoList& batch);
    void EncodeBatchPicture(TMPEGVideoFrameInfo& picture, TMPEGVideoEncoder_PreviewList& previews);
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
    TMPEGVideoEncoder_GOPPlanner Planner;
    TMPEGVideoEncoder_StreamState State;
    std::unique_ptr<TLargeBitStreamWriter> Writer;
    TLargeStream* MotionCacheStream = nullptr;

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

    // Guarded by CounterLock.
    std::mutex CounterLock;
    int64_t InputPictureCount = 0;
    int64_t StartedSnapshot = 0;
    int64_t ProcessedSnapshot = 0;
};

} // namespace quillset
