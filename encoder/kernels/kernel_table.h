// The kernel table: the entry points of the numeric inner loops, filled by processor.
//
// This first version holds the pixel-format conversion slots that picture import and export
// use; the other slots join it with the kernel sets.
#pragma once

#include <cstdint>

namespace quillset {

struct TColorConversionTable;

// Conversion between a packed picture (RGB 24/32, UYVY, YUY2) and planar YUV. One argument list
// serves both directions: an import reads `packed` and writes the planes, an export the reverse.
// Width and height are luma pixels; chroma planes are half width (4:2:0 and 4:2:2) and half
// height (4:2:0). With fieldChroma a 4:2:0 conversion builds each chroma row from two rows of
// the same field. The table is used by the RGB kernels only.
using TPixelConversionKernel = void (*)(uint8_t* packed, int32_t width, int32_t height, bool fieldChroma,
                                        const TColorConversionTable* table, int32_t chromaPitch,
                                        int32_t lumaPitch, uint8_t* cr, uint8_t* cb, uint8_t* y,
                                        int32_t packedPitch);

struct TKernelTable {
    // Slots 91 to 110: per packed format, import into 4:2:0, 4:2:2, 4:4:4, export from 4:2:0, 4:2:2.
    TPixelConversionKernel Rgb24ToYuv420 = nullptr;
    TPixelConversionKernel Rgb24ToYuv422 = nullptr;
    TPixelConversionKernel Rgb24ToYuv444 = nullptr;
    TPixelConversionKernel Yuv420ToRgb24 = nullptr;
    TPixelConversionKernel Yuv422ToRgb24 = nullptr;
    TPixelConversionKernel Rgb32ToYuv420 = nullptr;
    TPixelConversionKernel Rgb32ToYuv422 = nullptr;
    TPixelConversionKernel Rgb32ToYuv444 = nullptr;
    TPixelConversionKernel Yuv420ToRgb32 = nullptr;
    TPixelConversionKernel Yuv422ToRgb32 = nullptr;
    TPixelConversionKernel UyvyToYuv420 = nullptr;
    TPixelConversionKernel UyvyToYuv422 = nullptr;
    TPixelConversionKernel UyvyToYuv444 = nullptr;
    TPixelConversionKernel Yuv420ToUyvy = nullptr;
    TPixelConversionKernel Yuv422ToUyvy = nullptr;
    TPixelConversionKernel Yuy2ToYuv420 = nullptr;
    TPixelConversionKernel Yuy2ToYuv422 = nullptr;
    TPixelConversionKernel Yuy2ToYuv444 = nullptr;
    TPixelConversionKernel Yuv420ToYuy2 = nullptr;
    TPixelConversionKernel Yuv422ToYuy2 = nullptr;
};

} // namespace quillset
