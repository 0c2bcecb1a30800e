// "--set PATH=VALUE": changing one property of a configuration from the command line, with the
// path and value written as in the text form of configuration files
// ("Video.CBR_BitRate=6000000", "Video.RateControlMode=MPEGVideoEncoder_RateControlMode_CQ",
// "Text='My DVD'"; a string value may also be given without quotes).
#pragma once

#include <string>

#include "stream/exceptions.h"

namespace quillset {

class TMPEGConfig;

// A --set that names no property of the configuration or gives a value it cannot take.
class ESettingError : public Exception {
public:
    using Exception::Exception;
};

// Applies "PATH=VALUE" to config. Raises ESettingError with a message naming the setting.
void ApplyConfigSetting(TMPEGConfig& config, const std::string& assignment);

} // namespace quillset
