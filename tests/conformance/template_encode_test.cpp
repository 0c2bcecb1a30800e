// Every built-in template through the command line: the program encodes a second of its demo
// source (two for the CD formats) with the template, and independent tools judge each file it writes. ffmpeg decodes every
// file without a message and sees the template's picture size; mpeg2dec decodes every picture of
// the video; DVD templates' DVD-Video form is accepted by dvdauthor, Video-CD and Super Video-CD
// outputs by vcdimager; the sound of a system stream starts with its pictures.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "config/model/config_list.h"
#include "config/model/mpeg_config.h"
#include "config/model/mpeg_tables.h"
#include "config/templates/wizard_templates.h"
#include "tests/support/stream_oracles.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

using testing::Capture;
using testing::DvdauthorComplaints;
using testing::Quote;
using testing::VcdimagerComplaints;

struct TTemplateCase {
    std::string Name; // without ".mcf"
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Seconds = 1; // of demo source
    int32_t Frames = 0;
    uint8_t SystemType = 0;
    bool PAL = false;
};

std::vector<TTemplateCase> AllTemplates() {
    TMPEGConfigList list;
    LoadWizardTemplates(list, true); // the AC-3 library is built with the program
    std::vector<TTemplateCase> cases;
    for (int i = 0; i < list.Count(); ++i) {
        const TMPEGConfigListItem& item = list[i];
        const TMPEGConfig& config = item.MPEGConfig;
        TTemplateCase c;
        c.Name = item.FileName.substr(0, item.FileName.size() - 4);
        c.Width = config.Video.Width;
        c.Height = config.Video.Height;
        const double rate = GetFrameRateValue(config.Video.FrameRate);
        c.SystemType = config.System.StreamType;
        // vcdimager wants at least 75 sectors of stream: two seconds for the CD formats.
        const bool cd = c.SystemType == MPEGSystemEncoder_StreamType_MPEG1_VideoCD ||
                        c.SystemType == MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR;
        c.Seconds = cd ? 2 : 1;
        c.Frames = static_cast<int32_t>(std::lround(rate * c.Seconds));
        c.PAL = std::abs(rate - 25.0) < 0.01;
        cases.push_back(c);
    }
    return cases;
}

// The program under test, built next to this test program.
std::string QuillsetProgram() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "quillset";
}

// Runs the program; "" when it exits with 0, else its messages and exit status.
std::string Encode(const TTemplateCase& c, const std::string& output, const std::string& extra = "") {
    const std::string log = Capture(Quote(QuillsetProgram()) + " encode -q --demo=" + std::to_string(c.Seconds) + " " +
                                    extra + " -t " + Quote(c.Name) + " -o " + Quote(output) + "; echo rc=$?");
    return log.ends_with("rc=0\n") ? "" : log;
}

// The files an encode wrote, by their names "<output>.<extension>".
std::vector<std::string> WrittenFiles(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

bool HasVideo(const std::string& file) {
    return file.ends_with(".m1v") || file.ends_with(".m2v") || file.ends_with(".mpg");
}

// "codec_type,width,height,start_time" per stream, one line each.
std::string ProbeStreams(const std::string& file) {
    return Capture("ffprobe -v error -show_entries stream=codec_type,width,height,start_time -of csv=p=0 " +
                   Quote(file));
}

// The first time stamps of the video and audio streams of a system stream (seconds).
void StartTimes(const std::string& probe, double& video, double& audio) {
    video = audio = -1;
    std::istringstream lines(probe);
    for (std::string line; std::getline(lines, line);) {
        // "kind,[width,height,]start[,]": the last field that is not empty.
        while (line.ends_with(','))
            line.pop_back();
        const size_t comma = line.find_last_of(',');
        if (comma == std::string::npos)
            continue;
        const double start = std::atof(line.c_str() + comma + 1);
        if (line.starts_with("video"))
            video = start;
        else if (line.starts_with("audio"))
            audio = start;
    }
}

// ffmpeg decodes without a message, sees the picture size, mpeg2dec decodes every picture.
void CheckDecoders(const TTemplateCase& c, const std::string& file) {
    SCOPED_TRACE(file);
    EXPECT_EQ(Capture("ffmpeg -nostdin -v error -i " + Quote(file) + " -f null -"), "");
    if (!HasVideo(file))
        return;
    const std::string probe = ProbeStreams(file);
    EXPECT_NE(probe.find("video," + std::to_string(c.Width) + "," + std::to_string(c.Height)), std::string::npos)
        << probe;
    const std::string system = file.ends_with(".mpg") ? "-s " : "";
    const std::string pictures = Capture("mpeg2dec " + system + "-o md5 " + Quote(file) + " 2>/dev/null | grep -c pgm");
    EXPECT_EQ(std::stoi(pictures), c.Frames) << "pictures mpeg2dec decoded";
    if (file.ends_with(".mpg") && probe.find("audio") != std::string::npos) {
        double video = 0, audio = 0;
        StartTimes(probe, video, audio);
        EXPECT_NEAR(video, audio, 0.036) << "first time stamps of pictures and sound, within one audio frame";
    }
}

class TemplateEncode : public ::testing::TestWithParam<TTemplateCase> {};

TEST_P(TemplateEncode, OutputsPassTheDecodersAndAuthoringTools) {
    QS_REQUIRE_TOOLS("ffmpeg", "ffprobe", "mpeg2dec", "dvdauthor", "vcdimager");
    const TTemplateCase& c = GetParam();
    testing::TempDir dir;
    const std::string plain = dir.File("plain");
    ASSERT_EQ(std::filesystem::create_directory(plain), true);
    ASSERT_EQ(Encode(c, plain + "/out"), "");
    const std::vector<std::string> files = WrittenFiles(plain);
    ASSERT_FALSE(files.empty());
    for (const std::string& file : files)
        CheckDecoders(c, file);

    if (c.SystemType == MPEGSystemEncoder_StreamType_MPEG1_VideoCD) {
        EXPECT_EQ(VcdimagerComplaints("vcd2", files.front(), dir.File("vcd")), "");
    } else if (c.SystemType == MPEGSystemEncoder_StreamType_MPEG2_SuperVideoCD_VBR) {
        EXPECT_EQ(VcdimagerComplaints("svcd", files.front(), dir.File("svcd")), "");
    } else if (c.SystemType == MPEGSystemEncoder_StreamType_MPEG2_Program) {
        // The DVD-Video form, as authoring tools read it.
        const std::string vob = dir.File("dvd-video");
        ASSERT_EQ(Encode(c, vob, "--dvd-video"), "");
        CheckDecoders(c, vob + ".mpg");
        EXPECT_EQ(DvdauthorComplaints(vob + ".mpg", dir.File("dvd"), c.PAL ? "pal" : "ntsc"), "");
    }
}

std::string CaseName(const ::testing::TestParamInfo<TTemplateCase>& info) {
    std::string name;
    for (char ch : info.param.Name)
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(BuiltIn, TemplateEncode, ::testing::ValuesIn(AllTemplates()), CaseName);

} // namespace
} // namespace quillset
