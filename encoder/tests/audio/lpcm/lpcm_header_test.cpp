#include "encoder/audio/lpcm/lpcm_header.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quillset {
namespace {

TEST(LPCMHeaderTest, BuildsTheHeaderBytesOfA48kHzStereoStream) {
    const TLinearPCMHeader header = BuildLPCMHeader(TLinearPCMHeaderInfo{});
    const uint8_t expected[LPCMHeaderSize] = {'V', 'D', 'M', 'S',  'L',  'P', 'C', 'M', 2, 0,
                                              20,  0,   16,  0x80, 0xBB, 0,   0,   2,   0, 0x80};
    EXPECT_EQ(0, std::memcmp(header.data(), expected, LPCMHeaderSize));
    EXPECT_TRUE(IsValidLPCMHeader(header.data(), LPCMHeaderSize));
}

TEST(LPCMHeaderTest, ReadsBackWhatWasBuilt) {
    TLinearPCMHeaderInfo info;
    info.HeaderSize = 300;
    info.BitsPerSample = 24;
    info.SamplingFrequency = 96000;
    info.Channels = 6;
    info.Emphasis = 1;
    info.DynamicRangeControl = 0x12;
    const TLinearPCMHeader header = BuildLPCMHeader(info);
    const TLinearPCMHeaderInfo back = ReadLPCMHeader(header.data());
    EXPECT_EQ(back.HeaderSize, 300);
    EXPECT_EQ(back.BitsPerSample, 24);
    EXPECT_EQ(back.SamplingFrequency, 96000);
    EXPECT_EQ(back.Channels, 6);
    EXPECT_EQ(back.Emphasis, 1);
    EXPECT_EQ(back.DynamicRangeControl, 0x12);
}

struct HeaderCase {
    const char* name;
    int offset; // first byte of the field to change
    int width;  // its size in bytes (little-endian)
    uint32_t value;
    bool valid;
};

class LPCMHeaderValidityTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(LPCMHeaderValidityTest, ChecksEveryField) {
    const HeaderCase& c = GetParam();
    TLinearPCMHeader header = BuildLPCMHeader(TLinearPCMHeaderInfo{});
    for (int i = 0; i < c.width; ++i)
        header[c.offset + i] = static_cast<uint8_t>(c.value >> (8 * i));
    EXPECT_EQ(IsValidLPCMHeader(header.data(), LPCMHeaderSize), c.valid) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, LPCMHeaderValidityTest,
    ::testing::Values(HeaderCase{"first tag", 0, 1, 'X', false}, HeaderCase{"second tag", 7, 1, 'X', false},
                      HeaderCase{"version 1", 8, 2, 1, false}, HeaderCase{"version 258", 8, 2, 258, false},
                      HeaderCase{"header size 19", 10, 2, 19, false}, HeaderCase{"header size 21", 10, 2, 21, true},
                      HeaderCase{"header size 65535", 10, 2, 65535, true}, HeaderCase{"8 bits", 12, 1, 8, false},
                      HeaderCase{"20 bits", 12, 1, 20, true}, HeaderCase{"24 bits", 12, 1, 24, true},
                      HeaderCase{"32 bits", 12, 1, 32, false}, HeaderCase{"44100 Hz", 13, 4, 44100, false},
                      HeaderCase{"96000 Hz", 13, 4, 96000, true},
                      HeaderCase{"96000 Hz shifted", 13, 4, 96000u << 8, false},
                      HeaderCase{"no channels", 17, 1, 0, false}, HeaderCase{"8 channels", 17, 1, 8, true},
                      HeaderCase{"9 channels", 17, 1, 9, false}, HeaderCase{"emphasis", 18, 1, 1, true},
                      HeaderCase{"dynamic range", 19, 1, 0, true}));

TEST(LPCMHeaderTest, FewerThanTwentyBytesAreNeverAHeader) {
    const TLinearPCMHeader header = BuildLPCMHeader(TLinearPCMHeaderInfo{});
    EXPECT_FALSE(IsValidLPCMHeader(header.data(), LPCMHeaderSize - 1));
    EXPECT_FALSE(IsValidLPCMHeader(header.data(), 0));
    EXPECT_FALSE(IsValidLPCMHeader(nullptr, LPCMHeaderSize));
}

} // namespace
} // namespace quillset
