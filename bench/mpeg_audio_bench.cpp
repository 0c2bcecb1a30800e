// Speed of the MPEG-1 audio encoder on one core, as multiples of real time ("x_realtime":
// seconds of audio encoded per second). The goal is at least 100 for 48 kHz stereo Layer II;
// bench/audio_quality.sh times twolame and ffmpeg's mp2 encoder on the same kind of input.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "encoder/audio/mpeg/mpeg_audio_encoder.h"

namespace {

using namespace quillset;

// Discards what is written, so that only the encoding is measured.
class NullStream : public TLargeStream {
public:
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void*, int32_t count) override { return count; }
    int64_t Seek(int64_t, uint16_t) override { return 0; }
};

// One second of stereo music-like sound: a chord, a bass line and a little noise, different in
// the two channels so that neither joint stereo nor silence makes the work easier.
std::vector<int16_t> MusicSecond(int32_t frequency) {
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, 400.0);
    std::vector<int16_t> out(static_cast<size_t>(frequency) * 2);
    for (int32_t n = 0; n < frequency; ++n) {
        const double t = static_cast<double>(n) / frequency;
        const double chord = std::sin(2 * std::numbers::pi * 261.6 * t) + std::sin(2 * std::numbers::pi * 329.6 * t) +
                             std::sin(2 * std::numbers::pi * 392.0 * t);
        const double bass = std::sin(2 * std::numbers::pi * (55.0 + 20.0 * std::floor(4 * t)) * t);
        out[2 * n] = static_cast<int16_t>(4000.0 * chord + 6000.0 * bass + noise(random));
        out[2 * n + 1] = static_cast<int16_t>(3000.0 * chord - 5000.0 * bass + noise(random));
    }
    return out;
}

// Arguments: stream type (0 Layer I, 1 Layer II), sampling frequency, kbit/s, channel mode.
void BM_MPEGAudioEncoder_Stereo(benchmark::State& state) {
    TMPEGAudioEncoder_EncodeConfig config;
    config.StreamType = static_cast<uint8_t>(state.range(0));
    config.SamplingFrequency = static_cast<int32_t>(state.range(1));
    config.BitRate = static_cast<int32_t>(state.range(2)) * 1000;
    config.ChannelMode = static_cast<int32_t>(state.range(3));
    const std::vector<int16_t> second = MusicSecond(config.SamplingFrequency);
    NullStream out;
    TMPEGAudioEncoder encoder(out, config);
    for (auto _ : state) {
        for (int32_t at = 0; at < config.SamplingFrequency; at += 4096) {
            TMPEGAudioEncoder_Samples samples;
            samples.SampleFormat = AudioSampleFormat_16Bit;
            samples.SamplingFrequency = config.SamplingFrequency;
            samples.Channels = 2;
            samples.Data = second.data() + 2 * static_cast<size_t>(at);
            samples.Count = std::min(4096, config.SamplingFrequency - at);
            encoder.PutSamples(samples);
        }
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
