// The state the video syntax writers share, grouped by lifetime: the sequence values fixed at
// encoder creation, the values of the picture being written, and the running stream state
// (counters, time-code clock, slice and macroblock predictors).
//
// The state is a plain value: the picture coder may copy it to code a picture once into a
// bit-counting writer and then again for real from the same starting point.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>

namespace quillset {

// Sequence values derived once from the validated configuration (see MakeSequenceSyntax).
struct TMPEGVideoSequenceSyntax {
    bool IsMPEG2 = false;
    int32_t Width = 0; // picture size in pixels
    int32_t Height = 0;
    int32_t MBWidth = 0;  // macroblock grid (the padded picture / 16)
    int32_t MBHeight = 0;
    int32_t ChromaFormat = 1;        // chroma_format: 1 4:2:0, 2 4:2:2
    int32_t BlocksPerMacroblock = 6; // 6 or 8
    int32_t AspectRatio = 1;         // aspect_ratio_information
    int32_t FrameRateCode = 4;       // frame_rate_code as written (after the pull-down change)
    int32_t RepeatCount = 0;         // skipped pictures per coded picture (frame-rate divisor - 1)
    uint8_t RateControlMode = 0;     // TMPEGVideoEncoder_RateControlMode
    int32_t MaxBitRate = 0;          // bits per second
    int32_t AvgBitRate = 0;
    int32_t VBVBufferSize = 0;       // bytes, a multiple of 2048
    bool ConstrainedParameters = false; // constrained_parameters_flag (MPEG-1)
    int32_t ProfileAndLevelIndication = 0x48;
    bool ProgressiveSequence = true;
    bool InterlacedCoding = false;   // field/frame decisions per macroblock: frame_pred_frame_dct 0
    bool TopFieldFirst = false;      // the configured field order (skipped pictures)
    int32_t VideoFormat = 5;
    int32_t DisplayWidth = 0;
    int32_t DisplayHeight = 0;
    int32_t DCPrecision = 0;         // intra_dc_precision 0..3
    std::string CommentText;
    bool SuperVideoCD = false;
    int32_t SeqHeaderInterval = 0;   // GOP_SeqHeaderInterval

    int32_t MacroblockCount() const { return MBWidth * MBHeight; }
    int32_t PaddedHeight() const { return 16 * MBHeight; }
};

// picture_coding_type values (ISO/IEC 13818-2, Table 6-12).
inline constexpr int32_t kPictureCodingTypeI = 1;
inline constexpr int32_t kPictureCodingTypeP = 2;
inline constexpr int32_t kPictureCodingTypeB = 3;

// f_code[s][t]: s = 0 forward, 1 backward; t = 0 horizontal, 1 vertical. MPEG-1 keeps its one
// f_code of a direction in both entries.
using TMPEGVideoFCodes = std::array<std::array<int32_t, 2>, 2>;

// The coding parameters of the picture being written, set by WritePictureHeader and
// WriteSkippedPicture and read by the slice and macroblock writers.
struct TMPEGVideoPictureSyntax {
    int32_t PictureCodingType = kPictureCodingTypeI;
    TMPEGVideoFCodes FCode{{{15, 15}, {15, 15}}};
    bool FramePredFrameDct = true;
    bool AlternateScan = false;
    bool IntraVlcFormat = false; // Table B.15 for intra blocks (MPEG-2)
};

struct TMPEGVideoSyntaxState {
    TMPEGVideoSequenceSyntax Sequence;
    TMPEGVideoPictureSyntax Picture;

    // Stream counters.
    int64_t PictureCount = 0;        // coded (not skipped) pictures whose header was written
    int64_t SkippedPictureCount = 0; // all-skipped pictures written
    int64_t FieldCount = 0;          // fields of every picture written: the time-code clock
    int64_t GOPCount = 0;            // GOP headers written
    int64_t GOPFirstDisplayNumber = 0;
    bool UserDataWritten = false;    // the sequence user data went out with the first header

    // GOP lengths in fields, for the encoder's summary; a GOP is counted when the next one
    // starts or the sequence ends.
    int64_t GOPStartFieldCount = 0;
    int64_t FinishedGOPCount = 0;
    int64_t FinishedGOPFields = 0;
    int64_t MaxGOPFields = 0;

    // Slice and macroblock state.
    int32_t CurrentQuantiser = 1;   // quantiser_scale_code in force
    int32_t PreviousAddress = -1;   // macroblock address of the last macroblock written
    int32_t SliceMacroblocks = 0;   // macroblocks (coded or skipped) since the slice header
    std::array<int32_t, 3> DCPredictor{}; // Y, Cb, Cr on the encoder's level-shifted scale
    // Motion vector predictors PMV[r][s][t] (ISO/IEC 13818-2, 7.6.3): r field/first vector,
    // s direction, t component; field vectors are held with the vertical component doubled.
    int32_t PMV[2][2][2] = {};
    uint8_t PreviousDirections = 0; // forward/backward flags of the last macroblock (0 after intra)
    bool PreviousFieldPrediction = false;

    explicit TMPEGVideoSyntaxState(TMPEGVideoSequenceSyntax sequence = {}) : Sequence(std::move(sequence)) {}
};

} // namespace quillset
