#include "encoder/audio/ac3/ac3_library.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <mutex>

namespace quillset {

const char* const AC3DefaultLibraryFileName = "AC3SUBE.so";

namespace {

struct TAC3Binding {
    std::recursive_mutex Lock;       // the load count, the in-use flag, the handle
    std::mutex NameLock;             // the name and the folder
    std::string LibraryFileName = AC3DefaultLibraryFileName;
    std::string Folder;
    std::string LoadedFileName;
    void* Handle = nullptr;
    TAC3SubEntry Entry = nullptr;
    int LoadCount = 0;
    bool EncoderInUse = false;

    // At program end the library is freed if still loaded.
    ~TAC3Binding() {
        if (Handle != nullptr)
            dlclose(Handle);
    }
};

TAC3Binding& Binding() {
    static TAC3Binding binding;
    return binding;
}

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0)
        return ".";
    const std::string program(path, static_cast<size_t>(length));
    const size_t slash = program.find_last_of('/');
    return slash == std::string::npos ? "." : program.substr(0, slash);
}

void* OpenLibrary(const std::string& fileName, const std::string& folder) {
    if (fileName.empty())
        return nullptr;
    if (fileName.find('/') != std::string::npos)
        return dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    const std::string path = (folder.empty() ? ProgramFolder() : folder) + "/" + fileName;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle;
}

} // namespace

std::string GetAC3LibraryFileName() {
    std::lock_guard<std::mutex> guard(Binding().NameLock);
    return Binding().LibraryFileName;
}

void SetAC3LibraryFileName(const std::string& fileName) {
    std::lock_guard<std::mutex> guard(Binding().NameLock);
    Binding().LibraryFileName = fileName;
}

void SetAC3LibraryFolder(const std::string& folder) {
    std::lock_guard<std::mutex> guard(Binding().NameLock);
    Binding().Folder = folder;
}

std::string AC3LibraryFolder() {
    std::lock_guard<std::mutex> guard(Binding().NameLock);
    return Binding().Folder.empty() ? ProgramFolder() : Binding().Folder;
}

bool ProbeAC3Library() {
    const bool loaded = AcquireAC3Library(GetAC3LibraryFileName());
    if (loaded)
        ReleaseAC3Library();
    else
        SetAC3LibraryFileName("");
    return loaded;
}

bool IsAC3EncoderAvailable() { return !GetAC3LibraryFileName().empty(); }

bool AcquireAC3Library(const std::string& fileName) {
    TAC3Binding& b = Binding();
    std::lock_guard<std::recursive_mutex> guard(b.Lock);
    if (b.LoadCount == 0) {
        std::string folder;
        {
            std::lock_guard<std::mutex> nameGuard(b.NameLock);
            folder = b.Folder;
        }
        void* handle = OpenLibrary(fileName, folder);
        if (handle == nullptr)
            return false;
        auto entry = reinterpret_cast<TAC3SubEntry>(dlsym(handle, "dolby_sub"));
        if (entry == nullptr) {
            dlclose(handle);
            return false;
        }
        b.LoadedFileName = fileName;
        b.Handle = handle;
        b.Entry = entry;
    }
    ++b.LoadCount;
    return true;
}

void ReleaseAC3Library() {
    TAC3Binding& b = Binding();
    std::lock_guard<std::recursive_mutex> guard(b.Lock);
    if (b.LoadCount <= 0)
        return;
    if (--b.LoadCount == 0) {
        dlclose(b.Handle);
        b.Handle = nullptr;
        b.Entry = nullptr;
    }
}

TAC3EncoderClaim ClaimAC3Encoder(const std::string& fileName) {
    TAC3Binding& b = Binding();
    std::lock_guard<std::recursive_mutex> guard(b.Lock);
    if (b.EncoderInUse)
        return TAC3EncoderClaim::InUse;
    if (!AcquireAC3Library(fileName))
        return TAC3EncoderClaim::LibraryMissing;
    b.EncoderInUse = true;
    return TAC3EncoderClaim::Granted;
}

void ReturnAC3Encoder() {
    TAC3Binding& b = Binding();
    std::lock_guard<std::recursive_mutex> guard(b.Lock);
    if (!b.EncoderInUse)
        return;
    b.EncoderInUse = false;
    ReleaseAC3Library();
}

TAC3SubEntry AC3LibraryEntry() {
    std::lock_guard<std::recursive_mutex> guard(Binding().Lock);
    return Binding().Entry;
}

int AC3LibraryLoadCount() {
    std::lock_guard<std::recursive_mutex> guard(Binding().Lock);
    return Binding().LoadCount;
}

bool IsAC3LibraryLoaded() {
    std::lock_guard<std::recursive_mutex> guard(Binding().Lock);
    return Binding().Handle != nullptr;
}

bool IsAC3EncoderInUse() {
    std::lock_guard<std::recursive_mutex> guard(Binding().Lock);
    return Binding().EncoderInUse;
}

} // namespace quillset
