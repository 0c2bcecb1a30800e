// The search buffers: sum and RGB pictures against naive sums, building once per picture and
// kind, memory recycling, and the handles the packages walk.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "encoder/tests/video/motion/motion_test_support.h"
#include "encoder/video/motion/motion_search_buffer.h"

namespace quillset {
namespace {

using testing::ProcessorKernels;
using testing::TTestPicture;

void FillRandom(TTestPicture& p, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < p.Height(); ++y)
        for (int32_t x = 0; x < p.Width(); ++x)
            p.Luma(x, y) = static_cast<uint8_t>(rng());
    // Extremes where a narrow sum would overflow or sign-extend: a block of 255s.
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x)
            p.Luma(x, y) = 255;
}

uint16_t SumAt(const uint16_t* plane, int32_t pitch, int32_t row, int32_t column) {
    return reinterpret_cast<const uint16_t*>(reinterpret_cast<const uint8_t*>(plane) + row * pitch)[column];
}

int32_t NaiveSum(TTestPicture& p, int32_t x, int32_t y, int32_t rows, int32_t rowStep) {
    int32_t sum = 0;
    for (int32_t r = 0; r < rows; ++r)
        for (int32_t c = 0; c < 4; ++c)
            sum += p.Luma(x + c, y + r * rowStep);
    return sum;
}

struct TSize {
    int32_t W, H;
};

class SumPictureTest : public ::testing::TestWithParam<TSize> {};

TEST_P(SumPictureTest, FrameAndFieldSumsEqualNaiveSums) {
    const TSize size = GetParam();
    TTestPicture p(size.W, size.H);
    FillRandom(p, static_cast<uint32_t>(size.W * 1000 + size.H));
    const TKernelTable k = ProcessorKernels();
    auto* buffer = static_cast<TMotionSearchBuffer_FieldMode_ZoomSearch*>(
        GetMotionSearchBuffer(p, &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo, k));
    const int32_t w4 = size.W / 4, h4 = size.H / 4;
    ASSERT_EQ(buffer->GetSumWidth(), w4);
    ASSERT_EQ(buffer->GetSumHeight(), h4);
    EXPECT_EQ(buffer->GetSumPitch(), (2 * w4 + 15) / 16 * 16);
    for (int32_t r = 0; r < h4; ++r)
        for (int32_t c = 0; c < w4; ++c) {
            ASSERT_EQ(SumAt(buffer->GetFrameSums(), buffer->GetSumPitch(), r, c), NaiveSum(p, 4 * c, 4 * r, 4, 1))
                << r << "," << c;
            ASSERT_EQ(SumAt(buffer->GetTopFieldSums(), buffer->GetSumPitch(), r, c), NaiveSum(p, 4 * c, 4 * r, 2, 2));
            ASSERT_EQ(SumAt(buffer->GetBottomFieldSums(), buffer->GetSumPitch(), r, c),
                      NaiveSum(p, 4 * c, 4 * r + 1, 2, 2));
        }
    const TMotionSearchBufferHandle* h = buffer->GetHandle();
    EXPECT_EQ(h->Buffer, buffer);
    EXPECT_EQ(h->Y, p.Image->Y);
    EXPECT_EQ(h->FrameSums, buffer->GetFrameSums());
    EXPECT_EQ(h->TopFieldSums, buffer->GetTopFieldSums());
    EXPECT_EQ(h->BottomFieldSums, buffer->GetBottomFieldSums());

    // The frame-mode buffer of the same picture is a separate kind with the same frame sums.
    auto* frame = static_cast<TMotionSearchBuffer_FrameMode_ZoomSearch*>(
        GetMotionSearchBuffer(p, &TMotionSearchBuffer_FrameMode_ZoomSearch::ClassInfo, k));
    ASSERT_NE(static_cast<TMotionSearchBuffer*>(frame), static_cast<TMotionSearchBuffer*>(buffer));
    EXPECT_EQ(frame->GetHandle()->TopFieldSums, nullptr);
    for (int32_t r = 0; r < h4; ++r)
        for (int32_t c = 0; c < w4; ++c)
            ASSERT_EQ(SumAt(frame->GetFrameSums(), frame->GetSumPitch(), r, c),
                      SumAt(buffer->GetFrameSums(), buffer->GetSumPitch(), r, c));
}

// 48 wide: 12 sums of 2 bytes make rows of 24 bytes padded to 32.
INSTANTIATE_TEST_SUITE_P(Sizes, SumPictureTest,
                         ::testing::Values(TSize{48, 32}, TSize{64, 48}, TSize{176, 144}, TSize{720, 480}));

class RgbBufferTest : public ::testing::TestWithParam<int32_t> {};

// The RGB picture is B, G, R in memory and its sums are R, G, B: a strongly red picture must
// show in the first sum and the last byte of each pixel.
TEST_P(RgbBufferTest, SumsEqualNaiveSumsInRgbOrder) {
    const int32_t chromaFormat = GetParam();
    TTestPicture p(80, 48, MotionSearchPictureType_P, 0, nullptr, chromaFormat);
    FillRandom(p, 5);
    for (int32_t r = 0; r < p.Image->ChromaHeight; ++r)
        for (int32_t c = 0; c < p.Image->ChromaStride; ++c) {
            p.Image->CrRow(r)[c] = static_cast<uint8_t>(200 + (r + c) % 40);
            p.Image->CbRow(r)[c] = static_cast<uint8_t>(40 + (r * c) % 30);
        }
    const TKernelTable k = ProcessorKernels();
    auto* buffer = static_cast<TMotionSearchBuffer_FrameMode_RGBZoomSearch*>(
        GetMotionSearchBuffer(p, &TMotionSearchBuffer_FrameMode_RGBZoomSearch::ClassInfo, k));
    EXPECT_EQ(buffer->GetRgbPitch(), (3 * 80 + 15) / 16 * 16);
    EXPECT_EQ(buffer->GetRgbSumPitch(), (6 * 20 + 15) / 16 * 16);
    ASSERT_EQ(buffer->GetRgbSumWidth(), 20);
    ASSERT_EQ(buffer->GetRgbSumHeight(), 12);
    const uint8_t* rgb = buffer->GetRgb();
    int64_t red = 0, blue = 0;
    for (int32_t r = 0; r < 12; ++r)
        for (int32_t c = 0; c < 20; ++c) {
            int32_t sums[3] = {0, 0, 0};
            for (int32_t y = 4 * r; y < 4 * r + 4; ++y)
                for (int32_t x = 4 * c; x < 4 * c + 4; ++x) {
                    const uint8_t* px = rgb + y * buffer->GetRgbPitch() + 3 * x;
                    sums[0] += px[2];
                    sums[1] += px[1];
                    sums[2] += px[0];
                }
            for (int32_t i = 0; i < 3; ++i)
                ASSERT_EQ(SumAt(buffer->GetRgbSums(), buffer->GetRgbSumPitch(), r, 3 * c + i), sums[i]) << r << c;
            red += sums[0];
            blue += sums[2];
        }
    EXPECT_GT(red, 2 * blue);
}

INSTANTIATE_TEST_SUITE_P(ChromaFormats, RgbBufferTest, ::testing::Values(1, 2));

// Counts the sums computed, to show that a buffer is built exactly once.
std::atomic<int32_t> sumCalls{0};
TBlockSumKernel realSum4x4 = nullptr;
int32_t CountingSum4x4(const uint8_t* src, int32_t pitch) {
    sumCalls.fetch_add(1, std::memory_order_relaxed);
    return realSum4x4(src, pitch);
}

TEST(MotionSearchBufferTest, TwoSearchesAskingAtOnceShareOneBuild) {
    TTestPicture p(176, 144);
    FillRandom(p, 9);
    TKernelTable k = ProcessorKernels();
    realSum4x4 = k.Sum4x4;
    k.Sum4x4 = CountingSum4x4;
    sumCalls = 0;
    std::atomic<int32_t> ready{0};
    TMotionSearchBuffer* got[2] = {};
    auto ask = [&](int32_t i) {
        ready.fetch_add(1);
        while (ready.load() < 2) {
        }
        got[i] = GetMotionSearchBuffer(p, &TMotionSearchBuffer_FrameMode_ZoomSearch::ClassInfo, k);
    };
    std::thread a(ask, 0), b(ask, 1);
    a.join();
    b.join();
    EXPECT_EQ(got[0], got[1]);
    EXPECT_EQ(sumCalls.load(), 44 * 36);
    EXPECT_EQ(GetMotionSearchBuffer(p, &TMotionSearchBuffer_FrameMode_ZoomSearch::ClassInfo, k), got[0]);
    EXPECT_EQ(sumCalls.load(), 44 * 36);
    EXPECT_EQ(p.Buffers.Get(MotionSearchBufferKind_FrameZoom), got[0]);
    EXPECT_EQ(p.Buffers.Get(MotionSearchBufferKind_FieldZoom), nullptr);
}

// Releasing a picture's buffers hands their memory to the pool, and the next picture of the
// same size gets it back instead of a new allocation.
TEST(MotionSearchBufferTest, ReleasedMemoryIsReusedForTheNextPicture) {
    TMotionSearchBufferPool pool;
    const TKernelTable k = ProcessorKernels();
    TTestPicture first(64, 48, MotionSearchPictureType_P, 0, &pool);
    auto* a = static_cast<TMotionSearchBuffer_FieldMode_ZoomSearch*>(
        GetMotionSearchBuffer(first, &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo, k));
    const uint16_t* memory = a->GetFrameSums();
    EXPECT_EQ(pool.GetFreeCount(), 0u);
    first.Buffers.Release();
    EXPECT_EQ(first.Buffers.Get(MotionSearchBufferKind_FieldZoom), nullptr);
    EXPECT_EQ(pool.GetFreeCount(), 1u);

    TTestPicture second(64, 48, MotionSearchPictureType_P, 1, &pool);
    FillRandom(second, 2);
    auto* b = static_cast<TMotionSearchBuffer_FieldMode_ZoomSearch*>(
        GetMotionSearchBuffer(second, &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo, k));
    EXPECT_EQ(b->GetFrameSums(), memory);
    EXPECT_EQ(pool.GetFreeCount(), 0u);
    EXPECT_EQ(SumAt(b->GetBottomFieldSums(), b->GetSumPitch(), 0, 0), NaiveSum(second, 0, 1, 2, 2));
    // A buffer of another size does not take the block.
    second.Buffers.Release();
    TTestPicture other(96, 48, MotionSearchPictureType_P, 2, &pool);
    auto* c = static_cast<TMotionSearchBuffer_FieldMode_ZoomSearch*>(
        GetMotionSearchBuffer(other, &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo, k));
    EXPECT_NE(c->GetFrameSums(), memory);
    EXPECT_EQ(pool.GetFreeCount(), 1u);
}

// The handle carries the low 32 bits of the display number, and its neighbour entries build
// and return the buffer of the same class for the pictures before and after, or null at the ends.
TEST(MotionSearchBufferTest, HandlesWalkToNeighboursInDisplayOrder) {
    const TKernelTable k = ProcessorKernels();
    TTestPicture a(64, 32, MotionSearchPictureType_I, 0x100000005LL);
    TTestPicture b(64, 32, MotionSearchPictureType_B, 0xFFFFFFFFLL);
    TTestPicture c(64, 32, MotionSearchPictureType_P, 7);
    a.Next = &b;
    b.Prev = &a;
    b.Next = &c;
    c.Prev = &b;
    TMotionSearchBuffer* mid = GetMotionSearchBuffer(b, &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo, k);
    TMotionSearchBufferHandle* h = mid->GetHandle();
    EXPECT_EQ(h->DisplayNumber, -1);

    TMotionSearchBufferHandle* prev = h->GetPrevBuffer(h);
    ASSERT_NE(prev, nullptr);
    EXPECT_EQ(prev->DisplayNumber, 5);
    EXPECT_EQ(prev->Buffer, a.Buffers.Get(MotionSearchBufferKind_FieldZoom));
    EXPECT_NE(prev->TopFieldSums, nullptr);
    EXPECT_EQ(prev->GetPrevBuffer(prev), nullptr);

    TMotionSearchBufferHandle* next = h->GetNextBuffer(h);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->DisplayNumber, 7);
    EXPECT_EQ(next->GetNextBuffer(next), nullptr);
    EXPECT_EQ(next->GetPrevBuffer(next), h);
    EXPECT_EQ(GetMotionSearchBuffer(c, &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo, k)->GetHandle(), next);
    EXPECT_EQ(c.Buffers.Get(MotionSearchBufferKind_Plain), nullptr);
}

// "Of the class or a descendant": the field buffer serves frame zoom searches and plain ones;
// the RGB buffer serves plain ones only.
TEST(MotionSearchBufferTest, ClassTestsAcceptDescendants) {
    const TKernelTable k = ProcessorKernels();
    TTestPicture p(64, 32);
    TMotionSearchBuffer* field = GetMotionSearchBuffer(p, &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo, k);
    TMotionSearchBuffer* rgb = GetMotionSearchBuffer(p, &TMotionSearchBuffer_FrameMode_RGBZoomSearch::ClassInfo, k);
    EXPECT_TRUE(TMotionSearchBuffer_FrameMode_ZoomSearch::ClassInfo.IsInstance(*field));
    EXPECT_TRUE(TMotionSearchBuffer::ClassInfo.IsInstance(*field));
    EXPECT_FALSE(TMotionSearchBuffer_FrameMode_ZoomSearch::ClassInfo.IsInstance(*rgb));
    EXPECT_TRUE(TMotionSearchBuffer::ClassInfo.IsInstance(*rgb));
    EXPECT_EQ(field->GetClass(), &TMotionSearchBuffer_FieldMode_ZoomSearch::ClassInfo);
    EXPECT_EQ(rgb->GetClass()->Kind, MotionSearchBufferKind_RGBZoom);
}

} // namespace
} // namespace quillset
