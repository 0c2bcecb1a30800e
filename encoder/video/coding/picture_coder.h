// Coding one picture into the bit writer: its VBV limits, the headers before it, its
// macroblocks under the rate controller's quantisers, and its reconstruction.
#pragma once

#include <cstdint>

#include "encoder/kernels/kernel_table.h"
#include "encoder/video/coding/macroblock_coder.h"
#include "encoder/video/coding/quantiser_tables.h"
#include "encoder/video/encoder_settings.h"
#include "encoder/video/frame_info.h"
#include "encoder/video/rate_control/bit_allocation.h"
#include "encoder/video/rate_control/rate_controller.h"
#include "encoder/video/rate_control/vbv_model.h"
#include "encoder/video/syntax/syntax_state.h"
#include "stream/bit_stream_writer.h"

namespace quillset {

// What the encoder keeps of the stream between pictures (a plain value: the trial coding of a
// pass's first picture runs on a copy).
struct TMPEGVideoEncoder_StreamState {
    TMPEGVideoSyntaxState Syntax;
    TMPEGVideoEncoder_VBVModel VBV;
    TMPEGVideoEncoder_BitAllocation Allocation;
};

// The sizes of one coded picture.
struct TPictureCodingResult {
    int64_t TotalBits = 0;   // everything written for the picture: stuffing, headers, data
    int64_t HeaderBits = 0;  // stuffing and headers before the first slice
    int64_t DataBits = 0;    // slices and macroblocks
    int64_t TargetBits = 0;  // the target after the VBV limits
    int32_t VBVDelay = 0;
    bool ConstantQuality = false;
};

struct TPictureCodingContext {
    const TMPEGVideoEncoder_Settings& Settings;
    const TKernelTable& Kernels;
    const TQuantiserTables& Tables;
    TMPEGVideoEncoder_RateController& Controller;
    // The matrices a sequence header written before this picture carries.
    const TQuantMatrix& IntraMatrix;
    const TQuantMatrix& NonIntraMatrix;
    bool LimitByVBV = true; // false in analysis passes
};

// Codes `picture` (references and reconstruction buffer assigned; its Reconstructed receives
// the prediction and, with KeepReconstruction, the decoded picture): VBV limits and stuffing,
// the VBV model's removal and vbv_delay, a sequence header group and GOP header before an I
// picture, the picture header, the macroblocks with the quantisers of the rate controller, and
// the allocation's debt. Returns the sizes.
TPictureCodingResult CodePicture(const TPictureCodingContext& context, TMPEGVideoEncoder_StreamState& state,
                                 TLargeBitStreamWriter& writer, TMPEGVideoFrameInfo& picture,
                                 const TPictureBudget& budget);

} // namespace quillset
