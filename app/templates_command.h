// "quillset templates": lists the built-in templates, or shows one with all its settings.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quillset {

class TMPEGConfigList;

// args are the words after "templates": none (list all) or "--show NAME". NAME is a template's
// file name, with or without ".mcf", in any case. Returns an exit code.
int RunTemplatesCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The list the program offers: with AC-3 templates only when an AC-3 encoder can be loaded.
void LoadOfferedTemplates(TMPEGConfigList& list);

// The index of the template named name (with or without ".mcf", ignoring case), or -1.
int FindTemplate(const TMPEGConfigList& list, const std::string& name);

} // namespace quillset
