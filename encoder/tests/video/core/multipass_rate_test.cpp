// Multipass variable bit rate: the statistics record layout and file, the two finishers, the
// quality model and the batch measures, and the quality correction of the final pass.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <vector>

#include "encoder/video/rate_control/bit_allocation.h"
#include "encoder/video/rate_control/multipass_finisher.h"
#include "encoder/video/rate_control/multipass_stats.h"
#include "encoder/video/rate_control/quality_model.h"
#include "stream/exceptions.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

TMPEGVideoEncoder_MultipassStats DistinctRecord() {
    TMPEGVideoEncoder_MultipassStats r;
    r.Duration = 0.5f;
    r.Frames = 15.0f;
    r.BitRate = 3.25e6;
    r.Quality = 61.5;
    r.Distortion = 7.0;
    r.Complexity = 120.0;
    r.StartChange = -1.0;
    r.Motion = 0.75;
    r.Activity = 2.5;
    r.TargetRate = 4.0e6;
    r.FinalQuality = 70.25;
    r.BaseQuality = 66.0;
    r.MotionScale = 1.5;
    return r;
}

template <typename T>
T At(const TMultipassStatsBytes& bytes, size_t offset) {
    // The host is little-endian like the file (x86-64, the build's target).
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

TEST(MultipassStatsRecord, FieldsSitAtTheirOffsetsAndTheRestIsZero) {
    const TMultipassStatsBytes bytes = EncodeMultipassStats(DistinctRecord());
    static_assert(std::tuple_size_v<TMultipassStatsBytes> == 232);
    EXPECT_EQ(At<float>(bytes, 0), 0.5f);
    EXPECT_EQ(At<float>(bytes, 4), 15.0f);
    const struct {
        size_t Offset;
        double Value;
    } fields[] = {{8, 3.25e6}, {16, 61.5}, {24, 7.0},  {32, 120.0}, {40, -1.0}, {48, 0.75},
                  {56, 2.5},   {72, 4.0e6}, {80, 70.25}, {88, 66.0}, {216, 1.5}};
    for (const auto& f : fields)
        EXPECT_EQ(At<double>(bytes, f.Offset), f.Value) << "offset " << f.Offset;
    for (size_t i = 64; i < 72; ++i)
        EXPECT_EQ(bytes[i], 0) << i;
    for (size_t i = 96; i < 216; ++i)
        EXPECT_EQ(bytes[i], 0) << i;
    for (size_t i = 224; i < 232; ++i)
        EXPECT_EQ(bytes[i], 0) << i;
    const TMPEGVideoEncoder_MultipassStats back = DecodeMultipassStats(bytes);
    EXPECT_EQ(back.Motion, 0.75);
    EXPECT_EQ(back.MotionScale, 1.5);
    EXPECT_EQ(back.Frames, 15.0f);
}

TEST(MultipassStatsFile, AppendsRewritesInPlaceAndRemovesItsFile) {
    testing::TempDir dir;
    std::string name;
    {
        TMPEGVideoEncoder_MultipassStatsFile file(dir.Path());
        name = file.GetFileName();
        EXPECT_EQ(std::filesystem::path(name).parent_path(), std::filesystem::path(dir.Path()));
        EXPECT_TRUE(testing::FileExists(name));
        TMPEGVideoEncoder_MultipassStats r = DistinctRecord();
        for (int i = 0; i < 400; ++i) { // more than one 64 KiB cache block
            r.BitRate = i;
            file.Append(r);
        }
        r.TargetRate = 123.0;
        file.Write(300, r);
        EXPECT_EQ(file.Count(), 400);
        EXPECT_EQ(file.Read(299).BitRate, 299.0);
        EXPECT_EQ(file.Read(300).TargetRate, 123.0);
        EXPECT_EQ(file.Read(301).TargetRate, 4.0e6);
        EXPECT_THROW(file.Read(400), EReadError);
        file.Rewind();
        EXPECT_EQ(file.Count(), 0);
        EXPECT_THROW(file.Read(0), EReadError);
        file.Append(DistinctRecord());
        EXPECT_EQ(file.Read(0).BitRate, 3.25e6);
    }
    EXPECT_FALSE(testing::FileExists(name));
}

std::vector<TMPEGVideoEncoder_MultipassStats> Batches(const std::vector<double>& complexityPerFrame,
                                                      float frames = 15.0f) {
    std::vector<TMPEGVideoEncoder_MultipassStats> records;
    for (double c : complexityPerFrame) {
        TMPEGVideoEncoder_MultipassStats r;
        r.Frames = frames;
        r.Duration = frames / 30.0f;
        r.Complexity = c * frames;
        records.push_back(r);
    }
    return records;
}

double FrameWeightedTarget(const std::vector<TMPEGVideoEncoder_MultipassStats>& records) {
    double sum = 0, frames = 0;
    for (const auto& r : records) {
        sum += r.TargetRate * r.Frames;
        frames += r.Frames;
    }
    return sum / frames;
}

TEST(TwoPassFinisher, EqualBatchesAllGetTheAverage) {
    auto records = Batches({5, 5, 5, 5});
    int rewrites = 0;
    FinishTwoPass(records, {4e6, 8e6, 1e6}, [&] { ++rewrites; });
    for (const auto& r : records)
        EXPECT_DOUBLE_EQ(r.TargetRate, 4e6);
    EXPECT_EQ(rewrites, 4);
}

TEST(TwoPassFinisher, ComplexBatchesGetMoreWithinTheLimitsAndTheMeanMeetsTheAverage) {
    auto records = Batches({1, 1, 1, 1, 4, 4});
    FinishTwoPass(records, {4e6, 9e6, 1e6});
    EXPECT_LT(records[0].TargetRate, records[4].TargetRate);
    EXPECT_NEAR(FrameWeightedTarget(records), 4e6, 4e6 * 1e-3);
    for (const auto& r : records) {
        EXPECT_GE(r.TargetRate, 1e6);
        EXPECT_LE(r.TargetRate, 9e6);
    }
    // A tight maximum binds the complex batches; the first rescaling lowers every batch to meet
    // the average and the later ones find it met.
    auto capped = Batches({1, 1, 1, 1, 4, 4});
    FinishTwoPass(capped, {4e6, 4.4e6, 1e6});
    const double s = 4e6 / ((4 * 4e6 + 2 * 4.4e6) / 6);
    EXPECT_NEAR(capped[4].TargetRate, 4.4e6 * s, 1.0);
    EXPECT_NEAR(capped[0].TargetRate, 4e6 * s, 1.0);
    EXPECT_NEAR(FrameWeightedTarget(capped), 4e6, 1.0);
}

std::vector<TMPEGVideoEncoder_MultipassStats> SurveyedBatches() {
    // Bit rates and activities of a clip that is quiet, then busy, then quiet again.
    const double rates[] = {1.0e6, 1.2e6, 9.0e6, 12.0e6, 8.0e6, 1.1e6, 0.9e6, 1.0e6};
    const double changes[] = {-1, 0.5, 30, 2, 1, 25, 0.2, 0.1};
    const double motion[] = {0.2, 0.2, 6, 8, 7, 0.3, -1, 0.2};
    std::vector<TMPEGVideoEncoder_MultipassStats> records;
    for (size_t i = 0; i < std::size(rates); ++i) {
        TMPEGVideoEncoder_MultipassStats r;
        r.Frames = i == 3 ? 30.0f : 15.0f;
        r.Duration = r.Frames / 30.0f;
        r.BitRate = rates[i];
        r.Quality = r.BaseQuality = 55.0;
        r.Activity = rates[i] > 5e6 ? 4.0 : 1.5;
        r.StartChange = changes[i];
        r.Motion = motion[i];
        records.push_back(r);
    }
    return records;
}

TEST(MultipassCQFinisher, RatesAverageExactlyToTheTargetAndScalesStayInRange) {
    for (const TMultipassRates rates : {TMultipassRates{4e6, 8e6, 2e6}, TMultipassRates{3e6, 3.2e6, 2.9e6}}) {
        auto records = SurveyedBatches();
        std::vector<std::string> log;
        FinishMultipassCQ(records, rates, [&](const std::string& line) { log.push_back(line); });
        EXPECT_NEAR(FrameWeightedTarget(records), rates.Average, rates.Average * 1e-9);
        for (const auto& r : records) {
            EXPECT_GE(r.MotionScale, 1.0);
            EXPECT_LE(r.MotionScale, 2.0);
            EXPECT_GE(r.FinalQuality, 1.0);
            EXPECT_LE(r.FinalQuality, 100.0);
        }
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].rfind("Surveyed bitrate : ", 0), 0u) << log[0];
    }
}

TEST(MultipassCQFinisher, BusyBatchesKeepMoreBitsAndAChangeAboveTheMeanInheritsTheCarry) {
    auto records = SurveyedBatches();
    FinishMultipassCQ(records, {4e6, 10e6, 1e6});
    EXPECT_GT(records[3].TargetRate, records[0].TargetRate);
    // Batch 2 starts with a change far above the mean: its scale is the carry of batch 1.
    const double carried = CompressRatio(std::max(0.1, 0.8 - records[1].Duration), records[1].MotionScale);
    EXPECT_GE(records[2].MotionScale, carried - 1e-12);
    EXPECT_GE(records[2].MotionScale, 1.0);
}

TEST(QualityModel, PassesThroughTheMeasuredRows) {
    const struct {
        int32_t N;
        double A, B;
    } rows[] = {{1, 8.7662725, 9.464696},     {2, 9.594953, 10.4186743},   {5, 9.5122819, 10.3433128},
                {10, 10.5436645, 11.5695027}, {20, 11.9966465, 13.3152156}, {30, 14.1699757, 15.8967764},
                {40, 17.8308551, 20.1408906}, {50, 22.8338567, 25.991912},  {60, 33.1665963, 37.4794784},
                {70, 42.8407546, 47.2001516}, {80, 58.0578629, 58.1068827}, {85, 63.5753835, 57.6224048},
                {90, 62.1739116, 45.3360493}, {95, 56.6909651, 22.6125425}, {100, 65.7712464, 29.1830026}};
    for (const auto& r : rows) {
        EXPECT_NEAR(QualityModelRow(r.N).Slope, r.A, 1e-9) << r.N;
        EXPECT_NEAR(QualityModelRow(r.N).Intercept, r.B, 1e-9) << r.N;
    }
    // The shape between them: the slope peaks near 85 and dips before 95; the intercept peaks
    // in the low eighties and bottoms out in the mid nineties.
    double peakB = 0, lowA = 1e9, lowB = 1e9;
    int32_t peakBAt = 0, lowAAt = 0, lowBAt = 0;
    for (int32_t n = 1; n <= 100; ++n) {
        const TQualityModelRow row = QualityModelRow(n);
        EXPECT_GT(row.Slope, 8.0) << n;
        if (row.Intercept > peakB)
            peakB = row.Intercept, peakBAt = n;
        if (n > 85 && row.Slope < lowA)
            lowA = row.Slope, lowAAt = n;
        if (n > 85 && row.Intercept < lowB)
            lowB = row.Intercept, lowBAt = n;
    }
    EXPECT_NEAR(peakB, 59.4, 0.5);
    EXPECT_NEAR(peakBAt, 84, 1);
    EXPECT_NEAR(lowA, 56.6, 0.3);
    EXPECT_NEAR(lowAAt, 94, 1);
    EXPECT_NEAR(lowB, 22.5, 0.3);
    EXPECT_NEAR(lowBAt, 96, 1);
}

TEST(QualityModel, EstimateInterpolatesRowsAndHasAFloor) {
    const TQualityModelRow r50 = QualityModelRow(50), r51 = QualityModelRow(51);
    const double a = 3.0;
    EXPECT_DOUBLE_EQ(QualityBitsEstimate(a, 50.0), r50.Slope * a - r50.Intercept);
    EXPECT_NEAR(QualityBitsEstimate(a, 50.25),
                0.75 * (r50.Slope * a - r50.Intercept) + 0.25 * (r51.Slope * a - r51.Intercept), 1e-9);
    // Quality 100 uses row 100 on both sides; a low activity hits the floor 0.2 x bpp(q).
    const TQualityModelRow r100 = QualityModelRow(100);
    EXPECT_DOUBLE_EQ(QualityBitsEstimate(a, 130.0), r100.Slope * a - r100.Intercept);
    EXPECT_DOUBLE_EQ(QualityBitsEstimate(0.5, 60.0), 0.2 * BitsPerPixelOfQuality(60.0));
}

TEST(BatchMotionMeasure, CheapestRunOfPredictedPictures) {
    // 10 fps: runs of 3 pictures. Coded order I P B B P B B.
    const std::vector<uint8_t> types = {PictureType_I, PictureType_P, PictureType_B, PictureType_B,
                                        PictureType_P, PictureType_B, PictureType_B};
    const std::vector<int64_t> bits = {90000, 30000, 9000, 6000, 24000, 3000, 6000};
    const double q = 50.0;
    // Cheapest run: pictures 4..6 (mean 11000); one I in seven pictures.
    const double b = 11000.0 * (1.0 + 1.0 / 7.0);
    const double expected = 8.0 * std::pow(b / (64.0 * 32.0) / BitsPerPixelOfQuality(q), 2.0);
    EXPECT_NEAR(BatchMotionMeasure(bits, types, 10.0, 64, 32, q), expected, expected * 1e-12);
    EXPECT_EQ(BatchMotionMeasure({50000, 40000}, {PictureType_I, PictureType_I}, 10.0, 64, 32, q), -1.0);
}

TEST(QualityCorrection, OverrunLowersTheQualityOfTheNextBatch) {
    TMPEGVideoEncoder_Settings settings;
    settings.Config.RateControlMode = MPEGVideoEncoder_RateControlMode_VBR_2PASS;
    settings.FrameTimeRate = 30.0L;
    TMPEGVideoEncoder_BitAllocation allocation(settings);
    TMPEGVideoFrameInfo picture(1);
    picture.SumBitWeight = 1.0;
    TMPEGVideoFrameInfoList batch;
    batch.Add(&picture);
    for (int i = 0; i < 29; ++i) // one second
        batch.Add(&picture);
    batch.SegmentRate.Mode = SegmentMode_ConstantQuality;
    batch.SegmentRate.MaxBitRate = 8000000;
    batch.SegmentRate.Quality = 60.0;
    batch.SegmentRate.RequiredBitRate = 1000000;
    batch.SegmentRate.CorrectQuality = 1;
    batch.SegmentRate.LogQuality = 1;
    struct NullController : TMPEGVideoEncoder_RateController {
        bool WantsActivityWeights() override { return false; }
        void Reset() override {}
        void PlanBatch(TMPEGVideoFrameInfoList&, double) override {}
        int32_t QualityBudget(const TMPEGVideoFrameInfoList&, double) override { return 0; }
        void MatricesChanged() override {}
        void BeginPicture(const TMPEGVideoFrameInfo&, const TRateControlPictureParams&) override {}
        int32_t MacroblockQuantiser(int32_t, const TMBInfo&, int64_t) override { return 1; }
        void EndPicture(int64_t) override {}
    } controller;

    // No overrun yet: v = r, Kc stays 1 and the quality is unchanged.
    allocation.BeginBatch(batch, controller);
    EXPECT_DOUBLE_EQ(allocation.GetBatchQuality(), 60.0);
    EXPECT_EQ(allocation.GetQualityLogLine(),
              "Req bitrate=1000.00 kbps  Org Req CQ = 60.00  Req CQ = 60.00  CQ correct =  1.00 (org  1.00)");
    allocation.EndBatch(1400000); // 400000 bits over
    EXPECT_EQ(allocation.GetQualityOverrun(), 400000);

    // v = max(1e6 - 1e5, 256, 5e5) = 9e5: Kc = 0.7 + 0.3 x 0.9 = 0.97.
    allocation.BeginBatch(batch, controller);
    EXPECT_DOUBLE_EQ(allocation.GetQualityCorrection(), 0.97);
    EXPECT_NEAR(allocation.GetBatchQuality(), 110.0 - std::sqrt(50.0 * 50.0 / std::pow(0.97, 1.5)), 1e-9);
    EXPECT_LT(allocation.GetBatchQuality(), 60.0);
    while (batch.Count() > 0)
        batch.TakeOut(0);
}

} // namespace
} // namespace quillset
