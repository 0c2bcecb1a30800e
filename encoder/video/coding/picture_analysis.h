// The analysis stage of a batch: per picture the macroblock statistics, motion search and the
// choice of each macroblock's prediction and DCT type; then, over the whole batch, the pass that
// turns costly inter macroblocks of referenced pictures into intra ones and marks what other
// pictures predict from; and the activity weights of the rate control.
#pragma once

#include "encoder/kernels/kernel_table.h"
#include "encoder/video/encoder_settings.h"
#include "encoder/video/frame_info.h"
#include "encoder/video/motion_cache.h"

namespace quillset {

// Analyses one picture whose references (ForwardRef, BackwardRef) are set: fills every
// macroblock record (mode, vectors, DCT type, statistics, large-motion flag) and the picture's
// sums. Predictions are formed from the references' source pictures. I pictures are all intra;
// a repeat picture is all forward zero-vector macroblocks without residual. With MotionLoaded
// the predictions come from the picture's motion-cache record instead of a search (the intra
// and DCT decisions are taken as usual); with RecordMotion the picture's record is left in
// MotionRecord.
// The motion-cache record geometry of an encoder's pictures.
TMotionRecordGeometry MotionRecordGeometryOf(const TMPEGVideoEncoder_Settings& settings);

void AnalyzeMacroblocks(const TMPEGVideoEncoder_Settings& settings, const TKernelTable& kernels,
                        TMPEGVideoFrameInfo& picture, const TMPEGVideoFrameInfoList& batch);

// After every picture of the batch (in coded order `coded`) was analysed: in reverse coded
// order, inter macroblocks of referenced progressive pictures whose dependants are cheap while
// they are costly become intra, and every inter macroblock marks the macroblocks of its
// reference (within the batch) that its match areas overlap.
void PropagateReferences(const TMPEGVideoEncoder_Settings& settings, TMPEGVideoFrameInfoList& coded);

// ActivityWeight = sqrt(0.25 MeanVar1 + 0.75 MinVar1) / 10 + 1 per macroblock, and the picture sums.
void ComputeActivityWeights(TMPEGVideoFrameInfoList& batch);

} // namespace quillset
