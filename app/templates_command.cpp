#include "app/templates_command.h"

#include <ostream>

#include "app/command_line.h"
#include "config/model/config_file.h"
#include "config/model/config_list.h"
#include "config/persist/text_to_binary.h"
#include "config/templates/wizard_templates.h"
#include "encoder/audio/ac3/ac3_library.h"
#include "stream/memory_stream.h"

namespace quillset {

namespace {

// The AC-3 templates are offered while the AC-3 library loads (a failed probe clears the library
// name, so later calls answer at once).
bool AC3EncoderAvailable() {
    return ProbeAC3Library();
}

void PrintSummary(const TMPEGConfigListItem& item, std::ostream& out) {
    const TMPEGConfig& config = item.MPEGConfig;
    const std::string category = config.GetWizardCategoryPath(item.FileName);
    out << "  Category:   " << (category.empty() ? "(hidden)" : category) << "\n";
    out << "  Caption:    " << MessageForTerminal(config.GetWizardCaptionText(item.FileName)) << "\n";
    out << "  Sub-format: " << MessageForTerminal(config.GetWizardSubFormatText()) << "\n";
}

// The settings of one configuration in the text form of configuration files.
std::string SettingsText(const TMPEGConfig& config) {
    TLargeMemoryStream binary;
    SaveMPEGConfigToStream(binary, config);
    binary.SetPosition(0);
    TLargeMemoryStream text;
    ObjectBinaryToText(binary, text);
    return std::string(reinterpret_cast<const char*>(text.GetMemory()), static_cast<size_t>(text.GetSize()));
}

int ListTemplates(const TMPEGConfigList& list, std::ostream& out) {
    out << list.Count() << " templates\n";
    for (int i = 0; i < list.Count(); ++i) {
        out << "\n" << list[i].FileName << "\n";
        PrintSummary(list[i], out);
    }
    return ExitSuccess;
}

int ShowTemplate(const TMPEGConfigList& list, const std::string& name, std::ostream& out, std::ostream& err) {
    const int index = FindTemplate(list, name);
    if (index < 0) {
        err << "quillset: there is no template \"" << name << "\"; \"quillset templates\" lists them\n";
        return ExitFailure;
    }
    const TMPEGConfigListItem& item = list[index];
    out << item.FileName << "\n";
    PrintSummary(item, out);
    out << "\nDescription:\n" << MessageForTerminal(item.MPEGConfig.GetWizardDescriptionText()) << "\n";
    out << "\nSettings:\n" << SettingsText(item.MPEGConfig);
    return ExitSuccess;
}

} // namespace

void LoadOfferedTemplates(TMPEGConfigList& list) {
    LoadWizardTemplates(list, AC3EncoderAvailable());
}

int FindTemplate(const TMPEGConfigList& list, const std::string& name) {
    const int index = list.IndexOfFileName(name);
    return index >= 0 ? index : list.IndexOfFileName(name + ".mcf");
}

int RunTemplatesCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const bool show = args.size() == 2 && args[0] == "--show";
    if (!args.empty() && !show) {
        err << "quillset: usage: quillset templates [--show NAME]\n";
        return ExitUsage;
    }
    TMPEGConfigList list;
    LoadOfferedTemplates(list);
    return show ? ShowTemplate(list, args[1], out, err) : ListTemplates(list, out);
}

} // namespace quillset
