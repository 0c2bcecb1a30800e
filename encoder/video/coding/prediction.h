// Motion-compensated prediction of one macroblock (ISO/IEC 13818-2, 7.6): the half-sample
// kernel of a vector, chrominance vectors, and whole macroblock predictions.
//
// Vectors are in half samples. A prediction at (dx, dy) reads the reference at
// (x + (dx >> 1), y + (dy >> 1)) and interpolates where dx or dy is odd. Chrominance vectors are
// the luminance vector / 2 (toward zero) horizontally, and vertically for 4:2:0 only.
#pragma once

#include <cstdint>

#include "encoder/framework/yuv_image.h"
#include "encoder/kernels/kernel_table.h"
#include "encoder/video/macroblock_info.h"

namespace quillset {

// Kernels of a half-sample group by the vector's odd components (full, V, H, HV order).
TFetchKernel FetchPacked16x16Kernel(const TKernelTable& k, int32_t dx, int32_t dy);
TFetchKernel FetchField16x8Kernel(const TKernelTable& k, int32_t dx, int32_t dy);
TPredictKernel Predict16Kernel(const TKernelTable& k, int32_t dx, int32_t dy);
TPredictKernel Predict8Kernel(const TKernelTable& k, int32_t dx, int32_t dy);
TPredictKernel PredictAvg16Kernel(const TKernelTable& k, int32_t dx, int32_t dy);
TPredictKernel PredictAvg8Kernel(const TKernelTable& k, int32_t dx, int32_t dy);

// Division by 2 toward zero, the chrominance vector rule.
inline int32_t HalveTowardZero(int32_t v) { return v / 2; }

// The luminance prediction of the macroblock at (x, y) from `reference` into a packed 16x16
// buffer (analysis: predictions from source pictures). Frame prediction uses vectors[0]; field
// prediction predicts each field of the macroblock from its vector's reference field.
void FetchLumaPrediction(const TKernelTable& k, uint8_t* packed, const TMPEGVideo_YUVImage& reference, int32_t x,
                         int32_t y, bool field, const TMBVectorPair& vectors);

// The whole prediction (luminance and chrominance) of the macroblock at (mbX, mbY) written into
// `target` at the macroblock's place: forward, backward or both averaged, frame or field, from
// the references' pictures. Intra macroblocks are not predicted.
void PredictMacroblock(const TKernelTable& k, TMPEGVideo_YUVImage& target, const TMPEGVideo_YUVImage* forward,
                       const TMPEGVideo_YUVImage* backward, int32_t mbX, int32_t mbY, const TMBInfo& mb,
                       int32_t chromaFormat);

} // namespace quillset
