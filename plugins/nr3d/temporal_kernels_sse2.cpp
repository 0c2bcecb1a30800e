// The temporal filter's loops for SSE2.
#include "plugins/nr3d/temporal_kernels_impl.h"

namespace quillset::noise_reduction {

TTemporalKernels TemporalKernels_Sse2() { return MakeTemporalKernels<TVecSse2>(); }

} // namespace quillset::noise_reduction
