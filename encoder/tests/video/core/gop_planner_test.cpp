#include "encoder/video/gop_planner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoder/tests/video/core/video_test_config.h"

namespace quillset {
namespace {

using testing::MakeTestVideoConfig;

// Plans pictures and keeps every emitted batch as a string of type letters in display order.
class PlannerRun {
public:
    explicit PlannerRun(const TMPEGVideoEncoder_EncodeConfig& config)
        : Settings(ValidateVideoEncodeConfig(config)),
          Planner(Settings, [this](TMPEGVideoFrameInfoList& batch) { Record(batch); }) {}

    // `forced`: one letter per picture, '.' for none, 'I'/'P'/'B' to force, 'S' for a segment
    // start; `pulldown` sets repeat_first_field on every second picture.
    void Push(int count, const std::string& forced = "", bool pulldown = false) {
        for (int i = 0; i < count; ++i) {
            auto* info = new TMPEGVideoFrameInfo(0);
            info->DisplayNumber = Next++;
            info->RepeatFirstField = pulldown && info->DisplayNumber % 2 == 1;
            TMPEGVideoEncoder_Image request;
            const char c = i < static_cast<int>(forced.size()) ? forced[static_cast<size_t>(i)] : '.';
            if (c == 'I' || c == 'P' || c == 'B') {
                request.ForcePictureType = 1;
                request.PictureType = c == 'I' ? 0 : (c == 'P' ? 1 : 2);
            }
            request.SegmentStart = c == 'S';
            if (c == 'R' || c == 'Q') {
                request.SegmentRateChange = 1;
                request.SegmentMode = c == 'R' ? 0 : 4;
                request.SegmentBitRate = 2500000.7;
                request.SegmentQuality = 140;
            }
            TFrameInfoRef hold(info);
            Planner.AddPicture(info, request);
        }
    }
    void Flush() { Planner.Flush(); }

    std::string All() const {
        std::string all;
        for (const std::string& b : Batches)
            all += b;
        return all;
    }

    TMPEGVideoEncoder_Settings Settings;
    TMPEGVideoEncoder_GOPPlanner Planner;
    std::vector<std::string> Batches;
    std::vector<int64_t> CarriedNumbers; // display number of each batch's carried reference, -1
    std::vector<bool> EndOfStream;
    std::vector<TMPEGVideoEncoder_SegmentRate> Segments;

private:
    void Record(TMPEGVideoFrameInfoList& batch) {
        std::string types;
        for (int32_t i = 0; i < batch.Count(); ++i)
            types += PictureTypeLetter(batch[i]->PictureType);
        EXPECT_NE(types.back(), 'B') << "a batch ends in B: " << types;
        EXPECT_TRUE(batch.Last()->IsLastReference);
        Batches.push_back(types);
        CarriedNumbers.push_back(batch.GetCarriedReference() ? batch.GetCarriedReference()->DisplayNumber : -1);
        EndOfStream.push_back(batch.EndOfStream != 0);
        Segments.push_back(batch.SegmentRate);
    }

    int64_t Next = 0;
};

TEST(GOPPlanner, StandardOpenGOPs) {
    PlannerRun run(MakeTestVideoConfig());
    run.Push(16 + 18 + 18);
    ASSERT_EQ(run.Batches.size(), 3u);
    EXPECT_EQ(run.Batches[0], "IBBPBBPBBPBBPBBP");
    EXPECT_EQ(run.Batches[1], "BBIBBPBBPBBPBBPBBP");
    EXPECT_EQ(run.Batches[2], "BBIBBPBBPBBPBBPBBP");
    EXPECT_EQ(run.CarriedNumbers, (std::vector<int64_t>{-1, 15, 33}));
}

TEST(GOPPlanner, StandardClosedGOPs) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.GOP_BitStreamForEdit = 1;
    PlannerRun run(config);
    run.Push(48);
    ASSERT_EQ(run.Batches.size(), 3u);
    for (const std::string& batch : run.Batches)
        EXPECT_EQ(batch, "IBBPBBPBBPBBPBBP");
}

TEST(GOPPlanner, TwoIPeriodsPerGOP) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.GOP_I_FrameCount = 2;
    config.GOP_P_FrameCount = 2;
    PlannerRun run(config);
    run.Push(7 + 9 + 9);
    ASSERT_GE(run.Batches.size(), 1u);
    EXPECT_EQ(run.Batches[0], "IBBPBBPBBIBBPBBP");
}

TEST(GOPPlanner, AllIntraWhenThereAreNoPPictures) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.GOP_P_FrameCount = 0;
    PlannerRun run(config);
    run.Push(13);
    run.Flush();
    EXPECT_EQ(run.All(), "IIIIIIIIIIIII");
    // Batches of at least 2 x (7 - 0 - 1) - 1 = 11 fields: six pictures.
    EXPECT_EQ(run.Batches[0].size(), 6u);
}

TEST(GOPPlanner, FirstPictureIsIEvenWhenForcedToB) {
    PlannerRun run(MakeTestVideoConfig());
    run.Push(16, "B");
    ASSERT_EQ(run.Batches.size(), 1u);
    EXPECT_EQ(run.Batches[0], "IBBPBBPBBPBBPBBP");
}

TEST(GOPPlanner, ForcedIEndsTheBatchAndItsLastBBecomesP) {
    PlannerRun run(MakeTestVideoConfig());
    // Picture 32 would be the second B of a pair; forced to I, it ends the batch before it, whose
    // trailing B becomes P, and starts a whole GOP of its own.
    run.Push(33, std::string(32, '.') + "I");
    run.Push(15);
    ASSERT_EQ(run.Batches.size(), 3u);
    EXPECT_EQ(run.Batches[1], "BBIBBPBBPBBPBBPP");
    EXPECT_EQ(run.Batches[2], "IBBPBBPBBPBBPBBP");
}

TEST(GOPPlanner, ShortBatchBeforeAForcedIIsNotCut) {
    PlannerRun run(MakeTestVideoConfig());
    // A forced I ten pictures into the second GOP: the pending batch is too short to go alone.
    run.Push(27, std::string(26, '.') + "I");
    run.Push(15);
    ASSERT_EQ(run.Batches.size(), 2u);
    EXPECT_EQ(run.Batches[1], "BBIBBPBBPPIBBPBBPBBPBBPBBP");
}

TEST(GOPPlanner, SegmentStartCutsAndRestartsWithI) {
    PlannerRun run(MakeTestVideoConfig());
    run.Push(8, "........S");
    run.Push(1, "S");
    run.Push(15);
    ASSERT_GE(run.Batches.size(), 2u);
    // Pictures 0..7: I B B P B B P B; the trailing B becomes P.
    EXPECT_EQ(run.Batches[0], "IBBPBBPP");
    EXPECT_EQ(run.Batches[1], "IBBPBBPBBPBBPBBP");
}

TEST(GOPPlanner, DivisorForbidsForcedB) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.FrameRate = 0x20004;
    PlannerRun run(config);
    run.Push(12, ".BBB");
    run.Flush();
    EXPECT_EQ(run.All(), "IPPPPPIPPPPP");
}

TEST(GOPPlanner, EndOfStreamNeverEndsInB) {
    PlannerRun run(MakeTestVideoConfig());
    run.Push(16 + 5); // the second GOP stops at B B I B B
    run.Flush();
    ASSERT_EQ(run.Batches.size(), 2u);
    EXPECT_EQ(run.Batches[1], "BBIBP");
    EXPECT_TRUE(run.EndOfStream[1]);
    EXPECT_FALSE(run.EndOfStream[0]);
}

TEST(GOPPlanner, MaximumLengthCutsRunsOfForcedP) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.GOP_MaxFrameCount = 10;
    config.GOP_BitStreamForEdit = 1;
    PlannerRun run(config);
    // P = 3 after the length rules; forcing P on every picture after the first never gives an I,
    // so the maximum length (10 frames = 20 fields) turns every eleventh picture into an I.
    run.Push(30, "." + std::string(29, 'P'));
    run.Flush();
    EXPECT_EQ(run.All(), "IPPPPPPPPPIPPPPPPPPPIPPPPPPPPP");
}

TEST(GOPPlanner, MaximumLengthInOpenGOPs) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.GOP_MaxFrameCount = 12;
    PlannerRun run(config);
    // Open, max 12: P = 3 (3 x 3 + 1 + 2 = 12). Forced P pictures from picture 1 on make the
    // GOP too long at picture 12; the picture becomes an I.
    run.Push(24, "." + std::string(23, 'P'));
    run.Flush();
    const std::string all = run.All();
    EXPECT_EQ(all.substr(0, 12), "IPPPPPPPPPPP");
    EXPECT_EQ(all[12], 'I');
}

TEST(GOPPlanner, RepeatFirstFieldCountsTowardTheMaximumLength) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.GOP_MaxFrameCount = 10;
    config.GOP_BitStreamForEdit = 1;
    PlannerRun run(config);
    // Pulled-down pictures alternate 2 and 3 fields: 20 fields hold 8 pictures.
    run.Push(24, "." + std::string(23, 'P'), true);
    run.Flush();
    EXPECT_EQ(run.All().substr(0, 9), "IPPPPPPPI");
}

TEST(GOPPlanner, ManualSegmentsChangeTheRateOfTheFollowingBatches) {
    TMPEGVideoEncoder_EncodeConfig config = MakeTestVideoConfig();
    config.RateControlMode = MPEGVideoEncoder_RateControlMode_VBR_Manual;
    config.MaxBitRate = 8000000;
    config.MinBitRate = 1000000;
    PlannerRun run(config);
    run.Push(20, std::string(10, '.') + "R");
    run.Push(20, std::string(10, '.') + "Q");
    run.Flush();
    ASSERT_GE(run.Segments.size(), 3u);
    EXPECT_EQ(run.Segments[0].Mode, SegmentMode_TargetBitRate);
    EXPECT_EQ(run.Segments[0].TargetBitRate, 8000000); // the maximum is the manual mode's average
    EXPECT_EQ(run.Segments[1].Mode, SegmentMode_TargetBitRate);
    EXPECT_EQ(run.Segments[1].TargetBitRate, 2500000);
    EXPECT_EQ(run.Segments[1].MaxBitRate, 8000000);
    EXPECT_EQ(run.Segments[1].MinBitRate, 1000000);
    EXPECT_EQ(run.Segments.back().Mode, SegmentMode_ConstantQuality);
    EXPECT_EQ(run.Segments.back().Quality, 100.0);
    // Each change starts a batch with an I picture.
    EXPECT_EQ(run.Batches[1][0], 'I');
}

} // namespace
} // namespace quillset
