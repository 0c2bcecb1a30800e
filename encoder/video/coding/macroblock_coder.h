// Transform, quantisation and reconstruction of one macroblock (ISO/IEC 13818-2, 7.4 to 7.6 in
// the encoder's direction): residual or source blocks, forward DCT, the quantiser raise that
// keeps every level within what the syntax can carry, quantisation, and the reconstruction a
// decoder makes of the result (inverse quantisation with MPEG-1 oddification or MPEG-2
// mismatch control, inverse DCT, add to the prediction).
#pragma once

#include <array>
#include <cstdint>

#include "encoder/framework/yuv_image.h"
#include "encoder/kernels/kernel_table.h"
#include "encoder/video/coding/quantiser_tables.h"
#include "encoder/video/macroblock_info.h"

namespace quillset {

// Where block `b` of a macroblock lies: its plane (0 Y, 1 Cb, 2 Cr), offset and line pitch.
struct TBlockLocation {
    int32_t Plane;
    ptrdiff_t Offset;
    int32_t Pitch;
};

// Blocks 0..3 luminance (frame DCT: the four quadrants; field DCT: left and right of the top
// field, then of the bottom field), then Cb and Cr alternately: one pair for 4:2:0, a top and a
// bottom pair for 4:2:2 (field arranged too under field DCT, as ISO/IEC 13818-2, 6.1.3 asks).
TBlockLocation LocateBlock(const TMPEGVideo_YUVImage& image, int32_t chromaFormat, int32_t mbX, int32_t mbY,
                           int32_t block, bool fieldDCT);

class TMacroblockCoder {
public:
    TMacroblockCoder(const TKernelTable& kernels, const TQuantiserTables& tables, int32_t chromaFormat,
                     bool useFloatDCT);

    // Codes macroblock (mbX, mbY) of `source` at quantiser code `quantiser` (possibly raised).
    // For an inter macroblock the prediction must already be in `reconstruction` at the
    // macroblock's place. Writes BlocksPerMacroblock x 64 levels into `levels`, sets the record's
    // QuantiserCode and BlockResult, and clears the prediction flags when a residual needs a
    // larger quantiser than the syntax has (the macroblock is then coded intra).
    void Code(const TMPEGVideo_YUVImage& source, const TMPEGVideo_YUVImage& reconstruction, int32_t mbX, int32_t mbY,
              TMBInfo& mb, int32_t quantiser, int16_t* levels) const;

    // Rebuilds the coded macroblock in `reconstruction` as a decoder does.
    void Reconstruct(TMPEGVideo_YUVImage& reconstruction, int32_t mbX, int32_t mbY, const TMBInfo& mb,
                     const int16_t* levels) const;

    int32_t BlockCount() const { return Blocks; }

private:
    // The smallest quantiser scale that keeps every level of the blocks within its limit.
    int32_t LevelBound(const int16_t* blocks, const TQuantiserKindTables& kind) const;
    void Transform(int16_t* block) const;
    // Raises `quantiser` for the blocks' levels; false when no code is large enough.
    bool RaiseForLevels(const int16_t* blocks, const TQuantiserKindTables& kind, int32_t& quantiser) const;
    void LoadIntra(const TMPEGVideo_YUVImage& source, int32_t mbX, int32_t mbY, bool fieldDCT, int16_t* levels) const;
    int32_t Quantize(int16_t* block, const TQuantiserKindTables& kind, int32_t quantiser) const;
    void ReconstructIntra(uint8_t* dst, int32_t pitch, const int16_t* levels, int32_t quantiser, uint8_t result) const;
    void ReconstructInter(uint8_t* dst, int32_t pitch, const int16_t* levels, int32_t quantiser, uint8_t result) const;

    const TKernelTable& K;
    const TQuantiserTables& Tables;
    int32_t ChromaFormat;
    int32_t Blocks;
    bool UseFloatDCT;
};

} // namespace quillset
