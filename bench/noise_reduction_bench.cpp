// The noise reduction libraries on 720x480 pictures, loaded from the program folder as the
// program loads them, once per code path (portable, SSE2, AVX2), with the settings the track
// builder uses (Middle: 2D 15/1, 3D 45; High: 2D 30/2, 3D 60), frame and field mode.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "plugins/nr2d/noise_reduction_interface.h"

namespace {

using quillset::noise_reduction::TNoiseReduction2DEntry;
using quillset::noise_reduction::TNoiseReduction3DEntry;

constexpr int32_t kWidth = 720;
constexpr int32_t kHeight = 480;

std::string ProgramFolder() {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0)
        return ".";
    const std::string program(buffer, static_cast<size_t>(length));
    const size_t slash = program.find_last_of('/');
    return slash == std::string::npos ? "." : program.substr(0, slash);
}

// Path argument: 0 portable, 1 SSE2, 2 AVX2 (as QUILLSET_CPU_MASK selects them at load time).
const char* const kMasks[] = {"0x07", "0x7F", "0xFF"};
const char* const kPathNames[] = {"portable", "sse2", "avx2"};

// Loads a library with the given path for the lifetime of one benchmark run.
class TLibrary {
public:
    TLibrary(const char* name, int64_t path) {
        const char* saved = std::getenv("QUILLSET_CPU_MASK");
        const std::string previous = saved != nullptr ? saved : "";
        setenv("QUILLSET_CPU_MASK", kMasks[path], 1);
        handle_ = dlopen((ProgramFolder() + "/" + name).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (saved != nullptr)
            setenv("QUILLSET_CPU_MASK", previous.c_str(), 1);
        else
            unsetenv("QUILLSET_CPU_MASK");
    }
    ~TLibrary() {
        if (handle_ != nullptr)
            dlclose(handle_);
    }
    template <typename T>
    T Entry(const char* name) const {
        return handle_ != nullptr ? reinterpret_cast<T>(dlsym(handle_, name)) : nullptr;
    }

private:
    void* handle_ = nullptr;
};

bool PathRuns(int64_t path) {
#if defined(__x86_64__)
    return path < 2 || __builtin_cpu_supports("avx2");
#else
    return path == 0;
#endif
}

// A video-like picture: a smooth gradient with noise of a few levels.
std::vector<uint8_t> NoisyPicture(uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int32_t> noise(-6, 6);
    std::vector<uint8_t> picture(static_cast<size_t>(kWidth) * kHeight * 3);
    for (int32_t row = 0; row < kHeight; ++row)
        for (int32_t column = 0; column < kWidth; ++column)
            for (int32_t c = 0; c < 3; ++c) {
                const int32_t value = (row / 3 + column / 4 + 40 * c) % 220 + 16 + noise(random);
                picture[(static_cast<size_t>(row) * kWidth + column) * 3 + c] = static_cast<uint8_t>(value);
            }
    return picture;
}

// Arguments: path, strength, radius, field mode.
void BM_NoiseReduction2D(benchmark::State& state) {
    const int64_t path = state.range(0);
    if (!PathRuns(path)) {
        state.SkipWithError("this processor does not run the path");
        return;
    }
    TLibrary library("Velnor2D.so", path);
    const auto filter = library.Entry<TNoiseReduction2DEntry>("NoiseReduction2DPluginDLL");
    if (filter == nullptr) {
        state.SkipWithError("Velnor2D.so is not next to the program");
        return;
    }
    const std::vector<uint8_t> source = NoisyPicture(1);
    std::vector<uint8_t> destination(source.size());
    for (auto _ : state) {
        filter(destination.data(), source.data(), static_cast<int32_t>(state.range(1)),
               static_cast<int32_t>(state.range(2)), kWidth, kHeight, static_cast<int32_t>(state.range(3)), nullptr,
               nullptr);
        benchmark::DoNotOptimize(destination.data());
    }
    state.SetLabel(kPathNames[path]);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_NoiseReduction2D)
    ->ArgNames({"path", "strength", "radius", "field"})
    ->ArgsProduct({{0, 1, 2}, {15}, {1}, {0, 1}})
    ->ArgsProduct({{0, 1, 2}, {30}, {2}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// Arguments: path, strength, field mode.
void BM_NoiseReduction3D(benchmark::State& state) {
    const int64_t path = state.range(0);
    if (!PathRuns(path)) {
        state.SkipWithError("this processor does not run the path");
        return;
    }
    TLibrary library("Velnor3D.so", path);
    const auto filter = library.Entry<TNoiseReduction3DEntry>("NoiseReduction3DPluginDLL");
    if (filter == nullptr) {
        state.SkipWithError("Velnor3D.so is not next to the program");
        return;
    }
    const std::vector<uint8_t> previous = NoisyPicture(1), current = NoisyPicture(2), next = NoisyPicture(3);
    std::vector<uint8_t> destination(current.size());
    for (auto _ : state) {
        filter(destination.data(), current.data(), previous.data(), next.data(), static_cast<int32_t>(state.range(1)),
               1, kWidth, kHeight, static_cast<int32_t>(state.range(2)), nullptr, nullptr);
        benchmark::DoNotOptimize(destination.data());
    }
    state.SetLabel(kPathNames[path]);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_NoiseReduction3D)
    ->ArgNames({"path", "strength", "field"})
    ->ArgsProduct({{0, 1, 2}, {45, 60}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

} // namespace
