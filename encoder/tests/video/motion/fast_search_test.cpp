// The FastSearch classes with their built-in algorithm: which candidates they measure, where
// they stop, and what they answer on pictures with known motion.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "encoder/tests/video/motion/motion_test_support.h"
#include "encoder/video/motion/fast_search.h"
#include "encoder/video/motion/motion_search_tables.h"

namespace quillset {
namespace {

using testing::PaintScene;
using testing::ReferenceKernels;
using testing::TScene;
using testing::TTestPicture;

// Records every full-sample candidate the search measures (slots Sad16x16 and Sad16x8) as a
// position in the reference picture, and whether any lay outside the valid range.
struct TMeasured {
    TSearchOffset At;
    int32_t Cost;
};

struct TRecorder {
    const uint8_t* Base = nullptr;
    int32_t Width = 0;
    int32_t Height = 0;
    TBlockMeasureKernel Frame16x16 = nullptr;
    TBlockMeasureKernel Field16x8 = nullptr;
    std::vector<TMeasured> Frame;
    std::vector<TMeasured> Field;
    bool OutOfRange = false;

    TSearchOffset Locate(const uint8_t* ref) {
        const ptrdiff_t offset = ref - Base;
        const TSearchOffset at{static_cast<int32_t>(offset % Width), static_cast<int32_t>(offset / Width)};
        if (offset < 0 || at.X > Width - 16 || at.Y > Height - 16)
            OutOfRange = true;
        return at;
    }
};

TRecorder* recorder = nullptr;

int32_t RecordFrame(const uint8_t* cur, const uint8_t* ref, int32_t pitch) {
    const int32_t cost = recorder->Frame16x16(cur, ref, pitch);
    recorder->Frame.push_back({recorder->Locate(ref), cost});
    return cost;
}

int32_t RecordField(const uint8_t* cur, const uint8_t* ref, int32_t pitch) {
    const int32_t cost = recorder->Field16x8(cur, ref, pitch);
    recorder->Field.push_back({recorder->Locate(ref), cost});
    return cost;
}

std::vector<TSearchOffset> Positions(const std::vector<TMeasured>& measured, size_t from, size_t to) {
    std::vector<TSearchOffset> out;
    for (size_t i = from; i < to && i < measured.size(); ++i)
        out.push_back(measured[i].At);
    return out;
}

// The ring of distance s around (cx, cy) in row order, without the centre.
std::vector<TSearchOffset> Ring(int32_t cx, int32_t cy, int32_t s) {
    std::vector<TSearchOffset> out;
    for (int32_t dy = -s; dy <= s; dy += s)
        for (int32_t dx = -s; dx <= s; dx += s)
            if (dx != 0 || dy != 0)
                out.push_back({cx + dx, cy + dy});
    return out;
}

// The first strictly smallest of the measured costs.
TMeasured FirstBest(const std::vector<TMeasured>& measured, size_t count) {
    TMeasured best = measured[0];
    for (size_t i = 1; i < count; ++i)
        if (measured[i].Cost < best.Cost)
            best = measured[i];
    return best;
}

class FastSearchTest : public ::testing::Test {
protected:
    static constexpr int32_t W = 96;
    static constexpr int32_t H = 96;

    FastSearchTest() : Ref(W, H, MotionSearchPictureType_P, 0), Cur(W, H, MotionSearchPictureType_P, 3) {
        Kernels = ReferenceKernels();
        Record.Base = Ref.Image->Y;
        Record.Width = W;
        Record.Height = H;
        Record.Frame16x16 = Kernels.Sad16x16;
        Record.Field16x8 = Kernels.Sad16x8;
        Kernels.Sad16x16 = RecordFrame;
        Kernels.Sad16x8 = RecordField;
        recorder = &Record;
        Params.HalfPel = 1;
    }
    ~FastSearchTest() override { recorder = nullptr; }

    std::unique_ptr<TMotionSearch> Create(bool fieldMode, uint8_t currentType) {
        Cur.PictureType = currentType;
        Cur.Buffers.Release();
        Ref.Buffers.Release();
        const TMotionSearchClass cls = fieldMode ? &TMotionSearch_FieldMode_FastSearch::ClassInfo
                                                 : &TMotionSearch_FrameMode_FastSearch::ClassInfo;
        return CreateMotionSearch(cls, Kernels, Ref, Cur, Params);
    }
    void Reset() {
        Record.Frame.clear();
        Record.Field.clear();
    }

    TTestPicture Ref;
    TTestPicture Cur;
    TKernelTable Kernels;
    TRecorder Record;
    TMotionSearchParams Params;
};

// A macroblock equal to its co-located reference block costs 0 at the zero vector: nothing else
// is measured, in either class and for either picture type, wherever the macroblock lies.
TEST_F(FastSearchTest, IdenticalMacroblockIsNotSearched) {
    PaintScene(Ref, {});
    PaintScene(Cur, {});
    for (bool fieldMode : {false, true})
        for (uint8_t type : {MotionSearchPictureType_P, MotionSearchPictureType_B}) {
            auto search = Create(fieldMode, type);
            for (int32_t y : {0, 32, 80})
                for (int32_t x : {0, 48, 80}) {
                    Reset();
                    TMotionSearchResult frame{9, 9, 9, 9, 9, 9}, top{}, bottom{};
                    if (fieldMode)
                        search->SearchFieldMode(x, y, MotionSearchFieldMode_Auto, frame, top, bottom);
                    else
                        search->SearchFrame(x, y, frame);
                    EXPECT_EQ(frame.MvX, 0);
                    EXPECT_EQ(frame.MvY, 0);
                    EXPECT_EQ(frame.BestX, x);
                    EXPECT_EQ(frame.BestY, y);
                    EXPECT_EQ(frame.Cost, 0);
                    EXPECT_EQ(frame.FieldSelect, 0);
                    EXPECT_EQ(Record.Frame.size(), 1u) << x << "," << y;
                    EXPECT_TRUE(Record.Field.empty());
                    if (fieldMode) {
                        EXPECT_EQ(top.Cost, kMotionCostNotSearched);
                        EXPECT_EQ(bottom.Cost, kMotionCostNotSearched);
                    }
                }
        }
}

// A B picture measures the zero vector and then exactly the 3x3 ring around it.
TEST_F(FastSearchTest, BPictureExaminesOnlyTheRingAroundTheCoLocatedBlock) {
    PaintScene(Ref, {});
    PaintScene(Cur, {.PanX = 5, .PanY = 3});
    Params.HalfPel = 0;
    auto search = Create(false, MotionSearchPictureType_B);
    TMotionSearchResult r;
    search->SearchFrame(32, 48, r);
    ASSERT_EQ(Record.Frame.size(), 9u);
    EXPECT_EQ(Record.Frame[0].At, (TSearchOffset{32, 48}));
    EXPECT_EQ(Positions(Record.Frame, 1, 9), Ring(32, 48, 1));
    const TMeasured best = FirstBest(Record.Frame, 9);
    EXPECT_EQ(r.BestX, best.At.X);
    EXPECT_EQ(r.BestY, best.At.Y);
    EXPECT_EQ(r.Cost, best.Cost);
}

// A P picture measures the ring at distance 2, then the ring at distance 1 around the better
// point; the integer pan (3, 2) is then found exactly.
TEST_F(FastSearchTest, PPictureExaminesTheRingAtTwoThenAtOneAroundTheBetterPoint) {
    PaintScene(Ref, {});
    PaintScene(Cur, {.PanX = 3, .PanY = 2});
    Params.HalfPel = 0;
    auto search = Create(false, MotionSearchPictureType_P);
    TMotionSearchResult r;
    search->SearchFrame(32, 48, r);
    ASSERT_EQ(Record.Frame.size(), 17u);
    EXPECT_EQ(Positions(Record.Frame, 1, 9), Ring(32, 48, 2));
    const TMeasured first = FirstBest(Record.Frame, 9);
    EXPECT_NE(first.At, (TSearchOffset{32, 48}));
    EXPECT_EQ(Positions(Record.Frame, 9, 17), Ring(first.At.X, first.At.Y, 1));
    EXPECT_EQ(r.MvX, 6);
    EXPECT_EQ(r.MvY, 4);
    EXPECT_EQ(r.Cost, 0);
}

struct TBorderCase {
    int32_t X, Y;
    uint8_t Type;
    bool FieldMode;
};

class FastSearchBorderTest : public FastSearchTest, public ::testing::WithParamInterface<TBorderCase> {};

// Macroblocks on the border never measure a candidate outside the picture, and their grid
// passes visit fewer points; the pan pulls every search toward the edge.
TEST_P(FastSearchBorderTest, NeverMeasuresOutsideThePicture) {
    const TBorderCase tc = GetParam();
    PaintScene(Ref, {});
    for (const double pan : {-7.5, 7.5}) {
        PaintScene(Cur, {.PanX = pan, .PanY = pan, .ObjectX = 40, .ObjectY = 40, .ObjectSize = 24, .Seed = 7});
        auto search = Create(tc.FieldMode, tc.Type);
        Reset();
        TMotionSearchResult frame, top, bottom;
        search->SearchFieldMode(tc.X, tc.Y, MotionSearchFieldMode_FieldOnly, frame, top, bottom);
        search->SearchFrame(tc.X, tc.Y, frame);
        EXPECT_FALSE(Record.OutOfRange);
        const size_t fullRing = tc.Type == MotionSearchPictureType_B ? 9u : 17u;
        EXPECT_LT(Record.Frame.size(), fullRing);
        for (const TMotionSearchResult* result : {&frame, &top, &bottom}) {
            if (result->Cost < 0)
                continue;
            EXPECT_GE(2 * tc.X + result->MvX, 0);
            EXPECT_LE(2 * tc.X + result->MvX, 2 * W - 32);
        }
        EXPECT_GE(2 * tc.Y + frame.MvY, 0);
        EXPECT_LE(2 * tc.Y + frame.MvY, 2 * H - 32);
    }
}

INSTANTIATE_TEST_SUITE_P(Corners, FastSearchBorderTest,
                         ::testing::Values(TBorderCase{0, 0, MotionSearchPictureType_P, false},
                                           TBorderCase{80, 80, MotionSearchPictureType_P, false},
                                           TBorderCase{0, 80, MotionSearchPictureType_B, false},
                                           TBorderCase{80, 0, MotionSearchPictureType_B, true},
                                           TBorderCase{0, 0, MotionSearchPictureType_P, true},
                                           TBorderCase{80, 80, MotionSearchPictureType_P, true}));

// At the top-left corner the first P pass keeps only the points right of and below the centre.
TEST_F(FastSearchTest, CornerPassShrinks) {
    PaintScene(Ref, {});
    PaintScene(Cur, {.PanX = -5, .PanY = -5});
    Params.HalfPel = 0;
    auto search = Create(false, MotionSearchPictureType_P);
    TMotionSearchResult r;
    search->SearchFrame(0, 0, r);
    const std::vector<TSearchOffset> firstPass = {{2, 0}, {0, 2}, {2, 2}};
    EXPECT_EQ(Positions(Record.Frame, 1, 4), firstPass);
    EXPECT_EQ(r.BestX, 0);
    EXPECT_EQ(r.BestY, 0);
}

// With half samples off every vector is in full samples (even); with them on, a sub-sample
// pan gives odd components somewhere.
TEST_F(FastSearchTest, HalfPelOffGivesEvenVectors) {
    PaintScene(Ref, {.Seed = 3});
    PaintScene(Cur, {.PanX = 1.5, .PanY = -0.5, .ObjectX = 20, .ObjectY = 30, .Seed = 4});
    for (uint8_t halfPel : {0, 1}) {
        Params.HalfPel = halfPel;
        bool anyOdd = false;
        auto search = Create(true, MotionSearchPictureType_P);
        for (int32_t y = 0; y < H; y += 16)
            for (int32_t x = 0; x < W; x += 16) {
                TMotionSearchResult frame, top, bottom;
                search->SearchFrame(x, y, frame);
                search->SearchFieldMode(x, y, MotionSearchFieldMode_FieldOnly, frame, top, bottom);
                search->SearchFrame(x, y, frame);
                for (const TMotionSearchResult* r : {&frame, &top, &bottom}) {
                    const bool odd = (r->MvX & 1) != 0 || (r->MvY & 1) != 0;
                    anyOdd = anyOdd || odd;
                    if (!halfPel) {
                        EXPECT_FALSE(odd) << x << "," << y << ": " << r->MvX << "," << r->MvY;
                    }
                }
            }
        EXPECT_EQ(anyOdd, halfPel != 0);
    }
}

// A picture moved down by one frame row: each field of the current macroblock is found in the
// other parity's reference field. FieldSelect is the parity of BestY, and MvY counts field
// rows: the top field matches the bottom reference field on the same field row (MvY 0), the
// bottom field matches the top reference field one field row down (MvY 2).
TEST_F(FastSearchTest, FieldResultsFollowTheReferenceFieldParity) {
    PaintScene(Ref, {});
    PaintScene(Cur, {.PanY = 1});
    auto search = Create(true, MotionSearchPictureType_P);
    for (int32_t y = 16; y <= 64; y += 16)
        for (int32_t x = 16; x <= 64; x += 16) {
            TMotionSearchResult frame, top, bottom;
            search->SearchFieldMode(x, y, MotionSearchFieldMode_FieldOnly, frame, top, bottom);
            EXPECT_EQ(frame.Cost, kMotionCostNotSearched);
            EXPECT_EQ(top.FieldSelect, 1);
            EXPECT_EQ(top.BestY, y + 1);
            EXPECT_EQ(top.MvY, 0);
            EXPECT_EQ(top.Cost, 0);
            EXPECT_EQ(bottom.FieldSelect, 0);
            EXPECT_EQ(bottom.BestY, y + 2);
            EXPECT_EQ(bottom.MvY, 2);
            EXPECT_EQ(bottom.Cost, 0);
        }
}

// On any content a field result names the field of its BestY.
TEST_F(FastSearchTest, FieldSelectIsTheParityOfBestY) {
    PaintScene(Ref, {.Seed = 11});
    PaintScene(Cur, {.PanX = -2.5, .PanY = 3.5, .ObjectX = 50, .ObjectY = 10, .Seed = 12});
    auto search = Create(true, MotionSearchPictureType_P);
    for (int32_t y = 0; y < H; y += 16)
        for (int32_t x = 0; x < W; x += 16) {
            TMotionSearchResult frame, top, bottom;
            search->SearchFieldMode(x, y, MotionSearchFieldMode_FieldOnly, frame, top, bottom);
            for (const TMotionSearchResult* r : {&top, &bottom}) {
                EXPECT_EQ(r->FieldSelect, r->BestY & 1);
                // Unrefined, MvY is the field row of BestY in half samples; refinement moves it
                // by at most one half sample.
                EXPECT_LE(std::abs(r->MvY - (2 * (r->BestY / 2) - y)), 1);
            }
        }
}

struct TModeCase {
    const char* Name;
    int32_t Mode;
    int32_t FrameCost; // cost of the macroblock at every candidate (flat reference)
    bool FrameSearched;
    bool FieldsSearched;
};

class FastSearchFieldModeTest : public FastSearchTest, public ::testing::WithParamInterface<TModeCase> {};

// The reference is flat, so every candidate costs the same and the zero vector stays; the
// macroblock at (32, 32) is raised to give the frame cost of the case.
TEST_P(FastSearchFieldModeTest, ModeAndFrameCostDecideWhichPredictionsAreSearched) {
    const TModeCase tc = GetParam();
    for (int32_t y = 0; y < H; ++y)
        for (int32_t x = 0; x < W; ++x)
            Ref.Luma(x, y) = Cur.Luma(x, y) = 100;
    const int32_t raise = (tc.FrameCost + 255) / 256;
    for (int32_t y = 32; y < 48; ++y)
        for (int32_t x = 32; x < 48; ++x)
            Cur.Luma(x, y) = static_cast<uint8_t>(100 + raise);
    Cur.Luma(40, 40) = static_cast<uint8_t>(100 + raise - (256 * raise - tc.FrameCost));
    auto search = Create(true, MotionSearchPictureType_P);
    TMotionSearchResult frame, top, bottom;
    search->SearchFieldMode(32, 32, tc.Mode, frame, top, bottom);
    if (tc.FrameSearched)
        EXPECT_EQ(frame.Cost, tc.FrameCost);
    else
        EXPECT_EQ(frame.Cost, kMotionCostNotSearched);
    for (const TMotionSearchResult* r : {&top, &bottom}) {
        if (tc.FieldsSearched) {
            EXPECT_GE(r->Cost, 0);
        } else {
            EXPECT_EQ(r->Cost, kMotionCostNotSearched);
            EXPECT_EQ(r->MvX, 0);
            EXPECT_EQ(r->MvY, 0);
            EXPECT_EQ(r->BestX, 32);
            EXPECT_EQ(r->BestY, 32);
        }
    }
    EXPECT_EQ(Record.Field.empty(), !tc.FieldsSearched);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FastSearchFieldModeTest,
    ::testing::Values(TModeCase{"AutoBelowThreshold", MotionSearchFieldMode_Auto, 4095, true, false},
                      TModeCase{"AutoAtThreshold", MotionSearchFieldMode_Auto, 4096, true, true},
                      TModeCase{"AutoIdentical", MotionSearchFieldMode_Auto, 0, true, false},
                      TModeCase{"FrameOnly", MotionSearchFieldMode_FrameOnly, 5120, true, false},
                      TModeCase{"FieldOnly", MotionSearchFieldMode_FieldOnly, 0, false, true},
                      TModeCase{"FieldOnlyCostly", MotionSearchFieldMode_FieldOnly, 5120, false, true}),
    [](const ::testing::TestParamInfo<TModeCase>& c) { return c.param.Name; });

} // namespace
} // namespace quillset
