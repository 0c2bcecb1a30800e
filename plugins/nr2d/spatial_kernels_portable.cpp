// The spatial filter's loops for any processor.
#include "plugins/nr2d/spatial_kernels_impl.h"

namespace quillset::noise_reduction {

TSpatialKernels SpatialKernels_Portable() { return MakeSpatialKernels<TVecScalar>(); }

} // namespace quillset::noise_reduction
