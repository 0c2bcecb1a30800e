// A scratch folder for one test, removed with everything in it when the test ends.
#pragma once

#include <string>

namespace quillset::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, without a trailing '/'.
    const std::string& Path() const { return path_; }
    // Path() + "/" + name.
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The whole content of a file (empty when it cannot be read).
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// Runs a shell command and returns its exit status (-1 when it could not run).
int RunCommand(const std::string& command);
// True when `tool` is on the PATH.
bool HasTool(const std::string& tool);

} // namespace quillset::testing
