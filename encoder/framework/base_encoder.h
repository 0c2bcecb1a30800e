// The abstract encoders through which the encode run and the system encoder drive every concrete
// encoder without knowing its kind.
//
// Calling order: create the encoder over its input stream and hand it to the system encoder;
// set the events, the preview settings and the temporary folder; for video, while
// NeedsAnalysisPass (at most GetAnalysisPassCount times) run BeginAnalysisPass, AnalyzePicture
// for every picture and EndAnalysisPass; then BeginEncode, EncodePicture / PutSamples in movie
// order, EndEncode; finally free the system encoder, which frees its encoders.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "encoder/framework/audio_types.h"
#include "encoder/framework/yuv_image.h"

namespace quillset {

struct TMPEGVideoEncoder_EncodeConfig;   // the video encoder's effective configuration
struct TMPEGVideoEncoder_Image;          // one pushed picture
struct TMPEGVideoEncoder_PictureReport;  // the report of one coded picture

class TMPEGBaseEncoder {
public:
    using TLogEvent = std::function<void(TMPEGBaseEncoder* sender, const std::string& text)>;
    using TNotifyEvent = std::function<void(TMPEGBaseEncoder* sender)>;

    TMPEGBaseEncoder() = default;
    TMPEGBaseEncoder(const TMPEGBaseEncoder&) = delete;
    TMPEGBaseEncoder& operator=(const TMPEGBaseEncoder&) = delete;
    virtual ~TMPEGBaseEncoder() = default;

    // One line of the encode log (settings, pass starts, statistics); "" is an empty line.
    virtual void Log(const std::string& text);
    // After each unit of work and while waiting: the receiver shows progress.
    virtual void Notify();
    // Prepares the final, output-producing pass.
    virtual void BeginEncode() = 0;
    // Flushes all pending output and writes the stream end codes.
    virtual void EndEncode() = 0;

    TLogEvent OnLog;
    TNotifyEvent OnNotify;
};

class TMPEGBaseVideoEncoder : public TMPEGBaseEncoder {
public:
    using TPreviewEvent =
        std::function<void(TMPEGBaseEncoder* sender, TMPEGVideo_YUVImage* image, int64_t displayNumber)>;
    using TPictureEncodedEvent =
        std::function<void(TMPEGBaseEncoder* sender, const TMPEGVideoEncoder_PictureReport* report)>;

    // Frees the image pool under the image lock; images still in use outlive it.
    ~TMPEGBaseVideoEncoder() override;

    virtual void Preview(TMPEGVideo_YUVImage* image, int64_t displayNumber);
    virtual void PictureEncoded(const TMPEGVideoEncoder_PictureReport* report);
    virtual void GetEncodeConfig(TMPEGVideoEncoder_EncodeConfig& config) = 0;
    // Input pictures counted at the start of the latest batch of the encoding pass.
    virtual int32_t GetStartedPictureCount() = 0;
    // Coded pictures per second.
    virtual long double GetPictureRate() = 0;
    // Input pictures counted at the start of the latest batch of any pass (progress).
    virtual int32_t GetProcessedPictureCount() = 0;
    virtual bool NeedsAnalysisPass() = 0;
    virtual int32_t GetAnalysisPassCount() = 0;
    // Fills format (zeroed first) with the pictures this encoder accepts.
    virtual void GetImageFormat(TMPEGVideo_YUVImageFormat& format) = 0;
    virtual const TColorConversionTable* GetColorConversion() = 0;
    // The capacity of the image pool; must be positive.
    virtual int32_t GetImagePoolSize() = 0;
    virtual void BeginAnalysisPass() = 0;
    virtual void AnalyzePicture(const TMPEGVideoEncoder_Image& image) = 0;
    virtual void EndAnalysisPass() = 0;
    virtual void EncodePicture(const TMPEGVideoEncoder_Image& image) = 0;

    // A new image in the encoder's own format, owned by the caller.
    std::unique_ptr<TMPEGVideo_YUVImage> NewImage();

    // These four are shared with the threads that encode, preview and read; they hold the lock.
    int32_t GetPreviewInterval() const;
    void SetPreviewInterval(int32_t value);
    int32_t GetPreviewsPerBatch() const;
    void SetPreviewsPerBatch(int32_t value);
    int32_t GetVBVErrorCount() const;
    void SetVBVErrorCount(int32_t value);
    std::string GetTempDirectory() const;
    void SetTempDirectory(const std::string& value);

    TPreviewEvent OnPreview;
    TPictureEncodedEvent OnPictureEncoded;
    bool PreviewAllPasses = false; // previews are offered during analysis passes too

protected:
    std::unique_ptr<TMPEGVideo_YUVImagePool> ImagePool;

private:
    int32_t PreviewInterval = 1;  // a preview every PreviewInterval pictures
    int32_t PreviewsPerBatch = 0; // previews per batch of pictures, 0 or less: no limit
    int32_t VBVErrorCount = 0;    // buffer underflows and overflows found so far
    std::string TempDirectory;
};

// The six-byte stream descriptor an audio encoder reports to the multiplexer.
using TMPEGAudioStreamDescriptor = std::array<uint8_t, 6>;

class TMPEGBaseAudioEncoder : public TMPEGBaseEncoder {
public:
    virtual void GetConfig(TMPEGAudioEncoder_EncodeConfig& config) = 0;
    // Audio frames written so far.
    virtual int32_t GetFrameCount() = 0;
    // Audio frames per second.
    virtual long double GetFrameRate() = 0;
    // Fills the descriptor and returns its first byte.
    virtual uint8_t GetStreamDescriptor(TMPEGAudioStreamDescriptor& descriptor) = 0;
    virtual void PutSamples(const TMPEGAudioEncoder_Samples& samples) = 0;
};

} // namespace quillset
