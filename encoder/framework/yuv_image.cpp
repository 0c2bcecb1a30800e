#include "encoder/framework/yuv_image.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/kernels/aligned_memory.h"

namespace quillset {

namespace {
// Kernels may read a little beyond the last row of a plane.
constexpr int64_t kPlaneSlack = 128;
} // namespace

std::recursive_mutex& ImageLock() {
    // Never destroyed: images may still be freed by other static objects at exit.
    static auto* const lock = new std::recursive_mutex();
    return *lock;
}

bool GetChromaShifts(int32_t chromaFormat, int32_t& horizontalShift, int32_t& verticalShift) {
    switch (chromaFormat) {
    case 1: // 4:2:0
        horizontalShift = 1;
        verticalShift = 1;
        return true;
    case 2: // 4:2:2
        horizontalShift = 1;
        verticalShift = 0;
        return true;
    default:
        return false;
    }
}

TMPEGVideo_YUVPlaneBuffer* NewPlaneBuffer(const TMPEGVideo_YUVImageFormat& format) {
    int32_t horizontalShift = 0;
    int32_t verticalShift = 0;
    if (!GetChromaShifts(format.ChromaFormat, horizontalShift, verticalShift) || format.Width < 0 ||
        format.Height < 0)
        throw EMPEGVideoEncoderYUVError(MPEGError_IllegalPicture);
    // Rounded to whole macroblocks; computed in 64 bits so that no request can overflow.
    const int64_t width = (int64_t{format.Width} + 15) & ~int64_t{15};
    const int64_t height = (int64_t{format.Height} + 15) & ~int64_t{15};
    const int64_t chromaWidth = width >> horizontalShift;
    const int64_t chromaHeight = height >> verticalShift;
    const int64_t size = width * height + 2 * chromaWidth * chromaHeight;
    if (size > std::numeric_limits<int32_t>::max() - kPlaneSlack)
        throw EMPEGVideoEncoderYUVError(MPEGError_IllegalPicture);

    auto* buffer = new TMPEGVideo_YUVPlaneBuffer();
    buffer->Format = format;
    buffer->Format.Width = static_cast<int32_t>(width);
    buffer->Format.Height = static_cast<int32_t>(height);
    buffer->Format.ChromaWidth = static_cast<int32_t>(chromaWidth);
    buffer->Format.ChromaHeight = static_cast<int32_t>(chromaHeight);
    buffer->Size = static_cast<int32_t>(size);
    try {
        buffer->Memory = static_cast<uint8_t*>(AllocAligned(static_cast<size_t>(size + kPlaneSlack)));
    } catch (...) {
        delete buffer;
        throw;
    }
    return buffer;
}

void FreePlaneBuffer(TMPEGVideo_YUVPlaneBuffer* buffer) {
    if (buffer == nullptr)
        return;
    FreeAligned(buffer->Memory);
    delete buffer;
}

TMPEGVideo_YUVImagePool::TMPEGVideo_YUVImagePool(int32_t capacity) : Capacity(capacity) {}

TMPEGVideo_YUVImagePool::~TMPEGVideo_YUVImagePool() {
    std::lock_guard lock(ImageLock());
    for (TMPEGVideo_YUVPlaneBuffer* buffer : Buffers) {
        if (buffer->RefCount > 0)
            buffer->Pool = nullptr; // its last image frees it
        else
            FreePlaneBuffer(buffer);
    }
    Buffers.clear();
}

TMPEGVideo_YUVPlaneBuffer* TMPEGVideo_YUVImagePool::Acquire(const TMPEGVideo_YUVImageFormat& format) {
    std::lock_guard lock(ImageLock());
    for (TMPEGVideo_YUVPlaneBuffer* buffer : Buffers)
        if (buffer->RefCount == 0 && buffer->Format == format)
            return buffer;
    Buffers.reserve(Buffers.size() + 1); // so that appending cannot fail after the allocation
    TMPEGVideo_YUVPlaneBuffer* buffer = NewPlaneBuffer(format);
    buffer->Pool = this;
    Buffers.push_back(buffer);
    return buffer;
}

void TMPEGVideo_YUVImagePool::Release(TMPEGVideo_YUVPlaneBuffer* buffer) {
    std::lock_guard lock(ImageLock());
    if (Capacity <= 0 || Buffers.size() <= static_cast<size_t>(Capacity))
        return; // stays idle in the list
    const auto it = std::find(Buffers.begin(), Buffers.end(), buffer);
    if (it == Buffers.end())
        return;
    Buffers.erase(it);
    FreePlaneBuffer(buffer);
}

TMPEGVideo_YUVImage::TMPEGVideo_YUVImage(TMPEGVideo_YUVImagePool* pool, const TMPEGVideo_YUVImageFormat& format) {
    std::lock_guard lock(ImageLock());
    Attach(pool != nullptr ? pool->Acquire(format) : NewPlaneBuffer(format));
}

TMPEGVideo_YUVImage::TMPEGVideo_YUVImage(TMPEGVideo_YUVPlaneBuffer* buffer) {
    Attach(buffer);
}

std::unique_ptr<TMPEGVideo_YUVImage> TMPEGVideo_YUVImage::CreateShared(const TMPEGVideo_YUVImage& source) {
    return std::unique_ptr<TMPEGVideo_YUVImage>(new TMPEGVideo_YUVImage(source.Buffer));
}

TMPEGVideo_YUVImage::~TMPEGVideo_YUVImage() {
    std::lock_guard lock(ImageLock());
    if (--Buffer->RefCount > 0)
        return;
    if (Buffer->Pool != nullptr)
        Buffer->Pool->Release(Buffer);
    else
        FreePlaneBuffer(Buffer);
}

void TMPEGVideo_YUVImage::Attach(TMPEGVideo_YUVPlaneBuffer* buffer) {
    std::lock_guard lock(ImageLock());
    Buffer = buffer;
    ++Buffer->RefCount;
    Format = buffer->Format;
    LumaStride = Format.Width;
    LumaHeight = Format.Height;
    ChromaStride = Format.ChromaWidth;
    ChromaHeight = Format.ChromaHeight;
    Memory = buffer->Memory;
    Size = buffer->Size;
    Y = Memory;
    Cb = Y + static_cast<ptrdiff_t>(LumaStride) * LumaHeight;
    Cr = Cb + static_cast<ptrdiff_t>(ChromaStride) * ChromaHeight;
}

} // namespace quillset
