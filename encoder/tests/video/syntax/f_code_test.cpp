// f_code choice: the smallest range that holds the picture's vectors.
#include <gtest/gtest.h>

#include <vector>

#include "encoder/video/syntax/f_code.h"

namespace quillset {
namespace {

TEST(FCode, ExtentToFCode) {
    struct Case {
        int32_t maxAbs;
        bool mpeg2;
        int32_t fCode;
    };
    const Case cases[] = {
        {0, true, 1},    {14, true, 1},  {15, true, 2},   {30, true, 2},    {31, true, 3},
        {62, true, 3},   {63, true, 4},  {1022, true, 7}, {1023, true, 8},  {1000000, true, 15},
        {100000, false, 7}, {2000, false, 7}, {500, false, 6},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FCodeForExtent(c.maxAbs, c.mpeg2), c.fCode) << c.maxAbs;
    // Every f_code holds the vectors it was chosen for: [-16 x 2^(f-1), 16 x 2^(f-1) - 1].
    for (int32_t m = 0; m < 2048; ++m) {
        const int32_t f = FCodeForExtent(m, true);
        EXPECT_LE(m, 16 * (1 << (f - 1)) - 1) << m;
    }
}

TMBInfo Macroblock(uint16_t flags, uint16_t motionType, int32_t fx, int32_t fy, int32_t bx = 0, int32_t by = 0) {
    TMBInfo mb;
    mb.Flags = flags;
    mb.MotionType = motionType;
    mb.Forward[0].MvX = fx;
    mb.Forward[0].MvY = fy;
    mb.Forward[1].MvY = fy;
    mb.Backward[0].MvX = bx;
    mb.Backward[0].MvY = by;
    return mb;
}

TEST(FCode, PictureExtentAndCodes) {
    std::vector<TMBInfo> mbs = {
        Macroblock(MBInfoFlag_Forward, MBMotionType_Frame, -40, 3),
        Macroblock(MBInfoFlag_Forward | MBInfoFlag_Backward, MBMotionType_Field, 5, -10, 7, 2),
        // Intra and unused directions do not count.
        Macroblock(MBInfoFlag_Intra, MBMotionType_None, 900, 900, 900, 900),
        Macroblock(MBInfoFlag_Backward, MBMotionType_Frame, 900, 900, -3, 1),
    };
    const TMPEGVideoVectorExtent extent = MeasureVectorExtent(mbs);
    EXPECT_EQ(extent[0][0], 40);
    EXPECT_EQ(extent[0][1], 20); // field vertical 10, counted doubled
    EXPECT_EQ(extent[1][0], 7);
    EXPECT_EQ(extent[1][1], 4);

    TMPEGVideoFCodes mpeg2B = ComputePictureFCodes(3, true, extent);
    EXPECT_EQ(mpeg2B, (TMPEGVideoFCodes{{{3, 2}, {1, 1}}}));
    EXPECT_EQ(ComputePictureFCodes(2, true, extent), (TMPEGVideoFCodes{{{3, 2}, {15, 15}}}));
    EXPECT_EQ(ComputePictureFCodes(1, true, extent), (TMPEGVideoFCodes{{{15, 15}, {15, 15}}}));
    EXPECT_EQ(ComputePictureFCodes(3, false, extent), (TMPEGVideoFCodes{{{3, 3}, {1, 1}}}));
}

} // namespace
} // namespace quillset
