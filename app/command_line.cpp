#include "app/command_line.h"

#include "app/encode_command.h"
#include "app/info_command.h"
#include "app/templates_command.h"

#include <exception>
#include <ostream>

#ifndef QUILLSET_VERSION
#define QUILLSET_VERSION "0.0.0"
#endif

namespace quillset {

std::string UsageText() {
    return std::string("Quillset " QUILLSET_VERSION " - MPEG encoder for DVD, Super Video-CD and Video-CD productions\n"
           "\n"
           "Usage:\n"
           "  quillset --help                     show this text\n"
           "  quillset --version                  show the version\n"
           "  quillset templates                  list the built-in templates\n"
           "  quillset templates --show NAME      show one template and all its settings\n") +
           InfoUsageText() + EncodeUsageText();
}

std::string MessageForTerminal(const std::string& message) {
    std::string text;
    text.reserve(message.size());
    for (size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r') {
            text += '\n';
            if (i + 1 < message.size() && message[i + 1] == '\n')
                ++i;
        } else {
            text += message[i];
        }
    }
    return text;
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
            out << UsageText();
            return ExitSuccess;
        }
        if (args[0] == "--version" || args[0] == "version") {
            out << "quillset " QUILLSET_VERSION "\n";
            return ExitSuccess;
        }
        if (args[0] == "templates")
            return RunTemplatesCommand({args.begin() + 1, args.end()}, out, err);
        if (args[0] == "info")
            return RunInfoCommand({args.begin() + 1, args.end()}, out, err);
        if (args[0] == "encode")
            return RunEncodeCommand({args.begin() + 1, args.end()}, out, err);
        err << "quillset: unknown command \"" << args[0] << "\"\n\n" << UsageText();
        return ExitUsage;
    } catch (const std::exception& error) {
        err << "quillset: " << MessageForTerminal(error.what()) << "\n";
        return ExitFailure;
    }
}

} // namespace quillset
