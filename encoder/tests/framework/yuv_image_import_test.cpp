// Import and export of outside pictures: size checks, margins, planar copies and the choice of
// the conversion kernel.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/framework/yuv_image.h"
#include "encoder/kernels/kernel_table.h"

namespace quillset {
namespace {

TMPEGVideo_YUVImageFormat MakeFormat(int32_t chromaFormat, int32_t width, int32_t height, int32_t pictureWidth,
                                     int32_t pictureHeight) {
    TMPEGVideo_YUVImageFormat format;
    format.ChromaFormat = chromaFormat;
    format.Width = width;
    format.Height = height;
    format.PictureWidth = pictureWidth;
    format.PictureHeight = pictureHeight;
    return format;
}

void FillImage(const TMPEGVideo_YUVImage& image, uint8_t value) {
    std::memset(image.Memory, value, static_cast<size_t>(image.Size));
}

std::vector<uint8_t> ImageBytes(const TMPEGVideo_YUVImage& image) {
    return std::vector<uint8_t>(image.Memory, image.Memory + image.Size);
}

// A tightly packed planar picture whose bytes tell plane, row and column apart.
std::vector<uint8_t> PlanarPicture(int32_t width, int32_t height, int32_t chromaWidth, int32_t chromaHeight) {
    std::vector<uint8_t> bytes;
    for (int32_t r = 0; r < height; ++r)
        for (int32_t c = 0; c < width; ++c)
            bytes.push_back(static_cast<uint8_t>(1 + (r * 3 + c) % 120));
    for (int plane = 0; plane < 2; ++plane)
        for (int32_t r = 0; r < chromaHeight; ++r)
            for (int32_t c = 0; c < chromaWidth; ++c)
                bytes.push_back(static_cast<uint8_t>(130 + plane * 60 + (r + c * 7) % 50));
    return bytes;
}

TMPEGVideo_PictureDesc Desc(int32_t pixelFormat, int32_t width, int32_t height, uint8_t* pixels, int32_t pitch = 0) {
    return TMPEGVideo_PictureDesc{pixelFormat, width, height, pixels, pitch};
}

TEST(YUVImageImportTest, NoPictureClearsOnImportAndWritesNothingOnExport) {
    TMPEGVideo_YUVImage image(nullptr, MakeFormat(1, 64, 32, 64, 32));
    FillImage(image, 0x55);
    image.Import(Desc(PictureDesc_None, 0, 0, nullptr), nullptr, nullptr);
    for (int32_t i = 0; i < image.LumaStride * image.LumaHeight; ++i)
        ASSERT_EQ(image.Y[i], 0) << i;
    for (int32_t i = 0; i < 2 * image.ChromaStride * image.ChromaHeight; ++i)
        ASSERT_EQ(image.Cb[i], 128) << i;

    std::vector<uint8_t> target(64 * 32 * 2, 0x77);
    image.Export(Desc(PictureDesc_None, 64, 32, target.data()), nullptr, nullptr);
    image.Export(Desc(PictureDesc_None, 1, 1, nullptr), nullptr, nullptr);
    EXPECT_EQ(target, std::vector<uint8_t>(64 * 32 * 2, 0x77));
}

TEST(YUVImageImportTest, PlanarPictureOfTheRoundedSizeIsCopiedWholeBothWays) {
    for (int32_t chromaFormat : {1, 2}) {
        TMPEGVideo_YUVImage image(nullptr, MakeFormat(chromaFormat, 48, 32, 40, 30));
        const int32_t chromaHeight = chromaFormat == 1 ? 16 : 32;
        std::vector<uint8_t> source = PlanarPicture(48, 32, 24, chromaHeight);
        ASSERT_EQ(source.size(), static_cast<size_t>(image.Size));
        const int32_t pixelFormat = chromaFormat == 1 ? PictureDesc_YUV420Planar : PictureDesc_YUV422Planar;
        image.Import(Desc(pixelFormat, 48, 32, source.data()), nullptr, nullptr);
        EXPECT_EQ(ImageBytes(image), source);

        std::vector<uint8_t> target(source.size(), 0);
        image.Export(Desc(pixelFormat, 48, 32, target.data()), nullptr, nullptr);
        EXPECT_EQ(target, source);
    }
}

TEST(YUVImageImportTest, SmallerPlanarPictureFillsTheTopLeftAndLeavesABlackMargin) {
    // 352 x 238 4:2:0 into a 352 x 240 image: 238 luma rows, then 119 Cb and 119 Cr rows of 176.
    TMPEGVideo_YUVImage image(nullptr, MakeFormat(1, 352, 240, 352, 238));
    FillImage(image, 0x55);
    std::vector<uint8_t> source = PlanarPicture(352, 238, 176, 119);
    image.Import(Desc(PictureDesc_YUV420Planar, 352, 238, source.data()), nullptr, nullptr);

    const uint8_t* cbSource = source.data() + 352 * 238;
    const uint8_t* crSource = cbSource + 176 * 119;
    for (int32_t r = 0; r < 238; ++r)
        ASSERT_EQ(std::memcmp(image.LumaRow(r), source.data() + r * 352, 352), 0) << "luma row " << r;
    for (int32_t r = 238; r < 240; ++r)
        for (int32_t c = 0; c < 352; ++c)
            ASSERT_EQ(image.LumaRow(r)[c], 0) << r << "," << c;
    for (int32_t r = 0; r < 119; ++r) {
        ASSERT_EQ(std::memcmp(image.CbRow(r), cbSource + r * 176, 176), 0) << "Cb row " << r;
        ASSERT_EQ(std::memcmp(image.CrRow(r), crSource + r * 176, 176), 0) << "Cr row " << r;
    }
    for (int32_t c = 0; c < 176; ++c) {
        EXPECT_EQ(image.CbRow(119)[c], 128);
        EXPECT_EQ(image.CrRow(119)[c], 128);
    }

    // Export writes the same rows back into a tightly packed picture.
    std::vector<uint8_t> target(source.size(), 0);
    image.Export(Desc(PictureDesc_YUV420Planar, 352, 238, target.data()), nullptr, nullptr);
    EXPECT_EQ(target, source);
}

TEST(YUVImageImportTest, NarrowerPictureLeavesBlackColumnsOnTheRight) {
    // 704 x 480 into 720 x 480: 16 luma columns (8 chroma columns) of black.
    TMPEGVideo_YUVImage image(nullptr, MakeFormat(1, 720, 480, 704, 480));
    FillImage(image, 0x55);
    std::vector<uint8_t> source = PlanarPicture(704, 480, 352, 240);
    image.Import(Desc(PictureDesc_YUV420Planar, 704, 480, source.data()), nullptr, nullptr);
    for (int32_t r = 0; r < 480; ++r) {
        ASSERT_EQ(std::memcmp(image.LumaRow(r), source.data() + r * 704, 704), 0) << r;
        for (int32_t c = 704; c < 720; ++c)
            ASSERT_EQ(image.LumaRow(r)[c], 0) << r << "," << c;
    }
    for (int32_t r = 0; r < 240; ++r)
        for (int32_t c = 352; c < 360; ++c) {
            ASSERT_EQ(image.CbRow(r)[c], 128) << r << "," << c;
            ASSERT_EQ(image.CrRow(r)[c], 128) << r << "," << c;
        }
}

TEST(YUVImageImportTest, PicturesThatDoNotFitAreIllegalAndLeaveTheImageUnchanged) {
    // Pictures of 40 x 30 (the picture size) or 48 x 32 (the rounded size) are accepted.
    TMPEGVideo_YUVImage image420(nullptr, MakeFormat(1, 48, 32, 40, 30));
    TMPEGVideo_YUVImage image422(nullptr, MakeFormat(2, 48, 32, 40, 30));
    // A format whose picture is wider than its planes.
    TMPEGVideo_YUVImage tooWide(nullptr, MakeFormat(1, 32, 32, 40, 32));
    std::vector<uint8_t> pixels(64 * 64 * 4, 0x33);
    struct Case {
        const char* Name;
        const TMPEGVideo_YUVImage* Image;
        TMPEGVideo_PictureDesc Desc;
    };
    const Case cases[] = {
        {"width of neither size", &image420, Desc(PictureDesc_YUV420Planar, 44, 32, pixels.data())},
        {"height of neither size", &image420, Desc(PictureDesc_RGB24, 40, 31, pixels.data(), 120)},
        {"no pixels", &image420, Desc(PictureDesc_RGB32, 48, 30, nullptr)},
        {"unknown pixel format 5", &image420, Desc(5, 48, 32, pixels.data())},
        {"unknown pixel format 8", &image420, Desc(8, 40, 30, pixels.data())},
        {"negative pixel format", &image420, Desc(-1, 40, 30, pixels.data())},
        {"planar 4:2:2 into 4:2:0", &image420, Desc(PictureDesc_YUV422Planar, 48, 32, pixels.data())},
        {"planar 4:2:0 into 4:2:2", &image422, Desc(PictureDesc_YUV420Planar, 40, 30, pixels.data())},
        {"picture wider than the planes", &tooWide, Desc(PictureDesc_YUV420Planar, 40, 32, pixels.data())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto image = TMPEGVideo_YUVImage::CreateShared(*c.Image);
        FillImage(*image, 0x55);
        const std::vector<uint8_t> before = ImageBytes(*image);
        try {
            image->Import(c.Desc, nullptr, nullptr);
            ADD_FAILURE() << "import accepted";
        } catch (const EMPEGVideoEncoderYUVError& error) {
            EXPECT_EQ(error.ErrorCode, MPEGError_IllegalPicture);
            EXPECT_EQ(error.Message(), "Illegal picture");
        }
        EXPECT_EQ(ImageBytes(*image), before);
        const std::vector<uint8_t> pixelsBefore = pixels;
        EXPECT_THROW(image->Export(c.Desc, nullptr, nullptr), EMPEGVideoEncoderYUVError);
        EXPECT_EQ(pixels, pixelsBefore);
    }
}

// --- The conversion kernels ---------------------------------------------------------------

struct KernelCall {
    int Slot;
    uint8_t* Packed;
    int32_t Width, Height;
    bool FieldChroma;
    const TColorConversionTable* Table;
    int32_t ChromaPitch, LumaPitch;
    uint8_t *Cr, *Cb, *Y;
    int32_t PackedPitch;
    uint8_t FirstLumaByte; // what the image held when the kernel ran
};

std::vector<KernelCall> gCalls;

template <int Slot>
void RecordingKernel(uint8_t* packed, int32_t width, int32_t height, bool fieldChroma,
                     const TColorConversionTable* table, int32_t chromaPitch, int32_t lumaPitch, uint8_t* cr,
                     uint8_t* cb, uint8_t* y, int32_t packedPitch) {
    gCalls.push_back({Slot, packed, width, height, fieldChroma, table, chromaPitch, lumaPitch, cr, cb, y,
                      packedPitch, y[0]});
}

using Slot = TPixelConversionKernel TKernelTable::*;

// Every slot of the table, each with its own recording kernel (its index here).
const Slot kSlots[] = {
    &TKernelTable::Rgb24ToYuv420, &TKernelTable::Rgb24ToYuv422, &TKernelTable::Rgb24ToYuv444,
    &TKernelTable::Yuv420ToRgb24, &TKernelTable::Yuv422ToRgb24, &TKernelTable::Rgb32ToYuv420,
    &TKernelTable::Rgb32ToYuv422, &TKernelTable::Rgb32ToYuv444, &TKernelTable::Yuv420ToRgb32,
    &TKernelTable::Yuv422ToRgb32, &TKernelTable::UyvyToYuv420,  &TKernelTable::UyvyToYuv422,
    &TKernelTable::UyvyToYuv444,  &TKernelTable::Yuv420ToUyvy,  &TKernelTable::Yuv422ToUyvy,
    &TKernelTable::Yuy2ToYuv420,  &TKernelTable::Yuy2ToYuv422,  &TKernelTable::Yuy2ToYuv444,
    &TKernelTable::Yuv420ToYuy2,  &TKernelTable::Yuv422ToYuy2,
};

template <int... I>
TKernelTable RecordingTable(std::integer_sequence<int, I...>) {
    TKernelTable table;
    ((table.*kSlots[I] = &RecordingKernel<I>), ...);
    return table;
}

int SlotIndex(Slot slot) {
    for (int i = 0; i < 20; ++i)
        if (kSlots[i] == slot)
            return i;
    return -1;
}

class YUVImageKernelTest : public ::testing::Test {
protected:
    void SetUp() override { gCalls.clear(); }

    const TKernelTable Table = RecordingTable(std::make_integer_sequence<int, 20>());
    // Only passed through; never read.
    const TColorConversionTable* const Conversion = reinterpret_cast<const TColorConversionTable*>(&Table);
};

TEST_F(YUVImageKernelTest, EachPackedFormatAndChromaFormatPicksItsSlot) {
    struct Case {
        int32_t PixelFormat;
        int32_t ChromaFormat;
        Slot Import;
        Slot Export;
    };
    const Case cases[] = {
        {PictureDesc_RGB24, 1, &TKernelTable::Rgb24ToYuv420, &TKernelTable::Yuv420ToRgb24},
        {PictureDesc_RGB24, 2, &TKernelTable::Rgb24ToYuv422, &TKernelTable::Yuv422ToRgb24},
        {PictureDesc_RGB32, 1, &TKernelTable::Rgb32ToYuv420, &TKernelTable::Yuv420ToRgb32},
        {PictureDesc_RGB32, 2, &TKernelTable::Rgb32ToYuv422, &TKernelTable::Yuv422ToRgb32},
        {PictureDesc_UYVY, 1, &TKernelTable::UyvyToYuv420, &TKernelTable::Yuv420ToUyvy},
        {PictureDesc_UYVY, 2, &TKernelTable::UyvyToYuv422, &TKernelTable::Yuv422ToUyvy},
        {PictureDesc_YUY2, 1, &TKernelTable::Yuy2ToYuv420, &TKernelTable::Yuv420ToYuy2},
        {PictureDesc_YUY2, 2, &TKernelTable::Yuy2ToYuv422, &TKernelTable::Yuv422ToYuy2},
    };
    std::vector<uint8_t> pixels(64 * 48 * 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "pixel format " << c.PixelFormat << ", chroma " << c.ChromaFormat);
        TMPEGVideo_YUVImageFormat format = MakeFormat(c.ChromaFormat, 64, 48, 60, 40);
        format.FieldChroma = c.ChromaFormat == 1;
        TMPEGVideo_YUVImage image(nullptr, format);
        gCalls.clear();
        image.Import(Desc(c.PixelFormat, 64, 48, pixels.data(), 256), Conversion, &Table);
        image.Export(Desc(c.PixelFormat, 60, 40, pixels.data() + 8, 240), Conversion, &Table);
        ASSERT_EQ(gCalls.size(), 2u);
        EXPECT_EQ(gCalls[0].Slot, SlotIndex(c.Import));
        EXPECT_EQ(gCalls[1].Slot, SlotIndex(c.Export));
        // The argument order: pixels, width, height, field chroma, table, chroma pitch, luma pitch,
        // Cr, Cb, Y, pitch.
        const KernelCall& call = gCalls[1];
        EXPECT_EQ(call.Packed, pixels.data() + 8);
        EXPECT_EQ(call.Width, 60);
        EXPECT_EQ(call.Height, 40);
        EXPECT_EQ(call.FieldChroma, c.ChromaFormat == 1);
        EXPECT_EQ(call.Table, Conversion);
        EXPECT_EQ(call.ChromaPitch, 32);
        EXPECT_EQ(call.LumaPitch, 64);
        EXPECT_EQ(call.Cr, image.Cr);
        EXPECT_EQ(call.Cb, image.Cb);
        EXPECT_EQ(call.Y, image.Y);
        EXPECT_EQ(call.PackedPitch, 240);
    }
}

TEST_F(YUVImageKernelTest, SmallerPackedPictureGetsItsMarginClearedBeforeTheKernelRuns) {
    TMPEGVideo_YUVImage image(nullptr, MakeFormat(1, 720, 480, 704, 480));
    FillImage(image, 0x55);
    std::vector<uint8_t> pixels(704 * 480 * 3);
    image.Import(Desc(PictureDesc_RGB24, 704, 480, pixels.data(), 704 * 3), Conversion, &Table);
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].FirstLumaByte, 0);
    EXPECT_EQ(gCalls[0].Width, 704);
    EXPECT_EQ(image.LumaRow(479)[719], 0);
    EXPECT_EQ(image.CrRow(239)[359], 128);

    // The whole picture: no clearing first.
    gCalls.clear();
    FillImage(image, 0x55);
    image.Import(Desc(PictureDesc_RGB24, 720, 480, pixels.data(), 720 * 3), Conversion, &Table);
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].FirstLumaByte, 0x55);
}

TEST_F(YUVImageKernelTest, WithoutAKernelThePixelsStayAsTheyAre) {
    TKernelTable empty;
    TMPEGVideo_YUVImage image(nullptr, MakeFormat(2, 32, 32, 32, 32));
    std::vector<uint8_t> pixels(32 * 32 * 4, 0x11);
    const TKernelTable* const tables[] = {nullptr, &empty};
    for (const TKernelTable* kernels : tables) {
        for (int32_t pixelFormat : {PictureDesc_RGB24, PictureDesc_RGB32, PictureDesc_UYVY, PictureDesc_YUY2}) {
            FillImage(image, 0x55);
            image.Import(Desc(pixelFormat, 32, 32, pixels.data(), 128), Conversion, kernels);
            EXPECT_EQ(ImageBytes(image), std::vector<uint8_t>(static_cast<size_t>(image.Size), 0x55));
            image.Export(Desc(pixelFormat, 32, 32, pixels.data(), 128), Conversion, kernels);
            EXPECT_EQ(pixels, std::vector<uint8_t>(32 * 32 * 4, 0x11));
        }
    }
    // Only the slot asked for counts: a table with every other slot filled still has none.
    TKernelTable others = Table;
    others.UyvyToYuv422 = nullptr;
    FillImage(image, 0x55);
    image.Import(Desc(PictureDesc_UYVY, 32, 32, pixels.data(), 64), Conversion, &others);
    EXPECT_TRUE(gCalls.empty());
}

} // namespace
} // namespace quillset
