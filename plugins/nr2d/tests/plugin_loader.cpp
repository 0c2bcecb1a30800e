#include "plugins/nr2d/tests/plugin_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace quillset::testing {

std::vector<TPluginPath> AvailablePluginPaths() {
    std::vector<TPluginPath> paths{TPluginPath::Portable};
#if defined(__x86_64__)
    paths.push_back(TPluginPath::Sse2);
    if (__builtin_cpu_supports("avx2"))
        paths.push_back(TPluginPath::Avx2);
#endif
    return paths;
}

std::string PluginPathName(TPluginPath path) {
    switch (path) {
    case TPluginPath::Portable: return "Portable";
    case TPluginPath::Sse2: return "Sse2";
    case TPluginPath::Avx2: return "Avx2";
    }
    return "Unknown";
}

void PrintTo(TPluginPath path, std::ostream* out) { *out << PluginPathName(path); }

std::string PluginPathTestName(const ::testing::TestParamInfo<TPluginPath>& info) { return PluginPathName(info.param); }

std::string ProgramFolder() {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0)
        return ".";
    const std::string program(buffer, static_cast<size_t>(length));
    const size_t slash = program.find_last_of('/');
    return slash == std::string::npos ? "." : program.substr(0, slash);
}

namespace {

// The processor mask that leaves exactly `path` as the richest set (see QUILLSET_CPU_MASK).
const char* MaskFor(TPluginPath path) {
    switch (path) {
    case TPluginPath::Portable: return "0x07";
    case TPluginPath::Sse2: return "0x7F";
    case TPluginPath::Avx2: return "0xFF";
    }
    return "0xFF";
}

} // namespace

TLoadedPlugin::TLoadedPlugin(const std::string& fileName, TPluginPath path)
    : filePath_(ProgramFolder() + "/" + fileName) {
    const char* previous = std::getenv("QUILLSET_CPU_MASK");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("QUILLSET_CPU_MASK", MaskFor(path), 1);
    handle_ = dlopen(filePath_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr)
        error_ = dlerror();
    if (previous != nullptr)
        setenv("QUILLSET_CPU_MASK", saved.c_str(), 1);
    else
        unsetenv("QUILLSET_CPU_MASK");
}

TLoadedPlugin::~TLoadedPlugin() { Unload(); }

bool TLoadedPlugin::Unload() {
    if (handle_ == nullptr)
        return true;
    dlclose(handle_);
    handle_ = nullptr;
    void* still = dlopen(filePath_.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (still == nullptr)
        return true;
    dlclose(still);
    return false;
}

void* TLoadedPlugin::Symbol(const char* name) const { return handle_ != nullptr ? dlsym(handle_, name) : nullptr; }

std::set<std::string> ExportedFunctions(const std::string& libraryPath) {
    std::set<std::string> names;
    TempDir dir;
    const std::string listing = dir.File("symbols.txt");
    if (RunCommand("nm -D --defined-only '" + libraryPath + "' > '" + listing + "' 2>/dev/null") != 0)
        return names;
    std::istringstream lines(ReadFileBytes(listing));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (!(fields >> address >> type >> name) || (type != "T" && type != "W" && type != "i"))
            continue;
        if (name == "_init" || name == "_fini" || name.rfind("__", 0) == 0)
            continue;
        names.insert(name);
    }
    return names;
}

TPicture MakePicture(int32_t width, int32_t height, TPattern pattern, uint32_t seed) {
    TPicture picture(width, height);
    std::mt19937 random(seed);
    auto uniform = [&random](int32_t low, int32_t high) {
        return std::uniform_int_distribution<int32_t>(low, high)(random);
    };
    for (int32_t row = 0; row < height; ++row) {
        for (int32_t column = 0; column < width; ++column) {
            for (int32_t c = 0; c < 3; ++c) {
                int32_t value = 0;
                switch (pattern) {
                case TPattern::Noise: value = uniform(0, 255); break;
                case TPattern::GentleNoise: value = 60 + 3 * row + 2 * column + 20 * c + uniform(-12, 12); break;
                case TPattern::Extremes: value = uniform(0, 1) * 255; break;
                case TPattern::Blocks:
                    value = (((row / 4) + (column / 5) + c) % 3) * 100 + uniform(0, 6);
                    break;
                }
                picture.At(row, column, c) = static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
            }
        }
    }
    return picture;
}

} // namespace quillset::testing
