#include "app/templates_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/command_line.h"
#include "config/model/config_file.h"
#include "config/model/config_list.h"
#include "encoder/audio/ac3/ac3_library.h"
#include "stream/memory_stream.h"

namespace quillset {
namespace {

struct TRun {
    int ExitCode;
    std::string Out;
    std::string Err;
};

TRun RunQuillset(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = RunCommandLine(args, out, err);
    return {code, out.str(), err.str()};
}

int CountLines(const std::string& text, const std::string& prefix) {
    int count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        count += line.starts_with(prefix) ? 1 : 0;
    return count;
}

// Restores the process-wide AC-3 library name when a test has changed it.
struct TAC3LibraryNameGuard {
    ~TAC3LibraryNameGuard() { SetAC3LibraryFileName(AC3DefaultLibraryFileName); }
};

TEST(TemplatesCommand, ListsTheOfferedTemplates) {
    TAC3LibraryNameGuard guard;
    SetAC3LibraryFileName(""); // as when the AC-3 library cannot be loaded
    const TRun run = RunQuillset({"templates"});
    ASSERT_EQ(run.ExitCode, ExitSuccess) << run.Err;
    EXPECT_TRUE(run.Out.starts_with("33 templates\n\nDVD (NTSC 16_9) - MPEG2 720x480 CBR 4Mbps LPCM.mcf\n"
                                    "  Category:   DVD\\NTSC (16:9)\n"
                                    "  Caption:    DVD for NTSC 16:9 (North America and Japan)\n"
                                    "  Sub-format: CBR   Linear PCM Audio\n"))
        << run.Out;
    EXPECT_EQ(CountLines(run.Out, "  Category:"), 33);
    EXPECT_EQ(run.Out.find("AC3.mcf"), std::string::npos) << "no AC-3 encoder, no AC-3 templates";
    EXPECT_NE(run.Out.find("VideoCD (PAL) - MPEG1 352x288 CBR 1150kbps.mcf\n  Category:   Video-CD\\PAL\n"),
              std::string::npos);
}

TEST(TemplatesCommand, OffersTheAC3TemplatesWhenTheLibraryLoads) {
    TAC3LibraryNameGuard guard;
    SetAC3LibraryFileName(AC3DefaultLibraryFileName); // built next to the test program
    const TRun run = RunQuillset({"templates"});
    ASSERT_EQ(run.ExitCode, ExitSuccess) << run.Err;
    EXPECT_TRUE(run.Out.starts_with("45 templates\n")) << run.Out.substr(0, 200);
    EXPECT_EQ(CountLines(run.Out, "  Category:"), 45);
    EXPECT_NE(run.Out.find("DVD (NTSC 16_9) - MPEG2 720x480 VBR 4Mbps AC3.mcf\n"), std::string::npos);
}

TEST(TemplatesCommand, ShowsOneTemplateWithSettingsThatLoadBack) {
    const TRun run = RunQuillset({"templates", "--show", "videocd (ntsc) - MPEG1 352X240 cbr 1150kbps"});
    ASSERT_EQ(run.ExitCode, ExitSuccess) << run.Err;
    EXPECT_TRUE(run.Out.starts_with("VideoCD (NTSC) - MPEG1 352x240 CBR 1150kbps.mcf\n")) << run.Out;
    EXPECT_NE(run.Out.find("Description:\nConventional CD-Video standard\n\n"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("Approximately 70 min movie can be stored onto 650MB CD-R."), std::string::npos);

    const size_t settings = run.Out.find("Settings:\n");
    ASSERT_NE(settings, std::string::npos);
    const std::string text = run.Out.substr(settings + 10);
    EXPECT_TRUE(text.starts_with("object TMPEGConfig\n")) << text;
    TLargeMemoryStream stream;
    stream.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
    stream.SetPosition(0);
    TMPEGConfig shown;
    LoadMPEGConfigFromStream(stream, shown);
    TMPEGConfigList list;
    LoadOfferedTemplates(list);
    EXPECT_TRUE(shown.Equals(list[FindTemplate(list, "VideoCD (NTSC) - MPEG1 352x240 CBR 1150kbps.mcf")].MPEGConfig));
}

TEST(TemplatesCommand, RefusesUnknownNamesAndArguments) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* err;
    };
    const Case cases[] = {
        {{"templates", "--show", "No Such Template"}, ExitFailure, "there is no template \"No Such Template\""},
        {{"templates", "--show"}, ExitUsage, "usage: quillset templates [--show NAME]"},
        {{"templates", "extra"}, ExitUsage, "usage:"},
    };
    for (const auto& c : cases) {
        const TRun run = RunQuillset(c.args);
        EXPECT_EQ(run.ExitCode, c.exitCode);
        EXPECT_NE(run.Err.find(c.err), std::string::npos) << run.Err;
        EXPECT_EQ(run.Out, "");
    }
}

} // namespace
} // namespace quillset
