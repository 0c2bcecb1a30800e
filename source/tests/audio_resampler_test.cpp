#include "source/audio_resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "source/wave_audio_source.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

void Put16(std::string& s, int v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, static_cast<int>(v & 0xFFFF));
    Put16(s, static_cast<int>(v >> 16));
}

std::string Wave16(int channels, uint32_t rate, const std::vector<int16_t>& samples) {
    std::string data;
    for (const int16_t v : samples)
        Put16(data, v);
    std::string s = "RIFF";
    Put32(s, static_cast<uint32_t>(36 + data.size()));
    s += "WAVEfmt ";
    Put32(s, 16);
    Put16(s, 1);
    Put16(s, channels);
    Put32(s, rate);
    Put32(s, rate * channels * 2);
    Put16(s, channels * 2);
    Put16(s, 16);
    s += "data";
    Put32(s, static_cast<uint32_t>(data.size()));
    return s + data;
}

// Signal-to-error ratio in dB of a resampled sine against the ideal one, away from the ends.
double SineSnr(const std::vector<int16_t>& out, int channels, int channel, double frequency, double rate,
               double amplitude) {
    double signal = 0, error = 0;
    for (size_t i = 200; i + 200 < out.size() / channels; ++i) {
        const double ideal = amplitude * std::sin(2 * M_PI * frequency * static_cast<double>(i) / rate);
        const double got = out[i * channels + channel];
        signal += ideal * ideal;
        error += (got - ideal) * (got - ideal);
    }
    return 10 * std::log10(signal / std::max(error, 1e-9));
}

TEST(AudioResampler, ConvertsRatesWithLittleError) {
    testing::TempDir dir;
    struct Case {
        uint32_t from, to;
        double tone;
    };
    const Case cases[] = {{44100, 48000, 1000}, {48000, 44100, 3000}, {32000, 48000, 440}, {96000, 48000, 10000},
                          {22050, 48000, 5000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
        std::vector<int16_t> in(c.from / 2); // half a second of mono
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = static_cast<int16_t>(std::lround(16000 * std::sin(2 * M_PI * c.tone * static_cast<double>(i) / c.from)));
        testing::WriteFileBytes(dir.File("s.wav"), Wave16(1, c.from, in));
        TWaveAudioSource source(dir.File("s.wav"));
        TAudioResampler resampler(&source, static_cast<int32_t>(c.to), 1);
        EXPECT_EQ(resampler.GetSampleCount(), static_cast<int64_t>(c.to / 2));
        std::vector<int16_t> out(static_cast<size_t>(resampler.GetSampleCount()));
        // Read in odd pieces: the state carries across calls.
        for (size_t done = 0; done < out.size();) {
            const auto piece = static_cast<int32_t>(std::min<size_t>(777, out.size() - done));
            resampler.Read(out.data() + done, piece);
            done += static_cast<size_t>(piece);
        }
        EXPECT_GT(SineSnr(out, 1, 0, c.tone, c.to, 16000), 60.0);
    }
}

TEST(AudioResampler, KeepsSamplesAtTheSameRateAndMapsChannels) {
    testing::TempDir dir;
    const std::vector<int16_t> stereo = {100, -100, 32767, -32768, 7, 9};
    testing::WriteFileBytes(dir.File("s.wav"), Wave16(2, 48000, stereo));
    TWaveAudioSource source(dir.File("s.wav"));
    {
        TAudioResampler same(&source, 48000, 2);
        std::vector<int16_t> out(8);
        same.Read(out.data(), 4);
        EXPECT_EQ(out, (std::vector<int16_t>{100, -100, 32767, -32768, 7, 9, 0, 0}));
    }
    {
        TAudioResampler mono(&source, 48000, 1);
        std::vector<int16_t> out(3);
        mono.Read(out.data(), 3);
        EXPECT_EQ(out, (std::vector<int16_t>{0, -1, 8})); // (32767 - 32768) / 2 rounds away from zero
    }
    testing::WriteFileBytes(dir.File("m.wav"), Wave16(1, 48000, {5, -6}));
    TWaveAudioSource monoSource(dir.File("m.wav"));
    TAudioResampler up(&monoSource, 48000, 2);
    std::vector<int16_t> out(4);
    up.Read(out.data(), 2);
    EXPECT_EQ(out, (std::vector<int16_t>{5, 5, -6, -6}));

    TAudioResampler silent(nullptr, 48000, 2);
    std::vector<int16_t> quiet(6, 1);
    silent.Read(quiet.data(), 3);
    EXPECT_EQ(quiet, std::vector<int16_t>(6, 0));
}

} // namespace
} // namespace quillset
