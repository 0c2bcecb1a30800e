// Whole streams of random macroblocks (modes, vectors, levels with escapes) written through the
// syntax writers and parsed back with the decoding rules of ISO/IEC 13818-2: every macroblock
// must decode to what was handed to the writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "encoder/tests/video/syntax/syntax_test_decoder.h"
#include "encoder/tests/video/syntax/syntax_test_support.h"
#include "encoder/video/syntax/f_code.h"
#include "encoder/video/syntax/header_writer.h"
#include "encoder/video/syntax/macroblock_writer.h"
#include "encoder/video/syntax/scan_tables.h"

namespace quillset {
namespace {

using syntax_test::TBitCapture;
using syntax_test::TDecodedMacroblock;
using syntax_test::TSyntaxTestDecoder;

struct StreamCase {
    const char* name;
    bool mpeg2;
    int32_t chroma;
    bool interlaced;
    int32_t dcPrecision;
    int32_t mbWidth, mbHeight;
    uint32_t seed;
};

void PrintTo(const StreamCase& c, std::ostream* os) {
    *os << c.name;
}

struct WrittenMacroblock {
    TMBInfo mb;
    std::vector<int16_t> levels;
};

class Generator {
public:
    Generator(const StreamCase& c, uint32_t seed) : Case(c), Random(seed) {}

    int32_t Uniform(int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(Random); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(Random); }

    int32_t LevelLimit() const { return Case.mpeg2 ? 2047 : 255; }

    // A sparse block: mostly small levels, some long runs, some beyond the tables (escapes).
    void FillBlock(int16_t* block, bool intra) {
        const int32_t count = Chance(0.3) ? 0 : Uniform(1, Chance(0.2) ? 40 : 6);
        for (int32_t i = 0; i < count; ++i) {
            const int32_t position = Chance(0.7) ? Uniform(intra ? 1 : 0, 20) : Uniform(intra ? 1 : 0, 63);
            int32_t magnitude = Chance(0.8) ? Uniform(1, 3) : Chance(0.5) ? Uniform(4, 45) : Uniform(46, LevelLimit());
            block[kZigzagScan[static_cast<size_t>(position)]] = static_cast<int16_t>(Chance(0.5) ? magnitude : -magnitude);
        }
        if (intra) {
            const int32_t range = 128 << Case.dcPrecision;
            block[0] = static_cast<int16_t>(Uniform(-range, range - 1));
        }
    }

    TMBVectorPair Vectors(bool field, int32_t extent) {
        TMBVectorPair v{};
        for (int32_t r = 0; r < (field ? 2 : 1); ++r) {
            v[static_cast<size_t>(r)].MvX = Uniform(-extent, extent);
            v[static_cast<size_t>(r)].MvY = field ? Uniform(-extent / 2, extent / 2) : Uniform(-extent, extent);
            v[static_cast<size_t>(r)].FieldSelect = field ? Uniform(0, 1) : 0;
        }
        return v;
    }

    WrittenMacroblock Macroblock(int32_t codingType, int32_t extent, const WrittenMacroblock* previous) {
        const int32_t blocks = Case.chroma == 2 ? 8 : 6;
        WrittenMacroblock w;
        w.levels.assign(static_cast<size_t>(64 * blocks), 0);
        TMBInfo& mb = w.mb;
        mb.QuantiserCode = static_cast<uint8_t>(previous && Chance(0.5) ? previous->mb.QuantiserCode : Uniform(1, 31));
        if (Case.interlaced && Chance(0.5))
            mb.Flags |= MBInfoFlag_FieldDCT;
        const bool intra = codingType == kPictureCodingTypeI || Chance(codingType == kPictureCodingTypeP ? 0.15 : 0.1);
        if (intra) {
            mb.Flags |= MBInfoFlag_Intra;
            for (int32_t b = 0; b < blocks; ++b)
                FillBlock(w.levels.data() + 64 * b, true);
            return w;
        }
        if (codingType == kPictureCodingTypeB && previous && !previous->mb.IsIntra() && Chance(0.3)) {
            // The previous macroblock's prediction again: a skip candidate.
            mb.Flags = previous->mb.Flags & (MBInfoFlag_Forward | MBInfoFlag_Backward);
            mb.MotionType = previous->mb.MotionType;
            mb.Forward = previous->mb.Forward;
            mb.Backward = previous->mb.Backward;
            if (Chance(0.7))
                return w;
        } else {
            const bool field = Case.interlaced && Chance(0.3);
            mb.MotionType = field ? MBMotionType_Field : MBMotionType_Frame;
            if (codingType == kPictureCodingTypeP) {
                if (Chance(0.9))
                    mb.Flags |= MBInfoFlag_Forward;
            } else {
                const int32_t directions = Uniform(1, 3);
                if (directions & 1)
                    mb.Flags |= MBInfoFlag_Forward;
                if (directions & 2)
                    mb.Flags |= MBInfoFlag_Backward;
            }
            if (!Chance(0.2)) {
                mb.Forward = Vectors(field, extent);
                mb.Backward = Vectors(field, extent);
            }
        }
        if (Chance(0.05)) {
            mb.Flags |= MBInfoFlag_NoResidual;
            std::fill(w.levels.begin(), w.levels.end(), int16_t{7}); // must be ignored
            return w;
        }
        for (int32_t b = 0; b < blocks; ++b)
            if (Chance(0.4))
                FillBlock(w.levels.data() + 64 * b, false);
        return w;
    }

private:
    const StreamCase& Case;
    std::mt19937 Random;
};

void CompareVectors(const TMBVectorPair& expected, const TMBVectorPair& got, bool field, const std::string& where) {
    for (int32_t r = 0; r < (field ? 2 : 1); ++r) {
        EXPECT_EQ(got[static_cast<size_t>(r)].MvX, expected[static_cast<size_t>(r)].MvX) << where << " r" << r;
        EXPECT_EQ(got[static_cast<size_t>(r)].MvY, expected[static_cast<size_t>(r)].MvY) << where << " r" << r;
        if (field) {
            EXPECT_EQ(got[static_cast<size_t>(r)].FieldSelect, expected[static_cast<size_t>(r)].FieldSelect) << where;
        }
    }
}

void CompareMacroblock(const StreamCase& c, int32_t codingType, const WrittenMacroblock& w, const TDecodedMacroblock& d,
                       const std::string& where) {
    const TMBInfo& mb = w.mb;
    const int32_t blocks = c.chroma == 2 ? 8 : 6;
    EXPECT_EQ(d.Skipped, mb.Skipped != 0) << where;
    const bool intra = mb.IsIntra() || codingType == kPictureCodingTypeI;
    ASSERT_EQ(d.Intra, intra) << where;
    if (intra) {
        EXPECT_EQ(d.Levels, w.levels) << where;
        if (c.interlaced) {
            EXPECT_EQ(d.FieldDCT, mb.IsFieldDCT()) << where;
        }
        bool hasAC = false;
        for (int32_t b = 0; b < blocks; ++b)
            for (int32_t i = 1; i < 64; ++i)
                hasAC = hasAC || w.levels[static_cast<size_t>(64 * b + i)] != 0;
        if (hasAC) {
            EXPECT_EQ(d.Quantiser, mb.QuantiserCode) << where;
        }
        return;
    }
    // The prediction a decoder makes.
    uint32_t directions = mb.Flags & (MBInfoFlag_Forward | MBInfoFlag_Backward);
    TMBVectorPair forward = mb.Forward;
    bool field = mb.IsFieldPrediction();
    if (codingType == kPictureCodingTypeP) {
        const bool zero = !mb.HasForward() || (!field && mb.Forward[0].MvX == 0 && mb.Forward[0].MvY == 0);
        directions = MBInfoFlag_Forward;
        if (zero) {
            forward = TMBVectorPair{};
            field = false;
        }
    }
    EXPECT_EQ(d.Directions, directions) << where;
    EXPECT_EQ(d.Field, field) << where;
    if (directions & MBInfoFlag_Forward)
        CompareVectors(forward, d.Vectors[0], field, where + " forward");
    if (directions & MBInfoFlag_Backward)
        CompareVectors(mb.Backward, d.Vectors[1], field, where + " backward");
    std::vector<int16_t> expectedLevels = w.levels;
    if (mb.Flags & MBInfoFlag_NoResidual)
        std::fill(expectedLevels.begin(), expectedLevels.end(), int16_t{0});
    EXPECT_EQ(d.Levels, expectedLevels) << where;
    EXPECT_EQ(d.Pattern, mb.CodedBlockPattern) << where;
    if (d.Pattern != 0) {
        EXPECT_EQ(d.Quantiser, mb.QuantiserCode) << where;
        if (c.interlaced) {
            EXPECT_EQ(d.FieldDCT, mb.IsFieldDCT()) << where;
        }
    }
}

class SyntaxRoundTrip : public ::testing::TestWithParam<StreamCase> {};

TEST_P(SyntaxRoundTrip, EveryMacroblockDecodesToWhatWasWritten) {
    const StreamCase& c = GetParam();
    SCOPED_TRACE(std::string(c.name) + " seed " + std::to_string(c.seed));
    TMPEGVideoSequenceSyntax sequence = syntax_test::TestSequence(c.mpeg2, c.mbWidth, c.mbHeight, c.chroma, c.interlaced);
    sequence.DCPrecision = c.dcPrecision;
    TMPEGVideoSyntaxState state(sequence);
    Generator generator(c, c.seed);
    TBitCapture capture;
    TQuantiserMatrix flat;
    flat.fill(16);
    WriteSequenceHeader(capture.W(), state, kDefaultIntraQuantiserMatrix, flat);

    // Coded order of a GOP: I P B B P B B, then a second GOP.
    const int32_t types[] = {1, 2, 3, 3, 2, 3, 3, 1, 3, 2};
    const int32_t extents[] = {0, 5, 40, 300, 900, 15, 120, 0, 64, 2};
    std::vector<std::vector<WrittenMacroblock>> pictures;
    for (size_t n = 0; n < std::size(types); ++n) {
        const int32_t type = types[n];
        const int32_t extent = c.mpeg2 ? extents[n] : std::min(extents[n], 1000);
        std::vector<WrittenMacroblock> mbs;
        for (int32_t i = 0; i < c.mbWidth * c.mbHeight; ++i)
            mbs.push_back(generator.Macroblock(type, extent, i % c.mbWidth == 0 ? nullptr : &mbs.back()));
        std::vector<TMBInfo> records;
        for (const WrittenMacroblock& w : mbs)
            records.push_back(w.mb);
        TMPEGVideoPictureHeader header;
        header.PictureCodingType = type;
        header.DisplayNumber = static_cast<int64_t>(n);
        header.ProgressiveFrame = !c.interlaced;
        header.FCode = ComputePictureFCodes(type, c.mpeg2, MeasureVectorExtent(records));
        if (type == kPictureCodingTypeI)
            WriteGOPHeader(capture.W(), state, header.DisplayNumber);
        WritePictureHeader(capture.W(), state, header);
        for (int32_t i = 0; i < c.mbWidth * c.mbHeight; ++i) {
            WrittenMacroblock& w = mbs[static_cast<size_t>(i)];
            WriteMacroblock(capture.W(), state, i % c.mbWidth, i / c.mbWidth, w.mb, w.levels.data());
        }
        pictures.push_back(std::move(mbs));
    }
    WriteSequenceEnd(capture.W(), state, 0);

    auto reader = capture.Reader();
    TSyntaxTestDecoder decoder(*reader);
    ASSERT_EQ(decoder.NextStartCode(), kSequenceHeaderCode);
    const auto sequenceHeader = decoder.ReadSequenceHeader();
    EXPECT_EQ(sequenceHeader.Width, 16 * c.mbWidth);
    EXPECT_EQ(sequenceHeader.ChromaFormat, c.chroma);
    const syntax_test::TStreamLayout layout{c.mpeg2, c.mbWidth, c.mbHeight, c.chroma == 2 ? 8 : 6, false};
    size_t n = 0;
    int32_t skipped = 0;
    int32_t escapes = 0;
    for (uint32_t code; (code = decoder.NextStartCode()) != kSequenceEndCode;) {
        ASSERT_NE(code, 0u) << "no sequence end";
        if (code == kGroupStartCode) {
            decoder.ReadGOPHeader();
            continue;
        }
        ASSERT_EQ(code, kPictureStartCode);
        const auto picture = decoder.ReadPictureHeader();
        ASSERT_LT(n, pictures.size());
        ASSERT_EQ(picture.CodingType, types[n]);
        std::vector<TDecodedMacroblock> decoded;
        try {
            decoded = decoder.ReadPictureData(layout, picture);
        } catch (const std::exception& e) {
            FAIL() << "picture " << n << ": " << e.what();
        }
        for (size_t i = 0; i < decoded.size(); ++i) {
            const WrittenMacroblock& w = pictures[n][i];
            CompareMacroblock(c, types[n], w, decoded[i], "picture " + std::to_string(n) + " mb " + std::to_string(i));
            skipped += w.mb.Skipped;
            for (int16_t level : w.levels)
                escapes += (level > 40 || level < -40) ? 1 : 0;
        }
        ++n;
    }
    EXPECT_EQ(n, pictures.size());
    // The random streams do reach the paths of interest.
    EXPECT_GT(skipped, 0);
    EXPECT_GT(escapes, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, SyntaxRoundTrip,
    ::testing::Values(StreamCase{"MPEG-1 4:2:0", false, 1, false, 0, 12, 9, 11u},
                      StreamCase{"MPEG-1 extended DC precision", false, 1, false, 3, 5, 4, 12u},
                      StreamCase{"MPEG-2 progressive 4:2:0", true, 1, false, 0, 11, 6, 13u},
                      StreamCase{"MPEG-2 interlaced 4:2:0", true, 1, true, 1, 45, 4, 14u},
                      StreamCase{"MPEG-2 interlaced 4:2:2", true, 2, true, 3, 10, 6, 15u},
                      StreamCase{"MPEG-2 progressive 4:2:2", true, 2, false, 2, 7, 5, 16u}),
    [](const ::testing::TestParamInfo<StreamCase>& param) { return "Case" + std::to_string(param.index); });

} // namespace
} // namespace quillset
