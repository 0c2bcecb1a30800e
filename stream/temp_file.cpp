#include "stream/temp_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillset {

namespace {

std::atomic<int32_t> tempFileCounter{0};

bool IsDirectory(const std::string& path) {
    struct stat info{};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path) {
    struct stat info{};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string WithTrailingSeparator(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

std::string GetSystemTempFolder() {
    const char* variable = std::getenv("TMPDIR");
    const std::string folder = variable != nullptr && IsDirectory(variable) ? variable : "/tmp";
    return WithTrailingSeparator(folder);
}

std::string MakeTempFileName(const std::string& folder, const std::string& prefix, const std::string& extension) {
    const std::string base = IsDirectory(folder) ? WithTrailingSeparator(folder) : GetSystemTempFolder();
    for (;;) {
        int32_t counter = tempFileCounter.load();
        if (counter < 0)
            return std::string();
        // Past INT32_MAX the counter turns negative and no further names are made.
        const int32_t next = counter == INT32_MAX ? INT32_MIN : counter + 1;
        if (!tempFileCounter.compare_exchange_weak(counter, next))
            continue;
        if (next < 0)
            return std::string();
        std::string name = base + FormatText("%s_%d.%s", prefix.c_str(), next, extension.c_str());
        // The name is claimed by creating the file, so that another process (whose running number
        // starts at 0 as well) cannot be handed the same one before the caller opens it.
        const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        // Any other failure (no permission, a full folder) is left for the caller's open to report.
        if (errno != EEXIST && !Exists(name))
            return name;
    }
}

int32_t GetTempFileCounter() {
    return tempFileCounter.load();
}

void SetTempFileCounter(int32_t value) {
    tempFileCounter = value;
}

TTempFileStream::TTempFileStream()
    : TLargeFileStream(MakeTempFileName(std::string(), "tmp", "tmp"), FILE_FLAG_DELETE_ON_CLOSE, fmCreate) {}

} // namespace quillset
