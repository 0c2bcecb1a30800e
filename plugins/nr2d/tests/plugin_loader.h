// Test support for the noise reduction libraries: loading them from the program folder as the
// program does, once per code path, and the pictures the tests feed them.
#pragma once

#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quillset::testing {

// The kernels a library runs, chosen when it is loaded (QUILLSET_CPU_MASK).
enum class TPluginPath { Portable, Sse2, Avx2 };

// The paths this processor can run, portable first.
std::vector<TPluginPath> AvailablePluginPaths();
std::string PluginPathName(TPluginPath path);
void PrintTo(TPluginPath path, std::ostream* out);
// Test names for suites parameterised by the path.
std::string PluginPathTestName(const ::testing::TestParamInfo<TPluginPath>& info);

// The folder of the running test program, where the build puts the libraries.
std::string ProgramFolder();

// A library loaded from the program folder with a chosen code path; unloading it on destruction
// is checked, so that the next load starts a fresh filter object with its own path.
class TLoadedPlugin {
public:
    TLoadedPlugin(const std::string& fileName, TPluginPath path);
    ~TLoadedPlugin();
    TLoadedPlugin(const TLoadedPlugin&) = delete;
    TLoadedPlugin& operator=(const TLoadedPlugin&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    const std::string& Error() const { return error_; }
    const std::string& FilePath() const { return filePath_; }

    template <typename T>
    T Entry(const char* name) const {
        return reinterpret_cast<T>(Symbol(name));
    }

    // Unloads now; false when the library stays mapped afterwards.
    bool Unload();

private:
    void* Symbol(const char* name) const;

    void* handle_ = nullptr;
    std::string filePath_;
    std::string error_;
};

// Names of the functions a shared library exports (defined dynamic text symbols), without the
// runtime's own (_init, _fini and names beginning with "__"); empty when `nm` cannot read it.
std::set<std::string> ExportedFunctions(const std::string& libraryPath);

// 24-bit B, G, R pictures.
struct TPicture {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Bytes;

    TPicture() = default;
    TPicture(int32_t width, int32_t height, uint8_t fill = 0)
        : Width(width), Height(height), Bytes(static_cast<size_t>(width) * height * 3, fill) {}
    uint8_t& At(int32_t row, int32_t column, int32_t channel) {
        return Bytes[(static_cast<size_t>(row) * Width + column) * 3 + channel];
    }
    uint8_t At(int32_t row, int32_t column, int32_t channel) const {
        return Bytes[(static_cast<size_t>(row) * Width + column) * 3 + channel];
    }
    uint8_t* Row(int32_t row) { return Bytes.data() + static_cast<size_t>(row) * Width * 3; }
    const uint8_t* Row(int32_t row) const { return Bytes.data() + static_cast<size_t>(row) * Width * 3; }
};

enum class TPattern {
    Noise,       // every byte uniform in 0..255: most pairs are far apart
    GentleNoise, // a smooth gradient plus small noise: most pairs are close
    Extremes,    // every byte 0 or 255
    Blocks,      // flat blocks with hard edges and a little noise
};

// A reproducible picture of the pattern for `seed`.
TPicture MakePicture(int32_t width, int32_t height, TPattern pattern, uint32_t seed);

} // namespace quillset::testing
