#include "config/model/config_file.h"

#include "config/model/mpeg_config.h"
#include "config/persist/object_stream.h"
#include "stream/file_stream.h"
#include "stream/memory_stream.h"

namespace quillset {

const char* const MPEGConfigResourceName = "MPEGCONFIG";

void LoadMPEGConfigFromStream(TLargeStream& stream, TMPEGConfig& config) {
    LoadObjectStream(stream, config, MPEGConfigResourceName);
}

void SaveMPEGConfigToStream(TLargeStream& stream, const TMPEGConfig& config) {
    SaveObjectStream(stream, config, MPEGConfigResourceName);
}

void LoadMPEGConfigFromFile(const std::string& fileName, TMPEGConfig& config) {
    // Configuration files are small: read them whole, then parse from memory.
    TLargeMemoryStream memory;
    {
        TLargeFileStream file(fileName, FILE_ATTRIBUTE_NORMAL, fmOpenRead | fmShareDenyWrite);
        memory.CopyFrom(file, -1);
    }
    memory.SetPosition(0);
    LoadMPEGConfigFromStream(memory, config);
}

void SaveMPEGConfigToFile(const std::string& fileName, const TMPEGConfig& config) {
    TLargeMemoryStream memory;
    SaveMPEGConfigToStream(memory, config);
    TLargeFileStream file(fileName, FILE_ATTRIBUTE_NORMAL, fmCreate);
    file.WriteBuffer(memory.GetMemory(), static_cast<int32_t>(memory.GetSize()));
}

} // namespace quillset
