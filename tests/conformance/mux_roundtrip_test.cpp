// Round trip through the multiplexer and the demultiplexer: elementary streams made by ffmpeg are
// multiplexed into every system stream form, and demultiplexing the output gives them back byte
// for byte (a Super Video CD's video also carries the scan-information blocks the multiplexer
// adds; a Video CD's ".dat" file is read inside its RIFF CD-XA wrapper as well).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoder/demux/mpeg_demultiplexor.h"
#include "encoder/demux/stream_listing.h"
#include "encoder/tests/mux/mux_test_media.h"
#include "stream/file_stream.h"

namespace quillset {
namespace {

using muxtest::TInput;

struct RoundTripCase {
    const char* Name;
    uint8_t StreamType;
    std::vector<uint8_t> Kinds; // clips by kind: 0 video, 1 MPEG audio, 2 AC-3, 3 Linear PCM
    bool VideoCD;               // 352x240 MPEG-1 clips (else the DVD clips)
    bool SuperVideoCD;
};

std::string ClipFor(const RoundTripCase& c, uint8_t kind) {
    switch (kind) {
    case 0: return c.SuperVideoCD ? muxtest::SVCDVideoClip() : c.VideoCD ? muxtest::VCDVideoClip() : muxtest::DVDVideoClip();
    case 1: return c.VideoCD || c.SuperVideoCD ? muxtest::VCDMP2Clip() : muxtest::DVDMP2Clip();
    case 2: return muxtest::DVDAC3Clip();
    default: return muxtest::LinearPCMClip();
    }
}

// The video stream without the 18-byte scan-information blocks (user data 0x10 0x0E).
std::string WithoutScanBlocks(const std::string& video) {
    std::string out;
    size_t at = 0;
    for (;;) {
        const size_t found = video.find(std::string("\0\0\1\xB2\x10\x0E", 6), at);
        if (found == std::string::npos)
            break;
        out.append(video, at, found - at);
        at = found + 18;
    }
    out.append(video, at, std::string::npos);
    return out;
}

// 2352-byte Mode 2 Form 2 sectors around the 2324-byte packs, in a RIFF "CDXA" file.
std::string WrapInCDXA(const std::string& packs) {
    std::string data;
    for (size_t at = 0; at < packs.size(); at += 2324) {
        std::string sector(2352, '\0');
        sector[0] = '\0';
        for (int i = 1; i <= 10; ++i)
            sector[static_cast<size_t>(i)] = '\xFF';
        sector[15] = 2; // mode 2
        sector[18] = sector[22] = 0x20; // submode: form 2
        sector.replace(24, 2324, packs.substr(at, 2324).append(2324 - std::min<size_t>(2324, packs.size() - at), '\0'));
        data += sector;
    }
    auto le32 = [](uint32_t v) {
        std::string s(4, '\0');
        for (int i = 0; i < 4; ++i)
            s[static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
        return s;
    };
    std::string fmt(16, '\0');
    return "RIFF" + le32(static_cast<uint32_t>(4 + 8 + fmt.size() + 8 + data.size())) + "CDXA" + "fmt " +
           le32(static_cast<uint32_t>(fmt.size())) + fmt + "data" + le32(static_cast<uint32_t>(data.size())) + data;
}

class MuxRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(MuxRoundTrip, DemultiplexingGivesTheElementaryStreamsBack) {
    QS_REQUIRE_TOOLS("ffmpeg");
    const RoundTripCase& c = GetParam();
    std::vector<TInput> inputs;
    for (uint8_t kind : c.Kinds) {
        const std::string clip = ClipFor(c, kind);
        ASSERT_FALSE(clip.empty()) << "ffmpeg could not make the clip of kind " << int{kind};
        inputs.push_back({kind, clip});
    }
    muxtest::TOutputDir dir;
    const std::string output = dir.File(std::string("roundtrip_") + c.Name + ".mpg");
    const muxtest::TMuxResult result = muxtest::MultiplexFiles(c.StreamType, inputs, output);
    EXPECT_EQ(result.Underflows, 0);
    ASSERT_GT(result.BytesWritten, 0);
    EXPECT_EQ(static_cast<int64_t>(testing::ReadFileBytes(output).size()), result.BytesWritten);

    std::vector<uint8_t> numbers(4, 0);
    for (const TInput& input : inputs) {
        const uint8_t number = numbers[input.Kind]++;
        std::string expected = testing::ReadFileBytes(input.Path);
        std::string actual = muxtest::DemultiplexFile(output, input.Kind, number);
        if (c.SuperVideoCD && input.Kind == 0)
            actual = WithoutScanBlocks(actual);
        EXPECT_EQ(actual.size(), expected.size()) << "kind " << int{input.Kind};
        EXPECT_TRUE(actual == expected) << "kind " << int{input.Kind} << " differs";
    }
    if (c.StreamType == MPEGSystemEncoder_StreamType_MPEG1_VideoCD) {
        const std::string dat = dir.File("roundtrip_avseq01.dat");
        testing::WriteFileBytes(dat, WrapInCDXA(testing::ReadFileBytes(output)));
        for (uint8_t kind : {uint8_t{0}, uint8_t{1}})
            EXPECT_TRUE(muxtest::DemultiplexFile(dat, kind, 0) == muxtest::DemultiplexFile(output, kind, 0))
                << "kind " << int{kind} << " differs inside RIFF CDXA";
    }
}

const RoundTripCase kRoundTripCases[] = {
    {"MPEG1", MPEGSystemEncoder_StreamType_MPEG1, {0, 1}, true, false},
    {"MPEG1_VBR", MPEGSystemEncoder_StreamType_MPEG1_VBR, {0, 1}, true, false},
    {"VideoCD", MPEGSystemEncoder_StreamType_MPEG1_VideoCD, {0, 1}, true, false},
    {"VideoCD_Illegal", MPEGSystemEncoder_StreamType_MPEG1_VideoCD_Illegal, {0, 1}, true, false},
    {"MPEG2_Program", MPEGSystemEncoder_StreamType_MPEG2_Program, {0, 1, 2}, false, false},
    {"SuperVideoCD", MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR, {0, 1}, false, true},
    {"DVDVideo", MPEGSystemEncoder_StreamType_MPEG2_DVD_VOB, {0, 1, 2, 3}, false, false},
    {"Elementary", MPEGSystemEncoder_StreamType_ElementaryStream, {0}, true, false},
};

INSTANTIATE_TEST_SUITE_P(Forms, MuxRoundTrip, ::testing::ValuesIn(kRoundTripCases),
                         [](const ::testing::TestParamInfo<RoundTripCase>& param) { return param.param.Name; });

} // namespace
} // namespace quillset
