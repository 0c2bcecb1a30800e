// Velnor2D.so loaded as the program loads it, once per code path, against a plain per-pixel
// statement of the filter.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "plugins/nr2d/noise_reduction_interface.h"
#include "plugins/nr2d/tests/plugin_loader.h"
#include "plugins/nr2d/tests/spatial_reference.h"

namespace quillset::testing {
namespace {

using noise_reduction::TNoiseReduction2DEntry;

class Velnor2DTest : public ::testing::TestWithParam<TPluginPath> {
protected:
    void SetUp() override {
        ASSERT_TRUE(plugin_.Loaded()) << plugin_.Error();
        filter_ = plugin_.Entry<TNoiseReduction2DEntry>("NoiseReduction2DPluginDLL");
        ASSERT_NE(filter_, nullptr);
    }

    TPicture Filter(const TPicture& in, int32_t strength, int32_t radius, bool fieldMode = false) {
        TPicture out(in.Width, in.Height, 0xCD);
        filter_(out.Bytes.data(), in.Bytes.data(), strength, radius, in.Width, in.Height, fieldMode ? 1 : 0, nullptr,
                nullptr);
        return out;
    }

    TLoadedPlugin plugin_{"Velnor2D.so", GetParam()};
    TNoiseReduction2DEntry filter_ = nullptr;
};

struct TSpatialCase {
    const char* Name;
    int32_t Width, Height, Strength, Radius;
    bool FieldMode;
    TPattern Pattern;
};

// Sizes around the vector widths (4 and 8 lanes), single rows and columns, windows larger than
// the picture, and strengths whose float sums pass 2^24 (where the order of the sums counts).
const TSpatialCase kSpatialCases[] = {
    {"single pixel", 1, 1, 100, 1, false, TPattern::Noise},
    {"one row", 37, 1, 100, 2, false, TPattern::GentleNoise},
    {"one row field", 23, 1, 100, 2, true, TPattern::GentleNoise},
    {"one column", 1, 29, 100, 3, false, TPattern::GentleNoise},
    {"one column field", 1, 30, 60, 2, true, TPattern::Blocks},
    {"middle setting", 17, 13, 15, 1, false, TPattern::GentleNoise},
    {"high setting field", 19, 14, 30, 2, true, TPattern::GentleNoise},
    {"width 8", 8, 9, 100, 1, false, TPattern::Noise},
    {"width 9 extremes", 9, 7, 1000, 1, true, TPattern::Extremes},
    {"radius 4", 33, 21, 100, 4, false, TPattern::Blocks},
    {"radius 3 field", 26, 20, 250, 3, true, TPattern::GentleNoise},
    {"window beyond picture", 5, 4, 100, 9, true, TPattern::GentleNoise},
    {"inexact sums", 24, 18, 1000, 6, false, TPattern::GentleNoise},
    {"inexact sums field", 21, 25, 1000, 5, true, TPattern::GentleNoise},
    {"inexact sums wide", 160, 60, 1000, 2, false, TPattern::GentleNoise},
    {"inexact sums wide field", 150, 70, 1000, 2, true, TPattern::GentleNoise},
    {"small after large", 3, 2, 80, 1, false, TPattern::Noise},
    {"strong noise", 31, 11, 1000, 2, false, TPattern::Noise},
};

TEST_P(Velnor2DTest, MatchesThePerPixelFilterBitForBit) {
    uint32_t seed = 1;
    for (const TSpatialCase& c : kSpatialCases) {
        SCOPED_TRACE(c.Name);
        const TPicture in = MakePicture(c.Width, c.Height, c.Pattern, seed++);
        const TPicture out = Filter(in, c.Strength, c.Radius, c.FieldMode);
        const TPicture expected = ReferenceSpatialFilter(in, c.Strength, c.Radius, c.FieldMode);
        ASSERT_EQ(out.Bytes, expected.Bytes);
    }
}

TEST_P(Velnor2DTest, FiltersInPlaceWithSourceZeroOrSourceEqualToDestination) {
    const TPicture in = MakePicture(29, 17, TPattern::GentleNoise, 7);
    for (const bool fieldMode : {false, true}) {
        SCOPED_TRACE(fieldMode ? "field mode" : "frame mode");
        const TPicture separate = Filter(in, 100, 2, fieldMode);
        TPicture zeroSource = in;
        filter_(zeroSource.Bytes.data(), nullptr, 100, 2, in.Width, in.Height, fieldMode, nullptr, nullptr);
        TPicture sameSource = in;
        filter_(sameSource.Bytes.data(), sameSource.Bytes.data(), 100, 2, in.Width, in.Height, fieldMode, nullptr,
                nullptr);
        EXPECT_EQ(zeroSource.Bytes, separate.Bytes);
        EXPECT_EQ(sameSource.Bytes, separate.Bytes);
        EXPECT_NE(separate.Bytes, in.Bytes);
    }
}

TEST_P(Velnor2DTest, ClampsStrengthAndRadius) {
    // One row wider than the largest radius, so radii 100 and 250 see the same window and radius
    // 99 a smaller one.
    const TPicture row = MakePicture(230, 1, TPattern::GentleNoise, 11);
    const TPicture picture = MakePicture(21, 12, TPattern::GentleNoise, 12);
    EXPECT_EQ(Filter(row, 100, 250).Bytes, Filter(row, 100, 100).Bytes);
    EXPECT_NE(Filter(row, 100, 99).Bytes, Filter(row, 100, 100).Bytes);
    EXPECT_EQ(Filter(picture, 5000, 2).Bytes, Filter(picture, 1000, 2).Bytes);
    EXPECT_EQ(Filter(picture, 60, 0).Bytes, Filter(picture, 60, 1).Bytes);
    EXPECT_EQ(Filter(picture, 60, -7).Bytes, Filter(picture, 60, 1).Bytes);
    // Strength 0 (and below) would make every weight and the divisor 0: the picture is copied.
    EXPECT_EQ(Filter(picture, 0, 1).Bytes, picture.Bytes);
    EXPECT_EQ(Filter(picture, -40, 3).Bytes, picture.Bytes);
}

TEST_P(Velnor2DTest, FieldModeFiltersEachFieldByItself) {
    // The two fields differ wildly; each must come out as if filtered alone as a frame.
    const int32_t width = 18, height = 15;
    TPicture in = MakePicture(width, height, TPattern::GentleNoise, 21);
    const TPicture other = MakePicture(width, height, TPattern::Noise, 22);
    for (int32_t row = 1; row < height; row += 2)
        for (int32_t column = 0; column < width; ++column)
            for (int32_t c = 0; c < 3; ++c)
                in.At(row, column, c) = other.At(row, column, c);
    for (const int32_t radius : {1, 3}) {
        SCOPED_TRACE(radius);
        const TPicture out = Filter(in, 100, radius, true);
        for (int32_t parity = 0; parity < 2; ++parity) {
            TPicture field(width, (height - parity + 1) / 2);
            for (int32_t row = 0; row < field.Height; ++row)
                std::memcpy(field.Row(row), in.Row(2 * row + parity), static_cast<size_t>(width) * 3);
            const TPicture filtered = Filter(field, 100, radius, false);
            for (int32_t row = 0; row < field.Height; ++row)
                ASSERT_EQ(0, std::memcmp(filtered.Row(row), out.Row(2 * row + parity), static_cast<size_t>(width) * 3))
                    << "field " << parity << " row " << row;
        }
    }
}

TEST_P(Velnor2DTest, FlatPictureStaysOrDropsByOneThroughTheEstimate) {
    for (const bool fieldMode : {false, true}) {
        TPicture in(23, 9);
        for (size_t i = 0; i < in.Bytes.size(); i += 3) {
            in.Bytes[i] = 17;
            in.Bytes[i + 1] = 128;
            in.Bytes[i + 2] = 255;
        }
        const TPicture out = Filter(in, 1000, 3, fieldMode);
        for (size_t i = 0; i < in.Bytes.size(); ++i)
            ASSERT_TRUE(out.Bytes[i] == in.Bytes[i] || out.Bytes[i] + 1 == in.Bytes[i]) << "byte " << i;
    }
}

TEST_P(Velnor2DTest, PixelFarFromAllNeighboursKeepsItsValue) {
    // With S = 1000 a distance of sqrt(S) or more gives weight 0 both ways.
    TPicture in(9, 9);
    for (size_t i = 0; i < in.Bytes.size(); ++i)
        in.Bytes[i] = 40;
    in.At(4, 4, 0) = 40 + 19; // d^2 = 19^2 + 10^2 + 0 = 461
    in.At(4, 4, 1) = 40 + 10;
    TPicture far = in;
    far.At(4, 4, 0) = 40 + 32; // d^2 = 32^2 = 1024 >= 1000
    far.At(4, 4, 1) = 40;
    const TPicture near = Filter(in, 100, 1, false);
    const TPicture isolated = Filter(far, 100, 1, false);
    EXPECT_LE(near.At(4, 4, 0), 40 + 19 - 2); // a close neighbourhood pulls the pixel
    EXPECT_GE(isolated.At(4, 4, 0), 40 + 32 - 1);
    EXPECT_LE(isolated.At(4, 4, 0), 40 + 32);
    for (int32_t row = 3; row <= 5; ++row)
        for (int32_t column = 3; column <= 5; ++column) {
            if (row != 4 || column != 4) {
                EXPECT_GE(isolated.At(row, column, 0), 39) << row << "," << column;
            }
        }
}

struct TProgressLog {
    std::vector<int32_t> Rows;
    static void Record(int32_t row, void* context) { static_cast<TProgressLog*>(context)->Rows.push_back(row); }
};

TEST_P(Velnor2DTest, ReportsEveryOutputRowInOrder) {
    const TPicture in = MakePicture(11, 13, TPattern::GentleNoise, 31);
    std::vector<int32_t> allRows(13);
    for (int32_t row = 0; row < 13; ++row)
        allRows[row] = row;
    for (const int32_t strength : {100, 0}) {
        for (const bool fieldMode : {false, true}) {
            TProgressLog log;
            TPicture out = in;
            filter_(out.Bytes.data(), nullptr, strength, 2, in.Width, in.Height, fieldMode, &TProgressLog::Record,
                    &log);
            EXPECT_EQ(log.Rows, allRows) << "strength " << strength << " field " << fieldMode;
        }
    }
    // Without a context (or without an entry) there is no report.
    TProgressLog log;
    TPicture out = in;
    filter_(out.Bytes.data(), nullptr, 100, 1, in.Width, in.Height, 0, &TProgressLog::Record, nullptr);
    filter_(out.Bytes.data(), nullptr, 100, 1, in.Width, in.Height, 0, nullptr, &log);
    EXPECT_TRUE(log.Rows.empty());
}

TEST_P(Velnor2DTest, EmptyPicturesReturnAtOnce) {
    std::vector<uint8_t> untouched(48, 0x5A);
    const std::vector<uint8_t> source(48, 0x11);
    TProgressLog log;
    for (const auto& [width, height] : {std::pair{4, 0}, std::pair{4, -3}, std::pair{0, 4}, std::pair{-2, 4}}) {
        filter_(untouched.data(), source.data(), 100, 1, width, height, 0, &TProgressLog::Record, &log);
        filter_(untouched.data(), nullptr, 100, 1, width, height, 1, &TProgressLog::Record, &log);
    }
    EXPECT_EQ(untouched, std::vector<uint8_t>(48, 0x5A));
    EXPECT_TRUE(log.Rows.empty());
}

INSTANTIATE_TEST_SUITE_P(Paths, Velnor2DTest, ::testing::ValuesIn(AvailablePluginPaths()),
                         PluginPathTestName);

} // namespace
} // namespace quillset::testing
