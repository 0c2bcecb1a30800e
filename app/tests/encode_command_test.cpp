#include "app/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <sstream>
#include <string>
#include <sys/stat.h>

#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

constexpr const char* kLpcmTemplate = "DVD (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps LPCM";

void Put16(std::string& s, int v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, static_cast<int>(v & 0xFFFF));
    Put16(s, static_cast<int>(v >> 16));
}

std::string Wave(int channels, uint32_t rate, int bits, size_t sampleTimes) {
    const std::string data(sampleTimes * channels * bits / 8, '\x11');
    std::string s = "RIFF";
    Put32(s, static_cast<uint32_t>(36 + data.size()));
    s += "WAVEfmt ";
    Put32(s, 16);
    Put16(s, 1);
    Put16(s, channels);
    Put32(s, rate);
    Put32(s, rate * channels * bits / 8);
    Put16(s, channels * bits / 8);
    Put16(s, bits);
    s += "data";
    Put32(s, static_cast<uint32_t>(data.size()));
    return s + data;
}

struct Result {
    int code;
    std::string out, err;
};

Result RunEncode(std::vector<std::string> args) {
    args.insert(args.begin(), "encode");
    std::ostringstream out, err;
    const int code = RunCommandLine(args, out, err);
    return {code, out.str(), err.str()};
}

TEST(EncodeCommand, WritesTheFilesTheOutputTypeAsksFor) {
    testing::TempDir dir;
    testing::WriteFileBytes(dir.File("in.wav"), Wave(2, 44100, 16, 44100));
    const Result r = RunEncode({"-t", kLpcmTemplate, "--set", "OutputStreamType=MPEG_OutputStreamType_AudioOnly",
                          "-o", dir.File("out"), dir.File("in.wav")});
    ASSERT_EQ(r.code, 0) << r.err;
    // One second of 48 kHz stereo 16-bit samples in a WAVE file with an 18-byte format.
    EXPECT_EQ(testing::ReadFileBytes(dir.File("out.wav")).size(), 46u + 192000u);
    EXPECT_NE(r.out.find("out.wav"), std::string::npos) << r.out;
}

// A YUV4MPEG2 clip of grey pictures with a bright square that moves a little each picture.
std::string Y4MClip(int width, int height, int pictures) {
    std::string s = "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " F30000:1001 It A10:11 C420jpeg\n";
    for (int n = 0; n < pictures; ++n) {
        std::string luma(static_cast<size_t>(width) * height, '\x50');
        for (int y = 100; y < 200; ++y)
            for (int x = 100 + 4 * n; x < 200 + 4 * n; ++x)
                luma[static_cast<size_t>(y) * width + x] = '\xC0';
        s += "FRAME\n" + luma + std::string(static_cast<size_t>(width) * height / 2, '\x80');
    }
    return s;
}

bool StartsWith(const std::string& bytes, std::initializer_list<uint8_t> prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                                                      [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
}

TEST(EncodeCommand, WritesVideoAndAudioElementaryStreams) {
    testing::TempDir dir;
    testing::WriteFileBytes(dir.File("clip.y4m"), Y4MClip(720, 480, 6));
    testing::WriteFileBytes(dir.File("clip.wav"), Wave(2, 48000, 16, 9600));
    struct Case {
        const char* templateName;
        const char* output;
        const char* audioFile;
        std::initializer_list<uint8_t> audioStart;
    };
    const Case cases[] = {
        {kLpcmTemplate, "lpcm", "lpcm.wav", {'R', 'I', 'F', 'F'}},
        {"DVD (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps AC3", "ac3", "ac3.ac3", {0x0B, 0x77}},
        {"DVD (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps MPA", "mpa", "mpa.mpa", {0xFF}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.templateName);
        const Result r = RunEncode({"-t", c.templateName, "--set", "OutputStreamType=MPEG_OutputStreamType_VideoAudio",
                                    "-q", "-o", dir.File(c.output), dir.File("clip.y4m"), dir.File("clip.wav")});
        ASSERT_EQ(r.code, 0) << r.err;
        const std::string video = testing::ReadFileBytes(dir.File(std::string(c.output) + ".m2v"));
        EXPECT_TRUE(StartsWith(video, {0x00, 0x00, 0x01, 0xB3})) << "a sequence header first";
        ASSERT_GE(video.size(), 4u);
        EXPECT_EQ(video.substr(video.size() - 4), std::string("\x00\x00\x01\xB7", 4)) << "a sequence end last";
        EXPECT_TRUE(StartsWith(testing::ReadFileBytes(dir.File(c.audioFile)), c.audioStart));
    }
}

TEST(EncodeCommand, EncodesTheDemoSourceIntoASystemStreamThatInfoLists) {
    testing::TempDir dir;
    const Result r = RunEncode({"-t", "VideoCD (PAL) - MPEG1 352x288 CBR 1150kbps", "--demo=1", "-q", "-o", dir.File("demo")});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string file = dir.File("demo.mpg");
    // Video-CD packs are 2324 bytes; the demo inputs are gone again.
    EXPECT_EQ(testing::ReadFileBytes(file).size() % 2324, 0u);

    std::ostringstream out, err;
    ASSERT_EQ(RunCommandLine({"info", file}, out, err), ExitSuccess) << err.str();
    EXPECT_NE(out.str().find("stream 0xE0 MPEG video #0"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("352x288 25.000 fps MPEG-1"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("stream 0xC0 MPEG audio #0"), std::string::npos) << out.str();
}

TEST(EncodeCommand, ThreadsDoNotChangeTheStream) {
    testing::TempDir dir;
    testing::WriteFileBytes(dir.File("clip.y4m"), Y4MClip(720, 480, 12));
    std::string streams[3];
    for (int threads = 0; threads <= 2; ++threads) {
        const std::string name = dir.File("t" + std::to_string(threads));
        const Result r = RunEncode({"-t", kLpcmTemplate, "--set", "OutputStreamType=MPEG_OutputStreamType_VideoOnly",
                                    "--threads", std::to_string(threads), "-q", "-o", name, dir.File("clip.y4m")});
        ASSERT_EQ(r.code, 0) << r.err;
        streams[threads] = testing::ReadFileBytes(name + ".m2v");
    }
    ASSERT_GT(streams[0].size(), 1000u);
    EXPECT_EQ(streams[1], streams[0]);
    EXPECT_EQ(streams[2], streams[0]);
}

// Two-pass VBR keeps the analysis pass's motion in a temporary file; the stream is the same as
// when the final pass searches again, and the file is gone afterwards.
TEST(EncodeCommand, MotionCacheKeepsTheStreamAndLeavesNoTemporaryFile) {
    testing::TempDir dir;
    testing::WriteFileBytes(dir.File("clip.y4m"), Y4MClip(720, 480, 12));
    const std::string temp = dir.File("temp");
    std::filesystem::create_directory(temp);
    const char* saved = std::getenv("TMPDIR");
    const std::string savedValue = saved ? saved : "";
    ::setenv("TMPDIR", temp.c_str(), 1);
    std::string streams[2];
    for (int cached = 0; cached < 2; ++cached) {
        const std::string name = dir.File(cached ? "cached" : "searched");
        std::vector<std::string> args = {"-t", kLpcmTemplate, "--set", "OutputStreamType=MPEG_OutputStreamType_VideoOnly",
                                         "--set", "Video.RateControlMode=MPEGVideoEncoder_RateControlMode_VBR_2PASS",
                                         "--set", "Video.VBR_MultipassVBRAlgorithm=MPEGVideoEncoder_MultipassVBRAlgorithm_2PASS",
                                         "-q", "-o", name, dir.File("clip.y4m")};
        if (!cached)
            args.insert(args.begin(), "--no-motion-cache");
        const Result r = RunEncode(args);
        EXPECT_EQ(r.code, 0) << r.err;
        streams[cached] = testing::ReadFileBytes(name + ".m2v");
    }
    if (saved)
        ::setenv("TMPDIR", savedValue.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    ASSERT_GT(streams[0].size(), 1000u);
    EXPECT_TRUE(streams[0] == streams[1]);
    EXPECT_TRUE(std::filesystem::is_empty(temp));
}

TEST(EncodeCommand, EndsACutShortPictureSourceWithItsLastWholePicture) {
    testing::TempDir dir;
    std::string clip = Y4MClip(720, 480, 4);
    clip.resize(clip.size() - 1000); // the fourth picture is cut short
    testing::WriteFileBytes(dir.File("cut.y4m"), clip);
    const Result r = RunEncode({"-t", kLpcmTemplate, "--set", "OutputStreamType=MPEG_OutputStreamType_VideoOnly", "-o",
                                dir.File("cut"), dir.File("cut.y4m")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Note: Truncated YUV4MPEG2 frame 4"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3 frames"), std::string::npos) << r.out;
    const std::string video = testing::ReadFileBytes(dir.File("cut.m2v"));
    ASSERT_GE(video.size(), 4u);
    EXPECT_EQ(video.substr(video.size() - 4), std::string("\x00\x00\x01\xB7", 4)) << "a finished stream";
}

TEST(InfoCommand, RefusesWhatIsNotAnMPEGFile) {
    testing::TempDir dir;
    testing::WriteFileBytes(dir.File("text.mpg"), std::string(3000, 'x'));
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {{"info"}, ExitUsage, "give one MPEG file"},
        {{"info", dir.File("missing.mpg")}, ExitFailure, "can not be opened"},
        {{"info", dir.File("text.mpg")}, ExitFailure, "Illegal MPEG system stream"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        std::ostringstream out, err;
        EXPECT_EQ(RunCommandLine(c.args, out, err), c.code);
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    }
}

TEST(EncodeCommand, RefusesBadInputWithClearMessages) {
    testing::TempDir dir;
    testing::WriteFileBytes(dir.File("in.wav"), Wave(2, 48000, 16, 4800));
    testing::WriteFileBytes(dir.File("deep.wav"), Wave(2, 48000, 24, 4800));
    testing::WriteFileBytes(dir.File("six.wav"), Wave(6, 48000, 16, 4800));
    testing::WriteFileBytes(dir.File("small.y4m"), "YUV4MPEG2 W16 H16 F25:1 C420\nFRAME\n" + std::string(384, '\x80'));
    const std::string audioOnly = "OutputStreamType=MPEG_OutputStreamType_AudioOnly";
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {{"-t", kLpcmTemplate, "--set", audioOnly, dir.File("in.wav")}, 1, "would overwrite the input"},
        {{"-t", kLpcmTemplate, "--set", audioOnly, dir.File("missing.wav")}, 1, "can not be opened"},
        {{"-t", kLpcmTemplate, "--set", audioOnly, "-o", dir.File("x"), dir.File("deep.wav")}, 1,
         "24-bit samples cannot be encoded"},
        {{"-t", kLpcmTemplate, "--set", audioOnly, "-o", dir.File("x"), dir.File("six.wav")}, 1,
         "6 channels cannot be encoded"},
        {{"-t", "No such template", dir.File("in.wav")}, 1, "Unknown template \"No such template\""},
        {{"-t", kLpcmTemplate, "--set", "Video.Nothing=1", dir.File("in.wav")}, 1, "Unknown setting"},
        {{"-t", kLpcmTemplate, "--set", "Video.Width=wide", dir.File("in.wav")}, 1, "cannot be set for Video.Width"},
        {{"-t", kLpcmTemplate, "--set", audioOnly, "-o", dir.File("no/such/folder/x"), dir.File("in.wav")}, 1,
         "can not be created"},
        {{"-t", kLpcmTemplate, "-o", dir.File("x"), dir.File("small.y4m")}, 1,
         "are 16x16; the template encodes 720x480"},
        {{"-t", kLpcmTemplate, "-o", dir.File("x"), dir.File("in.wav")}, 1, "give a YUV4MPEG2 (.y4m) picture source"},
        {{"-t", kLpcmTemplate}, 2, "give a picture source"},
        {{dir.File("in.wav")}, 2, "choose a template"},
        {{"-t", kLpcmTemplate, "--frobnicate", dir.File("in.wav")}, 2, "unknown option \"--frobnicate\""},
        {{"-t"}, 2, "-t needs a value"},
        {{"-t", kLpcmTemplate, "--demo", dir.File("in.wav")}, 2, "give no inputs with it"},
        {{"-t", kLpcmTemplate, "--demo=0"}, 2, "--demo=SECONDS takes a whole number"},
        {{"-t", kLpcmTemplate, "--demo=2x"}, 2, "--demo=SECONDS takes a whole number"},
        {{"-t", kLpcmTemplate, "--threads", "3", dir.File("in.wav")}, 2, "--threads takes 0"},
        {{"-t", "VideoCD (NTSC) - MPEG1 352x240 CBR 1150kbps", "--dvd-video", dir.File("in.wav")}, 1,
         "needs a template with MPEG-2 program stream output"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const Result r = RunEncode(c.args);
        EXPECT_EQ(r.code, c.code);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    // Nothing was left behind by the failed runs, and the input is untouched.
    EXPECT_FALSE(testing::FileExists(dir.File("x.wav")));
    EXPECT_FALSE(testing::FileExists(dir.File("x.m2v")));
    EXPECT_EQ(testing::ReadFileBytes(dir.File("in.wav")), Wave(2, 48000, 16, 4800));
}

} // namespace
} // namespace quillset
