// Planar YUV pictures as sources deliver them to the video encoder and as the encoder hands
// previews back: reference-counted plane buffers recycled through a pool, under one
// process-wide lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace quillset {

struct TKernelTable;
struct TColorConversionTable;

// The re-entrant lock that guards image reference counts, the pools' lists and the shared
// settings of the video encoders.
std::recursive_mutex& ImageLock();

// What a video encoder accepts; also the key under which pixel memory is recycled.
//
// Only 4:2:0 and 4:2:2 pictures can be held: a plane buffer or image of any other ChromaFormat
// (4:4:4 included) is refused with EMPEGVideoEncoderYUVError "Illegal picture", as is a
// negative Width or Height and a picture whose planes would not fit in 2^31 bytes.
struct TMPEGVideo_YUVImageFormat {
    int32_t ChromaFormat = 0; // 1 = 4:2:0, 2 = 4:2:2
    int32_t Width = 0;        // luma width
    int32_t Height = 0;
    int32_t ChromaWidth = 0;
    int32_t ChromaHeight = 0;
    int32_t PictureWidth = 0; // size the sources deliver (may be below Width / Height)
    int32_t PictureHeight = 0;
    uint8_t FieldChroma = 0;  // chroma subsampled within each field
    uint8_t MPEG2 = 0;
    uint8_t Option = 0;

    bool operator==(const TMPEGVideo_YUVImageFormat&) const = default;
};

// Chroma subsampling shifts of a chroma format; false for formats without divisors.
bool GetChromaShifts(int32_t chromaFormat, int32_t& horizontalShift, int32_t& verticalShift);

class TMPEGVideo_YUVImagePool;

// The pixel memory of one picture: Y plane, then Cb, then Cr, without gaps.
struct TMPEGVideo_YUVPlaneBuffer {
    TMPEGVideo_YUVImagePool* Pool = nullptr;
    int32_t RefCount = 0;
    TMPEGVideo_YUVImageFormat Format; // Width/Height rounded up to 16, chroma sizes derived
    uint8_t* Memory = nullptr;        // 32-byte aligned, 128 bytes of slack after Size
    int32_t Size = 0;
};

// Picture descriptor of an outside picture.
enum : int32_t {
    PictureDesc_None = 0,
    PictureDesc_RGB24 = 1,
    PictureDesc_RGB32 = 2,
    PictureDesc_YUV420Planar = 3,
    PictureDesc_YUV422Planar = 4,
    PictureDesc_YUY2 = 6, // Y0 U Y1 V
    PictureDesc_UYVY = 7, // U Y0 V Y1
};

struct TMPEGVideo_PictureDesc {
    int32_t PixelFormat = PictureDesc_None;
    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t* Pixels = nullptr;
    int32_t Pitch = 0; // bytes between rows, packed formats only
};

class TMPEGVideo_YUVImagePool {
public:
    // Capacity: how many buffers the pool keeps (busy and idle) before it frees released ones;
    // 0 or less keeps every buffer.
    explicit TMPEGVideo_YUVImagePool(int32_t capacity);
    // Frees the idle buffers; busy ones are detached and freed by their last image.
    ~TMPEGVideo_YUVImagePool();
    TMPEGVideo_YUVImagePool(const TMPEGVideo_YUVImagePool&) = delete;
    TMPEGVideo_YUVImagePool& operator=(const TMPEGVideo_YUVImagePool&) = delete;

    // The first idle buffer whose stored (rounded) format equals `format` in every field, or a
    // new buffer appended to the list. A request whose sizes are not already rounded and derived
    // never matches a stored format and always gets a new buffer. Takes ImageLock.
    TMPEGVideo_YUVPlaneBuffer* Acquire(const TMPEGVideo_YUVImageFormat& format);
    // Called when the last image of a buffer goes away: with a positive Capacity and more than
    // Capacity buffers in the list the buffer is freed, otherwise it stays idle. Takes ImageLock.
    void Release(TMPEGVideo_YUVPlaneBuffer* buffer);

    int32_t GetCapacity() const { return Capacity; }
    size_t GetBufferCount() const { return Buffers.size(); }

private:
    int32_t Capacity;
    std::vector<TMPEGVideo_YUVPlaneBuffer*> Buffers;
};

// A new plane buffer (not in any pool, RefCount 0) of the format: Width and Height rounded up
// to multiples of 16, the chroma sizes derived from them. Raises "Illegal picture" for a format
// that cannot be held (see TMPEGVideo_YUVImageFormat).
TMPEGVideo_YUVPlaneBuffer* NewPlaneBuffer(const TMPEGVideo_YUVImageFormat& format);
// Frees the memory and the record; null does nothing.
void FreePlaneBuffer(TMPEGVideo_YUVPlaneBuffer* buffer);

// Images come and go on any thread: attaching to and leaving a buffer take ImageLock. The
// pixels themselves are not guarded; whoever holds an image decides who writes them.
class TMPEGVideo_YUVImage {
public:
    // A new image on a buffer from the pool (or a buffer of its own when pool is null).
    TMPEGVideo_YUVImage(TMPEGVideo_YUVImagePool* pool, const TMPEGVideo_YUVImageFormat& format);
    // A second image on the same buffer as source, owned by the caller: no pixels are copied.
    static std::unique_ptr<TMPEGVideo_YUVImage> CreateShared(const TMPEGVideo_YUVImage& source);
    // The last image of a buffer returns it to its pool, or frees it when it has none.
    ~TMPEGVideo_YUVImage();
    TMPEGVideo_YUVImage(const TMPEGVideo_YUVImage&) = delete;
    TMPEGVideo_YUVImage& operator=(const TMPEGVideo_YUVImage&) = delete;

    uint8_t* LumaRow(int32_t row) const { return Y + static_cast<ptrdiff_t>(row) * LumaStride; }
    uint8_t* CbRow(int32_t row) const { return Cb + static_cast<ptrdiff_t>(row) * ChromaStride; }
    uint8_t* CrRow(int32_t row) const { return Cr + static_cast<ptrdiff_t>(row) * ChromaStride; }

    // Fills the image from an outside picture. PixelFormat 0 clears the image (Y 0, Cb and Cr
    // 128). Otherwise the picture must be the format's PictureWidth or rounded Width wide (and
    // likewise high), no larger than the planes, with Pixels set; a smaller picture first gets
    // the whole image cleared, so the margin right of and below it is black. Packed formats go
    // through the conversion kernel of `kernels` (conversionTable is passed to it unchanged);
    // with no table or an empty slot the pixels are left as they are. Planar 4:2:0 needs a
    // 4:2:0 image and planar 4:2:2 a 4:2:2 image; the source planes are tightly packed.
    // Anything else raises EMPEGVideoEncoderYUVError "Illegal picture", and a rejected call
    // leaves the image unchanged.
    void Import(const TMPEGVideo_PictureDesc& desc, const TColorConversionTable* conversionTable,
                const TKernelTable* kernels);
    // Writes the image into an outside picture: the reverse of Import with the same checks,
    // without margin filling; PixelFormat 0 does nothing.
    void Export(const TMPEGVideo_PictureDesc& desc, const TColorConversionTable* conversionTable,
                const TKernelTable* kernels) const;

    TMPEGVideo_YUVPlaneBuffer* Buffer = nullptr;
    TMPEGVideo_YUVImageFormat Format;
    int32_t LumaStride = 0;
    int32_t LumaHeight = 0;
    int32_t ChromaStride = 0;
    int32_t ChromaHeight = 0;
    uint8_t* Y = nullptr;
    uint8_t* Cb = nullptr;
    uint8_t* Cr = nullptr;
    uint8_t* Memory = nullptr;
    int32_t Size = 0;

private:
    explicit TMPEGVideo_YUVImage(TMPEGVideo_YUVPlaneBuffer* buffer);
    void Attach(TMPEGVideo_YUVPlaneBuffer* buffer);
};

} // namespace quillset
