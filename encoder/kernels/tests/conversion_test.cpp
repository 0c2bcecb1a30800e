// The reference pixel-format conversions: colour tables, row pairing of 4:2:0 (with field
// chroma), odd sizes, and the packed YUV byte orders.
#include <gtest/gtest.h>

#include <vector>

#include "encoder/kernels/color_conversion.h"
#include "encoder/kernels/kernel_sets.h"

namespace quillset::testing {
namespace {

// A picture with its planes, all rows without gaps.
struct TPicture {
    TPicture(int w, int h, int packedBytes, int chromaWidth, int chromaRows)
        : Width(w), Height(h), PackedPitch(w * packedBytes), ChromaPitch(chromaWidth),
          Packed(static_cast<size_t>(PackedPitch * h), 0xEE), Y(static_cast<size_t>(w * h), 0xEE),
          Cb(static_cast<size_t>(chromaWidth * chromaRows), 0xEE), Cr(Cb) {}

    void Run(TPixelConversionKernel kernel, const TColorConversionTable& table, bool fieldChroma = false) {
        kernel(Packed.data(), Width, Height, fieldChroma, &table, ChromaPitch, Width, Cr.data(), Cb.data(), Y.data(),
               PackedPitch);
    }
    void SetRgb(int x, int y, int bytes, uint8_t r, uint8_t g, uint8_t b) {
        uint8_t* p = &Packed[static_cast<size_t>(y * PackedPitch + x * bytes)];
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }

    int Width, Height, PackedPitch, ChromaPitch;
    std::vector<uint8_t> Packed, Y, Cb, Cr;
};

class ConversionTest : public ::testing::Test {
protected:
    ConversionTest() {
        MPEGEncoder_FuncSet_Normal(k);
        BuildColorConversionTable(AnalogYUVCoefficients, analog);
    }
    TKernelTable k;
    TColorConversionTable analog;
};

// Greys keep their level in full range and are scaled onto the studio range (offset 16, gain
// c1 + c2 + c3) with rounding; their chroma is 128. Every table entry takes part.
TEST_F(ConversionTest, GreysConvertToNeutralChromaThroughTheWholeTable) {
    for (int g = 0; g < 256; ++g) {
        TPicture full(1, 1, 3, 1, 1), studio(1, 1, 3, 1, 1);
        full.SetRgb(0, 0, 3, static_cast<uint8_t>(g), static_cast<uint8_t>(g), static_cast<uint8_t>(g));
        studio.Packed = full.Packed;
        full.Run(k.Rgb24ToYuv444, FullRangeConversionTable());
        studio.Run(k.Rgb24ToYuv444, StudioRangeConversionTable());
        ASSERT_EQ(full.Y[0], g);
        const auto& c = StudioRangeCoefficients;
        ASSERT_NEAR(studio.Y[0], 16 + g * (c[1] + c[2] + c[3]), 0.51) << "grey " << g;
        for (const TPicture* p : {&full, &studio}) {
            ASSERT_EQ(p->Cb[0], 128) << "grey " << g;
            ASSERT_EQ(p->Cr[0], 128) << "grey " << g;
        }
    }
}

struct TColourCase {
    const char* Name;
    uint8_t R, G, B;
    uint8_t Y, Cb, Cr; // full range
};

TEST_F(ConversionTest, PrimaryColoursInFullRange) {
    const TColourCase cases[] = {
        {"red", 255, 0, 0, 76, 85, 255},
        {"green", 0, 255, 0, 150, 44, 21},
        {"blue", 0, 0, 255, 29, 255, 107},
    };
    for (const TColourCase& c : cases) {
        TPicture p(1, 1, 4, 1, 1);
        p.SetRgb(0, 0, 4, c.R, c.G, c.B);
        p.Run(k.Rgb32ToYuv444, FullRangeConversionTable());
        EXPECT_EQ(p.Y[0], c.Y) << c.Name;
        EXPECT_EQ(p.Cb[0], c.Cb) << c.Name;
        EXPECT_EQ(p.Cr[0], c.Cr) << c.Name;
    }
}

TEST_F(ConversionTest, ExportClampsAndLeavesTheFourthByte) {
    struct TCase {
        const TColorConversionTable* Table;
        uint8_t Y, Cb, Cr;
        uint8_t R, G, B;
    } const cases[] = {
        {&StudioRangeConversionTable(), 235, 128, 128, 255, 255, 255},
        {&StudioRangeConversionTable(), 16, 128, 128, 0, 0, 0},
        {&StudioRangeConversionTable(), 255, 128, 128, 255, 255, 255}, // beyond white clamps
        {&FullRangeConversionTable(), 255, 255, 255, 255, 121, 255}, // R and B clamp
        {&FullRangeConversionTable(), 0, 0, 0, 0, 135, 0},
    };
    for (const TCase& c : cases) {
        TPicture p(2, 1, 4, 1, 1);
        p.Y = {c.Y, c.Y};
        p.Cb[0] = c.Cb;
        p.Cr[0] = c.Cr;
        p.Run(k.Yuv422ToRgb32, *c.Table);
        for (int x = 0; x < 2; ++x) {
            EXPECT_EQ(p.Packed[4 * x + 2], c.R) << int(c.Y) << " " << int(c.Cb) << " " << int(c.Cr);
            EXPECT_EQ(p.Packed[4 * x + 1], c.G) << int(c.Y) << " " << int(c.Cb) << " " << int(c.Cr);
            EXPECT_EQ(p.Packed[4 * x + 0], c.B) << int(c.Y) << " " << int(c.Cb) << " " << int(c.Cr);
            EXPECT_EQ(p.Packed[4 * x + 3], 0xEE);
        }
    }
}

// With field chroma, chroma row 0 comes from picture rows 0 and 2 and chroma row 1 from rows 1
// and 3; without it from rows 0, 1 and 2, 3.
TEST_F(ConversionTest, FieldChromaPairsRowsOfTheSameField) {
    for (bool field : {false, true}) {
        TPicture p(2, 4, 3, 1, 2);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 2; ++x)
                p.SetRgb(x, y, 3, y % 2 == 0 ? 255 : 0, 0, y % 2 == 0 ? 0 : 255); // red top field, blue bottom
        p.Run(k.Rgb24ToYuv420, FullRangeConversionTable(), field);
        if (field) {
            EXPECT_EQ(p.Cr[0], 255); // red
            EXPECT_EQ(p.Cb[1], 255); // blue
        } else {
            EXPECT_EQ(p.Cr[0], p.Cr[1]); // both mix red and blue
            EXPECT_LT(p.Cr[0], 255);
        }
    }
}

// Odd sizes: every pixel gets its luma; chroma of an incomplete pair or row comes from the pixels
// that exist; nothing is written beyond the planes.
TEST_F(ConversionTest, OddSizesConvertEveryPixelAndStayInsideThePlanes) {
    for (bool field : {false, true})
        for (int h : {1, 2, 3, 5, 6, 7}) {
            const int w = 5, chromaRows = field ? 2 * ((h + 3) / 4) : (h + 1) / 2;
            TPicture p(w, h, 3, 3, chromaRows);
            for (size_t i = 0; i < p.Packed.size(); ++i)
                p.Packed[i] = static_cast<uint8_t>(i * 7);
            TPicture whole(w, h, 3, w, h);
            whole.Packed = p.Packed;
            p.Run(k.Rgb24ToYuv420, FullRangeConversionTable(), field);
            whole.Run(k.Rgb24ToYuv444, FullRangeConversionTable());
            EXPECT_EQ(p.Y, whole.Y) << "height " << h << (field ? " field" : "");
            // The last column's chroma is that pixel's own where it has no partner; a lone row
            // (odd height, no field pairing) likewise.
            if (h == 1 && !field) {
                EXPECT_EQ(p.Cb[2], whole.Cb[4]);
                EXPECT_EQ(p.Cr[2], whole.Cr[4]);
            }
        }
}

TEST_F(ConversionTest, PackedYuvByteOrders) {
    // One pixel pair: UYVY is U Y0 V Y1, YUY2 is Y0 U Y1 V.
    TPicture uyvy(2, 1, 2, 1, 1), yuy2(2, 1, 2, 1, 1);
    uyvy.Packed = {10, 20, 30, 40};
    yuy2.Packed = {20, 10, 40, 30};
    uyvy.Run(k.UyvyToYuv422, analog);
    yuy2.Run(k.Yuy2ToYuv422, analog);
    for (const TPicture* p : {&uyvy, &yuy2}) {
        EXPECT_EQ(p->Y, (std::vector<uint8_t>{20, 40}));
        EXPECT_EQ(p->Cb[0], 10);
        EXPECT_EQ(p->Cr[0], 30);
    }
}

TEST_F(ConversionTest, PackedYuvRoundTripsAndAveragesRowPairs) {
    const std::pair<TPixelConversionKernel, TPixelConversionKernel> formats[] = {
        {k.UyvyToYuv422, k.Yuv422ToUyvy}, {k.Yuy2ToYuv422, k.Yuv422ToYuy2}};
    for (auto [import, exportKernel] : formats) {
        TPicture p(6, 3, 2, 3, 3);
        for (size_t i = 0; i < p.Packed.size(); ++i)
            p.Packed[i] = static_cast<uint8_t>(i * 37 + 3);
        const std::vector<uint8_t> original = p.Packed;
        p.Run(import, analog);
        std::fill(p.Packed.begin(), p.Packed.end(), 0);
        p.Run(exportKernel, analog);
        EXPECT_EQ(p.Packed, original);
    }
    // 4:2:0 import: (U_f + U_g) >> 1; export writes the same chroma into both rows.
    TPicture p(2, 2, 2, 1, 1);
    p.Packed = {10, 1, 21, 2, 13, 3, 30, 4}; // UYVY rows: U 10 / 13, V 21 / 30
    p.Run(k.UyvyToYuv420, analog);
    EXPECT_EQ(p.Cb[0], 11);
    EXPECT_EQ(p.Cr[0], 25);
    EXPECT_EQ(p.Y, (std::vector<uint8_t>{1, 2, 3, 4}));
    p.Run(k.Yuv420ToUyvy, analog);
    EXPECT_EQ(p.Packed, (std::vector<uint8_t>{11, 1, 25, 2, 11, 3, 25, 4}));
}

// Chroma up-sampling of 4:4:4 import: pair 0 repeats, inner pixels interpolate 8:2, the last
// pixel repeats.
TEST_F(ConversionTest, PackedYuvToYuv444InterpolatesChroma) {
    TPicture p(8, 1, 2, 8, 1);
    const uint8_t u[4] = {0, 100, 200, 50};
    for (int j = 0; j < 4; ++j) {
        p.Packed[4 * j + 1] = u[j]; // YUY2: U at byte 1
        p.Packed[4 * j + 3] = 9;
    }
    p.Run(k.Yuy2ToYuv444, analog);
    EXPECT_EQ(p.Cb, (std::vector<uint8_t>{0, 0, 20, 120, 120, 170, 170, 50}));
    EXPECT_EQ(p.Cr, std::vector<uint8_t>(8, 9));
}

TEST_F(ConversionTest, Rgb24ToRgb32RowLeavesTheFourthByte) {
    const uint8_t src[6] = {1, 2, 3, 4, 5, 6};
    uint8_t dst[8];
    std::fill(dst, dst + 8, 0xEE);
    k.Rgb24ToRgb32Row(dst, src, 2);
    EXPECT_EQ(std::vector<uint8_t>(dst, dst + 8), (std::vector<uint8_t>{1, 2, 3, 0xEE, 4, 5, 6, 0xEE}));
}

} // namespace
} // namespace quillset::testing
