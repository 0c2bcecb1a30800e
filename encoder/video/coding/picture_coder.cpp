#include "encoder/video/coding/picture_coder.h"

#include <algorithm>
#include <span>
#include <vector>

#include "encoder/video/coding/prediction.h"
#include "encoder/video/syntax/f_code.h"
#include "encoder/video/syntax/header_writer.h"
#include "encoder/video/syntax/macroblock_writer.h"

namespace quillset {

namespace {

void WriteHeaders(const TPictureCodingContext& context, TMPEGVideoEncoder_StreamState& state,
                  TLargeBitStreamWriter& writer, const TMPEGVideoFrameInfo& picture, int32_t vbvDelay) {
    if (picture.PictureType == PictureType_I) {
        if (NeedsSequenceHeader(state.Syntax))
            WriteSequenceHeader(writer, state.Syntax, context.IntraMatrix, context.NonIntraMatrix);
        WriteGOPHeader(writer, state.Syntax, picture.DisplayNumber);
    }
    TMPEGVideoPictureHeader header;
    header.PictureCodingType = PictureCodingTypeOf(picture.PictureType);
    header.DisplayNumber = picture.DisplayNumber;
    header.VBVDelay = vbvDelay;
    header.FCode = ComputePictureFCodes(header.PictureCodingType, context.Settings.MPEG2,
                                        MeasureVectorExtent(std::span<const TMBInfo>(picture.Macroblocks)));
    header.TopFieldFirst = picture.TopFieldFirst != 0;
    header.RepeatFirstField = picture.RepeatFirstField != 0;
    header.ProgressiveFrame = picture.ProgressiveFrame != 0;
    header.UserData = std::span<const uint8_t>(picture.UserData);
    WritePictureHeader(writer, state.Syntax, header);
}

void CodeMacroblocks(const TPictureCodingContext& context, TMPEGVideoEncoder_StreamState& state,
                     TLargeBitStreamWriter& writer, TMPEGVideoFrameInfo& picture, int64_t dataStart) {
    const TMPEGVideoEncoder_Settings& s = context.Settings;
    const int32_t chromaFormat = s.Config.YUVFormat;
    const TMacroblockCoder coder(context.Kernels, context.Tables, chromaFormat, s.Config.UseFloatDCT != 0);
    TMPEGVideo_YUVImage& reconstruction = *picture.Reconstructed;
    const TMPEGVideo_YUVImage* forward = picture.ForwardRef ? picture.ForwardRef->Reconstructed : nullptr;
    const TMPEGVideo_YUVImage* backward = picture.BackwardRef ? picture.BackwardRef->Reconstructed : nullptr;
    alignas(32) int16_t levels[64 * kMBMaxBlocks];
    for (int32_t mbY = 0; mbY < s.MBHeight; ++mbY) {
        for (int32_t mbX = 0; mbX < s.MBWidth; ++mbX) {
            const int32_t index = mbY * s.MBWidth + mbX;
            TMBInfo& mb = picture.Macroblocks[static_cast<size_t>(index)];
            const int32_t quantiser =
                context.Controller.MacroblockQuantiser(index, mb, writer.GetBitPosition() - dataStart);
            if (!mb.IsIntra())
                PredictMacroblock(context.Kernels, reconstruction, forward, backward, mbX, mbY, mb, chromaFormat);
            coder.Code(*picture.Source, reconstruction, mbX, mbY, mb, quantiser, levels);
            WriteMacroblock(writer, state.Syntax, mbX, mbY, mb, levels);
            if (picture.KeepReconstruction)
                coder.Reconstruct(reconstruction, mbX, mbY, mb, levels);
        }
    }
    context.Kernels.ClearKernelState();
}

} // namespace

TPictureCodingResult CodePicture(const TPictureCodingContext& context, TMPEGVideoEncoder_StreamState& state,
                                 TLargeBitStreamWriter& writer, TMPEGVideoFrameInfo& picture,
                                 const TPictureBudget& budget) {
    TPictureCodingResult result;
    const int64_t start = writer.GetBitPosition();
    int64_t target = budget.Target;
    int64_t minimum = budget.Minimum;
    const bool repeatFirstField = picture.RepeatFirstField != 0;
    if (context.LimitByVBV)
        state.VBV.LimitPicture(writer, picture.PictureType, repeatFirstField, target, minimum);
    result.VBVDelay = state.VBV.PictureHeader(picture.PictureType, repeatFirstField, writer.GetBitPosition());
    WriteHeaders(context, state, writer, picture, result.VBVDelay);

    const int64_t dataStart = writer.GetBitPosition();
    result.HeaderBits = dataStart - start;
    result.TargetBits = target;
    TRateControlPictureParams params;
    params.NonLinearScale = context.Settings.MPEG2;
    params.TargetBits = static_cast<int32_t>(std::clamp<int64_t>(target - result.HeaderBits, 100, 0x7FFFFFFF));
    params.MinimumBits = static_cast<int32_t>(std::clamp<int64_t>(minimum - result.HeaderBits, 0, 0x7FFFFFFF));
    params.ConstantQuality = budget.ConstantQuality;
    params.IntraScale = budget.IntraScale;
    params.InterScale = budget.InterScale;
    params.ActivityAdjust = budget.ActivityAdjust;
    context.Controller.BeginPicture(picture, params);

    CodeMacroblocks(context, state, writer, picture, dataStart);

    result.DataBits = writer.GetBitPosition() - dataStart;
    result.TotalBits = writer.GetBitPosition() - start;
    context.Controller.EndPicture(result.DataBits);
    state.Allocation.EndPicture(budget, result.TotalBits);
    return result;
}

} // namespace quillset
