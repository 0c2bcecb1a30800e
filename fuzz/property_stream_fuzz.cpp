// Property streams from outside (configuration files, template lists, their text form) must load
// or fail with the stream errors, never crash; what loads must write and read back unchanged.
#include <cstddef>
#include <cstdint>

#include "config/model/config_file.h"
#include "config/model/config_list.h"
#include "config/model/mpeg_config.h"
#include "config/persist/text_to_binary.h"
#include "stream/exceptions.h"
#include "stream/memory_stream.h"

namespace {

using namespace quillset;

void Fill(TLargeMemoryStream& stream, const uint8_t* data, size_t size) {
    stream.WriteBuffer(data, static_cast<int32_t>(size));
    stream.SetPosition(0);
}

// Everything a loaded configuration computes from its values.
void Exercise(const TMPEGConfig& config) {
    (void)config.GetWizardDescriptionText();
    (void)config.GetWizardCategoryPath("x.mcf");
    (void)config.ExpandText("$$WS_VideoSize_PCM $$videosizelist $$maxrecordtime_80min");
    (void)config.GetVideoEncodeConfig();
    (void)config.GetRateSummary(0x1F);
    TMPEGConfig copy;
    copy.Assign(config);
    (void)copy.AutoChooseByBitRate();
}

void CheckRoundTrip(const TMPEGConfig& config) {
    TLargeMemoryStream saved;
    SaveMPEGConfigToStream(saved, config);
    saved.SetPosition(0);
    TMPEGConfig again;
    LoadMPEGConfigFromStream(saved, again);
    if (!again.Equals(config))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    try {
        TLargeMemoryStream stream;
        Fill(stream, data, size);
        TMPEGConfig config;
        LoadMPEGConfigFromStream(stream, config);
        Exercise(config);
        CheckRoundTrip(config);
    } catch (const Exception&) {
    }
    try {
        TLargeMemoryStream stream;
        Fill(stream, data, size);
        TMPEGConfigList list;
        list.LoadFromStream(stream);
        for (int i = 0; i < list.Count() && i < 4; ++i)
            Exercise(list[i].MPEGConfig);
    } catch (const Exception&) {
    }
    try {
        TLargeMemoryStream stream, binary;
        Fill(stream, data, size);
        ObjectTextToBinary(stream, binary);
    } catch (const Exception&) {
    }
    try {
        TLargeMemoryStream stream, text;
        Fill(stream, data, size);
        ObjectBinaryToText(stream, text);
    } catch (const Exception&) {
    }
    return 0;
}
