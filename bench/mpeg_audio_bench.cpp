// Speed of the MPEG-1 audio encoder on one core, as multiples of real time ("x_realtime":
// seconds of audio encoded per second). The goal is at least 100 for 48 kHz stereo Layer II;
// bench/audio_quality.sh times twolame and ffmpeg's mp2 encoder on the same kind of input.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench/audio_bench_support.h"
#include "encoder/audio/mpeg/mpeg_audio_encoder.h"

namespace {

using namespace quillset;
using namespace quillset::bench;

// Arguments: stream type (0 Layer I, 1 Layer II), sampling frequency, kbit/s, channel mode.
void BM_MPEGAudioEncoder_Stereo(benchmark::State& state) {
    TMPEGAudioEncoder_EncodeConfig config;
    config.StreamType = static_cast<uint8_t>(state.range(0));
    config.SamplingFrequency = static_cast<int32_t>(state.range(1));
    config.BitRate = static_cast<int32_t>(state.range(2)) * 1000;
    config.ChannelMode = static_cast<int32_t>(state.range(3));
    const std::vector<int16_t> second = MusicLike(config.SamplingFrequency, 1, false);
    TDiscardStream out;
    TMPEGAudioEncoder encoder(out, config);
    for (auto _ : state) {
        PutStereoBlocks(encoder, second, config.SamplingFrequency, config.SamplingFrequency);
    }
    state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate);
}

BENCHMARK(BM_MPEGAudioEncoder_Stereo)
    ->ArgNames({"type", "fs", "kbps", "mode"})
    ->Args({1, 48000, 384, 0})
    ->Args({1, 48000, 256, 1})
    ->Args({1, 44100, 224, 0})
    ->Args({0, 48000, 384, 0})
    ->Unit(benchmark::kMillisecond);

} // namespace
