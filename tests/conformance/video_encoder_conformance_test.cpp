// Streams of the video encoder judged by independent decoders: synthetic clips (a panning
// texture with a moving square, noise, a scene cut) are encoded for each template family and
// for the coding tools (B pictures, closed and open GOPs, 4:2:2, the frame-rate divisor, CBR and
// constant quality). ffmpeg and libmpeg2 (mpeg2dec) must decode every stream without a message,
// ffprobe must report what the configuration asks for, and the encoder's own reconstruction
// must match both decoders' pictures above 50 dB: prediction and reconstruction are then right,
// and the decoders differ from the encoder only in the rounding of their inverse transforms.
//
// Set QUILLSET_KEEP_VIDEO to a folder to keep the streams written there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "encoder/tests/video/core/video_encode_run.h"
#include "encoder/tests/video/core/video_test_config.h"
#include "tests/support/stream_oracles.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

using testing::HasTool;
using testing::ReadFileBytes;
using testing::RunCommand;
using testing::SyntheticScene;
using testing::TempDir;
using testing::VideoEncodeRun;

using testing::Libmpeg2Messages;
using testing::Quote;
using testing::ToolsRequired;

// One decoded or reconstructed picture: the picture area of its three planes.
struct Picture {
    std::vector<uint8_t> Y, Cb, Cr;
};

double PlanePSNR(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty())
        return 0.0;
    double squared = 0;
    for (size_t i = 0; i < a.size(); ++i)
        squared += (a[i] - b[i]) * (a[i] - b[i]);
    if (squared == 0)
        return 99.0;
    return 10 * std::log10(255.0 * 255.0 * static_cast<double>(a.size()) / squared);
}

// The lowest of the three planes' PSNR.
double PicturePSNR(const Picture& a, const Picture& b) {
    return std::min({PlanePSNR(a.Y, b.Y), PlanePSNR(a.Cb, b.Cb), PlanePSNR(a.Cr, b.Cr)});
}

struct VideoCase {
    const char* Name;
    std::function<TMPEGVideoEncoder_EncodeConfig()> Config;
    int32_t Frames;
    bool FloatPaths = false;
    int32_t CutFrame = -1;
    // ffprobe stream entries (key=value) that must appear.
    std::vector<std::string> StreamEntries;
    // Decoded pictures per coded picture (2 with the frame-rate divisor).
    int32_t Repeat = 1;
    // The VBV buffer size the sequence header must carry, in bytes (0: not checked).
    int32_t VBVBytes = 0;
};

void PrintTo(const VideoCase& c, std::ostream* out) { *out << c.Name; }

// vbv_buffer_size_value of the first sequence header (ISO/IEC 11172-2, 13818-2, 6.2.2.1), with
// the MPEG-2 extension's high bits.
int32_t SequenceVBVSizeValue(const std::string& stream) {
    const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(stream[i])); };
    const size_t at = stream.find(std::string("\0\0\1\xB3", 4));
    if (at == std::string::npos || at + 12 > stream.size())
        return -1;
    // 12 + 12 + 4 + 4 + 18 + 1 bits after the start code, then 10 bits.
    const uint32_t bits = byte(at + 10) << 8 | byte(at + 11);
    int32_t value = static_cast<int32_t>((bits >> 3) & 0x3FF);
    const size_t extension = stream.find(std::string("\0\0\1\xB5", 4), at);
    if (extension != std::string::npos && extension + 10 <= stream.size() && (byte(extension + 4) >> 4) == 1)
        value |= static_cast<int32_t>(byte(extension + 8)) << 10; // vbv_buffer_size_extension
    return value;
}

TMPEGVideoEncoder_EncodeConfig DVDNTSC() {
    TMPEGVideoEncoder_EncodeConfig c = testing::MakeTestVideoConfig(); // 720 x 480 interlaced 29.97
    c.AvgBitRate = c.MaxBitRate = 4000000;
    c.VBVBufferSize = 229376;
    return c;
}

TMPEGVideoEncoder_EncodeConfig DVDPAL() {
    TMPEGVideoEncoder_EncodeConfig c = DVDNTSC();
    c.Height = 576;
    c.FrameRate = 3;
    c.AspectRatio = 3;
    c.VideoFormat = 1;
    return c;
}

TMPEGVideoEncoder_EncodeConfig SVCDNTSC() {
    TMPEGVideoEncoder_EncodeConfig c = testing::MakeTestVideoConfig();
    c.Width = c.Height = 480;
    c.AvgBitRate = c.MaxBitRate = 2520000;
    c.VBVBufferSize = 114688;
    c.SuperVideoCD = 1;
    return c;
}

TMPEGVideoEncoder_EncodeConfig SVCDNTSCFilm() {
    TMPEGVideoEncoder_EncodeConfig c = SVCDNTSC();
    c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown;
    c.FrameRate = 1;
    return c;
}

TMPEGVideoEncoder_EncodeConfig VCDNTSC() { return testing::MakeTestMPEG1Config(); }

TMPEGVideoEncoder_EncodeConfig SmallMPEG2(int32_t width, int32_t height) {
    TMPEGVideoEncoder_EncodeConfig c = testing::MakeTestVideoConfig();
    c.Width = width;
    c.Height = height;
    c.AvgBitRate = c.MaxBitRate = 3000000;
    return c;
}

const VideoCase kCases[] = {
    {"DVD_NTSC_Interlaced", DVDNTSC, 7, false, -1,
     {"width=720", "height=480", "profile=Main", "level=8", "avg_frame_rate=30000/1001", "display_aspect_ratio=4:3",
      "field_order=tt", "bit_rate=4000000", "buffer_size=1835008"}},
    {"DVD_PAL_Interlaced", DVDPAL, 4, false, -1,
     {"width=720", "height=576", "profile=Main", "avg_frame_rate=25/1", "display_aspect_ratio=16:9",
      "buffer_size=1835008"}},
    {"SVCD_NTSC", SVCDNTSC, 7, false, 4, {"width=480", "height=480", "avg_frame_rate=30000/1001", "bit_rate=2520000", "buffer_size=917504"}},
    {"SVCD_NTSC_Film_Pulldown", SVCDNTSCFilm, 8, false, -1,
     {"width=480", "height=480", "avg_frame_rate=30000/1001", "field_order=progressive"}},
    {"VCD_NTSC_MPEG1", VCDNTSC, 10, false, 6, {"codec_name=mpeg1video", "width=352", "height=240", "bit_rate=1150000"}},
    {"MPEG1_CQ_FloatPaths",
     [] {
         TMPEGVideoEncoder_EncodeConfig c = VCDNTSC();
         c.RateControlMode = MPEGVideoEncoder_RateControlMode_CQ;
         c.MaxBitRate = 3000000;
         c.VBVBufferSize = 0;
         c.UseFloatDCT = 1;
         return c;
     },
     // Variable rate in MPEG-1: bit_rate_value 0x3FFFF.
     10, true, -1, {"codec_name=mpeg1video", "bit_rate=104857200"}},
    {"MPEG2_ClosedGOP_Progressive",
     [] {
         TMPEGVideoEncoder_EncodeConfig c = SmallMPEG2(352, 288);
         c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive;
         c.GOP_BitStreamForEdit = 1;
         c.GOP_P_FrameCount = 2;
         c.FrameRate = 3;
         return c;
     },
     // The recommended VBV size: 9 x 16384 bytes.
     16, false, 9, {"field_order=progressive", "avg_frame_rate=25/1", "buffer_size=1179648"}},
    {"MPEG2_422_Interlaced",
     [] {
         TMPEGVideoEncoder_EncodeConfig c = SmallMPEG2(352, 288);
         c.YUVFormat = 2;
         c.Profile = 133;
         c.FrameRate = 3;
         c.TopFieldFirst = 0;
         return c;
     },
     8, false, -1, {"pix_fmt=yuv422p", "field_order=bb", "profile=4:2:2"}},
    {"MPEG2_FrameRateDivisor",
     [] {
         TMPEGVideoEncoder_EncodeConfig c = SmallMPEG2(352, 240);
         c.FrameRate = 0x20004;
         return c;
     },
     8, false, -1, {"avg_frame_rate=30000/1001"}, 2},
    {"MPEG2_CQ_FloatPaths",
     [] {
         TMPEGVideoEncoder_EncodeConfig c = SmallMPEG2(352, 288);
         c.RateControlMode = MPEGVideoEncoder_RateControlMode_CQ;
         c.MaxBitRate = 8000000;
         c.Quality = 75;
         c.UseFloatDCT = 1;
         return c;
     },
     // The recommended VBV size (19 x 16384 bytes) is lowered to Main level's 229376 bytes.
     10, true, 5, {"profile=Main"}, 1, 229376},
    {"MPEG2_VBRAuto_Interlaced",
     [] {
         TMPEGVideoEncoder_EncodeConfig c = SmallMPEG2(352, 288);
         c.RateControlMode = MPEGVideoEncoder_RateControlMode_VBR_Auto;
         c.MaxBitRate = 6000000;
         c.MinBitRate = 1000000;
         c.Quality = 50;
         c.FrameRate = 3;
         return c;
     },
     10, false, 6, {"profile=Main", "avg_frame_rate=25/1"}},
};

class VideoConformance : public ::testing::TestWithParam<VideoCase> {
protected:
    void SetUp() override {
        for (const char* tool : {"ffmpeg", "ffprobe", "mpeg2dec"})
            if (!HasTool(tool)) {
                if (ToolsRequired())
                    FAIL() << tool << " is required";
                GTEST_SKIP() << tool << " not found";
            }
    }

    // The reconstructions of the run (display order), cut to the picture area.
    static std::vector<Picture> Reconstructions(const VideoEncodeRun& run, const TMPEGVideoEncoder_Settings& s) {
        TMPEGVideo_YUVImageFormat f;
        run.Encoder->GetImageFormat(f);
        const int32_t cw = s.Config.Width / 2, ch = s.Config.Height / s.ChromaDivisorY;
        std::vector<Picture> pictures;
        for (const auto& bytes : run.Reconstructions) {
            Picture p;
            const uint8_t* y = bytes.data();
            const uint8_t* cb = y + static_cast<size_t>(f.Width) * f.Height;
            const uint8_t* cr = cb + static_cast<size_t>(f.ChromaWidth) * f.ChromaHeight;
            for (int32_t r = 0; r < s.Config.Height; ++r)
                p.Y.insert(p.Y.end(), y + r * f.Width, y + r * f.Width + s.Config.Width);
            for (int32_t r = 0; r < ch; ++r) {
                p.Cb.insert(p.Cb.end(), cb + r * f.ChromaWidth, cb + r * f.ChromaWidth + cw);
                p.Cr.insert(p.Cr.end(), cr + r * f.ChromaWidth, cr + r * f.ChromaWidth + cw);
            }
            pictures.push_back(std::move(p));
        }
        return pictures;
    }
};

// Planar frames of `bytes` (Y, Cb, Cr per frame).
std::vector<Picture> SplitFrames(const std::string& bytes, int32_t width, int32_t height, int32_t chromaHeight) {
    const size_t luma = static_cast<size_t>(width) * height;
    const size_t chroma = static_cast<size_t>(width / 2) * chromaHeight;
    std::vector<Picture> frames;
    for (size_t at = 0; at + luma + 2 * chroma <= bytes.size(); at += luma + 2 * chroma) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + at;
        frames.push_back({{p, p + luma}, {p + luma, p + luma + chroma}, {p + luma + chroma, p + luma + 2 * chroma}});
    }
    return frames;
}

// mpeg2dec's pgmpipe output: per picture "P5\n<w> <h + ch>\n255\n" over the coded (macroblock)
// size, the luminance rows, then per chroma row the Cb row followed by the Cr row. The picture
// area of `width` x `height` is cut out.
std::vector<Picture> ParsePgmFrames(const std::string& bytes, int32_t width, int32_t height, int32_t chromaDivisorY) {
    std::vector<Picture> frames;
    size_t at = 0;
    while (at < bytes.size()) {
        std::istringstream header(bytes.substr(at, 64));
        std::string magic;
        int32_t w = 0, h = 0, max = 0;
        header >> magic >> w >> h >> max;
        // h = coded height + coded height / divisor.
        const int32_t coded = chromaDivisorY == 2 ? 2 * h / 3 : h / 2;
        if (magic != "P5" || w < width || coded < height)
            break;
        at += static_cast<size_t>(header.tellg()) + 1;
        if (at + static_cast<size_t>(w) * h > bytes.size())
            break;
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + at;
        Picture frame;
        for (int32_t r = 0; r < height; ++r)
            frame.Y.insert(frame.Y.end(), p + static_cast<size_t>(w) * r, p + static_cast<size_t>(w) * r + width);
        for (int32_t r = 0; r < height / chromaDivisorY; ++r) {
            const uint8_t* row = p + static_cast<size_t>(w) * (coded + r);
            frame.Cb.insert(frame.Cb.end(), row, row + width / 2);
            frame.Cr.insert(frame.Cr.end(), row + w / 2, row + w / 2 + width / 2);
        }
        frames.push_back(std::move(frame));
        at += static_cast<size_t>(w) * h;
    }
    return frames;
}

// ffmpeg's pictures of `input`; `messages` receives what it said.
std::vector<Picture> DecodeWithFFmpeg(const TempDir& dir, const std::string& input, const TMPEGVideoEncoder_Settings& s,
                                      std::string& messages) {
    const std::string yuv = dir.File("ffmpeg.yuv"), errors = dir.File("ffmpeg.txt");
    const std::string pixFmt = s.Config.YUVFormat == 2 ? "yuv422p" : "yuv420p";
    if (RunCommand("ffmpeg -nostdin -v error -i " + Quote(input) + " -fps_mode passthrough -f rawvideo -pix_fmt " +
                   pixFmt + " -y " + Quote(yuv) + " 2> " + Quote(errors)) != 0)
        messages = "ffmpeg failed: ";
    messages += ReadFileBytes(errors);
    return SplitFrames(ReadFileBytes(yuv), s.Config.Width, s.Config.Height, s.Config.Height / s.ChromaDivisorY);
}

// libmpeg2's pictures of `input`; `messages` receives what it said beyond its usual lines.
std::vector<Picture> DecodeWithLibmpeg2(const TempDir& dir, const std::string& input,
                                        const TMPEGVideoEncoder_Settings& s, std::string& messages) {
    const std::string pgm = dir.File("mpeg2dec.pgm"), errors = dir.File("mpeg2dec.txt");
    if (RunCommand("mpeg2dec -o pgmpipe " + Quote(input) + " > " + Quote(pgm) + " 2> " + Quote(errors)) != 0)
        messages = "mpeg2dec failed: ";
    messages += Libmpeg2Messages(ReadFileBytes(errors));
    return ParsePgmFrames(ReadFileBytes(pgm), s.Config.Width, s.Config.Height, s.ChromaDivisorY);
}

// ffprobe's picture types and field flags in display order against the encoder's reports.
void ExpectPictureFlags(const TempDir& dir, const std::string& input, std::vector<TMPEGVideoEncoder_PictureReport> reports,
                        int32_t repeat) {
    const std::string frames = dir.File("frames.txt");
    ASSERT_EQ(RunCommand("ffprobe -v error -select_streams v:0 -show_entries frame=pict_type,interlaced_frame,"
                         "top_field_first,repeat_pict -of csv=p=0 " +
                         Quote(input) + " > " + Quote(frames)),
              0);
    std::sort(reports.begin(), reports.end(), [](auto& a, auto& b) { return a.DisplayNumber < b.DisplayNumber; });
    std::istringstream lines(ReadFileBytes(frames));
    std::string line;
    size_t index = 0;
    while (std::getline(lines, line)) {
        while (!line.empty() && line.back() == ',')
            line.pop_back();
        if (line.empty())
            continue;
        // With the frame-rate divisor every second decoded picture is a repeat of a coded one.
        const size_t picture = index / static_cast<size_t>(repeat);
        const bool repeated = index++ % static_cast<size_t>(repeat) != 0;
        if (picture >= reports.size() || repeated)
            continue;
        const auto& r = reports[picture];
        const std::string expected = std::string(PictureTypeLetter(r.PictureType)) + "," +
                                     std::to_string(r.ProgressiveFrame ? 0 : 1) + "," + std::to_string(r.TopFieldFirst) +
                                     "," + std::to_string(r.RepeatFirstField);
        EXPECT_EQ(line, expected) << "picture " << picture;
    }
    EXPECT_EQ(index, reports.size() * static_cast<size_t>(repeat));
}

TEST_P(VideoConformance, DecodersAgreeWithTheEncoder) {
    const VideoCase& t = GetParam();
    TempDir dir;
    VideoEncodeRun run(t.Config(), testing::TestKernelTable(t.FloatPaths));
    const TMPEGVideoEncoder_Settings& s = run.Encoder->GetSettings();
    run.Encode(SyntheticScene{s.Config.Width, s.Config.Height, t.CutFrame}, t.Frames);
    const std::string stream = run.Stream();
    const std::string input = dir.File(s.MPEG2 ? "clip.m2v" : "clip.m1v");
    testing::WriteFileBytes(input, stream);
    if (const char* keep = std::getenv("QUILLSET_KEEP_VIDEO"))
        testing::WriteFileBytes(std::string(keep) + "/" + t.Name + (s.MPEG2 ? ".m2v" : ".m1v"), stream);

    // Both decoders: not a single message, one picture per picture shown, each the encoder's.
    std::string ffmpegMessages, libmpeg2Messages;
    const std::vector<Picture> ffmpegFrames = DecodeWithFFmpeg(dir, input, s, ffmpegMessages);
    const std::vector<Picture> libmpeg2Frames = DecodeWithLibmpeg2(dir, input, s, libmpeg2Messages);
    EXPECT_EQ(ffmpegMessages, "");
    EXPECT_EQ(libmpeg2Messages, "");
    const std::vector<Picture> own = Reconstructions(run, s);
    ASSERT_EQ(own.size(), static_cast<size_t>(t.Frames));
    ASSERT_EQ(ffmpegFrames.size(), own.size() * t.Repeat);
    ASSERT_EQ(libmpeg2Frames.size(), own.size() * t.Repeat);
    for (size_t i = 0; i < ffmpegFrames.size(); ++i) {
        EXPECT_GT(PicturePSNR(own[i / t.Repeat], ffmpegFrames[i]), 50.0) << "ffmpeg picture " << i;
        EXPECT_GT(PicturePSNR(own[i / t.Repeat], libmpeg2Frames[i]), 50.0) << "libmpeg2 picture " << i;
    }

    // ffprobe: the sequence values.
    const std::string probe = dir.File("probe.txt");
    ASSERT_EQ(RunCommand("ffprobe -v error -select_streams v:0 -show_streams " + Quote(input) + " > " + Quote(probe)), 0);
    const std::string values = ReadFileBytes(probe);
    for (const std::string& entry : t.StreamEntries)
        EXPECT_NE(values.find(entry + "\n"), std::string::npos) << entry << " not in\n" << values;
    EXPECT_EQ(SequenceVBVSizeValue(stream), s.VBVBufferSize / 2048);
    if (t.VBVBytes > 0) {
        EXPECT_EQ(s.VBVBufferSize, t.VBVBytes);
    }

    ExpectPictureFlags(dir, input, run.Reports, t.Repeat);
}

INSTANTIATE_TEST_SUITE_P(Families, VideoConformance, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.Name); });

} // namespace
} // namespace quillset
