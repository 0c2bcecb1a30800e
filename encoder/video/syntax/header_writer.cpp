#include "encoder/video/syntax/header_writer.h"

#include <algorithm>

#include "encoder/video/macroblock_info.h"
#include "encoder/video/syntax/scan_tables.h"
#include "encoder/video/syntax/sequence_syntax.h"
#include "encoder/video/syntax/syntax_primitives.h"
#include "encoder/video/syntax/user_data_writer.h"
#include "encoder/video/video_encode_config.h"

namespace quillset {

using syntax_detail::PutStartCode;

namespace {

constexpr int32_t kSequenceExtensionId = 1;
constexpr int32_t kSequenceDisplayExtensionId = 2;
constexpr int32_t kPictureCodingExtensionId = 8;
constexpr int32_t kPictureStructureFrame = 3;
constexpr size_t kMaxCommentBytes = 0xFFFF;

bool IsCbr(const TMPEGVideoSequenceSyntax& s) {
    return s.RateControlMode == MPEGVideoEncoder_RateControlMode_CBR ||
           s.RateControlMode == MPEGVideoEncoder_RateControlMode_Realtime_CBR;
}

// The modes whose rate the sequence user data records.
bool IsVariableRateMode(const TMPEGVideoSequenceSyntax& s) {
    switch (s.RateControlMode) {
    case MPEGVideoEncoder_RateControlMode_VBR_2PASS:
    case MPEGVideoEncoder_RateControlMode_VBR_Manual:
    case MPEGVideoEncoder_RateControlMode_VBR_Auto:
    case MPEGVideoEncoder_RateControlMode_CQ:
    case MPEGVideoEncoder_RateControlMode_Realtime_CQ:
        return true;
    default:
        return false;
    }
}

// The matrix as decoders will use it: 8 at the intra DC position, 255 for a 0.
TQuantiserMatrix NormalisedMatrix(const TQuantiserMatrix& matrix, bool intra) {
    TQuantiserMatrix out = matrix;
    for (uint8_t& value : out)
        if (value == 0)
            value = 255;
    if (intra)
        out[0] = 8;
    return out;
}

void PutMatrix(TLargeBitStreamWriter& writer, const TQuantiserMatrix& matrix) {
    for (uint8_t raster : kZigzagScanRaster)
        writer.PutBits(matrix[raster], 8);
}

// A bit rate as 15 bits, marker, 15 bits, marker (low part first), so that no run of zero
// bytes can appear.
void PutRateWord(TLargeBitStreamWriter& writer, int32_t rate) {
    const uint32_t value = static_cast<uint32_t>(rate);
    writer.PutBits(value & 0x7FFF, 15);
    writer.PutBits(1, 1);
    writer.PutBits((value >> 15) & 0x7FFF, 15);
    writer.PutBits(1, 1);
}

void PutSequenceExtension(TLargeBitStreamWriter& writer, const TMPEGVideoSequenceSyntax& s) {
    const uint32_t bitRate = static_cast<uint32_t>(BitRateValue(s));
    const uint32_t vbv = static_cast<uint32_t>(s.VBVBufferSize / 2048);
    PutStartCode(writer, kExtensionStartCode);
    writer.PutBits(kSequenceExtensionId, 4);
    writer.PutBits(static_cast<uint32_t>(s.ProfileAndLevelIndication), 8);
    writer.PutBits(s.ProgressiveSequence ? 1 : 0, 1);
    writer.PutBits(static_cast<uint32_t>(s.ChromaFormat), 2);
    writer.PutBits(static_cast<uint32_t>(s.Width >> 12), 2);
    writer.PutBits(static_cast<uint32_t>(s.Height >> 12), 2);
    writer.PutBits(bitRate >> 18, 12);
    writer.PutBits(1, 1); // marker_bit
    writer.PutBits(vbv >> 10, 8);
    writer.PutBits(0, 1); // low_delay
    writer.PutBits(0, 2); // frame_rate_extension_n
    writer.PutBits(0, 5); // frame_rate_extension_d
}

void PutSequenceDisplayExtension(TLargeBitStreamWriter& writer, const TMPEGVideoSequenceSyntax& s) {
    PutStartCode(writer, kExtensionStartCode);
    writer.PutBits(kSequenceDisplayExtensionId, 4);
    writer.PutBits(static_cast<uint32_t>(s.VideoFormat), 3);
    writer.PutBits(1, 1); // colour_description
    writer.PutBits(5, 8); // colour_primaries: ITU-R BT.470-2 System B, G
    writer.PutBits(5, 8); // transfer_characteristics
    writer.PutBits(4, 8); // matrix_coefficients: FCC
    writer.PutBits(static_cast<uint32_t>(s.DisplayWidth), 14);
    writer.PutBits(1, 1); // marker_bit
    writer.PutBits(static_cast<uint32_t>(s.DisplayHeight), 14);
}

bool HasSequenceUserData(const TMPEGVideoSequenceSyntax& s) {
    return IsVariableRateMode(s) || s.IsMPEG2 || !s.CommentText.empty() || (!s.IsMPEG2 && s.DCPrecision > 0);
}

// The private chunk block that tells decoders of MPEG-1 streams the larger intra DC precision.
void PutDCPrecisionChunks(TLargeBitStreamWriter& writer, int32_t dcPrecision) {
    TMPEGVideoEncoder_UserDataStreamWriter chunks;
    chunks.BeginChunk("VDMREXS");
    chunks.WriteIntChunk("IDCPREC", static_cast<uint32_t>(dcPrecision));
    chunks.WriteEmptyChunk("VDMREXE");
    chunks.EndChunk();
    TLargeMemoryStream& stream = chunks.GetStream();
    writer.PutBytes(stream.GetMemory(), static_cast<int32_t>(stream.GetSize()));
}

void PutSequenceUserData(TLargeBitStreamWriter& writer, const TMPEGVideoSequenceSyntax& s) {
    PutStartCode(writer, kUserDataStartCode);
    writer.PutBits(0x0087, 16);
    if (IsVariableRateMode(s) || s.IsMPEG2) {
        writer.PutBits(0x71, 8);
        PutRateWord(writer, s.MaxBitRate);
        if (IsCbr(s)) {
            writer.PutBits(0x72, 8);
            PutRateWord(writer, s.AvgBitRate);
        }
    }
    if (!s.CommentText.empty()) {
        // The length field has 16 bits: longer texts keep their first 65535 bytes.
        const size_t length = std::min(s.CommentText.size(), kMaxCommentBytes);
        writer.PutBits(0x81, 8);
        writer.PutBits(static_cast<uint32_t>(length), 16);
        writer.PutBytes(s.CommentText.data(), static_cast<int32_t>(length));
    }
    writer.PutBits(0x00, 8);
    if (!s.IsMPEG2 && s.DCPrecision > 0)
        PutDCPrecisionChunks(writer, s.DCPrecision);
}

// Closes the GOP in progress for the length statistics.
void FinishGOP(TMPEGVideoSyntaxState& state) {
    const int64_t fields = state.FieldCount - state.GOPStartFieldCount;
    if (state.GOPCount == 0 || fields <= 0)
        return;
    ++state.FinishedGOPCount;
    state.FinishedGOPFields += fields;
    state.MaxGOPFields = std::max(state.MaxGOPFields, fields);
}

int32_t TemporalReference(const TMPEGVideoSyntaxState& state, int64_t displayNumber, int32_t repeatIndex) {
    const int64_t distance = displayNumber - state.GOPFirstDisplayNumber;
    return static_cast<int32_t>((distance * (state.Sequence.RepeatCount + 1) + repeatIndex) & 0x3FF);
}

// picture_header up to extra_bit_picture; f_code fields as MPEG-1 codes them or 7 (MPEG-2).
void PutPictureHeader(TLargeBitStreamWriter& writer, const TMPEGVideoSyntaxState& state, int32_t codingType,
                      int32_t temporalReference, int32_t vbvDelay, const TMPEGVideoFCodes& fCode) {
    const bool mpeg2 = state.Sequence.IsMPEG2;
    PutStartCode(writer, kPictureStartCode);
    writer.PutBits(static_cast<uint32_t>(temporalReference), 10);
    writer.PutBits(static_cast<uint32_t>(codingType), 3);
    writer.PutBits(static_cast<uint32_t>(vbvDelay) & 0xFFFF, 16);
    if (codingType == kPictureCodingTypeP || codingType == kPictureCodingTypeB) {
        writer.PutBits(0, 1); // full_pel_forward_vector
        writer.PutBits(mpeg2 ? 7u : static_cast<uint32_t>(fCode[0][0]), 3);
    }
    if (codingType == kPictureCodingTypeB) {
        writer.PutBits(0, 1); // full_pel_backward_vector
        writer.PutBits(mpeg2 ? 7u : static_cast<uint32_t>(fCode[1][0]), 3);
    }
    writer.PutBits(0, 1); // extra_bit_picture
}

struct TPictureCodingExtension {
    TMPEGVideoFCodes FCode;
    bool TopFieldFirst;
    bool FramePredFrameDct;
    bool QScaleType;
    bool AlternateScan;
    bool RepeatFirstField;
    bool ProgressiveFrame;
};

void PutPictureCodingExtension(TLargeBitStreamWriter& writer, const TMPEGVideoSequenceSyntax& s,
                               const TPictureCodingExtension& e) {
    PutStartCode(writer, kExtensionStartCode);
    writer.PutBits(kPictureCodingExtensionId, 4);
    for (const auto& direction : e.FCode)
        for (int32_t value : direction)
            writer.PutBits(static_cast<uint32_t>(value), 4);
    writer.PutBits(static_cast<uint32_t>(s.DCPrecision), 2);
    writer.PutBits(kPictureStructureFrame, 2);
    writer.PutBits(e.TopFieldFirst ? 1 : 0, 1);
    writer.PutBits(e.FramePredFrameDct ? 1 : 0, 1);
    writer.PutBits(0, 1); // concealment_motion_vectors
    writer.PutBits(e.QScaleType ? 1 : 0, 1);
    writer.PutBits(1, 1); // intra_vlc_format
    writer.PutBits(e.AlternateScan ? 1 : 0, 1);
    writer.PutBits(e.RepeatFirstField ? 1 : 0, 1);
    // chroma_420_type equals progressive_frame for 4:2:0 and is 0 otherwise (ISO/IEC 13818-2,
    // 6.3.10).
    writer.PutBits(s.ChromaFormat == 1 && e.ProgressiveFrame ? 1 : 0, 1);
    writer.PutBits(e.ProgressiveFrame ? 1 : 0, 1);
    writer.PutBits(0, 1); // composite_display_flag
}

// Super Video-CD: room for the scan information the multiplexer fills in.
void PutScanInformationPlaceholder(TLargeBitStreamWriter& writer) {
    PutStartCode(writer, kUserDataStartCode);
    writer.PutBits(0x100E, 16);
    for (int32_t i = 0; i < 4; ++i)
        writer.PutBits(0x008080, 24);
}

} // namespace

bool NeedsSequenceHeader(const TMPEGVideoSyntaxState& state) {
    if (state.GOPCount == 0)
        return true;
    const int32_t interval = state.Sequence.SeqHeaderInterval;
    return interval >= 1 && state.GOPCount % interval == 0;
}

void WriteSequenceHeader(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state,
                         const TQuantiserMatrix& intraMatrix, const TQuantiserMatrix& nonIntraMatrix) {
    const TMPEGVideoSequenceSyntax& s = state.Sequence;
    const TQuantiserMatrix intra = NormalisedMatrix(intraMatrix, true);
    const TQuantiserMatrix nonIntra = NormalisedMatrix(nonIntraMatrix, false);
    const bool loadIntra = intra != kDefaultIntraQuantiserMatrix;
    const bool loadNonIntra = std::any_of(nonIntra.begin(), nonIntra.end(), [](uint8_t v) { return v != 16; });

    PutStartCode(writer, kSequenceHeaderCode);
    writer.PutBits(static_cast<uint32_t>(s.Width) & 0xFFF, 12);
    writer.PutBits(static_cast<uint32_t>(s.Height) & 0xFFF, 12);
    writer.PutBits(static_cast<uint32_t>(s.AspectRatio), 4);
    writer.PutBits(static_cast<uint32_t>(s.FrameRateCode), 4);
    writer.PutBits(static_cast<uint32_t>(BitRateValue(s)) & 0x3FFFF, 18);
    writer.PutBits(1, 1); // marker_bit
    writer.PutBits(static_cast<uint32_t>(s.VBVBufferSize / 2048) & 0x3FF, 10);
    writer.PutBits(!s.IsMPEG2 && s.ConstrainedParameters ? 1 : 0, 1);
    writer.PutBits(loadIntra ? 1 : 0, 1);
    if (loadIntra)
        PutMatrix(writer, intra);
    writer.PutBits(loadNonIntra ? 1 : 0, 1);
    if (loadNonIntra)
        PutMatrix(writer, nonIntra);

    if (s.IsMPEG2) {
        PutSequenceExtension(writer, s);
        PutSequenceDisplayExtension(writer, s);
    }
    if (!state.UserDataWritten) {
        state.UserDataWritten = true;
        if (HasSequenceUserData(s))
            PutSequenceUserData(writer, s);
    }
}

void WriteGOPHeader(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, int64_t iDisplayNumber) {
    FinishGOP(state);
    const int64_t perSecond = TimeCodeFrameRate(state.Sequence.FrameRateCode);
    const int64_t n = (state.FieldCount + 1) / 2; // the integer part of T x R + 0.5
    const int64_t seconds = n / perSecond;
    PutStartCode(writer, kGroupStartCode);
    writer.PutBits(0, 1); // drop_frame_flag
    writer.PutBits(static_cast<uint32_t>(seconds / 3600 % 24), 5);
    writer.PutBits(static_cast<uint32_t>(seconds / 60 % 60), 6);
    writer.PutBits(1, 1); // marker_bit
    writer.PutBits(static_cast<uint32_t>(seconds % 60), 6);
    writer.PutBits(static_cast<uint32_t>(n % perSecond), 6);
    writer.PutBits(state.PictureCount == iDisplayNumber ? 1 : 0, 1); // closed_gop
    writer.PutBits(0, 1);                                            // broken_link
    state.GOPFirstDisplayNumber = state.PictureCount;
    state.GOPStartFieldCount = state.FieldCount;
    ++state.GOPCount;
}

void WritePictureHeader(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state,
                        const TMPEGVideoPictureHeader& picture) {
    const TMPEGVideoSequenceSyntax& s = state.Sequence;
    const int32_t type = picture.PictureCodingType;
    PutPictureHeader(writer, state, type, TemporalReference(state, picture.DisplayNumber, 0), picture.VBVDelay,
                     picture.FCode);

    TMPEGVideoPictureSyntax& p = state.Picture;
    p.PictureCodingType = type;
    p.FCode = picture.FCode;
    p.FramePredFrameDct = !s.IsMPEG2 || !s.InterlacedCoding;
    p.AlternateScan = s.IsMPEG2 && !picture.ProgressiveFrame;
    p.IntraVlcFormat = s.IsMPEG2;
    if (s.IsMPEG2) {
        TPictureCodingExtension e{};
        e.FCode = picture.FCode;
        e.TopFieldFirst = picture.TopFieldFirst;
        e.FramePredFrameDct = p.FramePredFrameDct;
        e.QScaleType = true;
        e.AlternateScan = p.AlternateScan;
        e.RepeatFirstField = picture.RepeatFirstField;
        e.ProgressiveFrame = picture.ProgressiveFrame;
        PutPictureCodingExtension(writer, s, e);
    }
    if (s.SuperVideoCD && type == kPictureCodingTypeI)
        PutScanInformationPlaceholder(writer);
    if (!picture.UserData.empty()) {
        PutStartCode(writer, kUserDataStartCode);
        writer.PutBytes(picture.UserData.data(), static_cast<int32_t>(picture.UserData.size()));
    }
    ++state.PictureCount;
    state.FieldCount += picture.RepeatFirstField ? 3 : 2;
}

void WriteSliceHeader(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, int32_t mbRow,
                      int32_t quantiserCode) {
    const TMPEGVideoSequenceSyntax& s = state.Sequence;
    // ISO/IEC 13818-2, 6.2.4: pictures taller than 2800 lines extend the row number by 3 bits.
    const bool extended = s.IsMPEG2 && s.Height > 2800;
    if (extended) {
        PutStartCode(writer, kPictureStartCode + static_cast<uint32_t>((mbRow & 0x7F) + 1));
        writer.PutBits(static_cast<uint32_t>(mbRow >> 7), 3);
    } else {
        PutStartCode(writer, kSliceStartCodeFirst + static_cast<uint32_t>(mbRow));
    }
    writer.PutBits(static_cast<uint32_t>(quantiserCode), 5);
    writer.PutBits(0, 1); // extra_bit_slice

    state.CurrentQuantiser = quantiserCode;
    state.PreviousAddress = mbRow * s.MBWidth - 1;
    state.SliceMacroblocks = 0;
    state.DCPredictor = {0, 0, 0};
    for (auto& r : state.PMV)
        for (auto& direction : r)
            direction[0] = direction[1] = 0;
    state.PreviousDirections = 0;
    state.PreviousFieldPrediction = false;
}

void WriteSkippedPicture(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, int32_t pictureCodingType,
                         int64_t repeatedDisplayNumber, int32_t repeatIndex, int32_t vbvDelay) {
    const TMPEGVideoSequenceSyntax& s = state.Sequence;
    const bool bPicture = pictureCodingType == kPictureCodingTypeB;
    // Unused f_codes of an MPEG-2 P picture are 15 (ISO/IEC 13818-2, 6.3.10).
    const int32_t unusedBackward = s.IsMPEG2 && !bPicture ? 15 : 1;
    const TMPEGVideoFCodes fCode{{{1, 1}, {unusedBackward, unusedBackward}}};
    PutPictureHeader(writer, state, pictureCodingType, TemporalReference(state, repeatedDisplayNumber, repeatIndex),
                     vbvDelay, fCode);
    if (s.IsMPEG2) {
        TPictureCodingExtension e{};
        e.FCode = fCode;
        e.TopFieldFirst = s.InterlacedCoding && s.TopFieldFirst;
        e.FramePredFrameDct = true;
        e.QScaleType = false;
        e.AlternateScan = false;
        e.RepeatFirstField = false;
        e.ProgressiveFrame = !s.InterlacedCoding;
        PutPictureCodingExtension(writer, s, e);
    }
    state.Picture = TMPEGVideoPictureSyntax{pictureCodingType, fCode, true, false, s.IsMPEG2};

    // Each slice codes its first and last macroblock as forward-predicted with a zero vector
    // and no coded block; the macroblocks between are skipped.
    const TVlcCode type = MacroblockTypeCodes(pictureCodingType)[MBInfoFlag_Forward];
    const int32_t rows = s.IsMPEG2 ? s.MBHeight : 1;
    const int32_t perSlice = s.IsMPEG2 ? s.MBWidth : s.MacroblockCount();
    for (int32_t row = 0; row < rows; ++row) {
        WriteSliceHeader(writer, state, row, 1);
        const int32_t last = perSlice - 1;
        // The first macroblock (increment 1 from the slice start), then the last one.
        const int32_t increments[2] = {1, last};
        for (int32_t i = 0; i < (last > 0 ? 2 : 1); ++i) {
            syntax_detail::PutAddressIncrement(writer, increments[i]);
            syntax_detail::PutVlc(writer, type);
            syntax_detail::PutMotionCode(writer, 0);
            syntax_detail::PutMotionCode(writer, 0);
        }
        state.PreviousAddress = row * s.MBWidth + last;
    }
    ++state.SkippedPictureCount;
    state.FieldCount += 2;
}

void WriteSequenceEnd(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, int64_t stuffingBits) {
    FinishGOP(state);
    state.GOPStartFieldCount = state.FieldCount;
    writer.ByteAlign();
    if (stuffingBits > 0)
        writer.PutZeroBits(stuffingBits);
    PutStartCode(writer, kSequenceEndCode);
    writer.Flush();
}

} // namespace quillset
