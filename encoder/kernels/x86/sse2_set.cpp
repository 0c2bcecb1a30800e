#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

void FillSse2Kernels(TKernelTable& t) {
    FillSse2BlockMeasures(t);
    FillSse2Prediction(t);
    FillSse2BlockOperations(t);
    FillSse2Quantization(t);
    FillSse2Transforms(t);
    FillSse2PictureMeasures(t);
}

} // namespace quillset::x86
