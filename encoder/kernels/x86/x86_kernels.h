// The x86-64 kernel steps. FillSse2Kernels replaces slots with SSE2 kernels (the x86-64
// baseline); FillAvx2Kernels, applied after it on processors with AVX2, replaces some of those
// again where that pays. Every replacement gives the reference result bit for bit.
//
// The RGB to YUV imports have AVX2 kernels only: their colour tables may hold any values, so
// each pixel needs table lookups, which SSE2 cannot do faster than the reference; AVX2 gathers can.
#pragma once

#include "encoder/kernels/kernel_table.h"

namespace quillset::x86 {

void FillSse2Kernels(TKernelTable& table);
void FillAvx2Kernels(TKernelTable& table);

// The families, one file each.
void FillSse2BlockMeasures(TKernelTable& table);
void FillSse2Prediction(TKernelTable& table);
void FillSse2BlockOperations(TKernelTable& table);
void FillSse2Quantization(TKernelTable& table);
void FillSse2Dequantization(TKernelTable& table);
void FillSse2Transforms(TKernelTable& table);
void FillSse2FloatTransforms(TKernelTable& table);
void FillSse2PictureMeasures(TKernelTable& table);

void FillAvx2BlockMeasures(TKernelTable& table);
void FillAvx2Prediction(TKernelTable& table);
void FillAvx2Transforms(TKernelTable& table);
void FillAvx2FloatTransforms(TKernelTable& table);
void FillAvx2Quantization(TKernelTable& table);
void FillAvx2Dequantization(TKernelTable& table);
void FillAvx2PictureMeasures(TKernelTable& table);
void FillAvx2RgbConversions(TKernelTable& table);

} // namespace quillset::x86
