// MPEG-2 profile and level checks at encoder creation: each failure with its code, in order,
// and the automatic VBV reduction.
#include <gtest/gtest.h>

#include <string>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/video/syntax/profile_level_check.h"

namespace quillset {
namespace {

TMPEGVideoEncoder_EncodeConfig MainAtMain() {
    TMPEGVideoEncoder_EncodeConfig c;
    c.StreamType = MPEGVideoEncoder_StreamType_MPEG2;
    c.Width = 720;
    c.Height = 576;
    c.YUVFormat = 1;
    c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Interlace;
    c.FrameRate = 3;
    c.MaxBitRate = 9800000;
    c.Profile = 4;
    c.Level = 8;
    return c;
}

struct Case {
    const char* name;
    void (*change)(TMPEGVideoEncoder_EncodeConfig&);
    int32_t frameRateCode;
    uint32_t code; // 0: passes
};

TEST(ProfileLevelCheck, FailuresInOrder) {
    const Case cases[] = {
        {"Main@Main 720x576 25", [](TMPEGVideoEncoder_EncodeConfig&) {}, 3, 0},
        {"Main@Main 720x480 29.97", [](auto& c) { c.Height = 480; }, 4, 0},
        {"Simple@Low does not exist", [](auto& c) { c.Profile = 5; c.Level = 10; }, 3, 0xD0613020},
        {"4:2:2 at High does not exist", [](auto& c) { c.Profile = 133; c.Level = 4; }, 3, 0xD0613020},
        {"4:2:2 in Main", [](auto& c) { c.YUVFormat = 2; }, 3, 0xD0613021},
        {"4:2:2 in 4:2:2 profile", [](auto& c) { c.YUVFormat = 2; c.Profile = 133; c.Height = 608; }, 3, 0},
        {"4:2:2 in High", [](auto& c) { c.YUVFormat = 2; c.Profile = 1; }, 3, 0},
        {"11-bit DC in Main", [](auto& c) { c.DC_prec = 3; }, 3, 0xD0613022},
        {"11-bit DC in High", [](auto& c) { c.DC_prec = 3; c.Profile = 1; }, 3, 0},
        {"10-bit DC in Main", [](auto& c) { c.DC_prec = 2; }, 3, 0},
        {"format checked before DC", [](auto& c) { c.DC_prec = 3; c.YUVFormat = 2; }, 3, 0xD0613021},
        {"50 fps at Main level", [](auto& c) { c.Height = 288; c.Width = 352; }, 6, 0xD0613023},
        {"50 fps at High-1440", [](auto& c) { c.Level = 6; }, 6, 0},
        {"too wide", [](auto& c) { c.Width = 728; }, 3, 0xD0613024},
        {"too tall", [](auto& c) { c.Height = 584; }, 3, 0xD0613024},
        // 720 x 576 at 30: 12441600 samples per second.
        {"sample rate", [](auto& c) {}, 5, 0xD0613025},
        // 704 x 570 pads to 704 x 576 (interlaced: 32 lines) at 30 = 12165120 > 10368000.
        {"padded height counts", [](auto& c) { c.Width = 704; c.Height = 570; }, 5, 0xD0613025},
        // Progressive pads to 16 lines: 720 x 480 at 29.97 fits.
        {"progressive padding", [](auto& c) { c.Height = 472; c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive; }, 4, 0},
        {"bit rate", [](auto& c) { c.MaxBitRate = 15000001; }, 3, 0xD0613026},
        {"bit rate at the limit", [](auto& c) { c.MaxBitRate = 15000000; }, 3, 0},
    };
    for (const Case& c : cases) {
        TMPEGVideoEncoder_EncodeConfig config = MainAtMain();
        c.change(config);
        int32_t vbv = 229376;
        try {
            CheckMPEG2ProfileAndLevel(config, c.frameRateCode, vbv, false);
            EXPECT_EQ(c.code, 0u) << c.name << ": passed";
        } catch (const EMPEGVideoEncoderError& e) {
            EXPECT_EQ(e.ErrorCode, c.code) << c.name << ": " << e.what();
        }
    }
}

TEST(ProfileLevelCheck, BitRateMessageCarriesKbits) {
    TMPEGVideoEncoder_EncodeConfig config = MainAtMain();
    config.MaxBitRate = 20000000;
    int32_t vbv = 229376;
    try {
        CheckMPEG2ProfileAndLevel(config, 3, vbv, false);
        FAIL() << "passed";
    } catch (const EMPEGVideoEncoderError& e) {
        EXPECT_STREQ(e.what(), "The bitrate(20000 Kbits/s) is too large for selected MPEG-2 level.");
    }
}

TEST(ProfileLevelCheck, VBVAboveTheLevelIsLoweredOnlyWhenChosenAutomatically) {
    TMPEGVideoEncoder_EncodeConfig config = MainAtMain();
    int32_t vbv = 229376 + 2048;
    CheckMPEG2ProfileAndLevel(config, 3, vbv, true);
    EXPECT_EQ(vbv, 229376);
    vbv = 229376 + 2048;
    try {
        CheckMPEG2ProfileAndLevel(config, 3, vbv, false);
        FAIL() << "passed";
    } catch (const EMPEGVideoEncoderError& e) {
        EXPECT_EQ(e.ErrorCode, 0xD0613027u);
    }
    vbv = 229376;
    CheckMPEG2ProfileAndLevel(config, 3, vbv, false);
    EXPECT_EQ(vbv, 229376);
}

} // namespace
} // namespace quillset
