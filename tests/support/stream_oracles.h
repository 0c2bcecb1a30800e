// The independent tools that judge whole streams in the tests: shell command capture, and the
// complaints of the DVD and Video-CD authoring tools about a file.
#pragma once

#include <string>

namespace quillset::testing {

// True when QUILLSET_REQUIRE_TOOLS=1: a missing tool fails a test instead of skipping it.
bool ToolsRequired();

// A path quoted for the shell (single quotes; paths with a quote are not supported).
std::string Quote(const std::string& path);

// The output of a shell command line: stdout and stderr of every command in it.
std::string Capture(const std::string& commandLine);

// The WARN: and ERR: lines dvdauthor prints for a title set made of the file and then for the
// table of contents, in `folder`; "" when it accepts both silently. tvSystem: "ntsc" or "pal".
std::string DvdauthorComplaints(const std::string& file, const std::string& folder,
                                const std::string& tvSystem = "ntsc");

// vcdimager's warnings and errors for a disc image of the file, built in `folder`; "" when it
// builds one silently. type: "vcd2" or "svcd".
std::string VcdimagerComplaints(const std::string& type, const std::string& file, const std::string& folder);

} // namespace quillset::testing
