// Speed of the AC-3 encoder (TDolbyAC3AudioEncoder with the AC3SUBE library built next to the
// benchmark) on one core, as multiples of real time ("x_realtime": seconds of audio encoded per
// second of CPU). The goal is at least 100 for 48 kHz stereo; bench/ac3_quality.sh times ffmpeg's
// ac3 encoder on the same kind of input.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "encoder/audio/ac3/dolby_ac3_encoder.h"

namespace {

using namespace quillset;

// Discards what is written, so that only the encoding is measured.
class DiscardStream : public TLargeStream {
public:
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void*, int32_t count) override { return count; }
    int64_t Seek(int64_t, uint16_t) override { return 0; }
};

// Four seconds of stereo music-like sound: a chord, a bass line, noise and a click every half
// second (block switching), different in the two channels.
std::vector<int16_t> Music(int32_t frequency, int32_t seconds) {
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, 400.0);
    std::vector<int16_t> out(static_cast<size_t>(frequency) * seconds * 2);
    for (int32_t n = 0; n < frequency * seconds; ++n) {
        const double t = static_cast<double>(n) / frequency;
        const double chord = std::sin(2 * std::numbers::pi * 261.6 * t) + std::sin(2 * std::numbers::pi * 329.6 * t) +
                             std::sin(2 * std::numbers::pi * 392.0 * t);
        const double bass = std::sin(2 * std::numbers::pi * (55.0 + 20.0 * std::floor(4 * t)) * t);
        const double click = n % (frequency / 2) < 32 ? 12000.0 : 0.0;
        out[2 * static_cast<size_t>(n)] = static_cast<int16_t>(4000.0 * chord + 6000.0 * bass + noise(random) + click);
        out[2 * static_cast<size_t>(n) + 1] = static_cast<int16_t>(3000.0 * chord - 5000.0 * bass + noise(random));
    }
    return out;
}

// Arguments: sampling frequency, kbit/s, channel mode (0 stereo, 2 dual mono).
void BM_DolbyAC3Encoder(benchmark::State& state) {
    TMPEGAudioEncoder_EncodeConfig config;
    config.StreamType = MPEGAudioEncoder_StreamType_Dolby_AC3;
    config.SamplingFrequency = static_cast<int32_t>(state.range(0));
    config.BitRate = static_cast<int32_t>(state.range(1)) * 1000;
    config.ChannelMode = static_cast<int32_t>(state.range(2));
    constexpr int32_t kSeconds = 4;
    const std::vector<int16_t> sound = Music(config.SamplingFrequency, kSeconds);
    const int32_t times = config.SamplingFrequency * kSeconds;
    DiscardStream out;
    TDolbyAC3AudioEncoder encoder(out, "", config);
    for (auto _ : state) {
        for (int32_t at = 0; at < times; at += 4096) {
            TMPEGAudioEncoder_Samples samples;
            samples.SampleFormat = AudioSampleFormat_16Bit;
            samples.SamplingFrequency = config.SamplingFrequency;
            samples.Channels = 2;
            samples.Data = sound.data() + 2 * static_cast<size_t>(at);
            samples.Count = std::min(4096, times - at);
            encoder.PutSamples(samples);
        }
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
