// The command-line front end: parses the arguments, runs the command and turns errors into
// messages on standard error and exit codes.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quillset {

// Exit codes of the program.
constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1;   // the command ran and failed (the message says why)
constexpr int ExitUsage = 2;     // the command line itself is wrong

// Runs the program with its arguments (without the program name).
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The text of "quillset --help".
std::string UsageText();

// Turns a message of the encoding core into terminal text: "\r" becomes a line break.
std::string MessageForTerminal(const std::string& message);

} // namespace quillset
