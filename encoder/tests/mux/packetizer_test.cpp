// The packetizers cut their streams into access units with exact time stamps: video pictures in
// coded order with decoding times from the field count and presentation times in display order,
// repeated fields counted exactly, the scan-information block of Super Video CD I pictures, the
// rates a stream records; MPEG audio and AC-3 frames with presentation times from their samples;
// the DVD private stream headers of AC-3 and Linear PCM packets.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/mux/multiplexor_base.h"
#include "encoder/mux/packetizer_audio.h"
#include "encoder/mux/packetizer_lpcm.h"
#include "encoder/mux/packetizer_video.h"
#include "encoder/mux/system_encoder.h"
#include "encoder/tests/mux/video_stream_builder.h"
#include "stream/memory_stream.h"
#include "tests/support/error_codes.h"

namespace quillset {
namespace {

using muxtest::TPictureLayout;
using muxtest::TVideoLayout;

// An engine that only collects: its packetizers can be looked at after their input has ended.
class TCollectingEngine : public TMultiplexEngine_MultiplexorBase {
public:
    explicit TCollectingEngine(bool scanInformation = false)
        : TMultiplexEngine_MultiplexorBase(nullptr, nullptr), ScanInformation(scanInformation) {}
    bool AcceptsKind(uint8_t) const override { return true; }
    int64_t GetBytesWritten() override { return 0; }
    void MultiplexStep() override {}
    void FinishMultiplex() override {}
    bool NeedsScanInformation() const override { return ScanInformation; }
    bool ScanInformation;
};

// Writes the bytes in pieces of `piece` and ends the stream.
TMPEGPacketizerStream& Feed(TCollectingEngine& engine, uint8_t kind, const std::string& bytes, size_t piece = 5000) {
    auto* stream = static_cast<TMPEGPacketizerStream*>(engine.AddStream({kind, 0, 0}, nullptr));
    for (size_t at = 0; at < bytes.size(); at += piece)
        stream->WriteBuffer(bytes.data() + at, static_cast<int32_t>(std::min(piece, bytes.size() - at)));
    stream->EndOfStream();
    return *stream;
}

using testing::CodeOf;

struct ExpectedPicture {
    uint8_t Type;
    int64_t DTS;
    int64_t PTS;
    uint8_t TimestampKind;
};

TEST(VideoPacketizer, TimesFollowTheFieldCountsInCodedAndDisplayOrder) {
    // 29.97 Hz: a frame is 3003 ticks; display is one frame behind decoding.
    TCollectingEngine engine;
    const std::vector<TPictureLayout> pictures = {{'I'}, {'P'}, {'B'}, {'B'}, {'P'}, {'B'}, {'B'}};
    TMPEGPacketizerStream& stream = Feed(engine, 0, muxtest::BuildVideoStream({}, pictures), 333);
    const std::vector<ExpectedPicture> expected = {
        {1, 0, 3003, 2},      {2, 3003, 12012, 2}, {3, 6006, 6006, 1},  {3, 9009, 9009, 1},
        {2, 12012, 21021, 2}, {3, 15015, 15015, 1}, {3, 18018, 18018, 1},
    };
    const auto& units = stream.GetAccessUnits();
    ASSERT_EQ(units.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(units[i].PictureType, expected[i].Type) << "picture " << i;
        EXPECT_EQ(units[i].DTS, expected[i].DTS) << "picture " << i;
        EXPECT_EQ(units[i].PTS, expected[i].PTS) << "picture " << i;
        EXPECT_EQ(units[i].TimestampKind, expected[i].TimestampKind) << "picture " << i;
        EXPECT_TRUE(units[i].Complete);
    }
}

TEST(VideoPacketizer, RepeatedFieldsAreCountedExactly) {
    TVideoLayout layout;
    layout.MPEG2 = true;
    TCollectingEngine engine;
    const std::vector<TPictureLayout> pictures = {{'I', true}, {'P', true}, {'P', false}, {'P', true}, {'P'}};
    TMPEGPacketizerStream& stream = Feed(engine, 0, muxtest::BuildVideoStream(layout, pictures));
    const auto& units = stream.GetAccessUnits();
    ASSERT_EQ(units.size(), 5u);
    // Fields 0, 3, 6, 8, 11: 1501.5 ticks each, rounded down only once per stamp.
    const int64_t fields[5] = {0, 3, 6, 8, 11};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(units[i].DTS, fields[i] * 3003 / 2) << "picture " << i;
    EXPECT_EQ(units[1].DTS, 4504);
    EXPECT_EQ(units[2].DTS, 9009);
    // Three-field pictures last 1.5 frames: 13 fields in all.
    EXPECT_NEAR(static_cast<double>(stream.Clock), 13 * 1001.0 / 60000, 1e-9);
}

TEST(VideoPacketizer, ProgressiveSequenceRepeatsWholeFrames) {
    TVideoLayout layout;
    layout.MPEG2 = true;
    layout.ProgressiveSequence = true;
    TCollectingEngine engine;
    // top_field_first is set by the builder: a repeated frame shows three frames.
    TMPEGPacketizerStream& stream = Feed(engine, 0, muxtest::BuildVideoStream(layout, {{'I', true}, {'P'}}));
    ASSERT_EQ(stream.GetAccessUnits().size(), 2u);
    EXPECT_EQ(stream.GetAccessUnits()[1].DTS, 6 * 3003 / 2);
}

TEST(VideoPacketizer, UnitsOpenWithTheHeadersInFrontOfTheirPicture) {
    TCollectingEngine engine;
    const std::string bytes = muxtest::BuildVideoStream({}, muxtest::GroupOfPictures(24, 900, 300));
    TMPEGPacketizerStream& stream = Feed(engine, 0, std::string(5, '\0') + bytes);
    const auto& units = stream.GetAccessUnits();
    ASSERT_EQ(units.size(), 24u);
    int64_t total = 0;
    for (size_t i = 0; i < units.size(); ++i) {
        EXPECT_EQ(units[i].Start, total) << "unit " << i;
        total += units[i].Size;
        EXPECT_EQ(units[i].GroupStart, units[i].PictureType == 1) << "unit " << i;
    }
    EXPECT_EQ(total, static_cast<int64_t>(bytes.size() + 5));
    // The second I picture's unit begins with its GOP header.
    const std::string second = bytes.substr(static_cast<size_t>(units[12].Start - 5), 4);
    EXPECT_EQ(second, std::string("\0\0\1\xB8", 4));
}

TEST(VideoPacketizer, RejectsAStreamThatDoesNotBeginWithASequenceHeader) {
    const std::string stream = muxtest::BuildVideoStream({}, {{'I'}, {'P'}});
    const std::string withoutSequence = stream.substr(stream.find(std::string("\0\0\1\xB8", 4)));
    const std::string badFrameRate = [&] {
        TVideoLayout layout;
        layout.FrameRateCode = 9;
        return muxtest::BuildVideoStream(layout, {{'I'}});
    }();
    for (const std::string& bytes : {withoutSequence, std::string("\x01") + stream, badFrameRate}) {
        TCollectingEngine engine;
        EXPECT_EQ(CodeOf([&] { Feed(engine, 0, bytes); }), MPEGError_IllegalVideoStream);
    }
}

TEST(VideoPacketizer, SuperVideoCDIPicturesGetAScanInformationBlock) {
    TCollectingEngine engine(true);
    std::vector<TPictureLayout> pictures = muxtest::GroupOfPictures(13, 500, 100);
    pictures[12].ScanInformation = true; // this one carries its own block
    const std::string input = muxtest::BuildVideoStream({}, pictures);
    TMPEGPacketizerStream& stream = Feed(engine, 0, input);
    const auto& units = stream.GetAccessUnits();
    ASSERT_EQ(units.size(), 13u);
    std::string output(static_cast<size_t>(stream.QueuedEnd()), '\0');
    stream.TakePayload(output.data(), static_cast<int32_t>(output.size()));
    EXPECT_EQ(output.size(), input.size() + 18);
    for (size_t i : {size_t{0}, size_t{12}}) {
        ASSERT_GE(units[i].PrivateOffset, 0) << "unit " << i;
        const size_t at = static_cast<size_t>(units[i].PrivateOffset);
        EXPECT_EQ(output.substr(at - 6, 6), std::string("\0\0\1\xB2\x10\x0E", 6));
        // The first slice follows the block.
        EXPECT_EQ(output.substr(at + 12, 4), std::string("\0\0\1\x01", 4)) << "unit " << i;
    }
    EXPECT_EQ(output.substr(static_cast<size_t>(units[0].PrivateOffset), 12), std::string(12, '\xFF'));
    EXPECT_EQ(units[1].PrivateOffset, -1);
}

TEST(VideoPacketizer, RecordedRatesAndVariableRate) {
    struct Case {
        const char* Name;
        int32_t BitRateValue;
        std::string UserData;
        int32_t Maximum;
        int32_t Average;
        bool Variable;
    };
    // 0x0087 list: 0x71 maximum 9800000, 0x72 average 6000000 in the 15+marker+15+marker form.
    auto rateWord = [](uint32_t rate) {
        const uint32_t word = (rate & 0x7FFF) << 17 | 1u << 16 | (rate >> 15 & 0x7FFF) << 1 | 1u;
        return std::string{static_cast<char>(word >> 24), static_cast<char>(word >> 16), static_cast<char>(word >> 8),
                           static_cast<char>(word)};
    };
    const std::string list = std::string("\x00\x87\x81\x00\x03" "abc", 8) + "\x71" + rateWord(9800000) + "\x72" +
                             rateWord(6000000) + std::string(1, '\0');
    const std::vector<Case> cases = {
        {"header rate", 2875, "", 1150000, 1150000, false},
        {"variable without record", 0x3FFFF, "", 0, 0, true},
        {"tagged list", 0x3FFFF, list, 9800000, 6000000, true},
        {"maximum only", 0x3FFFF, std::string("\x00\x81", 2) + rateWord(2520000), 2520000, 0, true},
    };
    for (const Case& c : cases) {
        TVideoLayout layout;
        layout.BitRateValue = c.BitRateValue;
        layout.SequenceUserData = c.UserData;
        TCollectingEngine engine;
        TMPEGPacketizerStream& stream = Feed(engine, 0, muxtest::BuildVideoStream(layout, {{'I'}, {'P'}}));
        EXPECT_EQ(stream.MaximumRate, c.Maximum) << c.Name;
        EXPECT_EQ(stream.AverageRate, c.Average) << c.Name;
        EXPECT_EQ(stream.VariableRate, c.Variable) << c.Name;
    }
}

TEST(VideoPacketizer, PrescanMeasuresTheAverageWhenNoRateIsRecorded) {
    TVideoLayout layout;
    layout.BitRateValue = 0x3FFFF;
    const std::string bytes = muxtest::BuildVideoStream(layout, muxtest::GroupOfPictures(30, 3000, 1000));
    TLargeMemoryStream source;
    source.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    TCollectingEngine engine;
    auto* stream = static_cast<TMPEGPacketizerStream*>(engine.AddStream({0, 0, 0}, &source));
    stream->Prescan();
    // 30 frames at 29.97 Hz.
    const int32_t average = static_cast<int32_t>(std::llround(bytes.size() * 8 / (30 * 1001.0 / 30000)));
    EXPECT_EQ(stream->AverageRate, average);
    EXPECT_EQ(stream->MaximumRate, average + static_cast<int32_t>(std::ceil(average * 0.5)));
}

TEST(VideoPacketizer, RewritesTheDisplaySizeWhenAsked) {
    TVideoLayout layout;
    layout.MPEG2 = true;
    layout.DisplayExtension = true;
    const std::string input = muxtest::BuildVideoStream(layout, {{'I'}, {'P'}});
    const size_t extension = input.find(std::string("\0\0\1\xB5\x22", 5));
    ASSERT_NE(extension, std::string::npos);
    for (const bool rewrite : {false, true}) {
        TMPEGSystemEncoder_EncodeConfig config;
        config.RewriteDisplaySize = rewrite ? 1 : 0;
        config.DisplayWidth = 720;
        config.DisplayHeight = 576;
        TMPEGSystemEncoder system(nullptr, config);
        TCollectingEngine engine;
        engine.SystemEncoder = &system;
        TMPEGPacketizerStream& stream = Feed(engine, 0, input);
        std::string output(static_cast<size_t>(stream.QueuedEnd()), '\0');
        stream.TakePayload(output.data(), static_cast<int32_t>(output.size()));
        ASSERT_EQ(output.size(), input.size());
        // display_horizontal_size (14), marker, display_vertical_size (14) after 8 bits.
        const auto* p = reinterpret_cast<const uint8_t*>(output.data() + extension + 5);
        const uint32_t bits = uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
        EXPECT_EQ(bits >> 18, rewrite ? 720u : 352u);
        EXPECT_EQ(bits >> 17 & 1, 1u);
        EXPECT_EQ(bits >> 3 & 0x3FFF, rewrite ? 576u : 240u);
        EXPECT_EQ(output.substr(0, extension), input.substr(0, extension));
    }
}

TEST(MPEGAudioPacketizer, FramesGetTimesFromTheirSamples) {
    struct Case {
        int32_t FrequencyIndex;
        std::vector<int64_t> PTS;
    };
    // 1152 samples: 2160 ticks at 48 kHz; 2351.02 ticks at 44.1 kHz, rounded per frame.
    const std::vector<Case> cases = {{1, {0, 2160, 4320, 6480}}, {0, {0, 2351, 4702, 7053}}, {2, {0, 3240, 6480, 9720}}};
    for (const Case& c : cases) {
        TCollectingEngine engine;
        const std::string frames = muxtest::BuildLayer2Frames(4, c.FrequencyIndex);
        TMPEGPacketizerStream& stream = Feed(engine, 1, frames, 100);
        const auto& units = stream.GetAccessUnits();
        ASSERT_EQ(units.size(), 4u);
        int64_t total = 0;
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(units[i].PTS, c.PTS[i]) << "frequency " << c.FrequencyIndex << " frame " << i;
            EXPECT_EQ(units[i].TimestampKind, 1);
            total += units[i].Size;
        }
        EXPECT_EQ(total, static_cast<int64_t>(frames.size()));
        EXPECT_EQ(stream.AverageRate, 224000);
    }
}

TEST(MPEGAudioPacketizer, BytesBetweenFramesStayWithTheFrameBefore) {
    const std::string frame = muxtest::BuildLayer2Frames(1);
    const std::string bytes = std::string(7, '\0') + frame + "garbage" + frame + frame;
    TCollectingEngine engine;
    TMPEGPacketizerStream& stream = Feed(engine, 1, bytes, 64);
    const auto& units = stream.GetAccessUnits();
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[0].Size, static_cast<int64_t>(7 + frame.size() + 7));
    EXPECT_EQ(units[1].Start, static_cast<int64_t>(7 + frame.size() + 7));
    EXPECT_EQ(units[2].PTS, 2 * 2160);
}

TEST(AudioPacketizers, RejectStreamsWithoutAFrame) {
    struct Case {
        uint8_t Kind;
        std::string Bytes;
        uint32_t Code;
    };
    const std::vector<Case> cases = {
        {1, std::string(70000, '\x12'), MPEGError_IllegalAudioStream},
        {1, std::string("\xFF\xF9\xF0\x00", 4) + std::string(100, '\0'), MPEGError_IllegalAudioStream}, // index 15
        {2, std::string(70000, '\x12'), MPEGError_IllegalAC3Stream},
        {2, std::string("\x0B\x77\x00\x00\xC0\x40\x40", 7) + std::string(100, '\0'), MPEGError_IllegalAC3Stream}, // fscod 3
    };
    for (const Case& c : cases) {
        TCollectingEngine engine;
        EXPECT_EQ(CodeOf([&] { Feed(engine, c.Kind, c.Bytes); }), c.Code) << "kind " << int{c.Kind};
    }
}

TEST(AC3Packetizer, FramesAndTheDVDAudioPacketHeader) {
    TCollectingEngine engine;
    const std::string frames = muxtest::BuildAC3Frames(3);
    TMPEGPacketizerStream& stream = Feed(engine, 2, frames);
    const auto& units = stream.GetAccessUnits();
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[1].PTS, 2880);
    EXPECT_EQ(units[2].Start, 1536);
    EXPECT_EQ(stream.AverageRate, 192000);
    // Two frames begin in a payload that starts 100 bytes before the second frame: 2, 0, 101.
    std::string skip(668, '\0');
    stream.TakePayload(skip.data(), 668);
    uint8_t header[3] = {};
    ASSERT_EQ(stream.GetSubstreamHeaderSize(), 3);
    stream.FillSubstreamHeader(1000, header);
    EXPECT_EQ(header[0], 2);
    EXPECT_EQ(header[1], 0);
    EXPECT_EQ(header[2], 101);
    // No frame begins: 0, 0, 0.
    stream.FillSubstreamHeader(50, header);
    EXPECT_EQ(header[0], 0);
    EXPECT_EQ(header[1] << 8 | header[2], 0);
}

TEST(LinearPCMPacketizer, HeaderStaysBehindAndPacketsHoldWholeSampleTimes) {
    static constexpr uint8_t kHeader[20] = {'V', 'D', 'M', 'S', 'L', 'P', 'C', 'M', 2, 0, 20, 0, 16, 0x80, 0xBB, 0, 0, 2, 0, 0x80};
    const std::string samples(320 * 10, '\x33'); // 10 frames of 80 stereo sample times
    TCollectingEngine engine;
    TMPEGPacketizerStream& stream =
        Feed(engine, 3, std::string(reinterpret_cast<const char*>(kHeader), 20) + samples);
    const auto& units = stream.GetAccessUnits();
    ASSERT_EQ(units.size(), 10u);
    EXPECT_EQ(stream.TakenBytes(), 20);
    EXPECT_EQ(units[3].PTS, 3 * 150);
    EXPECT_EQ(stream.AverageRate, 1536000);
    EXPECT_EQ(stream.AdjustPayload(2002), 2000);
    std::string skip(100, '\0');
    stream.TakePayload(skip.data(), 100);
    uint8_t header[6] = {};
    ASSERT_EQ(stream.GetSubstreamHeaderSize(), 6);
    stream.FillSubstreamHeader(1000, header);
    // Frames at 320, 640, 960 begin in the payload; the first 220 bytes in, pointer 220 + 4.
    EXPECT_EQ(header[0], 3);
    EXPECT_EQ(header[1] << 8 | header[2], 224);
    EXPECT_EQ(header[3], 1);    // frame number of the first frame that begins
    EXPECT_EQ(header[4], 0x01); // 16 bits, 48 kHz, 2 channels
    EXPECT_EQ(header[5], 0x80);
    TCollectingEngine other;
    EXPECT_EQ(CodeOf([&] { Feed(other, 3, std::string(40, 'x')); }), MPEGError_IllegalLinearPCMStream);
}

} // namespace
} // namespace quillset
