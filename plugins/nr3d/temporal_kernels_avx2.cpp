// The temporal filter's loops for AVX2.
#include "plugins/nr3d/temporal_kernels_impl.h"

namespace quillset::noise_reduction {

TTemporalKernels TemporalKernels_Avx2() { return MakeTemporalKernels<TVecAvx2>(); }

} // namespace quillset::noise_reduction
