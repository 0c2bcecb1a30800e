#include <algorithm>
#include <cmath>

#include "encoder/video/coding/picture_analysis.h"

namespace quillset {

namespace {

bool InBatch(const TMPEGVideoFrameInfoList& batch, const TMPEGVideoFrameInfo* info) {
    for (int32_t i = 0; i < batch.Count(); ++i)
        if (batch[i] == info)
            return true;
    return false;
}

// A costly inter macroblock whose dependants all predict cheaply becomes intra: its error would
// otherwise spread into every picture that predicts from it.
void TurnCostlyReferencedIntra(TMPEGVideoFrameInfo& picture) {
    for (TMBInfo& mb : picture.Macroblocks) {
        if (mb.IsIntra() || !(mb.Flags & MBInfoFlag_Referenced))
            continue;
        const int32_t dependent = mb.DependentCostMax;
        if (!(dependent > 0 && dependent < 16384 && mb.ResidualEnergy > 16384 && 2 * dependent < mb.ResidualEnergy))
            continue;
        picture.SumMaxVar1 += mb.IntraMaxVar1 - mb.MaxVar1;
        picture.SumMinVar1 += mb.IntraMinVar1 - mb.MinVar1;
        picture.SumMeanVar1 += mb.IntraMeanVar1 - mb.MeanVar1;
        mb.Flags = static_cast<uint16_t>(MBInfoFlag_Intra | (mb.Flags & (MBInfoFlag_Referenced | MBInfoFlag_FieldDCT)));
        mb.MotionType = MBMotionType_None;
        mb.MaxVar1 = mb.IntraMaxVar1;
        mb.MinVar1 = mb.IntraMinVar1;
        mb.MeanVar1 = mb.IntraMeanVar1;
        mb.ResidualEnergy = 0;
    }
}

// Marks the macroblocks of `reference` that the 16x16 area at (x, y) overlaps.
void MarkArea(TMPEGVideoFrameInfo& reference, int32_t mbWidth, int32_t mbHeight, int32_t x, int32_t y, int32_t energy) {
    const int32_t firstColumn = std::max(0, x / 16), lastColumn = std::min(mbWidth - 1, (x + 15) / 16);
    const int32_t firstRow = std::max(0, y / 16), lastRow = std::min(mbHeight - 1, (y + 15) / 16);
    for (int32_t row = firstRow; row <= lastRow; ++row)
        for (int32_t column = firstColumn; column <= lastColumn; ++column) {
            TMBInfo& target = reference.Macroblocks[static_cast<size_t>(row * mbWidth + column)];
            target.Flags |= MBInfoFlag_Referenced;
            target.DependentCostMax = std::max(target.DependentCostMax, energy);
            target.DependentCostMin = std::min(target.DependentCostMin, energy);
        }
}

} // namespace

void PropagateReferences(const TMPEGVideoEncoder_Settings& settings, TMPEGVideoFrameInfoList& coded) {
    for (int32_t i = coded.Count() - 1; i >= 0; --i) {
        TMPEGVideoFrameInfo& picture = *coded[i];
        if (picture.PictureType == PictureType_I)
            continue;
        if (!settings.InterlacedCoding)
            TurnCostlyReferencedIntra(picture);
        TMPEGVideoFrameInfo* forward = picture.ForwardRef && InBatch(coded, picture.ForwardRef) ? picture.ForwardRef : nullptr;
        TMPEGVideoFrameInfo* backward =
            picture.BackwardRef && InBatch(coded, picture.BackwardRef) ? picture.BackwardRef : nullptr;
        for (const TMBInfo& mb : picture.Macroblocks) {
            if (mb.IsIntra())
                continue;
            TMPEGVideoFrameInfo* reference = nullptr;
            const TMBVectorPair* vectors = nullptr;
            if (mb.HasForward() && forward) {
                reference = forward;
                vectors = &mb.Forward;
            } else if (mb.HasBackward() && backward) {
                reference = backward;
                vectors = &mb.Backward;
            }
            if (!reference || reference->Macroblocks.empty())
                continue;
            const int count = mb.IsFieldPrediction() ? 2 : 1;
            for (int v = 0; v < count; ++v) {
                const TMBMotionVector& mv = (*vectors)[static_cast<size_t>(v)];
                MarkArea(*reference, settings.MBWidth, settings.MBHeight, mv.BestX, mv.BestY, mb.ResidualEnergy);
            }
        }
    }
}

void ComputeActivityWeights(TMPEGVideoFrameInfoList& batch) {
    for (int32_t i = 0; i < batch.Count(); ++i) {
        TMPEGVideoFrameInfo& picture = *batch[i];
        double sum = 0.0;
        for (TMBInfo& mb : picture.Macroblocks) {
            mb.ActivityWeight = static_cast<float>(std::sqrt(0.25 * mb.MeanVar1 + 0.75 * mb.MinVar1) / 10.0 + 1.0);
            sum += mb.ActivityWeight;
        }
        picture.SumActivityWeight = sum;
    }
}

} // namespace quillset
