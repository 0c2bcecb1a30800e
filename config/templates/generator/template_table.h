// The built-in templates, built from their source table.
#pragma once

namespace quillset {

class TMPEGConfigList;

// Fills the list with the built-in templates in list order: all 45, or without the 12 whose
// audio is AC-3.
void BuildWizardTemplates(TMPEGConfigList& list, bool withAC3);

} // namespace quillset
