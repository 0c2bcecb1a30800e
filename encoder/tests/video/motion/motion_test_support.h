// Shared pieces of the motion-search tests: picture records, synthetic moving pictures and
// kernel tables.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "encoder/framework/yuv_image.h"
#include "encoder/kernels/kernel_sets.h"
#include "encoder/video/motion/motion_search_buffer.h"
#include "encoder/video/motion/motion_search_picture.h"

namespace quillset::testing {

// A picture record as the encoder keeps it, reduced to what motion search asks.
class TTestPicture : public TMotionSearchPicture {
public:
    TTestPicture(int32_t width, int32_t height, uint8_t pictureType = MotionSearchPictureType_P,
                 int64_t displayNumber = 0, TMotionSearchBufferPool* pool = nullptr, int32_t chromaFormat = 1)
        : PictureType(pictureType), DisplayNumber(displayNumber), Pool(pool) {
        TMPEGVideo_YUVImageFormat format;
        format.ChromaFormat = chromaFormat;
        format.Width = width;
        format.Height = height;
        format.PictureWidth = width;
        format.PictureHeight = height;
        Image = std::make_unique<TMPEGVideo_YUVImage>(nullptr, format);
        for (int32_t r = 0; r < Image->LumaHeight; ++r)
            for (int32_t c = 0; c < Image->LumaStride; ++c)
                Image->LumaRow(r)[c] = 0;
        for (int32_t r = 0; r < Image->ChromaHeight; ++r)
            for (int32_t c = 0; c < Image->ChromaStride; ++c)
                Image->CbRow(r)[c] = Image->CrRow(r)[c] = 128;
    }
    // Buffers go first: they hold the image.
    ~TTestPicture() override { Buffers.Release(); }

    TMPEGVideo_YUVImage* GetSearchSource() const override { return Image.get(); }
    int64_t GetSearchDisplayNumber() const override { return DisplayNumber; }
    uint8_t GetSearchPictureType() const override { return PictureType; }
    uint8_t GetSearchSpeed() const override { return Speed; }
    TMotionSearchPicture* GetPrevInDisplay() const override { return Prev; }
    TMotionSearchPicture* GetNextInDisplay() const override { return Next; }
    TMotionSearchBufferSet& GetSearchBuffers() override { return Buffers; }
    TMotionSearchBufferPool* GetSearchBufferPool() const override { return Pool; }

    int32_t Width() const { return Image->LumaStride; }
    int32_t Height() const { return Image->LumaHeight; }
    uint8_t& Luma(int32_t x, int32_t y) { return Image->LumaRow(y)[x]; }

    uint8_t PictureType;
    int64_t DisplayNumber;
    uint8_t Speed = 0;
    TMotionSearchPicture* Prev = nullptr;
    TMotionSearchPicture* Next = nullptr;
    TMotionSearchBufferPool* Pool;
    std::unique_ptr<TMPEGVideo_YUVImage> Image;
    TMotionSearchBufferSet Buffers;
};

// A smooth texture with some fine detail, defined at any real position, so that a picture can
// be sampled at sub-sample offsets (a pan) and a search can follow its slopes.
inline double Texture(double x, double y) {
    return 128.0 + 50.0 * std::sin(0.19 * x + 0.07 * y) + 35.0 * std::cos(0.11 * y - 0.05 * x) +
           12.0 * std::sin(0.61 * x) * std::cos(0.47 * y);
}

// A second texture for a moving object.
inline double ObjectTexture(double x, double y) {
    return 90.0 + 70.0 * std::cos(0.33 * x + 0.21 * y) + 20.0 * std::sin(0.9 * y);
}

// Deterministic small noise per sample position and picture (camera noise does not move).
inline int32_t Noise(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u ^ seed * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return static_cast<int32_t>(h % 5u) - 2;
}

inline uint8_t ToSample(double v) { return static_cast<uint8_t>(v < 0.0 ? 0.0 : (v > 255.0 ? 255.0 : std::lround(v))); }

// A scene: the background panned by (panX, panY) samples (fractions allowed) and an object of
// objectSize samples at (objectX, objectY), with noise of `seed` (0: none).
struct TScene {
    double PanX = 0.0;
    double PanY = 0.0;
    int32_t ObjectX = -1000;
    int32_t ObjectY = -1000;
    int32_t ObjectSize = 48;
    uint32_t Seed = 0;
};

inline void PaintScene(TTestPicture& picture, const TScene& s) {
    for (int32_t y = 0; y < picture.Height(); ++y)
        for (int32_t x = 0; x < picture.Width(); ++x) {
            const bool inObject = x >= s.ObjectX && x < s.ObjectX + s.ObjectSize && y >= s.ObjectY &&
                                  y < s.ObjectY + s.ObjectSize;
            double v = inObject ? ObjectTexture(x - s.ObjectX, y - s.ObjectY) : Texture(x + s.PanX, y + s.PanY);
            if (s.Seed != 0)
                v += Noise(x, y, s.Seed);
            picture.Luma(x, y) = ToSample(v);
        }
}

// The reference kernels only, no library bound (the built-in searches run).
inline TKernelTable ReferenceKernels() {
    TKernelTable table;
    MPEGEncoder_FuncSet_Normal(table);
    return table;
}

// The reference kernels with the processor's own kernels over them, no library bound.
inline TKernelTable ProcessorKernels() {
    TKernelTable table = ReferenceKernels();
    FillProcessorKernels(table, ActiveFeatures());
    return table;
}

} // namespace quillset::testing
