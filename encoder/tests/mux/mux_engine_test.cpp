// The multiplex engines on hand-made streams: the mux rate from the streams' rates and payloads,
// pack sizes, the system clock reference on the byte clock, padding packs only at a constant rate,
// the Video CD layout, two passes for a stream whose rates are known only at the end, the mux
// rate patched at the end, underflows counted and logged, and what the engines write at the start
// and the end.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "encoder/demux/mpeg_demultiplexor.h"
#include "encoder/demux/mpeg_demultiplexor_stream.h"
#include "encoder/mux/mpeg2_engines.h"
#include "encoder/mux/mpeg_system_base.h"
#include "encoder/mux/pack_headers.h"
#include "encoder/mux/system_encoder.h"
#include "encoder/tests/mux/video_stream_builder.h"
#include "stream/memory_stream.h"

namespace quillset {
namespace {

struct TStreamInput {
    uint8_t Kind;
    std::string Bytes;
    uint8_t StreamId = 0;
};

struct TMuxOutput {
    std::string Bytes;
    int32_t Underflows = 0;
    int32_t MuxRate = 0;
    std::vector<std::string> Log;
};

TMuxOutput Multiplex(uint8_t type, const std::vector<TStreamInput>& inputs, uint8_t twoPass = 0) {
    TMuxOutput result;
    TLargeMemoryStream output;
    TMPEGSystemEncoder_EncodeConfig config;
    config.StreamType = type;
    config.TwoPassMultiplex = twoPass;
    {
        TMPEGSystemEncoder encoder(&output, config);
        encoder.OnLog = [&result](TMPEGBaseEncoder*, const std::string& text) { result.Log.push_back(text); };
        std::vector<TMPEGSystemEncoder_ElementaryStream*> streams;
        for (const TStreamInput& input : inputs)
            streams.push_back(encoder.AddStream({input.Kind, input.StreamId, 0}));
        std::vector<size_t> done(inputs.size(), 0);
        for (bool more = true; more;) {
            more = false;
            for (size_t i = 0; i < inputs.size(); ++i) {
                const size_t n = std::min<size_t>(inputs[i].Bytes.size() / 100 + 1, inputs[i].Bytes.size() - done[i]);
                if (n > 0)
                    streams[i]->WriteBuffer(inputs[i].Bytes.data() + done[i], static_cast<int32_t>(n));
                done[i] += n;
                more = more || done[i] < inputs[i].Bytes.size();
            }
        }
        encoder.EndEncode();
        result.Underflows = encoder.GetEngine()->GetUnderflowCount();
        result.MuxRate = static_cast<TMultiplexEngine_MPEGSystemBase*>(encoder.GetEngine())->MuxRate;
    }
    result.Bytes.assign(reinterpret_cast<const char*>(output.GetMemory()), static_cast<size_t>(output.GetSize()));
    return result;
}

uint32_t Be(const std::string& s, size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = v << 8 | static_cast<uint8_t>(s[at + static_cast<size_t>(i)]);
    return v;
}

struct TPack {
    size_t Offset;
    int64_t SCR;     // 90 kHz
    int32_t MuxRate; // units of 50 bytes/s
    std::vector<uint8_t> Ids; // start codes inside the pack
};

// The packs of an output whose packs are `packSize` bytes apart.
std::vector<TPack> Packs(const std::string& s, size_t packSize) {
    std::vector<TPack> packs;
    for (size_t at = 0; at + 16 <= s.size(); at += packSize) {
        if (Be(s, at, 4) != 0x000001BA)
            break;
        TPack pack{at, 0, 0, {}};
        const auto* p = reinterpret_cast<const uint8_t*>(s.data() + at + 4);
        size_t next = at + 12;
        if ((p[0] & 0xC0) == 0x40) {
            pack.SCR = static_cast<int64_t>(p[0] >> 3 & 7) << 30 | static_cast<int64_t>(p[0] & 3) << 28 | int64_t{p[1]} << 20 |
                       static_cast<int64_t>(p[2] >> 3) << 15 | static_cast<int64_t>(p[2] & 3) << 13 | int64_t{p[3]} << 5 | p[4] >> 3;
            pack.MuxRate = static_cast<int32_t>(uint32_t{p[6]} << 14 | uint32_t{p[7]} << 6 | p[8] >> 2);
            next = at + 14;
        } else {
            pack.SCR = ReadTimestamp(p);
            pack.MuxRate = static_cast<int32_t>((uint32_t{p[5]} & 0x7F) << 15 | uint32_t{p[6]} << 7 | p[7] >> 1);
        }
        const size_t end = std::min(s.size(), at + packSize);
        while (next + 4 <= end) {
            if (Be(s, next, 3) != 1) {
                ++next; // zero bytes before an end code
                continue;
            }
            const uint8_t id = static_cast<uint8_t>(s[next + 3]);
            pack.Ids.push_back(id);
            if (id == 0xB9 || next + 6 > end)
                break;
            next += 6 + Be(s, next + 4, 2);
        }
        packs.push_back(pack);
    }
    return packs;
}

std::string Demux(const std::string& file, uint8_t kind) {
    TLargeMemoryStream source;
    source.WriteBuffer(file.data(), static_cast<int32_t>(file.size()));
    TMPEGDemultiplexorStream stream(source, false, kind, 0);
    std::string out(static_cast<size_t>(stream.GetSize()), '\0');
    stream.ReadBuffer(out.data(), static_cast<int32_t>(out.size()));
    return out;
}

TEST(MPEG1Engine, ConstantRateMultiplexHasTheComputedRateAndPadding) {
    const std::string video = muxtest::BuildVideoStream({}, muxtest::GroupOfPictures(60, 12000, 3000));
    const std::string audio = muxtest::BuildLayer2Frames(84, 0);
    const TMuxOutput out = Multiplex(MPEGSystemEncoder_StreamType_MPEG1, {{0, video}, {1, audio}});
    // Payloads 2048 - 12 - 18 (video) and 2048 - 12 - 13 (audio).
    const int64_t sum = std::llround(2048.0 / 2018 * 1150000) + std::llround(2048.0 / 2023 * 224000);
    const int32_t expected = static_cast<int32_t>((sum + 399) / 400);
    EXPECT_EQ(out.MuxRate, expected);
    ASSERT_EQ(out.Bytes.size() % 2048, 4u); // packs, then the end code
    EXPECT_EQ(Be(out.Bytes, out.Bytes.size() - 4, 4), 0x000001B9u);
    const std::vector<TPack> packs = Packs(out.Bytes, 2048);
    ASSERT_EQ(packs.size(), out.Bytes.size() / 2048);
    int paddingPacks = 0;
    for (size_t i = 0; i < packs.size(); ++i) {
        EXPECT_EQ(packs[i].MuxRate, expected);
        if (i > 0) {
            EXPECT_EQ(packs[i].SCR - packs[i - 1].SCR, (static_cast<int64_t>(i) * 2048 + 9) * 90000 / (expected * 50) -
                                                           (static_cast<int64_t>(i - 1) * 2048 + 9) * 90000 / (expected * 50));
        }
        if (i > 0 && packs[i].Ids == std::vector<uint8_t>{0xBE})
            ++paddingPacks;
    }
    EXPECT_GT(paddingPacks, 0);
    EXPECT_EQ(packs[0].Ids, (std::vector<uint8_t>{0xBB, 0xBE}));
    EXPECT_EQ(out.Underflows, 0);
    EXPECT_EQ(Demux(out.Bytes, 0), video);
    EXPECT_EQ(Demux(out.Bytes, 1), audio);
}

TEST(VideoCDEngine, SectorLayoutAndFixedRate) {
    const std::string video = muxtest::BuildVideoStream({}, muxtest::GroupOfPictures(60, 12000, 3000));
    const std::string audio = muxtest::BuildLayer2Frames(84, 0);
    const TMuxOutput out = Multiplex(MPEGSystemEncoder_StreamType_MPEG1_VideoCD, {{0, video}, {1, audio}});
    ASSERT_EQ(out.Bytes.size() % 2324, 0u);
    const std::vector<TPack> packs = Packs(out.Bytes, 2324);
    ASSERT_EQ(packs.size(), out.Bytes.size() / 2324);
    // One padding pack with its own system header per stream first.
    EXPECT_EQ(packs[0].Ids, (std::vector<uint8_t>{0xBB, 0xBE}));
    EXPECT_EQ(packs[1].Ids, (std::vector<uint8_t>{0xBB, 0xBE}));
    EXPECT_EQ(Be(out.Bytes, 12 + 6 + 6, 1), 0xE0u);
    EXPECT_EQ(Be(out.Bytes, 2324 + 12 + 6 + 6, 1), 0xC0u);
    int audioPacks = 0;
    std::map<uint8_t, int> endCodes;
    for (size_t i = 0; i < packs.size(); ++i) {
        EXPECT_EQ(packs[i].MuxRate, 3528);
        // 2352 bytes at 176400 bytes/s: 1200 ticks.
        EXPECT_EQ(packs[i].SCR, static_cast<int64_t>((i * 2352 + 9) * 90000 / 176400)) << "pack " << i;
        if (!packs[i].Ids.empty() && packs[i].Ids[0] == 0xC0) {
            ++audioPacks;
            EXPECT_EQ(out.Bytes.substr(packs[i].Offset + 2304, 20), std::string(20, '\0')) << "pack " << i;
        }
        if (!packs[i].Ids.empty() && packs[i].Ids.back() == 0xB9)
            ++endCodes[packs[i].Ids.size() > 1 ? packs[i].Ids[packs[i].Ids.size() - 2] : 0];
    }
    EXPECT_GT(audioPacks, 20);
    // Each stream ends with its end code once: after its last packet, or in a padding pack that
    // carries its system header.
    int total = 0;
    for (const auto& [id, count] : endCodes)
        total += count;
    EXPECT_EQ(total, 2);
    EXPECT_EQ(out.Underflows, 0);
    EXPECT_EQ(Demux(out.Bytes, 0), video);
    EXPECT_EQ(Demux(out.Bytes, 1), audio);
}

TEST(ProgramStreamEngine, VariableRateSkipsIdlePacksInsteadOfPadding) {
    muxtest::TVideoLayout layout;
    layout.MPEG2 = true;
    layout.BitRateValue = 20000; // 8 Mbit/s maximum
    const std::string video = muxtest::BuildVideoStream(layout, muxtest::GroupOfPictures(60, 20000, 4000));
    const std::string audio = muxtest::BuildLayer2Frames(84, 1);
    const std::string ac3 = muxtest::BuildAC3Frames(63);
    const TMuxOutput out = Multiplex(MPEGSystemEncoder_StreamType_MPEG2_Program, {{0, video}, {1, audio}, {2, ac3}});
    const std::vector<TPack> packs = Packs(out.Bytes, 2048);
    ASSERT_EQ(packs.size(), out.Bytes.size() / 2048);
    bool skipped = false;
    for (size_t i = 1; i < packs.size(); ++i) {
        EXPECT_NE(packs[i].Ids, (std::vector<uint8_t>{0xBE})) << "padding pack " << i;
        skipped = skipped || packs[i].SCR - packs[i - 1].SCR > packs[1].SCR - packs[0].SCR + 1;
        EXPECT_GT(packs[i].SCR, packs[i - 1].SCR);
    }
    EXPECT_TRUE(skipped);
    EXPECT_EQ(out.Underflows, 0);
    EXPECT_EQ(Demux(out.Bytes, 0), video);
    EXPECT_EQ(Demux(out.Bytes, 2), ac3);
}

// A packet that ends inside the header of a frame that begins in it makes decoders that find
// frames by their headers give the packet's time stamp to the frame before (two frames with one
// time). Fixed-size frames shift against the fixed payload by a few bytes per packet, so a long
// enough stream meets every offset.
TEST(AudioPackets, NeverEndInsideAFrameHeader) {
    struct Case {
        const char* Name;
        uint8_t StreamType;
        uint8_t Kind;
        std::string Frames;
        size_t FrameSize;
        size_t HeaderSize;
    };
    const Case cases[] = {
        {"AC-3 in a program stream", MPEGSystemEncoder_StreamType_MPEG2_Program, 2, muxtest::BuildAC3Frames(700), 768, 7},
        {"Layer II in a program stream", MPEGSystemEncoder_StreamType_MPEG2_Program, 1, muxtest::BuildLayer2Frames(2100, 1),
         672, 4},
        {"Layer II in a system stream", MPEGSystemEncoder_StreamType_MPEG1, 1, muxtest::BuildLayer2Frames(2100, 1), 672, 4},
    };
    for (const Case& c : cases) {
        const TMuxOutput out = Multiplex(c.StreamType, {{c.Kind, c.Frames}});
        TLargeMemoryStream file;
        file.WriteBuffer(out.Bytes.data(), static_cast<int32_t>(out.Bytes.size()));
        file.SetPosition(0);
        TMPEGDemultiplexor demultiplexor(file);
        std::string payload;
        int splitHeaders = 0;
        while (demultiplexor.NextPacket()) {
            const TMPEGDemultiplexor_Packet& packet = demultiplexor.GetPacket();
            if (packet.Skip || packet.Kind != c.Kind)
                continue;
            payload.append(reinterpret_cast<const char*>(packet.Payload), static_cast<size_t>(packet.PayloadSize));
            const size_t end = payload.size();
            const size_t lastStart = (end - 1) / c.FrameSize * c.FrameSize;
            if (end < c.Frames.size() && lastStart + c.HeaderSize > end)
                ++splitHeaders;
        }
        EXPECT_EQ(splitHeaders, 0) << c.Name;
        EXPECT_TRUE(payload == c.Frames) << c.Name;
    }
}

TEST(MPEG1Engine, RatesKnownOnlyAtTheEndTakeTwoPasses) {
    muxtest::TVideoLayout layout;
    layout.BitRateValue = 0x3FFFF; // variable, no rate recorded
    const std::string video = muxtest::BuildVideoStream(layout, muxtest::GroupOfPictures(60, 12000, 3000));
    const std::string audio = muxtest::BuildLayer2Frames(84, 0);
    for (uint8_t twoPass : {uint8_t{0}, uint8_t{1}}) {
        const TMuxOutput out = Multiplex(MPEGSystemEncoder_StreamType_MPEG1, {{0, video}, {1, audio}}, twoPass);
        ASSERT_GT(out.Bytes.size(), video.size());
        // The measured average: the file's bytes over 60 frames at 29.97 Hz, plus packet overhead.
        const double videoRate = video.size() * 8 / (60 * 1001.0 / 30000);
        EXPECT_GT(out.MuxRate, static_cast<int32_t>(videoRate / 400));
        for (const TPack& pack : Packs(out.Bytes, 2048))
            EXPECT_EQ(pack.MuxRate, out.MuxRate);
        EXPECT_EQ(Demux(out.Bytes, 0), video);
        EXPECT_EQ(Demux(out.Bytes, 1), audio);
    }
}

TEST(MPEG1Engine, MuxRateFoundAtTheEndIsPatchedIntoEveryHeader) {
    // Variable rate with only a maximum recorded: the average is measured at the end.
    muxtest::TVideoLayout layout;
    layout.BitRateValue = 0x3FFFF;
    const uint32_t rate = 3000000;
    const uint32_t word = (rate & 0x7FFF) << 17 | 1u << 16 | (rate >> 15 & 0x7FFF) << 1 | 1u;
    layout.SequenceUserData = std::string("\x00\x81", 2) + std::string{static_cast<char>(word >> 24), static_cast<char>(word >> 16),
                                                                      static_cast<char>(word >> 8), static_cast<char>(word)};
    const std::string video = muxtest::BuildVideoStream(layout, muxtest::GroupOfPictures(60, 12000, 3000));
    const std::string audio = muxtest::BuildLayer2Frames(84, 0);
    const TMuxOutput out = Multiplex(MPEGSystemEncoder_StreamType_MPEG1, {{0, video}, {1, audio}});
    const double seconds = 60 * 1001.0 / 30000;
    const double audioSeconds = 84 * 1152 / 44100.0;
    const int32_t expected = static_cast<int32_t>(std::llround((video.size() * 8 / seconds + audio.size() * 8 / audioSeconds) / 400));
    EXPECT_EQ(out.MuxRate, expected);
    const std::vector<TPack> packs = Packs(out.Bytes, 2048);
    ASSERT_FALSE(packs.empty());
    for (const TPack& pack : packs)
        EXPECT_EQ(pack.MuxRate, expected);
    // The system header's rate bound too.
    const size_t header = out.Bytes.find(std::string("\0\0\1\xBB", 4));
    ASSERT_NE(header, std::string::npos);
    EXPECT_EQ(static_cast<int32_t>(Be(out.Bytes, header + 6, 3) >> 1 & 0x3FFFFF), expected);
}

TEST(MPEG1Engine, LateDeliveriesAreCountedAndLogged) {
    // A picture far larger than its rate can deliver before it is decoded.
    std::vector<muxtest::TPictureLayout> pictures = muxtest::GroupOfPictures(30, 2000, 1000);
    pictures[15].SliceBytes = 400000;
    muxtest::TVideoLayout layout;
    layout.BitRateValue = 500; // 200 kbit/s
    const TMuxOutput out = Multiplex(MPEGSystemEncoder_StreamType_MPEG1, {{0, muxtest::BuildVideoStream(layout, pictures)}});
    EXPECT_GT(out.Underflows, 0);
    ASSERT_EQ(out.Log.size(), 1u);
    EXPECT_EQ(out.Log[0], "Multiplex buffer underflow!! packet: " + std::to_string(out.Underflows));
}

TEST(StillPictureEngine, SendsTheLowestStreamFirst) {
    muxtest::TVideoLayout layout;
    layout.BitRateValue = 0x3FFFF;
    const std::string normal = muxtest::BuildVideoStream(layout, {{'I', false, 20000}});
    const std::string high = muxtest::BuildVideoStream(layout, {{'I', false, 60000}});
    const TMuxOutput out = Multiplex(MPEGSystemEncoder_StreamType_MPEG1_VideoCD_StillPicture,
                                     {{0, high, 0xE2}, {0, normal, 0xE1}});
    const std::vector<TPack> packs = Packs(out.Bytes, 2324);
    ASSERT_GT(packs.size(), 3u);
    EXPECT_EQ(packs.front().Ids.front(), 0xBB);
    EXPECT_EQ(packs.back().Ids.back(), 0xB9);
    std::vector<uint8_t> order;
    for (const TPack& pack : packs)
        if (!pack.Ids.empty() && (pack.Ids[0] == 0xE1 || pack.Ids[0] == 0xE2) && (order.empty() || order.back() != pack.Ids[0]))
            order.push_back(pack.Ids[0]);
    EXPECT_EQ(order, (std::vector<uint8_t>{0xE1, 0xE2}));
}

TEST(SuperVideoCDScanInformation, OffsetsInSectorsToNearAndFarIPictures) {
    // An I picture every second, 100 sectors apart; the far targets lie 5 to 10 s away.
    std::vector<TMultiplexEngine_MPEG2_SuperVideoCD::TScanRecord> records;
    for (int64_t i = 0; i < 12; ++i)
        records.push_back({i * 90000, i * 100, i * 100 * 2324, i * 1000});
    records.push_back({12 * 90000 + 1000, 12 * 100 + 9000, 0, 0}); // 9000 sectors on: two minutes
    auto scan = [&](size_t index) {
        uint8_t bytes[12];
        BuildScanInformation(records, index, bytes);
        return std::vector<uint8_t>(bytes, bytes + 12);
    };
    // Binary-coded decimal, as vcdimager reads them: 100 sectors are 0 minutes, 1 second | 0x80,
    // 25 | 0x80; 500 sectors 0, 6 | 0x80, 50 | 0x80.
    const std::vector<uint8_t> near = {0x00, 0x81, 0xA5};
    const std::vector<uint8_t> far = {0x00, 0x86, 0xD0};
    const std::vector<uint8_t> none = {0xFF, 0xFF, 0xFF};
    auto part = [](const std::vector<uint8_t>& v, size_t at) { return std::vector<uint8_t>(v.begin() + at, v.begin() + at + 3); };
    const std::vector<uint8_t> first = scan(0);
    EXPECT_EQ(part(first, 0), none);
    EXPECT_EQ(part(first, 3), near);
    EXPECT_EQ(part(first, 6), none);
    EXPECT_EQ(part(first, 9), far); // record 5 is 450000 ticks away: more than 449999
    const std::vector<uint8_t> tenth = scan(10);
    EXPECT_EQ(part(tenth, 0), near);
    EXPECT_EQ(part(tenth, 6), far);
    EXPECT_EQ(part(tenth, 9), none); // nothing 5 to 10 s later
    // The last record is 9000 + 100 sectors after record 11: 2 minutes, 1 second, 25.
    EXPECT_EQ(part(scan(12), 0), (std::vector<uint8_t>{0x02, 0x81, 0xA5}));
}

} // namespace
} // namespace quillset
