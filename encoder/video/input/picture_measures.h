// The picture measures of the input filters (scene change detection, inverse 3:2 pulldown).
//
// Every measure sums a kernel over the lines of all three planes and returns
// (luminance sum + k x chrominance sum) / 128 in 64-bit integers, where k is the chroma
// subsampling divisor (horizontal x vertical: 4 for 4:2:0, 2 for 4:2:2) so that chrominance
// counts per luminance sample. Pictures must share one format (Format.Width x Format.Height).
#pragma once

#include <cstdint>

#include "encoder/framework/yuv_image.h"
#include "encoder/kernels/kernel_table.h"

namespace quillset {

// D(a, b): ExcessDiffEnergy(line of a, line of b, width, 8) over every line.
int64_t PictureDifference(const TKernelTable& k, const TMPEGVideo_YUVImage& a, const TMPEGVideo_YUVImage& b);

// F(a, b, p): ExcessDiffEnergy with threshold 16 over the lines of parity p (p, p + 2, ...) only.
int64_t FieldDifference(const TKernelTable& k, const TMPEGVideo_YUVImage& a, const TMPEGVideo_YUVImage& b,
                        int32_t parity);

// C(a, b): the combing of the frame woven from the even lines of a and the odd lines of b. For
// each line n from 1 to height - 2, x = line n of (n odd ? b : a) and y, z = lines n - 1 and
// n + 1 of (n odd ? a : b), measured with ExcessDiffEnergy3(x, y, z, 16, width). C(a, a) is the
// combing inside one frame.
int64_t Combing(const TKernelTable& k, const TMPEGVideo_YUVImage& a, const TMPEGVideo_YUVImage& b);

// The chroma weight k of a picture's format.
int32_t ChromaWeight(const TMPEGVideo_YUVImage& image);

} // namespace quillset
