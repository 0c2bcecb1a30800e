#include "encoder/kernels/kernel_slots.h"

namespace quillset {

namespace {
// Slot 23 has no name: it is never filled.
constexpr const char* kSlotNames[kKernelSlotCount] = {
    "ClearKernelState", "Sad16x16", "Sad16x16V", "Sad16x16H",
    "Sad16x16HV", "Sad16x8", "Sad16x8V", "Sad16x8H",
    "Sad16x8HV", "SadRgb16x16", "Sad16x16Packed", "Sse16x16",
    "Sse16x16V", "Sse16x16H", "Sse16x16HV", "Sse16x8",
    "Sse16x8V", "Sse16x8H", "Sse16x8HV", "Sse16x16Packed",
    "ReservedNoOp", "SseSums4x4", "SseSums4x4Best", "",
    "SseRgbSums4x4", "Sum4x4", "Sum4x2", "SumSums2x2",
    "SumRgb4x4", "Predict16", "Predict16V", "Predict16H",
    "Predict16HV", "Predict8", "Predict8V", "Predict8H",
    "Predict8HV", "PredictAvg16", "PredictAvg16V", "PredictAvg16H",
    "PredictAvg16HV", "PredictAvg8", "PredictAvg8V", "PredictAvg8H",
    "PredictAvg8HV", "FetchPacked16x16", "FetchPacked16x16V", "FetchPacked16x16H",
    "FetchPacked16x16HV", "FetchField16x8", "FetchField16x8V", "FetchField16x8H",
    "FetchField16x8HV", "AveragePacked16x16", "SumAndEnergy8x8", "DiffSadEnergy8x8",
    "DiffSadEnergy8x8Packed", "DiffSadEnergy8x8Field", "UseFloatLevelBound", "MaxLevelBound",
    "MaxLevelBoundF", "MaxLevelBoundFloatBlocks", "UseFloatQuantize", "QuantizeBlock",
    "QuantizeBlockF", "QuantizeFloatBlock", "UseFloatDequantIntraMpeg1", "DequantIntraMpeg1",
    "DequantIntraMpeg1F", "UseFloatDequantIntraMpeg2", "DequantIntraMpeg2", "DequantIntraMpeg2F",
    "UseFloatDequantInterMpeg1", "DequantInterMpeg1", "DequantInterMpeg1F", "UseFloatDequantInterMpeg2",
    "DequantInterMpeg2", "DequantInterMpeg2F", "DequantInterCoefMpeg1", "DequantInterCoefMpeg2",
    "LoadBlock8x8", "DiffBlock8x8", "StoreBlock8x8", "FillBlock8x8",
    "AddBlock8x8", "AddDc8x8", "ForwardDct", "ForwardDctF",
    "ForwardDctToFloat", "InverseDct", "InverseDctDcValue", "Rgb24ToYuv420",
    "Rgb24ToYuv422", "Rgb24ToYuv444", "Yuv420ToRgb24", "Yuv422ToRgb24",
    "Rgb32ToYuv420", "Rgb32ToYuv422", "Rgb32ToYuv444", "Yuv420ToRgb32",
    "Yuv422ToRgb32", "UyvyToYuv420", "UyvyToYuv422", "UyvyToYuv444",
    "Yuv420ToUyvy", "Yuv422ToUyvy", "Yuy2ToYuv420", "Yuy2ToYuv422",
    "Yuy2ToYuv444", "Yuv420ToYuy2", "Yuv422ToYuy2", "Rgb24ToRgb32Row",
    "HalveChromaWidth", "HalveChromaHeight", "PictureChangeMeasure", "PictureChangeMeasureNormalized",
    "ExcessDiffEnergy", "ExcessDiffEnergy3", "FastSearch_FrameSearch", "FastSearch_FieldSearch_Frame",
    "FastSearch_FieldSearch_Field", "FastZoomSearch_FrameSearch", "FastZoomSearch_FieldSearch_Frame", "FastZoomSearch_FieldSearch_Field",
    "ZoomSearch_FrameSearch", "ZoomSearch_FieldSearch_Frame", "ZoomSearch_FieldSearch_Field", "RGBZoomSearch_FrameSearch",
    "MotionEstimateSearch_FrameSearch", "MotionEstimateSearch_FieldSearch_Frame", "MotionEstimateSearch_FieldSearch_Field", "NoiseReduction2DPluginDLL",
    "NoiseReduction3DPluginDLL",
};
} // namespace

const char* KernelSlotName(int index) {
    return index >= 0 && index < kKernelSlotCount ? kSlotNames[index] : "";
}

bool IsKernelFlagSlot(int index) {
    return index == 58 || index == 62 || index == 66 || index == 69 || index == 72 || index == 75;
}

} // namespace quillset
