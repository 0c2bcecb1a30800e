#include "encoder/audio/ac3/dolby_ac3_encoder.h"

#include <gtest/gtest.h>

#include <memory>

#include "encoder/audio/ac3/ac3_frame_size.h"
#include "encoder/audio/ac3/ac3_library.h"
#include "encoder/framework/mpeg_errors.h"
#include "encoder/tests/audio/ac3/ac3_test_util.h"

namespace quillset {
namespace {

using namespace quillset::testing;

// ---- configuration ---------------------------------------------------------------------------

struct ConfigCase {
    const char* name;
    uint8_t streamType;
    int32_t frequency, channelMode, bitRate;
    uint32_t code;                                       // 0: accepted
    int32_t acMode = 0, bitRateCode = 0, frequencyCode = 0; // of an accepted configuration
};

class AC3EncoderConfigTest : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(AC3EncoderConfigTest, ChecksInOrderAndDerivesTheCodes) {
    const ConfigCase& c = GetParam();
    TMPEGAudioEncoder_EncodeConfig config = AC3Config(c.frequency, c.channelMode, c.bitRate);
    config.StreamType = c.streamType;
    TLargeMemoryStream out;
    if (c.code != 0) {
        try {
            TDolbyAC3AudioEncoder encoder(out, "", config);
            FAIL() << "accepted";
        } catch (const EDolbyAC3AudioEncoderError& e) {
            EXPECT_EQ(e.ErrorCode, c.code);
        }
        EXPECT_FALSE(IsAC3LibraryLoaded()); // a refused configuration never loads the library
        return;
    }
    TDolbyAC3AudioEncoder encoder(out, "", config);
    EXPECT_EQ(encoder.GetACMode(), c.acMode);
    EXPECT_EQ(encoder.GetBitRateCode(), c.bitRateCode);
    EXPECT_EQ(encoder.GetFrequencyCode(), c.frequencyCode);
    EXPECT_EQ(encoder.GetCodingWord(), c.frequencyCode * 4096 + c.acMode);
    EXPECT_EQ(encoder.GetChannels(), c.channelMode == 3 ? 1 : 2);
    // The library codes what was asked: the syncframe header carries fscod, frmsizecod, acmod.
    encoder.EndEncode();
    const std::string bytes = ContentsOf(out);
    ASSERT_GE(bytes.size(), 7u);
    EXPECT_EQ(static_cast<uint8_t>(bytes[4]), c.frequencyCode << 6 | 2 * c.bitRateCode);
    EXPECT_EQ(static_cast<uint8_t>(bytes[6]) >> 5, c.acMode);
    EXPECT_EQ(static_cast<int64_t>(bytes.size()), AC3FrameBytes(reinterpret_cast<const uint8_t*>(bytes.data())));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AC3EncoderConfigTest,
    ::testing::Values(
        ConfigCase{"StereoAt448", 3, 48000, 0, 448000, 0, 2, 15, 0},
        ConfigCase{"MonoAt32kHz", 3, 32000, 3, 64000, 0, 1, 4, 2},
        ConfigCase{"DualMono", 3, 48000, 2, 128000, 0, 0, 8, 0},
        ConfigCase{"MonoAt256", 3, 48000, 3, 256000, 0, 1, 12, 0},
        ConfigCase{"NotAC3", 1, 48000, 0, 192000, MPEGError_Layer3NotSupported},
        ConfigCase{"NotAC3BeforeFrequency", 4, 44100, 1, 1, MPEGError_Layer3NotSupported},
        ConfigCase{"Frequency44100", 3, 44100, 0, 192000, MPEGError_IllegalSampleFormat},
        ConfigCase{"FrequencyBeforeMode", 3, 0, 1, 1, MPEGError_IllegalSampleFormat},
        ConfigCase{"JointStereo", 3, 48000, 1, 192000, MPEGError_InvalidChannelMode},
        ConfigCase{"ModeBeforeRate", 3, 48000, 4, 1, MPEGError_InvalidChannelMode},
        ConfigCase{"StereoRateOfMonoOnly", 3, 48000, 0, 64000, MPEGError_IllegalBitrate},
        ConfigCase{"MonoRateOfStereoOnly", 3, 48000, 3, 448000, MPEGError_IllegalBitrate},
        ConfigCase{"NoRate", 3, 48000, 0, 0, MPEGError_IllegalBitrate},
        ConfigCase{"OddRate", 3, 32000, 2, 200000, MPEGError_IllegalBitrate}),
    [](const ::testing::TestParamInfo<ConfigCase>& param) { return std::string(param.param.name); });

TEST(AC3EncoderTest, DescriptorAndFrameRate) {
    TLargeMemoryStream out;
    TDolbyAC3AudioEncoder encoder(out, "", AC3Config(32000, 0, 192000));
    TMPEGAudioStreamDescriptor descriptor{};
    EXPECT_EQ(encoder.GetStreamDescriptor(descriptor), 8);
    EXPECT_EQ(descriptor, (TMPEGAudioStreamDescriptor{8, 2, 2, 2, 2, 0}));
    EXPECT_DOUBLE_EQ(static_cast<double>(encoder.GetFrameRate()), 32000.0 / 1536);
    TMPEGAudioEncoder_EncodeConfig config;
    encoder.GetConfig(config);
    EXPECT_EQ(config.BitRate, 192000);
}

// ---- samples and frames ----------------------------------------------------------------------

// Each frame takes 1536 sample times, however the blocks are cut.
TEST(AC3EncoderTest, FramesOf1536SampleTimes) {
    TLargeMemoryStream out;
    TDolbyAC3AudioEncoder encoder(out, "", AC3Config(48000, 0, 448000));
    const std::vector<int16_t> tones = TwoTones(4 * 1536, 2);
    std::vector<int16_t> first(tones.begin(), tones.begin() + 2 * 1535);
    encoder.PutSamples(Block16(first, 2));
    EXPECT_EQ(encoder.GetFrameCount(), 0);
    EXPECT_EQ(out.GetSize(), 0);
    std::vector<int16_t> rest(tones.begin() + 2 * 1535, tones.end());
    encoder.PutSamples(Block16(rest, 2));
    EXPECT_EQ(encoder.GetFrameCount(), 4);
    EXPECT_EQ(out.GetSize(), 4 * 1792);
    encoder.EndEncode(); // nothing pending: no frame
    encoder.EndEncode();
    EXPECT_EQ(encoder.GetFrameCount(), 4);
    const std::string bytes = ContentsOf(out);
    for (int frame = 0; frame < 4; ++frame) {
        EXPECT_EQ(static_cast<uint8_t>(bytes[frame * 1792]), 0x0B);
        EXPECT_EQ(static_cast<uint8_t>(bytes[frame * 1792 + 1]), 0x77);
    }
}

TEST(AC3EncoderTest, FinishingPadsAndWritesAtLeastOneFrame) {
    struct Case {
        int32_t times;
        int32_t frames;
    } cases[] = {{0, 1}, {1, 1}, {1536, 1}, {1537, 2}, {3000, 2}};
    for (const Case& c : cases) {
        TLargeMemoryStream out;
        TDolbyAC3AudioEncoder encoder(out, "", AC3Config(48000, 3, 96000));
        if (c.times > 0)
            encoder.PutSamples(Block16(TwoTones(c.times, 1), 1));
        encoder.EndEncode();
        encoder.EndEncode();
        EXPECT_EQ(encoder.GetFrameCount(), c.frames) << c.times;
        EXPECT_EQ(out.GetSize(), c.frames * 2 * AC3FrameWords(0, 12)) << c.times;
    }
}

// 44100 Hz blocks are taken to 48000 Hz by steps of 941/1024 input samples: 44100 input samples
// give 47990 sample times, 31 frames and 374 pending.
TEST(AC3EncoderTest, ResamplesOtherFrequencies) {
    TLargeMemoryStream out;
    TDolbyAC3AudioEncoder encoder(out, "", AC3Config(48000, 0, 192000));
    encoder.PutSamples(Block16(TwoTones(44100, 2, 44100), 2, 44100));
    EXPECT_EQ(encoder.GetSourceStep(), 941);
    EXPECT_EQ(encoder.GetFrameCount(), 31);
    encoder.EndEncode();
    EXPECT_EQ(encoder.GetFrameCount(), 32);
}

// The same sound in every sample format gives the same stream: 8-bit x is 16-bit (x - 128) × 256,
// a two-channel block to a one-channel stream is the mean of the channels, silence is zeros.
TEST(AC3EncoderTest, SampleFormatsAreConvertedAlike) {
    struct Case {
        const char* name;
        int32_t channelMode;
        int32_t format, channels;
        std::vector<uint8_t> bytes; // one sample time repeated
        std::vector<int16_t> reference; // 16-bit samples, per channel of the stream
    } cases[] = {
        {"8-bit mono to stereo", 0, AudioSampleFormat_8Bit, 1, {200}, {72 * 256, 72 * 256}},
        {"8-bit stereo", 0, AudioSampleFormat_8Bit, 2, {200, 30}, {72 * 256, -98 * 256}},
        {"8-bit stereo to mono", 3, AudioSampleFormat_8Bit, 2, {200, 30}, {(200 + 30 - 256) * 128}},
        {"16-bit stereo to mono", 3, AudioSampleFormat_16Bit, 2, {0x10, 0x27, 0x30, 0xf8}, {(10000 - 2000) / 2}},
        {"silence", 0, AudioSampleFormat_None, 2, {}, {0, 0}},
    };
    for (const Case& c : cases) {
        const int32_t channels = c.channelMode == 3 ? 1 : 2;
        const int32_t times = 1536 + 700;
        std::vector<uint8_t> data;
        for (int32_t i = 0; i < times; ++i)
            data.insert(data.end(), c.bytes.begin(), c.bytes.end());
        TMPEGAudioEncoder_Samples block;
        block.SampleFormat = c.format;
        block.SamplingFrequency = 48000;
        block.Channels = c.channels;
        block.Data = c.format == AudioSampleFormat_None ? nullptr : data.data();
        block.Count = times;
        std::string converted, expected;
        {
            TLargeMemoryStream out;
            TDolbyAC3AudioEncoder encoder(out, "", AC3Config(48000, c.channelMode, 192000));
            encoder.PutSamples(block);
            encoder.EndEncode();
            converted = ContentsOf(out);
        }
        {
            std::vector<int16_t> reference;
            for (int32_t i = 0; i < times; ++i)
                reference.insert(reference.end(), c.reference.begin(), c.reference.end());
            TLargeMemoryStream out;
            TDolbyAC3AudioEncoder encoder(out, "", AC3Config(48000, c.channelMode, 192000));
            encoder.PutSamples(Block16(reference, channels));
            encoder.EndEncode();
            expected = ContentsOf(out);
        }
        EXPECT_EQ(converted.size(), 2 * 2 * 384u) << c.name;
        EXPECT_TRUE(converted == expected) << c.name;
    }
}

TEST(AC3EncoderTest, RefusesUnreadableBlocks) {
    TLargeMemoryStream out;
    TDolbyAC3AudioEncoder encoder(out, "", AC3Config(48000, 0, 192000));
    const std::vector<int16_t> data(64, 0);
    struct Case {
        const char* name;
        int32_t format, frequency, channels, count;
    } cases[] = {{"format 3", 3, 48000, 2, 32},      {"three channels", 2, 48000, 3, 10},
                 {"negative count", 2, 48000, 2, -1}, {"no frequency", 2, 0, 2, 32}};
    for (const Case& c : cases) {
        TMPEGAudioEncoder_Samples block = Block16(data, 2);
        block.SampleFormat = c.format;
        block.SamplingFrequency = c.frequency;
        block.Channels = c.channels;
        block.Count = c.count;
        try {
            encoder.PutSamples(block);
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const EDolbyAC3AudioEncoderError& e) {
            EXPECT_EQ(e.ErrorCode, MPEGError_IllegalSampleBlockFormat) << c.name;
        }
    }
    // A block without data is skipped.
    TMPEGAudioEncoder_Samples empty = Block16(data, 2);
    empty.Data = nullptr;
    encoder.PutSamples(empty);
    EXPECT_EQ(encoder.GetFrameCount(), 0);
}

} // namespace
} // namespace quillset
