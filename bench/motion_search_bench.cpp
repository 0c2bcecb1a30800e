// Motion search per 720x480 picture (1350 macroblocks): the FastSearch frame search and the
// field search (both fields of every macroblock), for P and B steps, with the reference kernels and
// with the processor's kernels; and the same through the Mosrik4 package when it is next to the
// program. Items are macroblocks.
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "encoder/framework/yuv_image.h"
#include "encoder/kernels/kernel_sets.h"
#include "encoder/video/motion/fast_search.h"
#include "encoder/video/video_encode_config.h"

namespace {

using namespace quillset;

constexpr int32_t kWidth = 720;
constexpr int32_t kHeight = 480;

class BenchPicture : public TMotionSearchPicture {
public:
    BenchPicture(uint8_t type, double panX, double panY, uint32_t seed) : Type(type) {
        TMPEGVideo_YUVImageFormat format;
        format.ChromaFormat = 1;
        format.Width = kWidth;
        format.Height = kHeight;
        Image = std::make_unique<TMPEGVideo_YUVImage>(nullptr, format);
        uint32_t state = seed;
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x) {
                state = state * 1664525u + 1013904223u;
                const double u = x + panX, v = y + panY;
                const double value = 128.0 + 50.0 * std::sin(0.19 * u + 0.07 * v) + 35.0 * std::cos(0.11 * v - 0.05 * u) +
                                     12.0 * std::sin(0.61 * u) * std::cos(0.47 * v) + static_cast<int32_t>(state >> 29) - 4;
                Image->LumaRow(y)[x] = static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
            }
    }
    ~BenchPicture() override { Buffers.Release(); }

    TMPEGVideo_YUVImage* GetSearchSource() const override { return Image.get(); }
    int64_t GetSearchDisplayNumber() const override { return 0; }
    uint8_t GetSearchPictureType() const override { return Type; }
    uint8_t GetSearchSpeed() const override { return MPEGVideoEncoder_MotionSearchSpeed_Fast; }
    TMotionSearchPicture* GetPrevInDisplay() const override { return nullptr; }
    TMotionSearchPicture* GetNextInDisplay() const override { return nullptr; }
    TMotionSearchBufferSet& GetSearchBuffers() override { return Buffers; }
    TMotionSearchBufferPool* GetSearchBufferPool() const override { return nullptr; }

    uint8_t Type;
    std::unique_ptr<TMPEGVideo_YUVImage> Image;
    TMotionSearchBufferSet Buffers;
};

enum KernelChoice { ReferenceKernels = 0, ProcessorKernels = 1, Mosrik4Package = 2 };

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0)
        return ".";
    const std::string program(path, static_cast<size_t>(length));
    return program.substr(0, program.find_last_of('/'));
}

// Fills the table for the choice; false when the package cannot be loaded.
bool MakeKernels(KernelChoice choice, TKernelTable& table) {
    MPEGEncoder_FuncSet_Normal(table);
    if (choice == ReferenceKernels)
        return true;
    FillProcessorKernels(table, ActiveFeatures());
    if (choice == ProcessorKernels)
        return true;
    static void* package = dlopen((ProgramFolder() + "/Mosrik4.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (package == nullptr)
        return false;
    table.FastSearch_FrameSearch = reinterpret_cast<TMotionSearchEntry>(dlsym(package, "P4_FastSearch_FrameSearch"));
    table.FastSearch_FieldSearch_Field =
        reinterpret_cast<TMotionSearchFieldEntry>(dlsym(package, "P4_FastSearch_FieldSearch_Field"));
    return table.FastSearch_FrameSearch != nullptr && table.FastSearch_FieldSearch_Field != nullptr;
}

// range(0): KernelChoice; range(1): picture type (1 P, 2 B); range(2): 0 frame search, 1 both
// field searches of every macroblock.
void BM_FastSearch(benchmark::State& state) {
    TKernelTable kernels;
    if (!MakeKernels(static_cast<KernelChoice>(state.range(0)), kernels)) {
        state.SkipWithError("Mosrik4.so not found next to the program");
        return;
    }
    const auto type = static_cast<uint8_t>(state.range(1));
    const bool fieldMode = state.range(2) != 0;
    BenchPicture reference(MotionSearchPictureType_P, 0.0, 0.0, 1), current(type, 2.5, -1.5, 2);
    TMotionSearchParams params;
    params.HalfPel = 1;
    const TMotionSearchClass cls = fieldMode ? &TMotionSearch_FieldMode_FastSearch::ClassInfo
                                             : &TMotionSearch_FrameMode_FastSearch::ClassInfo;
    auto search = CreateMotionSearch(cls, kernels, reference, current, params);
    int64_t costs = 0;
    for (auto _ : state) {
        for (int32_t y = 0; y < kHeight; y += 16)
            for (int32_t x = 0; x < kWidth; x += 16) {
                TMotionSearchResult frame, top, bottom;
                if (fieldMode) {
                    search->SearchFieldMode(x, y, MotionSearchFieldMode_FieldOnly, frame, top, bottom);
                    costs += top.Cost + bottom.Cost;
                } else {
                    search->SearchFrame(x, y, frame);
                }
                costs += frame.Cost;
            }
        benchmark::DoNotOptimize(costs);
    }
    state.SetItemsProcessed(state.iterations() * (kWidth / 16) * (kHeight / 16));
}

BENCHMARK(BM_FastSearch)
    ->ArgNames({"kernels", "type", "field"})
    ->ArgsProduct({{ReferenceKernels, ProcessorKernels, Mosrik4Package}, {1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

} // namespace
