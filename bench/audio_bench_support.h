// What the audio encoder benchmarks share: an output that discards what is written, so that only
// the encoding is measured, and a music-like test sound.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "encoder/framework/audio_types.h"
#include "stream/large_stream.h"

namespace quillset::bench {

class TDiscardStream : public TLargeStream {
public:
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void*, int32_t count) override { return count; }
    int64_t Seek(int64_t, uint16_t) override { return 0; }
};

// Interleaved stereo music-like sound: a chord, a bass line and a little noise, different in the
// two channels so that neither joint stereo nor silence makes the work easier; with `clicks`, a
// click in the left channel every half second (block switching).
inline std::vector<int16_t> MusicLike(int32_t frequency, int32_t seconds, bool clicks) {
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, 400.0);
    std::vector<int16_t> out(static_cast<size_t>(frequency) * seconds * 2);
    for (int32_t n = 0; n < frequency * seconds; ++n) {
        const double t = static_cast<double>(n) / frequency;
        const double chord = std::sin(2 * std::numbers::pi * 261.6 * t) + std::sin(2 * std::numbers::pi * 329.6 * t) +
                             std::sin(2 * std::numbers::pi * 392.0 * t);
        const double bass = std::sin(2 * std::numbers::pi * (55.0 + 20.0 * std::floor(4 * t)) * t);
        const double click = clicks && n % (frequency / 2) < 32 ? 12000.0 : 0.0;
        out[2 * static_cast<size_t>(n)] = static_cast<int16_t>(4000.0 * chord + 6000.0 * bass + noise(random) + click);
        out[2 * static_cast<size_t>(n) + 1] = static_cast<int16_t>(3000.0 * chord - 5000.0 * bass + noise(random));
    }
    return out;
}

// Hands the first `times` sample times of interleaved stereo to the encoder in blocks of 4096.
template <typename Encoder>
void PutStereoBlocks(Encoder& encoder, const std::vector<int16_t>& sound, int32_t frequency, int32_t times) {
    for (int32_t at = 0; at < times; at += 4096) {
        TMPEGAudioEncoder_Samples samples;
        samples.SampleFormat = AudioSampleFormat_16Bit;
        samples.SamplingFrequency = frequency;
        samples.Channels = 2;
        samples.Data = sound.data() + 2 * static_cast<size_t>(at);
        samples.Count = std::min(4096, times - at);
        encoder.PutSamples(samples);
    }
}

} // namespace quillset::bench
