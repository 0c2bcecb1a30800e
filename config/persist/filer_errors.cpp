#include "config/persist/filer_errors.h"

namespace quillset {

const char* const SInvalidImage = "Illegal stream format";
const char* const SUnknownProperty = "There is no property.";
const char* const SInvalidPropertyValue = "Illegal property value";
const char* const SInvalidPropertyPath = "Illegal property path";
const char* const SAssignError = "Cannot assign a %s to a %s";

} // namespace quillset
