// The choice of search class by speed and coding mode.
#include <gtest/gtest.h>

#include <string>

#include "encoder/tests/video/motion/motion_test_support.h"
#include "encoder/video/motion/fast_search.h"
#include "encoder/video/video_encode_config.h"

namespace quillset {
namespace {

using testing::ReferenceKernels;
using testing::TTestPicture;

struct TSpeedCase {
    int32_t Speed;
    const char* FrameModeName;
    const char* FieldModeName;
    bool Substituted;
};

class MotionSearchClassTest : public ::testing::TestWithParam<TSpeedCase> {};

// Every speed value maps to its own class; unknown values use FastSearch and say so.
TEST_P(MotionSearchClassTest, SpeedMapsToItsClass) {
    const TSpeedCase tc = GetParam();
    for (bool fieldMode : {false, true}) {
        const TMotionSearchClassChoice choice = ChooseMotionSearchClass(static_cast<uint8_t>(tc.Speed), fieldMode);
        EXPECT_EQ(choice.Class->FieldMode, fieldMode);
        EXPECT_EQ(choice.Substituted, tc.Substituted);
        EXPECT_EQ(std::string(choice.DesignatedClassName), fieldMode ? tc.FieldModeName : tc.FrameModeName);
        if (tc.Substituted) {
            const TMotionSearchClass fast = fieldMode ? &TMotionSearch_FieldMode_FastSearch::ClassInfo
                                                      : &TMotionSearch_FrameMode_FastSearch::ClassInfo;
            EXPECT_EQ(choice.Class, fast);
        } else {
            EXPECT_EQ(std::string(choice.Class->Name), choice.DesignatedClassName);
        }

        TTestPicture picture(32, 32);
        picture.Speed = static_cast<uint8_t>(tc.Speed);
        EXPECT_EQ(GetMotionSearchClass(picture, fieldMode), choice.Class);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Speeds, MotionSearchClassTest,
    ::testing::Values(
        TSpeedCase{MPEGVideoEncoder_MotionSearchSpeed_Fast, "TMotionSearch_FrameMode_FastSearch",
                   "TMotionSearch_FieldMode_FastSearch", false},
        TSpeedCase{MPEGVideoEncoder_MotionSearchSpeed_FastWide, "TMotionSearch_FrameMode_FastZoomSearch",
                   "TMotionSearch_FieldMode_FastZoomSearch", false},
        TSpeedCase{MPEGVideoEncoder_MotionSearchSpeed_Normal, "TMotionSearch_FrameMode_ZoomSearch_Normal",
                   "TMotionSearch_FieldMode_ZoomSearch_Normal", false},
        TSpeedCase{MPEGVideoEncoder_MotionSearchSpeed_Slow, "TMotionSearch_FrameMode_ZoomSearch_Slow",
                   "TMotionSearch_FieldMode_ZoomSearch_Slow", false},
        TSpeedCase{MPEGVideoEncoder_MotionSearchSpeed_HighCQ, "TMotionSearch_FrameMode_RGBZoomSearch_HighCQ",
                   "TMotionSearch_FieldMode_ZoomSearch_HighCQ", false},
        TSpeedCase{MPEGVideoEncoder_MotionSearchSpeed_MotionEstimate, "TMotionSearch_FrameMode_MotionEstimate",
                   "TMotionSearch_FieldMode_MotionEstimate", false},
        TSpeedCase{MPEGVideoEncoder_MotionSearchSpeed_TelescopicSearch, "TMotionSearch_FrameMode_FastSearch",
                   "TMotionSearch_FieldMode_FastSearch", false},
        TSpeedCase{MPEGVideoEncoder_MotionSearchSpeed_MultiLayerSearch, "TMotionSearch_FrameMode_FastSearch",
                   "TMotionSearch_FieldMode_FastSearch", false},
        TSpeedCase{8, "", "", true}, TSpeedCase{255, "", "", true}));

// The created search compares the buffers its class names, obtained from both pictures.
TEST(MotionSearchCreateTest, CreatesOverThePicturesBuffers) {
    TTestPicture reference(64, 48), current(64, 48, MotionSearchPictureType_B, 1);
    const TKernelTable k = ReferenceKernels();
    TMotionSearchParams params;
    params.HalfPel = 1;
    for (TMotionSearchClass cls :
         {&TMotionSearch_FrameMode_FastSearch::ClassInfo, &TMotionSearch_FieldMode_FastSearch::ClassInfo}) {
        auto search = CreateMotionSearch(cls, k, reference, current, params);
        EXPECT_EQ(search->GetBufferClass(), cls->BufferClass);
        EXPECT_EQ(search->GetReferenceBuffer(), reference.Buffers.Get(MotionSearchBufferKind_Plain));
        EXPECT_EQ(search->GetCurrentBuffer(), current.Buffers.Get(MotionSearchBufferKind_Plain));
        const auto& block = static_cast<TMotionSearch_FrameMode_FastSearch&>(*search).GetPackageParams();
        EXPECT_EQ(block.FrameStep, kFastSearchStepB);
        EXPECT_EQ(block.FieldStep, cls->FieldMode ? kFastSearchStepB : 0);
    }
}

} // namespace
} // namespace quillset
