// The realtime modes: GOP-structure shares of each picture type, and whole encodes that keep the
// rate and the buffer and log the rate once per GOP.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "encoder/tests/video/core/video_encode_run.h"
#include "encoder/tests/video/core/video_test_config.h"
#include "encoder/video/rate_control/realtime_allocation.h"

namespace quillset {
namespace {

using testing::VideoEncodeRun;

TMPEGVideoEncoder_Settings GOPSettings(int32_t i, int32_t p, int32_t b, bool closed) {
    TMPEGVideoEncoder_Settings s;
    s.GOPICount = i;
    s.GOPPCount = p;
    s.GOPBCount = b;
    s.ClosedGOP = closed;
    s.PictureRate = 30.0L;
    s.PaddedWidth = 352;
    s.PaddedHeight = 240;
    return s;
}

TEST(RealtimeGOPCounts, CountsThePicturesOfOneGOP) {
    const struct {
        int32_t I, P, B;
        bool Closed, StartsClosed;
        int64_t NI, NP, NB;
    } cases[] = {
        {1, 5, 2, false, false, 1, 5, 12}, // I B B P ... with two leading B pictures: 18
        {1, 5, 2, false, true, 1, 5, 10},  // the first GOP of an open stream
        {1, 5, 2, true, true, 1, 5, 10},   // closed GOPs: 16
        {2, 3, 2, false, false, 2, 6, 16}, // two I periods: 12 + 2 between them + 2 leading
        {3, 0, 0, false, false, 3, 0, 0},  // intra only
    };
    for (const auto& c : cases) {
        const TRealtimeGOPCounts n = RealtimeGOPCounts(GOPSettings(c.I, c.P, c.B, c.Closed), c.StartsClosed);
        EXPECT_EQ(n.I, c.NI) << c.I << c.P << c.B;
        EXPECT_EQ(n.P, c.NP) << c.I << c.P << c.B;
        EXPECT_EQ(n.B, c.NB) << c.I << c.P << c.B;
    }
}

TEST(RealtimeTargets, SharesOfOneGOPAddUpToItsBits) {
    for (const bool cbr : {true, false}) {
        for (const int32_t b : {0, 1, 2}) {
            const TMPEGVideoEncoder_Settings s = GOPSettings(1, 5, b, false);
            TMPEGVideoEncoder_SegmentRate segment;
            segment.Mode = cbr ? SegmentMode_RealtimeCBR : SegmentMode_RealtimeCQ;
            segment.TargetBitRate = 1500000;
            segment.MaxBitRate = 3000000;
            const TRealtimeGOPCounts n = RealtimeGOPCounts(s, false);
            const int64_t i = RealtimeTargets(s, segment, PictureType_I, false, false).Allocation;
            const int64_t p = RealtimeTargets(s, segment, PictureType_P, false, false).Allocation;
            const int64_t bb = RealtimeTargets(s, segment, PictureType_B, false, false).Allocation;
            const double gopBits = (cbr ? 1500000.0 : 3000000.0) * static_cast<double>(n.Total()) / 30.0;
            EXPECT_NEAR(static_cast<double>(n.I * i + n.P * p + n.B * bb), gopBits, static_cast<double>(n.Total()))
                << cbr << " " << b;
            EXPECT_NEAR(static_cast<double>(p) / static_cast<double>(bb), 2.75 / 0.85, 0.01);
            EXPECT_GT(i, p);
            // Fewer B pictures give the I picture a larger weight.
            const double weightI = static_cast<double>(i) / static_cast<double>(p) * 2.75;
            const double density = 1500000.0 / (n.Total() / 30.0) / 352 / 240;
            const double expected = 8.0 * (cbr ? std::clamp(std::sqrt(26.0 / density), 0.7, 2.0) : 1.0) *
                                    (b < 2 ? std::min(2.0, std::sqrt(2.0 - b)) : 1.0);
            EXPECT_NEAR(weightI, expected, 0.01) << cbr << " " << b;
            EXPECT_EQ(RealtimeTargets(s, segment, PictureType_B, true, false).Allocation,
                      bb + static_cast<int64_t>((cbr ? 1500000.0 : 3000000.0) * 0.5 / 30.0));
        }
    }
}

TEST(RealtimeTargets, MinimumOnlyForConstantQualityWithAMinimumRate) {
    const TMPEGVideoEncoder_Settings s = GOPSettings(1, 5, 2, false);
    TMPEGVideoEncoder_SegmentRate segment;
    segment.Mode = SegmentMode_RealtimeCQ;
    segment.MaxBitRate = 3000000;
    segment.MinBitRate = 0;
    EXPECT_EQ(RealtimeTargets(s, segment, PictureType_P, false, false).Minimum, 0);
    segment.MinBitRate = 1000000;
    const TRealtimeTargets t = RealtimeTargets(s, segment, PictureType_P, false, false);
    EXPECT_NEAR(static_cast<double>(t.Minimum) / static_cast<double>(t.Allocation), 1.0 / 3.0, 1e-3);
    segment.Mode = SegmentMode_RealtimeCBR;
    segment.TargetBitRate = 1000000;
    EXPECT_EQ(RealtimeTargets(s, segment, PictureType_P, false, false).Minimum, 0);
}

class RealtimeEncode : public ::testing::TestWithParam<uint8_t> {};

TEST_P(RealtimeEncode, KeepsTheRateAndTheBufferAndLogsEachGOP) {
    TMPEGVideoEncoder_EncodeConfig c = testing::MakeTestVideoConfig();
    c.Width = 352;
    c.Height = 240;
    c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive;
    c.RateControlMode = GetParam();
    c.AvgBitRate = c.MaxBitRate = 1500000;
    c.Quality = 70.0;
    c.UseEncodeThread = 1; // ignored: realtime batches are coded at once
    c.AnalyzeThreadCount = 2;
    VideoEncodeRun run(c);
    run.Encoder->SetPreviewInterval(10);
    const int32_t pictures = 150;
    run.Encode(testing::SyntheticScene{c.Width, c.Height, 75}, pictures);
    EXPECT_EQ(run.Encoder->GetVBVErrorCount(), 0);
    const double seconds = pictures * 1001.0 / 30000.0;
    const double rate = static_cast<double>(run.Output.GetSize()) * 8 / seconds;
    if (GetParam() == MPEGVideoEncoder_RateControlMode_Realtime_CBR)
        EXPECT_NEAR(rate, 1500000, 0.02 * 1500000);
    else
        EXPECT_LE(rate, 1500000 * 1.01);
    // One rate line, then an empty line, per GOP.
    const int gops = testing::CountStartCodes(run.Stream(), 0xB8);
    int lines = 0;
    for (size_t i = 0; i < run.Log.size(); ++i)
        if (run.Log[i].rfind("Current bitrate = ", 0) == 0) {
            ++lines;
            ASSERT_LT(i + 1, run.Log.size());
            EXPECT_EQ(run.Log[i + 1], "");
        }
    EXPECT_EQ(lines, gops);
}

INSTANTIATE_TEST_SUITE_P(Modes, RealtimeEncode,
                         ::testing::Values(MPEGVideoEncoder_RateControlMode_Realtime_CBR,
                                           MPEGVideoEncoder_RateControlMode_Realtime_CQ),
                         [](const auto& p) { return p.param == 5 ? std::string("CBR") : std::string("CQ"); });

} // namespace
} // namespace quillset
