// Inner loops of the spatial filter, one set per code path (portable, SSE2, AVX2), all giving the
// same bytes.
//
// The filter works on row planes of single floats (B, G, R) and on per-pixel sums (B, G, R and the
// weight sum). Every pixel pair is weighed once and the weight added to both pixels' sums.
#pragma once

#include <cstdint>

namespace quillset::noise_reduction {

// One run of pixel pairs: pixel i of the lower run pairs with pixel i of the upper run. For pairs
// within one row the upper run is the same row shifted right by the column distance, and the sums
// overlap: for each pixel the pair with its left partner is added before the pair with its right
// partner (whatever the vector width), which keeps the float sums identical on every path.
struct TPairRun {
    const float* Lower[3];  // B, G, R of the lower (or left) pixels
    const float* Upper[3];  // B, G, R of their partners
    float* LowerSums[4];    // sums of the lower pixels: B, G, R, weight
    float* UpperSums[4];    // sums of the partners
};

// For i in 0..count-1: w = max(0, strength - d^2) with d^2 the squared colour distance of the
// pair; LowerSums += w * Upper (weight sum += w), then UpperSums += w * Lower, in the order the
// comment above fixes. strength is 10 * the caller's strength.
using TAccumulatePairsKernel = void (*)(const TPairRun& run, int32_t count, float strength);

// Writes one output row of `width` packed B, G, R bytes: each channel trunc(sum * r) limited to
// 255, with r the reciprocal estimate of the weight sum.
using TResolveRowKernel = void (*)(const float* const sums[4], uint8_t* out, int32_t width);

struct TSpatialKernels {
    TAccumulatePairsKernel AccumulatePairs;
    TResolveRowKernel ResolveRow;
};

TSpatialKernels SpatialKernels_Portable();
#ifdef QS_NR_X86_KERNELS
TSpatialKernels SpatialKernels_Sse2();
TSpatialKernels SpatialKernels_Avx2();
#endif

} // namespace quillset::noise_reduction
