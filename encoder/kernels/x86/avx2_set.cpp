#include "encoder/kernels/x86/x86_kernels.h"

namespace quillset::x86 {

void FillAvx2Kernels(TKernelTable& t) {
    FillAvx2BlockMeasures(t);
    FillAvx2Prediction(t);
    FillAvx2Transforms(t);
    FillAvx2Quantization(t);
    FillAvx2PictureMeasures(t);
    FillAvx2RgbConversions(t);
}

} // namespace quillset::x86
