// The built-in template lists that the program carries, and the default template of a category.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quillset {

class TMPEGConfigList;

extern const char* const WizardTemplateResourceName;    // "WIZARDTEMPLATE": 33 templates
extern const char* const WizardTemplateAC3ResourceName; // "WIZARDTEMPLATE_AC3": the same and 12 with AC-3 audio

// The category the wizard starts in when nothing else is known.
extern const char* const DefaultWizardCategory; // "$$DVD\$$NTSC"

// The stored bytes of a built-in list (a template list stream), or an empty span for an unknown
// name (compared ignoring case).
std::span<const uint8_t> FindTemplateResource(std::string_view name);

// Loads "WIZARDTEMPLATE_AC3" when the AC-3 encoder is available, "WIZARDTEMPLATE" otherwise.
void LoadWizardTemplates(TMPEGConfigList& list, bool ac3Available);

// The template to preselect in a category (raw category name, compared ignoring case): the first
// of its preferred file names present in the list; for a category without preferences the first
// item filed under it; empty when none.
std::string GetDefaultTemplateFileName(const TMPEGConfigList& list, const std::string& category);

} // namespace quillset
