// Configuration files (".mcf"): one configuration as a property stream with the resource header
// "MPEGCONFIG" and the root class TMPEGConfig, its properties at the root
// ("Text", "Video.Width", "Video.QuantizeMatrix_Intra", ...). The text form loads as well.
#pragma once

#include <string>

namespace quillset {

class TLargeStream;
class TMPEGConfig;

extern const char* const MPEGConfigResourceName; // "MPEGCONFIG"

// Loading resets the configuration to its defaults first, then reads what the stream holds;
// unknown or ill-typed properties are skipped. A stream of another kind raises EInvalidImage
// "Illegal stream format", a truncated one EReadError "Stream reading error".
void LoadMPEGConfigFromStream(TLargeStream& stream, TMPEGConfig& config);
void SaveMPEGConfigToStream(TLargeStream& stream, const TMPEGConfig& config);

// File errors are those of the file streams (EFOpenError, EFCreateError, ...).
void LoadMPEGConfigFromFile(const std::string& fileName, TMPEGConfig& config);
void SaveMPEGConfigToFile(const std::string& fileName, const TMPEGConfig& config);

} // namespace quillset
