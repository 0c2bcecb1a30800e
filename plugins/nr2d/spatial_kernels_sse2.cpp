// The spatial filter's loops for SSE2.
#include "plugins/nr2d/spatial_kernels_impl.h"

namespace quillset::noise_reduction {

TSpatialKernels SpatialKernels_Sse2() { return MakeSpatialKernels<TVecSse2>(); }

} // namespace quillset::noise_reduction
