// The system encoder driven as the encode run drives it: the project's own video encoder and an
// audio encoder (MPEG audio Layer II or Linear PCM) are created over the inputs the system encoder
// hands out, added to it, and fed pictures and samples in movie order with the audio a little
// ahead. The outputs must meet the same judges as streams made from outside elementary streams:
// no buffer underflow, a clean decode in ffmpeg with every picture, and acceptance by dvdauthor
// (DVD-Video form) or vcdimager (Video CD). The demultiplexed video is the stream the same
// encoder writes on its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "encoder/audio/lpcm/lpcm_encoder.h"
#include "encoder/audio/mpeg/mpeg_audio_encoder.h"
#include "encoder/tests/mux/mux_test_media.h"
#include "encoder/tests/video/core/video_encode_run.h"
#include "encoder/tests/video/core/video_test_config.h"
#include "encoder/video/video_encoder.h"

namespace quillset {
namespace {

using muxtest::Capture;
using muxtest::Quote;

enum class Judge { DVDAuthor, VCDImager, DecoderOnly };

struct EncoderMuxCase {
    const char* Name;
    uint8_t SystemType;
    bool MPEG1Video;
    uint8_t AudioType;       // MPEGAudioEncoder_StreamType_*
    int32_t AudioFrequency;
    Judge By;
};

constexpr int32_t kPictures = 24;
constexpr long double kPictureRate = 30000.0L / 1001;

TMPEGVideoEncoder_EncodeConfig VideoConfigFor(const EncoderMuxCase& c) {
    if (c.MPEG1Video)
        return testing::MakeTestMPEG1Config(); // 352x240 CBR 1150 kbit/s
    TMPEGVideoEncoder_EncodeConfig config = testing::MakeTestVideoConfig(); // 720x480 CBR 6 Mbit/s
    config.VBVBufferSize = 229376;
    return config;
}

std::unique_ptr<TMPEGBaseAudioEncoder> MakeAudioEncoder(const EncoderMuxCase& c, TLargeStream& input) {
    TMPEGAudioEncoder_EncodeConfig config;
    config.StreamType = c.AudioType;
    config.SamplingFrequency = c.AudioFrequency;
    config.ChannelMode = MPEGAudio_ChannelMode_Stereo;
    if (c.AudioType == MPEGAudioEncoder_StreamType_LinearPCM) {
        config.BitRate = c.AudioFrequency * 2 * 16;
        return std::make_unique<TLinearPCMAudioEncoder>(input, "audio", config);
    }
    config.BitRate = 224000;
    return std::make_unique<TMPEGAudioEncoder>(input, config);
}

// A 440 Hz tone, samples [from, to) of both channels.
std::vector<int16_t> Tone(int64_t from, int64_t to, int32_t frequency) {
    std::vector<int16_t> samples;
    for (int64_t i = from; i < to; ++i) {
        const auto value = static_cast<int16_t>(8000 * std::sin(2 * std::numbers::pi * 440 * static_cast<double>(i) / frequency));
        samples.push_back(value);
        samples.push_back(value);
    }
    return samples;
}

struct EncodedOutput {
    int32_t Underflows = -1;
    std::vector<std::string> Log;
};

// Encodes the clip through a system encoder into `path`, in the encode run's calling order.
EncodedOutput EncodeSystemStream(const EncoderMuxCase& c, const std::string& path, const std::string& tempDirectory) {
    EncodedOutput result;
    TLargeFileStream file(path, FILE_ATTRIBUTE_NORMAL, fmCreate);
    TMPEGSystemEncoder_EncodeConfig systemConfig;
    systemConfig.StreamType = c.SystemType;
    TMPEGSystemEncoder system(&file, systemConfig);
    system.TempDirectory = tempDirectory;
    system.OnLog = [&result](TMPEGBaseEncoder*, const std::string& text) { result.Log.push_back(text); };

    TMPEGSystemEncoder_ElementaryStream* videoInput = system.AddStream({MPEGSystemEncoder_StreamKind_MPEGVideo, 0, 0});
    TMPEGSystemEncoder_ElementaryStream* audioInput = system.AddStream({GetStreamKindOfAudioType(c.AudioType), 0, 0});
    auto ownedVideo = std::make_unique<TMPEGVideoEncoder>(videoInput, VideoConfigFor(c), testing::TestKernelTable());
    std::unique_ptr<TMPEGBaseAudioEncoder> ownedAudio = MakeAudioEncoder(c, *audioInput);
    TMPEGVideoEncoder* video = ownedVideo.get();
    TMPEGBaseAudioEncoder* audio = ownedAudio.get();
    system.AddEncoder(std::move(ownedVideo));
    system.AddEncoder(std::move(ownedAudio));

    system.BeginEncode();
    const TMPEGVideoEncoder_EncodeConfig videoConfig = VideoConfigFor(c);
    const testing::SyntheticScene scene{videoConfig.Width, videoConfig.Height};
    int64_t samplesSent = 0;
    const auto sendAudioUntil = [&](long double seconds) {
        const int64_t until = std::llround(seconds * c.AudioFrequency);
        if (until <= samplesSent)
            return;
        const std::vector<int16_t> data = Tone(samplesSent, until, c.AudioFrequency);
        TMPEGAudioEncoder_Samples block;
        block.SampleFormat = AudioSampleFormat_16Bit;
        block.SamplingFrequency = c.AudioFrequency;
        block.Channels = 2;
        block.Data = data.data();
        block.Count = static_cast<int32_t>(until - samplesSent);
        audio->PutSamples(block);
        samplesSent = until;
    };
    for (int32_t i = 0; i < kPictures; ++i) {
        // The audio runs about ten pictures ahead of the video, as in an encode run.
        sendAudioUntil(std::min<long double>(i + 10, kPictures) / kPictureRate);
        std::unique_ptr<TMPEGVideo_YUVImage> image = video->NewImage();
        testing::FillSyntheticPicture(*image, scene, i);
        TMPEGVideoEncoder_Image record;
        record.Tag = kMPEGVideoEncoder_YUVImageTag;
        record.YUVImage = image.get();
        video->EncodePicture(record);
    }
    sendAudioUntil(kPictures / kPictureRate);
    system.EndEncode();
    result.Underflows = system.GetEngine()->GetUnderflowCount();
    return result;
}

// The video the same encoder writes on its own (the encoder is deterministic).
std::string StandaloneVideo(const EncoderMuxCase& c) {
    testing::VideoEncodeRun run(VideoConfigFor(c));
    const TMPEGVideoEncoder_EncodeConfig config = VideoConfigFor(c);
    run.Encode(testing::SyntheticScene{config.Width, config.Height}, kPictures);
    return run.Stream();
}

std::string ToolComplaints(const std::string& log, const std::vector<std::string>& prefixes) {
    std::string complaints;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        for (const std::string& prefix : prefixes)
            if (line.rfind(prefix, 0) == 0)
                complaints += line + "\n";
        if (line.rfind("rc=", 0) == 0 && line != "rc=0")
            complaints += line + "\n";
    }
    return complaints;
}

class EncodersIntoSystemStream : public ::testing::TestWithParam<EncoderMuxCase> {};

TEST_P(EncodersIntoSystemStream, OutputDecodesAndIsAccepted) {
    QS_REQUIRE_TOOLS("ffmpeg", "ffprobe");
    const EncoderMuxCase& c = GetParam();
    muxtest::TOutputDir dir;
    const std::string output = dir.File(std::string("encoders_") + c.Name + ".mpg");
    const EncodedOutput encoded = EncodeSystemStream(c, output, muxtest::MediaDir().Path() + "/");
    EXPECT_EQ(encoded.Underflows, 0);
    for (const std::string& line : encoded.Log)
        EXPECT_EQ(line.find("underflow"), std::string::npos) << line;

    EXPECT_EQ(testing::FfmpegStrictDecodeMessages(output), "");
    const std::string frames = Capture("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                                       "stream=nb_read_frames -of csv=p=0 " + Quote(output));
    EXPECT_EQ(std::atoi(frames.c_str()), kPictures) << frames;
    EXPECT_TRUE(muxtest::DemultiplexFile(output, 0, 0) == StandaloneVideo(c)) << "the video differs from its own stream";

    if (c.By == Judge::DVDAuthor) {
        QS_REQUIRE_TOOLS("dvdauthor");
        const std::string disc = dir.File(std::string("encoders_") + c.Name + "_disc");
        const std::string log = Capture("dvdauthor -o " + Quote(disc) + " -t -v ntsc " + Quote(output) +
                                        " && VIDEO_FORMAT=NTSC dvdauthor -o " + Quote(disc) + " -T; echo rc=$?");
        EXPECT_EQ(ToolComplaints(log, {"WARN:", "ERR:"}), "") << log;
    } else if (c.By == Judge::VCDImager) {
        QS_REQUIRE_TOOLS("vcdimager");
        const std::string image = dir.File(std::string("encoders_") + c.Name + "_image");
        const std::string log = Capture("mkdir -p " + Quote(image) + " && cd " + Quote(image) + " && vcdimager -t vcd2 " +
                                        Quote(output) + "; echo rc=$?");
        EXPECT_EQ(ToolComplaints(log, {"++ WARN", "**"}), "") << log;
    }
}

const EncoderMuxCase kEncoderMuxCases[] = {
    {"DVDVideo_MP2", MPEGSystemEncoder_StreamType_MPEG2_DVD_VOB, false, MPEGAudioEncoder_StreamType_MPEG1_Layer2, 48000,
     Judge::DVDAuthor},
    {"DVDVideo_LinearPCM", MPEGSystemEncoder_StreamType_MPEG2_DVD_VOB, false, MPEGAudioEncoder_StreamType_LinearPCM, 48000,
     Judge::DVDAuthor},
    {"MPEG2_Program", MPEGSystemEncoder_StreamType_MPEG2_Program, false, MPEGAudioEncoder_StreamType_MPEG1_Layer2, 48000,
     Judge::DecoderOnly},
    {"VideoCD", MPEGSystemEncoder_StreamType_MPEG1_VideoCD, true, MPEGAudioEncoder_StreamType_MPEG1_Layer2, 44100,
     Judge::VCDImager},
};

INSTANTIATE_TEST_SUITE_P(Forms, EncodersIntoSystemStream, ::testing::ValuesIn(kEncoderMuxCases),
                         [](const ::testing::TestParamInfo<EncoderMuxCase>& param) { return param.param.Name; });

} // namespace
} // namespace quillset
