#include "encoder/framework/base_encoder.h"

namespace quillset {

void TMPEGBaseEncoder::Log(const std::string& text) {
    if (OnLog)
        OnLog(this, text);
}

void TMPEGBaseEncoder::Notify() {
    if (OnNotify)
        OnNotify(this);
}

TMPEGBaseVideoEncoder::~TMPEGBaseVideoEncoder() {
    std::lock_guard lock(ImageLock());
    ImagePool.reset();
}

void TMPEGBaseVideoEncoder::Preview(TMPEGVideo_YUVImage* image, int64_t displayNumber) {
    if (OnPreview)
        OnPreview(this, image, displayNumber);
}

void TMPEGBaseVideoEncoder::PictureEncoded(const TMPEGVideoEncoder_PictureReport* report) {
    if (OnPictureEncoded)
        OnPictureEncoded(this, report);
}

std::unique_ptr<TMPEGVideo_YUVImage> TMPEGBaseVideoEncoder::NewImage() {
    std::lock_guard lock(ImageLock());
    if (!ImagePool) {
        const int32_t capacity = GetImagePoolSize();
        if (capacity > 0)
            ImagePool = std::make_unique<TMPEGVideo_YUVImagePool>(capacity);
    }
    TMPEGVideo_YUVImageFormat format;
    GetImageFormat(format);
    return std::make_unique<TMPEGVideo_YUVImage>(ImagePool.get(), format);
}

int32_t TMPEGBaseVideoEncoder::GetPreviewInterval() const {
    std::lock_guard lock(ImageLock());
    return PreviewInterval;
}

void TMPEGBaseVideoEncoder::SetPreviewInterval(int32_t value) {
    std::lock_guard lock(ImageLock());
    PreviewInterval = value;
}

int32_t TMPEGBaseVideoEncoder::GetPreviewsPerBatch() const {
    std::lock_guard lock(ImageLock());
    return PreviewsPerBatch;
}

void TMPEGBaseVideoEncoder::SetPreviewsPerBatch(int32_t value) {
    std::lock_guard lock(ImageLock());
    PreviewsPerBatch = value;
}

int32_t TMPEGBaseVideoEncoder::GetVBVErrorCount() const {
    std::lock_guard lock(ImageLock());
    return VBVErrorCount;
}

void TMPEGBaseVideoEncoder::SetVBVErrorCount(int32_t value) {
    std::lock_guard lock(ImageLock());
    VBVErrorCount = value;
}

std::string TMPEGBaseVideoEncoder::GetTempDirectory() const {
    std::lock_guard lock(ImageLock());
    return TempDirectory;
}

void TMPEGBaseVideoEncoder::SetTempDirectory(const std::string& value) {
    std::lock_guard lock(ImageLock());
    TempDirectory = value;
}

} // namespace quillset
