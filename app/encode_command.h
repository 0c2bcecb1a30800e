// "quillset encode": encodes a YUV4MPEG2 picture source and a WAVE sound source with a template.
//
//   quillset encode -t TEMPLATE [--set PATH=VALUE]... [-o OUTPUT] [--wave] [--log FILE] [--quiet]
//                   [PICTURES.y4m | -] [SOUND.wav]
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quillset {

// args are the words after "encode". Returns the exit code: 0 done, 1 failed (the message is on
// err), 2 a wrong command line, 130 stopped by the user (the files end where it stopped).
int RunEncodeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The help text of the command.
std::string EncodeUsageText();

} // namespace quillset
