// Sequence header group: the values derived from the configuration, the MPEG-2 extensions,
// quantiser matrices and the sequence user data, read back by the test parser.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "encoder/tests/video/syntax/syntax_test_decoder.h"
#include "encoder/tests/video/syntax/syntax_test_support.h"
#include "encoder/video/syntax/header_writer.h"
#include "encoder/video/syntax/scan_tables.h"
#include "encoder/video/syntax/sequence_syntax.h"

namespace quillset {
namespace {

using syntax_test::TBitCapture;
using syntax_test::TDecodedSequenceHeader;
using syntax_test::TSyntaxTestDecoder;

TMPEGVideoEncoder_EncodeConfig BaseConfig(bool mpeg2) {
    TMPEGVideoEncoder_EncodeConfig c;
    c.StreamType = mpeg2 ? MPEGVideoEncoder_StreamType_MPEG2 : MPEGVideoEncoder_StreamType_MPEG1;
    c.Width = mpeg2 ? 720 : 352;
    c.Height = mpeg2 ? 480 : 240;
    c.YUVFormat = 1;
    c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive;
    c.FrameRate = 4;
    c.AspectRatio = mpeg2 ? 2 : 12;
    c.RateControlMode = MPEGVideoEncoder_RateControlMode_CBR;
    c.MaxBitRate = c.AvgBitRate = 1150000;
    c.Profile = 4;
    c.Level = 8;
    c.VideoFormat = 2;
    return c;
}

TQuantiserMatrix Flat(uint8_t value) {
    TQuantiserMatrix m;
    m.fill(value);
    return m;
}

// Writes one sequence header group and parses it back.
TDecodedSequenceHeader RoundTrip(TMPEGVideoSyntaxState& state, const TQuantiserMatrix& intra = kDefaultIntraQuantiserMatrix,
                                 const TQuantiserMatrix& nonIntra = Flat(16)) {
    TBitCapture capture;
    WriteSequenceHeader(capture.W(), state, intra, nonIntra);
    capture.W().ByteAlign();
    capture.W().PutBits(kSequenceEndCode, 32); // ends the user data
    auto reader = capture.Reader();
    TSyntaxTestDecoder decoder(*reader);
    EXPECT_EQ(decoder.NextStartCode(), kSequenceHeaderCode);
    return decoder.ReadSequenceHeader();
}

TEST(SequenceHeader, BitRateValueByStreamAndMode) {
    struct Case {
        bool mpeg2;
        uint8_t mode;
        int32_t maxRate;
        int32_t value;
    };
    const Case cases[] = {
        {false, MPEGVideoEncoder_RateControlMode_CBR, 1150000, 2875},
        {false, MPEGVideoEncoder_RateControlMode_Realtime_CBR, 1150001, 2876},
        {false, MPEGVideoEncoder_RateControlMode_VBR_Manual, 1150000, 0x3FFFF},
        {false, MPEGVideoEncoder_RateControlMode_CQ, 2000000, 0x3FFFF},
        {false, MPEGVideoEncoder_RateControlMode_VBR_2PASS, 2000000, 0x3FFFF},
        {true, MPEGVideoEncoder_RateControlMode_CQ, 9800000, 24500},
        {true, MPEGVideoEncoder_RateControlMode_CBR, 8000000, 20000},
        // Above 18 bits: the sequence extension carries the high part.
        {true, MPEGVideoEncoder_RateControlMode_VBR_Auto, 300000000, 750000},
    };
    for (const Case& c : cases) {
        TMPEGVideoEncoder_EncodeConfig config = BaseConfig(c.mpeg2);
        config.RateControlMode = c.mode;
        config.MaxBitRate = c.maxRate;
        TMPEGVideoSyntaxState state(MakeSequenceSyntax(config, 40960));
        EXPECT_EQ(BitRateValue(state.Sequence), c.value) << c.maxRate;
        EXPECT_EQ(RoundTrip(state).BitRateValue, c.value) << c.maxRate;
    }
}

TEST(SequenceHeader, Mpeg2FieldsAndExtensions) {
    TMPEGVideoEncoder_EncodeConfig config = BaseConfig(true);
    config.Width = 720;
    config.Height = 576;
    config.YUVFormat = 2;
    config.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Interlace;
    config.FrameRate = 3;
    config.AspectRatio = 3;
    config.Profile = 133;
    config.Level = 8;
    config.VideoFormat = 1;
    config.DisplayWidth = 704;
    TMPEGVideoSyntaxState state(MakeSequenceSyntax(config, 0x1FFFF800));
    const TDecodedSequenceHeader h = RoundTrip(state);
    EXPECT_EQ(h.Width, 720);
    EXPECT_EQ(h.Height, 576);
    EXPECT_EQ(h.AspectRatio, 3);
    EXPECT_EQ(h.FrameRateCode, 3);
    EXPECT_EQ(h.VBVBufferSizeValue, 0x3FFFF); // 10 bits in the header, 8 in the extension
    EXPECT_EQ(h.ConstrainedParameters, 0);
    ASSERT_TRUE(h.HasSequenceExtension);
    EXPECT_EQ(h.ProfileAndLevel, 0x85);
    EXPECT_EQ(h.ProgressiveSequence, 0);
    EXPECT_EQ(h.ChromaFormat, 2);
    EXPECT_EQ(h.LowDelay, 0);
    ASSERT_TRUE(h.HasDisplayExtension);
    EXPECT_EQ(h.VideoFormat, 1);
    EXPECT_EQ(h.ColourPrimaries, 5);
    EXPECT_EQ(h.TransferCharacteristics, 5);
    EXPECT_EQ(h.MatrixCoefficients, 4);
    EXPECT_EQ(h.DisplayWidth, 704);
    EXPECT_EQ(h.DisplayHeight, 576);
    EXPECT_EQ(state.Sequence.MBHeight, 36);
    EXPECT_EQ(state.Sequence.BlocksPerMacroblock, 8);
}

TEST(SequenceHeader, DerivedFrameRateGridAndConstrainedFlag) {
    TMPEGVideoEncoder_EncodeConfig film = BaseConfig(true);
    film.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown;
    film.FrameRate = 1;
    film.Height = 470;
    const TMPEGVideoSequenceSyntax f = MakeSequenceSyntax(film, 229376);
    EXPECT_EQ(f.FrameRateCode, 4);
    EXPECT_FALSE(f.ProgressiveSequence);
    EXPECT_FALSE(f.InterlacedCoding);
    EXPECT_EQ(f.MBHeight, 30); // 2 x ((470 + 31) / 32)

    TMPEGVideoEncoder_EncodeConfig divided = BaseConfig(true);
    divided.FrameRate = 0x20004;
    EXPECT_EQ(MakeSequenceSyntax(divided, 229376).RepeatCount, 1);
    EXPECT_EQ(MakeSequenceSyntax(divided, 229376).FrameRateCode, 4);

    TMPEGVideoEncoder_EncodeConfig vcd = BaseConfig(false);
    vcd.FrameRate = 3;
    vcd.Height = 288;
    EXPECT_TRUE(MakeSequenceSyntax(vcd, 40960).ConstrainedParameters);
    EXPECT_FALSE(MakeSequenceSyntax(vcd, 43008).ConstrainedParameters);
    vcd.RateControlMode = MPEGVideoEncoder_RateControlMode_VBR_Manual;
    EXPECT_FALSE(MakeSequenceSyntax(vcd, 40960).ConstrainedParameters);
}

TEST(SequenceHeader, MatricesAreLoadedOnlyWhenTheyDifferFromTheDefaults) {
    TMPEGVideoSyntaxState state(syntax_test::TestSequence(true, 2, 2));
    TDecodedSequenceHeader h = RoundTrip(state);
    EXPECT_FALSE(h.LoadIntra);
    EXPECT_FALSE(h.LoadNonIntra);

    TQuantiserMatrix intra = kDefaultIntraQuantiserMatrix;
    intra[0] = 99;  // the DC entry is always written as 8
    h = RoundTrip(state, intra, Flat(16));
    EXPECT_FALSE(h.LoadIntra);

    TQuantiserMatrix custom;
    for (size_t i = 0; i < 64; ++i)
        custom[i] = static_cast<uint8_t>(i + 1);
    custom[63] = 0; // quantised as 255, so written as 255
    h = RoundTrip(state, custom, custom);
    ASSERT_TRUE(h.LoadIntra);
    ASSERT_TRUE(h.LoadNonIntra);
    TQuantiserMatrix expectedIntra = custom;
    expectedIntra[0] = 8;
    expectedIntra[63] = 255;
    TQuantiserMatrix expectedNonIntra = custom;
    expectedNonIntra[63] = 255;
    EXPECT_EQ(h.IntraMatrix, expectedIntra);
    EXPECT_EQ(h.NonIntraMatrix, expectedNonIntra);
}

// Packs fields MSB first, for expected byte strings.
struct BitPacker {
    std::vector<uint8_t> bytes;
    int32_t used = 8;
    void Put(uint32_t value, int32_t count) {
        for (int32_t i = count - 1; i >= 0; --i) {
            if (used == 8) {
                bytes.push_back(0);
                used = 0;
            }
            bytes.back() = static_cast<uint8_t>(bytes.back() | (((value >> i) & 1) << (7 - used)));
            ++used;
        }
    }
    void Rate(uint32_t rate) {
        Put(rate & 0x7FFF, 15);
        Put(1, 1);
        Put((rate >> 15) & 0x7FFF, 15);
        Put(1, 1);
    }
    void Text(const std::string& text) {
        for (char c : text)
            Put(static_cast<uint8_t>(c), 8);
    }
};

TEST(SequenceHeader, SequenceUserDataByModeStreamCommentAndDCPrecision) {
    struct Case {
        const char* name;
        bool mpeg2;
        uint8_t mode;
        std::string comment;
        int32_t dcPrecision;
        std::vector<uint8_t> (*expected)();
    };
    const Case cases[] = {
        {"MPEG-1 CBR", false, MPEGVideoEncoder_RateControlMode_CBR, "", 0, [] { return std::vector<uint8_t>{}; }},
        {"MPEG-1 CBR comment", false, MPEGVideoEncoder_RateControlMode_CBR, "Hi", 0,
         [] { return std::vector<uint8_t>{0x00, 0x87, 0x81, 0x00, 0x02, 'H', 'i', 0x00}; }},
        {"MPEG-1 VBR", false, MPEGVideoEncoder_RateControlMode_VBR_Manual, "", 0,
         [] {
             BitPacker p;
             p.Put(0x0087, 16);
             p.Put(0x71, 8);
             p.Rate(3000000);
             p.Put(0, 8);
             return p.bytes;
         }},
        {"MPEG-2 CBR with comment", true, MPEGVideoEncoder_RateControlMode_CBR, "abc", 0,
         [] {
             BitPacker p;
             p.Put(0x0087, 16);
             p.Put(0x71, 8);
             p.Rate(3000000);
             p.Put(0x72, 8);
             p.Rate(2500000);
             p.Put(0x81, 8);
             p.Put(3, 16);
             p.Text("abc");
             p.Put(0, 8);
             return p.bytes;
         }},
        {"MPEG-1 DC precision 3", false, MPEGVideoEncoder_RateControlMode_CBR, "", 3,
         [] {
             BitPacker p;
             p.Put(0x0087, 16);
             p.Put(0, 8);
             p.Text(std::string("VDMREXS") + '\0' + "00000028" + "IDCPREC" + '\0' + "00000008" + "00000003" +
                    "VDMREXE" + '\0' + "00000000");
             return p.bytes;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMPEGVideoSequenceSyntax s = syntax_test::TestSequence(c.mpeg2, 2, 2);
        s.RateControlMode = c.mode;
        s.MaxBitRate = 3000000;
        s.AvgBitRate = 2500000;
        s.CommentText = c.comment;
        s.DCPrecision = c.dcPrecision;
        TMPEGVideoSyntaxState state(s);
        EXPECT_EQ(RoundTrip(state).UserData, c.expected());
        // Only the first sequence header carries the user data.
        EXPECT_TRUE(RoundTrip(state).UserData.empty());
    }
}

TEST(SequenceHeader, OverlongCommentKeepsItsFirst65535Bytes) {
    TMPEGVideoSequenceSyntax s = syntax_test::TestSequence(false, 2, 2);
    s.CommentText = std::string(70000, 'x');
    TMPEGVideoSyntaxState state(s);
    const std::vector<uint8_t> data = RoundTrip(state).UserData;
    ASSERT_EQ(data.size(), 2u + 1 + 2 + 65535 + 1);
    EXPECT_EQ(data[3], 0xFF);
    EXPECT_EQ(data[4], 0xFF);
    EXPECT_EQ(data.back(), 0x00);
}

TEST(SequenceHeader, RepeatedByInterval) {
    struct Case {
        int32_t interval;
        std::vector<bool> expected; // before GOPs 0..6
    };
    const Case cases[] = {
        {0, {true, false, false, false, false, false, false}},
        {1, {true, true, true, true, true, true, true}},
        {3, {true, false, false, true, false, false, true}},
    };
    for (const Case& c : cases) {
        TMPEGVideoSequenceSyntax s = syntax_test::TestSequence(true, 2, 2);
        s.SeqHeaderInterval = c.interval;
        TMPEGVideoSyntaxState state(s);
        TBitCapture capture;
        std::vector<bool> got;
        for (int32_t gop = 0; gop < 7; ++gop) {
            got.push_back(NeedsSequenceHeader(state));
            WriteGOPHeader(capture.W(), state, state.PictureCount);
        }
        EXPECT_EQ(got, c.expected) << "interval " << c.interval;
    }
}

} // namespace
} // namespace quillset
