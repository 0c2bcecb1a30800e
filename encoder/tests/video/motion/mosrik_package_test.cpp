// The motion-search packages Mosrik3.so and Mosrik4.so, loaded from the build's program folder
// as the kernel-set binding loads them: their exports, and that a search handed to them answers
// exactly as the built-in search of the same family. Also the package slot test of the search
// classes, with stand-in entries.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>
#include <tuple>

#include "encoder/tests/video/motion/motion_test_support.h"
#include "encoder/video/motion/fast_search.h"

namespace quillset {
namespace {

using testing::PaintScene;
using testing::ProcessorKernels;
using testing::ReferenceKernels;
using testing::TScene;
using testing::TTestPicture;

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0)
        return ".";
    const std::string program(path, static_cast<size_t>(length));
    return program.substr(0, program.find_last_of('/'));
}

struct TPackage {
    const char* File;
    const char* Prefix;
};

constexpr TPackage kPackages[] = {{"Mosrik3.so", "P3_"}, {"Mosrik4.so", "P4_"}};

// One loaded package; stays loaded for the test's life.
class TLoadedPackage {
public:
    explicit TLoadedPackage(const TPackage& package) : Prefix(package.Prefix) {
        const std::string path = ProgramFolder() + "/" + package.File;
        Handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        Error = Handle == nullptr ? std::string(dlerror()) : "";
    }
    ~TLoadedPackage() {
        if (Handle != nullptr)
            dlclose(Handle);
    }
    void* Entry(const std::string& name) const { return dlsym(Handle, (Prefix + name).c_str()); }
    // A table with the package's thirteen search entries in slots 118 to 130, as the binding
    // fills them.
    TKernelTable Bind(TKernelTable table) const {
        table.FastSearch_FrameSearch = reinterpret_cast<TMotionSearchEntry>(Entry("FastSearch_FrameSearch"));
        table.FastSearch_FieldSearch_Frame =
            reinterpret_cast<TMotionSearchEntry>(Entry("FastSearch_FieldSearch_Frame"));
        table.FastSearch_FieldSearch_Field =
            reinterpret_cast<TMotionSearchFieldEntry>(Entry("FastSearch_FieldSearch_Field"));
        table.FastZoomSearch_FrameSearch = reinterpret_cast<TMotionSearchEntry>(Entry("FastZoomSearch_FrameSearch"));
        table.FastZoomSearch_FieldSearch_Frame =
            reinterpret_cast<TMotionSearchEntry>(Entry("FastZoomSearch_FieldSearch_Frame"));
        table.FastZoomSearch_FieldSearch_Field =
            reinterpret_cast<TMotionSearchSumFieldEntry>(Entry("FastZoomSearch_FieldSearch_Field"));
        table.ZoomSearch_FrameSearch = reinterpret_cast<TMotionSearchEntry>(Entry("ZoomSearch_FrameSearch"));
        table.ZoomSearch_FieldSearch_Frame =
            reinterpret_cast<TMotionSearchEntry>(Entry("ZoomSearch_FieldSearch_Frame"));
        table.ZoomSearch_FieldSearch_Field =
            reinterpret_cast<TMotionSearchSumFieldEntry>(Entry("ZoomSearch_FieldSearch_Field"));
        table.RGBZoomSearch_FrameSearch = reinterpret_cast<TMotionSearchEntry>(Entry("RGBZoomSearch_FrameSearch"));
        table.MotionEstimateSearch_FrameSearch =
            reinterpret_cast<TMotionSearchEntry>(Entry("MotionEstimateSearch_FrameSearch"));
        table.MotionEstimateSearch_FieldSearch_Frame =
            reinterpret_cast<TMotionSearchEntry>(Entry("MotionEstimateSearch_FieldSearch_Frame"));
        table.MotionEstimateSearch_FieldSearch_Field =
            reinterpret_cast<TMotionSearchSumFieldEntry>(Entry("MotionEstimateSearch_FieldSearch_Field"));
        return table;
    }

    std::string Prefix;
    void* Handle = nullptr;
    std::string Error;
};

class MosrikPackageTest : public ::testing::TestWithParam<TPackage> {};

TEST_P(MosrikPackageTest, ExportsEverySearchEntry) {
    TLoadedPackage package(GetParam());
    ASSERT_NE(package.Handle, nullptr) << package.Error;
    for (const char* name :
         {"Initialize", "Finalize", "FastSearch_FrameSearch", "FastSearch_FieldSearch_Frame",
          "FastSearch_FieldSearch_Field", "FastZoomSearch_FrameSearch", "FastZoomSearch_FieldSearch_Frame",
          "FastZoomSearch_FieldSearch_Field", "ZoomSearch_FrameSearch", "ZoomSearch_FieldSearch_Frame",
          "ZoomSearch_FieldSearch_Field", "RGBZoomSearch_FrameSearch", "MotionEstimateSearch_FrameSearch",
          "MotionEstimateSearch_FieldSearch_Frame", "MotionEstimateSearch_FieldSearch_Field"})
        EXPECT_NE(package.Entry(name), nullptr) << name;
    // Nothing of the program's own code is visible from outside.
    EXPECT_EQ(dlsym(package.Handle, "_ZN8quillset15FastSearchFrameERKNS_12TKernelTableERKNS_11TSearchAreaEiiiRNS_19TMotionSearchResultE"),
              nullptr);
    auto initialize = reinterpret_cast<void (*)()>(package.Entry("Initialize"));
    auto finalize = reinterpret_cast<void (*)()>(package.Entry("Finalize"));
    initialize();
    finalize();
}

// Two scenes with motion: a sub-sample pan with a moving object and camera noise, and a faster
// pan the other way with a larger object.
void PaintPair(TTestPicture& reference, TTestPicture& current, int32_t scene) {
    if (scene == 0) {
        PaintScene(reference, {.PanX = 0, .PanY = 0, .ObjectX = 40, .ObjectY = 60, .ObjectSize = 40, .Seed = 1});
        PaintScene(current, {.PanX = 1.5, .PanY = -0.5, .ObjectX = 45, .ObjectY = 57, .ObjectSize = 40, .Seed = 2});
    } else {
        PaintScene(reference, {.PanX = 3.25, .PanY = 2.5, .ObjectX = 100, .ObjectY = 20, .ObjectSize = 64, .Seed = 3});
        PaintScene(current, {.PanX = 0.75, .PanY = 4, .ObjectX = 92, .ObjectY = 26, .ObjectSize = 64, .Seed = 4});
    }
}

bool SameResult(const TMotionSearchResult& a, const TMotionSearchResult& b) {
    return a.FieldSelect == b.FieldSelect && a.MvX == b.MvX && a.MvY == b.MvY && a.BestX == b.BestX &&
           a.BestY == b.BestY && a.Cost == b.Cost;
}

std::string Describe(const TMotionSearchResult& r) {
    return "{" + std::to_string(r.FieldSelect) + ", " + std::to_string(r.MvX) + ", " + std::to_string(r.MvY) + ", " +
           std::to_string(r.BestX) + ", " + std::to_string(r.BestY) + ", " + std::to_string(r.Cost) + "}";
}

// Every macroblock of a picture pair, searched by the built-in search and through the package,
// in every mode the class offers. Returns how many results differ.
int32_t CompareAllMacroblocks(TMotionSearch& builtIn, TMotionSearch& packaged, int32_t width, int32_t height,
                              bool fieldMode) {
    int32_t differences = 0;
    for (int32_t y = 0; y < height; y += 16)
        for (int32_t x = 0; x < width; x += 16) {
            TMotionSearchResult a[3], b[3];
            builtIn.SearchFrame(x, y, a[0]);
            packaged.SearchFrame(x, y, b[0]);
            if (fieldMode)
                for (int32_t mode : {MotionSearchFieldMode_Auto, MotionSearchFieldMode_FieldOnly}) {
                    builtIn.SearchFieldMode(x, y, mode, a[0], a[1], a[2]);
                    packaged.SearchFieldMode(x, y, mode, b[0], b[1], b[2]);
                }
            for (int32_t i = 0; i < 3; ++i)
                if (!SameResult(a[i], b[i])) {
                    if (++differences <= 5)
                        ADD_FAILURE() << "macroblock (" << x << ", " << y << ") result " << i << ": built-in "
                                      << Describe(a[i]) << ", package " << Describe(b[i]);
                }
        }
    return differences;
}

// The acceptance check: a full 720x480 picture pair per scene, P and B steps, both classes.
TEST_P(MosrikPackageTest, AnswersLikeTheBuiltInSearchOnMovingPictures) {
    TLoadedPackage package(GetParam());
    ASSERT_NE(package.Handle, nullptr) << package.Error;
    const TKernelTable builtInKernels = ProcessorKernels();
    const TKernelTable packageKernels = package.Bind(ReferenceKernels());
    ASSERT_NE(packageKernels.FastSearch_FrameSearch, nullptr);
    for (int32_t scene : {0, 1}) {
        TTestPicture reference(720, 480, MotionSearchPictureType_P, 0), current(720, 480, MotionSearchPictureType_P, 2);
        PaintPair(reference, current, scene);
        for (uint8_t type : {MotionSearchPictureType_P, MotionSearchPictureType_B}) {
            current.PictureType = type;
            for (bool fieldMode : {false, true}) {
                SCOPED_TRACE("scene " + std::to_string(scene) + " type " + std::to_string(type) + " field mode " +
                             std::to_string(fieldMode));
                current.Buffers.Release();
                TMotionSearchParams params;
                params.HalfPel = 1;
                const TMotionSearchClass cls = GetMotionSearchClass(current, fieldMode);
                auto builtIn = CreateMotionSearch(cls, builtInKernels, reference, current, params);
                auto packaged = CreateMotionSearch(cls, packageKernels, reference, current, params);
                EXPECT_EQ(CompareAllMacroblocks(*builtIn, *packaged, 720, 480, fieldMode), 0);
            }
        }
    }
}

// Every speed value and every combination of the half-sample flags, on a smaller pair.
TEST_P(MosrikPackageTest, AnswersLikeTheBuiltInSearchForEverySpeedAndFlag) {
    TLoadedPackage package(GetParam());
    ASSERT_NE(package.Handle, nullptr) << package.Error;
    const TKernelTable builtInKernels = ProcessorKernels();
    const TKernelTable packageKernels = package.Bind(ReferenceKernels());
    TTestPicture reference(176, 144, MotionSearchPictureType_P, 0), current(176, 144, MotionSearchPictureType_B, 1);
    PaintPair(reference, current, 1);
    for (uint8_t speed = 0; speed <= 7; ++speed)
        for (const auto& [halfPel, always] : {std::tuple{1, 0}, std::tuple{1, 1}, std::tuple{0, 0}, std::tuple{0, 1}})
            for (bool fieldMode : {false, true}) {
                SCOPED_TRACE("speed " + std::to_string(speed) + " flags " + std::to_string(halfPel) +
                             std::to_string(always) + " field mode " + std::to_string(fieldMode));
                current.Speed = speed;
                TMotionSearchParams params;
                params.HalfPel = static_cast<uint8_t>(halfPel);
                params.AlwaysHalfPel = static_cast<uint8_t>(always);
                const TMotionSearchClass cls = GetMotionSearchClass(current, fieldMode);
                auto builtIn = CreateMotionSearch(cls, builtInKernels, reference, current, params);
                auto packaged = CreateMotionSearch(cls, packageKernels, reference, current, params);
                EXPECT_EQ(CompareAllMacroblocks(*builtIn, *packaged, 176, 144, fieldMode), 0);
            }
}

// Every family through the package against the built-in search, on a panning sequence of
// linked pictures (the telescopic search walks through the pictures in between): a P picture
// three pictures after its reference and a B picture searched backward, every speed, frame and
// field mode, MPEG-1 and MPEG-2 reach.
TEST_P(MosrikPackageTest, EveryFamilyAnswersLikeTheBuiltInSearchAcrossLinkedPictures) {
    TLoadedPackage package(GetParam());
    ASSERT_NE(package.Handle, nullptr) << package.Error;
    const TKernelTable builtInKernels = ProcessorKernels();
    const TKernelTable packageKernels = package.Bind(ReferenceKernels());
    constexpr int32_t kW = 160, kH = 112;
    std::vector<std::unique_ptr<TTestPicture>> pictures;
    for (int32_t i = 0; i < 4; ++i) {
        pictures.push_back(std::make_unique<TTestPicture>(kW, kH, i == 0 || i == 3 ? MotionSearchPictureType_P
                                                                                   : MotionSearchPictureType_B,
                                                          i));
        PaintScene(*pictures.back(), {.PanX = 2.5 * i, .PanY = -1.5 * i, .ObjectX = 60 + 7 * i, .ObjectY = 40 + 3 * i,
                                      .ObjectSize = 40, .Seed = static_cast<uint32_t>(i + 1)});
    }
    for (int32_t i = 0; i < 4; ++i) {
        pictures[static_cast<size_t>(i)]->Prev = i > 0 ? pictures[static_cast<size_t>(i - 1)].get() : nullptr;
        pictures[static_cast<size_t>(i)]->Next = i < 3 ? pictures[static_cast<size_t>(i + 1)].get() : nullptr;
    }
    struct TPair {
        int32_t Reference, Current;
    };
    for (uint8_t speed = 0; speed <= 7; ++speed)
        for (const TPair pair : {TPair{0, 3}, TPair{3, 2}})
            for (bool fieldMode : {false, true})
                for (uint8_t mpeg2 : {0, 1}) {
                    // Only the telescopic search reads the MPEG-1 / MPEG-2 reach.
                    if (!mpeg2 && speed != 5)
                        continue;
                    TTestPicture& reference = *pictures[static_cast<size_t>(pair.Reference)];
                    TTestPicture& current = *pictures[static_cast<size_t>(pair.Current)];
                    current.Speed = speed;
                    SCOPED_TRACE("speed " + std::to_string(speed) + " pictures " + std::to_string(pair.Reference) +
                                 " -> " + std::to_string(pair.Current) + " field mode " + std::to_string(fieldMode) +
                                 " mpeg2 " + std::to_string(mpeg2));
                    TMotionSearchParams params;
                    params.IsMpeg2 = mpeg2;
                    params.PictureRate = 30000.0 / 1001;
                    params.HalfPel = 1;
                    const TMotionSearchClass cls = GetMotionSearchClass(current, fieldMode);
                    auto builtIn = CreateMotionSearch(cls, builtInKernels, reference, current, params);
                    auto packaged = CreateMotionSearch(cls, packageKernels, reference, current, params);
                    EXPECT_EQ(CompareAllMacroblocks(*builtIn, *packaged, kW, kH, fieldMode), 0);
                }
}

INSTANTIATE_TEST_SUITE_P(Packages, MosrikPackageTest, ::testing::ValuesIn(kPackages),
                         [](const ::testing::TestParamInfo<TPackage>& c) {
                             return std::string(c.param.Prefix).substr(0, 2);
                         });

// Stand-in entries that record how the search classes call a bound package.
struct TSlotCall {
    TFastSearchPackageParams Block;
    int32_t Slot, X, Y, Parity;
    int32_t ClearsBefore;
};
std::vector<TSlotCall> slotCalls;
int32_t clearCount = 0;

void StandInClear() { ++clearCount; }
void StandInFrame(const void* params, int32_t x, int32_t y, TMotionSearchResult* result) {
    slotCalls.push_back({*static_cast<const TFastSearchPackageParams*>(params), 118, x, y, -1, clearCount});
    *result = {0, 11, 12, 13, 14, 15};
}
void StandInFieldFrame(const void* params, int32_t x, int32_t y, TMotionSearchResult* result) {
    slotCalls.push_back({*static_cast<const TFastSearchPackageParams*>(params), 119, x, y, -1, clearCount});
}
void StandInField(const void* params, int32_t x, int32_t y, int32_t parity, TMotionSearchResult* result) {
    slotCalls.push_back({*static_cast<const TFastSearchPackageParams*>(params), 120, x, y, parity, clearCount});
    *result = {parity, 21, 22, 23, 24, 5000 + parity};
}

// A filled slot takes the whole search: the kernel state is cleared, then the entry gets the
// FastSearch block (planes, sizes, steps, flags as -1/0) and the macroblock's arguments, and
// its answer is returned as it is. Slot 119 is bound but never called.
TEST(MotionSearchPackageSlotTest, FilledSlotsReceiveTheBlockAndAnswer) {
    TTestPicture reference(96, 64), current(96, 64, MotionSearchPictureType_P, 1);
    TKernelTable k = ReferenceKernels();
    k.ClearKernelState = StandInClear;
    k.FastSearch_FrameSearch = StandInFrame;
    k.FastSearch_FieldSearch_Frame = StandInFieldFrame;
    k.FastSearch_FieldSearch_Field = StandInField;
    TMotionSearchParams params;
    params.HalfPel = 1;
    params.AlwaysHalfPel = 0;
    for (bool fieldMode : {false, true}) {
        slotCalls.clear();
        clearCount = 0;
        const TMotionSearchClass cls = GetMotionSearchClass(current, fieldMode);
        auto search = CreateMotionSearch(cls, k, reference, current, params);
        TMotionSearchResult frame, top, bottom;
        search->SearchFrame(32, 16, frame);
        EXPECT_EQ(frame.MvX, 11);
        EXPECT_EQ(frame.Cost, 15);
        search->SearchFieldMode(48, 32, MotionSearchFieldMode_FieldOnly, frame, top, bottom);
        if (!fieldMode) {
            ASSERT_EQ(slotCalls.size(), 1u);
        } else {
            ASSERT_EQ(slotCalls.size(), 3u);
            EXPECT_EQ(frame.Cost, kMotionCostNotSearched);
            EXPECT_EQ(top.Cost, 5000);
            EXPECT_EQ(bottom.Cost, 5001);
            EXPECT_EQ(bottom.FieldSelect, 1);
            for (int32_t parity : {0, 1}) {
                const TSlotCall& call = slotCalls[static_cast<size_t>(1 + parity)];
                EXPECT_EQ(call.Slot, 120);
                EXPECT_EQ(call.X, 48);
                EXPECT_EQ(call.Y, 32);
                EXPECT_EQ(call.Parity, parity);
                EXPECT_EQ(call.ClearsBefore, 2 + parity);
            }
        }
        const TSlotCall& call = slotCalls[0];
        EXPECT_EQ(call.Slot, 118);
        EXPECT_EQ(call.X, 32);
        EXPECT_EQ(call.Y, 16);
        EXPECT_EQ(call.ClearsBefore, 1);
        const TFastSearchPackageParams& b = call.Block;
        EXPECT_EQ(b.CurrentY, current.Image->Y);
        EXPECT_EQ(b.ReferenceY, reference.Image->Y);
        EXPECT_EQ(b.WidthMinus16, 80);
        EXPECT_EQ(b.HalfWidthLimit, 160);
        EXPECT_EQ(b.HeightMinus16, 48);
        EXPECT_EQ(b.HalfHeightLimit, 96);
        EXPECT_EQ(b.Width, 96);
        EXPECT_EQ(b.FrameStep, 4);
        EXPECT_EQ(b.FieldStep, fieldMode ? 4 : 0);
        EXPECT_EQ(b.AlwaysHalfPel, 0);
        EXPECT_EQ(b.HalfPel, -1);
    }
}

} // namespace
} // namespace quillset
