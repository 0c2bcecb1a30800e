// The sum-picture and RGB search buffers.
#include <cassert>

#include "encoder/framework/yuv_image.h"
#include "encoder/kernels/color_conversion.h"
#include "encoder/video/motion/motion_search_buffer.h"

namespace quillset {

namespace {

// (bytes + 15) rounded down to a multiple of 16: the row pitch of sum and RGB pictures.
constexpr int32_t RowPitch(int32_t bytes) { return (bytes + 15) & ~15; }

uint16_t* SumRow(uint16_t* plane, int32_t pitch, int32_t row) {
    return reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(plane) + static_cast<ptrdiff_t>(row) * pitch);
}

template <typename T>
std::unique_ptr<TMotionSearchBuffer> NewBuffer(TMotionSearchBufferPool* pool, const TKernelTable& kernels,
                                               TMotionSearchPicture& picture) {
    return std::make_unique<T>(pool, kernels, picture);
}

template <typename T>
bool IsInstanceOf(const TMotionSearchBuffer& buffer) {
    return dynamic_cast<const T*>(&buffer) != nullptr;
}

template <typename T>
constexpr TMotionSearchBufferClassInfo MakeClassInfo(const char* name, TMotionSearchBufferKind kind) {
    return {name, kind, NewBuffer<T>, IsInstanceOf<T>};
}

} // namespace

const TMotionSearchBufferClassInfo TMotionSearchBuffer_FrameMode_ZoomSearch::ClassInfo =
    MakeClassInfo<TMotionSearchBuffer_FrameMode_ZoomSearch>("TMotionSearchBuffer_FrameMode_ZoomSearch",
                                                            MotionSearchBufferKind_FrameZoom);
const TMotionSearchBufferClassInfo TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo =
    MakeClassInfo<TMotionSearchBuffer_FieldMode_ZoomSearch>("TMotionSearchBuffer_FieldMode_ZoomSearch",
                                                            MotionSearchBufferKind_FieldZoom);
const TMotionSearchBufferClassInfo TMotionSearchBuffer_FrameMode_RGBZoomSearch::ClassInfo =
    MakeClassInfo<TMotionSearchBuffer_FrameMode_RGBZoomSearch>("TMotionSearchBuffer_FrameMode_RGBZoomSearch",
                                                               MotionSearchBufferKind_RGBZoom);

TMotionSearchBuffer_FrameMode_ZoomSearch::TMotionSearchBuffer_FrameMode_ZoomSearch(TMotionSearchBufferPool* pool,
                                                                                   const TKernelTable& kernels,
                                                                                   TMotionSearchPicture& picture)
    : TMotionSearchBuffer_FrameMode_ZoomSearch(pool, kernels, picture, 1) {}

TMotionSearchBuffer_FrameMode_ZoomSearch::TMotionSearchBuffer_FrameMode_ZoomSearch(TMotionSearchBufferPool* pool,
                                                                                   const TKernelTable& kernels,
                                                                                   TMotionSearchPicture& picture,
                                                                                   int32_t planes)
    : TMotionSearchBuffer(pool, kernels, picture) {
    SumWidth = Width / 4;
    SumHeight = Height / 4;
    SumPitch = RowPitch(2 * SumWidth);
    const size_t planeSize = static_cast<size_t>(SumPitch) * static_cast<size_t>(SumHeight);
    FrameSums = reinterpret_cast<uint16_t*>(AllocateMemory(planeSize * static_cast<size_t>(planes)));
    Handle.FrameSums = FrameSums;
    const uint8_t* y = GetY();
    for (int32_t r = 0; r < SumHeight; ++r) {
        uint16_t* row = SumRow(FrameSums, SumPitch, r);
        const uint8_t* src = y + static_cast<ptrdiff_t>(4 * r) * Width;
        for (int32_t c = 0; c < SumWidth; ++c)
            row[c] = static_cast<uint16_t>(Kernels.Sum4x4(src + 4 * c, Width));
    }
}

uint16_t* TMotionSearchBuffer_FrameMode_ZoomSearch::SumPlane(int32_t index) const {
    return SumRow(FrameSums, SumPitch, index * SumHeight);
}

TMotionSearchBuffer_FieldMode_ZoomSearch::TMotionSearchBuffer_FieldMode_ZoomSearch(TMotionSearchBufferPool* pool,
                                                                                   const TKernelTable& kernels,
                                                                                   TMotionSearchPicture& picture)
    : TMotionSearchBuffer_FrameMode_ZoomSearch(pool, kernels, picture, 3) {
    TopFieldSums = SumPlane(1);
    BottomFieldSums = SumPlane(2);
    Handle.TopFieldSums = TopFieldSums;
    Handle.BottomFieldSums = BottomFieldSums;
    const uint8_t* y = GetY();
    for (int32_t r = 0; r < SumHeight; ++r) {
        uint16_t* top = SumRow(TopFieldSums, SumPitch, r);
        uint16_t* bottom = SumRow(BottomFieldSums, SumPitch, r);
        const uint8_t* src = y + static_cast<ptrdiff_t>(4 * r) * Width;
        for (int32_t c = 0; c < SumWidth; ++c) {
            top[c] = static_cast<uint16_t>(Kernels.Sum4x2(src + 4 * c, 2 * Width));
            bottom[c] = static_cast<uint16_t>(Kernels.Sum4x2(src + Width + 4 * c, 2 * Width));
        }
    }
}

TMotionSearchBuffer_FrameMode_RGBZoomSearch::TMotionSearchBuffer_FrameMode_RGBZoomSearch(
    TMotionSearchBufferPool* pool, const TKernelTable& kernels, TMotionSearchPicture& picture)
    : TMotionSearchBuffer(pool, kernels, picture) {
    RgbPitch = RowPitch(3 * Width);
    RgbSumWidth = Width / 4;
    RgbSumHeight = Height / 4;
    RgbSumPitch = RowPitch(6 * RgbSumWidth);
    const size_t rgbSize = static_cast<size_t>(RgbPitch) * static_cast<size_t>(Height);
    uint8_t* memory = AllocateMemory(rgbSize + static_cast<size_t>(RgbSumPitch) * static_cast<size_t>(RgbSumHeight));
    Rgb = memory;
    RgbSums = reinterpret_cast<uint16_t*>(memory + rgbSize);

    const TMPEGVideo_YUVImage& s = *Source;
    const TPixelConversionKernel convert = s.Format.ChromaFormat == 2 ? Kernels.Yuv422ToRgb24 : Kernels.Yuv420ToRgb24;
    assert(convert != nullptr);
    convert(Rgb, Width, Height, s.Format.FieldChroma != 0, &FullRangeConversionTable(), s.ChromaStride, s.LumaStride,
            s.Cr, s.Cb, s.Y, RgbPitch);

    for (int32_t r = 0; r < RgbSumHeight; ++r) {
        uint16_t* row = SumRow(RgbSums, RgbSumPitch, r);
        const uint8_t* src = Rgb + static_cast<ptrdiff_t>(4 * r) * RgbPitch;
        for (int32_t c = 0; c < RgbSumWidth; ++c)
            Kernels.SumRgb4x4(src + 12 * c, RgbPitch, row + 3 * c);
    }
}

} // namespace quillset
