#include "encoder/audio/lpcm/lpcm_encoder.h"

#include <gtest/gtest.h>

#include <numeric>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/tests/audio/lpcm/wave_test_util.h"

namespace quillset {
namespace {

using namespace quillset::testing;

constexpr int32_t kFrameBytesStereo = 80 * 2 * 2;

TMPEGAudioEncoder_Samples Silence(int32_t count, int32_t frequency = 48000) {
    TMPEGAudioEncoder_Samples samples;
    samples.SampleFormat = AudioSampleFormat_None;
    samples.SamplingFrequency = frequency;
    samples.Count = count;
    return samples;
}

// The samples of an encoded stream after its 20-byte header.
std::vector<int16_t> EncodedSamples(TLargeMemoryStream& stream) {
    return ReadSamplesBE(ContentsOf(stream), 20);
}

// ---- configuration ---------------------------------------------------------------------------

struct ConfigCase {
    const char* name;
    uint8_t streamType;
    int32_t frequency;
    int32_t channelMode;
    int32_t bitRate;
    uint32_t code; // 0: accepted
};

class LPCMEncoderConfigTest : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(LPCMEncoderConfigTest, ChecksInOrder) {
    const ConfigCase& c = GetParam();
    const TMPEGAudioEncoder_EncodeConfig config = EncodeConfig(c.streamType, c.frequency, c.channelMode, c.bitRate);
    TLargeMemoryStream out;
    if (c.code == 0) {
        EXPECT_NO_THROW(TLinearPCMAudioEncoder(out, "audio", config)) << c.name;
        return;
    }
    try {
        TLinearPCMAudioEncoder encoder(out, "audio", config);
        FAIL() << c.name << " accepted";
    } catch (const ELinearPCMAudioEncoderError& e) {
        EXPECT_EQ(e.ErrorCode, c.code) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Configs, LPCMEncoderConfigTest,
    ::testing::Values(ConfigCase{"stereo", 4, 48000, 0, 1536000, 0}, ConfigCase{"mono", 4, 48000, 3, 768000, 0},
                      ConfigCase{"layer II", 1, 48000, 0, 1536000, MPEGError_Layer3NotSupported},
                      ConfigCase{"AC-3", 3, 48000, 0, 1536000, MPEGError_Layer3NotSupported},
                      ConfigCase{"44100 Hz", 4, 44100, 0, 1411200, MPEGError_IllegalSampleFormat},
                      ConfigCase{"96000 Hz", 4, 96000, 0, 3072000, MPEGError_IllegalSampleFormat},
                      ConfigCase{"0 Hz", 4, 0, 0, 0, MPEGError_IllegalSampleFormat},
                      ConfigCase{"bad frequency before bad mode", 4, 32000, 1, 0, MPEGError_IllegalSampleFormat},
                      ConfigCase{"joint stereo", 4, 48000, 1, 1536000, MPEGError_InvalidChannelMode},
                      ConfigCase{"dual channel", 4, 48000, 2, 1536000, MPEGError_InvalidChannelMode},
                      ConfigCase{"mode -1", 4, 48000, -1, 1536000, MPEGError_InvalidChannelMode},
                      ConfigCase{"bad mode before bad rate", 4, 48000, 4, 0, MPEGError_InvalidChannelMode},
                      ConfigCase{"stereo at mono rate", 4, 48000, 0, 768000, MPEGError_IllegalBitrate},
                      ConfigCase{"mono at stereo rate", 4, 48000, 3, 1536000, MPEGError_IllegalBitrate}));

TEST(LPCMEncoderTest, ReportsFrameRateDescriptorAndConfig) {
    TLargeMemoryStream out;
    TLinearPCMAudioEncoder encoder(out, "track 1", LPCMConfig());
    EXPECT_EQ(encoder.GetFrameRate(), 600.0L);
    EXPECT_EQ(encoder.GetSamplesPerFrame(), 80);
    EXPECT_EQ(encoder.GetName(), "track 1");
    TMPEGAudioStreamDescriptor descriptor{};
    EXPECT_EQ(encoder.GetStreamDescriptor(descriptor), 8);
    EXPECT_EQ(descriptor, (TMPEGAudioStreamDescriptor{8, 2, 2, 2, 2, 0}));
    TMPEGAudioEncoder_EncodeConfig config;
    encoder.GetConfig(config);
    EXPECT_EQ(config.BitRate, 1536000);
    EXPECT_EQ(out.GetSize(), 0); // nothing is written before the first frame
}

// ---- framing ---------------------------------------------------------------------------------

TEST(LPCMEncoderTest, WritesTheHeaderThenWholeFramesOfBigEndianSamples) {
    TLargeMemoryStream out;
    TLinearPCMAudioEncoder encoder(out, "", LPCMConfig());
    std::vector<int16_t> data(2 * 160);
    std::iota(data.begin(), data.end(), -100);
    data[0] = -32768;
    data[1] = 32767;
    encoder.PutSamples(Block16(data, 2));
    EXPECT_EQ(encoder.GetFrameCount(), 2);
    ASSERT_EQ(out.GetSize(), 20 + 2 * kFrameBytesStereo);
    const std::string bytes = ContentsOf(out);
    EXPECT_EQ(bytes.substr(0, 20), std::string("VDMSLPCM\x02\x00\x14\x00\x10\x80\xBB\x00\x00\x02\x00\x80", 20));
    EXPECT_EQ(bytes.substr(20, 4), std::string("\x80\x00\x7F\xFF", 4));
    EXPECT_EQ(EncodedSamples(out), data);
    encoder.EndEncode();
    EXPECT_EQ(out.GetSize(), 20 + 2 * kFrameBytesStereo); // ended on a frame boundary
}

struct EndingCase {
    int32_t sampleTimes;
    int32_t frames; // after EndEncode
};

class LPCMEncoderEndingTest : public ::testing::TestWithParam<EndingCase> {};

TEST_P(LPCMEncoderEndingTest, PadsOnlyAnUnfinishedFrame) {
    const EndingCase& c = GetParam();
    TLargeMemoryStream out;
    TLinearPCMAudioEncoder encoder(out, "", LPCMConfig());
    std::vector<int16_t> data(static_cast<size_t>(2 * c.sampleTimes), 1000);
    if (c.sampleTimes > 0)
        encoder.PutSamples(Block16(data, 2));
    encoder.EndEncode();
    encoder.EndEncode(); // only the first call acts
    EXPECT_EQ(encoder.GetFrameCount(), c.frames);
    ASSERT_EQ(out.GetSize(), 20 + c.frames * kFrameBytesStereo);
    const std::vector<int16_t> samples = EncodedSamples(out);
    for (size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(samples[i], i < data.size() ? 1000 : 0) << i;
}

INSTANTIATE_TEST_SUITE_P(Endings, LPCMEncoderEndingTest,
                         ::testing::Values(EndingCase{0, 1}, EndingCase{1, 1}, EndingCase{79, 1}, EndingCase{80, 1},
                                           EndingCase{81, 2}, EndingCase{160, 2}, EndingCase{161, 3}));

TEST(LPCMEncoderTest, SilentBlocksAndMissingDataAreHandled) {
    TLargeMemoryStream out;
    TLinearPCMAudioEncoder encoder(out, "", LPCMConfig());
    TMPEGAudioEncoder_Samples absent = Block16({}, 2);
    absent.Data = nullptr;
    absent.Count = 500;
    encoder.PutSamples(absent); // no data: nothing happens
    EXPECT_EQ(out.GetSize(), 0);
    encoder.PutSamples(Silence(100));
    encoder.PutSamples(Block16(std::vector<int16_t>(2 * 60, 7), 2));
    EXPECT_EQ(encoder.GetFrameCount(), 2);
    const std::vector<int16_t> samples = EncodedSamples(out);
    EXPECT_EQ(std::count(samples.begin(), samples.begin() + 200, 0), 200);
    EXPECT_EQ(std::count(samples.begin() + 200, samples.end(), 7), 120);
}

// ---- sample conversion -----------------------------------------------------------------------

struct ConvertCase {
    const char* name;
    int32_t format;
    int32_t inChannels;
    int32_t channelMode;
    std::vector<int> input; // bytes for 8-bit, samples for 16-bit
    std::vector<int16_t> expected;
};

class LPCMEncoderConvertTest : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(LPCMEncoderConvertTest, ConvertsEveryInputToTheOutputChannels) {
    const ConvertCase& c = GetParam();
    TLargeMemoryStream out;
    TLinearPCMAudioEncoder encoder(out, "", LPCMConfig(c.channelMode));
    std::vector<uint8_t> bytes;
    std::vector<int16_t> words;
    for (int v : c.input) {
        bytes.push_back(static_cast<uint8_t>(v));
        words.push_back(static_cast<int16_t>(v));
    }
    TMPEGAudioEncoder_Samples samples;
    samples.SampleFormat = c.format;
    samples.SamplingFrequency = 48000;
    samples.Channels = c.inChannels;
    samples.Data = c.format == AudioSampleFormat_8Bit ? static_cast<const void*>(bytes.data()) : words.data();
    samples.Count = static_cast<int32_t>(c.input.size()) / c.inChannels;
    encoder.PutSamples(samples);
    encoder.EndEncode();
    std::vector<int16_t> got = EncodedSamples(out);
    got.resize(c.expected.size());
    EXPECT_EQ(got, c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, LPCMEncoderConvertTest,
    ::testing::Values(
        ConvertCase{"8-bit mono to stereo", 1, 1, 0, {0, 128, 255}, {-32768, -32768, 0, 0, 32512, 32512}},
        ConvertCase{"8-bit stereo to stereo", 1, 2, 0, {0, 255, 129, 127}, {-32768, 32512, 256, -256}},
        ConvertCase{"8-bit stereo to mono", 1, 2, 3, {0, 0, 255, 255, 129, 128, 0, 255}, {-32768, 32512, 128, -128}},
        ConvertCase{"8-bit mono to mono", 1, 1, 3, {1, 200}, {-32512, 18432}},
        ConvertCase{"16-bit mono to stereo", 2, 1, 0, {-32768, 5}, {-32768, -32768, 5, 5}},
        ConvertCase{"16-bit mono to mono", 2, 1, 3, {32767, -1}, {32767, -1}},
        // (l + r) div 2, truncating toward zero.
        ConvertCase{"16-bit stereo to mono",
                    2,
                    2,
                    3,
                    {3, 4, -3, 0, -32768, -32768, 32767, 32767, 32767, -32768},
                    {3, -1, -32768, 32767, 0}},
        ConvertCase{"16-bit stereo to stereo", 2, 2, 0, {-32768, 32767, 1, -1}, {-32768, 32767, 1, -1}}));

// ---- resampling ------------------------------------------------------------------------------

// Feeds a 44100 Hz ramp in blocks of the given sizes; returns the mono output samples.
std::vector<int16_t> EncodeRamp(const std::vector<int32_t>& blockSizes) {
    TLargeMemoryStream out;
    TLinearPCMAudioEncoder encoder(out, "", LPCMConfig(MPEGAudio_ChannelMode_Mono));
    int16_t next = 0;
    for (int32_t size : blockSizes) {
        std::vector<int16_t> block(static_cast<size_t>(size));
        for (auto& s : block)
            s = next++;
        encoder.PutSamples(Block16(block, 1, 44100));
        EXPECT_EQ(encoder.GetSourceStep(), 941);
    }
    encoder.EndEncode();
    return EncodedSamples(out);
}

TEST(LPCMEncoderResampleTest, PicksInputSamplesWithTheCarriedStep) {
    // Blocks of odd sizes: the 22.10 read position carries its fraction across every boundary, so
    // output sample i is always input sample (i × 941) >> 10 of the whole ramp.
    const std::vector<int32_t> sizes = {1, 2, 941, 1024, 7, 3000, 113};
    const int32_t total = std::accumulate(sizes.begin(), sizes.end(), 0);
    const std::vector<int16_t> samples = EncodeRamp(sizes);
    int64_t produced = 0;
    while ((produced * 941) >> 10 < total)
        ++produced;
    ASSERT_EQ(samples.size(), static_cast<size_t>((produced + 79) / 80 * 80));
    for (int64_t i = 0; i < produced; ++i)
        ASSERT_EQ(samples[i], static_cast<int16_t>((i * 941) >> 10)) << i;
    EXPECT_EQ(EncodeRamp({total}), samples);
}

TEST(LPCMEncoderResampleTest, OneSecondAt44100GivesAboutOneSecondAt48000) {
    TLargeMemoryStream out;
    TLinearPCMAudioEncoder encoder(out, "", LPCMConfig());
    for (int i = 0; i < 10; ++i)
        encoder.PutSamples(Silence(4410, 44100));
    encoder.EndEncode();
    // The sample times i with i × 941 < 44100 × 1024: 47990 of them, in 600 frames of 80.
    EXPECT_EQ(encoder.GetFrameCount(), 600);
}

TEST(LPCMEncoderResampleTest, AFrequencyChangeRestartsTheReadPosition) {
    TLargeMemoryStream out;
    TLinearPCMAudioEncoder encoder(out, "", LPCMConfig(MPEGAudio_ChannelMode_Mono));
    encoder.PutSamples(Block16({1, 2, 3}, 1, 24000)); // step 512: each input twice
    EXPECT_EQ(encoder.GetSourceStep(), 512);
    encoder.PutSamples(Block16({4, 5, 6, 7}, 1, 96000)); // step 2048: every other input
    EXPECT_EQ(encoder.GetSourceStep(), 2048);
    encoder.PutSamples(Block16({8, 9}, 1, 48000));
    encoder.EndEncode();
    std::vector<int16_t> samples = EncodedSamples(out);
    samples.resize(10);
    EXPECT_EQ(samples, (std::vector<int16_t>{1, 1, 2, 2, 3, 3, 4, 6, 8, 9}));
}

// A sink that only counts, for outputs too large to keep.
class CountingStream : public TLargeStream {
public:
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void*, int32_t count) override {
        Bytes += count;
        return count;
    }
    int64_t Seek(int64_t, uint16_t) override { return Bytes; }
    int64_t Bytes = 0;
};

TEST(LPCMEncoderResampleTest, LongBlocksDoNotWrapTheReadPosition) {
    // 5,000,000 × 1024 does not fit in 32 bits.
    CountingStream out;
    TLinearPCMAudioEncoder encoder(out, "", LPCMConfig());
    encoder.PutSamples(Silence(5000000));
    encoder.PutSamples(Silence(80));
    EXPECT_EQ(encoder.GetFrameCount(), 5000080 / 80);
    EXPECT_EQ(out.Bytes, 20 + int64_t{5000080 / 80} * kFrameBytesStereo);
}

struct BadBlockCase {
    const char* name;
    int32_t format;
    int32_t frequency;
    int32_t channels;
    int32_t count;
};

class LPCMEncoderBadBlockTest : public ::testing::TestWithParam<BadBlockCase> {};

TEST_P(LPCMEncoderBadBlockTest, RaisesIllegalSampleFormatAndWritesNothing) {
    const BadBlockCase& c = GetParam();
    TLargeMemoryStream out;
    TLinearPCMAudioEncoder encoder(out, "", LPCMConfig());
    std::vector<int16_t> data(64, 1);
    TMPEGAudioEncoder_Samples samples;
    samples.SampleFormat = c.format;
    samples.SamplingFrequency = c.frequency;
    samples.Channels = c.channels;
    samples.Data = data.data();
    samples.Count = c.count;
    try {
        encoder.PutSamples(samples);
        FAIL() << c.name << " accepted";
    } catch (const ELinearPCMAudioEncoderError& e) {
        EXPECT_EQ(e.ErrorCode, MPEGError_IllegalSampleBlockFormat) << c.name;
        EXPECT_STREQ(e.what(), "Illegal sample format");
    }
    // The encoder is unharmed: a good block afterwards is encoded from the start.
    encoder.PutSamples(Block16(std::vector<int16_t>(160, 3), 2));
    EXPECT_EQ(encoder.GetFrameCount(), 1);
    EXPECT_EQ(encoder.GetSourceStep(), 1024);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, LPCMEncoderBadBlockTest,
    ::testing::Values(BadBlockCase{"format 3", 3, 48000, 2, 8}, BadBlockCase{"format -1", -1, 48000, 2, 8},
                      BadBlockCase{"no channels", 2, 48000, 0, 8}, BadBlockCase{"three channels", 2, 48000, 3, 8},
                      BadBlockCase{"negative channels", 1, 48000, -2, 8}, BadBlockCase{"0 Hz", 2, 0, 2, 8},
                      BadBlockCase{"negative frequency", 2, -48000, 2, 8},
                      // 23 / 48000 × 1024 rounds to 0: the read position would never move.
                      BadBlockCase{"23 Hz", 2, 23, 2, 8}, BadBlockCase{"silence at 0 Hz", 0, 0, 0, 8},
                      BadBlockCase{"negative count", 2, 48000, 2, -1}));

TEST(LPCMEncoderResampleTest, TheLowestSteppableFrequencyIsAccepted) {
    TLargeMemoryStream out;
    TLinearPCMAudioEncoder encoder(out, "", LPCMConfig());
    encoder.PutSamples(Silence(1, 24)); // 24 / 48000 × 1024 = 0.512, rounds to 1
    EXPECT_EQ(encoder.GetSourceStep(), 1);
    EXPECT_EQ(encoder.GetFrameCount(), 12); // 1024 sample times, 12 whole frames
}

// ---- WAVE file wrapper -----------------------------------------------------------------------

TEST(WaveFileWriterWrapperTest, WritesAWaveFileOfTheBlocks) {
    TLargeMemoryStream out;
    std::vector<int16_t> data(2 * 1200);
    std::iota(data.begin(), data.end(), -1200);
    {
        TLinearPCMAudioEncoder_WaveFileWriterWrapper wrapper(out, LPCMConfig());
        EXPECT_EQ(wrapper.GetFrameRate(), 48000.0L / 1152);
        TMPEGAudioStreamDescriptor descriptor{};
        EXPECT_EQ(wrapper.GetStreamDescriptor(descriptor), 16);
        EXPECT_EQ(descriptor, (TMPEGAudioStreamDescriptor{16, 2, 2, 2, 2, 0}));
        wrapper.BeginEncode();
        wrapper.PutSamples(Block16(std::vector<int16_t>(data.begin(), data.begin() + 2 * 1000), 2));
        EXPECT_EQ(wrapper.GetFrameCount(), 0);
        wrapper.PutSamples(Block16(std::vector<int16_t>(data.begin() + 2 * 1000, data.end()), 2));
        EXPECT_EQ(wrapper.GetFrameCount(), 1);
        EXPECT_EQ(wrapper.GetSamplesWritten(), 1200);
        wrapper.EndEncode();
    }
    EXPECT_EQ(ContentsOf(out),
              Riff(Chunk("fmt ", PCMFormatBody(2, 48000, 16, 1, true)) + Chunk("data", SamplesLE(data))));
}

TEST(WaveFileWriterWrapperTest, ConfigurationErrorsAreAudioEncoderErrors) {
    TLargeMemoryStream out;
    struct {
        uint8_t streamType;
        int32_t frequency;
        uint32_t code;
    } cases[] = {{1, 48000, MPEGError_Layer3NotSupported},
                 {4, 0, MPEGError_IllegalSampleFormat},
                 {4, -1, MPEGError_IllegalSampleFormat}};
    for (const auto& c : cases) {
        TMPEGAudioEncoder_EncodeConfig config = LPCMConfig();
        config.StreamType = c.streamType;
        config.SamplingFrequency = c.frequency;
        try {
            TLinearPCMAudioEncoder_WaveFileWriterWrapper wrapper(out, config);
            ADD_FAILURE() << "accepted " << c.frequency;
        } catch (const ELinearPCMAudioEncoderError&) {
            ADD_FAILURE() << "raised the Linear PCM encoder's class";
        } catch (const EMPEGAudioEncoderError& e) {
            EXPECT_EQ(e.ErrorCode, c.code);
        }
    }
    // Any positive frequency is a valid WAVE file.
    TMPEGAudioEncoder_EncodeConfig config = LPCMConfig(MPEGAudio_ChannelMode_Mono);
    config.SamplingFrequency = 44100;
    EXPECT_NO_THROW(TLinearPCMAudioEncoder_WaveFileWriterWrapper(out, config));
}

TEST(WaveFileWriterWrapperTest, RefusesBlocksNotMatchingTheConfiguration) {
    TLargeMemoryStream out;
    TLinearPCMAudioEncoder_WaveFileWriterWrapper wrapper(out, LPCMConfig());
    wrapper.BeginEncode();
    const std::vector<int16_t> data(8, 1);
    TMPEGAudioEncoder_Samples blocks[4] = {Block16(data, 2, 44100), Block16(data, 1), Block16(data, 2), Silence(4)};
    blocks[2].SampleFormat = AudioSampleFormat_8Bit;
    for (const auto& block : blocks) {
        try {
            wrapper.PutSamples(block);
            ADD_FAILURE() << "accepted";
        } catch (const EMPEGAudioEncoderError& e) {
            EXPECT_EQ(e.ErrorCode, MPEGError_IllegalSampleBlockFormat);
        }
    }
    EXPECT_EQ(wrapper.GetSamplesWritten(), 0);
}

TEST(WaveFileWriterWrapperTest, SamplesBeforeBeginEncodeAreAWriteError) {
    TLargeMemoryStream out;
    TLinearPCMAudioEncoder_WaveFileWriterWrapper wrapper(out, LPCMConfig());
    EXPECT_THROW(wrapper.PutSamples(Block16(std::vector<int16_t>(8, 1), 2)), EWaveFileError);
}

} // namespace
} // namespace quillset
