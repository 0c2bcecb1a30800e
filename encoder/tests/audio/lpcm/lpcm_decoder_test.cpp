#include "encoder/audio/lpcm/lpcm_decoder.h"

#include <gtest/gtest.h>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/tests/audio/lpcm/wave_test_util.h"

namespace quillset {
namespace {

using namespace quillset::testing;

std::string HeaderBytes(int32_t channels, int32_t headerSize = 20, int32_t bits = 16) {
    TLinearPCMHeaderInfo info;
    info.Channels = channels;
    info.HeaderSize = headerSize;
    info.BitsPerSample = bits;
    const TLinearPCMHeader header = BuildLPCMHeader(info);
    return std::string(reinterpret_cast<const char*>(header.data()), header.size());
}

// Feeds `stream` in pieces of `feedPiece` bytes and decodes into buffers of `outPiece` bytes until
// nothing more comes out; returns every output byte.
std::string DecodeAll(TLinearPCMStreamDecoder& decoder, const std::string& stream, int32_t outputBits,
                      size_t feedPiece = 1 << 20, int32_t outPiece = 1 << 16) {
    std::string out;
    std::string buffer(static_cast<size_t>(outPiece), '\0');
    size_t fed = 0;
    for (;;) {
        if (fed < stream.size()) {
            int32_t taken = 0;
            const auto n = static_cast<int32_t>(std::min(feedPiece, stream.size() - fed));
            decoder.Feed(stream.data() + fed, n, taken);
            fed += static_cast<size_t>(taken);
        }
        int32_t sampleTimes = 0;
        decoder.Decode(outputBits, buffer.data(), sampleTimes, outPiece);
        const int32_t bytes = sampleTimes * decoder.GetChannels() * (outputBits == 0 ? 1 : 2);
        out.append(buffer, 0, static_cast<size_t>(bytes));
        if (sampleTimes == 0 && fed == stream.size())
            return out;
    }
}

TEST(LPCMDecoderTest, Decodes16And8BitOutputWithClamping) {
    const std::vector<int16_t> samples = {-32768, 32767, -1, 1, 255, -256, 0, 128};
    const std::string stream = HeaderBytes(2) + SamplesBE(samples);
    struct {
        int32_t outputBits;
        std::string expected;
    } cases[] = {{1, SamplesLE(samples)},
                 // value div 256 + 128, truncating toward zero: -1 and 255 both give 128.
                 {0, std::string("\x00\xFF\x80\x80\x80\x7F\x80\x80", 8)}};
    for (const auto& c : cases) {
        TLinearPCMStreamDecoder decoder;
        EXPECT_EQ(DecodeAll(decoder, stream, c.outputBits), c.expected) << c.outputBits;
        EXPECT_EQ(decoder.GetChannels(), 2);
        EXPECT_EQ(decoder.GetSamplingFrequency(), 48000);
        EXPECT_EQ(decoder.GetBitsPerSample(), 16);
    }
}

TEST(LPCMDecoderTest, PiecesOfInputAndOutputDoNotChangeTheResult) {
    std::vector<int16_t> samples(2 * 40000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(i * 37);
    const std::string stream = HeaderBytes(2) + SamplesBE(samples);
    struct {
        size_t feed;
        int32_t out;
    } cases[] = {{1 << 20, 1 << 20}, {1, 4}, {999, 7}, {65536, 4000}, {3, 1 << 20}};
    for (const auto& c : cases) {
        TLinearPCMStreamDecoder decoder;
        EXPECT_EQ(DecodeAll(decoder, stream, 1, c.feed, c.out), SamplesLE(samples)) << c.feed << "/" << c.out;
    }
}

TEST(LPCMDecoderTest, DecodesMonoAndOnlyWholeSamplePairs) {
    // Five mono sample times: the last one has no partner yet and waits.
    const std::string stream = HeaderBytes(1) + SamplesBE({1, 2, 3, 4, 5});
    TLinearPCMStreamDecoder decoder;
    EXPECT_EQ(DecodeAll(decoder, stream, 1), SamplesLE({1, 2, 3, 4}));
    EXPECT_EQ(decoder.GetChannels(), 1);
    // Its partner arrives later.
    EXPECT_EQ(DecodeAll(decoder, SamplesBE({6}), 1), SamplesLE({5, 6}));
}

TEST(LPCMDecoderTest, WaitsForTheHeaderAndSkipsAnExtendedOne) {
    struct {
        int32_t headerSize;
        size_t feedPiece;
    } cases[] = {{20, 1}, {21, 3}, {1000, 7}, {65535, 4096}, {65535, 1 << 20}};
    for (const auto& c : cases) {
        const std::string stream = HeaderBytes(2, c.headerSize) +
                                   std::string(static_cast<size_t>(c.headerSize - 20), '\x7E') +
                                   SamplesBE({10, 20, 30, 40});
        TLinearPCMStreamDecoder decoder;
        EXPECT_EQ(DecodeAll(decoder, stream, 1, c.feedPiece), SamplesLE({10, 20, 30, 40})) << c.headerSize;
    }
}

TEST(LPCMDecoderTest, AHeaderSizeBeyondTheStreamGivesNothing) {
    const std::string stream = HeaderBytes(2, 60000) + SamplesBE({1, 2, 3, 4});
    TLinearPCMStreamDecoder decoder;
    EXPECT_EQ(DecodeAll(decoder, stream, 1), "");
    EXPECT_FALSE(decoder.GetHeaderPending());
}

TEST(LPCMDecoderTest, NoInputAndNoRoomGiveNothing) {
    TLinearPCMStreamDecoder decoder;
    int32_t sampleTimes = -1;
    char buffer[16];
    decoder.Decode(1, buffer, sampleTimes, sizeof buffer);
    EXPECT_EQ(sampleTimes, 0);
    const std::string stream = HeaderBytes(2) + SamplesBE({1, 2, 3, 4});
    int32_t taken = 0;
    decoder.Feed(stream.data(), static_cast<int32_t>(stream.size()), taken);
    decoder.Decode(1, buffer, sampleTimes, 3); // less than one sample time
    EXPECT_EQ(sampleTimes, 0);
    decoder.Decode(1, nullptr, sampleTimes, 16);
    EXPECT_EQ(sampleTimes, 0);
    decoder.Decode(1, buffer, sampleTimes, sizeof buffer);
    EXPECT_EQ(sampleTimes, 2);
}

TEST(LPCMDecoderTest, FeedTakesWhatFitsInTheInputBuffer) {
    const std::string stream = HeaderBytes(2) + std::string(100000, '\0');
    TLinearPCMStreamDecoder decoder;
    int32_t taken = 0;
    decoder.Feed(stream.data(), static_cast<int32_t>(stream.size()), taken);
    EXPECT_EQ(taken, TLinearPCMStreamDecoder::InputCapacity);
    decoder.Feed(stream.data(), 10, taken);
    EXPECT_EQ(taken, 0);
    decoder.Feed(nullptr, 10, taken);
    EXPECT_EQ(taken, 0);
}

struct BadHeaderCase {
    const char* name;
    std::string stream;
};

class LPCMDecoderRejectTest : public ::testing::TestWithParam<BadHeaderCase> {};

TEST_P(LPCMDecoderRejectTest, RaisesIllegalLinearPCMStream) {
    TLinearPCMStreamDecoder decoder;
    int32_t taken = 0;
    decoder.Feed(GetParam().stream.data(), static_cast<int32_t>(GetParam().stream.size()), taken);
    char buffer[64];
    int32_t sampleTimes = 0;
    try {
        decoder.Decode(1, buffer, sampleTimes, sizeof buffer);
        FAIL() << GetParam().name << " accepted";
    } catch (const EMPEGSystemEncoderError& e) {
        EXPECT_EQ(e.ErrorCode, MPEGError_IllegalLinearPCMStream);
    }
    EXPECT_THROW(decoder.Decode(1, buffer, sampleTimes, sizeof buffer), EMPEGSystemEncoderError);
}

INSTANTIATE_TEST_SUITE_P(Headers, LPCMDecoderRejectTest,
                         ::testing::Values(BadHeaderCase{"RIFF", WaveFile(SamplesLE({1, 2}))},
                                           BadHeaderCase{"partial wrong tag", "VDMX"},
                                           BadHeaderCase{"24 bits", HeaderBytes(2, 20, 24) + SamplesBE({1, 2})},
                                           BadHeaderCase{"three channels", HeaderBytes(3) + SamplesBE({1, 2, 3})},
                                           BadHeaderCase{"header size 0", HeaderBytes(2, 0)}));

} // namespace
} // namespace quillset
