#include "app/command_line.h"

#include <gtest/gtest.h>
#include <sstream>

namespace quillset {
namespace {

struct CommandCase {
    std::vector<std::string> args;
    int exitCode;
    const char* expectOut; // substring of standard output
    const char* expectErr; // substring of standard error
};

TEST(CommandLine, CommandsAndExitCodes) {
    const CommandCase cases[] = {
        {{"--help"}, ExitSuccess, "Usage:", ""},
        {{}, ExitSuccess, "Usage:", ""},
        {{"--version"}, ExitSuccess, "quillset ", ""},
        {{"--frobnicate"}, ExitUsage, "", "unknown command \"--frobnicate\""},
    };
    for (const auto& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(RunCommandLine(c.args, out, err), c.exitCode);
        EXPECT_NE(out.str().find(c.expectOut), std::string::npos) << out.str();
        EXPECT_NE(err.str().find(c.expectErr), std::string::npos) << err.str();
    }
}

TEST(CommandLine, MessagesUseLineBreaksOnTheTerminal) {
    EXPECT_EQ(MessageForTerminal("Bitrate is too large.\r\r> Bitrate"), "Bitrate is too large.\n\n> Bitrate");
    EXPECT_EQ(MessageForTerminal("a\r\nb"), "a\nb");
}

} // namespace
} // namespace quillset
