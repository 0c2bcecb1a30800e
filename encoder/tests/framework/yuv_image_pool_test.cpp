// Plane buffers, their sizes and recycling, and images that share them.
#include "encoder/framework/yuv_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "encoder/framework/mpeg_errors.h"

namespace quillset {
namespace {

TMPEGVideo_YUVImageFormat MakeFormat(int32_t chromaFormat, int32_t width, int32_t height) {
    TMPEGVideo_YUVImageFormat format;
    format.ChromaFormat = chromaFormat;
    format.Width = width;
    format.Height = height;
    format.PictureWidth = width;
    format.PictureHeight = height;
    return format;
}

// The format a pool stores for a request: rounded to 16, chroma derived.
TMPEGVideo_YUVImageFormat RoundedFormat(int32_t chromaFormat, int32_t width, int32_t height) {
    TMPEGVideo_YUVImageFormat format = MakeFormat(chromaFormat, (width + 15) / 16 * 16, (height + 15) / 16 * 16);
    format.ChromaWidth = format.Width / 2;
    format.ChromaHeight = chromaFormat == 1 ? format.Height / 2 : format.Height;
    return format;
}

struct SizeCase {
    int32_t ChromaFormat, Width, Height;
    int32_t LumaStride, LumaHeight, ChromaStride, ChromaHeight;
};

TEST(YUVImageTest, PlanesAreRoundedToMacroblocksAndLaidOutWithoutGaps) {
    const SizeCase cases[] = {
        {1, 720, 480, 720, 480, 360, 240},
        {1, 352, 240, 352, 240, 176, 120},
        {1, 350, 238, 352, 240, 176, 120},
        {1, 704, 576, 704, 576, 352, 288},
        {2, 720, 480, 720, 480, 360, 480},
        {2, 1, 1, 16, 16, 8, 16},
        {1, 17, 33, 32, 48, 16, 24},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.ChromaFormat << " " << c.Width << "x" << c.Height);
        TMPEGVideo_YUVImageFormat format = MakeFormat(c.ChromaFormat, c.Width, c.Height);
        format.PictureWidth = c.Width - 1;
        format.FieldChroma = 1;
        format.MPEG2 = 1;
        format.Option = 7;
        TMPEGVideo_YUVImage image(nullptr, format);
        EXPECT_EQ(image.LumaStride, c.LumaStride);
        EXPECT_EQ(image.LumaHeight, c.LumaHeight);
        EXPECT_EQ(image.ChromaStride, c.ChromaStride);
        EXPECT_EQ(image.ChromaHeight, c.ChromaHeight);
        EXPECT_EQ(image.Size, c.LumaStride * c.LumaHeight + 2 * c.ChromaStride * c.ChromaHeight);
        EXPECT_EQ(image.Format.Width, c.LumaStride);
        EXPECT_EQ(image.Format.Height, c.LumaHeight);
        EXPECT_EQ(image.Format.ChromaWidth, c.ChromaStride);
        EXPECT_EQ(image.Format.ChromaHeight, c.ChromaHeight);
        // The other fields are kept as requested.
        EXPECT_EQ(image.Format.PictureWidth, c.Width - 1);
        EXPECT_EQ(image.Format.PictureHeight, c.Height);
        EXPECT_EQ(image.Format.FieldChroma, 1);
        EXPECT_EQ(image.Format.MPEG2, 1);
        EXPECT_EQ(image.Format.Option, 7);

        EXPECT_EQ(reinterpret_cast<uintptr_t>(image.Memory) % 32, 0u);
        EXPECT_EQ(image.Y, image.Memory);
        EXPECT_EQ(image.Cb, image.Y + c.LumaStride * c.LumaHeight);
        EXPECT_EQ(image.Cr, image.Cb + c.ChromaStride * c.ChromaHeight);
        EXPECT_EQ(image.LumaRow(3), image.Y + 3 * c.LumaStride);
        EXPECT_EQ(image.CbRow(2), image.Cb + 2 * c.ChromaStride);
        EXPECT_EQ(image.CrRow(c.ChromaHeight - 1), image.Cr + (c.ChromaHeight - 1) * c.ChromaStride);
        // The planes and 128 bytes of slack beyond them are usable (AddressSanitizer checks).
        std::memset(image.Memory, 0x5A, static_cast<size_t>(image.Size) + 128);
        EXPECT_EQ(image.Buffer->RefCount, 1);
        EXPECT_EQ(image.Buffer->Pool, nullptr);
    }
}

TEST(YUVImageTest, FormatsThatCannotBeHeldAreIllegalPictures) {
    const TMPEGVideo_YUVImageFormat formats[] = {
        MakeFormat(0, 352, 288),      // a zeroed format
        MakeFormat(3, 352, 288),      // 4:4:4 has no chroma divisors here
        MakeFormat(-1, 352, 288),
        MakeFormat(1, -16, 288),
        MakeFormat(1, 352, -1),
        MakeFormat(2, 65536, 65536),  // planes beyond 2^31 bytes
    };
    TMPEGVideo_YUVImagePool pool(4);
    for (const TMPEGVideo_YUVImageFormat& format : formats) {
        SCOPED_TRACE(::testing::Message() << format.ChromaFormat << " " << format.Width << "x" << format.Height);
        try {
            TMPEGVideo_YUVImage image(&pool, format);
            ADD_FAILURE() << "accepted";
        } catch (const EMPEGVideoEncoderYUVError& error) {
            EXPECT_EQ(error.ErrorCode, MPEGError_IllegalPicture);
            EXPECT_EQ(error.Message(), "Illegal picture");
        }
        EXPECT_THROW(TMPEGVideo_YUVImage(nullptr, format), EMPEGVideoEncoderYUVError);
        EXPECT_EQ(pool.GetBufferCount(), 0u);
    }
}

TEST(YUVImagePoolTest, IdleBufferOfTheSameStoredFormatIsReused) {
    TMPEGVideo_YUVImagePool pool(8);
    const TMPEGVideo_YUVImageFormat format = RoundedFormat(1, 352, 240);
    uint8_t* memory = nullptr;
    {
        TMPEGVideo_YUVImage image(&pool, format);
        memory = image.Memory;
        EXPECT_EQ(image.Buffer->Pool, &pool);
    }
    EXPECT_EQ(pool.GetBufferCount(), 1u);
    {
        TMPEGVideo_YUVImage image(&pool, format);
        EXPECT_EQ(image.Memory, memory);
        // A busy buffer is never handed out twice.
        TMPEGVideo_YUVImage second(&pool, format);
        EXPECT_NE(second.Memory, memory);
    }
    EXPECT_EQ(pool.GetBufferCount(), 2u);

    // Any field that differs, flags included, needs a buffer of its own.
    TMPEGVideo_YUVImageFormat mpeg2 = format;
    mpeg2.MPEG2 = 1;
    TMPEGVideo_YUVImageFormat option = format;
    option.Option = 1;
    TMPEGVideo_YUVImageFormat picture = format;
    picture.PictureHeight = 238;
    for (const TMPEGVideo_YUVImageFormat& other : {mpeg2, option, picture}) {
        const size_t before = pool.GetBufferCount();
        TMPEGVideo_YUVImage image(&pool, other);
        EXPECT_EQ(pool.GetBufferCount(), before + 1);
    }
}

TEST(YUVImagePoolTest, RequestThatIsNotRoundedNeverMatchesAStoredFormat) {
    TMPEGVideo_YUVImagePool pool(0); // keeps every buffer
    const TMPEGVideo_YUVImageFormat request = MakeFormat(1, 350, 238);
    { TMPEGVideo_YUVImage image(&pool, request); }
    { TMPEGVideo_YUVImage image(&pool, request); }
    EXPECT_EQ(pool.GetBufferCount(), 2u);
}

TEST(YUVImagePoolTest, CapacityDecidesWhetherAReleasedBufferIsKept) {
    TMPEGVideo_YUVImagePool pool(2);
    EXPECT_EQ(pool.GetCapacity(), 2);
    const TMPEGVideo_YUVImageFormat format = RoundedFormat(1, 64, 32);
    auto a = std::make_unique<TMPEGVideo_YUVImage>(&pool, format);
    auto b = std::make_unique<TMPEGVideo_YUVImage>(&pool, format);
    auto c = std::make_unique<TMPEGVideo_YUVImage>(&pool, format);
    EXPECT_EQ(pool.GetBufferCount(), 3u);
    uint8_t* const memoryB = b->Memory;
    a.reset(); // three in the list: freed
    EXPECT_EQ(pool.GetBufferCount(), 2u);
    b.reset(); // two in the list: stays idle
    EXPECT_EQ(pool.GetBufferCount(), 2u);
    auto d = std::make_unique<TMPEGVideo_YUVImage>(&pool, format);
    EXPECT_EQ(d->Memory, memoryB);
    EXPECT_EQ(pool.GetBufferCount(), 2u);
}

TEST(YUVImageTest, SharedImagesSeeTheSameMemoryAndHoldTheBufferTogether) {
    TMPEGVideo_YUVImagePool pool(4);
    const TMPEGVideo_YUVImageFormat format = RoundedFormat(2, 48, 32);
    auto first = std::make_unique<TMPEGVideo_YUVImage>(&pool, format);
    std::unique_ptr<TMPEGVideo_YUVImage> second = TMPEGVideo_YUVImage::CreateShared(*first);
    EXPECT_EQ(second->Buffer, first->Buffer);
    EXPECT_EQ(first->Buffer->RefCount, 2);
    EXPECT_EQ(second->Format, first->Format);
    EXPECT_EQ(second->Cr, first->Cr);
    first->LumaRow(5)[7] = 99;
    EXPECT_EQ(second->LumaRow(5)[7], 99);
    second->CrRow(1)[2] = 42;
    EXPECT_EQ(first->CrRow(1)[2], 42);

    uint8_t* const memory = first->Memory;
    first.reset();
    EXPECT_EQ(second->Buffer->RefCount, 1);
    {
        // Still busy: a new image gets another buffer.
        TMPEGVideo_YUVImage other(&pool, format);
        EXPECT_NE(other.Memory, memory);
    }
    EXPECT_EQ(second->LumaRow(5)[7], 99);
    second.reset();
    TMPEGVideo_YUVImage again(&pool, format);
    EXPECT_EQ(again.Memory, memory);
}

TEST(YUVImageTest, ImagesWithoutAPoolAndImagesThatOutliveTheirPool) {
    // Without a pool the last image frees the buffer (a leak or a double free shows under
    // AddressSanitizer).
    auto alone = std::make_unique<TMPEGVideo_YUVImage>(nullptr, RoundedFormat(1, 32, 32));
    auto shared = TMPEGVideo_YUVImage::CreateShared(*alone);
    alone.reset();
    std::memset(shared->Memory, 1, static_cast<size_t>(shared->Size));
    shared.reset();

    auto pool = std::make_unique<TMPEGVideo_YUVImagePool>(4);
    const TMPEGVideo_YUVImageFormat format = RoundedFormat(1, 32, 32);
    auto busy = std::make_unique<TMPEGVideo_YUVImage>(pool.get(), format);
    auto busyShared = TMPEGVideo_YUVImage::CreateShared(*busy);
    { TMPEGVideo_YUVImage idle(pool.get(), format); }
    EXPECT_EQ(pool->GetBufferCount(), 2u);
    pool.reset(); // frees the idle buffer, detaches the busy one
    EXPECT_EQ(busy->Buffer->Pool, nullptr);
    std::memset(busy->Memory, 2, static_cast<size_t>(busy->Size));
    busy.reset();
    EXPECT_EQ(busyShared->Memory[0], 2);
    busyShared.reset();
}

TEST(YUVImageTest, ImageLockIsReentrant) {
    std::lock_guard outer(ImageLock());
    // Creating and destroying images takes the lock again on the same thread.
    TMPEGVideo_YUVImagePool pool(1);
    TMPEGVideo_YUVImage image(&pool, RoundedFormat(1, 16, 16));
    auto shared = TMPEGVideo_YUVImage::CreateShared(image);
    EXPECT_EQ(image.Buffer->RefCount, 2);
}

} // namespace
} // namespace quillset
