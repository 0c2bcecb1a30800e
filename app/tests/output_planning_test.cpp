#include "app/output_planning.h"

#include <gtest/gtest.h>

#include "app/templates_command.h"
#include "config/model/config_list.h"
#include "config/model/mpeg_config.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

TEST(OutputPlanning, EstimatesSizesWithAMarginOfFivePercentUpToTenMebibytes) {
    struct Case {
        bool constant;
        int32_t average, maximum;
        double seconds;
        int64_t expected;
    };
    const Case cases[] = {
        {true, 4462442, 4462442, 60, 33468315 + 1673416},     // ceil(60 x R / 8) + ceil(5 %)
        {false, -1, 9800000, 10, 12250000 + 612500},           // no average: the maximum counts
        {false, 6000000, 9800000, 10, 7500000 + 375000},       // an average wins over the maximum
        {true, 8000000, 8000000, 3600, 3600000000LL + 10485760}, // the margin stops at 10 MiB
        {true, 0, 0, 100, 0},
    };
    for (const auto& c : cases) {
        TMPEGConfig_RateSummary summary;
        summary.IsConstant = c.constant;
        summary.TotalAvgBitRate = c.average;
        summary.TotalMaxBitRate = c.maximum;
        EXPECT_EQ(EstimateFileSize(summary, c.seconds), c.expected) << c.average << " " << c.seconds;
    }
    TMPEGAudioConfig audio;
    audio.SamplingFrequency = 48000;
    audio.ChannelMode = 0;
    EXPECT_EQ(EstimateWaveFileSize(audio, 1.5), 288000);
    audio.ChannelMode = 3;
    EXPECT_EQ(EstimateWaveFileSize(audio, 1.5), 144000);
}

TEST(OutputPlanning, FormatsDurations) {
    EXPECT_EQ(FormatDuration(0), "00:00:00");
    EXPECT_EQ(FormatDuration(59.9), "00:00:59");
    EXPECT_EQ(FormatDuration(3723), "01:02:03");
    EXPECT_EQ(FormatDuration(100 * 3600), "100:00:00");
    EXPECT_EQ(FormatDuration(-5), "00:00:00");
}

TEST(OutputPlanning, DiskMessageSumsRequestsPerFileSystem) {
    testing::TempDir dir;
    const std::string drive = GetDriveOfPath(dir.Path());
    EXPECT_EQ(GetDriveOfPath(dir.File("not/yet/there.mpg")), drive);
    EXPECT_EQ(GetDriveOfPath("/proc/self/status"), "/proc");
    const std::vector<TRequestDiskCapacitySizeItem> requests = {
        {dir.File("a.m2v"), 3LL << 30}, {dir.File("a.wav"), 512LL << 20}, {"/proc/x", 1LL << 20}};
    const std::string expected = "There is not enough space on HDD.\r\n\r\n"
                                 "In " + std::min(drive, std::string("/proc")) + " drive, you need " +
                                 (drive < "/proc" ? "3GB (3584MB)" : "0GB (1MB)") + " as free space.\r\n"
                                 "In " + std::max(drive, std::string("/proc")) + " drive, you need " +
                                 (drive < "/proc" ? "0GB (1MB)" : "3GB (3584MB)") + " as free space.\r\n"
                                 "\r\nYou need total 3GB (3585MB) as free space.";
    EXPECT_EQ(BuildDiskCapacityMessage(requests), expected);
}

TEST(OutputPlanning, NamesTheFilesOfEachOutputType) {
    TMPEGConfigList list;
    LoadOfferedTemplates(list);
    struct Case {
        const char* templateName;
        const char* name;
        bool wave;
        const char* main;
        const char* second;
        const char* waveFile;
    };
    const Case cases[] = {
        {"DVD (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps LPCM", "out/movie", false, "out/movie.m2v", "out/movie.wav", ""},
        {"DVD (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps MPA", "out/movie", false, "out/movie.mpg", "out/movie.mpg", ""},
        {"DVD (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps MPA", "out/movie.vob", false, "out/movie.vob", "out/movie.vob",
         ""},
        {"DVD (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps MPA", "out/movie.vob", true, "out/movie.mpg", "out/movie.mpg",
         "out/movie.wav"},
        {"DVD (NTSC 4_3) - MPEG2 720x480 CBR 4Mbps LPCM", "out/movie", true, "out/movie.m2v", "out/movie.wav", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.templateName) + " " + c.name);
        const int index = FindTemplate(list, c.templateName);
        ASSERT_GE(index, 0);
        const TMPEGConfig& config = list[index].MPEGConfig;
        std::vector<TRequestDiskCapacitySizeItem> requests;
        const TOutputFileInfo info = PlanOutputFiles(config, c.name, 60, c.wave, requests);
        EXPECT_EQ(info.MainFileName, c.main);
        EXPECT_EQ(info.SecondFileName, c.second);
        EXPECT_EQ(info.WaveFileName, c.waveFile);
        size_t expectedRequests = 1 + (info.SecondFileName != info.MainFileName) + !info.WaveFileName.empty();
        EXPECT_EQ(requests.size(), expectedRequests);
        EXPECT_GT(info.MainFileSize, 0);
    }
}

TEST(OutputPlanning, ChangesExtensionsOfTheLastPathElementOnly) {
    EXPECT_EQ(ChangeFileExtension("a/b.c/movie", "m2v"), "a/b.c/movie.m2v");
    EXPECT_EQ(ChangeFileExtension("movie.mpg", "wav"), "movie.wav");
    EXPECT_EQ(ChangeFileExtension("dir/.hidden", "mpg"), "dir/.hidden.mpg");
    EXPECT_FALSE(HasFileExtension("movie."));
}

} // namespace
} // namespace quillset
