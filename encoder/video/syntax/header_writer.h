// The header layers of an ISO/IEC 11172-2 / 13818-2 video elementary stream: sequence header
// group (with the MPEG-2 sequence and sequence display extensions and the sequence user data),
// GOP header, picture header (with the MPEG-2 picture coding extension and picture user data),
// slice header, sequence end; and the all-skipped pictures that repeat a coded picture.
//
// Every writer starts its start code on a byte boundary (zero bits are written to reach it) and
// writes to the given bit writer, which may be the real output or a bit-counting null writer.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "encoder/video/syntax/syntax_state.h"
#include "stream/bit_stream_writer.h"

namespace quillset {

inline constexpr uint32_t kPictureStartCode = 0x00000100;
inline constexpr uint32_t kSliceStartCodeFirst = 0x00000101;
inline constexpr uint32_t kUserDataStartCode = 0x000001B2;
inline constexpr uint32_t kSequenceHeaderCode = 0x000001B3;
inline constexpr uint32_t kExtensionStartCode = 0x000001B5;
inline constexpr uint32_t kSequenceEndCode = 0x000001B7;
inline constexpr uint32_t kGroupStartCode = 0x000001B8;

using TQuantiserMatrix = std::array<uint8_t, 64>; // raster order

// What the header of one coded picture needs.
struct TMPEGVideoPictureHeader {
    int32_t PictureCodingType = kPictureCodingTypeI; // 1 I, 2 P, 3 B
    int64_t DisplayNumber = 0;                        // counting coded pictures from 0
    int32_t VBVDelay = 0xFFFF;                        // 90 kHz ticks; 0xFFFF for variable rate
    TMPEGVideoFCodes FCode{{{15, 15}, {15, 15}}};     // from ComputePictureFCodes
    bool TopFieldFirst = false;
    bool RepeatFirstField = false;
    bool ProgressiveFrame = true;
    std::span<const uint8_t> UserData; // written as picture user data when not empty
};

// The picture_coding_type of a picture type 0 I, 1 P, 2 B.
inline constexpr int32_t PictureCodingTypeOf(int32_t pictureType) { return pictureType + 1; }

// True when a sequence header group must precede the next GOP: before the first GOP, and
// before every GOP whose number (from 0) is a multiple of a GOP_SeqHeaderInterval >= 1.
bool NeedsSequenceHeader(const TMPEGVideoSyntaxState& state);

// Sequence header with the given current matrices (raster order), then for MPEG-2 the sequence
// extension and sequence display extension, then, after the first sequence header only, the
// sequence user data. A matrix equal to its default is not loaded. An intra matrix is written
// with 8 at the DC position, and a matrix value 0 as 255, the values the quantiser uses.
void WriteSequenceHeader(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state,
                         const TQuantiserMatrix& intraMatrix, const TQuantiserMatrix& nonIntraMatrix);

// GOP header before the I picture with display number iDisplayNumber: the time code of the
// fields written so far, closed_gop when no picture displayed before the I belongs to the GOP.
// The GOP's first display number becomes the number of coded pictures written so far.
void WriteGOPHeader(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, int64_t iDisplayNumber);

// Picture header (and for MPEG-2 the picture coding extension), then the picture user data:
// for Super Video-CD I pictures the scan-information placeholder, then the picture's own bytes.
// Sets the picture state for the slices and macroblocks that follow and advances the picture
// count and the time-code clock by the picture's 2 + repeat_first_field fields.
void WritePictureHeader(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state,
                        const TMPEGVideoPictureHeader& picture);

// Slice header for macroblock row mbRow with the quantiser_scale_code of its first macroblock;
// resets the predictors and makes the quantiser the current one. WriteMacroblock calls it at
// each slice start; the picture coder does not need to.
void WriteSliceHeader(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, int32_t mbRow,
                      int32_t quantiserCode);

// A P (2) or B (3) picture with every macroblock skipped: it repeats a coded picture. It is
// repeat number repeatIndex (1..RepeatCount) of the coded picture with display number
// repeatedDisplayNumber, so temporal_reference = (repeatedDisplayNumber - GOP's first display
// number) x (RepeatCount + 1) + repeatIndex. A skipped B written after a P picture repeats the
// picture displayed before that P; skipped P pictures repeat the last picture displayed.
// Adds two fields to the time-code clock.
void WriteSkippedPicture(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, int32_t pictureCodingType,
                         int64_t repeatedDisplayNumber, int32_t repeatIndex, int32_t vbvDelay);

// Aligns, writes stuffingBits zero bits (the end stuffing the rate control asks for; 0 outside
// CBR), the sequence end code, and flushes the writer.
void WriteSequenceEnd(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, int64_t stuffingBits);

} // namespace quillset
