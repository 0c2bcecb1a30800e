// A small video elementary stream parser for the syntax tests: it reads headers and macroblocks
// back with the decoding rules of ISO/IEC 13818-2 (motion vector reconstruction, skipped
// macroblocks, DC prediction, both escapes) so that tests can compare what was written with
// what a decoder sees.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "encoder/video/macroblock_info.h"
#include "encoder/video/syntax/scan_tables.h"
#include "encoder/video/syntax/vlc_tables.h"
#include "stream/bit_stream_reader.h"

namespace quillset::syntax_test {

struct TDecodedSequenceHeader {
    int32_t Width = 0, Height = 0, AspectRatio = 0, FrameRateCode = 0;
    int32_t BitRateValue = 0; // including the MPEG-2 extension bits
    int32_t VBVBufferSizeValue = 0;
    int32_t ConstrainedParameters = 0;
    bool LoadIntra = false, LoadNonIntra = false;
    std::array<uint8_t, 64> IntraMatrix{}, NonIntraMatrix{}; // raster order
    bool HasSequenceExtension = false;
    int32_t ProfileAndLevel = 0, ProgressiveSequence = 0, ChromaFormat = 1, LowDelay = 0;
    bool HasDisplayExtension = false;
    int32_t VideoFormat = 0, ColourPrimaries = 0, TransferCharacteristics = 0, MatrixCoefficients = 0;
    int32_t DisplayWidth = 0, DisplayHeight = 0;
    std::vector<uint8_t> UserData; // bytes after the user data start code
};

struct TDecodedGOPHeader {
    int32_t Hours = 0, Minutes = 0, Seconds = 0, Pictures = 0;
    int32_t DropFrame = 0, ClosedGOP = 0, BrokenLink = 0;
};

struct TDecodedPictureHeader {
    int32_t TemporalReference = 0, CodingType = 0, VBVDelay = 0;
    int32_t ForwardFCode = 0, BackwardFCode = 0; // picture header fields (MPEG-1 meaning)
    bool HasCodingExtension = false;
    int32_t FCode[2][2] = {};
    int32_t IntraDCPrecision = 0, PictureStructure = 0, TopFieldFirst = 0, FramePredFrameDct = 1;
    int32_t ConcealmentVectors = 0, QScaleType = 0, IntraVlcFormat = 0, AlternateScan = 0;
    int32_t RepeatFirstField = 0, Chroma420Type = 0, ProgressiveFrame = 1, CompositeDisplay = 0;
    std::vector<std::vector<uint8_t>> UserData;
};

struct TDecodedMacroblock {
    int32_t Address = 0;
    bool Skipped = false;
    bool Intra = false;
    uint32_t Directions = 0; // MBInfoFlag_Forward / _Backward
    bool Field = false;      // field prediction
    bool FieldDCT = false;
    int32_t Quantiser = 0;   // quantiser_scale_code in force
    TMBVectorPair Vectors[2]{}; // per direction; field vectors with field-row MvY
    uint32_t Pattern = 0;
    std::vector<int16_t> Levels; // blocks x 64, transposed storage; intra DC as an absolute level
};

struct TStreamLayout {
    bool Mpeg2 = true;
    int32_t MBWidth = 0, MBHeight = 0;
    int32_t Blocks = 6;
    bool ExtendedSliceRows = false; // vertical size above 2800
};

class TSyntaxTestDecoder {
public:
    explicit TSyntaxTestDecoder(TLargeBitStreamReader& reader) : Reader(reader) {}

    // Skips to the next start code and reads it; 0 at the end of the stream.
    uint32_t NextStartCode() {
        Reader.ByteAlign();
        while (!Reader.IsAtEnd()) {
            if (Reader.PeekBits(24) == 0x000001)
                return Reader.GetBits(32);
            Reader.SkipBits(8);
        }
        return 0;
    }
    uint32_t PeekStartCode() {
        Reader.ByteAlign();
        while (!Reader.IsAtEnd() && Reader.PeekBits(24) != 0x000001)
            Reader.SkipBits(8);
        return Reader.IsAtEnd() ? 0 : Reader.PeekBits(32);
    }

    uint32_t Get(int32_t bits) { return Reader.GetBits(bits); }

    void Expect(int32_t count, uint32_t value, const char* what) {
        if (Reader.GetBits(count) != value)
            throw std::runtime_error(std::string("bad ") + what);
    }

    // After 0x000001B3: the header, then its extensions and user data up to the next other code.
    TDecodedSequenceHeader ReadSequenceHeader();
    // After 0x000001B8.
    TDecodedGOPHeader ReadGOPHeader();
    // After 0x00000100: header, coding extension and user data.
    TDecodedPictureHeader ReadPictureHeader();
    // The slices of a picture up to the next non-slice start code: every macroblock address
    // once, skipped ones filled in as a decoder infers them.
    std::vector<TDecodedMacroblock> ReadPictureData(const TStreamLayout& layout, const TDecodedPictureHeader& picture);

    // Generic VLC decode against a code table (entries with Length 0 are ignored); returns the
    // index or throws.
    template <size_t N>
    size_t DecodeVlc(const std::array<TVlcCode, N>& table, const char* what) {
        for (size_t i = 0; i < N; ++i) {
            const TVlcCode c = table[i];
            if (c.Length != 0 && Reader.PeekBits(c.Length) == c.Code) {
                Reader.SkipBits(c.Length);
                return i;
            }
        }
        throw std::runtime_error(std::string("no code for ") + what);
    }

private:
    std::vector<uint8_t> ReadUserDataBytes() {
        std::vector<uint8_t> bytes;
        while (!Reader.IsAtEnd() && Reader.PeekBits(24) != 0x000001)
            bytes.push_back(static_cast<uint8_t>(Reader.GetBits(8)));
        return bytes;
    }

    int32_t DecodeMotionCode() {
        const size_t magnitude = DecodeVlc(kMotionCodeCodes, "motion_code");
        if (magnitude == 0)
            return 0;
        return Reader.GetBits(1) ? -static_cast<int32_t>(magnitude) : static_cast<int32_t>(magnitude);
    }

    // ISO/IEC 13818-2, 7.6.3.1.
    int32_t DecodeComponent(int32_t predictor, int32_t fCode) {
        const int32_t rSize = fCode - 1;
        const int32_t f = 1 << rSize;
        const int32_t code = DecodeMotionCode();
        int32_t delta = code;
        if (f != 1 && code != 0) {
            const int32_t residual = static_cast<int32_t>(Reader.GetBits(rSize));
            delta = ((code < 0 ? -code : code) - 1) * f + residual + 1;
            if (code < 0)
                delta = -delta;
        }
        int32_t v = predictor + delta;
        if (v < -16 * f)
            v += 32 * f;
        else if (v > 16 * f - 1)
            v -= 32 * f;
        return v;
    }

    void DecodeVectors(int32_t s, bool field, const int32_t (&fCode)[2][2], TMBVectorPair& out);
    void DecodeBlock(const TStreamLayout& layout, const TDecodedPictureHeader& picture, bool intra, int32_t index,
                     int16_t* levels);
    void DecodeMacroblock(const TStreamLayout& layout, const TDecodedPictureHeader& picture, TDecodedMacroblock& mb);

    TLargeBitStreamReader& Reader;
    int32_t PMV[2][2][2] = {};
    int32_t DCPred[3] = {};
    int32_t Quantiser = 0;
    uint32_t PrevDirections = 0;
};

inline TDecodedSequenceHeader TSyntaxTestDecoder::ReadSequenceHeader() {
    TDecodedSequenceHeader h;
    h.Width = static_cast<int32_t>(Get(12));
    h.Height = static_cast<int32_t>(Get(12));
    h.AspectRatio = static_cast<int32_t>(Get(4));
    h.FrameRateCode = static_cast<int32_t>(Get(4));
    h.BitRateValue = static_cast<int32_t>(Get(18));
    Expect(1, 1, "sequence marker");
    h.VBVBufferSizeValue = static_cast<int32_t>(Get(10));
    h.ConstrainedParameters = static_cast<int32_t>(Get(1));
    h.LoadIntra = Get(1) != 0;
    if (h.LoadIntra)
        for (uint8_t raster : kZigzagScanRaster)
            h.IntraMatrix[raster] = static_cast<uint8_t>(Get(8));
    h.LoadNonIntra = Get(1) != 0;
    if (h.LoadNonIntra)
        for (uint8_t raster : kZigzagScanRaster)
            h.NonIntraMatrix[raster] = static_cast<uint8_t>(Get(8));
    for (;;) {
        const uint32_t code = PeekStartCode();
        if (code == 0x000001B5) {
            NextStartCode();
            const uint32_t id = Get(4);
            if (id == 1) {
                h.HasSequenceExtension = true;
                h.ProfileAndLevel = static_cast<int32_t>(Get(8));
                h.ProgressiveSequence = static_cast<int32_t>(Get(1));
                h.ChromaFormat = static_cast<int32_t>(Get(2));
                h.Width |= static_cast<int32_t>(Get(2)) << 12;
                h.Height |= static_cast<int32_t>(Get(2)) << 12;
                h.BitRateValue |= static_cast<int32_t>(Get(12)) << 18;
                Expect(1, 1, "extension marker");
                h.VBVBufferSizeValue |= static_cast<int32_t>(Get(8)) << 10;
                h.LowDelay = static_cast<int32_t>(Get(1));
                Expect(7, 0, "frame rate extension");
            } else if (id == 2) {
                h.HasDisplayExtension = true;
                h.VideoFormat = static_cast<int32_t>(Get(3));
                if (Get(1)) {
                    h.ColourPrimaries = static_cast<int32_t>(Get(8));
                    h.TransferCharacteristics = static_cast<int32_t>(Get(8));
                    h.MatrixCoefficients = static_cast<int32_t>(Get(8));
                }
                h.DisplayWidth = static_cast<int32_t>(Get(14));
                Expect(1, 1, "display marker");
                h.DisplayHeight = static_cast<int32_t>(Get(14));
            } else {
                throw std::runtime_error("unexpected sequence extension");
            }
        } else if (code == 0x000001B2) {
            NextStartCode();
            h.UserData = ReadUserDataBytes();
        } else {
            return h;
        }
    }
}

inline TDecodedGOPHeader TSyntaxTestDecoder::ReadGOPHeader() {
    TDecodedGOPHeader g;
    g.DropFrame = static_cast<int32_t>(Get(1));
    g.Hours = static_cast<int32_t>(Get(5));
    g.Minutes = static_cast<int32_t>(Get(6));
    Expect(1, 1, "time code marker");
    g.Seconds = static_cast<int32_t>(Get(6));
    g.Pictures = static_cast<int32_t>(Get(6));
    g.ClosedGOP = static_cast<int32_t>(Get(1));
    g.BrokenLink = static_cast<int32_t>(Get(1));
    return g;
}

inline TDecodedPictureHeader TSyntaxTestDecoder::ReadPictureHeader() {
    TDecodedPictureHeader p;
    p.TemporalReference = static_cast<int32_t>(Get(10));
    p.CodingType = static_cast<int32_t>(Get(3));
    p.VBVDelay = static_cast<int32_t>(Get(16));
    if (p.CodingType == 2 || p.CodingType == 3) {
        Expect(1, 0, "full_pel_forward_vector");
        p.ForwardFCode = static_cast<int32_t>(Get(3));
    }
    if (p.CodingType == 3) {
        Expect(1, 0, "full_pel_backward_vector");
        p.BackwardFCode = static_cast<int32_t>(Get(3));
    }
    Expect(1, 0, "extra_bit_picture");
    // MPEG-1 meaning, replaced by the coding extension when there is one.
    p.FCode[0][0] = p.FCode[0][1] = p.ForwardFCode;
    p.FCode[1][0] = p.FCode[1][1] = p.BackwardFCode;
    for (;;) {
        const uint32_t code = PeekStartCode();
        if (code == 0x000001B5) {
            NextStartCode();
            if (Get(4) != 8)
                throw std::runtime_error("unexpected picture extension");
            p.HasCodingExtension = true;
            for (auto& direction : p.FCode)
                for (int32_t& value : direction)
                    value = static_cast<int32_t>(Get(4));
            p.IntraDCPrecision = static_cast<int32_t>(Get(2));
            p.PictureStructure = static_cast<int32_t>(Get(2));
            p.TopFieldFirst = static_cast<int32_t>(Get(1));
            p.FramePredFrameDct = static_cast<int32_t>(Get(1));
            p.ConcealmentVectors = static_cast<int32_t>(Get(1));
            p.QScaleType = static_cast<int32_t>(Get(1));
            p.IntraVlcFormat = static_cast<int32_t>(Get(1));
            p.AlternateScan = static_cast<int32_t>(Get(1));
            p.RepeatFirstField = static_cast<int32_t>(Get(1));
            p.Chroma420Type = static_cast<int32_t>(Get(1));
            p.ProgressiveFrame = static_cast<int32_t>(Get(1));
            p.CompositeDisplay = static_cast<int32_t>(Get(1));
        } else if (code == 0x000001B2) {
            NextStartCode();
            p.UserData.push_back(ReadUserDataBytes());
        } else {
            return p;
        }
    }
}

inline void TSyntaxTestDecoder::DecodeVectors(int32_t s, bool field, const int32_t (&fCode)[2][2],
                                              TMBVectorPair& out) {
    if (!field) {
        const int32_t x = DecodeComponent(PMV[0][s][0], fCode[s][0]);
        const int32_t y = DecodeComponent(PMV[0][s][1], fCode[s][1]);
        PMV[0][s][0] = PMV[1][s][0] = x;
        PMV[0][s][1] = PMV[1][s][1] = y;
        out[0].MvX = x;
        out[0].MvY = y;
        return;
    }
    for (int32_t r = 0; r < 2; ++r) {
        out[r].FieldSelect = static_cast<int32_t>(Get(1));
        const int32_t x = DecodeComponent(PMV[r][s][0], fCode[s][0]);
        const int32_t y = DecodeComponent(PMV[r][s][1] >> 1, fCode[s][1]);
        PMV[r][s][0] = x;
        PMV[r][s][1] = y * 2;
        out[r].MvX = x;
        out[r].MvY = y;
    }
}

inline void TSyntaxTestDecoder::DecodeBlock(const TStreamLayout& layout, const TDecodedPictureHeader& picture,
                                            bool intra, int32_t index, int16_t* levels) {
    const auto& scan = CoefficientScan(picture.AlternateScan != 0);
    int32_t position = 0;
    const bool tableOne = intra && picture.IntraVlcFormat != 0;
    if (intra) {
        const int32_t component = index < 4 ? 0 : 1 + (index & 1);
        const size_t size = component == 0 ? DecodeVlc(kDCSizeLuminanceCodes, "dc size luma")
                                           : DecodeVlc(kDCSizeChrominanceCodes, "dc size chroma");
        int32_t diff = 0;
        if (size > 0) {
            const int32_t bits = static_cast<int32_t>(Get(static_cast<int32_t>(size)));
            diff = bits >= (1 << (size - 1)) ? bits : bits + 1 - (1 << size);
        }
        DCPred[component] += diff;
        levels[0] = static_cast<int16_t>(DCPred[component]);
        position = 1;
    }
    const std::span<const TDctCoefficientCode> table = DctCoefficientTable(tableOne);
    const TVlcCode eob = tableOne ? kEndOfBlockCodeTable1 : kEndOfBlockCodeTable0;
    bool first = !intra;
    for (;;) {
        int32_t run = 0;
        int32_t level = 0;
        if (first && Reader.PeekBits(1) == 1) {
            Reader.SkipBits(1);
            level = Get(1) ? -1 : 1;
        } else if (!first && Reader.PeekBits(eob.Length) == eob.Code) {
            Reader.SkipBits(eob.Length);
            return;
        } else if (Reader.PeekBits(6) == kDctEscapeCode.Code) {
            Reader.SkipBits(6);
            run = static_cast<int32_t>(Get(6));
            if (layout.Mpeg2) {
                level = static_cast<int32_t>(Get(12));
                if (level >= 2048)
                    level -= 4096;
                if (level == 0 || level == -2048)
                    throw std::runtime_error("forbidden escape level");
            } else {
                level = static_cast<int32_t>(Get(8));
                if (level == 0)
                    level = static_cast<int32_t>(Get(8));
                else if (level == 128)
                    level = static_cast<int32_t>(Get(8)) - 256;
                else if (level > 128)
                    level -= 256;
                if (level == 0)
                    throw std::runtime_error("forbidden MPEG-1 escape level");
            }
        } else {
            bool found = false;
            for (const TDctCoefficientCode& entry : table) {
                if (Reader.PeekBits(entry.Length) == entry.Code) {
                    Reader.SkipBits(entry.Length);
                    run = entry.Run;
                    level = Get(1) ? -entry.Level : entry.Level;
                    found = true;
                    break;
                }
            }
            if (!found)
                throw std::runtime_error("no DCT code");
        }
        first = false;
        position += run;
        if (position > 63)
            throw std::runtime_error("run beyond the block");
        levels[scan[static_cast<size_t>(position)]] = static_cast<int16_t>(level);
        ++position;
    }
}

inline void TSyntaxTestDecoder::DecodeMacroblock(const TStreamLayout& layout, const TDecodedPictureHeader& picture,
                                                 TDecodedMacroblock& mb) {
    const size_t type = DecodeVlc(MacroblockTypeCodes(picture.CodingType), "macroblock_type");
    mb.Intra = (type & MBInfoFlag_Intra) != 0;
    mb.Directions = static_cast<uint32_t>(type) & (MBInfoFlag_Forward | MBInfoFlag_Backward);
    const bool pattern = (type & MBInfoFlag_Pattern) != 0;
    if (!picture.FramePredFrameDct) {
        if (mb.Directions != 0) {
            const uint32_t motionType = Get(2);
            if (motionType != 1 && motionType != 2)
                throw std::runtime_error("unexpected frame_motion_type");
            mb.Field = motionType == 1;
        }
        if (mb.Intra || pattern)
            mb.FieldDCT = Get(1) != 0;
    }
    if (type & MBInfoFlag_Quant)
        Quantiser = static_cast<int32_t>(Get(5));
    mb.Quantiser = Quantiser;
    if (mb.Directions & MBInfoFlag_Forward)
        DecodeVectors(0, mb.Field, picture.FCode, mb.Vectors[0]);
    if (mb.Directions & MBInfoFlag_Backward)
        DecodeVectors(1, mb.Field, picture.FCode, mb.Vectors[1]);
    if (mb.Intra || (picture.CodingType == 2 && mb.Directions == 0))
        std::memset(PMV, 0, sizeof(PMV));
    if (picture.CodingType == 2 && !mb.Intra)
        mb.Directions = MBInfoFlag_Forward; // "No MC" predicts forward with vector (0, 0)
    mb.Levels.assign(static_cast<size_t>(64 * layout.Blocks), 0);
    if (mb.Intra) {
        mb.Pattern = (1u << layout.Blocks) - 1;
    } else if (pattern) {
        mb.Pattern = static_cast<uint32_t>(DecodeVlc(kCodedBlockPatternCodes, "coded_block_pattern"));
        if (layout.Blocks == 8)
            mb.Pattern = (mb.Pattern << 2) | Get(2);
        if (mb.Pattern == 0)
            throw std::runtime_error("empty coded_block_pattern");
    }
    if (!mb.Intra)
        DCPred[0] = DCPred[1] = DCPred[2] = 0;
    for (int32_t b = 0; b < layout.Blocks; ++b)
        if (mb.Pattern & (1u << (layout.Blocks - 1 - b)))
            DecodeBlock(layout, picture, mb.Intra, b, mb.Levels.data() + 64 * b);
    PrevDirections = mb.Intra ? 0 : mb.Directions;
}

inline std::vector<TDecodedMacroblock> TSyntaxTestDecoder::ReadPictureData(const TStreamLayout& layout,
                                                                           const TDecodedPictureHeader& picture) {
    const int32_t count = layout.MBWidth * layout.MBHeight;
    std::vector<TDecodedMacroblock> out(static_cast<size_t>(count));
    std::vector<bool> seen(static_cast<size_t>(count), false);
    for (;;) {
        const uint32_t code = PeekStartCode();
        if (code < 0x00000101 || code > 0x000001AF)
            break;
        NextStartCode();
        int32_t row = static_cast<int32_t>(code & 0xFF) - 1;
        if (layout.ExtendedSliceRows)
            row += static_cast<int32_t>(Get(3)) << 7;
        Quantiser = static_cast<int32_t>(Get(5));
        Expect(1, 0, "extra_bit_slice");
        std::memset(PMV, 0, sizeof(PMV));
        DCPred[0] = DCPred[1] = DCPred[2] = 0;
        PrevDirections = 0;
        int32_t previous = row * layout.MBWidth - 1;
        bool firstInSlice = true;
        while (Reader.PeekBits(23) != 0) {
            int32_t increment = 0;
            while (Reader.PeekBits(11) == kMacroblockEscapeCode.Code) {
                Reader.SkipBits(11);
                increment += 33;
            }
            increment += static_cast<int32_t>(DecodeVlc(kMacroblockAddressIncrementCodes, "address increment"));
            const int32_t address = previous + increment;
            if (address >= count)
                throw std::runtime_error("macroblock address beyond the picture");
            if (!firstInSlice) {
                for (int32_t a = previous + 1; a < address; ++a) {
                    TDecodedMacroblock& skipped = out[static_cast<size_t>(a)];
                    skipped.Address = a;
                    skipped.Skipped = true;
                    skipped.Quantiser = Quantiser;
                    skipped.Levels.assign(static_cast<size_t>(64 * layout.Blocks), 0);
                    if (picture.CodingType == 2) {
                        std::memset(PMV, 0, sizeof(PMV));
                        skipped.Directions = MBInfoFlag_Forward;
                    } else {
                        if (PrevDirections == 0)
                            throw std::runtime_error("skipped B macroblock after an intra one");
                        skipped.Directions = PrevDirections;
                        for (int32_t s = 0; s < 2; ++s) {
                            skipped.Vectors[s][0].MvX = PMV[0][s][0];
                            skipped.Vectors[s][0].MvY = PMV[0][s][1];
                        }
                    }
                    seen[static_cast<size_t>(a)] = true;
                    DCPred[0] = DCPred[1] = DCPred[2] = 0;
                }
            }
            TDecodedMacroblock& mb = out[static_cast<size_t>(address)];
            mb.Address = address;
            DecodeMacroblock(layout, picture, mb);
            if (seen[static_cast<size_t>(address)])
                throw std::runtime_error("macroblock decoded twice");
            seen[static_cast<size_t>(address)] = true;
            previous = address;
            firstInSlice = false;
        }
    }
    for (int32_t a = 0; a < count; ++a)
        if (!seen[static_cast<size_t>(a)])
            throw std::runtime_error("macroblock " + std::to_string(a) + " missing");
    return out;
}

} // namespace quillset::syntax_test
