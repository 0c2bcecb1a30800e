// The single-precision reciprocal estimate the filters divide with: the SSE instruction on x86,
// the libraries' documented emulation elsewhere.
#pragma once

#if defined(__x86_64__)
#include <xmmintrin.h>
#else
#include "plugins/nr2d/reciprocal_estimate.h"
#endif

namespace quillset::testing {

inline float TestReciprocalEstimate(float d) {
#if defined(__x86_64__)
    return _mm_cvtss_f32(_mm_rcp_ss(_mm_set_ss(d)));
#else
    return noise_reduction::ReciprocalEstimateEmulated(d);
#endif
}

} // namespace quillset::testing
