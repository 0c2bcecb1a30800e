// Half-sample refinement, driven through the FastSearch core on planes of exactly the picture's
// size (no slack), so that a read beyond the picture is caught by the address sanitizer.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "encoder/tests/video/motion/motion_test_support.h"
#include "encoder/video/motion/fast_search_core.h"
#include "encoder/video/motion/half_sample_refinement.h"

namespace quillset {
namespace {

using testing::ReferenceKernels;
using testing::Texture;
using testing::ToSample;

struct TPlanes {
    int32_t W;
    int32_t H;
    std::vector<uint8_t> Cur;
    std::vector<uint8_t> Ref;

    TPlanes(int32_t w, int32_t h) : W(w), H(h), Cur(static_cast<size_t>(w * h)), Ref(static_cast<size_t>(w * h)) {}
    uint8_t& C(int32_t x, int32_t y) { return Cur[static_cast<size_t>(y * W + x)]; }
    uint8_t& R(int32_t x, int32_t y) { return Ref[static_cast<size_t>(y * W + x)]; }
    // Reference sample with the picture's edge repeated.
    int32_t RC(int32_t x, int32_t y) {
        x = x < 0 ? 0 : (x >= W ? W - 1 : x);
        y = y < 0 ? 0 : (y >= H ? H - 1 : y);
        return R(x, y);
    }
    TSearchArea Area(bool halfPel, bool always) const {
        TSearchArea a;
        a.Current = Cur.data();
        a.Reference = Ref.data();
        a.Width = W;
        a.Height = H;
        a.HalfPel = halfPel;
        a.AlwaysHalfPel = always;
        return a;
    }
};

// The current picture is an exact half-sample prediction from the reference: the rounded
// average of the reference samples around (x + dx/2, y + dy/2) (ISO/IEC 13818-2, 7.6.4), with
// dx, dy in half samples.
void PredictCurrent(TPlanes& p, int32_t dx, int32_t dy, double contrast) {
    for (int32_t y = 0; y < p.H; ++y)
        for (int32_t x = 0; x < p.W; ++x)
            p.R(x, y) = ToSample(128.0 + contrast * (Texture(x, y) - 128.0));
    const int32_t fx = dx >> 1, fy = dy >> 1, hx = dx & 1, hy = dy & 1;
    for (int32_t y = 0; y < p.H; ++y)
        for (int32_t x = 0; x < p.W; ++x) {
            const int32_t a = p.RC(x + fx, y + fy), b = p.RC(x + fx + 1, y + fy);
            const int32_t c = p.RC(x + fx, y + fy + 1), d = p.RC(x + fx + 1, y + fy + 1);
            int32_t v = a;
            if (hx && hy)
                v = (a + b + c + d + 2) >> 2;
            else if (hx)
                v = (a + b + 1) >> 1;
            else if (hy)
                v = (a + c + 1) >> 1;
            p.C(x, y) = static_cast<uint8_t>(v);
        }
}

struct TFrameCase {
    int32_t Dx, Dy;     // true vector in half samples
    bool GainsOverZero; // the full-sample search beats the zero vector by more than 256
};

class FrameHalfSampleTest : public ::testing::TestWithParam<TFrameCase> {};

// An interior macroblock of a P picture finds the exact half-sample vector with cost 0 when the
// full-sample search gained enough over the zero vector, or always with AlwaysHalfPel; a vector
// next to the zero vector gains nothing and stays at (0, 0) unless AlwaysHalfPel is set. With
// half samples off the vector is a full-sample one (even components).
TEST_P(FrameHalfSampleTest, FindsTheExactVectorOrStaysOnFullSamples) {
    const TFrameCase tc = GetParam();
    TPlanes p(96, 80);
    PredictCurrent(p, tc.Dx, tc.Dy, 1.0);
    const TKernelTable k = ReferenceKernels();
    TMotionSearchResult normal, always, off;
    FastSearchFrame(k, p.Area(true, false), kFastSearchStepPI, 32, 32, normal);
    FastSearchFrame(k, p.Area(true, true), kFastSearchStepPI, 32, 32, always);
    FastSearchFrame(k, p.Area(false, true), kFastSearchStepPI, 32, 32, off);

    EXPECT_EQ(always.MvX, tc.Dx);
    EXPECT_EQ(always.MvY, tc.Dy);
    EXPECT_EQ(always.Cost, 0);
    EXPECT_EQ(always.FieldSelect, 0);
    EXPECT_LE(std::abs(2 * always.BestX - (2 * 32 + tc.Dx)), 1) << "the full-sample best neighbours the vector";
    EXPECT_LE(std::abs(2 * always.BestY - (2 * 32 + tc.Dy)), 1);

    if (tc.GainsOverZero) {
        EXPECT_EQ(normal.MvX, tc.Dx);
        EXPECT_EQ(normal.MvY, tc.Dy);
        EXPECT_EQ(normal.Cost, 0);
    } else {
        EXPECT_EQ(normal.MvX, 0);
        EXPECT_EQ(normal.MvY, 0);
        EXPECT_GT(normal.Cost, 0);
    }

    EXPECT_EQ(off.MvX % 2, 0);
    EXPECT_EQ(off.MvY % 2, 0);
    EXPECT_EQ(off.MvX, 2 * (off.BestX - 32));
    EXPECT_EQ(off.MvY, 2 * (off.BestY - 32));
    EXPECT_GT(off.Cost, 0);
}

INSTANTIATE_TEST_SUITE_P(Vectors, FrameHalfSampleTest,
                         ::testing::Values(TFrameCase{3, 0, true}, TFrameCase{0, -3, true}, TFrameCase{3, -3, true},
                                           TFrameCase{1, 2, true}, TFrameCase{-1, 1, false}));

// A low-contrast picture gains little from the search (cost >= zero cost - 256): the
// refinement runs only when AlwaysHalfPel asks for it.
TEST(HalfSampleRefinementTest, SmallGainRefinesOnlyWhenAlwaysAsked) {
    TPlanes p(64, 64);
    PredictCurrent(p, 1, 0, 0.08);
    const TKernelTable k = ReferenceKernels();
    TMotionSearchResult normal, always;
    const int32_t zeroCost = k.Sad16x16(p.Cur.data() + 16 * 64 + 16, p.Ref.data() + 16 * 64 + 16, 64);
    ASSERT_GT(zeroCost, 0);
    ASSERT_LT(zeroCost, 256);
    FastSearchFrame(k, p.Area(true, false), kFastSearchStepPI, 16, 16, normal);
    FastSearchFrame(k, p.Area(true, true), kFastSearchStepPI, 16, 16, always);
    EXPECT_EQ(normal.MvX % 2, 0);
    EXPECT_EQ(always.MvX, 1);
    EXPECT_LT(always.Cost, normal.Cost);
}

// Neighbours beyond the picture are never measured: the true vector points past the right and
// bottom edges, so the refinement must stop at the last full sample (the planes have no slack).
TEST(HalfSampleRefinementTest, NeverReachesBeyondThePictureEdges) {
    TPlanes p(48, 48);
    PredictCurrent(p, 0, 0, 1.0);
    const TKernelTable k = ReferenceKernels();
    const TSearchArea a = p.Area(true, true);
    struct TCorner {
        int32_t X, Y;
    } corners[] = {{0, 0}, {32, 0}, {0, 32}, {32, 32}};
    for (const TCorner& c : corners) {
        TMotionSearchResult frame;
        RefineFrameHalfSample(k, a, c.X, c.Y, c.X, c.Y, 1000, 100000, frame);
        EXPECT_GE(2 * c.X + frame.MvX, 0);
        EXPECT_LE(2 * c.X + frame.MvX, a.MaxHalfX());
        EXPECT_GE(2 * c.Y + frame.MvY, 0);
        EXPECT_LE(2 * c.Y + frame.MvY, a.MaxHalfY());
        for (int32_t by : {c.Y, c.Y == 0 ? 1 : c.Y - 1}) {
            TMotionSearchResult field;
            RefineFieldHalfSample(k, a, c.X, c.Y, 0, c.X, by, 1000, 100000, kFieldHalfSampleMargin, field);
            const int32_t g = c.Y + field.MvY;
            EXPECT_GE(g, 0);
            EXPECT_LE(2 * (g / 2 + g % 2) + field.FieldSelect, a.MaxY());
            EXPECT_EQ(field.FieldSelect, by % 2);
        }
    }
}

// Field prediction from a field that is the rounded average of two lines of one reference field:
// the vertical half-sample on field rows (MvY odd) in the field of the same parity. The two
// reference fields carry different content, so only the right field can match. (The gain over
// the zero vector is small on a smooth picture, so AlwaysHalfPel asks for the refinement; the
// B step's single ring reaches both reference fields from the zero vector.)
TEST(HalfSampleRefinementTest, FieldVectorsCountHalfSamplesOnFieldRows) {
    TPlanes p(64, 96);
    for (int32_t y = 0; y < p.H; ++y)
        for (int32_t x = 0; x < p.W; ++x)
            p.R(x, y) = ToSample(y % 2 == 0 ? Texture(x, y) : 128.0 + 60.0 * std::sin(0.5 * x) + 50.0 * std::cos(0.25 * y));
    for (int32_t y = 0; y < p.H; ++y)
        for (int32_t x = 0; x < p.W; ++x)
            p.C(x, y) = static_cast<uint8_t>((p.RC(x, y) + p.RC(x, y + 2) + 1) >> 1);
    const TKernelTable k = ReferenceKernels();
    for (int32_t parity : {0, 1}) {
        TMotionSearchResult r;
        FastSearchField(k, p.Area(true, true), kFastSearchStepB, 16, 32, parity, r);
        EXPECT_EQ(r.FieldSelect, parity) << parity;
        EXPECT_EQ(r.BestY % 2, parity);
        EXPECT_EQ(r.MvX, 0);
        EXPECT_EQ(r.MvY, 1) << parity;
        EXPECT_EQ(r.Cost, 0);
    }
}

} // namespace
} // namespace quillset
