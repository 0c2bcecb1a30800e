// MPEG-1 system streams judged by independent decoders: at the rates of the Video CD and MPEG-1
// templates, constant and variable, the output decodes without an error in ffmpeg, gives libmpeg2
// the pictures of its video elementary stream, and the multiplexer logs no buffer underflow.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "encoder/tests/mux/mux_test_media.h"

namespace quillset {
namespace {

using muxtest::Capture;
using muxtest::Quote;

struct MPEG1Case {
    const char* Name;
    uint8_t StreamType;
    bool PAL;
};

class MPEG1SystemStream : public ::testing::TestWithParam<MPEG1Case> {};

TEST_P(MPEG1SystemStream, DecodesCleanlyWithoutUnderflow) {
    QS_REQUIRE_TOOLS("ffmpeg", "mpeg2dec");
    const MPEG1Case& c = GetParam();
    const std::string video = c.PAL ? muxtest::PALVideoClip() : muxtest::VCDVideoClip();
    const std::string audio = c.PAL ? muxtest::MP2Clip48() : muxtest::VCDMP2Clip();
    ASSERT_FALSE(video.empty());
    muxtest::TOutputDir dir;
    const std::string output = dir.File(std::string("mpeg1_") + c.Name + ".mpg");
    const muxtest::TMuxResult result = muxtest::MultiplexFiles(c.StreamType, {{0, video}, {1, audio}}, output);
    EXPECT_EQ(result.Underflows, 0);
    for (const std::string& line : result.Log)
        EXPECT_EQ(line.find("underflow"), std::string::npos) << line;
    EXPECT_EQ(testing::FfmpegStrictDecodeMessages(output), "");
    const std::string muxed = testing::Mpeg2decPictureDigests(output, true);
    const std::string plain = testing::Mpeg2decPictureDigests(video, false);
    EXPECT_GE(std::count(plain.begin(), plain.end(), '\n'), 45);
    EXPECT_EQ(muxed, plain);
}

const MPEG1Case kMPEG1Cases[] = {
    {"MPEG1_NTSC", MPEGSystemEncoder_StreamType_MPEG1, false},
    {"MPEG1_PAL", MPEGSystemEncoder_StreamType_MPEG1, true},
    {"MPEG1_VBR", MPEGSystemEncoder_StreamType_MPEG1_VBR, false},
    {"VideoCD", MPEGSystemEncoder_StreamType_MPEG1_VideoCD, false},
    {"VideoCD_PAL", MPEGSystemEncoder_StreamType_MPEG1_VideoCD, true},
};

INSTANTIATE_TEST_SUITE_P(Rates, MPEG1SystemStream, ::testing::ValuesIn(kMPEG1Cases),
                         [](const ::testing::TestParamInfo<MPEG1Case>& param) { return param.param.Name; });

} // namespace
} // namespace quillset
