// Velnor3D.so loaded as the program loads it, once per code path, against a plain per-pixel
// statement of the filter; its exports and the filter-host protocol.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "plugins/nr2d/noise_reduction_interface.h"
#include "plugins/nr2d/tests/plugin_loader.h"
#include "plugins/nr3d/tests/temporal_reference.h"
#include "tests/support/temp_dir.h"

namespace quillset::testing {
namespace {

using namespace noise_reduction;

// `picture` moved `columns` to the right and `rows` down, the uncovered edge repeated.
TPicture Moved(const TPicture& picture, int32_t columns, int32_t rows) {
    TPicture out(picture.Width, picture.Height);
    for (int32_t row = 0; row < picture.Height; ++row)
        for (int32_t column = 0; column < picture.Width; ++column)
            for (int32_t c = 0; c < 3; ++c)
                out.At(row, column, c) = picture.At(std::clamp(row - rows, 0, picture.Height - 1),
                                                    std::clamp(column - columns, 0, picture.Width - 1), c);
    return out;
}

class Velnor3DTest : public ::testing::TestWithParam<TPluginPath> {
protected:
    void SetUp() override {
        ASSERT_TRUE(plugin_.Loaded()) << plugin_.Error();
        filter_ = plugin_.Entry<TNoiseReduction3DEntry>("NoiseReduction3DPluginDLL");
        ASSERT_NE(filter_, nullptr);
    }

    TPicture Filter(const TPicture& current, const TPicture* previous, const TPicture* next, int32_t strength,
                    bool fieldMode) {
        TPicture out(current.Width, current.Height, 0xCD);
        const int32_t rows = filter_(out.Bytes.data(), current.Bytes.data(),
                                     previous != nullptr ? previous->Bytes.data() : nullptr,
                                     next != nullptr ? next->Bytes.data() : nullptr, strength, 1, current.Width,
                                     current.Height, fieldMode ? 1 : 0, nullptr, nullptr);
        EXPECT_EQ(rows, current.Height);
        return out;
    }

    TLoadedPlugin plugin_{"Velnor3D.so", GetParam()};
    TNoiseReduction3DEntry filter_ = nullptr;
};

enum class TNeighbours { Both, PreviousOnly, NextOnly, None };

struct TTemporalCase {
    const char* Name;
    int32_t Width, Height, Strength;
    bool FieldMode;
    TNeighbours Neighbours;
    TPattern Pattern;
    int32_t MoveColumns, MoveRows; // how far the neighbours are moved against the current picture
};

// Sizes around the vector widths and the row groups the library reads (8, then 4 at a time),
// single rows and columns, windows clipped on every side, moving and still neighbours.
const TTemporalCase kTemporalCases[] = {
    {"single pixel", 1, 1, 100, false, TNeighbours::Both, TPattern::GentleNoise, 0, 0},
    {"one row", 37, 1, 45, false, TNeighbours::Both, TPattern::GentleNoise, 1, 0},
    {"one row field", 13, 1, 60, true, TNeighbours::Both, TPattern::Blocks, 1, 0},
    {"one column", 1, 31, 60, false, TNeighbours::Both, TPattern::GentleNoise, 0, 1},
    {"one column field", 1, 26, 100, true, TNeighbours::Both, TPattern::Blocks, 0, 1},
    {"low setting", 17, 13, 30, false, TNeighbours::Both, TPattern::GentleNoise, 0, 0},
    {"middle setting field", 19, 14, 45, true, TNeighbours::Both, TPattern::GentleNoise, 1, 1},
    {"high setting moving", 33, 21, 60, false, TNeighbours::Both, TPattern::Blocks, 2, 1},
    {"width 8", 8, 9, 100, false, TNeighbours::Both, TPattern::GentleNoise, 0, 0},
    {"width 9 field", 9, 7, 100, true, TNeighbours::Both, TPattern::Blocks, 1, 0},
    {"many groups field", 23, 43, 100, true, TNeighbours::Both, TPattern::GentleNoise, 0, 2},
    {"previous only", 16, 12, 60, false, TNeighbours::PreviousOnly, TPattern::GentleNoise, 1, 0},
    {"next only field", 15, 18, 60, true, TNeighbours::NextOnly, TPattern::Blocks, 0, 1},
    {"no neighbours", 12, 10, 100, false, TNeighbours::None, TPattern::Noise, 0, 0},
    {"extremes", 21, 11, 100, false, TNeighbours::Both, TPattern::Extremes, 0, 0},
    {"strong noise", 25, 9, 100, true, TNeighbours::Both, TPattern::Noise, 0, 0},
};

TEST_P(Velnor3DTest, MatchesThePerPixelFilterBitForBit) {
    uint32_t seed = 100;
    for (const TTemporalCase& c : kTemporalCases) {
        SCOPED_TRACE(c.Name);
        const TPicture current = MakePicture(c.Width, c.Height, c.Pattern, seed++);
        // Neighbours: the same scene with other noise, moved as the case says.
        const TPicture previous = Moved(MakePicture(c.Width, c.Height, c.Pattern, seed++), -c.MoveColumns, -c.MoveRows);
        const TPicture next = Moved(MakePicture(c.Width, c.Height, c.Pattern, seed++), c.MoveColumns, c.MoveRows);
        const bool hasPrevious = c.Neighbours == TNeighbours::Both || c.Neighbours == TNeighbours::PreviousOnly;
        const bool hasNext = c.Neighbours == TNeighbours::Both || c.Neighbours == TNeighbours::NextOnly;
        const TPicture* p = hasPrevious ? &previous : nullptr;
        const TPicture* n = hasNext ? &next : nullptr;
        const TPicture out = Filter(current, p, n, c.Strength, c.FieldMode);
        ASSERT_EQ(out.Bytes, ReferenceTemporalFilter(current, p, n, c.Strength, c.FieldMode).Bytes);
    }
}

TEST_P(Velnor3DTest, WithoutNeighboursThePictureStaysOrDropsByOne) {
    const TPicture current = MakePicture(19, 11, TPattern::Noise, 5);
    const TPicture out = Filter(current, nullptr, nullptr, 100, false);
    for (size_t i = 0; i < current.Bytes.size(); ++i)
        ASSERT_TRUE(out.Bytes[i] == current.Bytes[i] || out.Bytes[i] + 1 == current.Bytes[i]) << "byte " << i;
}

TEST_P(Velnor3DTest, MotionAnywhereInTheWindowDropsThatNeighbour) {
    // Current flat 100, previous flat 110 (d^2 = 300: weight 700 at strength 100), except one
    // pixel at (8, 8) that moved (d^2 far above S). Pixels whose window holds it mix current and
    // next only (99 or 100); all others are pulled toward the previous picture (102).
    const int32_t size = 17;
    TPicture current(size, size, 100);
    TPicture previous(size, size, 110);
    for (int32_t c = 0; c < 3; ++c)
        previous.At(8, 8, c) = 250;
    for (const bool fieldMode : {false, true}) {
        SCOPED_TRACE(fieldMode ? "field mode" : "frame mode");
        const TPicture out = Filter(current, &previous, nullptr, 100, fieldMode);
        const int32_t rowReach = fieldMode ? 4 : 2;
        for (int32_t row = 0; row < size; ++row)
            for (int32_t column = 0; column < size; ++column) {
                const bool sameField = !fieldMode || (row % 2 == 0);
                const bool inside = sameField && std::abs(row - 8) <= rowReach && std::abs(column - 8) <= 2;
                const uint8_t value = out.At(row, column, 1);
                if (inside)
                    EXPECT_TRUE(value == 99 || value == 100) << row << "," << column << ": " << int(value);
                else
                    EXPECT_EQ(value, 102) << row << "," << column;
            }
    }
}

TEST_P(Velnor3DTest, ClampsStrengthAndCopiesForStrengthZero) {
    const TPicture current = MakePicture(14, 10, TPattern::GentleNoise, 51);
    const TPicture previous = MakePicture(14, 10, TPattern::GentleNoise, 52);
    const TPicture next = MakePicture(14, 10, TPattern::GentleNoise, 53);
    EXPECT_EQ(Filter(current, &previous, &next, 250, false).Bytes, Filter(current, &previous, &next, 100, false).Bytes);
    EXPECT_NE(Filter(current, &previous, &next, 99, false).Bytes, Filter(current, &previous, &next, 100, false).Bytes);
    EXPECT_EQ(Filter(current, &previous, &next, 0, false).Bytes, current.Bytes);
    EXPECT_EQ(Filter(current, &previous, &next, -20, true).Bytes, current.Bytes);
}

TEST_P(Velnor3DTest, AMissingNeighbourIsTheCurrentPicture) {
    const TPicture current = MakePicture(18, 12, TPattern::GentleNoise, 61);
    const TPicture other = MakePicture(18, 12, TPattern::GentleNoise, 62);
    EXPECT_EQ(Filter(current, nullptr, &other, 60, false).Bytes, Filter(current, &current, &other, 60, false).Bytes);
    EXPECT_EQ(Filter(current, &other, nullptr, 60, true).Bytes, Filter(current, &other, &current, 60, true).Bytes);
}

TEST_P(Velnor3DTest, DestinationMayBeAnyInputAndTemporalIsIgnored) {
    const TPicture current = MakePicture(21, 15, TPattern::Blocks, 71);
    const TPicture previous = Moved(MakePicture(21, 15, TPattern::Blocks, 72), 1, 0);
    const TPicture next = Moved(MakePicture(21, 15, TPattern::Blocks, 73), 0, 1);
    for (const bool fieldMode : {false, true}) {
        SCOPED_TRACE(fieldMode ? "field mode" : "frame mode");
        const TPicture expected = Filter(current, &previous, &next, 60, fieldMode);
        for (int32_t target = 0; target < 3; ++target) {
            TPicture pictures[3] = {current, previous, next};
            uint8_t* destination = pictures[target].Bytes.data();
            filter_(destination, pictures[0].Bytes.data(), pictures[1].Bytes.data(), pictures[2].Bytes.data(), 60,
                    target == 0 ? 0 : 77, 21, 15, fieldMode, nullptr, nullptr);
            EXPECT_EQ(pictures[target].Bytes, expected.Bytes) << "destination is input " << target;
        }
    }
}

struct TProgressLog {
    std::vector<int32_t> Rows;
    static void Record(int32_t row, void* context) { static_cast<TProgressLog*>(context)->Rows.push_back(row); }
};

TEST_P(Velnor3DTest, ReportsEveryOutputRowInOrderAndReturnsTheHeight) {
    const TPicture current = MakePicture(9, 27, TPattern::GentleNoise, 81);
    const TPicture previous = MakePicture(9, 27, TPattern::GentleNoise, 82);
    std::vector<int32_t> allRows(27);
    for (int32_t row = 0; row < 27; ++row)
        allRows[row] = row;
    for (const int32_t strength : {60, 0}) {
        for (const bool fieldMode : {false, true}) {
            TProgressLog log;
            TPicture out(9, 27);
            EXPECT_EQ(filter_(out.Bytes.data(), current.Bytes.data(), previous.Bytes.data(), nullptr, strength, 1, 9,
                              27, fieldMode, &TProgressLog::Record, &log),
                      27);
            EXPECT_EQ(log.Rows, allRows) << "strength " << strength << " field " << fieldMode;
        }
    }
    TProgressLog log;
    TPicture out(9, 27);
    filter_(out.Bytes.data(), current.Bytes.data(), nullptr, nullptr, 60, 1, 9, 27, 0, &TProgressLog::Record, nullptr);
    filter_(out.Bytes.data(), current.Bytes.data(), nullptr, nullptr, 60, 1, 9, 27, 0, nullptr, &log);
    EXPECT_TRUE(log.Rows.empty());
}

TEST_P(Velnor3DTest, EmptyPicturesReturnAtOnce) {
    std::vector<uint8_t> untouched(48, 0x5A);
    const std::vector<uint8_t> current(48, 0x11);
    TProgressLog log;
    for (const auto& [width, height] : {std::pair{4, 0}, std::pair{4, -3}, std::pair{0, 4}}) {
        EXPECT_EQ(filter_(untouched.data(), current.data(), nullptr, nullptr, 60, 1, width, height, 0,
                          &TProgressLog::Record, &log),
                  height);
    }
    EXPECT_EQ(untouched, std::vector<uint8_t>(48, 0x5A));
    EXPECT_TRUE(log.Rows.empty());
}

INSTANTIATE_TEST_SUITE_P(Paths, Velnor3DTest, ::testing::ValuesIn(AvailablePluginPaths()),
                         PluginPathTestName);

TEST(Velnor3DLibraryTest, ExportsOnlyItsTwoCEntries) {
    if (!HasTool("nm"))
        GTEST_SKIP() << "nm is not installed";
    const std::set<std::string> expected{"NoiseReduction3DPluginDLL", "Process"};
    EXPECT_EQ(ExportedFunctions(ProgramFolder() + "/Velnor3D.so"), expected);
}

TEST(Velnor3DLibraryTest, ProcessFiltersWithStrength100InFieldMode) {
    TLoadedPlugin plugin("Velnor3D.so", AvailablePluginPaths().back());
    ASSERT_TRUE(plugin.Loaded()) << plugin.Error();
    const auto process = plugin.Entry<TNoiseReductionProcessEntry>("Process");
    ASSERT_NE(process, nullptr);
    const TPicture current = MakePicture(11, 16, TPattern::GentleNoise, 91);
    const TPicture previous = MakePicture(11, 16, TPattern::GentleNoise, 92);
    const TPicture next = Moved(MakePicture(11, 16, TPattern::GentleNoise, 93), 1, 1);

    TNoiseReductionCommand command;
    TNoiseReductionReply reply;
    command.Code = NoiseReductionCommand_Startup;
    EXPECT_EQ(process(&command, &reply), NoiseReductionStatus_Ok);
    EXPECT_EQ(reply.Kind, NoiseReductionKind_Temporal);
    EXPECT_EQ(reply.Strength, 100);
    EXPECT_EQ(reply.FieldMode, 1);
    command.Code = NoiseReductionCommand_Lead;
    command.Width = current.Width;
    command.Height = current.Height;
    EXPECT_EQ(process(&command, &reply), NoiseReductionStatus_Ok);

    TPicture out(current.Width, current.Height);
    command.Code = NoiseReductionCommand_Exec;
    command.Destination = out.Bytes.data();
    command.Source = current.Bytes.data();
    command.Previous = previous.Bytes.data();
    command.Next = next.Bytes.data();
    EXPECT_EQ(process(&command, &reply), NoiseReductionStatus_Ok);
    EXPECT_EQ(reply.Rows, current.Height);
    EXPECT_EQ(out.Bytes, ReferenceTemporalFilter(current, &previous, &next, 100, true).Bytes);

    // Without a source the destination is the current picture, filtered in place.
    TPicture inPlace = current;
    command.Destination = inPlace.Bytes.data();
    command.Source = nullptr;
    EXPECT_EQ(process(&command, &reply), NoiseReductionStatus_Ok);
    EXPECT_EQ(inPlace.Bytes, out.Bytes);

    command.Code = NoiseReductionCommand_Done;
    EXPECT_EQ(process(&command, &reply), NoiseReductionStatus_Ok);
    command.Code = NoiseReductionCommand_Exec;
    EXPECT_EQ(process(&command, &reply), NoiseReductionStatus_NoPicture);
    EXPECT_TRUE(plugin.Unload());
}

} // namespace
} // namespace quillset::testing
