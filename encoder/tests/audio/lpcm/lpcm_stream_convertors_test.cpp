#include "encoder/audio/lpcm/lpcm_stream_convertors.h"

#include <gtest/gtest.h>

#include <random>

#include "encoder/audio/lpcm/lpcm_encoder.h"
#include "encoder/framework/mpeg_errors.h"
#include "encoder/tests/audio/lpcm/wave_test_util.h"

namespace quillset {
namespace {

using namespace quillset::testing;

std::string ReadAll(TLargeStream& stream, int32_t piece = 1 << 20) {
    std::string out;
    std::string buffer(static_cast<size_t>(piece), '\0');
    for (;;) {
        const int32_t got = stream.Read(buffer.data(), piece);
        if (got <= 0)
            return out;
        out.append(buffer, 0, static_cast<size_t>(got));
    }
}

std::vector<int16_t> NoiseSamples(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(-32768, 32767);
    std::vector<int16_t> out(count);
    for (auto& s : out)
        s = static_cast<int16_t>(value(random));
    return out;
}

const std::string kStereoHeader = std::string("VDMSLPCM\x02\x00\x14\x00\x10\x80\xBB\x00\x00\x02\x00\x80", 20);
const std::string kMonoHeader = std::string("VDMSLPCM\x02\x00\x14\x00\x10\x80\xBB\x00\x00\x01\x00\x80", 20);

// ---- WAVE to private LPCM --------------------------------------------------------------------

TEST(WaveToLPCMTest, Converts16BitStereoAndPadsTheLastFrame) {
    const std::vector<int16_t> samples = NoiseSamples(2 * 100, 1); // 100 sample times: 1¼ frames
    auto source = MemoryStreamOf(WaveFile(SamplesLE(samples)));
    TWaveFileToLinearPCMStreamConvertor convertor(*source);
    ASSERT_EQ(convertor.GetSize(), 20 + 2 * 320);
    const std::string stream = ReadAll(convertor);
    ASSERT_EQ(stream.size(), 20u + 640);
    EXPECT_EQ(stream.substr(0, 20), kStereoHeader);
    std::vector<int16_t> expected = samples;
    expected.resize(320, 0);
    EXPECT_EQ(ReadSamplesBE(stream, 20), expected);
}

TEST(WaveToLPCMTest, Converts8BitMono) {
    const std::string data = std::string("\x00\x80\xFF\x81", 4);
    auto source = MemoryStreamOf(WaveFile(data, 1, 48000, 8));
    TWaveFileToLinearPCMStreamConvertor convertor(*source);
    EXPECT_EQ(convertor.GetSize(), 20 + 160);
    const std::string stream = ReadAll(convertor);
    EXPECT_EQ(stream.substr(0, 20), kMonoHeader);
    std::vector<int16_t> expected = {-32768, 0, 32512, 256};
    expected.resize(80, 0);
    EXPECT_EQ(ReadSamplesBE(stream, 20), expected);
}

TEST(WaveToLPCMTest, APartialSampleTimeAtTheEndBecomesSilence) {
    // 16-bit stereo with 7 data bytes: one whole sample time and three stray bytes.
    auto source = MemoryStreamOf(WaveFile(SamplesLE({100, -100}) + "abc"));
    TWaveFileToLinearPCMStreamConvertor convertor(*source);
    const std::vector<int16_t> samples = ReadSamplesBE(ReadAll(convertor), 20);
    ASSERT_EQ(samples.size(), 160u);
    EXPECT_EQ(samples[0], 100);
    EXPECT_EQ(samples[1], -100);
    EXPECT_EQ(std::count(samples.begin() + 2, samples.end(), 0), 158);
}

TEST(WaveToLPCMTest, ATruncatedFileConvertsWhatItHolds) {
    // The data chunk announces 10,000 sample times; the file ends after 100 and a half.
    const std::vector<int16_t> samples = NoiseSamples(2 * 100, 8);
    const std::string file = Riff(Chunk("LIST", "INFOabc") + Chunk("fmt ", PCMFormatBody(2, 48000, 16)) +
                                  Chunk("data", SamplesLE(samples) + "ab", 40000));
    auto source = MemoryStreamOf(file);
    TWaveFileToLinearPCMStreamConvertor convertor(*source);
    EXPECT_EQ(convertor.GetSize(), 20 + 2 * 320);
    std::vector<int16_t> expected = samples;
    expected.resize(320, 0);
    EXPECT_EQ(ReadSamplesBE(ReadAll(convertor), 20), expected);
}

TEST(WaveToLPCMTest, PiecewiseReadsAndSeeksAcrossChunksGiveTheSameBytes) {
    // 50,000 sample times span three conversion chunks of 20,480.
    const std::vector<int16_t> samples = NoiseSamples(2 * 50000, 2);
    auto source = MemoryStreamOf(WaveFile(SamplesLE(samples)));
    TWaveFileToLinearPCMStreamConvertor convertor(*source);
    const std::string whole = ReadAll(convertor);
    ASSERT_EQ(static_cast<int64_t>(whole.size()), convertor.GetSize());
    ASSERT_EQ(convertor.GetSize(), 20 + (200000 + 319) / 320 * 320);

    std::mt19937 random(3);
    for (int i = 0; i < 200; ++i) {
        const int64_t at = std::uniform_int_distribution<int64_t>(0, convertor.GetSize() + 10)(random);
        const int32_t count = std::uniform_int_distribution<int32_t>(1, 100000)(random);
        ASSERT_EQ(convertor.Seek(at, soFromBeginning), std::min(at, convertor.GetSize()));
        std::string got(static_cast<size_t>(count), '\0');
        got.resize(static_cast<size_t>(convertor.Read(got.data(), count)));
        ASSERT_EQ(got, whole.substr(static_cast<size_t>(std::min<int64_t>(at, whole.size())), count)) << at;
    }
}

TEST(WaveToLPCMTest, IsReadOnlyAndClampsSeeks) {
    auto source = MemoryStreamOf(WaveFile(SamplesLE({1, 2})));
    TWaveFileToLinearPCMStreamConvertor convertor(*source);
    EXPECT_EQ(convertor.Write("xx", 2), 0);
    EXPECT_EQ(convertor.Seek(-5, soFromBeginning), 0);
    EXPECT_EQ(convertor.Seek(10, soFromEnd), convertor.GetSize());
    EXPECT_EQ(convertor.Seek(-10, soFromCurrent), convertor.GetSize() - 10);
}

TEST(WaveToLPCMTest, ReportsTheSourcePositionAndSize) {
    const std::string file = WaveFile(SamplesLE(NoiseSamples(2 * 1000, 4)));
    auto source = MemoryStreamOf(file);
    TWaveFileToLinearPCMStreamConvertor convertor(*source);
    std::string buffer(100, '\0');
    convertor.Read(buffer.data(), 100);
    int64_t position = 0, size = 0;
    convertor.GetPositionAndSize(position, size);
    EXPECT_EQ(size, static_cast<int64_t>(file.size()));
    EXPECT_EQ(position, source->GetPosition());
}

struct FormatCase {
    const char* name;
    std::string format; // the body of the "fmt " chunk
    uint32_t code;
};

class WaveToLPCMFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(WaveToLPCMFormatTest, RefusesWhatItCannotConvert) {
    const FormatCase& c = GetParam();
    auto source = MemoryStreamOf(Riff(Chunk("fmt ", c.format) + Chunk("data", SamplesLE({1, 2, 3, 4}))));
    try {
        TWaveFileToLinearPCMStreamConvertor convertor(*source);
        FAIL() << c.name << " accepted";
    } catch (const ELinearPCMAudioEncoderError& e) {
        EXPECT_EQ(e.ErrorCode, c.code) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WaveToLPCMFormatTest,
    ::testing::Values(FormatCase{"float", PCMFormatBody(2, 48000, 32, 3), MPEGError_IllegalLinearPCMStream},
                      FormatCase{"extensible", PCMFormatBody(2, 48000, 16, 0xFFFE), MPEGError_IllegalLinearPCMStream},
                      FormatCase{"24 bits", PCMFormatBody(2, 48000, 24), MPEGError_IllegalLinearPCMStream},
                      FormatCase{"0 bits", PCMFormatBody(2, 48000, 0), MPEGError_IllegalLinearPCMStream},
                      // Too short to hold the bit depth: nothing past its end may be read.
                      FormatCase{"14-byte format", PCMFormatBody(2, 48000, 16).substr(0, 14),
                                 MPEGError_IllegalLinearPCMStream},
                      FormatCase{"2-byte format", LE16(1), MPEGError_IllegalLinearPCMStream},
                      FormatCase{"44100 Hz", PCMFormatBody(2, 44100, 16), MPEGError_IllegalSampleFormat},
                      FormatCase{"0 Hz", PCMFormatBody(2, 0, 16), MPEGError_IllegalSampleFormat},
                      FormatCase{"2^32 - 1 Hz", PCMFormatBody(2, 0xFFFFFFFF, 16), MPEGError_IllegalSampleFormat},
                      FormatCase{"no channels", PCMFormatBody(0, 48000, 16), MPEGError_InvalidChannelMode},
                      FormatCase{"three channels", PCMFormatBody(3, 48000, 16), MPEGError_InvalidChannelMode},
                      FormatCase{"8-bit six channels", PCMFormatBody(6, 48000, 8), MPEGError_InvalidChannelMode}));

TEST(WaveToLPCMTest, ANonWaveSourceIsAWaveFileError) {
    auto source = MemoryStreamOf("RIFF" + LE32(4) + "AVI " + Chunk("data", "ab"));
    EXPECT_THROW(TWaveFileToLinearPCMStreamConvertor{*source}, EWaveFileError);
}

// ---- private LPCM to WAVE --------------------------------------------------------------------

// Writes stream into a convertor in pieces of `piece` bytes and returns the WAVE file made.
std::string ToWave(const std::string& stream, size_t piece) {
    TLargeMemoryStream out;
    {
        TLinearPCMStreamToWaveFileConvertor convertor(out);
        for (size_t at = 0; at < stream.size(); at += piece) {
            const auto n = static_cast<int32_t>(std::min(piece, stream.size() - at));
            EXPECT_EQ(convertor.Write(stream.data() + at, n), n);
        }
        EXPECT_EQ(convertor.GetSize(), static_cast<int64_t>(stream.size()));
    }
    return ContentsOf(out);
}

std::string Encode(const std::vector<int16_t>& samples, int32_t channelMode) {
    TLargeMemoryStream out;
    TLinearPCMAudioEncoder encoder(out, "", LPCMConfig(channelMode));
    const int32_t channels = ChannelsOfMode(channelMode);
    TMPEGAudioEncoder_Samples block;
    block.SampleFormat = AudioSampleFormat_16Bit;
    block.SamplingFrequency = 48000;
    block.Channels = channels;
    block.Data = samples.data();
    block.Count = static_cast<int32_t>(samples.size()) / channels;
    encoder.PutSamples(block);
    encoder.EndEncode();
    return ContentsOf(out);
}

TEST(LPCMToWaveTest, TurnsAnEncodedStreamIntoTheSameSamples) {
    struct {
        int32_t channelMode;
        size_t sampleTimes;
        size_t piece;
    } cases[] = {{MPEGAudio_ChannelMode_Stereo, 48000, 1 << 20},
                 {MPEGAudio_ChannelMode_Stereo, 48000, 997},
                 {MPEGAudio_ChannelMode_Mono, 30000, 1},
                 {MPEGAudio_ChannelMode_Stereo, 40, 3}};
    for (const auto& c : cases) {
        const int32_t channels = ChannelsOfMode(c.channelMode);
        std::vector<int16_t> samples = NoiseSamples(c.sampleTimes * channels, 5);
        const std::string wave = ToWave(Encode(samples, c.channelMode), c.piece);
        samples.resize((c.sampleTimes + 79) / 80 * 80 * channels, 0); // the encoder's last frame is padded
        EXPECT_EQ(wave,
                  Riff(Chunk("fmt ", PCMFormatBody(channels, 48000, 16, 1, true)) + Chunk("data", SamplesLE(samples))))
            << c.sampleTimes << " in pieces of " << c.piece;
    }
}

TEST(LPCMToWaveTest, KeepsALastOddSampleTimeAndDropsAStrayByte) {
    const std::string stream = kStereoHeader + SamplesBE({1, 2, 3, 4, 5, 6}) + "x";
    EXPECT_EQ(ToWave(stream, 5),
              Riff(Chunk("fmt ", PCMFormatBody(2, 48000, 16, 1, true)) + Chunk("data", SamplesLE({1, 2, 3, 4, 5, 6}))));
}

TEST(LPCMToWaveTest, SkipsAHeaderLargerThanWhatHasArrived) {
    // Header size 3000: 2980 bytes of extension follow the 20 known ones, more than the first
    // input buffer holds.
    std::string header = kStereoHeader;
    header[10] = static_cast<char>(3000 & 0xFF);
    header[11] = static_cast<char>(3000 >> 8);
    const std::vector<int16_t> samples = NoiseSamples(2 * 500, 6);
    const std::string stream = header + std::string(2980, '\x55') + SamplesBE(samples);
    const std::string expected =
        Riff(Chunk("fmt ", PCMFormatBody(2, 48000, 16, 1, true)) + Chunk("data", SamplesLE(samples)));
    for (size_t piece : {size_t{1}, size_t{1000}, size_t{1024}, stream.size()})
        EXPECT_EQ(ToWave(stream, piece), expected) << piece;
}

TEST(LPCMToWaveTest, AHeaderSizeBeyondTheEndGivesAnEmptyWaveFile) {
    std::string header = kMonoHeader;
    header[10] = static_cast<char>(0xFF);
    header[11] = static_cast<char>(0xFF);
    const std::string stream = header + std::string(5000, '\x11');
    EXPECT_EQ(ToWave(stream, 700), Riff(Chunk("fmt ", PCMFormatBody(1, 48000, 16, 1, true)) + Chunk("data", "")));
}

struct BadStreamCase {
    const char* name;
    std::string stream;
};

class LPCMToWaveRejectTest : public ::testing::TestWithParam<BadStreamCase> {};

TEST_P(LPCMToWaveRejectTest, RaisesIllegalLinearPCMStream) {
    const std::string stream = GetParam().stream + std::string(2000, '\0');
    TLargeMemoryStream out;
    TLinearPCMStreamToWaveFileConvertor convertor(out);
    try {
        convertor.Write(stream.data(), static_cast<int32_t>(stream.size()));
        FAIL() << GetParam().name << " accepted";
    } catch (const EMPEGSystemEncoderError& e) {
        EXPECT_EQ(e.ErrorCode, MPEGError_IllegalLinearPCMStream);
        EXPECT_STREQ(e.what(), "Illegal Linear PCM stream");
    }
    // Later writes are refused the same way, and nothing reaches the output.
    EXPECT_THROW(convertor.Write(stream.data(), 10), EMPEGSystemEncoderError);
    EXPECT_EQ(out.GetSize(), 0);
}

std::string WithByte(const std::string& header, size_t at, char value) {
    std::string out = header;
    out[at] = value;
    return out;
}

INSTANTIATE_TEST_SUITE_P(Headers, LPCMToWaveRejectTest,
                         ::testing::Values(BadStreamCase{"WAVE file", WaveFile(SamplesLE({1, 2}))},
                                           BadStreamCase{"bad tag", WithByte(kStereoHeader, 3, 'X')},
                                           BadStreamCase{"20 bits", WithByte(kStereoHeader, 12, 20)},
                                           BadStreamCase{"24 bits", WithByte(kStereoHeader, 12, 24)},
                                           BadStreamCase{"three channels", WithByte(kStereoHeader, 17, 3)},
                                           BadStreamCase{"44100 Hz", WithByte(WithByte(kStereoHeader, 13, 0x44), 14,
                                                                              static_cast<char>(0xAC))}));

TEST(LPCMToWaveTest, ShortStreamsAreCheckedWhenFinished) {
    struct {
        std::string stream;
        bool valid;
    } cases[] = {{"", true}, {kStereoHeader.substr(0, 19), false}, {kStereoHeader, true}, {"VDMS", false}};
    for (const auto& c : cases) {
        TLargeMemoryStream out;
        TLinearPCMStreamToWaveFileConvertor convertor(out);
        convertor.Write(c.stream.data(), static_cast<int32_t>(c.stream.size()));
        if (c.valid) {
            EXPECT_NO_THROW(convertor.Finish()) << c.stream.size();
        } else {
            EXPECT_THROW(convertor.Finish(), EMPEGSystemEncoderError) << c.stream.size();
        }
        EXPECT_EQ(convertor.Write("ab", 2), 0); // finished
    }
}

TEST(LPCMToWaveTest, IsSequentialAndReportsTheOutputPositionAndSize) {
    TLargeMemoryStream out;
    TLinearPCMStreamToWaveFileConvertor convertor(out);
    const std::string stream = Encode(NoiseSamples(2 * 30000, 7), MPEGAudio_ChannelMode_Stereo);
    convertor.Write(stream.data(), static_cast<int32_t>(stream.size()));
    char byte;
    EXPECT_EQ(convertor.Read(&byte, 1), 0);
    EXPECT_EQ(convertor.Seek(0, soFromBeginning), -1);
    int64_t position = 0, size = 0;
    convertor.GetPositionAndSize(position, size);
    EXPECT_EQ(size, out.GetSize());
    EXPECT_EQ(position, out.GetPosition());
    EXPECT_GT(size, 0);
}

} // namespace
} // namespace quillset
