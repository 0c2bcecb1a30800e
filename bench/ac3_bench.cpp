// Speed of the AC-3 encoder (TDolbyAC3AudioEncoder with the AC3SUBE library built next to the
// benchmark) on one core, as multiples of real time ("x_realtime": seconds of audio encoded per
// second of CPU). The goal is at least 100 for 48 kHz stereo; bench/ac3_quality.sh times ffmpeg's
// ac3 encoder on the same kind of input.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench/audio_bench_support.h"
#include "encoder/audio/ac3/dolby_ac3_encoder.h"

namespace {

using namespace quillset;
using namespace quillset::bench;

// Arguments: sampling frequency, kbit/s, channel mode (0 stereo, 2 dual mono).
void BM_DolbyAC3Encoder(benchmark::State& state) {
    TMPEGAudioEncoder_EncodeConfig config;
    config.StreamType = MPEGAudioEncoder_StreamType_Dolby_AC3;
    config.SamplingFrequency = static_cast<int32_t>(state.range(0));
    config.BitRate = static_cast<int32_t>(state.range(1)) * 1000;
    config.ChannelMode = static_cast<int32_t>(state.range(2));
    constexpr int32_t kSeconds = 4;
    const std::vector<int16_t> sound = MusicLike(config.SamplingFrequency, kSeconds, true);
    const int32_t times = config.SamplingFrequency * kSeconds;
    TDiscardStream out;
    TDolbyAC3AudioEncoder encoder(out, "", config);
    for (auto _ : state) {
        PutStereoBlocks(encoder, sound, config.SamplingFrequency, times);
    }
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kSeconds, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_DolbyAC3Encoder)
    ->ArgNames({"fs", "kbps", "mode"})
    ->Args({48000, 192, 0})
    ->Args({48000, 448, 0})
    ->Args({48000, 256, 2})
    ->Args({32000, 192, 0})
    ->Unit(benchmark::kMillisecond);

} // namespace
