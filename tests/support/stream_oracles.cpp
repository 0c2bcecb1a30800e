#include "tests/support/stream_oracles.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace quillset::testing {

namespace {

// The lines of a log that start with one of the prefixes, and a final "rc=" line that is not 0.
std::string Complaints(const std::string& log, std::initializer_list<const char*> prefixes) {
    std::string complaints;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        bool complaint = line.rfind("rc=", 0) == 0 && line != "rc=0";
        for (const char* prefix : prefixes)
            complaint = complaint || line.rfind(prefix, 0) == 0;
        if (complaint)
            complaints += line + "\n";
    }
    return complaints;
}

} // namespace

bool ToolsRequired() {
    const char* value = std::getenv("QUILLSET_REQUIRE_TOOLS");
    return value != nullptr && std::string(value) == "1";
}

std::string Quote(const std::string& path) {
    return "'" + path + "'";
}

std::string Capture(const std::string& commandLine) {
    std::string out;
    FILE* pipe = popen(("{ " + commandLine + "\n} 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return out;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

std::string FfmpegStrictDecodeMessages(const std::string& file) {
    return Capture("ffmpeg -hide_banner -nostdin -v error -err_detect crccheck+careful+compliant+buffer+explode "
                   "-xerror -i " + Quote(file) + " -map 0:v -map 0:a -f null -");
}

std::string Mpeg2decPictureDigests(const std::string& file, bool systemStream) {
    return Capture(std::string("mpeg2dec ") + (systemStream ? "-s " : "") + "-o md5 " + Quote(file) +
                   " 2>/dev/null | grep pgm");
}

std::string DvdauthorComplaints(const std::string& file, const std::string& folder, const std::string& tvSystem) {
    const std::string format = tvSystem == "pal" ? "PAL" : "NTSC";
    return Complaints(Capture("dvdauthor -o " + Quote(folder) + " -t -v " + tvSystem + " " + Quote(file) +
                              " && VIDEO_FORMAT=" + format + " dvdauthor -o " + Quote(folder) + " -T; echo rc=$?"),
                      {"WARN:", "ERR:"});
}

std::string VcdimagerComplaints(const std::string& type, const std::string& file, const std::string& folder) {
    return Complaints(Capture("mkdir -p " + Quote(folder) + " && cd " + Quote(folder) +
                              " && rm -f img.bin img.cue && vcdimager -v -t " + type + " -c img.cue -b img.bin " +
                              Quote(file) + "; echo rc=$?"),
                      {"++ WARN", "**"});
}

std::string Libmpeg2Messages(const std::string& output) {
    std::istringstream lines(output);
    std::string line, messages;
    while (std::getline(lines, line))
        if (!line.empty() && line.rfind("libmpeg2-", 0) != 0 && line.find(" frames decoded in ") == std::string::npos)
            messages += line + "\n";
    return messages;
}

} // namespace quillset::testing
