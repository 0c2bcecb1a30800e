#include "encoder/framework/mpeg_errors.h"

#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <vector>

namespace quillset {
namespace {

struct MessageCase {
    uint32_t Code;
    const char* Text;
};

TEST(MPEGErrorTest, PlainMessagesAreTakenFromTheCode) {
    const MessageCase cases[] = {
        {0xD061300D, "Illegal MPEG system stream"},
        {0xD061300F, "Illegal MPEG audiostream"},
        {0xD0613014, "This YUV format cannot be used. \r\r> Only 4:2:0 for YUV format is accepted with MPEG-1."},
        {0xD0613015, "The resolution of the video is illegal.\r\r> The windows size needs to be set between 8x8 "
                     "and 4088x4088.\r> The width and height of window needs to be multiple of 8."},
        {0xD061301A, "For encode mode, 3:2 pulldown when playback can not be used if the flame rate is not "
                     "23.976fps or 24fps."},
        {0xD0613025, "The sampling rate is not permitted with selected MPEG-2 level.\r\r> Sampling rate = "
                     "width*height*framerate"},
        {0xD0613029, "Illegal picture"},
        {0xD061302F, "Illegal sample format"},
        {0xD0613030, "Illegal sample format"},
        {0xD0613031, "Encode to MPEG-2 is not supported."},
        {0xD0613039, "Can not use optimization for motion search by halp pixcel."},
        {0xD061303C, "Invalid DVD Sub-picture stream."},
    };
    for (const MessageCase& c : cases) {
        const EMPEGError error(c.Code);
        EXPECT_EQ(error.Message(), c.Text) << std::hex << c.Code;
        EXPECT_EQ(error.ErrorCode, c.Code);
        EXPECT_EQ(GetErrorCodeText(c.Code), c.Text);
    }
}

TEST(MPEGErrorTest, PlaceholdersAreFilledWithTheRaisersArguments) {
    EXPECT_EQ(EMPEGVideoEncoderError(MPEGError_BitrateTooLarge, 120000).Message(),
              "Bitrate is too large. (120000 kbit/s)\r\r> Bitrate has to be less than 104 Mbits/s for MPEG-1.\r> "
              "Bitrate has to be less than 429Gbits/s for MPEG-2.");
    EXPECT_EQ(EMPEGVideoEncoderError(MPEGError_InvalidVBVBufferSize, 231, 2, 9800, 30000.0 / 1001, 40, 224, 224)
                  .Message(),
              "VBV buffer size is invalid. (231 KB)\r\r> VBV buffer size has to be multiple of 2KB.\r> For MPEG-2, "
              "9800Kbits/s, 29.97fps, the rage needs to be set between 40 KB and 224 KB.(224 KB recommended)\r");
    EXPECT_EQ(EMPEGError(MPEGError_CantLoadLibrary, std::string("Velnor2D.so")).Message(), "Can't load \"Velnor2D.so\"");
    EXPECT_EQ(EMPEGError(MPEGError_CantLoadPentium3Package, "Mosrik3.so").Message(), "Can't load \"Mosrik3.so\"");
    EXPECT_EQ(EMPEGSystemEncoderError(MPEGError_StreamKindNotAllowed, "Linear PCM").Message(),
              "Current system stream format can not include Linear PCM stream.");
    EXPECT_EQ(EMPEGVideoEncoderError(MPEGError_LevelBitrate, 20000).Message(),
              "The bitrate(20000 Kbits/s) is too large for selected MPEG-2 level.");
}

TEST(MPEGErrorTest, UnknownCodesNameTheCodeInUpperCaseHex) {
    EXPECT_EQ(EMPEGError(0xD06130FF).Message(), "Unknown error (0xD06130FF)");
    EXPECT_EQ(EMPEGError(0xD061300A).Message(), "Unknown error (0xD061300A)");
    EXPECT_EQ(EMPEGError(0x0000002B).Message(), "Unknown error (0x0000002B)");
    // Arguments do not reach the text of an unknown code.
    EXPECT_EQ(EMPEGError(0xD0613012, "%s", 7).Message(), "Unknown error (0xD0613012)");
    EXPECT_EQ(EMPEGError(0xD06130FF).ErrorCode, 0xD06130FFu);
}

TEST(MPEGErrorTest, MissingOrMistypedArgumentsAreConvertedNotMisread) {
    EXPECT_EQ(EMPEGVideoEncoderError(MPEGError_LevelBitrate).Message(),
              "The bitrate(0 Kbits/s) is too large for selected MPEG-2 level.");
    EXPECT_EQ(EMPEGError(MPEGError_CantLoadLibrary).Message(), "Can't load \"\"");
    EXPECT_EQ(FormatErrorText("%d|%s|%.1f", {std::string("x"), int64_t{5}, int64_t{2}}), "0|5|2.0");
    EXPECT_EQ(FormatErrorText("%5d|%-4s|%.2f|%%|%X|%08.3f", {int64_t{42}, std::string("ab"), 1.5, int64_t{255}, 3.25}),
              "   42|ab  |1.50|%|FF|0003.250");
    EXPECT_EQ(FormatErrorText("100%", {}), "100%");
    EXPECT_EQ(FormatErrorText("no placeholders", {int64_t{1}}), "no placeholders");
}

// Each class is caught as each of its bases, and as no class beside its line.
template <typename Error>
void ExpectCaughtAs(bool asVideo, bool asAudio) {
    try {
        throw Error(MPEGError_IllegalPicture);
    } catch (const EMPEGError& error) {
        EXPECT_EQ(error.ErrorCode, MPEGError_IllegalPicture);
        EXPECT_STREQ(error.what(), "Illegal picture");
        EXPECT_EQ(dynamic_cast<const EMPEGVideoEncoderError*>(&error) != nullptr, asVideo);
        EXPECT_EQ(dynamic_cast<const EMPEGAudioEncoderError*>(&error) != nullptr, asAudio);
        EXPECT_NE(dynamic_cast<const Exception*>(&error), nullptr);
        EXPECT_NE(dynamic_cast<const std::exception*>(&error), nullptr);
    }
}

TEST(MPEGErrorTest, ClassesAreCaughtAsTheirBases) {
    ExpectCaughtAs<EMPEGError>(false, false);
    ExpectCaughtAs<EMPEGVideoEncoderError>(true, false);
    ExpectCaughtAs<EMPEGVideoEncoderYUVError>(true, false);
    ExpectCaughtAs<EMPEGAudioEncoderError>(false, true);
    ExpectCaughtAs<ELinearPCMAudioEncoderError>(false, true);
    ExpectCaughtAs<EDolbyAC3AudioEncoderError>(false, true);
    ExpectCaughtAs<EMPEGSystemEncoderError>(false, false);

    EXPECT_THROW(throw EMPEGVideoEncoderYUVError(MPEGError_IllegalPicture), EMPEGVideoEncoderError);
    EXPECT_THROW(throw EDolbyAC3AudioEncoderError(MPEGError_IllegalBitrate), EMPEGAudioEncoderError);
}

} // namespace
} // namespace quillset
