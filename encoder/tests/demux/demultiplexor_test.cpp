// The demultiplexer on hand-made files: packets and their time stamps in both pack layers,
// private stream 1 substreams (AC-3 and DVD Linear PCM with the private header made from the DVD
// one), the wrappers it takes apart, streams a system header leaves out, the stream face's size,
// reads, seeks and in-place writes, and damaged files read up to the damage.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "encoder/audio/lpcm/lpcm_header.h"
#include "encoder/demux/mpeg_demultiplexor.h"
#include "encoder/demux/mpeg_demultiplexor_stream.h"
#include "encoder/demux/stream_listing.h"
#include "encoder/framework/mpeg_errors.h"
#include "encoder/tests/demux/program_stream_builder.h"
#include "stream/memory_stream.h"
#include "tests/support/error_codes.h"

namespace quillset {
namespace {

using namespace demuxtest;

class TMemoryFile {
public:
    explicit TMemoryFile(const std::string& bytes) {
        if (!bytes.empty())
            Stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
        Stream.SetPosition(0);
    }
    std::string Contents() {
        return std::string(reinterpret_cast<const char*>(Stream.GetMemory()), static_cast<size_t>(Stream.GetSize()));
    }
    TLargeMemoryStream Stream;
};

std::string ReadAll(TLargeStream& stream) {
    std::string out;
    char buffer[777];
    for (int32_t got; (got = stream.Read(buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<size_t>(got));
    return out;
}

std::string ReadStream(const std::string& file, uint8_t kind, uint8_t number) {
    TMemoryFile memory(file);
    TMPEGDemultiplexorStream stream(memory.Stream, false, kind, number);
    return ReadAll(stream);
}

using testing::CodeOf;

TEST(Demultiplexor, ReportsPacketsWithTheirTimeStamps) {
    const std::string file = MPEG1Pack() + SystemHeader({0xE0, 0xC0}) + MPEG1Packet(0xE0, "video1", 3003, 0, 3) +
                             MPEG1Packet(0xC0, "audio1", 4000) + MPEG1Packet(0xBE, std::string(20, '\xFF')) +
                             MPEG1Packet(0xE0, "video2") + MPEG2Pack(100) + MPEG2Packet(0xE1, "v2", 9000, 6000) +
                             MPEG2Packet(0xC3, "a3", 7000) + EndCode();
    TMemoryFile memory(file);
    TMPEGDemultiplexor demultiplexor(memory.Stream);
    EXPECT_EQ(demultiplexor.GetForm(), MPEGFileForm_Packets);
    struct Expected {
        bool Skip;
        uint8_t Kind;
        uint8_t Number;
        int64_t PTS;
        int64_t DTS;
        std::string Payload;
        int32_t Version;
    };
    const std::vector<Expected> expected = {
        {false, 0, 0, 3003, 0, "video1", 1}, {false, 1, 0, 4000, -1, "audio1", 1}, {true, 0, 0, -1, -1, std::string(20, '\xFF'), 1},
        {false, 0, 0, -1, -1, "video2", 1},  {false, 0, 1, 9000, 6000, "v2", 2},   {false, 1, 3, 7000, -1, "a3", 2},
    };
    for (const Expected& e : expected) {
        ASSERT_TRUE(demultiplexor.NextPacket());
        const TMPEGDemultiplexor_Packet& p = demultiplexor.GetPacket();
        EXPECT_EQ(p.Skip, e.Skip);
        if (!e.Skip) {
            EXPECT_EQ(p.Kind, e.Kind);
            EXPECT_EQ(p.Number, e.Number);
        }
        EXPECT_EQ(p.PTS, e.PTS);
        EXPECT_EQ(p.DTS, e.DTS);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.Payload), static_cast<size_t>(p.PayloadSize)), e.Payload);
        EXPECT_EQ(p.Version, e.Version);
        EXPECT_EQ(file.substr(static_cast<size_t>(p.Position), 3), std::string("\0\0\1", 3));
    }
    EXPECT_FALSE(demultiplexor.NextPacket());
    EXPECT_TRUE(demultiplexor.GetPacket().End);
    EXPECT_FALSE(demultiplexor.Failed());
    demultiplexor.Rewind();
    ASSERT_TRUE(demultiplexor.NextPacket());
    EXPECT_EQ(demultiplexor.GetPacket().PTS, 3003);
}

TEST(Demultiplexor, SplitsPrivateStream1Substreams) {
    // AC-3 frame pointer 5 -> offset 4; DVD LPCM: A = emphasis, B = 16 bit 96 kHz 2 channels, C.
    const std::string lpcmFirst = PrivatePayload(0xA1, 2, 4 + 8, std::string("\x80\x11\x7F", 3) + "ABCDEFGHIJKL");
    const std::string lpcmNext = PrivatePayload(0xA1, 1, 3, std::string("\x80\x11\x7F", 3) + "MNOP");
    const std::string file = MPEG2Pack() + MPEG2Packet(0xBD, PrivatePayload(0x82, 1, 5, "xxxxAC3-frame"), 100) +
                             MPEG2Packet(0xBD, lpcmFirst, 200) + MPEG2Packet(0xBD, lpcmNext, 300) +
                             MPEG2Packet(0xBD, PrivatePayload(0x20, 0, 0, "subpicture"));
    TMemoryFile memory(file);
    TMPEGDemultiplexor demultiplexor(memory.Stream);
    ASSERT_TRUE(demultiplexor.NextPacket());
    const TMPEGDemultiplexor_Packet& ac3 = demultiplexor.GetPacket();
    EXPECT_EQ(ac3.Kind, MPEGDemultiplexor_StreamKind_AC3);
    EXPECT_EQ(ac3.Number, 2);
    EXPECT_EQ(ac3.FirstAccessUnit, 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ac3.Payload), static_cast<size_t>(ac3.PayloadSize)), "xxxxAC3-frame");
    ASSERT_TRUE(demultiplexor.NextPacket());
    const TMPEGDemultiplexor_Packet& first = demultiplexor.GetPacket();
    EXPECT_EQ(first.Kind, MPEGDemultiplexor_StreamKind_LinearPCM);
    EXPECT_EQ(first.Number, 1);
    ASSERT_EQ(first.PayloadSize, 20 + 12);
    ASSERT_TRUE(IsValidLPCMHeader(first.Payload, first.PayloadSize));
    const TLinearPCMHeaderInfo info = ReadLPCMHeader(first.Payload);
    EXPECT_EQ(info.BitsPerSample, 16);
    EXPECT_EQ(info.SamplingFrequency, 96000);
    EXPECT_EQ(info.Channels, 2);
    EXPECT_EQ(info.Emphasis, 1);
    EXPECT_EQ(info.DynamicRangeControl, 0x7F);
    EXPECT_EQ(first.FirstAccessUnit, 20 + 8);
    ASSERT_TRUE(demultiplexor.NextPacket());
    EXPECT_EQ(demultiplexor.GetPacket().PayloadSize, 4);
    EXPECT_EQ(demultiplexor.GetPacket().FirstAccessUnit, -1);
    ASSERT_TRUE(demultiplexor.NextPacket());
    EXPECT_TRUE(demultiplexor.GetPacket().Skip);
}

TEST(Demultiplexor, DetectsElementaryFilesAndRefusesOthers) {
    struct Case {
        std::string Bytes;
        TMPEGFileForm Form;
    };
    static constexpr uint8_t kHeader[20] = {'V', 'D', 'M', 'S', 'L', 'P', 'C', 'M', 2, 0, 20, 0, 16, 0x80, 0xBB, 0, 0, 2, 0, 0x80};
    const std::vector<Case> cases = {
        {std::string("\0\0\1\xB3", 4) + std::string(5000, 'v'), MPEGFileForm_Video},
        {std::string("\xFF\xFD\xB4\x04", 4) + std::string(5000, 'a'), MPEGFileForm_Audio},
        {std::string("\x0B\x77", 2) + std::string(5000, 'c'), MPEGFileForm_AC3},
        {std::string(reinterpret_cast<const char*>(kHeader), 20) + std::string(5000, 'p'), MPEGFileForm_LinearPCM},
        {std::string(9, '\0') + std::string("\0\0\1\xB3", 4) + std::string(5000, 'v'), MPEGFileForm_Video},
    };
    for (const Case& c : cases) {
        TMemoryFile memory(c.Bytes);
        TMPEGDemultiplexor demultiplexor(memory.Stream);
        EXPECT_EQ(demultiplexor.GetForm(), c.Form);
        int64_t total = 0;
        while (demultiplexor.NextPacket()) {
            EXPECT_LE(demultiplexor.GetPacket().PayloadSize, 4096);
            total += demultiplexor.GetPacket().PayloadSize;
        }
        EXPECT_EQ(total, static_cast<int64_t>(c.Form == MPEGFileForm_Video && c.Bytes[0] == 0 && c.Bytes[3] == 0 ? 5004 : c.Bytes.size()));
    }
    for (const std::string& bytes : {std::string("hello world, not MPEG"), std::string(), std::string("\0\0\0\0\0\0", 6)}) {
        TMemoryFile memory(bytes);
        EXPECT_EQ(CodeOf([&] { TMPEGDemultiplexor demultiplexor(memory.Stream); }), MPEGError_IllegalSystemStream);
    }
}

TEST(DemultiplexorStream, ElementaryFileOfAnotherKindIsRefused) {
    const std::string audio = std::string("\xFF\xFD\xB4\x04", 4) + std::string(100, 'a');
    const std::string video = std::string("\0\0\1\xB3", 4) + std::string(100, 'v');
    const std::vector<std::pair<uint8_t, uint32_t>> onAudio = {
        {0, MPEGError_IllegalVideoStream}, {2, MPEGError_IllegalAC3Stream}, {3, MPEGError_IllegalLinearPCMStream},
        {7, MPEGError_IllegalSystemStream}};
    for (const auto& [kind, code] : onAudio) {
        TMemoryFile memory(audio);
        EXPECT_EQ(CodeOf([&] { TMPEGDemultiplexorStream stream(memory.Stream, false, kind, 0); }), code) << int{kind};
    }
    TMemoryFile memory(video);
    EXPECT_EQ(CodeOf([&] { TMPEGDemultiplexorStream stream(memory.Stream, false, 1, 0); }), MPEGError_IllegalAudioStream);
    EXPECT_EQ(ReadStream(video, 0, 0), video);
}

TEST(DemultiplexorStream, UnwrapsRiffFilesAndLeadingZeros) {
    auto le32 = [](uint32_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)}; };
    const std::string audio = std::string("\xFF\xFD\xB4\x04", 4) + std::string(600, 'a');
    const std::string rmp3 = "RIFF" + le32(static_cast<uint32_t>(4 + 8 + 3 + 1 + 8 + audio.size())) + "RMP3" + "LIST" +
                             le32(3) + "abc" + std::string(1, '\0') + "data" + le32(static_cast<uint32_t>(audio.size())) + audio;
    EXPECT_EQ(ReadStream(rmp3, 1, 0), audio);
    // One 2352-byte CD-XA sector with 2324 bytes of a system stream.
    std::string packs = MPEG1Pack() + MPEG1Packet(0xE0, "sector video", 90);
    packs += MPEG1Packet(0xBE, std::string(2324 - packs.size() - 9, '\xFF'));
    ASSERT_EQ(packs.size(), 2324u);
    std::string sector(24, '\0');
    sector += packs + std::string(4, '\0');
    const std::string cdxa = "RIFF" + le32(static_cast<uint32_t>(4 + 8 + sector.size())) + "CDXA" + "data" +
                             le32(static_cast<uint32_t>(sector.size())) + sector;
    EXPECT_EQ(ReadStream(cdxa, 0, 0), "sector video");
    // Zero bytes in front of the first pack.
    EXPECT_EQ(ReadStream(std::string(1000, '\0') + packs, 0, 0), "sector video");
    // A WAVE file becomes the private Linear PCM stream: the header first.
    const std::string samples = "\x01\x02\x03\x04";
    const std::string wave = "RIFF" + le32(4 + 26 + 8 + 4) + "WAVE" + "fmt " + le32(18) +
                             std::string("\x01\x00\x02\x00\x80\xBB\x00\x00\x00\xEE\x02\x00\x04\x00\x10\x00\x00\x00", 18) + "data" +
                             le32(4) + samples;
    const std::string lpcm = ReadStream(wave, 3, 0);
    ASSERT_GE(lpcm.size(), 24u);
    EXPECT_TRUE(IsValidLPCMHeader(lpcm.data(), 20));
    EXPECT_EQ(lpcm.substr(20, 4), "\x02\x01\x04\x03");
}

TEST(DemultiplexorStream, StreamsASystemHeaderLeavesOutAreAbsent) {
    std::string file = MPEG1Pack() + SystemHeader({0xE0, 0xC0});
    for (int i = 0; i < 4; ++i)
        file += MPEG1Packet(0xE0, "v") + MPEG1Packet(0xC0, "a") + MPEG1Packet(0xC1, "c");
    EXPECT_EQ(ReadStream(file, 1, 1), "");
    EXPECT_EQ(ReadStream(file, 1, 0), "aaaa");
    // 0xB8 stands for every audio stream.
    std::string all = MPEG1Pack() + SystemHeader({0xB9, 0xB8});
    for (int i = 0; i < 3; ++i)
        all += MPEG1Packet(0xE0, "v") + MPEG1Packet(0xC0, "a") + MPEG1Packet(0xC1, "c");
    EXPECT_EQ(ReadStream(all, 1, 1), "ccc");
    // Without a system header the stream is looked for through 1000 foreign packets.
    std::string many = MPEG1Pack();
    for (int i = 0; i < 1100; ++i)
        many += MPEG1Packet(0xE0, "v");
    many += MPEG1Packet(0xC0, "late");
    EXPECT_EQ(ReadStream(many, 1, 0), "");
}

TEST(DemultiplexorStream, SizeSeekAndTheLinearPCMHeaderOnEveryVisit) {
    std::string file = MPEG2Pack();
    std::string expected;
    for (int i = 0; i < 100; ++i) {
        const std::string data(static_cast<size_t>(40 + i), static_cast<char>('A' + i % 26));
        file += MPEG2Packet(0xBD, PrivatePayload(0xA0, 1, 4, std::string("\x00\x01\x80", 3) + data), i * 150) +
                MPEG2Packet(0xE0, "video");
        expected += data;
    }
    TMemoryFile memory(file);
    TMPEGDemultiplexorStream stream(memory.Stream, false, 3, 0);
    EXPECT_EQ(stream.GetSize(), static_cast<int64_t>(20 + expected.size()));
    const std::string all = ReadAll(stream);
    ASSERT_EQ(all.size(), 20 + expected.size());
    EXPECT_EQ(all.substr(20), expected);
    EXPECT_TRUE(IsValidLPCMHeader(all.data(), 20));
    for (const int64_t target : {int64_t{3000}, int64_t{0}, int64_t{5}, int64_t{2999}, int64_t{100}, int64_t{4000}}) {
        EXPECT_EQ(stream.Seek(target, soFromBeginning), target);
        char buffer[64] = {};
        const int32_t got = stream.Read(buffer, 64);
        const std::string want = all.substr(std::min<size_t>(static_cast<size_t>(target), all.size()), 64);
        EXPECT_EQ(std::string(buffer, static_cast<size_t>(got)), want) << "at " << target;
    }
    EXPECT_EQ(stream.Seek(-10, soFromBeginning), 0);
    EXPECT_EQ(stream.Seek(-4, soFromEnd), static_cast<int64_t>(all.size() - 4));
    EXPECT_EQ(stream.GetStreamInfo().LinearPCM.Channels, 2);
}

TEST(DemultiplexorStream, WritesInPlaceKeepingTheLayout) {
    std::string file = MPEG1Pack();
    for (int i = 0; i < 10; ++i)
        file += MPEG1Packet(0xE0, std::string(100, 'v'), i * 3003) + MPEG1Packet(0xC0, std::string(50, 'a'));
    TMemoryFile memory(file);
    {
        TMPEGDemultiplexorStream stream(memory.Stream, false, 0, 0);
        stream.Seek(95, soFromBeginning);
        const std::string patch(210, 'X');
        EXPECT_EQ(stream.Write(patch.data(), static_cast<int32_t>(patch.size())), 210);
        EXPECT_EQ(stream.GetPosition(), 305);
    }
    const std::string after = memory.Contents();
    ASSERT_EQ(after.size(), file.size());
    const std::string video = ReadStream(after, 0, 0);
    EXPECT_EQ(video, std::string(95, 'v') + std::string(210, 'X') + std::string(695, 'v'));
    EXPECT_EQ(ReadStream(after, 1, 0), std::string(500, 'a'));
}

TEST(DemultiplexorStream, EndCodesFollowedByPacksDoNotEndTheFile) {
    const std::string file = MPEG1Pack() + MPEG1Packet(0xC0, "first") + EndCode() + MPEG1Pack() + MPEG1Packet(0xC0, "second") +
                             EndCode() + std::string(12, '\0') + MPEG1Pack() + MPEG1Packet(0xC0, "third") + EndCode() +
                             MPEG1Packet(0xC0, "after the end");
    EXPECT_EQ(ReadStream(file, 1, 0), "firstsecondthird");
}

TEST(DemultiplexorStream, DamagedFilesReadUpToTheDamage) {
    const std::string good = MPEG1Pack() + MPEG1Packet(0xE0, "good1") + MPEG1Packet(0xE0, "good2");
    struct Case {
        const char* Name;
        std::string File;
    };
    std::string badHeader = MPEG1Packet(0xE0, "bad");
    badHeader[8] = '\x7E'; // neither time stamps nor 0x0F after the STD field
    const std::vector<Case> cases = {
        {"bad MPEG-1 header", good + badHeader + MPEG1Packet(0xE0, "lost")},
        {"truncated packet", good + MPEG1Packet(0xE0, "truncated").substr(0, 12)},
        {"start code of a slice", good + std::string("\0\0\1\x05", 4) + MPEG1Packet(0xE0, "lost")},
        {"bad MPEG-2 flags", good + MPEG2Pack() + [] { std::string p = MPEG2Packet(0xE0, "bad"); p[6] = 0x40; return p; }() +
                                 MPEG2Packet(0xE0, "lost")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadStream(c.File, 0, 0), "good1good2") << c.Name;
        TMemoryFile memory(c.File);
        TMPEGDemultiplexor demultiplexor(memory.Stream);
        int packets = 0;
        while (demultiplexor.NextPacket())
            ++packets;
        EXPECT_EQ(packets, 2) << c.Name;
    }
}

TEST(StreamListing, ListsKindsIdsSizesAndFirstTimeStamps) {
    const std::string file = MPEG2Pack() + MPEG2Packet(0xE0, std::string("\0\0\1\xB3\x2D\x01\xE0\x14\x13\x88\x23\x80", 12), 3003, 0) +
                             MPEG2Packet(0xC0, std::string("\xFF\xFD\xB4\x04", 4) + std::string(100, 'a'), 6006) +
                             MPEG2Packet(0xBD, PrivatePayload(0x81, 1, 1, "ac3"), 9009) + MPEG2Packet(0xE0, "more") + EndCode();
    TMemoryFile memory(file);
    const TMPEGStreamList list = ListMPEGStreams(memory.Stream);
    EXPECT_EQ(list.Version, 2);
    ASSERT_EQ(list.Streams.size(), 3u);
    EXPECT_EQ(list.Streams[0].StreamId, 0xE0);
    EXPECT_EQ(list.Streams[0].Bytes, 16);
    EXPECT_EQ(list.Streams[0].Packets, 2);
    EXPECT_EQ(list.Streams[0].FirstPTS, 3003);
    EXPECT_EQ(list.Streams[0].FirstDTS, 0);
    EXPECT_EQ(list.Streams[0].Info.Video.Width, 720);
    EXPECT_EQ(list.Streams[1].Info.Audio.Layer, 2);
    EXPECT_EQ(list.Streams[2].SubstreamId, 0x81);
    EXPECT_EQ(list.Streams[2].Number, 1);
    const std::vector<std::string> lines = FormatMPEGStreamList(list);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "MPEG-2 program stream, 4 packets");
    EXPECT_EQ(lines[3], "stream 0xBD/0x81 AC-3 #1: 3 bytes, 1 packets, first PTS 0.100100 s, first DTS 0.100100 s");
}

} // namespace
} // namespace quillset
