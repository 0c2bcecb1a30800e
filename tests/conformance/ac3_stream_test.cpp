// AC-3 streams of every configuration the program offers, judged by ffmpeg: each decodes without
// a message (CRCs checked), and ffprobe reports the configured sampling frequency, channels and
// bit rate; 600 frames at 48 kHz hold 19.2 s.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "encoder/audio/ac3/dolby_ac3_encoder.h"
#include "stream/file_stream.h"
#include "tests/support/stream_oracles.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

using testing::ReadFileBytes;
using testing::RunCommand;
using testing::TempDir;

struct StreamCase {
    int32_t frequency;
    int32_t channelMode; // 0 stereo, 2 dual mono, 3 mono
    int32_t bitRate;
};

std::vector<StreamCase> AllOfferedStreams() {
    std::vector<StreamCase> cases;
    for (int32_t frequency : {48000, 32000}) {
        for (int32_t mode : {0, 2, 3}) {
            const int32_t channels = ChannelsOfMode(mode);
            for (int32_t index = 0; index < 16; ++index) {
                const int32_t rate = GetAudioBitRate(MPEGAudioEncoder_StreamType_Dolby_AC3, channels, index, frequency);
                if (rate > 0)
                    cases.push_back({frequency, mode, rate});
            }
        }
    }
    return cases;
}

// Music-like test sound: two tones with a vibrato, noise bursts and clicks (block switching).
std::vector<int16_t> TestSound(int32_t times, int32_t channels, int32_t rate) {
    std::vector<int16_t> out;
    uint32_t seed = 12345;
    for (int32_t i = 0; i < times; ++i) {
        seed = seed * 1103515245u + 12345u;
        const double noise = ((seed >> 16) & 0x7fff) / 16384.0 - 1.0;
        const double t = double(i) / rate;
        const bool burst = (i / 2400) % 5 == 3;
        const double click = i % 9000 < 40 ? 0.6 : 0.0;
        const double left = 0.3 * std::sin(2 * std::numbers::pi * 440 * t + 3 * std::sin(2 * std::numbers::pi * 5 * t)) +
                            (burst ? 0.2 * noise : 0.0) + click;
        const double right = 0.25 * std::sin(2 * std::numbers::pi * 1250 * t) + 0.05 * noise;
        out.push_back(static_cast<int16_t>(std::lround(std::clamp(left, -1.0, 1.0) * 32767)));
        if (channels == 2)
            out.push_back(static_cast<int16_t>(std::lround(std::clamp(right, -1.0, 1.0) * 32767)));
    }
    return out;
}

void EncodeFile(const std::string& path, const StreamCase& c, int32_t times) {
    TLargeFileStream file(path, FILE_ATTRIBUTE_NORMAL, fmCreate);
    TMPEGAudioEncoder_EncodeConfig config;
    config.StreamType = MPEGAudioEncoder_StreamType_Dolby_AC3;
    config.SamplingFrequency = c.frequency;
    config.ChannelMode = c.channelMode;
    config.BitRate = c.bitRate;
    TDolbyAC3AudioEncoder encoder(file, "", config);
    const int32_t channels = ChannelsOfMode(c.channelMode);
    const std::vector<int16_t> sound = TestSound(times, channels, c.frequency);
    // Blocks of 16384 bytes at most, as the encode run hands them over.
    const int32_t perBlock = 16384 / (2 * channels);
    for (int32_t at = 0; at < times; at += perBlock) {
        TMPEGAudioEncoder_Samples block;
        block.SampleFormat = AudioSampleFormat_16Bit;
        block.SamplingFrequency = c.frequency;
        block.Channels = channels;
        block.Data = sound.data() + static_cast<size_t>(at) * channels;
        block.Count = std::min(perBlock, times - at);
        encoder.PutSamples(block);
    }
    encoder.EndEncode();
}

// ffprobe's report as key=value lines, its messages in "messages". The format is named: a few
// large frames are too little for ffprobe's guess.
std::map<std::string, std::string> Probe(const TempDir& dir, const std::string& file) {
    const std::string report = dir.File("probe.txt"), messages = dir.File("probe.err");
    const int status = RunCommand("ffprobe -v error -f ac3 -err_detect crccheck -count_frames -show_entries "
                                  "stream=sample_rate,channels,channel_layout,bit_rate,nb_read_frames:format=duration "
                                  "-of default=nw=1 '" + file + "' > '" + report + "' 2> '" + messages + "'");
    std::map<std::string, std::string> values;
    std::istringstream lines(ReadFileBytes(report));
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    values["status"] = std::to_string(status);
    values["messages"] = ReadFileBytes(messages);
    return values;
}

TEST(AC3StreamConformanceTest, EveryOfferedConfigurationDecodes) {
    QS_REQUIRE_TOOLS("ffprobe");
    TempDir dir;
    const std::vector<StreamCase> cases = AllOfferedStreams();
    ASSERT_EQ(cases.size(), 2u * (8 + 8 + 9)); // stereo and dual mono 128..448, mono 64..256
    constexpr int32_t kFrames = 6;
    for (const StreamCase& c : cases) {
        const std::string file = dir.File("stream.ac3");
        EncodeFile(file, c, kFrames * 1536);
        const std::string bytes = ReadFileBytes(file);
        std::map<std::string, std::string> report = Probe(dir, file);
        SCOPED_TRACE(::testing::Message() << c.frequency << " Hz, mode " << c.channelMode << ", " << c.bitRate);
        EXPECT_EQ(report["status"], "0");
        EXPECT_EQ(report["messages"], "");
        EXPECT_EQ(report["sample_rate"], std::to_string(c.frequency));
        EXPECT_EQ(report["bit_rate"], std::to_string(c.bitRate));
        EXPECT_EQ(report["nb_read_frames"], std::to_string(kFrames));
        EXPECT_EQ(report["channel_layout"], c.channelMode == 3 ? "mono" : "stereo");
        // ffmpeg reports 1+1 as two channels; the coding mode itself is in the header.
        ASSERT_GT(bytes.size(), 6u);
        EXPECT_EQ(static_cast<uint8_t>(bytes[6]) >> 5, c.channelMode == 0 ? 2 : (c.channelMode == 3 ? 1 : 0));
    }
}

TEST(AC3StreamConformanceTest, SixHundredFramesHold19Point2Seconds) {
    QS_REQUIRE_TOOLS("ffprobe");
    TempDir dir;
    const std::string file = dir.File("long.ac3");
    EncodeFile(file, {48000, 0, 448000}, 600 * 1536);
    EXPECT_EQ(ReadFileBytes(file).size(), 600u * 1792);
    std::map<std::string, std::string> report = Probe(dir, file);
    EXPECT_EQ(report["messages"], "");
    EXPECT_EQ(report["nb_read_frames"], "600");
    EXPECT_NEAR(std::stod(report["duration"]), 19.2, 1e-6);
}

} // namespace
} // namespace quillset
