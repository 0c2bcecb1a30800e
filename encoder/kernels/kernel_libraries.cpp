#include "encoder/kernels/kernel_libraries.h"

#include <dlfcn.h>
#include <limits.h>
#include <mutex>
#include <unistd.h>

#include "encoder/framework/mpeg_errors.h"

namespace quillset {

namespace {

constexpr int kSearchEntries = 13;

// Entry names in slot order (118 to 130), without the package prefix "P3_" / "P4_".
constexpr const char* kSearchEntryNames[kSearchEntries] = {
    "FastSearch_FrameSearch",
    "FastSearch_FieldSearch_Frame",
    "FastSearch_FieldSearch_Field",
    "FastZoomSearch_FrameSearch",
    "FastZoomSearch_FieldSearch_Frame",
    "FastZoomSearch_FieldSearch_Field",
    "ZoomSearch_FrameSearch",
    "ZoomSearch_FieldSearch_Frame",
    "ZoomSearch_FieldSearch_Field",
    "RGBZoomSearch_FrameSearch",
    "MotionEstimateSearch_FrameSearch",
    "MotionEstimateSearch_FieldSearch_Frame",
    "MotionEstimateSearch_FieldSearch_Field",
};

using TPackageProc = void (*)();

struct TLibraryBinding {
    void* Handle = nullptr;
    TPackageProc Initialize = nullptr;
    TPackageProc Finalize = nullptr;
    void* Entries[kSearchEntries] = {};
    bool Initialized = false;
};

// Process-wide binding state. The lock makes concurrent first fills safe; the encode run fills
// its first table on the main thread anyway.
struct TBindings {
    std::mutex Lock;
    std::string Folder;
    TLibraryBinding Libraries[4];
};

TBindings& Bindings() {
    static TBindings bindings;
    return bindings;
}

TLibraryBinding& Binding(TKernelLibrary library) { return Bindings().Libraries[static_cast<int>(library)]; }

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0)
        return ".";
    const std::string program(path, static_cast<size_t>(length));
    const size_t slash = program.find_last_of('/');
    return slash == std::string::npos ? "." : program.substr(0, slash);
}

// Loads from the library folder, then by bare name; raises `code` naming the file.
void* LoadLibrary(TKernelLibrary library, uint32_t code, const std::string& folder) {
    const std::string name = KernelLibraryFileName(library);
    const std::string path = (folder.empty() ? ProgramFolder() : folder) + "/" + name;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        throw EMPEGError(code, name);
    return handle;
}

template <typename T>
T Entry(void* handle, const std::string& name) {
    return reinterpret_cast<T>(dlsym(handle, name.c_str()));
}

void CopySearchEntries(void* const* e, TKernelTable& t) {
    t.FastSearch_FrameSearch = reinterpret_cast<TMotionSearchEntry>(e[0]);
    t.FastSearch_FieldSearch_Frame = reinterpret_cast<TMotionSearchEntry>(e[1]);
    t.FastSearch_FieldSearch_Field = reinterpret_cast<TMotionSearchFieldEntry>(e[2]);
    t.FastZoomSearch_FrameSearch = reinterpret_cast<TMotionSearchEntry>(e[3]);
    t.FastZoomSearch_FieldSearch_Frame = reinterpret_cast<TMotionSearchEntry>(e[4]);
    t.FastZoomSearch_FieldSearch_Field = reinterpret_cast<TMotionSearchSumFieldEntry>(e[5]);
    t.ZoomSearch_FrameSearch = reinterpret_cast<TMotionSearchEntry>(e[6]);
    t.ZoomSearch_FieldSearch_Frame = reinterpret_cast<TMotionSearchEntry>(e[7]);
    t.ZoomSearch_FieldSearch_Field = reinterpret_cast<TMotionSearchSumFieldEntry>(e[8]);
    t.RGBZoomSearch_FrameSearch = reinterpret_cast<TMotionSearchEntry>(e[9]);
    t.MotionEstimateSearch_FrameSearch = reinterpret_cast<TMotionSearchEntry>(e[10]);
    t.MotionEstimateSearch_FieldSearch_Frame = reinterpret_cast<TMotionSearchEntry>(e[11]);
    t.MotionEstimateSearch_FieldSearch_Field = reinterpret_cast<TMotionSearchSumFieldEntry>(e[12]);
}

void Unload(TLibraryBinding& binding) {
    if (binding.Initialized && binding.Finalize != nullptr)
        binding.Finalize();
    binding.Initialized = false;
    if (binding.Handle != nullptr)
        dlclose(binding.Handle);
    binding = TLibraryBinding{};
}

} // namespace

const char* KernelLibraryFileName(TKernelLibrary library) {
    switch (library) {
    case TKernelLibrary::Mosrik3: return "Mosrik3.so";
    case TKernelLibrary::Mosrik4: return "Mosrik4.so";
    case TKernelLibrary::Velnor2D: return "Velnor2D.so";
    case TKernelLibrary::Velnor3D: return "Velnor3D.so";
    }
    return "";
}

void SetKernelLibraryFolder(const std::string& folder) {
    std::lock_guard<std::mutex> guard(Bindings().Lock);
    Bindings().Folder = folder;
}

std::string KernelLibraryFolder() {
    std::lock_guard<std::mutex> guard(Bindings().Lock);
    return Bindings().Folder.empty() ? ProgramFolder() : Bindings().Folder;
}

void BindMotionSearchPackage(TKernelLibrary package, TKernelTable& table) {
    const bool p4 = package == TKernelLibrary::Mosrik4;
    std::lock_guard<std::mutex> guard(Bindings().Lock);
    TLibraryBinding& b = Binding(package);
    if (b.Handle == nullptr) {
        void* handle = LoadLibrary(package, p4 ? MPEGError_CantLoadLibrary : MPEGError_CantLoadPentium3Package,
                                   Bindings().Folder);
        const std::string prefix = p4 ? "P4_" : "P3_";
        b.Handle = handle;
        b.Initialize = Entry<TPackageProc>(handle, prefix + "Initialize");
        b.Finalize = Entry<TPackageProc>(handle, prefix + "Finalize");
        for (int i = 0; i < kSearchEntries; ++i)
            b.Entries[i] = dlsym(handle, (prefix + kSearchEntryNames[i]).c_str());
    }
    if (!b.Initialized) {
        if (b.Initialize != nullptr)
            b.Initialize();
        b.Initialized = true;
    }
    CopySearchEntries(b.Entries, table);
}

void BindNoiseReductionPlugins(TKernelTable& table) {
    std::lock_guard<std::mutex> guard(Bindings().Lock);
    TLibraryBinding& b2 = Binding(TKernelLibrary::Velnor2D);
    if (b2.Handle == nullptr)
        b2.Handle = LoadLibrary(TKernelLibrary::Velnor2D, MPEGError_CantLoadLibrary, Bindings().Folder);
    TLibraryBinding& b3 = Binding(TKernelLibrary::Velnor3D);
    if (b3.Handle == nullptr)
        b3.Handle = LoadLibrary(TKernelLibrary::Velnor3D, MPEGError_CantLoadLibrary, Bindings().Folder);
    table.NoiseReduction2DPluginDLL = Entry<TNoiseReduction2DEntry>(b2.Handle, "NoiseReduction2DPluginDLL");
    table.NoiseReduction3DPluginDLL = Entry<TNoiseReduction3DEntry>(b3.Handle, "NoiseReduction3DPluginDLL");
}

void ReleaseKernelLibraries() {
    std::lock_guard<std::mutex> guard(Bindings().Lock);
    Unload(Binding(TKernelLibrary::Mosrik4));
    Unload(Binding(TKernelLibrary::Velnor2D));
    Unload(Binding(TKernelLibrary::Velnor3D));
    Unload(Binding(TKernelLibrary::Mosrik3));
}

bool IsKernelLibraryLoaded(TKernelLibrary library) {
    std::lock_guard<std::mutex> guard(Bindings().Lock);
    return Binding(library).Handle != nullptr;
}

} // namespace quillset
