#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "encoder/kernels/kernel_sets.h"
#include "encoder/tests/video/core/video_test_config.h"
#include "encoder/video/rate_control/bit_allocation.h"
#include "encoder/video/rate_control/quality_model.h"
#include "encoder/video/rate_control/rate_controller.h"
#include "encoder/video/rate_control/vbv_model.h"

namespace quillset {
namespace {

using testing::MakeTestMPEG1Config;
using testing::MakeTestVideoConfig;

// A Video-CD stream at 25 pictures per second: CBR 1150000 bit/s, VBV 40960 bytes.
TMPEGVideoEncoder_Settings VideoCDSettings() {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestMPEG1Config();
    config.FrameRate = 3;
    return ValidateVideoEncodeConfig(config);
}

TEST(VBVModel, StartsAt875PerMilleAndReportsTheDelay) {
    TMPEGVideoEncoder_VBVModel vbv(VideoCDSettings());
    EXPECT_EQ(vbv.GetFullness(), 35840.0);
    // vbv_delay of the first picture: 35840 bytes at 1150000 bit/s.
    EXPECT_EQ(vbv.PictureHeader(0, false, 0), static_cast<int32_t>(35840.0 * 8 / 1150000 * 90000));
}

TEST(VBVModel, CutsATargetToWhatTheBufferHolds) {
    TMPEGVideoEncoder_VBVModel vbv(VideoCDSettings());
    TLargeNullBitStreamWriter writer;
    int64_t target = 10000000, minimum = 0;
    vbv.LimitPicture(writer, 0, false, target, minimum);
    // The first I picture arrives with nothing more: F = 35840 - 4, content F - 2048.
    EXPECT_EQ(target, 8 * (35836 - 2048) - 400);
    EXPECT_EQ(minimum, 0);
}

TEST(VBVModel, TargetNeverFallsBelowItsFloor) {
    TMPEGVideoEncoder_VBVModel vbv(VideoCDSettings());
    TLargeNullBitStreamWriter writer;
    writer.SetBitPosition(8 * 35000); // almost everything in the buffer belongs to one picture
    int64_t target = 500000, minimum = 0;
    vbv.LimitPicture(writer, 0, false, target, minimum);
    EXPECT_EQ(target, 400);
}

TEST(VBVModel, PadsWithZeroBytesBeforeTheBufferOverflows) {
    TMPEGVideoEncoder_VBVModel vbv(VideoCDSettings());
    vbv.PictureHeader(0, false, 0); // the I picture stores its duration, 3600 ticks
    TLargeNullBitStreamWriter writer;
    int64_t target = 1000, minimum = 0;
    vbv.LimitPicture(writer, 1, false, target, minimum);
    // F = 35836; 0.04 s at 1150000 bit/s bring 5750 bytes; 35836 + 5750 - (40960 - 128) = 754.
    EXPECT_EQ(writer.GetBitPosition(), 8 * 754);
    // The buffer still overflows unless the picture is big enough: the target grows to take it.
    EXPECT_GT(target, 1000);
}

TEST(VBVModel, CountsUnderflowAndOverflow) {
    TMPEGVideoEncoder_VBVModel vbv(VideoCDSettings());
    std::vector<std::string> errors;
    vbv.OnError = [&](const std::string& text) { errors.push_back(text); };
    vbv.PictureHeader(0, false, 0);
    vbv.PictureHeader(1, false, 8 * 40000); // removes 40000 bytes from 35840
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("VBV buffer underflow (system_clock: ", 0), 0u) << errors[0];
    // Nothing read for a long time: the constant-rate buffer overflows.
    TMPEGVideoEncoder_VBVModel full(VideoCDSettings());
    full.OnError = vbv.OnError;
    for (int i = 0; i < 3; ++i)
        full.PictureHeader(2, false, 0);
    ASSERT_GE(errors.size(), 2u);
    EXPECT_EQ(errors.back().rfind("VBV buffer overflow (system_clock: ", 0), 0u) << errors.back();
    EXPECT_GT(full.GetLastOverflow(), 0);
    // A silent copy (trial coding) reports nothing.
    TMPEGVideoEncoder_VBVModel silent = full;
    silent.Silent = true;
    const size_t before = errors.size();
    silent.PictureHeader(2, false, 0);
    EXPECT_EQ(errors.size(), before);
}

TEST(VBVModel, VariableRateDelayIsFFFFAndTheBufferStopsFilling) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.RateControlMode = MPEGVideoEncoder_RateControlMode_CQ;
    config.MaxBitRate = 8000000;
    const TMPEGVideoEncoder_Settings s = ValidateVideoEncodeConfig(config);
    TMPEGVideoEncoder_VBVModel vbv(s);
    int errors = 0;
    vbv.OnError = [&](const std::string&) { ++errors; };
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(vbv.PictureHeader(2, false, 0), 0xFFFF);
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(vbv.GetFullness(), s.VBVBufferSize);
}

// Batches of pictures with given types and weights for the allocation.
struct TestBatch {
    explicit TestBatch(const std::string& types, std::vector<double> weights) {
        for (size_t i = 0; i < types.size(); ++i) {
            auto* info = new TMPEGVideoFrameInfo(0);
            info->PictureType = types[i] == 'I' ? PictureType_I : (types[i] == 'P' ? PictureType_P : PictureType_B);
            info->SumBitWeight = weights[i];
            Batch.Add(info);
        }
    }
    TMPEGVideoFrameInfoList Batch;
};

TEST(BitAllocation, SharesTheBudgetByWeightAndSteersByTheDebt) {
    const TMPEGVideoEncoder_Settings s = VideoCDSettings();
    TMPEGVideoEncoder_RateController_type1 controller(s, TKernelTable{});
    TMPEGVideoEncoder_BitAllocation allocation(s);
    TestBatch test("IPPP", {4.0, 2.0, 1.0, 1.0});
    test.Batch.SegmentRate.Mode = SegmentMode_CBR;
    test.Batch.SegmentRate.TargetBitRate = 1000000;
    allocation.BeginBatch(test.Batch, controller);
    // 4 pictures at 25 per second: 0.16 s x 1000000 bit/s.
    EXPECT_EQ(allocation.GetBatchBudget(), 160000);
    TPictureBudget first = allocation.PictureBudget(*test.Batch[0]);
    EXPECT_EQ(first.Allocation, 80000);
    EXPECT_EQ(first.Target, 80000);
    // 20000 bits too many: the next target gives back half of them, within 0.7 .. 1.5 a.
    allocation.EndPicture(first, 100000);
    const TPictureBudget second = allocation.PictureBudget(*test.Batch[1]);
    EXPECT_EQ(second.Allocation, 40000);
    EXPECT_EQ(second.Target, 30000);
    allocation.EndPicture(second, 0); // debt 20000 - 40000: negative in constant-rate coding
    EXPECT_EQ(allocation.GetDebt(), -20000);
    EXPECT_EQ(allocation.PictureBudget(*test.Batch[2]).Target, 30000); // min(1.5 a, a + 10000)
    EXPECT_EQ(allocation.EndStuffingBits(), 20000 - 1024);
}

TEST(BitAllocation, VariableRateDebtNeverGoesNegative) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.RateControlMode = MPEGVideoEncoder_RateControlMode_VBR_Manual;
    const TMPEGVideoEncoder_Settings s = ValidateVideoEncodeConfig(config);
    TMPEGVideoEncoder_RateController_type1 controller(s, TKernelTable{});
    TMPEGVideoEncoder_BitAllocation allocation(s);
    TestBatch test("IP", {1.0, 1.0});
    test.Batch.SegmentRate.Mode = SegmentMode_TargetBitRate;
    test.Batch.SegmentRate.TargetBitRate = 3000000;
    allocation.BeginBatch(test.Batch, controller);
    const TPictureBudget budget = allocation.PictureBudget(*test.Batch[0]);
    allocation.EndPicture(budget, budget.Allocation / 4);
    EXPECT_EQ(allocation.GetDebt(), 0);
    EXPECT_EQ(allocation.EndStuffingBits(), 0);
}

TEST(BitAllocation, ConstantQualityScalesFollowTheQualityAndFactors) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.RateControlMode = MPEGVideoEncoder_RateControlMode_CQ;
    const TMPEGVideoEncoder_Settings s = ValidateVideoEncodeConfig(config);
    TMPEGVideoEncoder_RateController_type1 controller(s, TKernelTable{});
    TMPEGVideoEncoder_BitAllocation allocation(s);
    TestBatch test("IB", {1.0, 1.0});
    test.Batch.SegmentRate.Mode = SegmentMode_ConstantQuality;
    test.Batch.SegmentRate.Quality = 70;
    test.Batch.SegmentRate.FactorB = 1.0 / 1.2;
    test.Batch.SegmentRate.MaxBitRate = 6000000;
    test.Batch.SegmentRate.MinBitRate = 0;
    allocation.BeginBatch(test.Batch, controller);
    const TPictureBudget b = allocation.PictureBudget(*test.Batch[1]);
    EXPECT_TRUE(b.ConstantQuality);
    EXPECT_EQ(b.Minimum, 0);
    // Quality 70: base 3; B pictures 3 x 1.2 = 3.6.
    EXPECT_NEAR(b.IntraScale, (3.0 * 3.0 - 1) * 0.62 + 1, 1e-9);
    EXPECT_NEAR(b.InterScale, (3.6 * 3.6 - 1) * 0.62 + 1, 1e-9);
}

TEST(QualityModel, CompressionAndBitsPerPixel) {
    EXPECT_DOUBLE_EQ(CompressRatio(0.5, 1.0), 1.0);
    EXPECT_DOUBLE_EQ(CompressRatio(0.5, 3.0), 2.0);
    EXPECT_DOUBLE_EQ(CompressRatio(0.5, 0.25), 1.0 / 2.5);
    EXPECT_DOUBLE_EQ(CompressRatio(0.5, -2.0), -2.0);
    for (double q : {1.0, 37.5, 99.0})
        EXPECT_NEAR(QualityOfBitsPerPixel(BitsPerPixelOfQuality(q)), q, 1e-9);
    EXPECT_DOUBLE_EQ(QuantiserScaleOfBase(1.0), 1.0);
    EXPECT_DOUBLE_EQ(QuantiserScaleOfBase(0.5), 1.0);
}

// A picture whose macroblocks all have the given statistics.
TMPEGVideoFrameInfo* UniformPicture(const TMPEGVideoEncoder_Settings& s, uint8_t type, bool intra, float var,
                                    int32_t residual) {
    auto* info = new TMPEGVideoFrameInfo(s.MacroblockCount);
    info->PictureType = type;
    for (TMBInfo& mb : info->Macroblocks) {
        mb.Flags = intra ? MBInfoFlag_Intra : MBInfoFlag_Forward;
        mb.MaxVar1 = mb.MinVar1 = mb.MeanVar1 = var;
        mb.ResidualEnergy = residual;
    }
    info->SumMinVar1 = info->SumMeanVar1 = info->SumMaxVar1 = var * s.MacroblockCount;
    return info;
}

TEST(RateController, PlanBatchWeighsPictureTypesAndBoundsPictures) {
    const TMPEGVideoEncoder_Settings s = ValidateVideoEncodeConfig(MakeTestMPEG1Config());
    TMPEGVideoEncoder_RateController_type1 controller(s, TKernelTable{});
    TMPEGVideoFrameInfoList batch;
    for (auto* info : {UniformPicture(s, PictureType_I, true, 50, 0), UniformPicture(s, PictureType_B, false, 5, 100),
                       UniformPicture(s, PictureType_P, false, 5, 100)})
        batch.Add(info);
    batch.SegmentRate.Mode = SegmentMode_CBR;
    batch.SegmentRate.TargetBitRate = 1150000;
    controller.PlanBatch(batch, 1.0);
    const double i = batch[0]->SumBitWeight, b = batch[1]->SumBitWeight, p = batch[2]->SumBitWeight;
    EXPECT_GT(i, p);
    EXPECT_GT(p, b);
    // P inter 2.75 per macroblock; B inter 0.85 per macroblock falls below a quarter of the mean
    // picture weight and is raised to it.
    EXPECT_NEAR(p / s.MacroblockCount, 2.75, 1e-4);
    EXPECT_NEAR(b, 0.25 * (i + p + 0.85 * s.MacroblockCount) / 3, 1e-3 * b);
}

TEST(RateController, QuantiserGrowsWhenBitsRunAheadAndComplexityFollows) {
    const TMPEGVideoEncoder_Settings s = ValidateVideoEncodeConfig(MakeTestVideoConfig());
    TMPEGVideoEncoder_RateController_type1 controller(s, TKernelTable{});
    TFrameInfoRef picture(UniformPicture(s, PictureType_P, false, 10, 1000));
    for (TMBInfo& mb : picture->Macroblocks)
        mb.BitWeight = 1.0f;
    picture->SumBitWeight = s.MacroblockCount;
    TRateControlPictureParams params;
    params.TargetBits = 200000;
    controller.BeginPicture(*picture.Get(), params);
    const int32_t first = controller.MacroblockQuantiser(0, picture->Macroblocks[0], 0);
    int32_t onTarget = 0, ahead = 0;
    for (int32_t i = 1; i < 200; ++i)
        onTarget = controller.MacroblockQuantiser(i, picture->Macroblocks[static_cast<size_t>(i)],
                                                  int64_t{200000} * i / s.MacroblockCount);
    // Far more bits spent than the share of the weights used: the quantiser goes up.
    for (int32_t i = 200; i < 260; ++i)
        ahead = controller.MacroblockQuantiser(i, picture->Macroblocks[static_cast<size_t>(i)], 200000);
    EXPECT_GE(first, 1);
    EXPECT_GT(ahead, onTarget);
    controller.EndPicture(200000);
    EXPECT_NE(controller.GetComplexity(), TMPEGVideoEncoder_RateController_type1::kInitialComplexity);
    controller.MatricesChanged();
    EXPECT_EQ(controller.GetComplexity(), TMPEGVideoEncoder_RateController_type1::kInitialComplexity);
}

TEST(RateController, ConstantQualityUsesItsScaleWithinTheLimits) {
    const TMPEGVideoEncoder_Settings s = ValidateVideoEncodeConfig(MakeTestVideoConfig());
    TMPEGVideoEncoder_RateController_type1 controller(s, TKernelTable{});
    TFrameInfoRef picture(UniformPicture(s, PictureType_I, true, 10, 0));
    for (TMBInfo& mb : picture->Macroblocks)
        mb.BitWeight = 1.0f;
    picture->SumBitWeight = s.MacroblockCount;
    TRateControlPictureParams params;
    params.TargetBits = 100000000; // no practical cap
    params.ConstantQuality = true;
    params.IntraScale = params.InterScale = 10.0;
    controller.BeginPicture(*picture.Get(), params);
    // MPEG-2 non-linear scale: 10 is code 9.
    EXPECT_EQ(controller.MacroblockQuantiser(0, picture->Macroblocks[0], 0), 9);
    // A tiny cap: the target scale rules, 10 x 0.8 x 6.2 = 49.6, whose code is 22 (scale 48).
    params.TargetBits = 100;
    controller.BeginPicture(*picture.Get(), params);
    EXPECT_EQ(controller.MacroblockQuantiser(0, picture->Macroblocks[0], 0), 22);
}

} // namespace
} // namespace quillset
