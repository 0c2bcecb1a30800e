// The independent tools that judge whole streams in the tests: their presence, shell command
// capture, and the complaints of the DVD and Video-CD authoring tools about a file.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

// Skips the test (or fails it when the tools are required) unless every named tool is on the
// PATH; for a test body, SetUp or another function returning void.
#define QS_REQUIRE_TOOLS(...)                                                                  \
    do {                                                                                       \
        for (const char* qsRequiredTool : {__VA_ARGS__}) {                                     \
            if (!::quillset::testing::HasTool(qsRequiredTool)) {                               \
                if (::quillset::testing::ToolsRequired())                                      \
                    FAIL() << "missing tool " << qsRequiredTool;                               \
                GTEST_SKIP() << "missing tool " << qsRequiredTool;                             \
            }                                                                                  \
        }                                                                                      \
    } while (0)

namespace quillset::testing {

// True when QUILLSET_REQUIRE_TOOLS=1: a missing tool fails a test instead of skipping it.
bool ToolsRequired();

// A path quoted for the shell (single quotes; paths with a quote are not supported).
std::string Quote(const std::string& path);

// The output of a shell command line: stdout and stderr of every command in it.
std::string Capture(const std::string& commandLine);

// ffmpeg's messages for the video and audio of a system stream decoded with every check it has
// (CRCs, compliance, buffers), stopping at the first error; "" when it decodes cleanly.
std::string FfmpegStrictDecodeMessages(const std::string& file);

// libmpeg2's (mpeg2dec's) MD5 lines of every picture of the video in the file, a system stream
// (`systemStream`) or a video elementary stream.
std::string Mpeg2decPictureDigests(const std::string& file, bool systemStream);

// What mpeg2dec printed beyond its banner and its closing count of decoded frames: "" when it
// decoded silently.
std::string Libmpeg2Messages(const std::string& output);

// The WARN: and ERR: lines dvdauthor prints for a title set made of the file and then for the
// table of contents, in `folder`; "" when it accepts both silently. tvSystem: "ntsc" or "pal".
std::string DvdauthorComplaints(const std::string& file, const std::string& folder,
                                const std::string& tvSystem = "ntsc");

// vcdimager's warnings and errors for a disc image of the file, built in `folder`; "" when it
// builds one silently. type: "vcd2" or "svcd".
std::string VcdimagerComplaints(const std::string& type, const std::string& file, const std::string& folder);

} // namespace quillset::testing
