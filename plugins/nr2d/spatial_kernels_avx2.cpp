// The spatial filter's loops for AVX2.
#include "plugins/nr2d/spatial_kernels_impl.h"

namespace quillset::noise_reduction {

TSpatialKernels SpatialKernels_Avx2() { return MakeSpatialKernels<TVecAvx2>(); }

} // namespace quillset::noise_reduction
