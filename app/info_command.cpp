#include "app/info_command.h"

#include <ostream>

#include "app/command_line.h"
#include "encoder/demux/stream_listing.h"
#include "stream/file_stream.h"

namespace quillset {

std::string InfoUsageText() {
    return "  quillset info FILE                  list the elementary streams of an MPEG file\n";
}

int RunInfoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
        err << "quillset info: give one MPEG file\n\nUsage:\n" << InfoUsageText();
        return ExitUsage;
    }
    TLargeFileStream file(args[0], 0, fmOpenRead | fmShareDenyWrite);
    const TMPEGStreamList list = ListMPEGStreams(file);
    out << args[0] << "\n";
    for (const std::string& line : FormatMPEGStreamList(list))
        out << "  " << line << "\n";
    if (list.Damaged)
        err << "quillset info: the file is damaged; the list shows the streams up to the damage\n";
    return ExitSuccess;
}

} // namespace quillset
