// Inner loops of the temporal filter, one set per code path (portable, SSE2, AVX2), all giving the
// same bytes. They work on row planes of single floats (B, G, R).
#pragma once

#include <cstdint>

namespace quillset::noise_reduction {

// out[k] = sum over B, G, R of (a - b)^2 for k in 0..width-1 (exact: integers below 2^24).
using TDifferenceRowKernel = void (*)(const float* const a[3], const float* const b[3], float* out, int32_t width);

// out[k] = max(in[k - 2], ..., in[k + 2]) for k in 0..width-1. `in` must hold two readable
// values before its first and after its last element; the filter keeps them 0, which leaves the
// maxima of non-negative rows clipped to the picture.
using TRowMaximumKernel = void (*)(const float* in, float* out, int32_t width);

// One output row. PreviousMotion/NextMotion are the row maxima (TRowMaximumKernel) of the
// difference maps of the five window rows; a row outside the picture is a row of zeros.
struct TTemporalRow {
    const float* Current[3];
    const float* Previous[3];
    const float* Next[3];
    const float* PreviousMotion[5];
    const float* NextMotion[5];
    uint8_t* Out; // packed B, G, R
};

// Per pixel: Mp, Mn the maxima over the five motion rows; Wp = max(0, S - Mp), Wn likewise; each
// channel trunc((S * current + Wp * previous + Wn * next) * r) limited to 255, r the reciprocal
// estimate of S + Wp + Wn. strength is S (10 * the caller's strength, above 0).
using TBlendRowKernel = void (*)(const TTemporalRow& row, int32_t width, float strength);

struct TTemporalKernels {
    TDifferenceRowKernel DifferenceRow;
    TRowMaximumKernel RowMaximum;
    TBlendRowKernel BlendRow;
};

TTemporalKernels TemporalKernels_Portable();
#ifdef QS_NR_X86_KERNELS
TTemporalKernels TemporalKernels_Sse2();
TTemporalKernels TemporalKernels_Avx2();
#endif

} // namespace quillset::noise_reduction
