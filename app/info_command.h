// "quillset info FILE": the elementary streams of an MPEG file as the demultiplexer sees them.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quillset {

std::string InfoUsageText();

// Prints the file's form and one line per elementary stream (kind, ids, size, first time stamps).
// Returns the process exit code.
int RunInfoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quillset
