// Temporary files: unique names in a folder, and a file stream that removes its file.
#pragma once

#include <cstdint>
#include <string>

#include "stream/file_stream.h"

namespace quillset {

// $TMPDIR when it names a folder, else /tmp; always ends in '/'.
std::string GetSystemTempFolder();

// Folder + "<Prefix>_<n>.<Extension>" for the next running number n whose file does not exist.
// The name is claimed by creating the file empty (exclusively), so processes sharing a folder
// never get the same name; the caller opens it with fmCreate. An empty or missing Folder means the
// system temporary folder. Returns "" once the running number has passed the largest signed
// 32-bit value.
std::string MakeTempFileName(const std::string& folder, const std::string& prefix, const std::string& extension);

// The running number of MakeTempFileName (0 at start); tests reset it.
int32_t GetTempFileCounter();
void SetTempFileCounter(int32_t value);

// A fresh "tmp_<n>.tmp" file in the system temporary folder, deleted when the stream is destroyed.
class TTempFileStream : public TLargeFileStream {
public:
    TTempFileStream();
};

} // namespace quillset
