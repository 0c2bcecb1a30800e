// GOP and picture headers, picture coding extension, picture user data, slice headers, skipped
// pictures and the sequence end, read back by the test parser.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoder/tests/video/syntax/syntax_test_decoder.h"
#include "encoder/tests/video/syntax/syntax_test_support.h"
#include "encoder/video/syntax/header_writer.h"

namespace quillset {
namespace {

using syntax_test::TBitCapture;
using syntax_test::TDecodedGOPHeader;
using syntax_test::TDecodedPictureHeader;
using syntax_test::TSyntaxTestDecoder;

TMPEGVideoPictureHeader Picture(int32_t codingType, int64_t display) {
    TMPEGVideoPictureHeader p;
    p.PictureCodingType = codingType;
    p.DisplayNumber = display;
    if (codingType != kPictureCodingTypeI)
        p.FCode = {{{2, 3}, {codingType == kPictureCodingTypeB ? 4 : 15, codingType == kPictureCodingTypeB ? 1 : 15}}};
    return p;
}

// Pictures in coded order with a GOP header before each I; returns (closed_gop per GOP,
// temporal_reference per picture).
struct Written {
    std::vector<int32_t> closedGOP;
    std::vector<int32_t> temporalReference;
};

Written WriteCodedOrder(const std::vector<std::pair<int32_t, int64_t>>& pictures, int32_t repeatCount = 0) {
    TMPEGVideoSequenceSyntax s = syntax_test::TestSequence(true, 2, 2);
    s.RepeatCount = repeatCount;
    TMPEGVideoSyntaxState state(s);
    TBitCapture capture;
    for (const auto& [type, display] : pictures) {
        if (type == kPictureCodingTypeI)
            WriteGOPHeader(capture.W(), state, display);
        WritePictureHeader(capture.W(), state, Picture(type, display));
    }
    auto reader = capture.Reader();
    TSyntaxTestDecoder decoder(*reader);
    Written out;
    for (uint32_t code; (code = decoder.NextStartCode()) != 0;) {
        if (code == kGroupStartCode)
            out.closedGOP.push_back(decoder.ReadGOPHeader().ClosedGOP);
        else if (code == kPictureStartCode)
            out.temporalReference.push_back(decoder.ReadPictureHeader().TemporalReference);
    }
    return out;
}

TEST(GOPHeader, ClosedGOPAndTemporalReferences) {
    constexpr int32_t I = kPictureCodingTypeI, P = kPictureCodingTypeP, Bp = kPictureCodingTypeB;
    // Open GOPs: the second I is preceded in display by two B pictures of its GOP.
    const Written open = WriteCodedOrder({{I, 0}, {P, 3}, {Bp, 1}, {Bp, 2}, {I, 6}, {Bp, 4}, {Bp, 5}, {P, 9}, {Bp, 7}, {Bp, 8}});
    EXPECT_EQ(open.closedGOP, (std::vector<int32_t>{1, 0}));
    EXPECT_EQ(open.temporalReference, (std::vector<int32_t>{0, 3, 1, 2, 2, 0, 1, 5, 3, 4}));
    // Closed GOPs: every GOP starts with its I in display order.
    const Written closed = WriteCodedOrder({{I, 0}, {P, 3}, {Bp, 1}, {Bp, 2}, {I, 4}, {P, 7}, {Bp, 5}, {Bp, 6}});
    EXPECT_EQ(closed.closedGOP, (std::vector<int32_t>{1, 1}));
    EXPECT_EQ(closed.temporalReference, (std::vector<int32_t>{0, 3, 1, 2, 0, 3, 1, 2}));
    // With a frame-rate divisor of 2 every coded picture stands for two temporal references.
    const Written divided = WriteCodedOrder({{I, 0}, {P, 1}, {P, 2}, {I, 3}, {P, 4}}, 1);
    EXPECT_EQ(divided.temporalReference, (std::vector<int32_t>{0, 2, 4, 0, 2}));
}

TEST(GOPHeader, TimeCodeCountsWholePicturesWithoutDropFrames) {
    struct Case {
        int32_t frameRateCode;
        int64_t fields;
        int32_t h, m, s, p;
    };
    const Case cases[] = {
        {4, 60, 0, 0, 1, 0},                 // 30 pictures at 29.97: one "second"
        {4, 2 * 1800, 0, 1, 0, 0},           // no drop-frame correction
        {4, 2 * 107892, 0, 59, 56, 12},      // one hour of real 29.97 time
        {1, 5, 0, 0, 0, 3},                  // 2.5 pictures round to 3 (film with pull-down)
        {3, 2 * (25 * 3600 * 25 + 7), 1, 0, 0, 7}, // hours wrap at 24
        {6, 2 * 50 * 61, 0, 1, 1, 0},
    };
    for (const Case& c : cases) {
        TMPEGVideoSequenceSyntax s = syntax_test::TestSequence(true, 2, 2);
        s.FrameRateCode = c.frameRateCode;
        TMPEGVideoSyntaxState state(s);
        state.FieldCount = c.fields;
        TBitCapture capture;
        WriteGOPHeader(capture.W(), state, 0);
        auto reader = capture.Reader();
        TSyntaxTestDecoder decoder(*reader);
        ASSERT_EQ(decoder.NextStartCode(), kGroupStartCode);
        const TDecodedGOPHeader g = decoder.ReadGOPHeader();
        EXPECT_EQ(g.DropFrame, 0);
        EXPECT_EQ(g.BrokenLink, 0);
        EXPECT_EQ((std::vector<int32_t>{g.Hours, g.Minutes, g.Seconds, g.Pictures}),
                  (std::vector<int32_t>{c.h, c.m, c.s, c.p}))
            << "code " << c.frameRateCode << " fields " << c.fields;
    }
}

TEST(GOPHeader, ClockAdvancesByFieldsOfCodedAndSkippedPictures) {
    TMPEGVideoSequenceSyntax s = syntax_test::TestSequence(true, 2, 2);
    s.FrameRateCode = 4;
    s.RepeatCount = 1;
    TMPEGVideoSyntaxState state(s);
    TBitCapture capture;
    WriteGOPHeader(capture.W(), state, 0);
    for (int32_t i = 0; i < 4; ++i) {
        TMPEGVideoPictureHeader p = Picture(i == 0 ? kPictureCodingTypeI : kPictureCodingTypeP, i);
        p.RepeatFirstField = i % 2 == 1;
        WritePictureHeader(capture.W(), state, p);
        WriteSkippedPicture(capture.W(), state, kPictureCodingTypeP, i, 1, 0xFFFF);
    }
    // 4 coded pictures of 2, 3, 2, 3 fields and 4 skipped ones of 2.
    EXPECT_EQ(state.FieldCount, 18);
    EXPECT_EQ(state.PictureCount, 4);
    EXPECT_EQ(state.SkippedPictureCount, 4);
    WriteGOPHeader(capture.W(), state, 4);
    EXPECT_EQ(state.FinishedGOPCount, 1);
    EXPECT_EQ(state.MaxGOPFields, 18);
}

TEST(PictureHeader, CodingExtensionFollowsThePictureAndTheSequence) {
    struct Case {
        const char* name;
        int32_t chroma;
        bool interlaced;
        bool progressiveFrame;
        bool topFieldFirst;
        bool repeatFirstField;
        int32_t framePredFrameDct, alternateScan, chroma420;
    };
    const Case cases[] = {
        {"interlaced", 1, true, false, true, false, 0, 1, 0},
        {"progressive", 1, false, true, false, false, 1, 0, 1},
        {"pull-down", 1, false, true, true, true, 1, 0, 1},
        {"4:2:2 progressive", 2, false, true, false, false, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMPEGVideoSequenceSyntax s = syntax_test::TestSequence(true, 2, 2, c.chroma, c.interlaced);
        s.DCPrecision = 2;
        TMPEGVideoSyntaxState state(s);
        TBitCapture capture;
        TMPEGVideoPictureHeader header = Picture(kPictureCodingTypeB, 0);
        header.VBVDelay = 0x1234;
        header.ProgressiveFrame = c.progressiveFrame;
        header.TopFieldFirst = c.topFieldFirst;
        header.RepeatFirstField = c.repeatFirstField;
        WritePictureHeader(capture.W(), state, header);
        auto reader = capture.Reader();
        TSyntaxTestDecoder decoder(*reader);
        ASSERT_EQ(decoder.NextStartCode(), kPictureStartCode);
        const TDecodedPictureHeader p = decoder.ReadPictureHeader();
        EXPECT_EQ(p.CodingType, 3);
        EXPECT_EQ(p.VBVDelay, 0x1234);
        EXPECT_EQ(p.ForwardFCode, 7);
        EXPECT_EQ(p.BackwardFCode, 7);
        ASSERT_TRUE(p.HasCodingExtension);
        EXPECT_EQ(p.FCode[0][0], 2);
        EXPECT_EQ(p.FCode[0][1], 3);
        EXPECT_EQ(p.FCode[1][0], 4);
        EXPECT_EQ(p.FCode[1][1], 1);
        EXPECT_EQ(p.IntraDCPrecision, 2);
        EXPECT_EQ(p.PictureStructure, 3);
        EXPECT_EQ(p.TopFieldFirst, c.topFieldFirst ? 1 : 0);
        EXPECT_EQ(p.FramePredFrameDct, c.framePredFrameDct);
        EXPECT_EQ(p.ConcealmentVectors, 0);
        EXPECT_EQ(p.QScaleType, 1);
        EXPECT_EQ(p.IntraVlcFormat, 1);
        EXPECT_EQ(p.AlternateScan, c.alternateScan);
        EXPECT_EQ(p.RepeatFirstField, c.repeatFirstField ? 1 : 0);
        EXPECT_EQ(p.Chroma420Type, c.chroma420);
        EXPECT_EQ(p.ProgressiveFrame, c.progressiveFrame ? 1 : 0);
        EXPECT_EQ(p.CompositeDisplay, 0);
        EXPECT_EQ(state.Picture.AlternateScan, c.alternateScan == 1);
        EXPECT_EQ(state.Picture.FramePredFrameDct, c.framePredFrameDct == 1);
    }
}

TEST(PictureHeader, Mpeg1CarriesOneFCodePerDirectionInTheHeader) {
    TMPEGVideoSyntaxState state(syntax_test::TestSequence(false, 2, 2));
    TBitCapture capture;
    TMPEGVideoPictureHeader header = Picture(kPictureCodingTypeB, 0);
    header.FCode = {{{5, 5}, {3, 3}}};
    WritePictureHeader(capture.W(), state, header);
    auto reader = capture.Reader();
    TSyntaxTestDecoder decoder(*reader);
    ASSERT_EQ(decoder.NextStartCode(), kPictureStartCode);
    const TDecodedPictureHeader p = decoder.ReadPictureHeader();
    EXPECT_FALSE(p.HasCodingExtension);
    EXPECT_EQ(p.ForwardFCode, 5);
    EXPECT_EQ(p.BackwardFCode, 3);
    EXPECT_FALSE(state.Picture.IntraVlcFormat);
    EXPECT_FALSE(state.Picture.AlternateScan);
}

TEST(PictureHeader, SuperVideoCDPlaceholderOnIPicturesThenOwnUserData) {
    TMPEGVideoSequenceSyntax s = syntax_test::TestSequence(true, 2, 2);
    s.SuperVideoCD = true;
    TMPEGVideoSyntaxState state(s);
    TBitCapture capture;
    const std::vector<uint8_t> own = {'c', 'c', 0x01, 0x02};
    TMPEGVideoPictureHeader i = Picture(kPictureCodingTypeI, 0);
    i.UserData = own;
    WritePictureHeader(capture.W(), state, i);
    WritePictureHeader(capture.W(), state, Picture(kPictureCodingTypeP, 1));
    auto reader = capture.Reader();
    TSyntaxTestDecoder decoder(*reader);
    ASSERT_EQ(decoder.NextStartCode(), kPictureStartCode);
    const TDecodedPictureHeader first = decoder.ReadPictureHeader();
    ASSERT_EQ(first.UserData.size(), 2u);
    EXPECT_EQ(first.UserData[0], (std::vector<uint8_t>{0x10, 0x0E, 0x00, 0x80, 0x80, 0x00, 0x80, 0x80, 0x00, 0x80,
                                                        0x80, 0x00, 0x80, 0x80}));
    EXPECT_EQ(first.UserData[1], own);
    ASSERT_EQ(decoder.NextStartCode(), kPictureStartCode);
    EXPECT_TRUE(decoder.ReadPictureHeader().UserData.empty());
}

TEST(SliceHeader, StartCodesAndTheExtensionOfTallPictures) {
    struct Case {
        int32_t height;
        int32_t row;
        std::string bits; // start code tail, extension, quantiser, extra bit
    };
    const Case cases[] = {
        {480, 5, "00000110" "01010" "0"},
        {2800, 174, "10101111" "01010" "0"},
        {2880, 5, "00000110" "000" "01010" "0"},
        {2880, 200, "01001001" "001" "01010" "0"},
    };
    for (const Case& c : cases) {
        TMPEGVideoSequenceSyntax s = syntax_test::TestSequence(true, 4, (c.height + 15) / 16);
        s.Height = c.height;
        TMPEGVideoSyntaxState state(s);
        TBitCapture capture;
        state.PMV[0][0][0] = 7;
        state.DCPredictor = {1, 2, 3};
        WriteSliceHeader(capture.W(), state, c.row, 10);
        const int64_t end = capture.Position();
        EXPECT_EQ(capture.Bits(0, 24), std::string(23, '0') + "1");
        EXPECT_EQ(capture.Bits(24, end), c.bits) << c.height << "/" << c.row;
        EXPECT_EQ(state.PMV[0][0][0], 0);
        EXPECT_EQ(state.DCPredictor, (std::array<int32_t, 3>{0, 0, 0}));
        EXPECT_EQ(state.CurrentQuantiser, 10);
        EXPECT_EQ(state.PreviousAddress, c.row * 4 - 1);
    }
}

TEST(SkippedPicture, RepeatsWithFirstAndLastMacroblockOfEachSlice) {
    struct Case {
        const char* name;
        bool mpeg2;
        int32_t type;
        int32_t mbWidth;
        int32_t fCodeBackward; // as written in the coding extension
    };
    const Case cases[] = {
        {"MPEG-2 P", true, kPictureCodingTypeP, 5, 15},
        {"MPEG-2 B", true, kPictureCodingTypeB, 40, 1},
        {"MPEG-2 one column", true, kPictureCodingTypeP, 1, 15},
        {"MPEG-1 P", false, kPictureCodingTypeP, 5, 0},
        {"MPEG-1 B", false, kPictureCodingTypeB, 30, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMPEGVideoSequenceSyntax s = syntax_test::TestSequence(c.mpeg2, c.mbWidth, 3);
        s.RepeatCount = 2;
        TMPEGVideoSyntaxState state(s);
        state.GOPFirstDisplayNumber = 10;
        TBitCapture capture;
        WriteSkippedPicture(capture.W(), state, c.type, 12, 2, 0x2222);
        auto reader = capture.Reader();
        TSyntaxTestDecoder decoder(*reader);
        ASSERT_EQ(decoder.NextStartCode(), kPictureStartCode);
        const TDecodedPictureHeader p = decoder.ReadPictureHeader();
        EXPECT_EQ(p.TemporalReference, 2 * 3 + 2);
        EXPECT_EQ(p.CodingType, c.type);
        EXPECT_EQ(p.VBVDelay, 0x2222);
        EXPECT_EQ(p.ForwardFCode, c.mpeg2 ? 7 : 1);
        EXPECT_EQ(p.FCode[0][0], 1);
        EXPECT_EQ(p.FCode[0][1], 1);
        EXPECT_EQ(p.FCode[1][0], c.fCodeBackward);
        if (c.mpeg2) {
            EXPECT_EQ(p.QScaleType, 0);
            EXPECT_EQ(p.AlternateScan, 0);
            EXPECT_EQ(p.FramePredFrameDct, 1);
            EXPECT_EQ(p.ProgressiveFrame, 1);
        }
        syntax_test::TStreamLayout layout{c.mpeg2, c.mbWidth, 3, 6, false};
        const auto mbs = decoder.ReadPictureData(layout, p);
        for (const auto& mb : mbs) {
            const int32_t column = mb.Address % c.mbWidth;
            const bool sliceEdge = c.mpeg2 ? (column == 0 || column == c.mbWidth - 1)
                                           : (mb.Address == 0 || mb.Address == 3 * c.mbWidth - 1);
            EXPECT_EQ(mb.Skipped, !sliceEdge) << mb.Address;
            EXPECT_EQ(mb.Directions, uint32_t{MBInfoFlag_Forward}) << mb.Address;
            EXPECT_EQ(mb.Vectors[0][0].MvX, 0);
            EXPECT_EQ(mb.Vectors[0][0].MvY, 0);
            EXPECT_EQ(mb.Pattern, 0u);
        }
        EXPECT_EQ(decoder.NextStartCode(), 0u);
        EXPECT_EQ(state.FieldCount, 2);
    }
}

TEST(SequenceEnd, StuffingThenEndCode) {
    TMPEGVideoSyntaxState state(syntax_test::TestSequence(true, 2, 2));
    TBitCapture capture;
    capture.W().PutBits(0x5, 3);
    WriteSequenceEnd(capture.W(), state, 20);
    const std::vector<uint8_t> bytes = capture.Bytes();
    // 3 bits, aligned to 8, 20 zero bits, aligned again: 4 bytes, then 00 00 01 B7.
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xA0, 0, 0, 0, 0x00, 0x00, 0x01, 0xB7}));
}

} // namespace
} // namespace quillset
