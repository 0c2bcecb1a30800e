// Speed of the whole video encoder per picture: 720 x 480 MPEG-2 at 4 Mbit/s (the DVD template
// shape) with FastSearch, progressive and interlaced, over a panning synthetic clip. Items are
// pictures; the rate shown is pictures per second.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "encoder/tests/video/core/synthetic_pictures.h"
#include "encoder/tests/video/core/video_test_config.h"
#include "encoder/video/video_encoder.h"
#include "stream/memory_stream.h"

namespace quillset {
namespace {

void EncodeDVDPictures(benchmark::State& state, uint8_t mode) {
    TMPEGVideoEncoder_EncodeConfig config = testing::MakeTestVideoConfig();
    config.VideoEncodeMode = mode;
    config.AvgBitRate = config.MaxBitRate = 4000000;
    const testing::SyntheticScene scene{720, 480, 36};
    constexpr int32_t kPictures = 72;
    const TKernelTable kernels = testing::TestKernelTable(true);
    std::vector<std::unique_ptr<TMPEGVideo_YUVImage>> pictures;
    int64_t coded = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TLargeMemoryStream output;
        TMPEGVideoEncoder encoder(&output, config, kernels);
        encoder.SetPreviewInterval(10);
        if (pictures.empty())
            for (int32_t i = 0; i < kPictures; ++i) {
                pictures.push_back(encoder.NewImage());
                testing::FillSyntheticPicture(*pictures.back(), scene, i);
            }
        state.ResumeTiming();
        encoder.BeginEncode();
        for (const auto& picture : pictures) {
            TMPEGVideoEncoder_Image record;
            record.Tag = kMPEGVideoEncoder_YUVImageTag;
            record.YUVImage = picture.get();
            encoder.EncodePicture(record);
        }
        encoder.EndEncode();
        coded += kPictures;
        benchmark::DoNotOptimize(output.GetMemory());
    }
    state.SetItemsProcessed(coded);
}

void BM_VideoEncoder_DVD_Progressive(benchmark::State& state) {
    EncodeDVDPictures(state, MPEGVideoEncoder_VideoEncodeMode_Progressive);
}
void BM_VideoEncoder_DVD_Interlaced(benchmark::State& state) {
    EncodeDVDPictures(state, MPEGVideoEncoder_VideoEncodeMode_Interlace);
}

BENCHMARK(BM_VideoEncoder_DVD_Progressive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VideoEncoder_DVD_Interlaced)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillset
