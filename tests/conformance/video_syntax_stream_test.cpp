// Small but complete video elementary streams written by hand through the syntax writers and
// judged by independent decoders: ffmpeg must decode them without a message to the exact
// pictures the macroblocks describe, libmpeg2 (mpeg2dec) must agree on the luminance, and
// ffprobe must report the sequence values.
//
// The pictures are built so that their decoded values are known without a transform: intra
// blocks carry only a DC level (a flat 8x8 block), predicted macroblocks copy whole macroblocks
// (vectors of 16 pixels), and the few residuals are DC levels whose reconstruction is exact.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "encoder/video/syntax/header_writer.h"
#include "encoder/video/syntax/macroblock_writer.h"
#include "encoder/video/syntax/scan_tables.h"
#include "encoder/video/syntax/sequence_syntax.h"
#include "stream/bit_stream_writer.h"
#include "stream/memory_stream.h"
#include "tests/support/stream_oracles.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

using testing::Quote;
using testing::ReadFileBytes;
using testing::RunCommand;
using testing::TempDir;

// A decoded picture: planar Y, Cb, Cr.
struct Frame {
    int32_t width = 0, height = 0, chromaHeight = 0;
    std::vector<uint8_t> y, cb, cr;

    Frame(int32_t w, int32_t h, int32_t chroma)
        : width(w), height(h), chromaHeight(chroma == 2 ? h : h / 2),
          y(static_cast<size_t>(w * h)), cb(static_cast<size_t>(w / 2 * chromaHeight)), cr(cb.size()) {}

    std::string Bytes() const {
        return std::string(y.begin(), y.end()) + std::string(cb.begin(), cb.end()) + std::string(cr.begin(), cr.end());
    }
};

struct StreamCase {
    const char* name;
    bool mpeg2;
    int32_t chroma;
    bool interlaced;
    int32_t dcPrecision;
    int32_t mbWidth, mbHeight;
    int32_t repeatCount; // skipped pictures after each coded one
    int32_t aspectRatio;
    // ffprobe's view of the stream: "key=value" lines that must appear.
    std::vector<std::string> probe;
};

void PrintTo(const StreamCase& c, std::ostream* os) {
    *os << c.name;
}

class StreamBuilder {
public:
    explicit StreamBuilder(const StreamCase& c) : Case(c), Random(7), Writer(&Output), State(Sequence(c)) {}

    static TMPEGVideoSequenceSyntax Sequence(const StreamCase& c) {
        TMPEGVideoEncoder_EncodeConfig config;
        config.StreamType = c.mpeg2 ? MPEGVideoEncoder_StreamType_MPEG2 : MPEGVideoEncoder_StreamType_MPEG1;
        config.Width = 16 * c.mbWidth;
        config.Height = 16 * c.mbHeight;
        config.YUVFormat = c.chroma;
        config.DC_prec = c.dcPrecision;
        config.VideoEncodeMode = c.interlaced ? MPEGVideoEncoder_VideoEncodeMode_Interlace
                                              : MPEGVideoEncoder_VideoEncodeMode_Progressive;
        config.TopFieldFirst = 1;
        config.FrameRate = 3 | ((c.repeatCount + 1) << 16);
        config.AspectRatio = c.aspectRatio;
        config.RateControlMode = MPEGVideoEncoder_RateControlMode_CBR;
        config.MaxBitRate = config.AvgBitRate = 1150000;
        config.Profile = c.chroma == 2 ? 133 : 4;
        config.Level = 8;
        config.VideoFormat = 1;
        config.CommentText = "syntax conformance";
        return MakeSequenceSyntax(config, 40960);
    }

    int32_t Blocks() const { return Case.chroma == 2 ? 8 : 6; }
    Frame NewFrame() const { return Frame(16 * Case.mbWidth, 16 * Case.mbHeight, Case.chroma); }

    void Header() {
        TQuantiserMatrix flat;
        flat.fill(16);
        WriteSequenceHeader(Writer, State, kDefaultIntraQuantiserMatrix, flat);
    }

    TMPEGVideoPictureHeader PictureHeader(int32_t type, int64_t display, TMPEGVideoFCodes fCode) const {
        TMPEGVideoPictureHeader h;
        h.PictureCodingType = type;
        h.DisplayNumber = display;
        h.VBVDelay = 0x1000;
        h.FCode = fCode;
        h.ProgressiveFrame = !Case.interlaced;
        h.TopFieldFirst = Case.interlaced;
        return h;
    }

    // An I picture of flat 8x8 blocks of random values.
    Frame IntraPicture(int64_t display) {
        WriteGOPHeader(Writer, State, display);
        WritePictureHeader(Writer, State, PictureHeader(kPictureCodingTypeI, display, {{{15, 15}, {15, 15}}}));
        Frame frame = NewFrame();
        for (int32_t my = 0; my < Case.mbHeight; ++my) {
            for (int32_t mx = 0; mx < Case.mbWidth; ++mx) {
                std::vector<int16_t> levels(static_cast<size_t>(64 * Blocks()), 0);
                TMBInfo mb;
                mb.Flags = MBInfoFlag_Intra;
                if (Case.interlaced && (mx + my) % 2 == 1)
                    mb.Flags |= MBInfoFlag_FieldDCT;
                mb.QuantiserCode = 4;
                for (int32_t b = 0; b < Blocks(); ++b) {
                    const int32_t value = std::uniform_int_distribution<int32_t>(20, 235)(Random);
                    levels[static_cast<size_t>(64 * b)] = static_cast<int16_t>((value - 128) * (1 << Case.dcPrecision));
                    FillBlock(frame, mx, my, b, mb.IsFieldDCT(), static_cast<uint8_t>(value));
                }
                WriteMacroblock(Writer, State, mx, my, mb, levels.data());
            }
        }
        return frame;
    }

    // A P picture predicted from `reference`: skipped and zero-vector macroblocks, whole
    // macroblock shifts, field predictions with zero vectors, and a few DC residuals.
    Frame PredictedPicture(int64_t display, const Frame& reference) {
        Frame frame = reference;
        std::vector<TMBInfo> mbs(static_cast<size_t>(Case.mbWidth * Case.mbHeight));
        std::vector<std::vector<int16_t>> levels(mbs.size(), std::vector<int16_t>(static_cast<size_t>(64 * Blocks()), 0));
        for (int32_t my = 0; my < Case.mbHeight; ++my) {
            for (int32_t mx = 0; mx < Case.mbWidth; ++mx) {
                const size_t i = static_cast<size_t>(my * Case.mbWidth + mx);
                TMBInfo& mb = mbs[i];
                mb.Flags = MBInfoFlag_Forward;
                mb.MotionType = MBMotionType_Frame;
                mb.QuantiserCode = 2;
                const int32_t kind = std::uniform_int_distribution<int32_t>(0, 5)(Random);
                if (kind == 1 || kind == 2) { // copy a neighbouring macroblock
                    const int32_t ax = std::clamp(mx + (kind == 1 ? 1 : -1), 0, Case.mbWidth - 1) - mx;
                    const int32_t ay = std::clamp(my + (kind == 1 ? -1 : 1), 0, Case.mbHeight - 1) - my;
                    mb.Forward[0].MvX = 32 * ax;
                    mb.Forward[0].MvY = 32 * ay;
                    CopyMacroblock(frame, reference, mx, my, mx + ax, my + ay);
                } else if (kind == 3 && Case.interlaced) { // each field from its own parity
                    mb.MotionType = MBMotionType_Field;
                    mb.Forward[1].FieldSelect = 1;
                } else if (kind == 4) {
                    // The last chroma block gets a DC level of 8 at quantiser code 2: MPEG-2
                    // reconstructs 17 (+2 per pixel), MPEG-1 34, made odd: 33 (+4 per pixel).
                    const int32_t last = Blocks() - 1;
                    levels[i][static_cast<size_t>(64 * last)] = 8;
                    if (Case.interlaced)
                        mb.Flags |= MBInfoFlag_FieldDCT;
                    AddToBlock(frame, mx, my, last, mb.IsFieldDCT(), Case.mpeg2 ? 2 : 4);
                }
            }
        }
        WritePictureHeader(Writer, State, PictureHeader(kPictureCodingTypeP, display, {{{3, 3}, {15, 15}}}));
        for (int32_t my = 0; my < Case.mbHeight; ++my)
            for (int32_t mx = 0; mx < Case.mbWidth; ++mx) {
                const size_t i = static_cast<size_t>(my * Case.mbWidth + mx);
                WriteMacroblock(Writer, State, mx, my, mbs[i], levels[i].data());
            }
        return frame;
    }

    void Skipped(int32_t type, int64_t repeated) {
        for (int32_t k = 1; k <= Case.repeatCount; ++k)
            WriteSkippedPicture(Writer, State, type, repeated, k, 0x1000);
    }

    std::string Finish() {
        WriteSequenceEnd(Writer, State, 0);
        return std::string(reinterpret_cast<const char*>(Output.GetMemory()), static_cast<size_t>(Output.GetSize()));
    }

private:
    // Block b of a macroblock: luminance quadrants, chrominance 8 wide (two stacked for 4:2:2);
    // with field DCT the luminance blocks, and the 4:2:2 chrominance ones, take every other line
    // (ISO/IEC 13818-2, 6.1.3).
    void ForBlock(Frame& f, int32_t mx, int32_t my, int32_t b, bool fieldDCT, int32_t delta, bool set, uint8_t value) {
        std::vector<uint8_t>* plane = &f.y;
        int32_t stride = f.width, x0 = 16 * mx, y0 = 16 * my;
        int32_t lineStep = 1;
        if (b < 4) {
            x0 += 8 * (b & 1);
            y0 += fieldDCT ? (b >> 1) : 8 * (b >> 1);
            lineStep = fieldDCT ? 2 : 1;
        } else {
            plane = (b & 1) ? &f.cr : &f.cb;
            stride = f.width / 2;
            x0 = 8 * mx;
            const bool lower = b >= 6;
            const bool field = fieldDCT && Case.chroma == 2;
            y0 = (Case.chroma == 2 ? 16 : 8) * my + (lower ? (field ? 1 : 8) : 0);
            lineStep = field ? 2 : 1;
        }
        for (int32_t line = 0; line < 8; ++line)
            for (int32_t x = x0; x < x0 + 8; ++x) {
                uint8_t& p = (*plane)[static_cast<size_t>((y0 + line * lineStep) * stride + x)];
                p = set ? value : static_cast<uint8_t>(std::clamp(p + delta, 0, 255));
            }
    }
    void FillBlock(Frame& f, int32_t mx, int32_t my, int32_t b, bool fieldDCT, uint8_t value) {
        ForBlock(f, mx, my, b, fieldDCT, 0, true, value);
    }
    void AddToBlock(Frame& f, int32_t mx, int32_t my, int32_t b, bool fieldDCT, int32_t delta) {
        ForBlock(f, mx, my, b, fieldDCT, delta, false, 0);
    }

    void CopyMacroblock(Frame& to, const Frame& from, int32_t mx, int32_t my, int32_t sx, int32_t sy) {
        for (int32_t y = 0; y < 16; ++y)
            for (int32_t x = 0; x < 16; ++x)
                to.y[static_cast<size_t>((16 * my + y) * to.width + 16 * mx + x)] =
                    from.y[static_cast<size_t>((16 * sy + y) * to.width + 16 * sx + x)];
        const int32_t ch = Case.chroma == 2 ? 16 : 8;
        for (int32_t y = 0; y < ch; ++y)
            for (int32_t x = 0; x < 8; ++x) {
                const size_t d = static_cast<size_t>((ch * my + y) * (to.width / 2) + 8 * mx + x);
                const size_t s = static_cast<size_t>((ch * sy + y) * (to.width / 2) + 8 * sx + x);
                to.cb[d] = from.cb[s];
                to.cr[d] = from.cr[s];
            }
    }

    const StreamCase& Case;
    std::mt19937 Random;
    TLargeMemoryStream Output;
    TLargeBitStreamWriter Writer;
    TMPEGVideoSyntaxState State;
};

// The stream and the pictures it shows, in display order.
struct BuiltStream {
    std::string bytes;
    std::vector<Frame> display;
};

BuiltStream Build(const StreamCase& c) {
    StreamBuilder builder(c);
    BuiltStream out;
    builder.Header();
    // Coded order I0 I1 P2 P3 I4 P5 (display order the same); with a repeat count, skipped B
    // pictures after each P repeat the picture before it, skipped P pictures before each I and
    // at the end repeat the last one.
    const std::vector<char> plan = {'I', 'I', 'P', 'P', 'I', 'P'};
    Frame previous = builder.NewFrame();
    for (size_t n = 0; n < plan.size(); ++n) {
        const int64_t display = static_cast<int64_t>(n);
        if (plan[n] == 'I') {
            if (n > 0)
                builder.Skipped(kPictureCodingTypeP, display - 1);
            previous = builder.IntraPicture(display);
        } else {
            const Frame before = previous;
            previous = builder.PredictedPicture(display, before);
            builder.Skipped(kPictureCodingTypeB, display - 1);
        }
        out.display.push_back(previous);
        for (int32_t k = 0; k < c.repeatCount; ++k)
            out.display.push_back(previous);
    }
    builder.Skipped(kPictureCodingTypeP, static_cast<int64_t>(plan.size()) - 1);
    out.bytes = builder.Finish();
    return out;
}

class VideoSyntaxStream : public ::testing::TestWithParam<StreamCase> {
protected:
    void SetUp() override {
        QS_REQUIRE_TOOLS("ffmpeg", "ffprobe");
    }
};

TEST_P(VideoSyntaxStream, DecodersShowThePicturesTheMacroblocksDescribe) {
    const StreamCase& c = GetParam();
    const BuiltStream stream = Build(c);
    TempDir dir;
    const std::string input = dir.File(c.mpeg2 ? "stream.m2v" : "stream.m1v");
    testing::WriteFileBytes(input, stream.bytes);

    const std::string raw = dir.File("out.yuv");
    const std::string errors = dir.File("errors.txt");
    const std::string format = c.chroma == 2 ? "yuv422p" : "yuv420p";
    ASSERT_EQ(RunCommand("ffmpeg -v error -nostdin -i " + Quote(input) + " -f rawvideo -pix_fmt " + format +
                         " -fps_mode passthrough -y " + Quote(raw) + " 2> " + Quote(errors)),
              0)
        << ReadFileBytes(errors);
    EXPECT_EQ(ReadFileBytes(errors), "");
    std::string expected;
    for (const Frame& f : stream.display)
        expected += f.Bytes();
    const std::string decoded = ReadFileBytes(raw);
    ASSERT_EQ(decoded.size(), expected.size()) << "pictures: " << decoded.size() / stream.display[0].Bytes().size();
    const size_t frameSize = stream.display[0].Bytes().size();
    for (size_t n = 0; n < stream.display.size(); ++n)
        EXPECT_TRUE(decoded.compare(n * frameSize, frameSize, expected, n * frameSize, frameSize) == 0)
            << "picture " << n << " differs";

    const std::string probe = dir.File("probe.txt");
    ASSERT_EQ(RunCommand("ffprobe -v error -select_streams v:0 -show_entries "
                         "stream=codec_name,profile,level,width,height,r_frame_rate,sample_aspect_ratio,"
                         "display_aspect_ratio,pix_fmt -of default=noprint_wrappers=1 " +
                         Quote(input) + " > " + Quote(probe) + " 2>&1"),
              0);
    const std::string report = "\n" + ReadFileBytes(probe);
    for (const std::string& line : c.probe)
        EXPECT_NE(report.find("\n" + line + "\n"), std::string::npos) << line << " not in" << report;
}

TEST_P(VideoSyntaxStream, LibMpeg2AgreesOnTheLuminance) {
    const StreamCase& c = GetParam();
    QS_REQUIRE_TOOLS("mpeg2dec");
    const BuiltStream stream = Build(c);
    TempDir dir;
    const std::string input = dir.File("stream.mpv");
    testing::WriteFileBytes(input, stream.bytes);
    const std::string pgm = dir.File("out.pgm");
    ASSERT_EQ(RunCommand("mpeg2dec -o pgmpipe " + Quote(input) + " > " + Quote(pgm) + " 2> /dev/null"), 0);
    // pgmpipe: per picture "P5\n<w> <h'>\n255\n", the luminance rows first.
    const std::string out = ReadFileBytes(pgm);
    size_t at = 0;
    size_t n = 0;
    while (at < out.size() && n < stream.display.size()) {
        int32_t w = 0, h = 0, consumed = 0;
        ASSERT_EQ(std::sscanf(out.c_str() + at, "P5\n%d %d\n255\n%n", &w, &h, &consumed), 2);
        const Frame& f = stream.display[n];
        ASSERT_EQ(w, f.width);
        const std::string luma(f.y.begin(), f.y.end());
        EXPECT_TRUE(out.compare(at + static_cast<size_t>(consumed), luma.size(), luma) == 0) << "picture " << n;
        at += static_cast<size_t>(consumed) + static_cast<size_t>(w) * static_cast<size_t>(h);
        ++n;
    }
    EXPECT_EQ(n, stream.display.size());
}

INSTANTIATE_TEST_SUITE_P(
    Streams, VideoSyntaxStream,
    ::testing::Values(
        StreamCase{"MPEG-1", false, 1, false, 0, 10, 6, 0, 1,
                   {"codec_name=mpeg1video", "width=160", "height=96", "sample_aspect_ratio=1:1", "pix_fmt=yuv420p",
                    "r_frame_rate=25/1"}},
        StreamCase{"MPEG-2 progressive with repeated pictures", true, 1, false, 2, 11, 9, 1, 2,
                   {"codec_name=mpeg2video", "profile=Main", "level=8", "width=176", "height=144",
                    "display_aspect_ratio=4:3", "pix_fmt=yuv420p", "r_frame_rate=25/1"}},
        // profile_and_level_indication 0x85: ffprobe names the 4:2:2 profile and shows the low
        // four bits as the level.
        StreamCase{"MPEG-2 interlaced 4:2:2", true, 2, true, 3, 11, 10, 0, 3,
                   {"codec_name=mpeg2video", "profile=4:2:2", "level=5", "width=176", "height=160",
                    "display_aspect_ratio=16:9", "pix_fmt=yuv422p", "r_frame_rate=25/1"}}),
    [](const ::testing::TestParamInfo<StreamCase>& param) { return "Case" + std::to_string(param.index); });

} // namespace
} // namespace quillset
