// The picture-input filters of the video encoder judged from outside: inverse 3:2 pulldown of a
// clip that ffmpeg's telecine filter pulled down (the stream must carry the film frames with
// the top_field_first / repeat_first_field pattern that gives back the telecined fields), pure
// interlaced video through the same mode (no field may be taken for a repeat), and scene change
// detection on a clip with hard cuts (an I picture starting a GOP at each cut, nowhere else
// beyond the regular GOP pattern). ffmpeg and libmpeg2 (mpeg2dec) must decode every stream
// without a message.
//
// Set QUILLSET_KEEP_VIDEO to a folder to keep the streams written there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
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
using testing::TempDir;
using testing::VideoEncodeRun;

constexpr int32_t kWidth = 352;
constexpr int32_t kHeight = 288;
constexpr size_t kFrameBytes = kWidth * kHeight * 3 / 2;

using testing::Quote;
using testing::ToolsRequired;

void KeepStream(const std::string& name, const std::string& path) {
    if (const char* keep = std::getenv("QUILLSET_KEEP_VIDEO"))
        RunCommand("cp " + Quote(path) + " " + Quote(std::string(keep) + "/" + name));
}

TMPEGVideoEncoder_EncodeConfig SmallInterlacedConfig(uint8_t mode) {
    TMPEGVideoEncoder_EncodeConfig c = testing::MakeTestVideoConfig();
    c.Width = kWidth;
    c.Height = kHeight;
    c.VideoEncodeMode = mode;
    c.TopFieldFirst = 1;
    c.AvgBitRate = c.MaxBitRate = 5000000;
    c.VBVBufferSize = 229376;
    return c;
}

// Encodes raw 4:2:0 frames of kWidth x kHeight; the run keeps the reports.
void EncodeFrames(VideoEncodeRun& run, const std::string& raw) {
    run.Encoder->BeginEncode();
    for (size_t at = 0; at + kFrameBytes <= raw.size(); at += kFrameBytes) {
        std::unique_ptr<TMPEGVideo_YUVImage> image = run.Encoder->NewImage();
        const auto* p = reinterpret_cast<const uint8_t*>(raw.data()) + at;
        for (int32_t r = 0; r < kHeight; ++r)
            std::memcpy(image->LumaRow(r), p + r * kWidth, kWidth);
        for (int32_t r = 0; r < kHeight / 2; ++r) {
            std::memcpy(image->CbRow(r), p + kWidth * kHeight + r * kWidth / 2, kWidth / 2);
            std::memcpy(image->CrRow(r), p + kWidth * kHeight * 5 / 4 + r * kWidth / 2, kWidth / 2);
        }
        TMPEGVideoEncoder_Image record;
        record.Tag = kMPEGVideoEncoder_YUVImageTag;
        record.YUVImage = image.get();
        run.Encoder->EncodePicture(record);
    }
    run.Encoder->EndEncode();
}

// What ffprobe says of each decoded frame, in display order.
struct ProbedFrame {
    int32_t TopFieldFirst = -1;
    int32_t RepeatPict = -1;
};

std::vector<ProbedFrame> ProbeFrames(const std::string& file, TempDir& dir) {
    const std::string out = dir.File("probe.txt");
    RunCommand("ffprobe -v error -show_frames -show_entries frame=top_field_first,repeat_pict -of compact " +
               Quote(file) + " > " + Quote(out));
    std::istringstream lines(ReadFileBytes(out));
    std::vector<ProbedFrame> frames;
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("frame|", 0) != 0)
            continue;
        ProbedFrame f;
        std::istringstream items(line);
        std::string item;
        while (std::getline(items, item, '|')) {
            const size_t eq = item.find('=');
            if (eq == std::string::npos)
                continue;
            const std::string key = item.substr(0, eq);
            const int32_t value = std::atoi(item.c_str() + eq + 1);
            if (key == "top_field_first")
                f.TopFieldFirst = value;
            else if (key == "repeat_pict")
                f.RepeatPict = value;
        }
        frames.push_back(f);
    }
    return frames;
}

// The messages of ffmpeg (-v error) and of mpeg2dec decoding `file`; empty when both are silent.
std::string DecoderMessages(const std::string& file, TempDir& dir) {
    const std::string ffmpegOut = dir.File("ffmpeg.txt"), mpeg2decOut = dir.File("mpeg2dec.txt");
    RunCommand("ffmpeg -nostdin -v error -i " + Quote(file) + " -f null - 2> " + Quote(ffmpegOut));
    RunCommand("mpeg2dec -o null " + Quote(file) + " > " + Quote(mpeg2decOut) + " 2>&1");
    return ReadFileBytes(ffmpegOut) + testing::Libmpeg2Messages(ReadFileBytes(mpeg2decOut));
}

// The luminance fields of raw frames shown with the given flags: per frame the first field,
// the second, and the first again when repeated.
using Field = std::vector<uint8_t>;

Field LumaField(const uint8_t* frame, int32_t parity) {
    Field f;
    for (int32_t r = parity; r < kHeight; r += 2)
        f.insert(f.end(), frame + r * kWidth, frame + (r + 1) * kWidth);
    return f;
}

std::vector<Field> DisplayedFields(const std::string& raw, const std::vector<ProbedFrame>& flags) {
    std::vector<Field> fields;
    for (size_t i = 0; (i + 1) * kFrameBytes <= raw.size(); ++i) {
        const auto* frame = reinterpret_cast<const uint8_t*>(raw.data()) + i * kFrameBytes;
        const bool tff = i < flags.size() ? flags[i].TopFieldFirst != 0 : true;
        const bool repeat = i < flags.size() && flags[i].RepeatPict > 0;
        const int32_t first = tff ? 0 : 1;
        fields.push_back(LumaField(frame, first));
        fields.push_back(LumaField(frame, 1 - first));
        if (repeat)
            fields.push_back(LumaField(frame, first));
    }
    return fields;
}

double FieldPSNR(const Field& a, const Field& b) {
    double squared = 0;
    for (size_t i = 0; i < a.size(); ++i)
        squared += (a[i] - b[i]) * (a[i] - b[i]);
    return squared == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * static_cast<double>(a.size()) / squared);
}

class VideoInputFilters : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"ffmpeg", "ffprobe", "mpeg2dec"})
            if (!HasTool(tool)) {
                if (ToolsRequired())
                    FAIL() << tool << " is required";
                GTEST_SKIP() << tool << " not found";
            }
    }

    // Raw 4:2:0 frames from an ffmpeg source and filter chain.
    std::string MakeClip(const std::string& source, const std::string& filters, int32_t frames) {
        const std::string out = dir.File("clip.yuv");
        const int status = RunCommand("ffmpeg -nostdin -v error -f lavfi -i '" + source + "' -vf '" + filters +
                                      "' -frames:v " + std::to_string(frames) +
                                      " -pix_fmt yuv420p -f rawvideo -y " + Quote(out));
        EXPECT_EQ(status, 0);
        return ReadFileBytes(out);
    }

    std::string WriteStream(VideoEncodeRun& run, const std::string& name) {
        const std::string path = dir.File(name);
        testing::WriteFileBytes(path, run.Stream());
        KeepStream(name, path);
        return path;
    }

    TempDir dir;
};

// 40 film frames at 23.976 fps, panning, pulled down to 50 interlaced frames: 40 coded frames
// whose flags give back the 100 telecined fields, each close to the field it stands for.
TEST_F(VideoInputFilters, InversePulldownRestoresTelecinedFilm) {
    const std::string telecined = MakeClip("testsrc2=size=352x288:rate=24000/1001",
                                           "scroll=horizontal=0.006:vertical=0.003,telecine=first_field=t:pattern=23", 50);
    ASSERT_EQ(telecined.size(), 50 * kFrameBytes);
    VideoEncodeRun run(SmallInterlacedConfig(MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown));
    EncodeFrames(run, telecined);
    const std::string stream = WriteStream(run, "inverse_pulldown.m2v");

    EXPECT_EQ(run.Reports.size(), 40u);
    std::string state;
    for (const std::string& line : run.Log)
        if (line.rfind("Inverse 3:2 pulldown state", 0) == 0)
            state = line;
    // The clip ends on the third field of a film frame: with no picture after it, the last
    // repeat cannot be confirmed, and that frame shows two fields.
    EXPECT_EQ(state, "Inverse 3:2 pulldown state = 80/99 (Output/Input field count)");
    EXPECT_EQ(DecoderMessages(stream, dir), "");

    const std::vector<ProbedFrame> probed = ProbeFrames(stream, dir);
    ASSERT_EQ(probed.size(), 40u);
    int32_t repeats = 0;
    for (size_t i = 0; i < probed.size(); ++i) {
        repeats += probed[i].RepeatPict > 0;
        // After the first frames the cadence alternates: every other frame repeats a field.
        if (i >= 2 && i + 1 < probed.size()) {
            EXPECT_NE(probed[i].RepeatPict > 0, probed[i - 1].RepeatPict > 0) << "frame " << i;
        }
    }
    EXPECT_EQ(repeats, 19);

    const std::string decodedPath = dir.File("decoded.yuv");
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -i " + Quote(stream) +
                         " -vsync passthrough -pix_fmt yuv420p -f rawvideo -y " + Quote(decodedPath)),
              0);
    const std::vector<Field> shown = DisplayedFields(ReadFileBytes(decodedPath), probed);
    std::vector<Field> source = DisplayedFields(telecined, std::vector<ProbedFrame>(50, {1, 0}));
    source.pop_back(); // the unconfirmed last repeat
    ASSERT_EQ(shown.size(), source.size());
    double lowest = 99, total = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
        const double psnr = FieldPSNR(shown[i], source[i]);
        lowest = std::min(lowest, psnr);
        total += psnr;
    }
    const double mean = total / static_cast<double>(shown.size());
    RecordProperty("field_psnr_mean", std::to_string(mean));
    RecordProperty("field_psnr_lowest", std::to_string(lowest));
    std::printf("telecined fields against the decoded stream: mean %.2f dB, lowest %.2f dB\n", mean, lowest);
    // A field shown in the wrong place differs by the pan: far below these figures.
    EXPECT_GT(lowest, 30.0);
    EXPECT_GT(mean, 33.0);
}

// True interlaced video (every field its own moment) passes frame for frame with no repeats.
TEST_F(VideoInputFilters, InversePulldownPassesInterlacedVideo) {
    const std::string interlaced = MakeClip("testsrc2=size=352x288:rate=60000/1001",
                                            "scroll=horizontal=0.004:vertical=0.002,tinterlace=mode=interleave_top", 30);
    ASSERT_EQ(interlaced.size(), 30 * kFrameBytes);
    VideoEncodeRun run(SmallInterlacedConfig(MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown));
    EncodeFrames(run, interlaced);
    const std::string stream = WriteStream(run, "interlaced.m2v");

    ASSERT_EQ(run.Reports.size(), 30u);
    for (const auto& report : run.Reports) {
        EXPECT_EQ(report.RepeatFirstField, 0) << "picture " << report.DisplayNumber;
        EXPECT_EQ(report.TopFieldFirst, 1) << "picture " << report.DisplayNumber;
    }
    EXPECT_EQ(DecoderMessages(stream, dir), "");
    const std::vector<ProbedFrame> probed = ProbeFrames(stream, dir);
    ASSERT_EQ(probed.size(), 30u);
    for (const ProbedFrame& f : probed)
        EXPECT_EQ(f.RepeatPict, 0);
}

// Hard cuts at pictures 25 and 50 of a panning clip: an I picture starts a GOP at each, and
// every other I picture is where the regular pattern of 18 pictures puts it.
TEST_F(VideoInputFilters, SceneCutsStartGOPs) {
    TMPEGVideoEncoder_EncodeConfig config = SmallInterlacedConfig(MPEGVideoEncoder_VideoEncodeMode_Interlace);
    config.DetectSceneChange = 1;
    VideoEncodeRun run(config);
    const std::vector<int32_t> cuts = {25, 50};
    run.Encoder->BeginEncode();
    for (int32_t i = 0; i < 70; ++i) {
        std::unique_ptr<TMPEGVideo_YUVImage> image = run.Encoder->NewImage();
        // Scene A, then B from the first cut, then A again.
        testing::SyntheticScene scene{.Width = kWidth, .Height = kHeight, .CutFrame = i >= 25 && i < 50 ? 0 : -1};
        testing::FillSyntheticPicture(*image, scene, i);
        TMPEGVideoEncoder_Image record;
        record.Tag = kMPEGVideoEncoder_YUVImageTag;
        record.YUVImage = image.get();
        run.Encoder->EncodePicture(record);
    }
    run.Encoder->EndEncode();
    const std::string stream = WriteStream(run, "scene_cuts.m2v");

    std::vector<int64_t> intra;
    for (const auto& report : run.Reports)
        if (report.PictureType == 0)
            intra.push_back(report.DisplayNumber);
    std::sort(intra.begin(), intra.end());
    for (int32_t cut : cuts)
        EXPECT_TRUE(std::find(intra.begin(), intra.end(), cut) != intra.end()) << "no I picture at the cut " << cut;
    for (size_t i = 1; i < intra.size(); ++i) {
        const bool atCut = std::find(cuts.begin(), cuts.end(), intra[i]) != cuts.end();
        EXPECT_TRUE(atCut || intra[i] - intra[i - 1] == 18) << "I picture at " << intra[i];
    }
    EXPECT_EQ(testing::CountStartCodes(run.Stream(), 0xB8), static_cast<int>(intra.size()));
    EXPECT_EQ(DecoderMessages(stream, dir), "");
}

} // namespace
} // namespace quillset
