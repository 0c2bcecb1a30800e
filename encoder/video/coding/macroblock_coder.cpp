#include "encoder/video/coding/macroblock_coder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "encoder/video/syntax/scan_tables.h"

namespace quillset {

TBlockLocation LocateBlock(const TMPEGVideo_YUVImage& image, int32_t chromaFormat, int32_t mbX, int32_t mbY,
                           int32_t block, bool fieldDCT) {
    if (block < 4) {
        const int32_t stride = image.LumaStride;
        const int32_t x = 16 * mbX + 8 * (block & 1);
        if (fieldDCT)
            return {0, static_cast<ptrdiff_t>(16 * mbY + (block >> 1)) * stride + x, 2 * stride};
        return {0, static_cast<ptrdiff_t>(16 * mbY + 8 * (block >> 1)) * stride + x, stride};
    }
    const int32_t plane = (block & 1) ? 2 : 1;
    const int32_t stride = image.ChromaStride;
    const int32_t x = 8 * mbX;
    if (chromaFormat == 1)
        return {plane, static_cast<ptrdiff_t>(8 * mbY) * stride + x, stride};
    const int32_t half = (block - 4) >> 1; // 0: upper pair, 1: lower pair
    if (fieldDCT)
        return {plane, static_cast<ptrdiff_t>(16 * mbY + half) * stride + x, 2 * stride};
    return {plane, static_cast<ptrdiff_t>(16 * mbY + 8 * half) * stride + x, stride};
}

namespace {

uint8_t* PlaneData(const TMPEGVideo_YUVImage& image, int32_t plane) {
    return plane == 0 ? image.Y : (plane == 1 ? image.Cb : image.Cr);
}

} // namespace

TMacroblockCoder::TMacroblockCoder(const TKernelTable& kernels, const TQuantiserTables& tables, int32_t chromaFormat,
                                   bool useFloatDCT)
    : K(kernels), Tables(tables), ChromaFormat(chromaFormat), Blocks(chromaFormat == 1 ? 6 : 8),
      UseFloatDCT(useFloatDCT && kernels.ForwardDctF != nullptr) {}

void TMacroblockCoder::Transform(int16_t* block) const {
    if (UseFloatDCT)
        K.ForwardDctF(block);
    else
        K.ForwardDct(block);
}

int32_t TMacroblockCoder::LevelBound(const int16_t* blocks, const TQuantiserKindTables& kind) const {
    if (K.UseFloatLevelBound && K.MaxLevelBoundF) {
        const float bound = K.MaxLevelBoundF(blocks, kind.LimitFactor.data(), Blocks);
        K.ClearKernelState();
        return static_cast<int32_t>(std::min(std::ceil(static_cast<double>(bound)), 1e9));
    }
    return K.MaxLevelBound(blocks, kind.LimitWeight.data(), Blocks);
}

bool TMacroblockCoder::RaiseForLevels(const int16_t* blocks, const TQuantiserKindTables& kind, int32_t& quantiser) const {
    const int32_t bound = LevelBound(blocks, kind);
    if (bound > Tables.LargestScale)
        return false;
    quantiser = std::max(quantiser, QuantiserCodeForScale(bound, Tables.MPEG2));
    return true;
}

void TMacroblockCoder::LoadIntra(const TMPEGVideo_YUVImage& source, int32_t mbX, int32_t mbY, bool fieldDCT,
                                 int16_t* levels) const {
    for (int32_t b = 0; b < Blocks; ++b) {
        const TBlockLocation at = LocateBlock(source, ChromaFormat, mbX, mbY, b, fieldDCT);
        int16_t* block = levels + 64 * b;
        K.LoadBlock8x8(block, PlaneData(source, at.Plane) + at.Offset, at.Pitch);
        Transform(block);
        // Intra blocks are transformed from raw pixels: the level shift puts the DC of mid-grey,
        // the DC predictor's reset value, at 0.
        block[0] = static_cast<int16_t>(block[0] - 1024);
    }
}

int32_t TMacroblockCoder::Quantize(int16_t* block, const TQuantiserKindTables& kind, int32_t quantiser) const {
    if (K.UseFloatQuantize && K.QuantizeBlockF)
        return K.QuantizeBlockF(block, kind.Factor[quantiser].data(), kind.FloatOffset[quantiser].data());
    return K.QuantizeBlock(block, kind.Divisor[quantiser].data(), kind.Offset[quantiser].data());
}

void TMacroblockCoder::Code(const TMPEGVideo_YUVImage& source, const TMPEGVideo_YUVImage& reconstruction, int32_t mbX,
                            int32_t mbY, TMBInfo& mb, int32_t quantiser, int16_t* levels) const {
    const bool fieldDCT = mb.IsFieldDCT();
    if (!mb.IsIntra() && (mb.Flags & MBInfoFlag_NoResidual)) {
        std::memset(levels, 0, sizeof(int16_t) * 64 * Blocks);
        mb.QuantiserCode = static_cast<uint8_t>(quantiser);
        mb.BlockResult.fill(MBBlockResult_NotCoded);
        return;
    }
    if (!mb.IsIntra()) {
        for (int32_t b = 0; b < Blocks; ++b) {
            const TBlockLocation at = LocateBlock(source, ChromaFormat, mbX, mbY, b, fieldDCT);
            int16_t* block = levels + 64 * b;
            K.DiffBlock8x8(block, PlaneData(source, at.Plane) + at.Offset, PlaneData(reconstruction, at.Plane) + at.Offset,
                           at.Pitch);
            Transform(block);
        }
        if (!RaiseForLevels(levels, Tables.NonIntra, quantiser)) {
            // No quantiser keeps this residual's levels in range: code the source instead.
            mb.Flags = static_cast<uint16_t>((mb.Flags & ~(MBInfoFlag_Forward | MBInfoFlag_Backward)) | MBInfoFlag_Intra);
            mb.MotionType = MBMotionType_None;
        }
    }
    if (mb.IsIntra()) {
        LoadIntra(source, mbX, mbY, fieldDCT, levels);
        if (quantiser < 31 && !RaiseForLevels(levels, Tables.Intra, quantiser))
            quantiser = 31;
    }
    const TQuantiserKindTables& kind = mb.IsIntra() ? Tables.Intra : Tables.NonIntra;
    for (int32_t b = 0; b < Blocks; ++b) {
        int16_t* block = levels + 64 * b;
        const int32_t sum = Quantize(block, kind, quantiser);
        const int32_t dc = std::abs(block[0]);
        uint8_t result;
        if (mb.IsIntra())
            result = sum == dc ? MBBlockResult_DCOnly : MBBlockResult_HasAC;
        else
            result = sum == 0 ? MBBlockResult_NotCoded : (sum == dc ? MBBlockResult_FirstCoefOnly : MBBlockResult_Coded);
        mb.BlockResult[static_cast<size_t>(b)] = result;
    }
    K.ClearKernelState();
    mb.QuantiserCode = static_cast<uint8_t>(quantiser);
}

void TMacroblockCoder::ReconstructIntra(uint8_t* dst, int32_t pitch, const int16_t* levels, int32_t quantiser,
                                        uint8_t result) const {
    const int32_t dc = levels[0] * Tables.IntraDCMultiplier + 1024;
    // A DC-only block is flat, unless MPEG-2 mismatch control toggles coefficient 63 of an
    // even sum.
    if (result == MBBlockResult_DCOnly && !(Tables.MPEG2 && (dc & 1) == 0)) {
        K.FillBlock8x8(dst, static_cast<uint8_t>(std::clamp(K.InverseDctDcValue(dc), 0, 255)), pitch);
        return;
    }
    alignas(16) int16_t block[64];
    std::memcpy(block, levels, sizeof(block));
    block[0] = static_cast<int16_t>(dc);
    const TQuantiserKindTables& kind = Tables.Intra;
    if (Tables.MPEG2) {
        if (K.UseFloatDequantIntraMpeg2 && K.DequantIntraMpeg2F)
            K.DequantIntraMpeg2F(block, kind.DequantFactor[quantiser].data());
        else
            K.DequantIntraMpeg2(block, kind.Multiplier[quantiser].data());
    } else {
        if (K.UseFloatDequantIntraMpeg1 && K.DequantIntraMpeg1F)
            K.DequantIntraMpeg1F(block, kind.DequantFactor[quantiser].data());
        else
            K.DequantIntraMpeg1(block, kind.Multiplier[quantiser].data());
    }
    K.InverseDct(block);
    K.StoreBlock8x8(dst, block, pitch);
}

void TMacroblockCoder::ReconstructInter(uint8_t* dst, int32_t pitch, const int16_t* levels, int32_t quantiser,
                                        uint8_t result) const {
    if (result == MBBlockResult_NotCoded)
        return;
    const TQuantiserKindTables& kind = Tables.NonIntra;
    if (result == MBBlockResult_FirstCoefOnly) {
        const int32_t multiplier = kind.Multiplier[quantiser][0];
        const int32_t dc = Tables.MPEG2 ? K.DequantInterCoefMpeg2(levels[0], multiplier)
                                        : K.DequantInterCoefMpeg1(levels[0], multiplier);
        if (!(Tables.MPEG2 && (dc & 1) == 0)) {
            K.AddDc8x8(dst, std::clamp(K.InverseDctDcValue(dc), -255, 255), pitch);
            return;
        }
    }
    alignas(16) int16_t block[64];
    std::memcpy(block, levels, sizeof(block));
    if (Tables.MPEG2) {
        if (K.UseFloatDequantInterMpeg2 && K.DequantInterMpeg2F)
            K.DequantInterMpeg2F(block, kind.DequantFactor[quantiser].data());
        else
            K.DequantInterMpeg2(block, kind.Multiplier[quantiser].data());
    } else {
        if (K.UseFloatDequantInterMpeg1 && K.DequantInterMpeg1F)
            K.DequantInterMpeg1F(block, kind.DequantFactor[quantiser].data());
        else
            K.DequantInterMpeg1(block, kind.Multiplier[quantiser].data());
    }
    K.InverseDct(block);
    K.AddBlock8x8(dst, block, pitch);
}

void TMacroblockCoder::Reconstruct(TMPEGVideo_YUVImage& reconstruction, int32_t mbX, int32_t mbY, const TMBInfo& mb,
                                   const int16_t* levels) const {
    if (!mb.IsIntra() && (mb.Skipped || (mb.Flags & MBInfoFlag_NoResidual)))
        return; // the prediction is the picture
    const int32_t quantiser = mb.QuantiserCode;
    for (int32_t b = 0; b < Blocks; ++b) {
        const TBlockLocation at = LocateBlock(reconstruction, ChromaFormat, mbX, mbY, b, mb.IsFieldDCT());
        uint8_t* dst = PlaneData(reconstruction, at.Plane) + at.Offset;
        const uint8_t result = mb.BlockResult[static_cast<size_t>(b)];
        if (mb.IsIntra())
            ReconstructIntra(dst, at.Pitch, levels + 64 * b, quantiser, result);
        else
            ReconstructInter(dst, at.Pitch, levels + 64 * b, quantiser, result);
    }
    K.ClearKernelState();
}

} // namespace quillset
