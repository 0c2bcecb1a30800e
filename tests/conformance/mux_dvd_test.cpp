// DVD outputs judged by independent tools: the DVD-Video form (navigation packs in every video
// object unit) with MPEG audio, Linear PCM or AC-3 is accepted by dvdauthor without a warning or
// an error; the plain MPEG-2 program stream decodes cleanly in ffmpeg and gives libmpeg2 the same
// pictures as its video elementary stream; audio and video start together and last as long; and
// the elementary streams read back from the program stream, multiplexed again by mplex -f 8, are
// accepted by dvdauthor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "encoder/tests/mux/mux_test_media.h"

namespace quillset {
namespace {

using muxtest::Capture;
using muxtest::Quote;
using muxtest::TInput;

using testing::DvdauthorComplaints;

struct DVDAudioCase {
    const char* Name;
    uint8_t Kind;
};

class DVDVideoForm : public ::testing::TestWithParam<DVDAudioCase> {};

TEST_P(DVDVideoForm, DvdauthorAcceptsTheProgramStreamDirectly) {
    QS_REQUIRE_TOOLS("ffmpeg", "dvdauthor");
    const DVDAudioCase& c = GetParam();
    const std::string audio = c.Kind == 1 ? muxtest::DVDMP2Clip() : c.Kind == 2 ? muxtest::DVDAC3Clip()
                                                                                : muxtest::LinearPCMClip();
    ASSERT_FALSE(audio.empty());
    muxtest::TOutputDir dir;
    const std::string output = dir.File(std::string("dvd_") + c.Name + ".vob");
    const muxtest::TMuxResult result = muxtest::MultiplexFiles(
        MPEGSystemEncoder_StreamType_MPEG2_DVD_VOB, {{0, muxtest::DVDVideoClip()}, {c.Kind, audio}}, output);
    EXPECT_EQ(result.Underflows, 0);
    const std::string bytes = testing::ReadFileBytes(output);
    ASSERT_EQ(bytes.size() % 2048, 0u);
    // Every unit opens with a navigation pack: pack header, system header, PCI and DSI.
    ASSERT_GE(bytes.size(), 2048u);
    EXPECT_EQ(muxtest::BigEndian(bytes, 14, 4), 0x000001BBu);
    EXPECT_EQ(muxtest::BigEndian(bytes, 38, 4), 0x000001BFu);
    EXPECT_EQ(muxtest::BigEndian(bytes, 38 + 986, 4), 0x000001BFu);
    EXPECT_EQ(DvdauthorComplaints(output, dir.File(std::string("dvd_") + c.Name + "_disc")), "");
}

const DVDAudioCase kDVDAudioCases[] = {{"MP2", 1}, {"AC3", 2}, {"LinearPCM", 3}};

INSTANTIATE_TEST_SUITE_P(Audio, DVDVideoForm, ::testing::ValuesIn(kDVDAudioCases),
                         [](const ::testing::TestParamInfo<DVDAudioCase>& param) { return param.param.Name; });

// Start time (the earliest packet) and end time (start plus the packets' durations), in seconds,
// of a stream as ffprobe sees it.
struct StreamSpan {
    double Start = -1;
    double End = -1;
};

StreamSpan ProbeSpan(const std::string& file, const std::string& selector) {
    const std::string out = Capture("ffprobe -v error -select_streams " + selector +
                                    " -show_entries packet=pts_time,duration_time -of csv=p=0 " + Quote(file));
    StreamSpan span;
    double total = 0;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        // Packets whose picture shares a packet with another one carry no time stamp ("N/A").
        const size_t comma = line.find(',');
        if (comma == std::string::npos)
            continue;
        double duration = 0;
        if (std::sscanf(line.c_str() + comma + 1, "%lf", &duration) == 1)
            total += duration;
        double pts = 0;
        if (std::sscanf(line.c_str(), "%lf", &pts) == 1 && (span.Start < 0 || pts < span.Start))
            span.Start = pts;
    }
    span.End = span.Start + total;
    return span;
}

TEST(MPEG2ProgramStream, DecodesCleanlyAndInSync) {
    QS_REQUIRE_TOOLS("ffmpeg", "ffprobe", "mpeg2dec");
    muxtest::TOutputDir dir;
    const std::string video = muxtest::DVDVideoClip();
    const std::string output = dir.File("program.mpg");
    const muxtest::TMuxResult result = muxtest::MultiplexFiles(
        MPEGSystemEncoder_StreamType_MPEG2_Program, {{0, video}, {1, muxtest::DVDMP2Clip()}, {2, muxtest::DVDAC3Clip()}},
        output);
    EXPECT_EQ(result.Underflows, 0);

    EXPECT_EQ(testing::FfmpegStrictDecodeMessages(output), "");
    // libmpeg2 through its program stream demultiplexer sees the pictures of the video itself.
    const std::string muxed = testing::Mpeg2decPictureDigests(output, true);
    const std::string plain = testing::Mpeg2decPictureDigests(video, false);
    EXPECT_GE(std::count(plain.begin(), plain.end(), '\n'), 55);
    EXPECT_EQ(muxed, plain);

    // MPEG audio frames of 1152 samples at 48 kHz; AC-3 frames of 1536.
    const StreamSpan v = ProbeSpan(output, "v:0");
    const StreamSpan a0 = ProbeSpan(output, "a:0");
    const StreamSpan a1 = ProbeSpan(output, "a:1");
    for (const StreamSpan& a : {a0, a1}) {
        ASSERT_GE(a.Start, 0);
        EXPECT_NEAR(a.Start, v.Start, 1536.0 / 48000);
        EXPECT_NEAR(a.End - a.Start, v.End - v.Start, 1536.0 / 48000);
    }
}

TEST(MPEG2ProgramStream, ElementaryStreamsRemultiplexedByMplexAreAcceptedByDvdauthor) {
    QS_REQUIRE_TOOLS("ffmpeg", "mplex", "dvdauthor");
    muxtest::TOutputDir dir;
    const std::string output = dir.File("program_for_mplex.mpg");
    muxtest::MultiplexFiles(MPEGSystemEncoder_StreamType_MPEG2_Program,
                            {{0, muxtest::DVDVideoClip()}, {1, muxtest::DVDMP2Clip()}, {2, muxtest::DVDAC3Clip()}}, output);
    const std::string video = dir.File("back.m2v");
    const std::string mp2 = dir.File("back.mp2");
    const std::string ac3 = dir.File("back.ac3");
    testing::WriteFileBytes(video, muxtest::DemultiplexFile(output, 0, 0));
    testing::WriteFileBytes(mp2, muxtest::DemultiplexFile(output, 1, 0));
    testing::WriteFileBytes(ac3, muxtest::DemultiplexFile(output, 2, 0));
    const std::string remux = dir.File("mplex.vob");
    const std::string log = Capture("mplex -v 1 -f 8 -o " + Quote(remux) + " " + Quote(video) + " " + Quote(mp2) + " " +
                                    Quote(ac3) + "; echo rc=$?");
    EXPECT_NE(log.find("rc=0"), std::string::npos) << log;
    EXPECT_EQ(DvdauthorComplaints(remux, dir.File("mplex_disc")), "");
}

} // namespace
} // namespace quillset
