// Binding of the motion-search packages and noise reduction plug-ins, with stand-in libraries.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <string>
#include <vector>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/kernels/kernel_libraries.h"
#include "encoder/kernels/kernel_sets.h"
#include "tests/support/temp_dir.h"

namespace quillset::testing {
namespace {

std::vector<std::string> events;
void RecordEvent(const char* event) { events.emplace_back(event); }

// Looks up a symbol of a loaded stand-in without loading it again.
template <typename T>
T StandInSymbol(TKernelLibrary library, const char* name) {
    const std::string path = KernelLibraryFolder() + "/" + KernelLibraryFileName(library);
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr)
        return nullptr;
    auto symbol = reinterpret_cast<T>(dlsym(handle, name));
    dlclose(handle); // drops only the reference taken here
    return symbol;
}

int InitializeCount(TKernelLibrary library) {
    auto count = StandInSymbol<int (*)()>(library, "StandIn_InitializeCount");
    return count != nullptr ? count() : -1;
}

// Calls the search entry of `slot` (118..130) with its own signature; the stand-ins answer with
// package * 1000 + slot. An empty slot answers -1.
int32_t Answer(const TKernelTable& t, int slot) {
    int32_t result = 0;
    auto* r = reinterpret_cast<TMotionSearchResult*>(&result);
    using T = TKernelTable;
    TMotionSearchEntry T::*const plain[] = {&T::FastSearch_FrameSearch,      &T::FastSearch_FieldSearch_Frame,
                                            &T::FastZoomSearch_FrameSearch,  &T::FastZoomSearch_FieldSearch_Frame,
                                            &T::ZoomSearch_FrameSearch,      &T::ZoomSearch_FieldSearch_Frame,
                                            &T::RGBZoomSearch_FrameSearch,   &T::MotionEstimateSearch_FrameSearch,
                                            &T::MotionEstimateSearch_FieldSearch_Frame};
    const int plainSlots[] = {118, 119, 121, 122, 124, 125, 127, 128, 129};
    for (int i = 0; i < 9; ++i)
        if (plainSlots[i] == slot) {
            if (t.*plain[i] == nullptr)
                return -1;
            (t.*plain[i])(nullptr, 0, 0, r);
            return result;
        }
    if (slot == 120) {
        if (t.FastSearch_FieldSearch_Field == nullptr)
            return -1;
        t.FastSearch_FieldSearch_Field(nullptr, 0, 0, 1, r);
        return result;
    }
    TMotionSearchSumFieldEntry T::*const withSums = slot == 123 ? &T::FastZoomSearch_FieldSearch_Field
                                                  : slot == 126 ? &T::ZoomSearch_FieldSearch_Field
                                                                : &T::MotionEstimateSearch_FieldSearch_Field;
    if (t.*withSums == nullptr)
        return -1;
    (t.*withSums)(nullptr, nullptr, 0, 0, 1, r);
    return result;
}

class KernelLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ReleaseKernelLibraries();
        SetKernelLibraryFolder(QS_STAND_IN_FOLDER);
        events.clear();
    }
    void TearDown() override {
        ReleaseKernelLibraries();
        SetKernelLibraryFolder("");
    }

    // A folder holding copies of some of the stand-ins (added to what it holds already; a loaded
    // library's file is never rewritten).
    void UseFolderWith(std::initializer_list<TKernelLibrary> libraries) {
        for (TKernelLibrary library : libraries)
            std::filesystem::copy_file(std::string(QS_STAND_IN_FOLDER) + "/" + KernelLibraryFileName(library),
                                       folder_.File(KernelLibraryFileName(library)),
                                       std::filesystem::copy_options::skip_existing);
        SetKernelLibraryFolder(folder_.Path());
    }

    void ExpectLoadError(TKernelSet set, uint32_t code, const std::string& file) {
        TKernelTable table;
        try {
            FillKernelTableWithSet(table, set);
            ADD_FAILURE() << "no error for a missing " << file;
        } catch (const EMPEGError& e) {
            EXPECT_EQ(e.ErrorCode, code);
            EXPECT_EQ(e.Message(), "Can't load \"" + file + "\"");
        }
    }

    TempDir folder_;
};

TEST_F(KernelLibraryTest, MissingLibrariesRaiseTheirErrors) {
    UseFolderWith({});
    ExpectLoadError(TKernelSet::MMX2_Pentium3, 0xD0613038, "Mosrik3.so");
    UseFolderWith({TKernelLibrary::Mosrik3});
    ExpectLoadError(TKernelSet::SSE2_Pentium4, 0xD0613036, "Mosrik4.so");
    UseFolderWith({TKernelLibrary::Mosrik4});
    ExpectLoadError(TKernelSet::SSE2_Pentium4, 0xD0613036, "Velnor2D.so");
    UseFolderWith({TKernelLibrary::Velnor2D});
    ExpectLoadError(TKernelSet::SSE2_Pentium4, 0xD0613036, "Velnor3D.so");
    // Nothing is remembered about the failure: once the plug-in is there the next fill succeeds,
    // and the packages loaded before are initialised only once.
    UseFolderWith({TKernelLibrary::Velnor3D});
    TKernelTable table;
    FillKernelTableWithSet(table, TKernelSet::SSE2_Pentium4);
    EXPECT_NE(table.NoiseReduction3DPluginDLL, nullptr);
    EXPECT_EQ(InitializeCount(TKernelLibrary::Mosrik3), 1);
    EXPECT_EQ(InitializeCount(TKernelLibrary::Mosrik4), 1);
}

TEST_F(KernelLibraryTest, Pentium3SetBindsMosrik3Only) {
    TKernelTable first, second;
    FillKernelTableWithSet(first, TKernelSet::MMX2_Pentium3);
    FillKernelTableWithSet(second, TKernelSet::MMX2_Pentium3);
    EXPECT_EQ(InitializeCount(TKernelLibrary::Mosrik3), 1);
    EXPECT_FALSE(IsKernelLibraryLoaded(TKernelLibrary::Mosrik4));
    for (int slot = 118; slot <= 130; ++slot) // the stand-in has no RGB search (127)
        EXPECT_EQ(Answer(second, slot), slot == 127 ? -1 : 3000 + slot) << "slot " << slot;
    EXPECT_EQ(second.NoiseReduction2DPluginDLL, nullptr);
    EXPECT_EQ(second.NoiseReduction3DPluginDLL, nullptr);
    EXPECT_EQ(second.UseFloatQuantize, 0);
}

TEST_F(KernelLibraryTest, Pentium4SetBindsEverything) {
    TKernelTable table;
    FillKernelTableWithSet(table, TKernelSet::SSE2_Pentium4);
    EXPECT_EQ(InitializeCount(TKernelLibrary::Mosrik3), 1); // through the chain
    EXPECT_EQ(InitializeCount(TKernelLibrary::Mosrik4), 1);
    for (int slot = 118; slot <= 130; ++slot)
        EXPECT_EQ(Answer(table, slot), 4000 + slot) << "slot " << slot;

    uint8_t picture[4] = {};
    int32_t lastRow = -1;
    table.NoiseReduction2DPluginDLL(picture, nullptr, 100, 1, 1, 4, 1,
                                    [](int32_t row, void* context) { *static_cast<int32_t*>(context) = row; }, &lastRow);
    EXPECT_EQ(picture[0], 2);
    EXPECT_EQ(lastRow, 3);
    EXPECT_EQ(table.NoiseReduction3DPluginDLL(picture, picture, nullptr, nullptr, 100, 1, 1, 4, 0, nullptr, nullptr), 4);
    EXPECT_EQ(picture[0], 3);
}

TEST_F(KernelLibraryTest, ReleaseFinalizesAndUnloadsInOrder) {
    TKernelTable table;
    FillKernelTableWithSet(table, TKernelSet::SSE2_Pentium4);
    for (TKernelLibrary library :
         {TKernelLibrary::Mosrik3, TKernelLibrary::Mosrik4, TKernelLibrary::Velnor2D, TKernelLibrary::Velnor3D})
        StandInSymbol<void (*)(void (*)(const char*))>(library, "StandIn_SetEventSink")(RecordEvent);
    ReleaseKernelLibraries();
    EXPECT_EQ(events, (std::vector<std::string>{"Mosrik4 Finalize", "Mosrik4 unload", "Velnor2D unload",
                                                "Velnor3D unload", "Mosrik3 Finalize", "Mosrik3 unload"}));
    for (TKernelLibrary library :
         {TKernelLibrary::Mosrik3, TKernelLibrary::Mosrik4, TKernelLibrary::Velnor2D, TKernelLibrary::Velnor3D})
        EXPECT_FALSE(IsKernelLibraryLoaded(library));
    events.clear();
    ReleaseKernelLibraries(); // nothing left to do
    EXPECT_TRUE(events.empty());
}

// On this processor the selection takes the richest set; with the stand-ins it binds them all.
TEST_F(KernelLibraryTest, FillKernelTableUsesTheSelectedSet) {
    TKernelTable table;
    FillKernelTable(table);
    const TKernelSet set = SelectKernelSet(ActiveFeatures());
    const bool sse = (ActiveFeatures() & ProcessorFeature_SSE) != 0;
    EXPECT_EQ(table.UseFloatDequantInterMpeg2, sse ? 1 : 0);
    EXPECT_EQ(IsKernelLibraryLoaded(TKernelLibrary::Mosrik4), set == TKernelSet::SSE2_Pentium4);
    EXPECT_EQ(table.NoiseReduction2DPluginDLL != nullptr, set == TKernelSet::SSE2_Pentium4);
}

TEST(KernelLibraryNames, FileNamesCarryTheSharedLibrarySuffix) {
    EXPECT_STREQ(KernelLibraryFileName(TKernelLibrary::Mosrik3), "Mosrik3.so");
    EXPECT_STREQ(KernelLibraryFileName(TKernelLibrary::Mosrik4), "Mosrik4.so");
    EXPECT_STREQ(KernelLibraryFileName(TKernelLibrary::Velnor2D), "Velnor2D.so");
    EXPECT_STREQ(KernelLibraryFileName(TKernelLibrary::Velnor3D), "Velnor3D.so");
}

} // namespace
} // namespace quillset::testing
