// Moving pictures in and out of YUV images: packed formats through the conversion kernels,
// planar formats by copying.
#include <cstring>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/framework/yuv_image.h"
#include "encoder/kernels/kernel_table.h"

namespace quillset {

namespace {

using TConversionSlot = TPixelConversionKernel TKernelTable::*;

// Per packed format, in table order: import into 4:2:0, 4:2:2, 4:4:4, export from 4:2:0, 4:2:2.
constexpr TConversionSlot kConversionSlots[4][5] = {
    {&TKernelTable::Rgb24ToYuv420, &TKernelTable::Rgb24ToYuv422, &TKernelTable::Rgb24ToYuv444,
     &TKernelTable::Yuv420ToRgb24, &TKernelTable::Yuv422ToRgb24},
    {&TKernelTable::Rgb32ToYuv420, &TKernelTable::Rgb32ToYuv422, &TKernelTable::Rgb32ToYuv444,
     &TKernelTable::Yuv420ToRgb32, &TKernelTable::Yuv422ToRgb32},
    {&TKernelTable::UyvyToYuv420, &TKernelTable::UyvyToYuv422, &TKernelTable::UyvyToYuv444,
     &TKernelTable::Yuv420ToUyvy, &TKernelTable::Yuv422ToUyvy},
    {&TKernelTable::Yuy2ToYuv420, &TKernelTable::Yuy2ToYuv422, &TKernelTable::Yuy2ToYuv444,
     &TKernelTable::Yuv420ToYuy2, &TKernelTable::Yuv422ToYuy2},
};

// The group of a packed pixel format in the table, or -1 for the others.
int PackedGroup(int32_t pixelFormat) {
    switch (pixelFormat) {
    case PictureDesc_RGB24: return 0;
    case PictureDesc_RGB32: return 1;
    case PictureDesc_UYVY: return 2;
    case PictureDesc_YUY2: return 3;
    default: return -1;
    }
}

// The kernel for a packed format and the image's chroma format, or null. Images hold only
// 4:2:0 and 4:2:2, so the 4:4:4 import entries are never chosen here.
TPixelConversionKernel ChooseConversionKernel(const TKernelTable* kernels, int group, int32_t chromaFormat,
                                              bool exporting) {
    if (kernels == nullptr || (chromaFormat != 1 && chromaFormat != 2))
        return nullptr;
    const int entry = (exporting ? 3 : 0) + chromaFormat - 1;
    return kernels->*kConversionSlots[group][entry];
}

[[noreturn]] void RaiseIllegalPicture() {
    throw EMPEGVideoEncoderYUVError(MPEGError_IllegalPicture);
}

// The checks import and export share: the size, the pixels and the pixel format against the
// image. Returns whether the picture covers the whole (rounded) image.
bool CheckPicture(const TMPEGVideo_YUVImage& image, const TMPEGVideo_PictureDesc& desc) {
    const TMPEGVideo_YUVImageFormat& format = image.Format;
    const bool widthFits = desc.Width == format.PictureWidth || desc.Width == format.Width;
    const bool heightFits = desc.Height == format.PictureHeight || desc.Height == format.Height;
    // A PictureWidth or PictureHeight beyond the planes would make the copies overrun them.
    const bool inside = desc.Width > 0 && desc.Width <= image.LumaStride && desc.Height > 0 &&
                        desc.Height <= image.LumaHeight;
    if (!widthFits || !heightFits || !inside || desc.Pixels == nullptr)
        RaiseIllegalPicture();
    switch (desc.PixelFormat) {
    case PictureDesc_RGB24:
    case PictureDesc_RGB32:
    case PictureDesc_UYVY:
    case PictureDesc_YUY2:
        break;
    case PictureDesc_YUV420Planar:
        if (format.ChromaFormat != 1)
            RaiseIllegalPicture();
        break;
    case PictureDesc_YUV422Planar:
        if (format.ChromaFormat != 2)
            RaiseIllegalPicture();
        break;
    default:
        RaiseIllegalPicture();
    }
    return desc.Width == image.LumaStride && desc.Height == image.LumaHeight;
}

void ClearImage(const TMPEGVideo_YUVImage& image) {
    std::memset(image.Y, 0, static_cast<size_t>(image.LumaStride) * static_cast<size_t>(image.LumaHeight));
    const size_t chroma = static_cast<size_t>(image.ChromaStride) * static_cast<size_t>(image.ChromaHeight);
    std::memset(image.Cb, 128, chroma);
    std::memset(image.Cr, 128, chroma);
}

// Copies `rows` rows of `width` bytes between tightly packed rows and the rows of a plane.
void CopyRows(uint8_t* plane, int32_t stride, uint8_t* packed, int32_t width, int32_t rows, bool intoPlane) {
    for (int32_t row = 0; row < rows; ++row) {
        uint8_t* planeRow = plane + static_cast<ptrdiff_t>(row) * stride;
        uint8_t* packedRow = packed + static_cast<ptrdiff_t>(row) * width;
        if (intoPlane)
            std::memcpy(planeRow, packedRow, static_cast<size_t>(width));
        else
            std::memcpy(packedRow, planeRow, static_cast<size_t>(width));
    }
}

// A planar picture smaller than the image: its Y plane, then its Cb and Cr planes, each read
// (or written) contiguously.
void CopyPlanarRows(const TMPEGVideo_YUVImage& image, const TMPEGVideo_PictureDesc& desc, bool intoImage) {
    int32_t horizontalShift = 0;
    int32_t verticalShift = 0;
    GetChromaShifts(image.Format.ChromaFormat, horizontalShift, verticalShift);
    const int32_t chromaWidth = desc.Width >> horizontalShift;
    const int32_t chromaRows = desc.Height >> verticalShift;
    uint8_t* source = desc.Pixels;
    CopyRows(image.Y, image.LumaStride, source, desc.Width, desc.Height, intoImage);
    source += static_cast<ptrdiff_t>(desc.Width) * desc.Height;
    CopyRows(image.Cb, image.ChromaStride, source, chromaWidth, chromaRows, intoImage);
    source += static_cast<ptrdiff_t>(chromaWidth) * chromaRows;
    CopyRows(image.Cr, image.ChromaStride, source, chromaWidth, chromaRows, intoImage);
}

void CallConversion(TPixelConversionKernel kernel, const TMPEGVideo_YUVImage& image,
                    const TMPEGVideo_PictureDesc& desc, const TColorConversionTable* conversionTable) {
    kernel(desc.Pixels, desc.Width, desc.Height, image.Format.FieldChroma != 0, conversionTable,
           image.ChromaStride, image.LumaStride, image.Cr, image.Cb, image.Y, desc.Pitch);
}

} // namespace

void TMPEGVideo_YUVImage::Import(const TMPEGVideo_PictureDesc& desc, const TColorConversionTable* conversionTable,
                                 const TKernelTable* kernels) {
    if (desc.PixelFormat == PictureDesc_None) {
        ClearImage(*this);
        return;
    }
    // Everything is checked before the first pixel changes.
    const bool wholeImage = CheckPicture(*this, desc);
    if (!wholeImage)
        ClearImage(*this); // the margin right of and below the picture becomes black

    const int group = PackedGroup(desc.PixelFormat);
    if (group >= 0) {
        if (TPixelConversionKernel kernel = ChooseConversionKernel(kernels, group, Format.ChromaFormat, false))
            CallConversion(kernel, *this, desc, conversionTable);
    } else if (wholeImage) {
        std::memcpy(Memory, desc.Pixels, static_cast<size_t>(Size));
    } else {
        CopyPlanarRows(*this, desc, true);
    }
}

void TMPEGVideo_YUVImage::Export(const TMPEGVideo_PictureDesc& desc, const TColorConversionTable* conversionTable,
                                 const TKernelTable* kernels) const {
    if (desc.PixelFormat == PictureDesc_None)
        return;
    const bool wholeImage = CheckPicture(*this, desc);

    const int group = PackedGroup(desc.PixelFormat);
    if (group >= 0) {
        if (TPixelConversionKernel kernel = ChooseConversionKernel(kernels, group, Format.ChromaFormat, true))
            CallConversion(kernel, *this, desc, conversionTable);
    } else if (wholeImage) {
        std::memcpy(desc.Pixels, Memory, static_cast<size_t>(Size));
    } else {
        CopyPlanarRows(*this, desc, false);
    }
}

} // namespace quillset
