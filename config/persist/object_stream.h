// Whole streams of one root object, as project files, configuration files and template lists
// are stored: an optional resource header, the signature "TPF0" and the object; or the same tree
// in the text form.
#pragma once

#include <string_view>

namespace quillset {

class TLargeStream;
class TPersistent;

// Checks the first bytes of a stream before it is loaded, and rewinds it to where it started.
// Binary: 0xFF 0x0A 0x00, the resource name (ignoring case), then after the header "TPF0", the
// length byte and the class name (ignoring case). Text: the trimmed head starts with "object"
// and the class name follows the first space. Returns true for binary, false for text; any
// mismatch raises EInvalidImage "Illegal stream format".
bool CheckStreamHead(TLargeStream& stream, std::string_view resourceName, std::string_view className);

// Loads a root object the way the program loads its files: checks the head, resets the root to
// its defaults, reads the binary form (unknown or ill-typed properties are skipped silently);
// a text stream is converted to the binary form in memory and read from there. Errors of a
// damaged stream propagate ("Illegal stream format", "Stream reading error").
void LoadObjectStream(TLargeStream& stream, TPersistent& root, std::string_view resourceName);

// Writes the resource header named resourceName, the signature and the root object.
void SaveObjectStream(TLargeStream& stream, const TPersistent& root, std::string_view resourceName);

} // namespace quillset
