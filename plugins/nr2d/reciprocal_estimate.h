// The single-precision reciprocal estimate both filters divide with.
//
// The filters multiply by an estimate of 1/d instead of dividing, as the SSE RCPSS/RCPPS
// instructions provide it (relative error at most 1.5 * 2^-12). On x86 the instruction itself is
// used, so every code path of a library gives the same bytes on one machine. Other processors use
// an emulation within the same bound: 1/d rounded to 12 significant bits.
//
// Internal linkage on purpose: files compiled with different instruction-set flags include this.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define QS_NR_HARDWARE_RECIPROCAL 1
#endif

namespace quillset::noise_reduction {
namespace {

// 1/d rounded to nearest at 12 significant bits; relative error below 2^-12 + 2^-24. For finite
// positive d.
inline float ReciprocalEstimateEmulated(float d) {
    const float exact = 1.0f / d;
    uint32_t bits = 0;
    std::memcpy(&bits, &exact, sizeof(bits));
    bits = (bits + (1u << 11)) & ~((1u << 12) - 1u);
    float rounded = 0.0f;
    std::memcpy(&rounded, &bits, sizeof(bits));
    return rounded;
}

inline float ReciprocalEstimate(float d) {
#ifdef QS_NR_HARDWARE_RECIPROCAL
    return _mm_cvtss_f32(_mm_rcp_ss(_mm_set_ss(d)));
#else
    return ReciprocalEstimateEmulated(d);
#endif
}

} // namespace
} // namespace quillset::noise_reduction
