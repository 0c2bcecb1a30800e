// MPEG-1 Layer I and II streams judged by independent tools: every sampling frequency and bit rate
// of both layers in every channel mode, with and without CRC, decodes without a message under
// ffmpeg's CRC checking and sounds like its source, its headers carry the configured layer, rate
// and channel mode; ffprobe reports layer, frequency, channels and rate, and the 44.1 kHz
// 224 kbit/s stream has the 731/732-byte padding pattern.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "encoder/audio/mpeg/mpeg_audio_encoder.h"
#include "stream/file_stream.h"
#include "tests/support/stream_oracles.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

using testing::Quote;
using testing::ReadFileBytes;
using testing::RunCommand;
using testing::TempDir;

constexpr int32_t kDecoderDelay = 481; // analysis and synthesis filterbank, in samples
// Eight Layer II frames (24 of Layer I): ffmpeg's probe wants a few frames after the first.
constexpr int32_t kSampleTimes = 8 * 1152;

// Two frames of silence, then left 440 Hz and right 660 Hz, each with its own noise, so that
// joint stereo has reason to use intensity coding at low rates. (The silence keeps the first two
// frames of every stream alike: ffmpeg's demuxer takes a first frame whose channel mode differs
// from the second's for junk and drops it, and a joint-stereo stream may well start with one
// intensity frame followed by a plain-stereo one.)
std::vector<int16_t> Source(int32_t frequency, int32_t sampleTimes = kSampleTimes) {
    std::mt19937 random(11);
    std::normal_distribution<double> noise(0.0, 300.0);
    std::vector<int16_t> out(static_cast<size_t>(sampleTimes) * 2);
    for (int32_t n = 2 * 1152; n < sampleTimes; ++n) {
        const double t = static_cast<double>(n) / frequency;
        out[2 * n] = static_cast<int16_t>(9000.0 * std::sin(2 * std::numbers::pi * 440.0 * t) + noise(random));
        out[2 * n + 1] = static_cast<int16_t>(9000.0 * std::sin(2 * std::numbers::pi * 660.0 * t) + noise(random));
    }
    return out;
}

struct StreamCase {
    uint8_t type;
    int32_t frequency;
    int32_t mode;
    int32_t bitRate;
    bool crc;
    std::string file;

    std::string Name() const {
        std::ostringstream s;
        s << "layer " << (type == 0 ? "I" : "II") << ", " << frequency << " Hz, mode " << mode << ", "
          << bitRate / 1000 << " kbit/s" << (crc ? ", CRC" : "");
        return s.str();
    }
};

// Every (layer, frequency, mode, bit rate) of the lists; CRC alternates along each bit-rate list,
// so every layer, frequency and mode is written both with and without it, and joint stereo at
// 64 kbit/s is written both ways.
std::vector<StreamCase> AllCases(const TempDir& dir) {
    std::vector<StreamCase> cases;
    for (uint8_t type : {uint8_t{0}, uint8_t{1}})
        for (int32_t frequency : {44100, 48000, 32000})
            for (int32_t mode = 0; mode < 4; ++mode) {
                bool crc = mode % 2 == 1;
                for (int32_t index = 1; index < 15; ++index) {
                    const int32_t rate = GetAudioBitRate(type, ChannelsOfMode(mode), index, frequency);
                    if (rate == 0)
                        continue;
                    const std::string file =
                        dir.File("s" + std::to_string(cases.size()) + (type == 0 ? ".mp1" : ".mp2"));
                    cases.push_back({type, frequency, mode, rate, crc, file});
                    // The lowest joint-stereo rate, where intensity coding is surest, both ways.
                    if (mode == 1 && rate == 64000)
                        cases.push_back({type, frequency, mode, rate, !crc, file + ".twin" + (type == 0 ? ".mp1" : ".mp2")});
                    crc = !crc;
                }
            }
    return cases;
}

void Encode(const StreamCase& c, const std::vector<int16_t>& pcm) {
    TMPEGAudioEncoder_EncodeConfig config;
    config.StreamType = c.type;
    config.SamplingFrequency = c.frequency;
    config.ChannelMode = c.mode;
    config.BitRate = c.bitRate;
    config.CalcCRC = c.crc;
    config.OriginalFlag = 1;
    TLargeFileStream out(c.file, FILE_ATTRIBUTE_NORMAL, fmCreate);
    TMPEGAudioEncoder encoder(out, config);
    TMPEGAudioEncoder_Samples samples;
    samples.SampleFormat = AudioSampleFormat_16Bit;
    samples.SamplingFrequency = c.frequency;
    samples.Channels = 2;
    samples.Data = pcm.data();
    samples.Count = static_cast<int32_t>(pcm.size() / 2);
    encoder.BeginEncode();
    encoder.PutSamples(samples);
    encoder.EndEncode();
}

// What the frame headers of a stream say about the channel mode (ISO/IEC 11172-3, 2.4.2.3), read
// frame by frame along the headers' own sizes.
struct HeaderWalk {
    bool valid = true;  // every frame starts with a sync word and the stream's layer, rate and frequency
    bool modesAsConfigured = true;
    int32_t frames = 0;
    int32_t intensityFrames = 0; // joint stereo frames with an intensity bound
};

HeaderWalk WalkHeaders(const StreamCase& c) {
    static constexpr int32_t kFrequencies[] = {44100, 48000, 32000};
    const std::string bytes = ReadFileBytes(c.file);
    HeaderWalk walk;
    size_t at = 0;
    while (at + 4 <= bytes.size()) {
        uint32_t w = 0;
        for (size_t i = 0; i < 4; ++i)
            w = (w << 8) | static_cast<uint8_t>(bytes[at + i]);
        const uint32_t layer = (w >> 17) & 3, rateIndex = (w >> 12) & 15, frequencyCode = (w >> 10) & 3;
        const uint32_t mode = (w >> 6) & 3, extension = (w >> 4) & 3, padding = (w >> 9) & 1;
        if ((w >> 20) != 0xFFF || layer != (c.type == 0 ? 3u : 2u) || frequencyCode > 2 ||
            kFrequencies[frequencyCode] != c.frequency || rateIndex == 0 || rateIndex > 14 ||
            GetAudioBitRate(c.type, ChannelsOfMode(c.mode), static_cast<int32_t>(rateIndex), c.frequency) != c.bitRate ||
            ((w >> 16) & 1) != (c.crc ? 0u : 1u)) {
            walk.valid = false;
            break;
        }
        if (c.mode == 1) {
            // Joint stereo frames that need no intensity coding say plain stereo.
            walk.modesAsConfigured &= mode == 1 || (mode == 0 && extension == 0);
            walk.intensityFrames += mode == 1 ? 1 : 0;
        } else {
            walk.modesAsConfigured &= mode == static_cast<uint32_t>(c.mode) && extension == 0;
        }
        ++walk.frames;
        at += c.type == 0 ? static_cast<size_t>(12 * c.bitRate / c.frequency + padding) * 4
                          : static_cast<size_t>(144 * c.bitRate / c.frequency + padding);
    }
    walk.valid &= at == bytes.size();
    return walk;
}

// ffmpeg decodes each input to `input + ".raw"` (16-bit, the stream's channels) with CRC checks;
// returns what it printed at level "error".
std::string DecodeBatch(const TempDir& dir, const std::vector<std::string>& inputs) {
    std::string command = "ffmpeg -v error -nostdin -y";
    for (const std::string& input : inputs)
        command += " -err_detect crccheck -i " + Quote(input); // an input option: one per input
    for (size_t i = 0; i < inputs.size(); ++i)
        command += " -map " + std::to_string(i) + ":a -f s16le " + Quote(inputs[i] + ".raw");
    const std::string log = dir.File("ffmpeg.log");
    const int status = RunCommand(command + " 2>" + Quote(log));
    std::string messages = ReadFileBytes(log);
    if (status != 0)
        messages += "(exit status " + std::to_string(status) + ")";
    return messages;
}

std::vector<int16_t> ReadRaw(const std::string& path) {
    const std::string bytes = ReadFileBytes(path);
    std::vector<int16_t> out(bytes.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    return out;
}

// SNR in dB of the decoded mix (L + R) against the source's, after the coder delay, over the
// samples both cover past the first frame.
double MixSNR(const std::vector<int16_t>& source, const std::vector<int16_t>& decoded, int32_t decodedChannels) {
    double signal = 0.0, noise = 0.0;
    for (int32_t n = 1152; n < kSampleTimes - kDecoderDelay; ++n) {
        const size_t at = static_cast<size_t>(n + kDecoderDelay) * decodedChannels;
        if (at + decodedChannels > decoded.size())
            break;
        const double s = (source[2 * n] + source[2 * n + 1]) / 2.0;
        const double d = decodedChannels == 2 ? (decoded[at] + decoded[at + 1]) / 2.0 : decoded[at];
        signal += s * s;
        noise += (s - d) * (s - d);
    }
    return 10.0 * std::log10(signal / std::max(noise, 1.0));
}

TEST(MPEGAudioConformanceTest, EveryRateAndModeDecodesCleanly) {
    QS_REQUIRE_TOOLS("ffmpeg");
    TempDir dir;
    const std::vector<StreamCase> cases = AllCases(dir);
    // Layer I: 6 rates for one channel, 13 for two; Layer II: 10 and 10; the joint-stereo twins.
    ASSERT_EQ(cases.size(), 3u * (6 + 3 * 13) + 3u * (10 + 3 * 10) + 2u * 3);
    for (const StreamCase& c : cases)
        Encode(c, Source(c.frequency));

    constexpr size_t kBatch = 48;
    for (size_t first = 0; first < cases.size(); first += kBatch) {
        std::vector<std::string> inputs;
        for (size_t i = first; i < std::min(cases.size(), first + kBatch); ++i)
            inputs.push_back(cases[i].file);
        const std::string messages = DecodeBatch(dir, inputs);
        if (messages.empty())
            continue;
        // Name the streams that fail on their own.
        for (size_t i = first; i < first + inputs.size(); ++i)
            EXPECT_EQ(DecodeBatch(dir, {cases[i].file}), "") << cases[i].Name();
    }
    // Intensity frames, per layer and CRC: the decoder must have met them for the clean decode to
    // cover them. (Protected Layer I streams never use intensity coding, see the encoder.)
    int32_t intensity[2][2] = {};
    for (const StreamCase& c : cases) {
        const HeaderWalk walk = WalkHeaders(c);
        EXPECT_TRUE(walk.valid) << c.Name() << ": frame " << walk.frames;
        EXPECT_TRUE(walk.modesAsConfigured) << c.Name();
        EXPECT_EQ(walk.frames, c.type == 0 ? kSampleTimes / 384 : kSampleTimes / 1152) << c.Name();
        intensity[c.type][c.crc ? 1 : 0] += walk.intensityFrames;
    }
    EXPECT_GT(intensity[0][0], 0) << "layer I";
    EXPECT_GT(intensity[1][0], 0) << "layer II";
    EXPECT_GT(intensity[1][1], 0) << "layer II with CRC";
    for (const StreamCase& c : cases) {
        const int32_t channels = ChannelsOfMode(c.mode);
        const std::vector<int16_t> decoded = ReadRaw(c.file + ".raw");
        EXPECT_GE(static_cast<int32_t>(decoded.size()), kSampleTimes * channels) << c.Name();
        // The two tones stay well above the coding noise, even in the 32-byte frames of 32 kbit/s.
        const double floor = c.bitRate / channels < 56000 ? 9.0 : 20.0;
        EXPECT_GT(MixSNR(Source(c.frequency), decoded, channels), floor) << c.Name();
    }
}

TEST(MPEGAudioConformanceTest, FfprobeReportsLayerFrequencyChannelsAndRate) {
    QS_REQUIRE_TOOLS("ffprobe");
    TempDir dir;
    const std::vector<StreamCase> all = AllCases(dir);
    // Per layer and frequency one single-channel stream and one two-channel stream (stereo,
    // joint stereo and dual channel in turn), their rates taken further along the lists each time.
    std::vector<StreamCase> cases;
    for (size_t i = 0; i < all.size();) {
        size_t end = i; // the end of this (layer, frequency, mode) list
        while (end < all.size() && all[end].mode == all[i].mode && all[end].frequency == all[i].frequency &&
               all[end].type == all[i].type)
            ++end;
        const int32_t turn = static_cast<int32_t>(cases.size());
        if (all[i].mode == 3 || all[i].mode == (turn / 2) % 3)
            cases.push_back(all[i + static_cast<size_t>(turn * 7) % (end - i)]);
        i = end;
    }
    ASSERT_EQ(cases.size(), 12u);
    for (const StreamCase& c : cases) {
        Encode(c, Source(c.frequency));
        const std::string out = c.file + ".txt";
        ASSERT_EQ(RunCommand("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,bit_rate "
                             "-of default=noprint_wrappers=1 " +
                             Quote(c.file) + " >" + Quote(out)),
                  0);
        std::ostringstream expected;
        expected << "codec_name=" << (c.type == 0 ? "mp1" : "mp2") << "\nsample_rate=" << c.frequency
                 << "\nchannels=" << ChannelsOfMode(c.mode) << "\nbit_rate=" << c.bitRate << "\n";
        EXPECT_EQ(ReadFileBytes(out), expected.str()) << c.Name();
    }
}

TEST(MPEGAudioConformanceTest, PaddingPatternAt44100Hz224kbits) {
    QS_REQUIRE_TOOLS("ffprobe");
    TempDir dir;
    const StreamCase c{1, 44100, 1, 224000, true, dir.File("padding.mp2")};
    Encode(c, Source(c.frequency, 7 * 1152 + 100)); // 7 frames and the rest in an eighth
    const std::string out = dir.File("sizes.txt");
    ASSERT_EQ(RunCommand("ffprobe -v error -show_entries packet=size -of csv=p=0 " + Quote(c.file) + " >" +
                         Quote(out)),
              0);
    // S = 731 3/7 slots: the accumulator pads frames 2, 4 and 6 of every 7.
    EXPECT_EQ(ReadFileBytes(out), "731\n732\n731\n732\n731\n732\n731\n731\n");
}

TEST(MPEGAudioConformanceTest, CrcCheckingIsReallyOn) {
    // A control for the decode test: one flipped bit in a protected Layer II allocation field
    // must make ffmpeg complain, else a clean decode would prove nothing about the CRC.
    QS_REQUIRE_TOOLS("ffmpeg");
    TempDir dir;
    const StreamCase c{1, 48000, 0, 256000, true, dir.File("crc.mp2")};
    Encode(c, Source(c.frequency));
    EXPECT_EQ(DecodeBatch(dir, {c.file}), "");
    std::string bytes = ReadFileBytes(c.file);
    bytes[6] = static_cast<char>(bytes[6] ^ 0x10); // the first allocation fields follow the CRC
    testing::WriteFileBytes(c.file, bytes);
    EXPECT_NE(DecodeBatch(dir, {c.file}), "");
}

} // namespace
} // namespace quillset
