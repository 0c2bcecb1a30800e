#include "encoder/kernels/reference/reference_kernels.h"

namespace quillset::reference {

namespace {
// Nothing to clear: the reference kernels leave no processor state behind.
void ClearKernelState() {}
void ReservedNoOp() {}
} // namespace

void FillReferenceKernels(TKernelTable& t) {
    t.ClearKernelState = ClearKernelState;
    t.ReservedNoOp = ReservedNoOp;
    FillBlockMeasures(t);
    FillPrediction(t);
    FillBlockOperations(t);
    FillQuantization(t);
    FillTransforms(t);
    FillRgbConversions(t);
    FillPackedYuvConversions(t);
    FillPictureFilters(t);
}

} // namespace quillset::reference
