#include "config/templates/wizard_templates.h"

#include "config/model/config_list.h"
#include "config/persist/persistent.h"
#include "stream/memory_stream.h"

namespace quillset {

namespace template_data {
// Generated at build time (wizard_template_data.cpp).
extern const unsigned char kWizardTemplate[];
extern const unsigned int kWizardTemplateSize;
extern const unsigned char kWizardTemplateAC3[];
extern const unsigned int kWizardTemplateAC3Size;
} // namespace template_data

const char* const WizardTemplateResourceName = "WIZARDTEMPLATE";
const char* const WizardTemplateAC3ResourceName = "WIZARDTEMPLATE_AC3";
const char* const DefaultWizardCategory = "$$DVD\\$$NTSC";

namespace {

struct TCategoryDefault {
    const char* Category;
    const char* Preferred;
    const char* Fallback;
};

constexpr TCategoryDefault kCategoryDefaults[] = {
    {"$$VCD\\$$NTSC", "VideoCD (NTSC) - MPEG1 352x240 CBR 1150kbps.mcf", nullptr},
    {"$$VCD\\$$NTSCFilm", "VideoCD (NTSCFilm) - MPEG1 352x240 CBR 1150kbps.mcf", nullptr},
    {"$$VCD\\$$PAL", "VideoCD (PAL) - MPEG1 352x288 CBR 1150kbps.mcf", nullptr},
    {"$$SVCD\\$$NTSC", "SuperVideoCD (NTSC) - MPEG2 480x480 VBR.mcf", nullptr},
    {"$$SVCD\\$$NTSCFilm", "SuperVideoCD (NTSCFilm) - MPEG2 480x480 VBR.mcf", nullptr},
    {"$$SVCD\\$$PAL", "SuperVideoCD (PAL) - MPEG2 480x576 VBR.mcf", nullptr},
    {"$$DVD\\$$NTSC", "DVD (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps AC3.mcf", "DVD (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps MPA.mcf"},
    {"$$DVD\\$$NTSC_16_9", "DVD (NTSC 16_9) - MPEG2 720x480 VBR 4Mbps AC3.mcf",
     "DVD (NTSC 16_9) - MPEG2 720x480 VBR 4Mbps MPA.mcf"},
    {"$$DVD\\$$PAL", "DVD (PAL 4_3) - MPEG2 720x576 VBR 4Mbps AC3.mcf", "DVD (PAL 4_3) - MPEG2 720x576 VBR 4Mbps MPA.mcf"},
    {"$$DVD\\$$PAL_16_9", "DVD (PAL 16_9) - MPEG2 720x576 VBR 4Mbps AC3.mcf",
     "DVD (PAL 16_9) - MPEG2 720x576 VBR 4Mbps MPA.mcf"},
    {"$$DVD_ForFilm\\$$NTSC", "DVD Film (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps AC3.mcf",
     "DVD Film (NTSC 4_3) - MPEG2 720x480 VBR 4Mbps MPA.mcf"},
    {"$$DVD_ForFilm\\$$NTSC_16_9", "DVD Film (NTSC 16_9) - MPEG2 720x480 VBR 4Mbps AC3.mcf",
     "DVD Film (NTSC 16_9) - MPEG2 720x480 VBR 4Mbps MPA.mcf"},
};

} // namespace

std::span<const uint8_t> FindTemplateResource(std::string_view name) {
    if (SameIdentifier(name, WizardTemplateResourceName))
        return {template_data::kWizardTemplate, template_data::kWizardTemplateSize};
    if (SameIdentifier(name, WizardTemplateAC3ResourceName))
        return {template_data::kWizardTemplateAC3, template_data::kWizardTemplateAC3Size};
    return {};
}

void LoadWizardTemplates(TMPEGConfigList& list, bool ac3Available) {
    const std::span<const uint8_t> bytes =
        FindTemplateResource(ac3Available ? WizardTemplateAC3ResourceName : WizardTemplateResourceName);
    TLargeMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    list.LoadFromStream(stream);
}

std::string GetDefaultTemplateFileName(const TMPEGConfigList& list, const std::string& category) {
    for (const auto& entry : kCategoryDefaults) {
        if (!SameIdentifier(entry.Category, category))
            continue;
        if (list.IndexOfFileName(entry.Preferred) >= 0)
            return list[list.IndexOfFileName(entry.Preferred)].FileName;
        if (entry.Fallback != nullptr && list.IndexOfFileName(entry.Fallback) >= 0)
            return list[list.IndexOfFileName(entry.Fallback)].FileName;
        break;
    }
    for (int i = 0; i < list.Count(); ++i)
        if (SameIdentifier(list[i].MPEGConfig.WizardCategoryName, category))
            return list[i].FileName;
    return "";
}

} // namespace quillset
