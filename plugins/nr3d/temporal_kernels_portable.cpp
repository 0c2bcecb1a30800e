// The temporal filter's loops for any processor.
#include "plugins/nr3d/temporal_kernels_impl.h"

namespace quillset::noise_reduction {

TTemporalKernels TemporalKernels_Portable() { return MakeTemporalKernels<TVecScalar>(); }

} // namespace quillset::noise_reduction
