// The properties every search family must keep, checked on every class in frame and field
// mode: an unchanged macroblock costs 0 without any further measuring, border macroblocks never
// read outside the reference picture, vectors stay on full samples without HalfPel, a field
// result's FieldSelect is the parity of its BestY, and the modes of SearchFieldMode; plus the
// class constants that reach the package parameter blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "encoder/tests/video/motion/motion_test_support.h"
#include "encoder/video/motion/fast_search.h"
#include "encoder/video/motion/fast_zoom_search.h"
#include "encoder/video/motion/motion_estimate.h"
#include "encoder/video/motion/rgb_zoom_search.h"
#include "encoder/video/motion/zoom_search.h"

namespace quillset {
namespace {

using testing::PaintScene;
using testing::ReferenceKernels;
using testing::TTestPicture;

const std::vector<TMotionSearchClass>& AllClasses() {
    static const std::vector<TMotionSearchClass> classes = {
        &TMotionSearch_FrameMode_FastSearch::ClassInfo,
        &TMotionSearch_FieldMode_FastSearch::ClassInfo,
        &TMotionSearch_FrameMode_FastZoomSearch::ClassInfo,
        &TMotionSearch_FieldMode_FastZoomSearch::ClassInfo,
        &TMotionSearch_FrameMode_ZoomSearch_Normal::ClassInfo,
        &TMotionSearch_FrameMode_ZoomSearch_Slow::ClassInfo,
        &TMotionSearch_FieldMode_ZoomSearch_Normal::ClassInfo,
        &TMotionSearch_FieldMode_ZoomSearch_Slow::ClassInfo,
        &TMotionSearch_FieldMode_ZoomSearch_HighCQ::ClassInfo,
        &TMotionSearch_FrameMode_RGBZoomSearch_HighCQ::ClassInfo,
        &TMotionSearch_FrameMode_MotionEstimate::ClassInfo,
        &TMotionSearch_FieldMode_MotionEstimate::ClassInfo,
    };
    return classes;
}

// The frame result of any class: field-mode classes answer through SearchFieldMode mode 1
// (the field-mode MotionEstimate class has no frame search of its own).
void SearchFrameOf(TMotionSearch& search, bool fieldMode, int32_t x, int32_t y, TMotionSearchResult& frame) {
    TMotionSearchResult top, bottom;
    if (fieldMode)
        search.SearchFieldMode(x, y, MotionSearchFieldMode_FrameOnly, frame, top, bottom);
    else
        search.SearchFrame(x, y, frame);
}

// Counting and checking block measures. Every luma measure checks that the block it reads
// (with the extra row and column of the half-sample variants) lies inside the reference plane.
struct TProbe {
    const uint8_t* Plane = nullptr;
    int32_t Width = 0, Height = 0;
    int32_t LumaCalls = 0, SumCalls = 0, RgbCalls = 0, Outside = 0;
};
TProbe probe;
TKernelTable reference = ReferenceKernels();

void Check(const uint8_t* ref, int32_t pitch, int32_t rows, int32_t columns) {
    const ptrdiff_t offset = ref - probe.Plane;
    if (offset < 0 || offset >= ptrdiff_t{probe.Width} * probe.Height) {
        ++probe.Outside;
        return;
    }
    const int32_t row = static_cast<int32_t>(offset / probe.Width), column = static_cast<int32_t>(offset % probe.Width);
    const int32_t step = pitch / probe.Width;
    if (column + columns > probe.Width || row + (rows - 1) * step >= probe.Height)
        ++probe.Outside;
}

template <int Rows, int ExtraRow, int ExtraColumn, TBlockMeasureKernel TKernelTable::*Slot>
int32_t Probed(const uint8_t* cur, const uint8_t* ref, int32_t pitch) {
    ++probe.LumaCalls;
    Check(ref, pitch, Rows + ExtraRow, 16 + ExtraColumn);
    return (reference.*Slot)(cur, ref, pitch);
}
int32_t ProbedSums(const uint16_t* cur, const uint16_t* ref, int32_t pitch) {
    ++probe.SumCalls;
    return reference.SseSums4x4(cur, ref, pitch);
}
int32_t ProbedSumsBest(const uint16_t* cur, const uint16_t* a, int32_t pitch, const uint16_t* b) {
    ++probe.SumCalls;
    return reference.SseSums4x4Best(cur, a, pitch, b);
}
int32_t ProbedRgb(const uint8_t* cur, const uint8_t* ref, int32_t pitch) {
    ++probe.RgbCalls;
    return reference.SadRgb16x16(cur, ref, pitch);
}

TKernelTable ProbingKernels() {
    TKernelTable k = ReferenceKernels();
    k.Sad16x16 = Probed<16, 0, 0, &TKernelTable::Sad16x16>;
    k.Sad16x16V = Probed<16, 1, 0, &TKernelTable::Sad16x16V>;
    k.Sad16x16H = Probed<16, 0, 1, &TKernelTable::Sad16x16H>;
    k.Sad16x16HV = Probed<16, 1, 1, &TKernelTable::Sad16x16HV>;
    k.Sad16x8 = Probed<8, 0, 0, &TKernelTable::Sad16x8>;
    k.Sad16x8V = Probed<8, 1, 0, &TKernelTable::Sad16x8V>;
    k.Sad16x8H = Probed<8, 0, 1, &TKernelTable::Sad16x8H>;
    k.Sad16x8HV = Probed<8, 1, 1, &TKernelTable::Sad16x8HV>;
    k.SseSums4x4 = ProbedSums;
    k.SseSums4x4Best = ProbedSumsBest;
    k.SadRgb16x16 = ProbedRgb;
    return k;
}

struct TPictures {
    TTestPicture Reference{160, 96, MotionSearchPictureType_P, 0};
    TTestPicture Middle{160, 96, MotionSearchPictureType_B, 1};
    TTestPicture Current{160, 96, MotionSearchPictureType_P, 2};
    TPictures() {
        Reference.Next = &Middle;
        Middle.Prev = &Reference;
        Middle.Next = &Current;
        Current.Prev = &Middle;
    }
};

class SearchFamilyTest : public ::testing::TestWithParam<TMotionSearchClass> {};

TEST_P(SearchFamilyTest, UnchangedMacroblocksCostNothingWithoutSearching) {
    const TMotionSearchClass cls = GetParam();
    TPictures p;
    for (TTestPicture* picture : {&p.Reference, &p.Middle, &p.Current})
        PaintScene(*picture, {.PanX = 0, .PanY = 0, .Seed = 7});
    TMotionSearchParams params;
    params.HalfPel = params.AlwaysHalfPel = 1;
    params.PictureRate = 25;
    const TKernelTable k = ProbingKernels();
    auto search = CreateMotionSearch(cls, k, p.Reference, p.Current, params);
    probe = {p.Reference.Image->Y, 160, 96};
    for (int32_t y = 0; y < 96; y += 16)
        for (int32_t x = 0; x < 160; x += 16) {
            probe.LumaCalls = probe.SumCalls = probe.RgbCalls = 0;
            TMotionSearchResult frame;
            SearchFrameOf(*search, cls->FieldMode, x, y, frame);
            EXPECT_EQ(frame.Cost, 0);
            EXPECT_EQ(frame.MvX, 0);
            EXPECT_EQ(frame.MvY, 0);
            EXPECT_EQ(frame.BestX, x);
            EXPECT_EQ(frame.BestY, y);
            // One measure of the zero vector (RGB: on RGB and on luma), no coarse search.
            EXPECT_EQ(probe.LumaCalls, 1) << "(" << x << ", " << y << ")";
            EXPECT_EQ(probe.SumCalls, 0);
            EXPECT_LE(probe.RgbCalls, 1);
            if (!cls->FieldMode)
                continue;
            TMotionSearchResult top, bottom;
            search->SearchFieldMode(x, y, MotionSearchFieldMode_FieldOnly, frame, top, bottom);
            EXPECT_EQ(frame.Cost, kMotionCostNotSearched);
            // The top field's zero vector is the same field of the reference. The FastZoom and
            // MotionEstimate field searches also start from the bottom reference field at zero
            // vector, so they find the bottom field unchanged too.
            const bool bothZeroVectors = cls == &TMotionSearch_FieldMode_FastZoomSearch::ClassInfo ||
                                         cls == &TMotionSearch_FieldMode_MotionEstimate::ClassInfo;
            for (int32_t parity : {0, 1}) {
                const TMotionSearchResult& r = parity == 0 ? top : bottom;
                EXPECT_EQ(r.FieldSelect, r.BestY & 1);
                if (parity == 1 && !bothZeroVectors)
                    continue;
                EXPECT_EQ(r.Cost, 0) << "parity " << parity;
                EXPECT_EQ(r.FieldSelect, parity);
                EXPECT_EQ(r.MvX, 0);
                EXPECT_EQ(r.MvY, 0);
            }
            // Mode 0: a frame cost below T leaves both fields unsearched.
            search->SearchFieldMode(x, y, MotionSearchFieldMode_Auto, frame, top, bottom);
            EXPECT_EQ(frame.Cost, 0);
            EXPECT_EQ(top.Cost, kMotionCostNotSearched);
            EXPECT_EQ(bottom.Cost, kMotionCostNotSearched);
        }
}

// A fast pan with a moving object: border macroblocks are pulled outward, yet no measure reads
// outside the reference; with HalfPel clear every vector is even; field results select the
// reference field of their BestY.
TEST_P(SearchFamilyTest, StaysInsideThePictureAndKeepsItsVectorRules) {
    const TMotionSearchClass cls = GetParam();
    TPictures p;
    PaintScene(p.Reference, {.PanX = 0, .PanY = 0, .ObjectX = 0, .ObjectY = 0, .ObjectSize = 40, .Seed = 1});
    PaintScene(p.Middle, {.PanX = 5, .PanY = 3, .ObjectX = 6, .ObjectY = 4, .ObjectSize = 40, .Seed = 2});
    PaintScene(p.Current, {.PanX = 10.5, .PanY = 6.5, .ObjectX = 12, .ObjectY = 9, .ObjectSize = 40, .Seed = 3});
    const TKernelTable k = ProbingKernels();
    for (uint8_t halfPel : {0, 1}) {
        SCOPED_TRACE("HalfPel " + std::to_string(halfPel));
        TMotionSearchParams params;
        params.HalfPel = halfPel;
        params.AlwaysHalfPel = 1;
        params.IsMpeg2 = 1;
        params.PictureRate = 25;
        auto search = CreateMotionSearch(cls, k, p.Reference, p.Current, params);
        probe = {p.Reference.Image->Y, 160, 96};
        int32_t moved = 0;
        for (int32_t y = 0; y < 96; y += 16)
            for (int32_t x = 0; x < 160; x += 16) {
                TMotionSearchResult r[3];
                if (cls->FieldMode)
                    search->SearchFieldMode(x, y, MotionSearchFieldMode_FieldOnly, r[0], r[1], r[2]);
                SearchFrameOf(*search, cls->FieldMode, x, y, r[0]);
                for (int32_t i = 0; i < (cls->FieldMode ? 3 : 1); ++i) {
                    moved += r[i].MvX != 0 || r[i].MvY != 0;
                    EXPECT_GE(r[i].BestX, 0);
                    EXPECT_LE(r[i].BestX, 144);
                    EXPECT_GE(r[i].BestY, 0);
                    EXPECT_LE(r[i].BestY, i == 0 ? 80 : 81);
                    if (i > 0) {
                        EXPECT_EQ(r[i].FieldSelect, r[i].BestY & 1);
                    }
                    if (!halfPel) {
                        EXPECT_EQ(r[i].MvX % 2, 0);
                        EXPECT_EQ(r[i].MvY % 2, 0);
                    }
                }
            }
        EXPECT_EQ(probe.Outside, 0);
        EXPECT_GT(moved, 20); // the searches did follow the pan
    }
}

INSTANTIATE_TEST_SUITE_P(Classes, SearchFamilyTest, ::testing::ValuesIn(AllClasses()),
                         [](const ::testing::TestParamInfo<TMotionSearchClass>& c) {
                             return std::string(c.param->Name).substr(std::string("TMotionSearch_").size());
                         });

// The constants of the classes as their packages receive them.
TEST(SearchFamilyBlockTest, CarriesTheClassConstants) {
    TTestPicture reference(720, 480, MotionSearchPictureType_P, 0), current(720, 480, MotionSearchPictureType_P, 1);
    const TKernelTable k = ReferenceKernels();
    TMotionSearchParams params;
    params.PictureRate = 30000.0 / 1001;
    params.IsMpeg2 = 1;
    struct TZoomCase {
        TMotionSearchClass Class;
        int32_t N1, N2, N3, Pre, FieldCoarse, Fine;
    };
    // Nd at one picture apart: trunc((720 div 4 + 255) x sqrt(5 / 29.97 + 0.5)) = 355.
    for (const TZoomCase& c : {TZoomCase{&TMotionSearch_FrameMode_ZoomSearch_Normal::ClassInfo, 256, 64, 64, 0, 0, 0},
                               TZoomCase{&TMotionSearch_FrameMode_ZoomSearch_Slow::ClassInfo, 256, 256, 256, 0, 0, 0},
                               TZoomCase{&TMotionSearch_FieldMode_ZoomSearch_Normal::ClassInfo, 355, 64, 64, 0, 355, 64},
                               TZoomCase{&TMotionSearch_FieldMode_ZoomSearch_Slow::ClassInfo, 495, 144, 144, 144, 495, 144},
                               TZoomCase{&TMotionSearch_FieldMode_ZoomSearch_HighCQ::ClassInfo, 615, 256, 256, 256, 615,
                                         256}}) {
        SCOPED_TRACE(c.Class->Name);
        auto search = CreateMotionSearch(c.Class, k, reference, current, params);
        const TZoomSearchPackageParams& b =
            static_cast<TMotionSearch_FrameMode_ZoomSearch_Base&>(*search).GetPackageParams();
        EXPECT_EQ(b.CoarseCount, c.N1);
        EXPECT_EQ(b.FineCount, c.N2);
        EXPECT_EQ(b.SecondCount, c.N3);
        EXPECT_EQ(b.FieldPreSearchCount, c.Pre);
        EXPECT_EQ(b.FieldCoarseCount, c.FieldCoarse);
        EXPECT_EQ(b.FieldFineCount, c.Fine);
        EXPECT_EQ(b.SumMaxX, 176);
        EXPECT_EQ(b.SumMaxY, 116);
        EXPECT_EQ(b.SumPitch, 368);
        EXPECT_EQ(b.ReferenceTopSums != nullptr, c.Class->FieldMode);
    }
    // Nd grows with the distance between the pictures, up to d at a fifth of a second and more.
    EXPECT_EQ(TMotionSearch_FieldMode_ZoomSearch_Normal::CoarseCount(720, 480, 3, 30000.0 / 1001), 435);
    EXPECT_EQ(TMotionSearch_FieldMode_ZoomSearch_Normal::CoarseCount(720, 480, -1, 30000.0 / 1001), 355);
    EXPECT_EQ(TMotionSearch_FieldMode_ZoomSearch_Normal::CoarseCount(4096, 4096, 9, 25), 1024);

    for (bool fieldMode : {false, true}) {
        auto fast = CreateMotionSearch(fieldMode ? &TMotionSearch_FieldMode_FastZoomSearch::ClassInfo
                                                 : &TMotionSearch_FrameMode_FastZoomSearch::ClassInfo,
                                       k, reference, current, params);
        const auto& steps = static_cast<TMotionSearch_FrameMode_FastZoomSearch&>(*fast).GetPackageParams().Steps;
        EXPECT_EQ(std::vector<int32_t>(steps, steps + 4),
                  (fieldMode ? std::vector<int32_t>{4, 4, 4, 4} : std::vector<int32_t>{4, 0, 4, 0}));
    }
    for (uint8_t mpeg2 : {0, 1}) {
        params.IsMpeg2 = mpeg2;
        auto me = CreateMotionSearch(&TMotionSearch_FrameMode_MotionEstimate::ClassInfo, k, reference, current, params);
        const auto& b = static_cast<TMotionSearch_FrameMode_MotionEstimate&>(*me).GetPackageParams();
        EXPECT_EQ(b.Radius, mpeg2 ? 28 : 7);
        EXPECT_EQ(b.CurrentHandle, current.Buffers.Get(MotionSearchBufferKind_FrameZoom)->GetHandle());
        EXPECT_EQ(b.ReferenceHandle->DisplayNumber, 0);
    }
    auto rgb = CreateMotionSearch(&TMotionSearch_FrameMode_RGBZoomSearch_HighCQ::ClassInfo, k, reference, current, params);
    const auto& b = static_cast<TMotionSearch_FrameMode_RGBZoomSearch_HighCQ&>(*rgb).GetPackageParams();
    EXPECT_EQ(b.RgbPitch, 2160);
    EXPECT_EQ(b.RgbSumPitch, 1088);
    EXPECT_EQ(b.CoarseCount, 256);
    EXPECT_EQ(b.FineCount, 256);
}

} // namespace
} // namespace quillset
