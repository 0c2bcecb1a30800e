// The encoder's contract: configuration checks, sample conversion and resampling, frame sizes
// and padding, header fields, the joint stereo decision and the end of a stream.
#include "encoder/audio/mpeg/mpeg_audio_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/tests/audio/audio_encoder_test_util.h"
#include "stream/memory_stream.h"

namespace quillset {
namespace {

using testing::Block16;

TMPEGAudioEncoder_EncodeConfig Config(uint8_t type, int32_t frequency, int32_t mode, int32_t kbps) {
    return testing::EncodeConfig(type, frequency, mode, kbps * 1000);
}

std::vector<uint8_t> Bytes(TLargeMemoryStream& stream) {
    const auto* p = static_cast<const uint8_t*>(stream.GetMemory());
    return std::vector<uint8_t>(p, p + stream.GetSize());
}

// The fields of one frame header (ISO/IEC 11172-3, 2.4.2.3).
struct Header {
    uint32_t sync, id, layer, protection, bitRateIndex, frequency, padding, privateBit, mode, modeExtension,
        copyright, original, emphasis;
};

Header ParseHeader(const uint8_t* p) {
    const uint32_t w = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
    return {w >> 20,         (w >> 19) & 1, (w >> 17) & 3, (w >> 16) & 1, (w >> 12) & 15, (w >> 10) & 3, (w >> 9) & 1,
            (w >> 8) & 1,    (w >> 6) & 3,  (w >> 4) & 3,  (w >> 3) & 1,  (w >> 2) & 1,   w & 3};
}

// Walks the stream frame by frame by the headers' sizes; every frame must start with a sync word.
std::vector<Header> Frames(const std::vector<uint8_t>& stream, std::vector<int32_t>* sizes = nullptr) {
    static constexpr int32_t kLayer1Kbps[] = {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448};
    static constexpr int32_t kLayer2Kbps[] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    static constexpr int32_t kFrequencies[] = {44100, 48000, 32000};
    std::vector<Header> out;
    size_t at = 0;
    while (at + 4 <= stream.size()) {
        const Header h = ParseHeader(stream.data() + at);
        EXPECT_EQ(h.sync, 0xFFFu) << "frame " << out.size() << " at " << at;
        if (h.sync != 0xFFF || h.bitRateIndex == 0 || h.bitRateIndex > 14 || h.frequency > 2)
            break;
        const int32_t fs = kFrequencies[h.frequency];
        const int32_t size = h.layer == 3 ? (12 * kLayer1Kbps[h.bitRateIndex] * 1000 / fs + h.padding) * 4
                                          : 144 * kLayer2Kbps[h.bitRateIndex] * 1000 / fs + h.padding;
        out.push_back(h);
        if (sizes)
            sizes->push_back(size);
        at += static_cast<size_t>(size);
    }
    EXPECT_EQ(at, stream.size()) << "the frames must fill the stream exactly";
    return out;
}

std::vector<int16_t> Sine(int32_t count, int32_t channels, double frequency, int32_t fs, double amplitude = 12000.0) {
    std::vector<int16_t> out(static_cast<size_t>(count) * channels);
    for (int32_t n = 0; n < count; ++n)
        for (int32_t c = 0; c < channels; ++c)
            out[static_cast<size_t>(n) * channels + c] = static_cast<int16_t>(
                std::lround(amplitude * std::sin(2.0 * std::numbers::pi * frequency * (c + 1) * n / fs)));
    return out;
}

// ---- configuration ------------------------------------------------------------------------------

struct ConfigCase {
    const char* name;
    uint8_t type;
    int32_t frequency;
    int32_t mode;
    int32_t kbps;
    uint32_t code; // 0: accepted
};

class MPEGAudioEncoderConfigTest : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(MPEGAudioEncoderConfigTest, ChecksInOrder) {
    const ConfigCase& c = GetParam();
    TLargeMemoryStream out;
    const TMPEGAudioEncoder_EncodeConfig config = Config(c.type, c.frequency, c.mode, c.kbps);
    if (c.code == 0) {
        EXPECT_NO_THROW(TMPEGAudioEncoder(out, config)) << c.name;
        return;
    }
    try {
        TMPEGAudioEncoder encoder(out, config);
        FAIL() << c.name << " accepted";
    } catch (const EMPEGAudioEncoderError& e) {
        EXPECT_EQ(e.ErrorCode, c.code) << c.name;
        // The codes and texts users and callers see, written out rather than taken from the
        // error table, so that a slipped table entry shows too.
        const char* text = c.code == 0xD061302C   ? "Layer-3 encode is not supported."
                           : c.code == 0xD061302D ? "Illegal bitrate"
                           : c.code == 0xD061302E ? "Invalid Channel mode"
                           : c.code == 0xD061302F ? "Illegal sample format"
                                                  : "(unexpected code)";
        EXPECT_STREQ(e.what(), text) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Configs, MPEGAudioEncoderConfigTest,
    ::testing::Values(ConfigCase{"layer II stereo 224", 1, 44100, 0, 224, 0},
                      ConfigCase{"layer I mono 32", 0, 32000, 3, 32, 0},
                      ConfigCase{"layer I joint 448", 0, 48000, 1, 448, 0},
                      ConfigCase{"layer II mono 192", 1, 48000, 3, 192, 0},
                      ConfigCase{"layer II dual 64", 1, 48000, 2, 64, 0},
                      ConfigCase{"layer III", 2, 44100, 0, 128, MPEGError_Layer3NotSupported},
                      ConfigCase{"AC-3", 3, 48000, 0, 192, MPEGError_Layer3NotSupported},
                      ConfigCase{"LPCM", 4, 48000, 0, 1536, MPEGError_Layer3NotSupported},
                      ConfigCase{"type 9 before frequency", 9, 0, 9, 0, MPEGError_Layer3NotSupported},
                      ConfigCase{"22050 Hz", 1, 22050, 0, 128, MPEGError_IllegalSampleFormat},
                      ConfigCase{"0 Hz before mode", 1, 0, 7, 128, MPEGError_IllegalSampleFormat},
                      ConfigCase{"mode 4", 1, 44100, 4, 128, MPEGError_InvalidChannelMode},
                      ConfigCase{"mode -1", 1, 44100, -1, 128, MPEGError_InvalidChannelMode},
                      ConfigCase{"layer II stereo 32", 1, 44100, 0, 32, MPEGError_IllegalBitrate},
                      ConfigCase{"layer II stereo 80", 1, 44100, 1, 80, MPEGError_IllegalBitrate},
                      ConfigCase{"layer II mono 224", 1, 44100, 3, 224, MPEGError_IllegalBitrate},
                      ConfigCase{"layer I mono 224", 0, 44100, 3, 224, MPEGError_IllegalBitrate},
                      ConfigCase{"layer II 0 (free format)", 1, 44100, 0, 0, MPEGError_IllegalBitrate},
                      ConfigCase{"layer II 100", 1, 44100, 0, 100, MPEGError_IllegalBitrate}),
    [](const ::testing::TestParamInfo<ConfigCase>& caseInfo) {
        std::string name = caseInfo.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST(MPEGAudioEncoderTest, ReportsConfigRateAndDescriptor) {
    TLargeMemoryStream out;
    TMPEGAudioEncoder_EncodeConfig config = Config(1, 48000, 1, 256);
    config.CalcCRC = 1;
    config.EmphasisType = 1;
    TMPEGAudioEncoder encoder(out, config);
    TMPEGAudioEncoder_EncodeConfig back;
    encoder.GetConfig(back);
    EXPECT_EQ(back.BitRate, 256000);
    EXPECT_EQ(back.CalcCRC, 1);
    EXPECT_EQ(back.EmphasisType, 1);
    EXPECT_DOUBLE_EQ(static_cast<double>(encoder.GetFrameRate()), 48000.0 / 1152.0);
    TMPEGAudioStreamDescriptor descriptor{};
    EXPECT_EQ(encoder.GetStreamDescriptor(descriptor), 3);
    EXPECT_EQ(descriptor, (TMPEGAudioStreamDescriptor{3, 0, 0, 0, 0, 1}));
    TLargeMemoryStream out1;
    TMPEGAudioEncoder layer1(out1, Config(0, 32000, 3, 64));
    EXPECT_DOUBLE_EQ(static_cast<double>(layer1.GetFrameRate()), 32000.0 / 384.0);
}

// ---- frames -------------------------------------------------------------------------------------

TEST(MPEGAudioEncoderTest, PaddingFollowsTheAccumulator) {
    // 44.1 kHz, 224 kbit/s: S = 144 x 224000 / 44100 = 731 3/7, so three frames in every seven
    // are padded to 732 bytes, the first of them the second frame.
    TLargeMemoryStream out;
    TMPEGAudioEncoder encoder(out, Config(1, 44100, 0, 224));
    const std::vector<int16_t> pcm = Sine(1152 * 14, 2, 440.0, 44100);
    encoder.PutSamples(Block16(pcm, 2, 44100));
    encoder.EndEncode();
    std::vector<int32_t> sizes;
    const std::vector<Header> frames = Frames(Bytes(out), &sizes);
    ASSERT_EQ(frames.size(), 14u);
    const std::vector<int32_t> pattern = {731, 732, 731, 732, 731, 732, 731};
    for (size_t i = 0; i < sizes.size(); ++i) {
        EXPECT_EQ(sizes[i], pattern[i % 7]) << "frame " << i;
        EXPECT_EQ(frames[i].padding, pattern[i % 7] == 732 ? 1u : 0u) << "frame " << i;
    }
    EXPECT_EQ(encoder.GetFrameCount(), 14);
}

TEST(MPEGAudioEncoderTest, FrameSizesOfTheLayers) {
    struct Case {
        uint8_t type;
        int32_t frequency, mode, kbps;
        int32_t unpadded; // bytes
        bool padded;      // some frames carry a padding slot
    };
    for (const Case& c : {Case{1, 48000, 0, 384, 1152, false}, Case{1, 32000, 3, 32, 144, false},
                          Case{0, 44100, 0, 448, 4 * 121, true}, Case{0, 48000, 3, 32, 32, false},
                          Case{0, 32000, 2, 64, 96, false}, Case{1, 44100, 3, 56, 182, true}}) {
        TLargeMemoryStream out;
        TMPEGAudioEncoder encoder(out, Config(c.type, c.frequency, c.mode, c.kbps));
        const int32_t spf = encoder.GetSamplesPerFrame();
        encoder.PutSamples(Block16(Sine(spf * 20, 1, 1000.0, c.frequency), 1, c.frequency));
        encoder.EndEncode();
        std::vector<int32_t> sizes;
        Frames(Bytes(out), &sizes);
        ASSERT_EQ(sizes.size(), 20u) << c.kbps;
        bool anyPadded = false;
        for (int32_t size : sizes) {
            EXPECT_TRUE(size == c.unpadded || size == c.unpadded + (c.type == 0 ? 4 : 1)) << size;
            anyPadded = anyPadded || size != c.unpadded;
        }
        EXPECT_EQ(anyPadded, c.padded) << int{c.type} << " " << c.frequency << " " << c.kbps;
    }
}

struct HeaderCase {
    uint8_t type;
    int32_t frequency, mode, kbps;
    bool crc, privateBit, copyright, original;
    int32_t emphasis;
    uint32_t bitRateIndex, frequencyCode;
};

class MPEGAudioHeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(MPEGAudioHeaderTest, FieldsComeFromTheConfiguration) {
    const HeaderCase& c = GetParam();
    TMPEGAudioEncoder_EncodeConfig config = Config(c.type, c.frequency, c.mode, c.kbps);
    config.CalcCRC = c.crc;
    config.PrivateFlag = c.privateBit;
    config.CopyrightFlag = c.copyright;
    config.OriginalFlag = c.original;
    config.EmphasisType = c.emphasis;
    TLargeMemoryStream out;
    TMPEGAudioEncoder encoder(out, config);
    encoder.PutSamples(Block16(Sine(4000, 2, 300.0, c.frequency), 2, c.frequency));
    encoder.EndEncode();
    const std::vector<Header> frames = Frames(Bytes(out));
    ASSERT_FALSE(frames.empty());
    for (const Header& h : frames) {
        EXPECT_EQ(h.id, 1u);
        EXPECT_EQ(h.layer, c.type == 0 ? 3u : 2u);
        EXPECT_EQ(h.protection, c.crc ? 0u : 1u);
        EXPECT_EQ(h.bitRateIndex, c.bitRateIndex);
        EXPECT_EQ(h.frequency, c.frequencyCode);
        EXPECT_EQ(h.privateBit, c.privateBit ? 1u : 0u);
        EXPECT_EQ(h.copyright, c.copyright ? 1u : 0u);
        EXPECT_EQ(h.original, c.original ? 1u : 0u);
        EXPECT_EQ(h.emphasis, static_cast<uint32_t>(c.emphasis));
        if (c.mode != 1) {
            EXPECT_EQ(h.mode, static_cast<uint32_t>(c.mode));
            EXPECT_EQ(h.modeExtension, 0u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Headers, MPEGAudioHeaderTest,
                         ::testing::Values(HeaderCase{1, 44100, 0, 224, false, false, false, false, 0, 11, 0},
                                           HeaderCase{1, 48000, 2, 384, true, true, false, true, 1, 14, 1},
                                           HeaderCase{1, 32000, 3, 32, true, false, true, false, 3, 1, 2},
                                           HeaderCase{0, 44100, 3, 32, false, true, true, true, 0, 1, 0},
                                           HeaderCase{0, 48000, 0, 448, true, false, false, true, 1, 14, 1},
                                           HeaderCase{0, 32000, 2, 64, false, false, true, false, 0, 2, 2}));

TEST(MPEGAudioEncoderTest, JointStereoAtAHighRateIsCodedAsPlainStereo) {
    TLargeMemoryStream out;
    TMPEGAudioEncoder encoder(out, Config(1, 48000, 1, 384));
    encoder.PutSamples(Block16(Sine(1152 * 8, 2, 500.0, 48000), 2, 48000));
    encoder.EndEncode();
    for (const Header& h : Frames(Bytes(out))) {
        EXPECT_EQ(h.mode, 0u);
        EXPECT_EQ(h.modeExtension, 0u);
    }
}

// A quarter second of 48 kHz stereo: a loud, independent noise in each channel.
std::vector<int16_t> IndependentNoises() {
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0.0, 6000.0);
    std::vector<int16_t> pcm(48000 * 2 / 4);
    for (int16_t& x : pcm)
        x = static_cast<int16_t>(std::clamp(noise(random), -32768.0, 32767.0));
    return pcm;
}

TEST(MPEGAudioEncoderTest, JointStereoAtALowRateUsesIntensityStereo) {
    // Two independent noises leave no room at 128 kbit/s: frames become joint stereo with an
    // intensity bound.
    const std::vector<int16_t> pcm = IndependentNoises();
    for (uint8_t type : {uint8_t{0}, uint8_t{1}}) {
        TLargeMemoryStream out;
        TMPEGAudioEncoder encoder(out, Config(type, 48000, 1, 128));
        encoder.PutSamples(Block16(pcm, 2, 48000));
        encoder.EndEncode();
        int32_t joint = 0;
        const std::vector<Header> frames = Frames(Bytes(out));
        for (const Header& h : frames)
            joint += h.mode == 1 ? 1 : 0;
        EXPECT_GT(joint, static_cast<int32_t>(frames.size()) / 2) << "layer " << (type == 0 ? "I" : "II");
    }
}

TEST(MPEGAudioEncoderTest, ProtectedLayer1JointStereoStaysPlainStereo) {
    // ffmpeg checks a fixed 256 allocation bits in two-channel Layer I frames, which intensity
    // frames do not have: with CRC the encoder does not use intensity coding in Layer I.
    const std::vector<int16_t> pcm = IndependentNoises();
    TLargeMemoryStream out;
    TMPEGAudioEncoder_EncodeConfig config = Config(0, 48000, 1, 128);
    config.CalcCRC = 1;
    TMPEGAudioEncoder encoder(out, config);
    encoder.PutSamples(Block16(pcm, 2, 48000));
    encoder.EndEncode();
    for (const Header& h : Frames(Bytes(out))) {
        EXPECT_EQ(h.mode, 0u);
        EXPECT_EQ(h.protection, 0u);
    }
}

// ---- samples ------------------------------------------------------------------------------------

TEST(MPEGAudioEncoderTest, EightBitMonoAtHalfRateRepeatsEverySampleInBothChannels) {
    TLargeMemoryStream out;
    TMPEGAudioEncoder encoder(out, Config(1, 44100, 0, 192));
    std::vector<uint8_t> data(100);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 37 % 256);
    TMPEGAudioEncoder_Samples samples;
    samples.SampleFormat = AudioSampleFormat_8Bit;
    samples.SamplingFrequency = 22050;
    samples.Channels = 1;
    samples.Data = data.data();
    samples.Count = static_cast<int32_t>(data.size());
    encoder.PutSamples(samples);
    EXPECT_EQ(encoder.GetSourceStep(), 512);
    ASSERT_EQ(encoder.GetPendingCount(), 200);
    for (int32_t i = 0; i < 200; ++i) {
        const int32_t expected = (data[i / 2] - 128) * 256;
        EXPECT_EQ(encoder.GetPendingSamples(0)[i], expected) << i;
        EXPECT_EQ(encoder.GetPendingSamples(1)[i], expected) << i;
    }
}

TEST(MPEGAudioEncoderTest, StereoToMonoConversions) {
    TLargeMemoryStream out;
    TMPEGAudioEncoder encoder(out, Config(1, 48000, 3, 192));
    // 16-bit: (L + R) / 2 truncated toward zero.
    const std::vector<int16_t> pcm = {3, 0, -3, 0, 32767, 32767, -32768, -32767, 100, -101};
    encoder.PutSamples(Block16(pcm, 2, 48000));
    // 8-bit: (L + R - 256) x 128.
    const std::vector<uint8_t> bytes = {255, 255, 0, 1, 128, 129};
    TMPEGAudioEncoder_Samples samples;
    samples.SampleFormat = AudioSampleFormat_8Bit;
    samples.SamplingFrequency = 48000;
    samples.Channels = 2;
    samples.Data = bytes.data();
    samples.Count = 3;
    encoder.PutSamples(samples);
    const std::vector<int32_t> expected = {1, -1, 32767, -32767, 0, 254 * 128, -255 * 128, 1 * 128};
    ASSERT_EQ(encoder.GetPendingCount(), static_cast<int32_t>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(encoder.GetPendingSamples(0)[i], expected[i]) << i;
}

TEST(MPEGAudioEncoderTest, ResamplingCarriesTheFractionAcrossBlocks) {
    // 44.1 kHz into 48 kHz in blocks of odd sizes gives the same samples as one block.
    const std::vector<int16_t> pcm = Sine(1000, 1, 700.0, 44100);
    TLargeMemoryStream outA, outB;
    TMPEGAudioEncoder whole(outA, Config(1, 48000, 3, 64)), pieces(outB, Config(1, 48000, 3, 64));
    whole.PutSamples(Block16(pcm, 1, 44100));
    for (size_t at = 0; at < pcm.size(); at += 77) {
        const std::vector<int16_t> part(pcm.begin() + static_cast<ptrdiff_t>(at),
                                        pcm.begin() + static_cast<ptrdiff_t>(std::min(pcm.size(), at + 77)));
        pieces.PutSamples(Block16(part, 1, 44100));
    }
    EXPECT_EQ(whole.GetSourceStep(), 941); // 44100 / 48000 x 1024 = 940.8
    ASSERT_EQ(whole.GetPendingCount(), pieces.GetPendingCount());
    EXPECT_EQ(whole.GetPendingCount(), 1089); // ceil(1000 x 1024 / 941)
    for (int32_t i = 0; i < whole.GetPendingCount(); ++i)
        ASSERT_EQ(whole.GetPendingSamples(0)[i], pieces.GetPendingSamples(0)[i]) << i;
}

TEST(MPEGAudioEncoderTest, SilentBlocksAndMissingData) {
    TLargeMemoryStream out;
    TMPEGAudioEncoder encoder(out, Config(1, 48000, 0, 192));
    TMPEGAudioEncoder_Samples silence;
    silence.SampleFormat = AudioSampleFormat_None;
    silence.SamplingFrequency = 48000;
    silence.Count = 1152 + 10;
    encoder.PutSamples(silence);
    EXPECT_EQ(encoder.GetFrameCount(), 1);
    EXPECT_EQ(encoder.GetPendingCount(), 10);
    TMPEGAudioEncoder_Samples empty;
    empty.SampleFormat = AudioSampleFormat_16Bit;
    empty.SamplingFrequency = 48000;
    empty.Channels = 2;
    empty.Count = 500; // no data: nothing happens
    encoder.PutSamples(empty);
    EXPECT_EQ(encoder.GetPendingCount(), 10);
}

TEST(MPEGAudioEncoderTest, UnreadableBlocksRaiseTheSampleFormatError) {
    struct Case {
        const char* name;
        int32_t format, frequency, channels, count;
    };
    const std::vector<int16_t> pcm(64, 0);
    for (const Case& c : {Case{"format 3", 3, 48000, 2, 10}, Case{"format -1", -1, 48000, 2, 10},
                          Case{"3 channels", 2, 48000, 3, 10}, Case{"0 channels", 1, 48000, 0, 10},
                          Case{"0 Hz", 2, 0, 2, 10}, Case{"1 Hz", 2, 1, 2, 10}, Case{"negative count", 2, 48000, 2, -1}}) {
        TLargeMemoryStream out;
        TMPEGAudioEncoder encoder(out, Config(1, 48000, 0, 192));
        TMPEGAudioEncoder_Samples samples;
        samples.SampleFormat = c.format;
        samples.SamplingFrequency = c.frequency;
        samples.Channels = c.channels;
        samples.Data = pcm.data();
        samples.Count = c.count;
        try {
            encoder.PutSamples(samples);
            ADD_FAILURE() << c.name << " accepted";
        } catch (const EMPEGAudioEncoderError& e) {
            EXPECT_EQ(e.ErrorCode, MPEGError_IllegalSampleBlockFormat) << c.name;
            EXPECT_STREQ(e.what(), "Illegal sample format") << c.name;
        }
    }
}

// ---- the end of a stream ------------------------------------------------------------------------

TEST(MPEGAudioEncoderTest, NoSamplesStillGiveOneFrame) {
    for (uint8_t type : {uint8_t{0}, uint8_t{1}}) {
        TLargeMemoryStream out;
        TMPEGAudioEncoder encoder(out, Config(type, 48000, 1, 192));
        encoder.BeginEncode();
        encoder.EndEncode();
        encoder.EndEncode(); // only the first call acts
        std::vector<int32_t> sizes;
        Frames(Bytes(out), &sizes);
        ASSERT_EQ(sizes.size(), 1u);
        EXPECT_EQ(sizes[0], type == 0 ? 192 : 576);
        EXPECT_EQ(encoder.GetFrameCount(), 1);
    }
}

TEST(MPEGAudioEncoderTest, PendingSamplesMakeALastFrame) {
    struct Case {
        int32_t samples;
        int32_t frames;
    };
    for (const Case& c : {Case{1, 1}, Case{1152, 1}, Case{1153, 2}, Case{1152 * 3 - 1, 3}}) {
        TLargeMemoryStream out;
        TMPEGAudioEncoder encoder(out, Config(1, 48000, 0, 192));
        int32_t notified = 0;
        encoder.OnNotify = [&](TMPEGBaseEncoder*) { ++notified; };
        encoder.PutSamples(Block16(Sine(c.samples, 2, 440.0, 48000), 2, 48000));
        encoder.EndEncode();
        EXPECT_EQ(static_cast<int32_t>(Frames(Bytes(out)).size()), c.frames) << c.samples;
        EXPECT_EQ(encoder.GetFrameCount(), c.frames) << c.samples;
        EXPECT_EQ(notified, c.frames) << c.samples;
    }
}

} // namespace
} // namespace quillset
