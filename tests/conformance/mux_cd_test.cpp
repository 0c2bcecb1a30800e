// Video CD and Super Video CD outputs judged by vcdimager and by walking the packs: vcdimager builds
// a VCD 2.0 / SVCD image from them without a warning or an error; every pack is 2324 bytes and the
// system clock reference advances 2352 bytes per pack at the fixed rate (1200 ticks at 75 sectors
// per second); the scan information of each Super Video CD I picture points to the sectors of the
// previous and the next I picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "encoder/demux/mpeg_demultiplexor.h"
#include "encoder/mux/pack_headers.h"
#include "encoder/tests/mux/mux_test_media.h"
#include "stream/file_stream.h"

namespace quillset {
namespace {

using muxtest::Capture;
using muxtest::Quote;

using testing::VcdimagerComplaints;

// The system clock reference (90 kHz base) of the pack header at `at`.
int64_t PackSCR(const std::string& bytes, size_t at) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + at + 4);
    if ((p[0] & 0xC0) == 0x40) { // ISO/IEC 13818-1
        return static_cast<int64_t>(p[0] >> 3 & 7) << 30 | static_cast<int64_t>(p[0] & 3) << 28 |
               static_cast<int64_t>(p[1]) << 20 | static_cast<int64_t>(p[2] >> 3) << 15 |
               static_cast<int64_t>(p[2] & 3) << 13 | static_cast<int64_t>(p[3]) << 5 | p[4] >> 3;
    }
    return ReadTimestamp(p);
}

struct CDCase {
    const char* Name;
    uint8_t StreamType;
    const char* VcdimagerType;
    int64_t TicksPerPack; // 0: the clock skips idle packs
};

class CDForm : public ::testing::TestWithParam<CDCase> {};

TEST_P(CDForm, PacksAreSectorsAndVcdimagerAcceptsTheStream) {
    QS_REQUIRE_TOOLS("ffmpeg", "vcdimager");
    const CDCase& c = GetParam();
    const bool super = c.StreamType == MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR;
    const std::string video = super ? muxtest::SVCDVideoClip() : muxtest::VCDVideoClip();
    muxtest::TOutputDir dir;
    const std::string output = dir.File(std::string("cd_") + c.Name + ".mpg");
    const muxtest::TMuxResult result =
        muxtest::MultiplexFiles(c.StreamType, {{0, video}, {1, muxtest::VCDMP2Clip()}}, output);
    EXPECT_EQ(result.Underflows, 0);
    const std::string bytes = testing::ReadFileBytes(output);
    ASSERT_EQ(bytes.size() % 2324, 0u);
    int64_t previousSCR = -1;
    for (size_t at = 0; at < bytes.size(); at += 2324) {
        ASSERT_EQ(muxtest::BigEndian(bytes, at, 4), 0x000001BAu) << "pack " << at / 2324;
        const int64_t scr = PackSCR(bytes, at);
        if (previousSCR >= 0) {
            if (c.TicksPerPack > 0)
                EXPECT_EQ(scr - previousSCR, c.TicksPerPack) << "pack " << at / 2324;
            else
                EXPECT_EQ((scr - previousSCR) % 600, 0) << "pack " << at / 2324; // whole 2352-byte sectors
        }
        previousSCR = scr;
    }
    EXPECT_EQ(VcdimagerComplaints(c.VcdimagerType, output, dir.File(std::string("cd_") + c.Name + "_image")), "");
}

const CDCase kCDCases[] = {
    {"VideoCD", MPEGSystemEncoder_StreamType_MPEG1_VideoCD, "vcd2", 1200},
    {"SuperVideoCD", MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR, "svcd", 0},
};

INSTANTIATE_TEST_SUITE_P(Discs, CDForm, ::testing::ValuesIn(kCDCases),
                         [](const ::testing::TestParamInfo<CDCase>& param) { return param.param.Name; });

// The sector distance of a 3-byte scan offset (minutes, seconds | 0x80, sectors | 0x80 in
// binary-coded decimal); -1 for FF FF FF.
int64_t ScanDistance(const uint8_t* p) {
    if (p[0] == 0xFF && p[1] == 0xFF && p[2] == 0xFF)
        return -1;
    EXPECT_EQ(p[1] & 0x80, 0x80);
    EXPECT_EQ(p[2] & 0x80, 0x80);
    const auto decimal = [](uint8_t bcd) {
        EXPECT_LE(bcd >> 4, 9) << "not a decimal digit";
        EXPECT_LE(bcd & 15, 9) << "not a decimal digit";
        return int64_t{bcd >> 4} * 10 + (bcd & 15);
    };
    return decimal(p[0]) * 4500 + decimal(p[1] & 0x7F) * 75 + decimal(p[2] & 0x7F);
}

TEST(SuperVideoCDScanInformation, OffsetsPointToThePreviousAndNextIPictures) {
    QS_REQUIRE_TOOLS("ffmpeg");
    muxtest::TOutputDir dir;
    const std::string output = dir.File("svcd_scan.mpg");
    muxtest::MultiplexFiles(MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR,
                            {{0, muxtest::SVCDVideoClip()}, {1, muxtest::VCDMP2Clip()}}, output);
    // Walk the packs: the sector of every I picture start and its scan-information bytes.
    TLargeFileStream file(output, FILE_ATTRIBUTE_NORMAL, fmOpenRead);
    TMPEGDemultiplexor demultiplexor(file);
    struct IPicture {
        int64_t Sector;
        std::vector<uint8_t> Scan;
    };
    std::vector<IPicture> pictures;
    std::string video;       // the video so far
    std::vector<int64_t> sectorOf; // sector of each video byte's packet, by packet start
    std::vector<std::pair<size_t, int64_t>> packetStarts;
    while (demultiplexor.NextPacket()) {
        const TMPEGDemultiplexor_Packet& packet = demultiplexor.GetPacket();
        if (packet.Skip || packet.Kind != 0)
            continue;
        packetStarts.emplace_back(video.size(), packet.Position / 2324);
        video.append(reinterpret_cast<const char*>(packet.Payload), static_cast<size_t>(packet.PayloadSize));
    }
    auto sectorAt = [&](size_t offset) {
        int64_t sector = -1;
        for (const auto& [start, s] : packetStarts)
            if (start <= offset)
                sector = s;
        return sector;
    };
    for (size_t at = video.find(std::string("\0\0\1\0", 4)); at != std::string::npos;
         at = video.find(std::string("\0\0\1\0", 4), at + 4)) {
        const int type = static_cast<uint8_t>(video[at + 5]) >> 3 & 7;
        if (type != 1)
            continue;
        const size_t block = video.find(std::string("\0\0\1\xB2\x10\x0E", 6), at);
        ASSERT_NE(block, std::string::npos);
        // The unit opens with the sequence or GOP header in front of the picture: its first sector.
        size_t unitStart = at;
        const size_t gop = video.rfind(std::string("\0\0\1\xB8", 4), at);
        if (gop != std::string::npos && at - gop < 64)
            unitStart = gop;
        const size_t sequence = video.rfind(std::string("\0\0\1\xB3", 4), at);
        if (sequence != std::string::npos && at - sequence < 256)
            unitStart = std::min(unitStart, sequence);
        pictures.push_back({sectorAt(unitStart), std::vector<uint8_t>(video.begin() + static_cast<std::ptrdiff_t>(block + 6),
                                                                      video.begin() + static_cast<std::ptrdiff_t>(block + 18))});
    }
    ASSERT_GE(pictures.size(), 3u);
    for (size_t i = 0; i < pictures.size(); ++i) {
        const int64_t previous = ScanDistance(pictures[i].Scan.data());
        const int64_t next = ScanDistance(pictures[i].Scan.data() + 3);
        EXPECT_EQ(previous, i == 0 ? -1 : pictures[i].Sector - pictures[i - 1].Sector) << "I picture " << i;
        EXPECT_EQ(next, i + 1 == pictures.size() ? -1 : pictures[i + 1].Sector - pictures[i].Sector) << "I picture " << i;
        // A 2 s clip has no I picture 5 to 10 s away.
        EXPECT_EQ(ScanDistance(pictures[i].Scan.data() + 6), -1);
        EXPECT_EQ(ScanDistance(pictures[i].Scan.data() + 9), -1);
    }
}

} // namespace
} // namespace quillset
