// The system encoder picks the engine of its stream type, checks the kinds and ids of the streams
// added to it, owns and drives its encoders in the framework's calling order, and its elementary
// engine writes one stream straight to the output (Linear PCM as a WAVE file).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "encoder/audio/lpcm/wave_file.h"
#include "encoder/framework/mpeg_errors.h"
#include "encoder/mux/dvd_engine.h"
#include "encoder/mux/mpeg1_engines.h"
#include "encoder/mux/mpeg2_engines.h"
#include "encoder/mux/system_encoder.h"
#include "encoder/tests/mux/video_stream_builder.h"
#include "stream/memory_stream.h"
#include "tests/support/error_codes.h"

namespace quillset {
namespace {

TMPEGSystemEncoder_EncodeConfig ConfigOf(uint8_t type) {
    TMPEGSystemEncoder_EncodeConfig config;
    config.StreamType = type;
    return config;
}

// Runs the action; the code of the EMPEGSystemEncoderError it raises (0 for none) and its message.
uint32_t CodeOf(const std::function<void()>& action, std::string* message = nullptr) {
    return testing::CodeOf<EMPEGSystemEncoderError>(action, message);
}

TEST(SystemEncoder, EachStreamTypeGetsItsEngine) {
    TLargeMemoryStream output;
    const std::vector<std::pair<uint8_t, const std::type_info*>> cases = {
        {MPEGSystemEncoder_StreamType_ElementaryStream, &typeid(TMultiplexEngine_ElementaryStream)},
        {MPEGSystemEncoder_StreamType_MPEG1, &typeid(TMultiplexEngine_MPEG1)},
        {MPEGSystemEncoder_StreamType_MPEG1_VBR, &typeid(TMultiplexEngine_MPEG1_ForceVBR)},
        {MPEGSystemEncoder_StreamType_MPEG1_VideoCD, &typeid(TMultiplexEngine_MPEG1_VideoCD)},
        {MPEGSystemEncoder_StreamType_MPEG1_VideoCD_Illegal, &typeid(TMultiplexEngine_MPEG1_VideoCD_Illegal)},
        {MPEGSystemEncoder_StreamType_MPEG2_Program, &typeid(TMultiplexEngine_MPEG2_Program)},
        {MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR, &typeid(TMultiplexEngine_MPEG2_SuperVideoCD)},
        {MPEGSystemEncoder_StreamType_MPEG2_DVD_VOB, &typeid(TMultiplexEngine_MPEG2_DVDVideo)},
        {MPEGSystemEncoder_StreamType_MPEG1_VideoCD_StillPicture, &typeid(TMultiplexEngine_MPEG1_VideoCD_StillPicture)},
    };
    for (const auto& [type, engine] : cases) {
        TMPEGSystemEncoder encoder(&output, ConfigOf(type));
        EXPECT_EQ(typeid(*encoder.GetEngine()), *engine) << "type " << int{type};
    }
    EXPECT_EQ(CodeOf([&] { TMPEGSystemEncoder encoder(&output, ConfigOf(9)); }), MPEGError_SystemMPEG2NotSupported);
}

TEST(SystemEncoder, KindsEachFormCanCarry) {
    // Kinds 0 video, 1 MPEG audio, 2 AC-3, 3 Linear PCM, 4 sub-picture.
    struct Case {
        uint8_t Type;
        std::vector<bool> Accepts;
    };
    const std::vector<Case> cases = {
        {MPEGSystemEncoder_StreamType_MPEG1, {true, true, false, false, false}},
        {MPEGSystemEncoder_StreamType_MPEG1_VideoCD, {true, true, false, false, false}},
        {MPEGSystemEncoder_StreamType_MPEG2_Program, {true, true, true, false, false}},
        {MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR, {true, true, true, false, false}},
        {MPEGSystemEncoder_StreamType_MPEG2_DVD_VOB, {true, true, true, true, false}},
        {MPEGSystemEncoder_StreamType_MPEG1_VideoCD_StillPicture, {true, false, false, false, false}},
    };
    for (const Case& c : cases)
        for (uint8_t kind = 0; kind < 5; ++kind) {
            TLargeMemoryStream output;
            TMPEGSystemEncoder encoder(&output, ConfigOf(c.Type));
            std::string message;
            const uint32_t code = CodeOf([&] { encoder.AddStream({kind, 0, 0}); }, &message);
            EXPECT_EQ(code, c.Accepts[kind] ? 0u : MPEGError_StreamKindNotAllowed) << "type " << int{c.Type} << " kind " << int{kind};
            if (!c.Accepts[kind]) {
                EXPECT_EQ(message, "Current system stream format can not include " + GetStreamKindName(kind) + " stream.");
            }
        }
    TLargeMemoryStream output;
    TMPEGSystemEncoder mpeg1(&output, ConfigOf(MPEGSystemEncoder_StreamType_MPEG1));
    std::string message;
    CodeOf([&] { mpeg1.AddStream({2, 0, 0}); }, &message);
    EXPECT_EQ(message, "Current system stream format can not include Dolby Digital (AC-3) stream.");
}

TEST(SystemEncoder, StreamIdsAreChosenOrChecked) {
    TLargeMemoryStream output;
    TMPEGSystemEncoder encoder(&output, ConfigOf(MPEGSystemEncoder_StreamType_MPEG2_Program));
    auto* first = static_cast<TMPEGPacketizerStream*>(encoder.AddStream({0, 0, 0}));
    auto* second = static_cast<TMPEGPacketizerStream*>(encoder.AddStream({0, 0, 0}));
    EXPECT_EQ(first->StreamId, 0xE0);
    EXPECT_EQ(second->StreamId, 0xE1);
    auto* ac3 = static_cast<TMPEGPacketizerStream*>(encoder.AddStream({2, 0, 0}));
    auto* ac3b = static_cast<TMPEGPacketizerStream*>(encoder.AddStream({2, 0xBD, 0x85}));
    EXPECT_EQ(ac3->StreamId, 0xBD);
    EXPECT_EQ(ac3->SubstreamId, 0x80);
    EXPECT_EQ(ac3b->SubstreamId, 0x85);
    auto* audio = static_cast<TMPEGPacketizerStream*>(encoder.AddStream({1, 0xC3, 0}));
    EXPECT_EQ(audio->StreamId, 0xC3);
    const std::vector<TMPEGSystemEncoder_StreamInfo> refused = {
        {0, 0xE0, 0},    // used
        {1, 0xC3, 0},    // used
        {2, 0xBD, 0x85}, // substream used
        {2, 0xBD, 0xA0}, // a Linear PCM substream for AC-3
        {1, 0xE5, 0},    // a video id for audio
        {0, 0xBE, 0},    // padding
    };
    for (const TMPEGSystemEncoder_StreamInfo& info : refused)
        EXPECT_EQ(CodeOf([&] { encoder.AddStream(info); }), MPEGError_StreamIDNotUsable)
            << "id " << int{info.StreamId} << "/" << int{info.SubstreamId};
    // The system header order: video first, then by id and substream.
    const auto& sorted = static_cast<TMultiplexEngine_MultiplexorBase*>(encoder.GetEngine())->SortedStreams;
    std::vector<uint16_t> order;
    for (const TMPEGPacketizerStream* stream : sorted)
        order.push_back(static_cast<uint16_t>(stream->StreamId << 8 | stream->SubstreamId));
    EXPECT_EQ(order, (std::vector<uint16_t>{0xE000, 0xE100, 0xBD80, 0xBD85, 0xC300}));
}

TEST(SystemEncoder, ElementaryOutputTakesOneStream) {
    TLargeMemoryStream output;
    TMPEGSystemEncoder encoder(&output, ConfigOf(MPEGSystemEncoder_StreamType_ElementaryStream));
    TMPEGSystemEncoder_ElementaryStream* stream = encoder.AddStream({1, 0, 0});
    EXPECT_EQ(CodeOf([&] { encoder.AddStream({1, 0, 0}); }), MPEGError_ElementaryTooManyStreams);
    stream->WriteBuffer("abc", 3);
    encoder.EndEncode();
    EXPECT_EQ(output.GetSize(), 3);
    EXPECT_EQ(encoder.GetEngine()->GetBytesWritten(), 3);
}

TEST(SystemEncoder, ElementaryLinearPCMBecomesAWaveFile) {
    static constexpr uint8_t kHeader[20] = {'V', 'D', 'M', 'S', 'L', 'P', 'C', 'M', 2, 0, 20, 0, 16, 0x80, 0xBB, 0, 0, 2, 0, 0x80};
    TLargeMemoryStream output;
    {
        TMPEGSystemEncoder encoder(&output, ConfigOf(MPEGSystemEncoder_StreamType_ElementaryStream));
        TMPEGSystemEncoder_ElementaryStream* stream = encoder.AddStream({3, 0, 0});
        stream->WriteBuffer(kHeader, 20);
        const uint8_t samples[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
        stream->WriteBuffer(samples, 8);
        encoder.EndEncode();
    }
    output.SetPosition(0);
    TWaveFileReader reader(output);
    ASSERT_EQ(reader.GetDataSize(), 8);
    uint8_t data[8] = {};
    reader.ReadData(data, 8, 0);
    EXPECT_EQ(data[0], 0x34); // little-endian words
    EXPECT_EQ(data[1], 0x12);
}

// An encoder that writes its stream into a system encoder's input and records the calls.
class TRecordingEncoder : public TMPEGBaseEncoder {
public:
    TRecordingEncoder(std::string name, std::vector<std::string>& calls, TLargeStream* input, std::string data)
        : Name(std::move(name)), Calls(calls), Input(input), Data(std::move(data)) {}
    void BeginEncode() override { Calls.push_back(Name + ".Begin"); }
    // Writes everything at the end, as an encoder flushing its last frames does.
    void EndEncode() override {
        Calls.push_back(Name + ".End");
        Input->WriteBuffer(Data.data(), static_cast<int32_t>(Data.size()));
    }
    ~TRecordingEncoder() override { Calls.push_back(Name + ".Free"); }

    std::string Name;
    std::vector<std::string>& Calls;
    TLargeStream* Input;
    std::string Data;
};

TEST(SystemEncoder, DrivesItsEncodersInTheCallingOrder) {
    std::vector<std::string> calls;
    TLargeMemoryStream output;
    {
        TMPEGSystemEncoder encoder(&output, ConfigOf(MPEGSystemEncoder_StreamType_MPEG1));
        TMPEGSystemEncoder_ElementaryStream* video = encoder.AddStream({0, 0, 0});
        TMPEGSystemEncoder_ElementaryStream* audio = encoder.AddStream({1, 0, 0});
        encoder.AddEncoder(std::make_unique<TRecordingEncoder>(
            "video", calls, video, muxtest::BuildVideoStream({}, muxtest::GroupOfPictures(30, 6000, 2000))));
        encoder.AddEncoder(std::make_unique<TRecordingEncoder>("audio", calls, audio, muxtest::BuildLayer2Frames(50)));
        encoder.BeginEncode();
        encoder.BeginEncode();
        encoder.EndEncode();
        calls.push_back("finished");
        // Everything the encoders wrote at their end is in the output.
        EXPECT_GT(output.GetSize(), 30 * 2000 + 50 * 672);
        EXPECT_EQ(encoder.GetEngine()->GetBytesWritten(), output.GetSize());
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"video.Begin", "audio.Begin", "video.End", "audio.End", "finished",
                                               "video.Free", "audio.Free"}));
}

} // namespace
} // namespace quillset
