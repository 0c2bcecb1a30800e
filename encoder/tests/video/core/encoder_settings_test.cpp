#include "encoder/video/encoder_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>
#include <string>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/tests/video/core/video_test_config.h"
#include "encoder/video/rate_control/bit_rate_setup.h"

namespace quillset {
namespace {

using testing::MakeTestMPEG1Config;
using testing::MakeTestVideoConfig;
using TChange = std::function<void(TMPEGVideoEncoder_EncodeConfig&)>;

uint32_t ErrorCodeOf(const TMPEGVideoEncoder_EncodeConfig& config) {
    try {
        ValidateVideoEncodeConfig(config);
    } catch (const EMPEGVideoEncoderError& e) {
        return e.ErrorCode;
    }
    return 0;
}

struct RejectCase {
    const char* Name;
    bool MPEG1;
    TChange Change;
    uint32_t Code;
};

void PrintTo(const RejectCase& c, std::ostream* out) { *out << c.Name; }

class ValidationRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(ValidationRejects, RaisesTheCodeOfTheFirstFailingCheck) {
    TMPEGVideoEncoder_EncodeConfig config = GetParam().MPEG1 ? MakeTestMPEG1Config() : MakeTestVideoConfig();
    GetParam().Change(config);
    EXPECT_EQ(ErrorCodeOf(config), GetParam().Code);
}

const RejectCase kRejectCases[] = {
    {"HalfPelOptimization", false, [](auto& c) { c.HalfPelOptimization = 1; }, 0xD0613039},
    {"ChromaLowPass", false, [](auto& c) { c.ChromaLowPass = 1; }, 0xD061303A},
    // Both features wrong: the half-pel check comes first.
    {"HalfPelBeforeLowPass", false, [](auto& c) { c.ChromaLowPass = c.HalfPelOptimization = 1; }, 0xD0613039},
    {"YUV444", false, [](auto& c) { c.YUVFormat = 3; }, 0xD0613014},
    {"YUV422InMPEG1", true, [](auto& c) { c.YUVFormat = 2; }, 0xD0613014},
    {"ChromaMatrices", false, [](auto& c) { c.UseChromaMatrices = 1; }, 0xD0613037},
    {"Width4090", false, [](auto& c) { c.Width = 4090; }, 0xD0613015},
    {"Width12", false, [](auto& c) { c.Width = 12; }, 0xD0613015},
    {"Height4", false, [](auto& c) { c.Height = 4; }, 0xD0613015},
    {"Height4096", false, [](auto& c) { c.Height = 4096; }, 0xD0613015},
    {"Aspect0", false, [](auto& c) { c.AspectRatio = 0; }, 0xD0613017},
    {"Aspect5InMPEG2", false, [](auto& c) { c.AspectRatio = 5; }, 0xD0613017},
    {"Aspect15InMPEG1", true, [](auto& c) { c.AspectRatio = 15; }, 0xD0613017},
    {"VideoFormat6", false, [](auto& c) { c.VideoFormat = 6; }, 0xD0613016},
    {"DCPrecision4", false, [](auto& c) { c.DC_prec = 4; }, 0xD061301F},
    {"DCPrecisionInMPEG1", true, [](auto& c) { c.DC_prec = 1; }, 0xD061301F},
    {"FrameRate0", false, [](auto& c) { c.FrameRate = 0; }, 0xD0613018},
    {"FrameRate9", false, [](auto& c) { c.FrameRate = 9; }, 0xD0613018},
    {"FrameRateCode0WithDivisor", false, [](auto& c) { c.FrameRate = 0x20000; }, 0xD0613018},
    {"FrameRateCode9WithDivisor", false, [](auto& c) { c.FrameRate = 0x20009; }, 0xD0613018},
    {"FrameRateNegative", false, [](auto& c) { c.FrameRate = -4; }, 0xD0613018},
    {"InterlaceInMPEG1", true, [](auto& c) { c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Interlace; },
     0xD0613019},
    {"PulldownAt25", false,
     [](auto& c) {
         c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown;
         c.FrameRate = 3;
     },
     0xD061301A},
    {"InversePulldownAt24", false,
     [](auto& c) {
         c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown;
         c.FrameRate = 2;
     },
     0xD061301B},
    {"MaxBelowMinVBR", false,
     [](auto& c) {
         c.RateControlMode = MPEGVideoEncoder_RateControlMode_VBR_Auto;
         c.MaxBitRate = 4000000;
         c.MinBitRate = 5000000;
     },
     0xD061301D},
    {"RateTooLargeForMPEG1", true, [](auto& c) { c.AvgBitRate = 0x40000 * 400; }, 0xD061301C},
    {"VBVNotMultipleOf2K", false, [](auto& c) { c.VBVBufferSize = 100000; }, 0xD061301E},
    {"VBVOutOfCheckedRange", false,
     [](auto& c) {
         c.VBVBufferSize = 2048;
         c.CheckVBVRange = 1;
     },
     0xD061301E},
    {"RateControlAlgorithm1", false, [](auto& c) { c.RateControlAlgorithm = 1; }, 0xD0613035},
};

INSTANTIATE_TEST_SUITE_P(Config, ValidationRejects, ::testing::ValuesIn(kRejectCases),
                         [](const auto& p) { return std::string(p.param.Name); });

TEST(Validation, AcceptsTheExtremeSizesAndFillsTheDisplaySize) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestMPEG1Config();
    config.Width = 4088;
    config.Height = 8;
    const TMPEGVideoEncoder_Settings s = ValidateVideoEncodeConfig(config);
    EXPECT_EQ(s.Config.DisplayWidth, 4088);
    EXPECT_EQ(s.Config.DisplayHeight, 8);
    EXPECT_EQ(s.MBWidth, 256);
    EXPECT_EQ(s.MBHeight, 1);
}

TEST(Validation, VBVErrorNamesTheFiguresInKilobytes) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.VBVBufferSize = 100000;
    try {
        ValidateVideoEncodeConfig(config);
        FAIL() << "no error";
    } catch (const EMPEGVideoEncoderError& e) {
        // 6 Mbit/s at 29.97 fps: minimum 28 KB, maximum 532 KB, recommended 224 KB.
        EXPECT_EQ(std::string(e.what()),
                  "VBV buffer size is invalid. (97 KB)\r\r> VBV buffer size has to be multiple of 2KB.\r> For "
                  "MPEG-2, 6000Kbits/s, 29.97fps, the rage needs to be set between 28 KB and 532 KB.(224 KB "
                  "recommended)\r");
    }
}

struct GOPCase {
    const char* Name;
    int32_t I, P, B, Max;
    bool Closed;
    int32_t FrameRate;
    int32_t WantP, WantB, WantLength;
};

void PrintTo(const GOPCase& c, std::ostream* out) { *out << c.Name; }

class GOPShape : public ::testing::TestWithParam<GOPCase> {};

TEST_P(GOPShape, FollowsTheLengthRules) {
    const GOPCase& t = GetParam();
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.GOP_I_FrameCount = t.I;
    config.GOP_P_FrameCount = t.P;
    config.GOP_B_FrameCount = t.B;
    config.GOP_MaxFrameCount = t.Max;
    config.GOP_BitStreamForEdit = t.Closed;
    config.FrameRate = t.FrameRate;
    const TMPEGVideoEncoder_Settings s = ValidateVideoEncodeConfig(config);
    EXPECT_EQ(s.GOPPCount, t.WantP);
    EXPECT_EQ(s.GOPBCount, t.WantB);
    EXPECT_EQ(s.GOPLength, t.WantLength);
}

const GOPCase kGOPCases[] = {
    {"Standard", 1, 5, 2, 0, false, 4, 5, 2, 18},
    {"StandardClosed", 1, 5, 2, 0, true, 4, 5, 2, 16},
    {"TwoPeriodsOpen", 2, 5, 2, 0, false, 4, 5, 2, 36},
    // 5 x 3 + 1 + 2 = 18 > 10: P shrinks until 2 x 3 + 1 + 2 = 9.
    {"MaxLength10", 1, 5, 2, 10, false, 4, 2, 2, 9},
    {"MaxLength10Closed", 1, 5, 2, 10, true, 4, 3, 2, 10},
    // No P pictures: no B pictures either, every picture I; the length is at least 7.
    {"AllIntra", 1, 0, 2, 0, false, 4, 0, 0, 7},
    // A frame-rate divisor rules out B pictures.
    {"DivisorDropsB", 1, 5, 2, 0, false, 0x20004, 5, 0, 7},
    {"NegativeCounts", -3, -1, -2, 0, false, 4, 0, 0, 7},
    // Max 2: P then B shrink, and when P = 1 and B = 0 still do not fit, P = B = 0.
    {"MaxLength2", 1, 5, 2, 2, false, 4, 1, 0, 7},
    {"MaxLength1", 1, 5, 2, 1, false, 4, 0, 0, 7},
    {"MaxAbove1020", 1, 2000, 0, 5000, false, 4, 1019, 0, 1020},
};

INSTANTIATE_TEST_SUITE_P(Config, GOPShape, ::testing::ValuesIn(kGOPCases),
                         [](const auto& p) { return std::string(p.param.Name); });

TEST(Validation, FrameRateDivisorSetsRepeatCountAndPictureRate) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.FrameRate = 0x20004;
    const TMPEGVideoEncoder_Settings s = ValidateVideoEncodeConfig(config);
    EXPECT_EQ(s.FrameRateCode, 4);
    EXPECT_EQ(s.RepeatCount, 1);
    EXPECT_NEAR(static_cast<double>(s.PictureRate), 30000.0 / 1001.0 / 2, 1e-9);
    EXPECT_NEAR(static_cast<double>(s.NominalRate), 30000.0 / 1001.0, 1e-9);
    // A divisor of 1 in the high half is no divisor.
    config.FrameRate = 0x10004;
    EXPECT_EQ(ValidateVideoEncodeConfig(config).RepeatCount, 0);
}

TEST(Validation, PulldownCodesTheDisplayRateAndKeepsTheSourceRate) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive_32Pulldown;
    config.FrameRate = 1;
    const TMPEGVideoEncoder_Settings s = ValidateVideoEncodeConfig(config);
    EXPECT_EQ(s.FrameRateCode, 4);
    EXPECT_NEAR(static_cast<double>(s.PictureRate), 24000.0 / 1001.0, 1e-9);
    EXPECT_FALSE(s.InterlacedCoding);
    EXPECT_FALSE(s.ProgressiveSequence);
    // Not a progressive sequence: the macroblock rows come in pairs.
    EXPECT_EQ(s.MBHeight, 30);
}

TEST(Validation, GridOfProgressiveAndInterlacedSequences) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.Width = 632;
    config.Height = 488;
    TMPEGVideoEncoder_Settings s = ValidateVideoEncodeConfig(config);
    EXPECT_EQ(s.MBWidth, 40);
    EXPECT_EQ(s.MBHeight, 32); // 2 x ((488 + 31) / 32)
    EXPECT_EQ(s.PaddedHeight, 512);
    config.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive;
    s = ValidateVideoEncodeConfig(config);
    EXPECT_EQ(s.MBHeight, 31);
    config.YUVFormat = 2;
    config.Profile = 133;
    EXPECT_EQ(ValidateVideoEncodeConfig(config).BlocksPerMacroblock, 8);
}

TEST(Validation, ConstrainedParametersOfVideoCD) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestMPEG1Config();
    EXPECT_TRUE(ValidateVideoEncodeConfig(config).ConstrainedParameters);
    config.VBVBufferSize = 43008; // above 40960 bytes
    EXPECT_FALSE(ValidateVideoEncodeConfig(config).ConstrainedParameters);
    config = MakeTestMPEG1Config();
    config.RateControlMode = MPEGVideoEncoder_RateControlMode_CQ;
    EXPECT_FALSE(ValidateVideoEncodeConfig(config).ConstrainedParameters);
}

TEST(Validation, MatricesBecomeLegal) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.QuantizeMatrix_Intra[0] = 99;
    config.QuantizeMatrix_NonIntra[5] = 0;
    const TMPEGVideoEncoder_Settings s = ValidateVideoEncodeConfig(config);
    EXPECT_EQ(s.Config.QuantizeMatrix_Intra[0], 8);
    EXPECT_EQ(s.Config.QuantizeMatrix_NonIntra[5], 255);
}

TEST(Validation, ClampsAnalyzeThreadCount) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.AnalyzeThreadCount = 5;
    EXPECT_EQ(ValidateVideoEncodeConfig(config).Config.AnalyzeThreadCount, 2);
    config.AnalyzeThreadCount = -1;
    EXPECT_EQ(ValidateVideoEncodeConfig(config).Config.AnalyzeThreadCount, 0);
}

// Bit rates.

TEST(BitRates, ConstantRateModesUseTheAverageEverywhereAndPad) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.AvgBitRate = 1150001;
    config.MaxBitRate = 9000000;
    config.MinBitRate = 5;
    double q0 = -1;
    PrepareBitRates(config, true, 25, q0);
    EXPECT_EQ(config.AvgBitRate, 1150400);
    EXPECT_EQ(config.MaxBitRate, 1150400);
    EXPECT_EQ(config.MinBitRate, 1150400);
    EXPECT_EQ(config.EnablePadding, 1);
    EXPECT_EQ(q0, 0.0);
}

TEST(BitRates, VariableModesTakeTheMaximumAsAverage) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.RateControlMode = MPEGVideoEncoder_RateControlMode_CQ;
    config.AvgBitRate = -1;
    config.MaxBitRate = 8000000;
    config.MinBitRate = -7;
    config.Quality = 130;
    double q0 = 0;
    PrepareBitRates(config, true, 25, q0);
    EXPECT_EQ(config.AvgBitRate, 8000000);
    EXPECT_EQ(config.MinBitRate, 0);
    EXPECT_EQ(config.Quality, 100.0);
    EXPECT_EQ(config.EnablePadding, 0);
}

TEST(BitRates, MultipassKeepsMinimumBelowAverageBelowMaximum) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.RateControlMode = MPEGVideoEncoder_RateControlMode_VBR_2PASS;
    config.MultipassVBRAlgorithm = MPEGVideoEncoder_MultipassVBRAlgorithm_MultipassCQ;
    config.AvgBitRate = 4000000;
    config.MaxBitRate = 3000000;
    config.MinBitRate = 0;
    double q0 = 0;
    PrepareBitRates(config, true, 30000.0L / 1001, q0);
    EXPECT_EQ(config.MinBitRate, 1200);
    EXPECT_EQ(config.MaxBitRate, 4000000);
    // 4 Mbit/s over 720 x 480 x 29.97: 0.386 bits per pixel.
    EXPECT_NEAR(q0, std::log((4e6 / 720 / 480 / (30000.0 / 1001) - 0.186) / 0.015488) / 0.052697, 1e-9);
}

TEST(BitRates, HugeRateIsRefusedNotWrapped) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.AvgBitRate = 2147483647;
    double q0 = 0;
    EXPECT_THROW(PrepareBitRates(config, true, 25, q0), EMPEGVideoEncoderError);
}

struct VBVCase {
    int64_t Rate;
    double PictureRate;
    bool MPEG2;
    int32_t Minimum, Maximum, Recommended;
};

void PrintTo(const VBVCase& c, std::ostream* out) { *out << c.Rate << " bit/s at " << c.PictureRate; }

class VBVFigures : public ::testing::TestWithParam<VBVCase> {};

TEST_P(VBVFigures, MatchTheirDefinitions) {
    const VBVCase& t = GetParam();
    const TVBVSizeFigures f = ComputeVBVSizeFigures(t.Rate, t.PictureRate, t.MPEG2, false);
    EXPECT_EQ(f.Minimum, t.Minimum);
    EXPECT_EQ(f.Maximum, t.Maximum);
    EXPECT_EQ(f.Recommended, t.Recommended);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, VBVFigures,
    ::testing::Values(
        // 1150000 / 8 / 25 / 0.875 / 2048 = 3.2 -> 4 units: minimum 8192, recommended 4 x 16384;
        // 1150000 x 65535 / 90000 / 8 / 2048 = 51.1 -> 51 x 2048.
        VBVCase{1150000, 25.0, false, 8192, 104448, 65536},
        // A tiny rate: the maximum is at least 2048 and caps the recommendation.
        VBVCase{4000, 25.0, true, 2048, 2048, 2048},
        // MPEG-1 caps the maximum at 0x1FF800 bytes.
        VBVCase{100000000, 25.0, false, 573440, 0x1FF800, 0x1FF800},
        VBVCase{100000000, 25.0, true, 573440, 9101312, 4587520}));

} // namespace
} // namespace quillset
