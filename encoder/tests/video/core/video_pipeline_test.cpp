// The threaded pipeline of the video encoder: the same stream with and without threads, errors
// of a worker raised again in the caller's thread, and the ordering and waiting rules of the
// thread objects.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "encoder/tests/video/core/multipass_clip.h"
#include "encoder/tests/video/core/video_encode_run.h"
#include "encoder/tests/video/core/video_test_config.h"
#include "encoder/video/pipeline_threads.h"
#include "stream/exceptions.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

using testing::VideoEncodeRun;

constexpr int32_t kClipPictures = 45;

TMPEGVideoEncoder_EncodeConfig SmallConfig(uint8_t mode, uint8_t algorithm) {
    TMPEGVideoEncoder_EncodeConfig c = testing::MakeTestVideoConfig();
    c.Width = 176;
    c.Height = 128;
    c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive;
    c.RateControlMode = mode;
    c.MultipassVBRAlgorithm = algorithm;
    c.AvgBitRate = 800000;
    c.MaxBitRate = mode == MPEGVideoEncoder_RateControlMode_CBR ? 800000 : 2000000;
    c.MinBitRate = 0;
    return c;
}

struct Threads {
    const char* Name;
    int32_t AnalyzeThreadCount;
    int32_t UseEncodeThread;
};

struct Mode {
    const char* Name;
    uint8_t RateControlMode;
    uint8_t Algorithm;
    uint8_t Speed = MPEGVideoEncoder_MotionSearchSpeed_Fast;
};

constexpr Threads kThreads[] = {{"EncodeThread", 0, 1}, {"OneWorker", 1, 0}, {"TwoWorkersAndEncodeThread", 2, 1}};
constexpr Mode kModes[] = {{"CBR", MPEGVideoEncoder_RateControlMode_CBR, 0},
                           {"TwoPass", MPEGVideoEncoder_RateControlMode_VBR_2PASS,
                            MPEGVideoEncoder_MultipassVBRAlgorithm_2PASS},
                           {"MultipassCQ", MPEGVideoEncoder_RateControlMode_VBR_2PASS,
                            MPEGVideoEncoder_MultipassVBRAlgorithm_MultipassCQ},
                           // The telescopic search walks the pictures between a picture and its
                           // reference, which neighbouring batches share.
                           {"TelescopicCBR", MPEGVideoEncoder_RateControlMode_CBR, 0,
                            MPEGVideoEncoder_MotionSearchSpeed_MotionEstimate}};

struct Encoded {
    std::string Stream;
    std::vector<std::string> Log;
};

Encoded EncodeClip(TMPEGVideoEncoder_EncodeConfig config, const Threads* threads, const std::string& tempDir) {
    if (threads) {
        config.AnalyzeThreadCount = threads->AnalyzeThreadCount;
        config.UseEncodeThread = threads->UseEncodeThread;
    }
    VideoEncodeRun run(config);
    run.Encoder->SetTempDirectory(tempDir);
    testing::EncodeChangingClip(*run.Encoder, kClipPictures);
    return {run.Stream(), run.Log};
}

class SameStreamWithThreads : public ::testing::TestWithParam<std::tuple<Mode, Threads>> {};

TEST_P(SameStreamWithThreads, ByteIdenticalToTheCallersThread) {
    const auto& [mode, threads] = GetParam();
    testing::TempDir dir;
    TMPEGVideoEncoder_EncodeConfig config = SmallConfig(mode.RateControlMode, mode.Algorithm);
    config.MotionSearchSpeed = mode.Speed;
    const Encoded plain = EncodeClip(config, nullptr, dir.Path());
    const Encoded threaded = EncodeClip(config, &threads, dir.Path());
    ASSERT_GT(plain.Stream.size(), 1000u);
    EXPECT_TRUE(plain.Stream == threaded.Stream) << "sizes " << plain.Stream.size() << " and " << threaded.Stream.size();
    // The log of the coding stages, from whichever thread, in the same order.
    EXPECT_EQ(plain.Log, threaded.Log);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

INSTANTIATE_TEST_SUITE_P(Modes, SameStreamWithThreads, ::testing::Combine(::testing::ValuesIn(kModes),
                                                                          ::testing::ValuesIn(kThreads)),
                         [](const auto& p) {
                             return std::string(std::get<0>(p.param).Name) + "_" + std::get<1>(p.param).Name;
                         });

TEST(MultipassFlow, OneAnalysisPassWithItsStatisticsThenTheEncodingPass) {
    const struct {
        Mode M;
        bool Analysis;
    } cases[] = {{kModes[0], false}, {kModes[1], true}, {kModes[2], true}};
    for (const auto& c : cases) {
        testing::TempDir dir;
        VideoEncodeRun run(SmallConfig(c.M.RateControlMode, c.M.Algorithm));
        run.Encoder->SetTempDirectory(dir.Path());
        TMPEGVideoEncoder_EncodeConfig effective;
        run.Encoder->GetEncodeConfig(effective);
        EXPECT_EQ(run.Encoder->NeedsAnalysisPass(), c.Analysis) << c.M.Name;
        EXPECT_EQ(testing::EncodeChangingClip(*run.Encoder, kClipPictures), c.Analysis ? 1 : 0) << c.M.Name;
        EXPECT_FALSE(run.Encoder->NeedsAnalysisPass());
        if (!c.Analysis)
            continue;
        EXPECT_EQ(effective.MaxPassCount, 2);
        EXPECT_TRUE(run.Logged("---- 1 pass (number of pass attempted)"));
        // One line per analysed batch, the first starting at picture 0; the statistics file
        // stays until the encoder goes.
        std::vector<std::string> lines;
        for (const std::string& line : run.Log)
            if (line.find("  Bitrate:") != std::string::npos && line.find("  MotionScale:") != std::string::npos)
                lines.push_back(line);
        ASSERT_GE(lines.size(), 2u) << c.M.Name;
        EXPECT_EQ(lines[0].rfind("frame=       0 (", 0), 0u) << lines[0];
        EXPECT_FALSE(std::filesystem::is_empty(dir.Path()));
        run.Encoder.reset();
        EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    }
}

// A picture hook that fails at one picture of one pass, like a host whose output went away.
class WorkerError : public ::testing::TestWithParam<std::tuple<Threads, bool>> {};

TEST_P(WorkerError, StopsTheEncodeWithTheWorkersMessage) {
    const auto& [threads, inAnalysis] = GetParam();
    testing::TempDir dir;
    TMPEGVideoEncoder_EncodeConfig config =
        SmallConfig(MPEGVideoEncoder_RateControlMode_VBR_2PASS, MPEGVideoEncoder_MultipassVBRAlgorithm_2PASS);
    config.AnalyzeThreadCount = threads.AnalyzeThreadCount;
    config.UseEncodeThread = threads.UseEncodeThread;
    config.MotionCacheLimit = int64_t{1} << 30; // its temporary files must go as well
    {
        VideoEncodeRun run(config);
        run.Encoder->SetTempDirectory(dir.Path());
        std::atomic<int> reports{0};
        const std::thread::id caller = std::this_thread::get_id();
        std::atomic<bool> fromWorker{false};
        run.Encoder->OnPictureEncoded = [&](TMPEGBaseEncoder*, const TMPEGVideoEncoder_PictureReport*) {
            fromWorker = fromWorker || std::this_thread::get_id() != caller;
            if (++reports == (inAnalysis ? 12 : kClipPictures + 12))
                throw EWriteError("The picture store went away.");
        };
        bool raised = false;
        try {
            testing::EncodeChangingClip(*run.Encoder, kClipPictures);
        } catch (const EMPEGVideoEncoderError& e) {
            raised = true;
            EXPECT_STREQ(e.what(), "The picture store went away.");
        }
        EXPECT_TRUE(raised);
        EXPECT_TRUE(fromWorker);
        EXPECT_FALSE(std::filesystem::is_empty(dir.Path())); // the statistics and cache files, until the encoder goes
        // The pass cannot go on: ending it raises the same error again instead of waiting.
        try {
            run.Encoder->EndEncode();
            ADD_FAILURE() << "no error";
        } catch (const EMPEGVideoEncoderError& e) {
            EXPECT_STREQ(e.what(), "The picture store went away.");
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

INSTANTIATE_TEST_SUITE_P(Threads, WorkerError, ::testing::Combine(::testing::ValuesIn(kThreads), ::testing::Bool()),
                         [](const auto& p) {
                             return std::string(std::get<0>(p.param).Name) +
                                    (std::get<1>(p.param) ? "_AnalysisPass" : "_EncodingPass");
                         });

// ---------------------------------------------------------------------------------------------
// The thread objects on their own.

void SubmitSequence(TMPEGVideoEncoder_AnalyzePipelineThread& pipeline, int64_t sequence) {
    TMPEGVideoFrameInfoList batch;
    batch.Sequence = sequence;
    pipeline.Submit(batch);
}

TEST(AnalyzePipelineThread, HandsBatchesOnInBatchOrder) {
    std::mutex lock;
    std::vector<int64_t> analysed, dispatched;
    TMPEGVideoEncoder_AnalyzePipelineThread pipeline(
        2,
        [&](TMPEGVideoFrameInfoList& b) {
            std::lock_guard guard(lock);
            analysed.push_back(b.Sequence);
        },
        [&](TMPEGVideoFrameInfoList& b) {
            std::lock_guard guard(lock);
            dispatched.push_back(b.Sequence);
        },
        {}, 5);
    for (int64_t s = 5; s < 45; ++s)
        SubmitSequence(pipeline, s);
    pipeline.WaitAll();
    std::vector<int64_t> expected;
    for (int64_t s = 5; s < 45; ++s)
        expected.push_back(s);
    EXPECT_EQ(dispatched, expected);
    std::sort(analysed.begin(), analysed.end());
    EXPECT_EQ(analysed, expected);
}

// The first batch's analysis lasts until the second one's has started: both workers analyse at
// once, and the hand-over still goes in batch order.
TEST(AnalyzePipelineThread, TwoWorkersAnalyseSideBySide) {
    std::mutex lock;
    std::condition_variable changed;
    bool secondStarted = false, overlapped = false;
    std::vector<int64_t> dispatched;
    TMPEGVideoEncoder_AnalyzePipelineThread pipeline(
        2,
        [&](TMPEGVideoFrameInfoList& b) {
            std::unique_lock guard(lock);
            if (b.Sequence == 1) {
                secondStarted = true;
                changed.notify_all();
            } else if (b.Sequence == 0) {
                overlapped = changed.wait_for(guard, std::chrono::seconds(20), [&] { return secondStarted; });
            }
        },
        [&](TMPEGVideoFrameInfoList& b) {
            std::lock_guard guard(lock);
            dispatched.push_back(b.Sequence);
        },
        {});
    for (int64_t s = 0; s < 4; ++s)
        SubmitSequence(pipeline, s);
    pipeline.WaitAll();
    EXPECT_TRUE(overlapped);
    EXPECT_EQ(dispatched, (std::vector<int64_t>{0, 1, 2, 3}));
}

// Batch 3's analysis fails while batch 2 is still being analysed by the other worker: batch 2
// is handed over all the same, as without workers, and nothing after it. The two analyses end
// close together, so the round is repeated to catch either order.
TEST(AnalyzePipelineThread, ErrorStopsLaterBatchesAndIsRaisedAgain) {
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE(round);
        std::mutex lock;
        std::condition_variable changed;
        bool thirdFailed = false;
        std::vector<int64_t> dispatched;
        TMPEGVideoEncoder_AnalyzePipelineThread pipeline(
            2,
            [&](TMPEGVideoFrameInfoList& b) {
                std::unique_lock guard(lock);
                if (b.Sequence == 2)
                    changed.wait_for(guard, std::chrono::seconds(20), [&] { return thirdFailed; });
                if (b.Sequence == 3) {
                    thirdFailed = true;
                    changed.notify_all();
                    throw EMPEGVideoEncoderError(MPEGError_IllegalPicture);
                }
            },
            [&](TMPEGVideoFrameInfoList& b) { dispatched.push_back(b.Sequence); }, {});
        int raised = 0;
        for (int64_t s = 0; s < 10; ++s) {
            try {
                SubmitSequence(pipeline, s);
            } catch (const EMPEGVideoEncoderError& e) {
                ++raised;
                EXPECT_STREQ(e.what(), "Illegal picture");
                EXPECT_EQ(e.ErrorCode, MPEGError_IllegalPicture);
            }
        }
        try {
            pipeline.WaitAll();
            ADD_FAILURE() << "no error";
        } catch (const EMPEGVideoEncoderError& e) {
            EXPECT_STREQ(e.what(), "Illegal picture");
        }
        ASSERT_EQ(dispatched, (std::vector<int64_t>{0, 1, 2}));
        EXPECT_GE(raised, 1);
    }
}

TEST(EncodePipelineThread, NotifiesWhileWaitingAndReraisesItsError) {
    // The first batch is held until the waiting thread has been notified once, which happens
    // only when a wait times out: the second Submit has to poll.
    std::mutex lock;
    std::condition_variable changed;
    bool notified = false;
    std::vector<int64_t> encoded;
    TMPEGVideoEncoder_EncodePipelineThread pipeline(
        [&](TMPEGVideoFrameInfoList& b) {
            std::unique_lock guard(lock);
            if (b.Sequence == 0)
                changed.wait(guard, [&] { return notified; });
            encoded.push_back(b.Sequence);
            if (b.Sequence == 2)
                throw EWriteError("Stream write error");
        },
        [&] {
            std::lock_guard guard(lock);
            notified = true;
            changed.notify_all();
        });
    for (int64_t s = 0; s < 3; ++s) {
        TMPEGVideoFrameInfoList batch;
        batch.Sequence = s;
        pipeline.Submit(batch);
    }
    try {
        pipeline.Wait();
        ADD_FAILURE() << "no error";
    } catch (const EMPEGVideoEncoderError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
    EXPECT_THROW(pipeline.Wait(), EMPEGVideoEncoderError);
    EXPECT_EQ(encoded, (std::vector<int64_t>{0, 1, 2}));
}

} // namespace
} // namespace quillset
