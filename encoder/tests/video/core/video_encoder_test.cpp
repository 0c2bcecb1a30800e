#include "encoder/video/video_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <ostream>
#include <string>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/tests/video/core/video_encode_run.h"
#include "encoder/tests/video/core/video_test_config.h"

namespace quillset {
namespace {

using testing::CountStartCodes;
using testing::MakeTestMPEG1Config;
using testing::MakeTestVideoConfig;
using testing::SyntheticScene;
using testing::VideoEncodeRun;

constexpr uint8_t kPictureCode = 0x00;
constexpr uint8_t kSequenceEnd = 0xB7;
constexpr uint8_t kGOPCode = 0xB8;

// A small MPEG-2 picture: 96 x 64, 2 Mbit/s.
TMPEGVideoEncoder_EncodeConfig SmallConfig() {
    TMPEGVideoEncoder_EncodeConfig c = MakeTestVideoConfig();
    c.Width = 96;
    c.Height = 64;
    c.AvgBitRate = c.MaxBitRate = 2000000;
    return c;
}

SyntheticScene SmallScene() { return SyntheticScene{96, 64}; }

std::string TypesInCodedOrder(const VideoEncodeRun& run) {
    std::string types;
    for (const auto& r : run.Reports)
        types += PictureTypeLetter(r.PictureType);
    return types;
}

TEST(VideoEncoder, CodesAStreamThatStartsWithIAndEndsWithTheEndCode) {
    VideoEncodeRun run(SmallConfig());
    run.Encode(SmallScene(), 20);
    const std::string stream = run.Stream();
    ASSERT_GT(stream.size(), 12u);
    EXPECT_EQ(stream.substr(0, 4), std::string("\0\0\1\xB3", 4));
    EXPECT_EQ(stream.substr(stream.size() - 4), std::string("\0\0\1\xB7", 4));
    EXPECT_EQ(CountStartCodes(stream, kPictureCode), 20);
    EXPECT_EQ(CountStartCodes(stream, kSequenceEnd), 1);
    EXPECT_EQ(CountStartCodes(stream, kGOPCode), 2);
    // Coded order of I B B P ... with an open second GOP: I P B B P B B ... I B B ...
    EXPECT_EQ(TypesInCodedOrder(run), "IPBBPBBPBBPBBPBBIBBP");
}

TEST(VideoEncoder, PreviewsEveryPictureInDisplayOrder) {
    VideoEncodeRun run(SmallConfig());
    run.Encode(SmallScene(), 20);
    std::vector<int64_t> expected(20);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(run.PreviewNumbers, expected);
    for (const auto& r : run.Reconstructions)
        EXPECT_FALSE(r.empty());
}

TEST(VideoEncoder, ReconstructionIsCloseToTheSource) {
    VideoEncodeRun run(SmallConfig());
    run.Encode(SmallScene(), 12);
    ASSERT_EQ(run.Reconstructions.size(), 12u);
    for (size_t i = 0; i < 12; ++i) {
        const auto& a = run.Sources[i];
        const auto& b = run.Reconstructions[i];
        ASSERT_EQ(a.size(), b.size());
        double squared = 0;
        for (size_t p = 0; p < 96 * 64; ++p)
            squared += (a[p] - b[p]) * (a[p] - b[p]);
        const double psnr = 10 * std::log10(255.0 * 255.0 / std::max(squared / (96 * 64), 1e-9));
        EXPECT_GT(psnr, 30.0) << "picture " << i;
    }
}

struct RateCase {
    const char* Name;
    int32_t FrameRate;
    double SourceRate;
    int32_t Inputs;
    int32_t Coded;
};

void PrintTo(const RateCase& c, std::ostream* out) { *out << c.Name; }

class FrameRateConversion : public ::testing::TestWithParam<RateCase> {};

TEST_P(FrameRateConversion, RepeatsOrDropsPictures) {
    TMPEGVideoEncoder_EncodeConfig config = SmallConfig();
    config.FrameRate = GetParam().FrameRate;
    VideoEncodeRun run(config);
    run.Encode(SmallScene(), GetParam().Inputs, GetParam().SourceRate);
    EXPECT_EQ(static_cast<int32_t>(run.Reports.size()), GetParam().Coded);
}

INSTANTIATE_TEST_SUITE_P(Rates, FrameRateConversion,
                         ::testing::Values(RateCase{"Film24To2997", 4, 24.0, 8, 10},
                                           RateCase{"From30To25", 3, 30.0, 12, 10},
                                           RateCase{"SameRate", 3, 25.0, 12, 12}, RateCase{"Unset", 3, 0.0, 7, 7},
                                           RateCase{"NtscRateAsAFraction", 4, 30000.0 / 1001.0, 12, 12},
                                           RateCase{"NtscRateRounded", 4, 29.97, 12, 12}),
                         [](const auto& p) { return std::string(p.param.Name); });

TEST(VideoEncoder, FrameRateDivisorAddsOneSkippedPicturePerCodedPicture) {
    TMPEGVideoEncoder_EncodeConfig config = SmallConfig();
    config.FrameRate = 0x20004;
    VideoEncodeRun run(config);
    run.Encode(SmallScene(), 15);
    ASSERT_EQ(run.Reports.size(), 15u);
    EXPECT_EQ(TypesInCodedOrder(run).find('B'), std::string::npos);
    EXPECT_EQ(CountStartCodes(run.Stream(), kPictureCode), 30);
    EXPECT_TRUE(run.Logged("Number of encode frame = 30"));
}

TEST(VideoEncoder, PulldownFlagsFollowTheThreeTwoPattern) {
    TMPEGVideoEncoder_EncodeConfig config = SmallConfig();
    config.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown;
    config.FrameRate = 1;
    VideoEncodeRun run(config);
    run.Encode(SmallScene(), 8);
    std::vector<TMPEGVideoEncoder_PictureReport> reports = run.Reports;
    std::sort(reports.begin(), reports.end(), [](auto& a, auto& b) { return a.DisplayNumber < b.DisplayNumber; });
    const int tff[] = {1, 1, 0, 0, 1, 1, 0, 0};
    const int rff[] = {0, 1, 0, 1, 0, 1, 0, 1};
    for (size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].ProgressiveFrame, 1);
        EXPECT_EQ(reports[i].TopFieldFirst, tff[i]) << i;
        EXPECT_EQ(reports[i].RepeatFirstField, rff[i]) << i;
    }
    // Four pictures fill ten fields: picture 4 starts after 10 fields, at 10 / 59.94 s.
    EXPECT_EQ(reports[4].FieldsBefore, 10);
    EXPECT_NEAR(static_cast<double>(reports[4].Time), 10 / (2 * 30000.0 / 1001), 1e-9);
}

TEST(VideoEncoder, RepeatPictureReproducesItsReference) {
    VideoEncodeRun run(SmallConfig());
    run.Encode(SmallScene(), 16, 0, [](TMPEGVideoEncoder_Image& image, int32_t index) {
        if (index == 3) {
            image.ForcePictureType = 1;
            image.PictureType = PictureType_P;
            image.IsRepeat = 1;
        }
    });
    ASSERT_EQ(run.Reconstructions.size(), 16u);
    EXPECT_EQ(run.Reconstructions[3], run.Reconstructions[0]);
    for (const auto& r : run.Reports)
        if (r.DisplayNumber == 3) {
            EXPECT_EQ(r.PictureType, PictureType_P);
            // 4 slices with their first and last macroblock only.
            EXPECT_LT(r.PictureBits, 400);
        }
}

TEST(VideoEncoder, ConvertsOutsidePictures) {
    VideoEncodeRun run(SmallConfig());
    run.Encoder->BeginEncode();
    // Planar 4:2:0 pictures in a plain buffer: a flat grey with a brighter left half.
    std::vector<uint8_t> planar(96 * 64 * 3 / 2, 128);
    for (int y = 0; y < 64; ++y)
        std::fill_n(planar.begin() + y * 96, 48, uint8_t{200});
    for (int i = 0; i < 3; ++i) {
        TMPEGVideoEncoder_Image record;
        record.Picture.PixelFormat = PictureDesc_YUV420Planar;
        record.Picture.Width = 96;
        record.Picture.Height = 64;
        record.Picture.Pixels = planar.data();
        run.Encoder->EncodePicture(record);
    }
    run.Encoder->EndEncode();
    ASSERT_EQ(run.Reconstructions.size(), 3u);
    const auto& y = run.Reconstructions[0];
    EXPECT_NEAR(y[10 * 96 + 10], 200, 2);
    EXPECT_NEAR(y[10 * 96 + 80], 128, 2);
}

TEST(VideoEncoder, IllegalPicturesAreRefused) {
    VideoEncodeRun run(SmallConfig());
    run.Encoder->BeginEncode();
    TMPEGVideoEncoder_Image record;
    record.Tag = kMPEGVideoEncoder_YUVImageTag;
    try {
        run.Encoder->EncodePicture(record);
        FAIL() << "no error";
    } catch (const EMPEGVideoEncoderError& e) {
        EXPECT_EQ(e.ErrorCode, 0xD0613029u);
    }
    // A picture of another size.
    TMPEGVideo_YUVImageFormat format;
    run.Encoder->GetImageFormat(format);
    format.Width = format.PictureWidth = 48;
    TMPEGVideo_YUVImage other(nullptr, format);
    record.YUVImage = &other;
    EXPECT_THROW(run.Encoder->EncodePicture(record), EMPEGVideoEncoderError);
}

TEST(VideoEncoder, ConfigurationErrorsRaiseAtCreation) {
    TMPEGVideoEncoder_EncodeConfig config = SmallConfig();
    config.Width = 4090;
    TLargeMemoryStream out;
    try {
        TMPEGVideoEncoder encoder(&out, config, testing::TestKernelTable());
        FAIL() << "no error";
    } catch (const EMPEGVideoEncoderError& e) {
        EXPECT_EQ(e.ErrorCode, 0xD0613015u);
    }
}

TEST(VideoEncoder, ImageFormatAndPoolSize) {
    TMPEGVideoEncoder_EncodeConfig config = SmallConfig();
    config.Width = 88;
    config.Height = 72;
    TLargeMemoryStream out;
    TMPEGVideoEncoder encoder(&out, config, testing::TestKernelTable());
    TMPEGVideo_YUVImageFormat f;
    encoder.GetImageFormat(f);
    EXPECT_EQ(f.ChromaFormat, 1);
    EXPECT_EQ(f.Width, 96);
    EXPECT_EQ(f.Height, 96); // interlaced: macroblock rows in pairs
    EXPECT_EQ(f.ChromaWidth, 48);
    EXPECT_EQ(f.ChromaHeight, 48);
    EXPECT_EQ(f.PictureWidth, 88);
    EXPECT_EQ(f.PictureHeight, 72);
    EXPECT_EQ(f.FieldChroma, 1);
    EXPECT_EQ(f.MPEG2, 1);
    EXPECT_EQ(encoder.GetImagePoolSize(), 36);
}

TEST(VideoEncoder, SummaryClosesTheLog) {
    TMPEGVideoEncoder_EncodeConfig config = SmallConfig();
    VideoEncodeRun run(config);
    run.Encode(SmallScene(), 10);
    ASSERT_GE(run.Log.size(), 8u);
    EXPECT_EQ(run.Log.back(), std::string(61, '-'));
    EXPECT_TRUE(run.Logged("Number of encode frame = 10"));
    EXPECT_TRUE(run.Logged("Finished encoding video"));
    EXPECT_TRUE(run.Logged("VBV buffer size = " + std::to_string(run.Encoder->GetSettings().VBVBufferSize / 1024) + " KB"));
}

// Inverse pulldown and every search speed are built: no stand-in notes. Progressive pictures
// through the inverse pulldown (no field repeats anything) come out frame for frame.
TEST(VideoEncoder, UsesInversePulldownAndTheChosenSearchWithoutNotes) {
    TMPEGVideoEncoder_EncodeConfig config = SmallConfig();
    config.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown;
    config.MotionSearchSpeed = MPEGVideoEncoder_MotionSearchSpeed_Normal;
    VideoEncodeRun run(config);
    run.Encode(SmallScene(), 4);
    for (const std::string& line : run.Log)
        EXPECT_EQ(line.find("is not available yet"), std::string::npos) << line;
    EXPECT_TRUE(run.Logged("Inverse 3:2 pulldown state = 8/8 (Output/Input field count)"));
    EXPECT_EQ(run.Reports.size(), 4u);
    for (const auto& r : run.Reports) {
        EXPECT_EQ(r.ProgressiveFrame, 0);
        EXPECT_EQ(r.TopFieldFirst, 1);
        EXPECT_EQ(r.RepeatFirstField, 0);
    }
}

TEST(VideoEncoder, MPEG1StreamWithFloatingPointPaths) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestMPEG1Config();
    config.Width = 96;
    config.Height = 64;
    VideoEncodeRun run(config, testing::TestKernelTable(true));
    run.Encode(SmallScene(), 8);
    EXPECT_EQ(CountStartCodes(run.Stream(), kPictureCode), 8);
    EXPECT_EQ(run.PreviewNumbers.size(), 8u);
}

} // namespace
} // namespace quillset
