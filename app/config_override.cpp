#include "app/config_override.h"

#include <algorithm>

#include "config/model/mpeg_config.h"
#include "config/persist/filer_errors.h"
#include "config/persist/reader.h"
#include "config/persist/text_to_binary.h"
#include "stream/memory_stream.h"

namespace quillset {

namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c;
        if (c == '\'')
            quoted += '\'';
    }
    return quoted + "'";
}

// Reads "object TMPEGConfig / path = value / end" onto config without resetting it; every
// failure (a path or value the configuration does not take) raises.
void ReadSetting(TMPEGConfig& config, const std::string& path, const std::string& value) {
    const std::string text = "object TMPEGConfig\n  " + path + " = " + value + "\nend\n";
    TLargeMemoryStream textStream;
    textStream.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
    textStream.SetPosition(0);
    TLargeMemoryStream binary;
    ObjectTextToBinary(textStream, binary);
    binary.SetPosition(0);
    ReadResourceHeader(binary);
    TReader reader(binary);
    reader.ReadRootObject(config);
}

} // namespace

void ApplyConfigSetting(TMPEGConfig& config, const std::string& assignment) {
    const size_t equals = assignment.find('=');
    const std::string path = Trim(assignment.substr(0, equals));
    if (equals == std::string::npos || path.empty())
        throw ESettingError("--set needs PATH=VALUE, for example --set Video.CBR_BitRate=6000000 (got \"" +
                            assignment + "\")");
    if (path.find_first_of(" \t'#\r\n") != std::string::npos)
        throw ESettingError("\"" + path + "\" is not a setting name");
    const std::string value = Trim(assignment.substr(equals + 1));
    if (value.empty())
        throw ESettingError("--set " + path + " needs a value");
    // Work on a copy so that a failed setting leaves the configuration as it was.
    TMPEGConfig changed;
    changed.Assign(config);
    try {
        try {
            ReadSetting(changed, path, value);
        } catch (const Exception&) {
            // A plain word for a string property: try it as a quoted string.
            if (value.front() == '\'')
                throw;
            changed.Assign(config);
            ReadSetting(changed, path, Quoted(value));
        }
    } catch (const Exception& error) {
        const std::string reason = error.what();
        if (reason.find("There is no property") != std::string::npos ||
            reason.find("Illegal property path") != std::string::npos)
            throw ESettingError("Unknown setting \"" + path + "\"");
        throw ESettingError("The value \"" + value + "\" cannot be set for " + path + " (" + reason + ")");
    }
    config.Assign(changed);
}

} // namespace quillset
