// The per-macroblock record of one picture: what analysis decided (prediction mode, vectors,
// DCT type, statistics) and what coding produced (quantiser, coded blocks), shared by motion
// search, mode decision, rate control, picture coding and the syntax writer. One array of these
// per picture comes from the macroblock-information pool, in raster order.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

namespace quillset {

// Bits of TMBInfo::Flags. Bits 0 to 4 follow the macroblock_type flags of ISO/IEC 13818-2,
// 6.3.17.1 (intra, pattern, backward, forward, quant); analysis sets intra, backward and
// forward, the syntax writer derives pattern and quant itself. The high bits are the encoder's.
enum TMBInfoFlag : uint16_t {
    MBInfoFlag_Intra = 1u << 0,
    MBInfoFlag_Pattern = 1u << 1,      // derived when writing: coded blocks present
    MBInfoFlag_Backward = 1u << 2,
    MBInfoFlag_Forward = 1u << 3,
    MBInfoFlag_Quant = 1u << 4,        // derived when writing: quantiser changes here
    MBInfoFlag_FieldDCT = 1u << 8,     // dct_type 1 (interlaced coding only)
    MBInfoFlag_Referenced = 1u << 9,   // another picture of the batch predicts from this one
    MBInfoFlag_LargeMotion = 1u << 10, // a vector component above 2 half-pels
    MBInfoFlag_NoResidual = 1u << 11,  // coded with the prediction only: every block not coded
};

// TMBInfo::MotionType; the values are frame_motion_type (ISO/IEC 13818-2, Table 6-17).
enum TMBMotionType : uint16_t {
    MBMotionType_None = 0,  // intra macroblocks
    MBMotionType_Field = 1, // two vectors per direction, one per field of the macroblock
    MBMotionType_Frame = 2, // one vector per direction
};

// What quantisation left of one block (TMBInfo::BlockResult).
enum TMBBlockResult : uint8_t {
    MBBlockResult_NotCoded = 0,      // non-intra: every level 0
    MBBlockResult_FirstCoefOnly = 1, // non-intra: only the level at scan position 0 (the DC)
    MBBlockResult_Coded = 2,         // non-intra: other levels too
    MBBlockResult_DCOnly = 3,        // intra: every AC level 0
    MBBlockResult_HasAC = 4,         // intra: some AC level not 0
};

// One motion vector with the match it came from. For frame prediction vectors are in half
// pels on frame rows; for field prediction MvY counts half pels on field rows and FieldSelect
// names the reference field (motion_vertical_field_select: 0 top, 1 bottom).
struct TMBMotionVector {
    int32_t FieldSelect = 0;
    int32_t MvX = 0;   // half pels, relative to the macroblock
    int32_t MvY = 0;
    int32_t BestX = 0; // absolute full-pel position of the match in the reference
    int32_t BestY = 0; // a frame row, also for field vectors
    int32_t Cost = 0;  // match cost; -1 = not searched
    int32_t Spare = 0;
};

// Frame prediction uses entry 0; field prediction entry 0 for the top field of the macroblock
// and entry 1 for the bottom field.
using TMBVectorPair = std::array<TMBMotionVector, 2>;

inline constexpr int32_t kMBMaxBlocks = 8; // 4:2:2: four luminance, then Cb, Cr alternately

struct TMBInfo {
    uint16_t Flags = 0;      // TMBInfoFlag bits
    uint16_t MotionType = 0; // TMBMotionType; meaningful when Forward or Backward is set
    TMBVectorPair Forward{};
    TMBVectorPair Backward{};

    // Residual measure of the chosen prediction (sum of squares of the residual); inter only.
    int32_t ResidualEnergy = 0;

    // Block variance statistics of the chosen mode (source blocks for intra, residual blocks for
    // inter): largest, smallest and mean luminance block variance, each + 1.
    float MaxVar1 = 0.0f;
    float MinVar1 = 0.0f;
    float MeanVar1 = 0.0f;
    // The same figures for the source blocks (the intra alternative), kept for inter macroblocks
    // that may still turn intra.
    float IntraMaxVar1 = 0.0f;
    float IntraMinVar1 = 0.0f;
    float IntraMeanVar1 = 0.0f;
    float ActivityWeight = 0.0f;
    float BitWeight = 0.0f; // rate-control bit weight of the batch planning

    // Largest and smallest ResidualEnergy of the macroblocks of other pictures predicting from
    // this one.
    int32_t DependentCostMax = 0;
    int32_t DependentCostMin = std::numeric_limits<int32_t>::max();

    // Coding results, filled per coded picture before the macroblock is written.
    uint8_t QuantiserCode = 1; // quantiser_scale_code 1..31
    // Coded-block pattern, block 0 in the most significant of BlocksPerMacroblock bits
    // (ISO/IEC 13818-2, 6.3.17.4): with 6 blocks bit 5 is block 0; with 8 blocks bit 7.
    uint8_t CodedBlockPattern = 0;
    std::array<uint8_t, kMBMaxBlocks> BlockResult{}; // TMBBlockResult per block
    // Set by the syntax writer: the macroblock was skipped (not written).
    uint8_t Skipped = 0;

    bool IsIntra() const { return (Flags & MBInfoFlag_Intra) != 0; }
    bool HasForward() const { return (Flags & MBInfoFlag_Forward) != 0; }
    bool HasBackward() const { return (Flags & MBInfoFlag_Backward) != 0; }
    bool IsFieldPrediction() const { return MotionType == MBMotionType_Field; }
    bool IsFieldDCT() const { return (Flags & MBInfoFlag_FieldDCT) != 0; }
};

// Coded-block pattern helpers on the convention above.
inline constexpr uint32_t CodedBlockBit(int32_t block, int32_t blocksPerMacroblock) {
    return 1u << (blocksPerMacroblock - 1 - block);
}

} // namespace quillset
