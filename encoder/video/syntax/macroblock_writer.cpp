#include "encoder/video/syntax/macroblock_writer.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "encoder/video/syntax/block_writer.h"
#include "encoder/video/syntax/header_writer.h"
#include "encoder/video/syntax/syntax_primitives.h"
#include "encoder/video/syntax/vlc_tables.h"

namespace quillset {

using syntax_detail::PutAddressIncrement;
using syntax_detail::PutMotionCode;
using syntax_detail::PutVlc;

namespace {

constexpr uint32_t kDirectionFlags = MBInfoFlag_Forward | MBInfoFlag_Backward;

// One vector component against its predictor (ISO/IEC 13818-2, 7.6.3.1, in reverse).
void PutVectorComponent(TLargeBitStreamWriter& writer, int32_t value, int32_t predictor, int32_t fCode) {
    const int32_t rSize = fCode - 1;
    const int32_t f = 1 << rSize;
    const int32_t low = -16 * f;
    const int32_t high = 16 * f - 1;
    assert(value >= low && value <= high);
    int32_t delta = value - predictor;
    if (delta < low)
        delta += 32 * f;
    else if (delta > high)
        delta -= 32 * f;
    if (delta == 0) {
        PutMotionCode(writer, 0);
        return;
    }
    const int32_t magnitude = (delta < 0 ? -delta : delta) - 1;
    const int32_t motionCode = (magnitude >> rSize) + 1;
    PutMotionCode(writer, delta < 0 ? -motionCode : motionCode);
    if (rSize > 0)
        writer.PutBits(static_cast<uint32_t>(magnitude & (f - 1)), rSize);
}

void ResetVectorPredictors(TMPEGVideoSyntaxState& state) {
    std::memset(state.PMV, 0, sizeof(state.PMV));
}

// motion_vectors(s) for one direction; updates the predictors as a decoder does.
void PutVectors(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, const TMBVectorPair& vectors,
                int32_t s, bool field) {
    const TMPEGVideoFCodes& fCode = state.Picture.FCode;
    int32_t(&pmv)[2][2][2] = state.PMV;
    if (!field) {
        const TMBMotionVector& v = vectors[0];
        PutVectorComponent(writer, v.MvX, pmv[0][s][0], fCode[s][0]);
        PutVectorComponent(writer, v.MvY, pmv[0][s][1], fCode[s][1]);
        pmv[0][s][0] = pmv[1][s][0] = v.MvX;
        pmv[0][s][1] = pmv[1][s][1] = v.MvY;
        return;
    }
    for (int32_t r = 0; r < 2; ++r) {
        const TMBMotionVector& v = vectors[static_cast<size_t>(r)];
        writer.PutBits(static_cast<uint32_t>(v.FieldSelect) & 1, 1); // motion_vertical_field_select
        PutVectorComponent(writer, v.MvX, pmv[r][s][0], fCode[s][0]);
        PutVectorComponent(writer, v.MvY, pmv[r][s][1] >> 1, fCode[s][1]);
        pmv[r][s][0] = v.MvX;
        pmv[r][s][1] = v.MvY * 2;
    }
}

bool SameAsPredictor(const TMPEGVideoSyntaxState& state, const TMBVectorPair& vectors, int32_t s) {
    return vectors[0].MvX == state.PMV[0][s][0] && vectors[0].MvY == state.PMV[0][s][1];
}

// Everything decided before the first bit of the macroblock is written.
struct TMacroblockPlan {
    uint32_t Directions = 0; // MBInfoFlag_Forward / _Backward as written
    bool Field = false;      // field prediction
    bool ZeroForward = false; // P: forward prediction with vector (0, 0) as a frame vector
    uint32_t Pattern = 0;    // coded block pattern
};

TMacroblockPlan PlanInterMacroblock(const TMPEGVideoSyntaxState& state, const TMBInfo& mb, const int16_t* blocks) {
    const TMPEGVideoPictureSyntax& p = state.Picture;
    TMacroblockPlan plan;
    plan.Directions = mb.Flags & kDirectionFlags;
    assert(!mb.IsFieldPrediction() || !p.FramePredFrameDct);
    plan.Field = mb.IsFieldPrediction() && !p.FramePredFrameDct;
    const int32_t count = state.Sequence.BlocksPerMacroblock;
    if ((mb.Flags & MBInfoFlag_NoResidual) == 0)
        plan.Pattern = CodedBlockPatternOf(blocks, count);
    if (p.PictureCodingType == kPictureCodingTypeP) {
        plan.Directions &= MBInfoFlag_Forward;
        const bool zero = plan.Directions == 0 ||
                          (!plan.Field && mb.Forward[0].MvX == 0 && mb.Forward[0].MvY == 0);
        if (zero) {
            plan.Field = false;
            plan.ZeroForward = true;
            // Coded: "No MC" (the vector is implied); not coded: forward with vector (0, 0).
            plan.Directions = plan.Pattern != 0 ? 0 : MBInfoFlag_Forward;
        }
    }
    assert(p.PictureCodingType != kPictureCodingTypeB || plan.Directions != 0);
    return plan;
}

bool CanSkip(const TMPEGVideoSyntaxState& state, const TMBInfo& mb, const TMacroblockPlan& plan) {
    if (plan.Pattern != 0 || plan.Field)
        return false;
    if (state.Picture.PictureCodingType == kPictureCodingTypeP)
        return plan.ZeroForward;
    // B: the macroblock repeats the previous one's directions and the predicted vectors
    // (ISO/IEC 13818-2, 7.6.6.4). Requiring frame prediction for the previous macroblock too
    // keeps decoders that carry its motion type over to the skipped one in step.
    if (plan.Directions != state.PreviousDirections || state.PreviousFieldPrediction)
        return false;
    if ((plan.Directions & MBInfoFlag_Forward) && !SameAsPredictor(state, mb.Forward, 0))
        return false;
    if ((plan.Directions & MBInfoFlag_Backward) && !SameAsPredictor(state, mb.Backward, 1))
        return false;
    return true;
}

void PutMacroblockType(TLargeBitStreamWriter& writer, const TMPEGVideoSyntaxState& state, uint32_t flags) {
    const TVlcCode code = MacroblockTypeCodes(state.Picture.PictureCodingType)[flags];
    assert(code.Length > 0);
    PutVlc(writer, code);
}

void PutQuantiser(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, int32_t code) {
    writer.PutBits(static_cast<uint32_t>(code), 5);
    state.CurrentQuantiser = code;
}

void WriteIntraMacroblock(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, TMBInfo& mb,
                          const int16_t* blocks) {
    const int32_t count = state.Sequence.BlocksPerMacroblock;
    const int32_t quantiser = std::clamp<int32_t>(mb.QuantiserCode, 1, 31);
    // The quantiser only matters to AC levels: DC-only macroblocks keep the current one.
    const bool quant = quantiser != state.CurrentQuantiser && HasACLevels(blocks, count);
    PutMacroblockType(writer, state, uint32_t{MBInfoFlag_Intra} | (quant ? uint32_t{MBInfoFlag_Quant} : 0u));
    if (!state.Picture.FramePredFrameDct)
        writer.PutBits(mb.IsFieldDCT() ? 1 : 0, 1); // dct_type
    if (quant)
        PutQuantiser(writer, state, quantiser);
    for (int32_t b = 0; b < count; ++b)
        PutIntraBlock(writer, state, blocks + 64 * b, b);
    mb.CodedBlockPattern = static_cast<uint8_t>((1u << count) - 1);
    ResetVectorPredictors(state);
    state.PreviousDirections = 0;
    state.PreviousFieldPrediction = false;
}

void WriteInterMacroblock(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, TMBInfo& mb,
                          const int16_t* blocks, const TMacroblockPlan& plan) {
    const int32_t count = state.Sequence.BlocksPerMacroblock;
    const int32_t quantiser = std::clamp<int32_t>(mb.QuantiserCode, 1, 31);
    const bool quant = plan.Pattern != 0 && quantiser != state.CurrentQuantiser;
    uint32_t flags = plan.Directions;
    if (plan.Pattern != 0)
        flags |= MBInfoFlag_Pattern;
    if (quant)
        flags |= MBInfoFlag_Quant;
    PutMacroblockType(writer, state, flags);
    if (!state.Picture.FramePredFrameDct) {
        if (plan.Directions != 0)
            writer.PutBits(plan.Field ? 1 : 2, 2); // frame_motion_type
        if (plan.Pattern != 0)
            writer.PutBits(mb.IsFieldDCT() ? 1 : 0, 1); // dct_type
    }
    if (quant)
        PutQuantiser(writer, state, quantiser);
    if (plan.Directions & MBInfoFlag_Forward) {
        static constexpr TMBVectorPair kZero{};
        PutVectors(writer, state, plan.ZeroForward ? kZero : mb.Forward, 0, plan.Field);
    }
    if (plan.Directions & MBInfoFlag_Backward)
        PutVectors(writer, state, mb.Backward, 1, plan.Field);
    if (state.Picture.PictureCodingType == kPictureCodingTypeP && plan.Directions == 0)
        ResetVectorPredictors(state); // "No MC" resets the predictors like a skipped macroblock
    if (plan.Pattern != 0) {
        if (count == 8) {
            PutVlc(writer, kCodedBlockPatternCodes[plan.Pattern >> 2]);
            writer.PutBits(plan.Pattern & 3, 2); // coded_block_pattern_1
        } else {
            PutVlc(writer, kCodedBlockPatternCodes[plan.Pattern]);
        }
        for (int32_t b = 0; b < count; ++b)
            if (plan.Pattern & CodedBlockBit(b, count))
                PutNonIntraBlock(writer, state, blocks + 64 * b);
    }
    mb.CodedBlockPattern = static_cast<uint8_t>(plan.Pattern);
    state.DCPredictor = {0, 0, 0};
    state.PreviousDirections = static_cast<uint8_t>(plan.Directions);
    state.PreviousFieldPrediction = plan.Field;
}

} // namespace

bool WriteMacroblock(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, int32_t mbX, int32_t mbY,
                     TMBInfo& mb, const int16_t* blocks) {
    const TMPEGVideoSequenceSyntax& s = state.Sequence;
    const int32_t address = mbY * s.MBWidth + mbX;
    assert(address > state.PreviousAddress || (s.IsMPEG2 ? mbX == 0 : address == 0));
    if (s.IsMPEG2 ? mbX == 0 : address == 0)
        WriteSliceHeader(writer, state, mbY, std::clamp<int32_t>(mb.QuantiserCode, 1, 31));
    const bool first = state.SliceMacroblocks == 0;
    const bool last = s.IsMPEG2 ? mbX == s.MBWidth - 1 : address == s.MacroblockCount() - 1;
    ++state.SliceMacroblocks;
    mb.Skipped = 0;

    if (mb.IsIntra() || state.Picture.PictureCodingType == kPictureCodingTypeI) {
        PutAddressIncrement(writer, address - state.PreviousAddress);
        state.PreviousAddress = address;
        WriteIntraMacroblock(writer, state, mb, blocks);
        return false;
    }
    const TMacroblockPlan plan = PlanInterMacroblock(state, mb, blocks);
    if (!first && !last && CanSkip(state, mb, plan)) {
        mb.Skipped = 1;
        mb.CodedBlockPattern = 0;
        state.DCPredictor = {0, 0, 0};
        if (state.Picture.PictureCodingType == kPictureCodingTypeP)
            ResetVectorPredictors(state);
        return true;
    }
    PutAddressIncrement(writer, address - state.PreviousAddress);
    state.PreviousAddress = address;
    WriteInterMacroblock(writer, state, mb, blocks, plan);
    return false;
}

} // namespace quillset
